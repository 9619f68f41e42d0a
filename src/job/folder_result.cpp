#include "job/folder_result.h"

std::u16string StatusText(FolderStatus status) {
  switch (status) {
    case FolderStatus::Ok:
      return u"OK";
    case FolderStatus::Cancelled:
      return u"キャンセル";
    case FolderStatus::HasErrors:
      return u"エラーあり";
    case FolderStatus::FolderCreationFailed:
      return u"フォルダ作成失敗";
  }
  return u"不明";
}

std::u16string VisibleText(std::u16string_view text) {
  std::u16string visible;
  visible.reserve(text.size());
  for (const char16_t c : text) {
    const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
    if (!control) {
      visible += c;
    } else if (c == u'\t') {
      visible += u"\\t";
    } else if (c == u'\n') {
      visible += u"\\n";
    } else if (c == u'\r') {
      visible += u"\\r";
    } else {
      static constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";
      visible += u"\\x";
      visible += kHexDigits[c >> 4];
      visible += kHexDigits[c & 0xF];
    }
  }
  return visible;
}

std::u16string FolderLogLine(const FolderResult& row) {
  // Fields are joined as they are, without quoting: a comma inside a path or
  // a name simply adds a field, as readers of this log expect. Only control
  // characters are escaped, so that a name cannot forge a line.
  std::u16string line = VisibleText(row.folder);
  for (const std::u16string& field :
       {StatusText(row.status), DecimalText(row.bmsCount), DecimalText(row.soundCount),
        DecimalText(row.imageCount), DecimalText(row.copiedCount), DecimalText(row.ErrorCount())}) {
    line += u',';
    line += field;
  }
  for (const std::u16string& name : row.errorFiles) {
    line += u',';
    line += VisibleText(name);
  }
  return line;
}
