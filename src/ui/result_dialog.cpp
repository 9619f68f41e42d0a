#include "ui/result_dialog.h"

#include "ui/templates.h"

namespace {

namespace Id = ResultDialogIds;

struct Column {
  const char16_t* header;
  int width;  // pixels
};

constexpr Column kColumns[] = {
    {u"対象フォルダ", 480}, {u"処理結果", 100}, {u"BMS", 45},    {u"音声", 45},
    {u"画像", 45},          {u"無変換", 55},    {u"エラー", 55},
};

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

std::u16string ErrorListText(const FolderResult& row) {
  std::u16string text;
  for (std::int32_t i = 0; i < row.ErrorCount(); ++i) {
    text += row.ErrorFile(i);
    text += u"\r\n";
  }
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
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const int item = static_cast<int>(i);
    const std::array<std::u16string, 7> cells = ResultCells(rows[i]);
    list.InsertItem(item, cells[0]);
    for (int sub = 1; sub < static_cast<int>(cells.size()); ++sub) list.SetItemText(item, sub, cells[sub]);
  }
  list.SetExtendedStyle(kListViewFullRowSelect);
}

bool ResultDialog::OnMessage(std::uint32_t message, std::uintptr_t, std::intptr_t lParam) {
  if (message != WM_NOTIFY || lParam == 0) return false;
  const auto* header = reinterpret_cast<const NotifyHeader*>(lParam);
  if (header->idFrom != static_cast<std::uintptr_t>(Id::Table) || header->code != NM_DBLCLK) return false;
  OpenErrorList();
  return true;
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
