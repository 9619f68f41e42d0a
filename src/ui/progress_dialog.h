#pragma once

#include <cstdint>

#include "job/conversion_job.h"
#include "job/message_target.h"
#include "ui/dialog_base.h"

// Control ids of the progress dialog.
namespace ProgressDialogIds {
inline constexpr int FolderText = 1007;
inline constexpr int ProgressBar = 1008;
inline constexpr int FileText = 1009;
inline constexpr int Cancel = 2;
}  // namespace ProgressDialogIds

// The bar's steps per folder: it moves within a folder by the folder's files.
inline constexpr int kProgressStepsPerFolder = 1000;

// Where the bar stands for a file of the folder at 0-based `folderIndex`,
// given MSG_FILE_TEXT's file progress (no file progress when its total is 0).
int FileProgressPosition(int folderIndex, std::uintptr_t fileProgress);

// Shown while the job of one run is under way: the dialog starts the worker
// thread once its window exists, shows the folder and file the worker is on,
// and closes only when the worker has ended. Cancel just raises the flag the
// walk polls; the button is disabled from then on, and once the worker is
// done.
class ProgressDialog : public DialogBase {
 public:
  ProgressDialog();

  ConversionJob job;

  bool OnMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
  void OnInitDialog() override;
  bool OnOK() override;
  bool OnCancel() override;

  // Starts WorkerMain on its own thread; when no thread can be created, says
  // so and closes the dialog.
  void StartWorker();

 private:
  // The job's messages go to this dialog's window.
  class DialogTarget : public MessageTarget {
   public:
    explicit DialogTarget(DialogBase& dialog) : dialog_(dialog) {}
    std::intptr_t SendToDialog(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void PostToDialog(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;

   private:
    DialogBase& dialog_;
  };

  // Stops the cancel button for the rest of the run.
  void Finishing();

  DialogTarget target_;
  int folderIndex_ = 0;  // of the folder the worker reported last
};

// Shown in place of the folder path once Cancel has been pressed.
inline constexpr char16_t kFinishingText[] = u"処理を終了しています...";
