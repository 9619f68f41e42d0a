#include "ui/main_dialog.h"

#include <vector>

#include "job/folder_result.h"
#include "job/start_validation.h"
#include "ui/controls.h"
#include "ui/progress_dialog.h"
#include "ui/result_dialog.h"
#include "ui/templates.h"
#include "util/file_system.h"

namespace {

namespace Id = MainDialogIds;

// Which browse button takes the focus after a failed start check.
int FocusAfterFailure(StartValidation outcome) {
  switch (outcome) {
    case StartValidation::InputMissing:
    case StartValidation::InputNotFound:
    case StartValidation::InputInsideOutput:
      return Id::BrowseInput;
    default:
      return Id::BrowseOutput;
  }
}

}  // namespace

bool FolderPicker::Browse() {
  std::u16string chosen;
  if (!BrowseForFolder(owner, title, initialFolder, chosen)) return false;
  selectedFolder = chosen;
  return true;
}

MainDialog::MainDialog() : DialogBase(kMainDialogId) {}

void MainDialog::OnInitDialog() {
  // The current folder is read once: later changes of it do not move the
  // pickers.
  const std::u16string current = CurrentDirectory();
  inputPicker.owner = window;
  inputPicker.title = u"入力フォルダ";
  inputPicker.initialFolder = current;
  outputPicker.owner = window;
  outputPicker.title = u"出力フォルダ";
  outputPicker.initialFolder = current;
}

// Enter must never start a run by accident.
bool MainDialog::OnOK() { return false; }

bool MainDialog::OnCommand(std::uintptr_t wParam, std::uint16_t, std::intptr_t) {
  switch (LowWord(wParam)) {
    case Id::Start:
      Start();
      return true;
    case Id::BrowseInput:
      BrowseInto(inputPicker, Id::InputFolder);
      return true;
    case Id::BrowseOutput:
      BrowseInto(outputPicker, Id::OutputFolder);
      return true;
    case Id::KeepBmsUnchanged:
      ApplyRepairRule();
      return true;
    default:
      return false;
  }
}

OptionFlags MainDialog::CheckedOptions() const {
  struct Box {
    int id;
    OptionFlags bit;
  };
  constexpr Box kBoxes[] = {
      {Id::IncludeSubfolders, IncludeSubfolders}, {Id::CompressSound, CompressSound},
      {Id::CompressImages, CompressImages},       {Id::RepairBms, RepairBms},
      {Id::KeepBmsUnchanged, KeepBmsUnchanged},
  };
  OptionFlags options = 0;
  for (const Box& box : kBoxes) {
    if (IsChecked(Item(box.id))) options |= box.bit;
  }
  return options;
}

void MainDialog::BrowseInto(FolderPicker& picker, int editId) {
  // The chooser reopens at the last choice; the edit box is not consulted.
  if (!picker.selectedFolder.empty()) picker.initialFolder = picker.selectedFolder;
  if (picker.Browse()) SetControlText(Item(editId), picker.selectedFolder);
}

// Scripts that are kept as they are cannot be repaired, so the repair box is
// cleared and locked while the keep box is checked (the box has already
// toggled itself when its command arrives).
void MainDialog::ApplyRepairRule() {
  const WindowHandle repair = Item(Id::RepairBms);
  if (IsChecked(Item(Id::KeepBmsUnchanged))) {
    SetChecked(repair, false);
    EnableControl(repair, false);
  } else {
    EnableControl(repair, true);
  }
}

void MainDialog::Start() {
  const std::u16string input = ControlText(Item(Id::InputFolder));
  const std::u16string output = ControlText(Item(Id::OutputFolder));

  const StartValidation outcome = ValidateStart(input, output);
  if (outcome != StartValidation::Valid) {
    ShowMessageBox(window, StartValidationMessage(outcome), MessageCaption, kMessageBoxIconWarning);
    FocusControl(Item(FocusAfterFailure(outcome)));
    return;
  }

  if (IsChecked(Item(Id::KeepBmsUnchanged))) {
    const int answer = ShowMessageBox(window, KeepContentsQuestion(), MessageCaption,
                                      kMessageBoxIconQuestion | kMessageBoxYesNo);
    if (answer == kAnswerNo) return;
  }

  const OptionFlags options = CheckedOptions();
  std::vector<FolderResult> rows;
  RunTotals totals;
  {
    ProgressDialog progress;
    progress.job.settings.inputFolder = input;
    progress.job.settings.outputFolder = output;
    progress.job.settings.options = options;
    progress.RunModal(window);
    // The worker has ended when the dialog is gone, so the list is complete.
    rows = progress.job.results;
    totals = progress.job.totals;
  }

  // Without rows (the worker could not start) nothing is shown.
  if (rows.empty()) return;
  ResultDialog results;
  for (const FolderResult& row : rows) results.AddRow(row);
  results.totals = totals;
  results.referencesChecked = (options & CheckReferences) != 0;
  results.RunModal(window);
}
