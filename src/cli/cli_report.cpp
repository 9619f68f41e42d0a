#include "cli/cli_report.h"

#include <algorithm>
#include <cstdio>

#include "job/folder_result.h"
#include "job/run_summary.h"
#include "util/unicode.h"

namespace {

bool IsWide(char32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
         (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
         (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
         (c >= 0x20000 && c <= 0x3FFFD);
}

bool IsZeroWidth(char32_t c) {
  return (c >= 0x0300 && c <= 0x036F) || (c >= 0x3099 && c <= 0x309A) || c == 0x200B || c == 0x200D ||
         (c >= 0xFE00 && c <= 0xFE0F);
}

// Reads one character starting at `i` and advances past it.
char32_t NextCharacter(std::u16string_view text, std::size_t& i) {
  const char16_t unit = text[i++];
  if (unit >= 0xD800 && unit <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDFFF) {
    return 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[i++] - 0xDC00);
  }
  return unit;
}

std::size_t CharacterWidth(char32_t c) {
  if (IsZeroWidth(c)) return 0;
  return IsWide(c) ? 2 : 1;
}

std::u16string PadRight(const std::u16string& text, std::size_t width) {
  const std::size_t used = DisplayWidth(text);
  return used >= width ? text : text + std::u16string(width - used, u' ');
}

std::u16string PadLeft(const std::u16string& text, std::size_t width) {
  const std::size_t used = DisplayWidth(text);
  return used >= width ? text : std::u16string(width - used, u' ') + text;
}

std::string Utf8OfVisible(const std::u16string& text) { return Utf16ToUtf8(VisibleText(text)); }

// A failed file as the table lists it: its name, then why, when known.
std::string ErrorFileText(const FolderResult& row, std::size_t index) {
  std::u16string line = row.errorFiles[index];
  if (index < row.errorReasons.size() && !row.errorReasons[index].empty()) {
    line += u": " + row.errorReasons[index];
  }
  return Utf8OfVisible(line);
}

}  // namespace

std::size_t DisplayWidth(std::u16string_view text) {
  std::size_t width = 0;
  for (std::size_t i = 0; i < text.size();) width += CharacterWidth(NextCharacter(text, i));
  return width;
}

std::u16string FitToColumns(std::u16string_view text, std::size_t columns) {
  if (DisplayWidth(text) <= columns) return std::u16string(text);
  if (columns <= 3) return std::u16string(columns, u'.');
  // Keep the end: for a path or a file name that is the part that tells.
  std::size_t width = 0;
  std::size_t start = text.size();
  while (start > 0) {
    std::size_t begin = start - 1;
    if (begin > 0 && text[begin] >= 0xDC00 && text[begin] <= 0xDFFF && text[begin - 1] >= 0xD800 &&
        text[begin - 1] <= 0xDBFF) {
      --begin;
    }
    std::size_t probe = begin;
    const std::size_t w = CharacterWidth(NextCharacter(text, probe));
    if (width + w > columns - 3) break;
    width += w;
    start = begin;
  }
  return u"..." + std::u16string(text.substr(start));
}

std::string TotalsLineText(const RunTotals& totals, bool referencesChecked) {
  // An update run says how many files it found up to date and left alone.
  const std::string skipped = totals.skipped > 0 ? std::to_string(totals.skipped) + " skipped, " : "";
  const std::string unreferenced =
      referencesChecked ? ", " + std::to_string(totals.unreferencedBytes) + " bytes unreferenced" : "";
  return "total: " + std::to_string(totals.files) + " files, " + skipped + std::to_string(totals.bytesRead) +
         " bytes read, " + std::to_string(totals.bytesWritten) + " bytes written, " +
         Utf16ToUtf8(SavedPercentText(totals)) + " saved" + unreferenced + "\n";
}

std::string ResultTableText(const std::vector<FolderResult>& rows, const RunTotals& totals, bool cancelled,
                            bool referencesChecked) {
  static const char16_t* const kTitles[] = {u"対象フォルダ", u"処理結果", u"BMS",   u"音声",
                                            u"画像",         u"無変換",   u"エラー"};
  constexpr std::size_t kColumns = 7;

  std::vector<std::vector<std::u16string>> cells;
  cells.push_back(std::vector<std::u16string>(std::begin(kTitles), std::end(kTitles)));
  for (const FolderResult& row : rows) {
    cells.push_back({VisibleText(row.folder), StatusText(row.status), DecimalText(row.bmsCount),
                     DecimalText(row.soundCount), DecimalText(row.imageCount), DecimalText(row.copiedCount),
                     DecimalText(row.ErrorCount())});
  }
  std::size_t widths[kColumns] = {};
  for (const auto& line : cells) {
    for (std::size_t c = 0; c < kColumns; ++c) widths[c] = std::max(widths[c], DisplayWidth(line[c]));
  }

  std::string text;
  for (std::size_t r = 0; r < cells.size(); ++r) {
    std::u16string line;
    for (std::size_t c = 0; c < kColumns; ++c) {
      if (c > 0) line += u"  ";
      // Text columns align left, the counters right (the titles follow
      // their column).
      const bool number = c >= 2;
      line += number ? PadLeft(cells[r][c], widths[c]) : PadRight(cells[r][c], widths[c]);
    }
    while (!line.empty() && line.back() == u' ') line.pop_back();
    text += Utf16ToUtf8(line) + "\n";
  }

  for (const FolderResult& row : rows) {
    if (!row.errorFiles.empty()) {
      text += "\n" + Utf16ToUtf8(u"エラーファイル一覧: " + VisibleText(row.folder)) + "\n";
      for (std::size_t i = 0; i < row.errorFiles.size(); ++i) text += "  " + ErrorFileText(row, i) + "\n";
    }
    if (!row.keptFiles.empty()) {
      text += "\nkept unconverted: " + Utf16ToUtf8(VisibleText(row.folder)) + "\n";
      for (const std::u16string& name : row.keptFiles) text += "  " + Utf16ToUtf8(VisibleText(name)) + "\n";
    }
    if (!row.missingReferences.empty()) {
      text += "\nmissing references: " + Utf16ToUtf8(VisibleText(row.folder)) + "\n";
      for (const MissingReference& missing : row.missingReferences) {
        text += "  " + MissingReferenceText(missing) + "\n";
      }
    }
    if (!row.unreferencedFiles.empty()) {
      text += "\nunreferenced (" + std::to_string(row.unreferencedBytes) +
              " bytes): " + Utf16ToUtf8(VisibleText(row.folder)) + "\n";
      for (const std::u16string& name : row.unreferencedFiles) {
        text += "  " + Utf16ToUtf8(VisibleText(name)) + "\n";
      }
    }
  }

  text += "\n";
  if (cancelled) text += Utf16ToUtf8(u"キャンセル") + ": the run was stopped before it finished\n";
  text += TotalsLineText(totals, referencesChecked);
  return text;
}

std::string MissingReferenceText(const MissingReference& missing) {
  // A bmson chart's JSON path names the field already.
  std::u16string line = missing.chart + u':';
  if (missing.jsonPath.empty()) {
    line += DecimalText(static_cast<std::int64_t>(missing.lineNumber)) + u' ' + missing.command;
  } else {
    line += missing.jsonPath;
  }
  line += u' ' + missing.value;
  line += missing.missingInInput ? u" (missing in the input too)" : u" (found in the input)";
  return Utf8OfVisible(line);
}

bool OutputLostReferences(const std::vector<FolderResult>& rows) {
  for (const FolderResult& row : rows) {
    for (const MissingReference& missing : row.missingReferences) {
      if (!missing.missingInInput) return true;
    }
  }
  return false;
}

std::string JsonString(std::u16string_view text) {
  std::string out = "\"";
  const std::string bytes = Utf16ToUtf8(text);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    // DEL and the C1 characters (UTF-8 C2 80 to C2 9F) are valid in a JSON
    // string, but a terminal may act on them: they are escaped as well.
    if (c == '\x7F' ||
        (c == '\xC2' && i + 1 < bytes.size() && static_cast<unsigned char>(bytes[i + 1]) >= 0x80 &&
         static_cast<unsigned char>(bytes[i + 1]) <= 0x9F)) {
      const unsigned code = c == '\x7F' ? 0x7F : static_cast<unsigned char>(bytes[++i]);
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", code);
      out += buffer;
      continue;
    }
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x",
                        static_cast<unsigned>(static_cast<unsigned char>(c)));
          out += buffer;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

namespace {

std::string JsonStringList(const std::vector<std::u16string>& texts) {
  std::string out = "[";
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i > 0) out += ", ";
    out += JsonString(texts[i]);
  }
  return out + "]";
}

