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

// The boxes (and the FLAC choice) that stand for a bit of the option word.
struct Box {
  int id;
  OptionFlags bit;
};
constexpr Box kBoxes[] = {
    {Id::IncludeSubfolders, IncludeSubfolders}, {Id::CompressSound, CompressSound},
    {Id::CompressImages, CompressImages},       {Id::RepairBms, RepairBms},
    {Id::KeepBmsUnchanged, KeepBmsUnchanged},   {Id::PreserveCharts, PreserveCharts},
    {Id::CheckReferences, CheckReferences},     {Id::SoundFlac, EncodeFlac},
};

// How the option boxes stand after their rules, given the bits of the boxes
// the user has checked (EncodeFlac for the FLAC choice):
// - keeping the charts (PreserveCharts) clears and locks repair and
//   keep-contents, since the charts are then neither repaired nor kept
//   under the converted files' old names;
// - keep-contents clears and locks repair: there is nothing to repair;
// - the sound format can be chosen only while sound compression is checked.
struct OptionBoxStates {
  OptionFlags checked = 0;   // the boxes (and FLAC choice) that stay checked
  OptionFlags disabled = 0;  // the boxes (and the format choice) locked
  OptionFlags run = 0;       // the option word a run gets from them
};

OptionBoxStates ApplyOptionRules(OptionFlags checked) {
  OptionBoxStates states;
  if ((checked & PreserveCharts) != 0) states.disabled |= RepairBms | KeepBmsUnchanged;
  if ((checked & KeepBmsUnchanged) != 0) states.disabled |= RepairBms;
  if ((checked & CompressSound) == 0) states.disabled |= EncodeFlac;
  // A locked box is also cleared; the format choice is only greyed, so it
  // is still there when sound compression is checked again.
  states.checked = checked & ~(states.disabled & (RepairBms | KeepBmsUnchanged));
  states.run = states.checked;
  if ((states.checked & CompressSound) == 0) states.run &= ~EncodeFlac;
  return states;
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
  // Sounds become Ogg Vorbis unless FLAC is chosen.
  SetChecked(Item(Id::SoundOgg), true);
  SetChecked(Item(Id::SoundFlac), false);
  ApplyBoxRules();
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
    case Id::CompressSound:
    case Id::KeepBmsUnchanged:
    case Id::PreserveCharts:
      // The box has already toggled itself when its command arrives.
      ApplyBoxRules();
      return true;
    default:
      return false;
  }
}

OptionFlags MainDialog::BoxBits() const {
  OptionFlags bits = 0;
  for (const Box& box : kBoxes) {
    if (IsChecked(Item(box.id))) bits |= box.bit;
  }
  return bits;
}

OptionFlags MainDialog::CheckedOptions() const { return ApplyOptionRules(BoxBits()).run; }

bool MainDialog::UpdateRunChecked() const { return IsChecked(Item(Id::UpdateRun)); }

void MainDialog::BrowseInto(FolderPicker& picker, int editId) {
  // The chooser reopens at the last choice; the edit box is not consulted.
  if (!picker.selectedFolder.empty()) picker.initialFolder = picker.selectedFolder;
  if (picker.Browse()) SetControlText(Item(editId), picker.selectedFolder);
}

void MainDialog::ApplyBoxRules() {
  const OptionBoxStates states = ApplyOptionRules(BoxBits());
  for (const Box& box : kBoxes) {
    const WindowHandle control = Item(box.id);
    if ((states.disabled & box.bit) != 0) SetChecked(control, (states.checked & box.bit) != 0);
    EnableControl(control, (states.disabled & box.bit) == 0);
  }
  EnableControl(Item(Id::SoundOgg), (states.disabled & EncodeFlac) == 0);
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
    // Only a plain Yes goes on: Escape or the close box (which some
    // platforms answer with Cancel even here) starts nothing.
    if (answer != kAnswerYes) return;
  }

  const OptionFlags options = CheckedOptions();
  std::vector<FolderResult> rows;
  RunTotals totals;
  {
    ProgressDialog progress;
    progress.job.settings.inputFolder = input;
    progress.job.settings.outputFolder = output;
    progress.job.settings.options = options;
    progress.job.update = UpdateRunChecked();
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
