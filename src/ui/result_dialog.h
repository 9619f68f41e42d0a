#pragma once

#include <array>
#include <string>
#include <vector>

#include "job/folder_result.h"
#include "ui/controls.h"
#include "ui/dialog_base.h"

// Control ids of the result and error-list dialogs.
namespace ResultDialogIds {
inline constexpr int Table = 1005;
inline constexpr int ErrorText = 1007;
}  // namespace ResultDialogIds

// The seven cells of a result line: folder, status word, the four counters
// and the number of failed files.
std::array<std::u16string, 7> ResultCells(const FolderResult& row);

// The failed file names of a row, each followed by "\r\n".
std::u16string ErrorListText(const FolderResult& row);

// The table of one run's rows; a double-click on a line shows its failed
// files.
class ResultDialog : public DialogBase {
 public:
  ResultDialog();

  std::vector<FolderResult> rows;
  ListView list;

  void AddRow(const FolderResult& row) { rows.push_back(row); }

  bool OnMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
  void OnInitDialog() override;

 private:
  void OpenErrorList();
};

// The failed file names of one row, one per line.
class ErrorListDialog : public DialogBase {
 public:
  ErrorListDialog();

  // The row shown; it belongs to the result dialog, which outlives this one.
  const FolderResult* row = nullptr;

  void OnInitDialog() override;
};
