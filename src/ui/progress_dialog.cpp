#include "ui/progress_dialog.h"

#include <algorithm>
#include <limits>

#include "job/messages.h"
#include "ui/controls.h"
#include "ui/program.h"
#include "ui/templates.h"

namespace {
namespace Id = ProgressDialogIds;
}  // namespace

int FileProgressPosition(int folderIndex, std::uintptr_t fileProgress) {
  std::int64_t position = std::int64_t{folderIndex} * kProgressStepsPerFolder;
  const std::uint32_t total = FileProgressTotal(fileProgress);
  if (total != 0) {
    const std::uint32_t started = std::min(FileProgressStarted(fileProgress), total);
    position += std::int64_t{started} * kProgressStepsPerFolder / total;
  }
  return static_cast<int>(std::min<std::int64_t>(position, std::numeric_limits<int>::max()));
}

std::intptr_t ProgressDialog::DialogTarget::SendToDialog(std::uint32_t message, std::uintptr_t wParam,
                                                         std::intptr_t lParam) {
  return dialog_.SendToDialog(message, wParam, lParam);
}

void ProgressDialog::DialogTarget::PostToDialog(std::uint32_t message, std::uintptr_t wParam,
                                                std::intptr_t lParam) {
  dialog_.PostToDialog(message, wParam, lParam);
}

ProgressDialog::ProgressDialog() : DialogBase(kProgressDialogId), target_(*this) {}

void ProgressDialog::OnInitDialog() {
  job.cancelRequested = false;
  job.foldersStarted = 0;
  job.foldersTotal = 0;
  job.target = &target_;
  folderIndex_ = 0;
  SetControlText(Item(Id::FolderText), u"");
  SetControlText(Item(Id::FileText), u"");
  // The worker starts from the message loop, once initialisation is over and
  // the window can take its messages.
  PostToDialog(MSG_START_WORKER, 0, 0);
}

// The dialog never closes by the OK command: only the worker's end closes it.
bool ProgressDialog::OnOK() { return false; }

bool ProgressDialog::OnCancel() {
  if (!job.cancelRequested) {
    job.RequestCancel();
    SetControlText(Item(Id::FolderText), kFinishingText);
    Finishing();
  }
  return false;
}

void ProgressDialog::Finishing() { EnableControl(Item(Id::Cancel), false); }

void ProgressDialog::StartWorker() {
  if (job.workerThread.Start([this] { WorkerMain(job); })) return;
  ShowMessageBox(window, u"Raised fatal error in CreateThread().", kFatalErrorCaption, kMessageBoxIconError);
  PostToDialog(MSG_WORKER_DONE, 0, 0);
}

bool ProgressDialog::OnMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  switch (message) {
    case MSG_START_WORKER:
      StartWorker();
      return true;
    case MSG_WORKER_DONE:
      Finishing();
      // A walk that went all the way fills the bar.
      if (!job.cancelRequested) {
        SetProgressPosition(Item(Id::ProgressBar), ProgressHigh(Item(Id::ProgressBar)));
      }
      // The worker posts this as its last act; waiting for its end here is
      // short and makes the results safe to read once the dialog is gone.
      if (job.workerThread.Started()) job.workerThread.Join();
      EndModal(1);
      return true;
    case MSG_FOLDER_POSITION:
      // The position counts folders from 1; the bar stands at the start of
      // this one until its files report.
      folderIndex_ = std::max(0, static_cast<int>(wParam) - 1);
      SetProgressPosition(Item(Id::ProgressBar), FileProgressPosition(folderIndex_, 0));
      return true;
    case MSG_FOLDER_TEXT: {
      const auto text = TakeTextParam(lParam);
      SetControlText(Item(Id::FolderText), text ? *text : std::u16string());
      return true;
    }
    case MSG_FILE_TEXT: {
      const auto text = TakeTextParam(lParam);
      SetControlText(Item(Id::FileText), text ? *text : std::u16string());
      if (FileProgressTotal(wParam) != 0) {
        SetProgressPosition(Item(Id::ProgressBar), FileProgressPosition(folderIndex_, wParam));
      }
      return true;
    }
    case MSG_PREPARE_PROGRESS:
      // The worker waits in its send while the folders are counted here.
      SetControlText(Item(Id::FolderText), u"");
      SetProgressPosition(Item(Id::ProgressBar), 0);
      job.PrepareProgress();  // foldersTotal = the folders of the run
      SetProgressRange(
          Item(Id::ProgressBar), 0,
          static_cast<int>(std::min<std::int64_t>(std::int64_t{job.foldersTotal} * kProgressStepsPerFolder,
                                                  std::numeric_limits<int>::max())));
      return false;
    default:
      return false;
  }
}
