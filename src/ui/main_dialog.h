#pragma once

#include <string>

#include "job_settings/job_settings.h"
#include "ui/dialog_base.h"

// The caption of every message box of the main dialog: the product name.
inline constexpr char16_t MessageCaption[] = u"Hoshibako";

// Control ids of the main dialog.
namespace MainDialogIds {
inline constexpr int IncludeSubfolders = 1000;
inline constexpr int CompressSound = 1001;
inline constexpr int CompressImages = 1002;
inline constexpr int Start = 1003;
inline constexpr int InputFolder = 1004;
inline constexpr int OutputFolder = 1005;
inline constexpr int BrowseInput = 1006;
inline constexpr int BrowseOutput = 1007;
inline constexpr int RepairBms = 1008;
inline constexpr int KeepBmsUnchanged = 1009;
inline constexpr int PreserveCharts = 1010;
inline constexpr int UpdateRun = 1011;
inline constexpr int CheckReferences = 1012;
inline constexpr int SoundOgg = 1013;
inline constexpr int SoundFlac = 1014;
}  // namespace MainDialogIds

// One folder chooser with its memory of the last choice.
struct FolderPicker {
  WindowHandle owner = nullptr;
  std::u16string title;
  std::u16string initialFolder;
  std::u16string selectedFolder;

  // Opens the chooser at initialFolder. True when the user chose a folder,
  // which selectedFolder then holds; false when cancelled or not shown.
  bool Browse();
};

// The main dialog: two folders, the options and Start. It stays open
// between runs; closing it ends the program.
class MainDialog : public DialogBase {
 public:
  MainDialog();

  FolderPicker inputPicker;
  FolderPicker outputPicker;

  void OnInitDialog() override;
  bool OnOK() override;
  bool OnCommand(std::uintptr_t wParam, std::uint16_t notifyCode, std::intptr_t lParam) override;

  // The option word of the boxes as they are checked now.
  OptionFlags CheckedOptions() const;
  // Whether the run leaves alone the files whose output is up to date.
  bool UpdateRunChecked() const;

 private:
  void Start();
  void BrowseInto(FolderPicker& picker, int editId);
  // The boxes and the format choice as bits, before their rules.
  OptionFlags BoxBits() const;
  void ApplyBoxRules();
};