// One reason per failed file, at the same index; "" where none is known.
std::vector<std::u16string> ReasonsOf(const FolderResult& row) {
  std::vector<std::u16string> reasons = row.errorReasons;
  reasons.resize(row.errorFiles.size());
  return reasons;
}

// "line" is the line number of a script, the JSON path in a bmson chart.
std::string MissingReferenceJson(const MissingReference& missing) {
  const std::string place =
      missing.jsonPath.empty() ? std::to_string(missing.lineNumber) : JsonString(missing.jsonPath);
  return "{\"chart\": " + JsonString(missing.chart) + ", \"line\": " + place +
         ", \"command\": " + JsonString(missing.command) + ", \"value\": " + JsonString(missing.value) +
         ", \"missingInInput\": " + (missing.missingInInput ? "true" : "false") + "}";
}

}  // namespace

std::string ResultJsonText(const std::vector<FolderResult>& rows, const RunTotals& totals, bool cancelled,
                           bool referencesChecked) {
  std::string out = "{\"rows\": [";
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const FolderResult& row = rows[r];
    if (r > 0) out += ", ";
    out += "{\"folder\": " + JsonString(row.folder) + ", \"status\": " + JsonString(StatusText(row.status)) +
           ", \"bmsCount\": " + std::to_string(row.bmsCount) +
           ", \"soundCount\": " + std::to_string(row.soundCount) +
           ", \"imageCount\": " + std::to_string(row.imageCount) +
           ", \"copiedCount\": " + std::to_string(row.copiedCount) +
           ", \"skippedCount\": " + std::to_string(row.skippedCount) +
           ", \"errorCount\": " + std::to_string(row.ErrorCount()) +
           ", \"errorFiles\": " + JsonStringList(row.errorFiles) +
           ", \"errorReasons\": " + JsonStringList(ReasonsOf(row)) +
           ", \"keptFiles\": " + JsonStringList(row.keptFiles);
    if (referencesChecked) {
      out += ", \"missingReferences\": [";
      for (std::size_t m = 0; m < row.missingReferences.size(); ++m) {
        if (m > 0) out += ", ";
        out += MissingReferenceJson(row.missingReferences[m]);
      }
      out += "], \"unreferencedFiles\": " + JsonStringList(row.unreferencedFiles) +
             ", \"unreferencedBytes\": " + std::to_string(row.unreferencedBytes);
    }
    out += "}";
  }
  out += "], \"totals\": {\"files\": " + std::to_string(totals.files) +
         ", \"bytesRead\": " + std::to_string(totals.bytesRead) +
         ", \"bytesWritten\": " + std::to_string(totals.bytesWritten) +
         ", \"skipped\": " + std::to_string(totals.skipped);
  if (referencesChecked) out += ", \"unreferencedBytes\": " + std::to_string(totals.unreferencedBytes);
  out += "}, \"cancelled\": ";
  out += cancelled ? "true" : "false";
  out += "}\n";
  return out;
}
