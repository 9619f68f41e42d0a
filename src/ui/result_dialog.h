#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "job/conversion_job.h"
#include "job/folder_result.h"
#include "ui/controls.h"
#include "ui/dialog_base.h"

// Control ids of the result and error-list dialogs.
namespace ResultDialogIds {
inline constexpr int Table = 1005;
inline constexpr int Totals = 1006;
inline constexpr int ErrorText = 1007;
}  // namespace ResultDialogIds

// The seven cells of a result line: folder, status word, the four counters
// and the number of failed files.
std::array<std::u16string, 7> ResultCells(const FolderResult& row);

// The text shortened in the middle to at most `room` pixels as `width`
// measures them: its start and its end stay, joined by "…", the end getting
// the larger share (for a path it tells the song). Whole when it fits;
// surrogate pairs are never split.
std::u16string MiddleElided(std::u16string_view text, int room,
                            const std::function<int(const std::u16string&)>& width);

// The line under the table: files, bytes before and after and the share
// saved, the figures of the command line's totals line; after a reference
// check also the bytes of the files no chart names.
std::u16string ResultTotalsText(const RunTotals& totals, bool referencesChecked);

// What the error list shows for a row, each line ending in "\r\n": the
// failed files ("name — reason" when the reason is known), then under their
// own headings the files kept unconverted, the references players would not
// find (chart, line, command, value) and the files no chart names with their
// bytes. Only the failed files when there is nothing else.
std::u16string ErrorListText(const FolderResult& row);

// The table of one run's rows; a double-click on a line, or Enter while one
// is selected, shows its failed files.
class ResultDialog : public DialogBase {
 public:
  ResultDialog();

  std::vector<FolderResult> rows;
  ListView list;
  // The run's byte totals, and whether it checked the charts' references.
  RunTotals totals;
  bool referencesChecked = false;

  void AddRow(const FolderResult& row) { rows.push_back(row); }

  bool OnMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
  void OnInitDialog() override;

 private:
  void OpenErrorList();
  void WriteTip(ListViewInfoTip& tip) const;
};

// The failed files of one row and what else the run found in its folder.
class ErrorListDialog : public DialogBase {
 public:
  ErrorListDialog();

  // The row shown; it belongs to the result dialog, which outlives this one.
  const FolderResult* row = nullptr;

  void OnInitDialog() override;
};
