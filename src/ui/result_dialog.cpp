#include "ui/result_dialog.h"

#include <algorithm>

#include "job/run_summary.h"
#include "ui/templates.h"

namespace {

namespace Id = ResultDialogIds;

struct Column {
  const char16_t* header;
  int width;  // pixels of the 96-dpi layout
};

constexpr Column kColumns[] = {
    {u"対象フォルダ", 480}, {u"処理結果", 100}, {u"BMS", 45},    {u"音声", 45},
    {u"画像", 45},          {u"無変換", 55},    {u"エラー", 55},
};

constexpr char16_t kEllipsis[] = u"…";

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The first `kept` units of the text, split between its start and its end,
// around the ellipsis.
std::u16string Shortened(std::u16string_view text, std::size_t kept) {
  std::size_t head = kept / 2;
  std::size_t tailStart = text.size() - (kept - head);
  if (head > 0 && IsHighSurrogate(text[head - 1])) --head;
  if (tailStart < text.size() && IsLowSurrogate(text[tailStart])) ++tailStart;
  return std::u16string(text.substr(0, head)) + kEllipsis + std::u16string(text.substr(tailStart));
}

std::u16string MissingReferenceLine(const MissingReference& missing) {
  std::u16string line = missing.chart + u' ';
  // A bmson chart's place is the field's JSON path, which names it already.
  if (missing.jsonPath.empty()) {
    line += DecimalText(static_cast<std::int64_t>(missing.lineNumber)) + u"行目 " + missing.command;
  } else {
    line += missing.jsonPath;
  }
  line += u' ' + missing.value;
  if (missing.missingInInput) line += u"（入力フォルダにもありません）";
  return line;
}

void AddSection(std::u16string& text, const std::u16string& heading,
                const std::vector<std::u16string>& lines) {
  if (lines.empty()) return;
  if (!text.empty()) text += u"\r\n";
  text += heading + u"\r\n";
  for (const std::u16string& line : lines) text += u"  " + line + u"\r\n";
}

}  // namespace

std::array<std::u16string, 7> ResultCells(const FolderResult& row) {
  return {row.folder,
          StatusText(row.status),
          DecimalText(row.bmsCount),
          DecimalText(row.soundCount),
          DecimalText(row.imageCount),
          DecimalText(row.copiedCount),
          DecimalText(row.ErrorCount())};
}

std::u16string MiddleElided(std::u16string_view text, int room,
                            const std::function<int(const std::u16string&)>& width) {
  const std::u16string whole(text);
  if (width(whole) <= room) return whole;
  // The most units that still fit, by bisection: a longer cut never takes
  // fewer pixels.
  std::size_t low = 0;
  std::size_t high = text.size();
  while (low + 1 < high) {
    const std::size_t middle = (low + high) / 2;
    if (width(Shortened(text, middle)) <= room) {
      low = middle;
    } else {
      high = middle;
    }
  }
  return Shortened(text, low);
}

std::u16string ResultTotalsText(const RunTotals& totals, bool referencesChecked) {
  std::u16string text = u"合計: " + DecimalText(totals.files) + u" ファイル、";
  // An update run says how many files it found up to date and left alone.
  if (totals.skipped > 0) text += DecimalText(totals.skipped) + u" ファイルは更新不要、";
  text += u"処理前 " + DecimalText(totals.bytesRead) + u" バイト、処理後 " +
          DecimalText(totals.bytesWritten) + u" バイト、" + SavedPercentText(totals) + u" 削減";
  if (referencesChecked) {
    text += u"、どの譜面も使わないファイル " + DecimalText(totals.unreferencedBytes) + u" バイト";
  }
  return text;
}

std::u16string ErrorListText(const FolderResult& row) {
  std::u16string text;
  for (std::size_t i = 0; i < row.errorFiles.size(); ++i) {
    text += row.errorFiles[i];
    if (i < row.errorReasons.size() && !row.errorReasons[i].empty()) text += u" — " + row.errorReasons[i];
    text += u"\r\n";
  }
  AddSection(text, u"変換せずにコピーしたファイル:", row.keptFiles);
  std::vector<std::u16string> missing;
  for (const MissingReference& reference : row.missingReferences) {
    missing.push_back(MissingReferenceLine(reference));
  }
  AddSection(text, u"プレイヤーが見つけられない参照:", missing);
  AddSection(text, u"どの譜面も使わないファイル (" + DecimalText(row.unreferencedBytes) + u" バイト):",
             row.unreferencedFiles);
  return text;
}

ResultDialog::ResultDialog() : DialogBase(kResultDialogId) {}

void ResultDialog::OnInitDialog() {
  list = ListView(Item(Id::Table));
  int index = 0;
  for (const Column& column : kColumns) {
    list.InsertColumn(index, column.header, column.width, index);
    ++index;
  }
  // Folders that differ only deep down must still read apart, so a long
  // path loses its middle, not its end; the tip gives it whole.
  const int room = list.CellTextWidth(0);
  const auto measure = [this](const std::u16string& text) { return list.TextWidth(text); };
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const int item = static_cast<int>(i);
    const std::array<std::u16string, 7> cells = ResultCells(rows[i]);
    list.InsertItem(item, MiddleElided(cells[0], room, measure));
    for (int sub = 1; sub < static_cast<int>(cells.size()); ++sub) list.SetItemText(item, sub, cells[sub]);
  }
  list.SetExtendedStyle(kListViewFullRowSelect | kListViewInfoTip);
  list.ReportEnterKey();
  SetControlText(Item(Id::Totals), ResultTotalsText(totals, referencesChecked));
}

bool ResultDialog::OnMessage(std::uint32_t message, std::uintptr_t, std::intptr_t lParam) {
  if (message != WM_NOTIFY || lParam == 0) return false;
  const auto* header = reinterpret_cast<const NotifyHeader*>(lParam);
  if (header->idFrom != static_cast<std::uintptr_t>(Id::Table)) return false;
  switch (header->code) {
    case NM_DBLCLK:
    case NM_RETURN:
      OpenErrorList();
      return true;
    case LVN_GETINFOTIPW:
      WriteTip(*reinterpret_cast<ListViewInfoTip*>(lParam));
      return true;
    default:
      return false;
  }
}

void ResultDialog::WriteTip(ListViewInfoTip& tip) const {
  if (tip.text == nullptr || tip.textMax <= 0 || tip.item < 0 || tip.item >= static_cast<int>(rows.size())) {
    return;
  }
  const std::u16string& folder = rows[static_cast<std::size_t>(tip.item)].folder;
  const std::size_t length = std::min(folder.size(), static_cast<std::size_t>(tip.textMax - 1));
  std::copy_n(folder.data(), length, tip.text);
  tip.text[length] = u'\0';
}

void ResultDialog::OpenErrorList() {
  // A double-click on empty space leaves no line selected: nothing to show.
  const int selected = list.FirstSelectedItem();
  if (selected < 0 || selected >= static_cast<int>(rows.size())) return;
  ErrorListDialog errors;
  errors.row = &rows[static_cast<std::size_t>(selected)];
  errors.RunModal(window);
}

ErrorListDialog::ErrorListDialog() : DialogBase(kErrorListDialogId) {}

void ErrorListDialog::OnInitDialog() {
  SetControlText(Item(Id::ErrorText), row ? ErrorListText(*row) : std::u16string());
}
