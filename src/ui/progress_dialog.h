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
}  // namespace ProgressDialogIds

// Shown while the job of one run is under way: the dialog starts the worker
// thread once its window exists, shows the folder and file the worker is on,
// and closes only when the worker has ended. Cancel just raises the flag the
// walk polls.
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

  DialogTarget target_;
};

// Shown in place of the folder path once Cancel has been pressed.
inline constexpr char16_t kFinishingText[] = u"処理を終了しています...";
