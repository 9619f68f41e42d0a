#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "job/chart_mode.h"
#include "job/folder_result.h"
#include "job/message_target.h"
#include "job/run_log.h"
#include "job_settings/job_settings.h"
#include "util/thread.h"

// The name of the run log, in the process's current folder.
inline constexpr char16_t kLogFileName[] = u"hoshibako.log";

class ConversionPool;

// The state of one run: its settings and modes (threads, update), the
// worker thread, the cancel flag and the pool it wakes, the folder counters
// and totals, and the finished result list. The walk reports progress to
// `target` only through SendToDialog / PostToDialog, from the thread that
// runs ProcessFolder (the pool's threads hand their file texts to it).
class ConversionJob {
 public:
  JobSettings settings;
  std::vector<FolderResult> results;
  WorkerThread workerThread;
  std::atomic<bool> cancelRequested{false};
  std::int32_t foldersStarted = 0;
  std::int32_t foldersTotal = 0;
  MessageTarget* target = nullptr;
  RunTotals totals;  // advanced by the walk, read after the worker has ended
  // Conversion threads; 0 means one per hardware thread. With 1 the walk
  // converts every file itself, in listing order.
  int jobs = 0;
  // Leaves alone a file whose source is unchanged since the update run that
  // wrote its output (same size and time) and whose output is still the one
  // written, provided the output root records this run's options.
  bool update = false;
  // What the user should hear about besides the rows (an update record that
  // could not be read); read after the worker has ended.
  std::vector<std::u16string> warnings;

  // Sets cancelRequested and wakes the run's waits, so that it is seen at
  // once. Safe from any thread but not from a signal handler: there, set
  // the flag alone and call this from the thread that notices it.
  void RequestCancel();
  // Under PreserveCharts with CompressImages: the images the charts met so
  // far name exactly, which are copied instead of converted.
  ExactImageSet exactImages;

  // Mirrors one folder (and, with IncludeSubfolders, its subtree) into the
  // output tree, appending one row per folder in walk order and writing a
  // completed folder's line to `log` right after its row. False when the run
  // was cancelled inside this call or below it.
  bool ProcessFolder(RunLog& log, const std::u16string& inputFolder, const std::u16string& outputFolder,
                     std::vector<FolderResult>& results);

  // The folders the walk can reach from this one, itself included; 0 when
  // it cannot be listed; 1 without IncludeSubfolders.
  std::int32_t CountFolders(const std::u16string& folder) const;

  // The handling of MSG_PREPARE_PROGRESS that belongs to the job: counts the
  // run's folders into foldersTotal. Runs on the receiver's thread while the
  // worker waits for its send.
  void PrepareProgress();

 private:
  class Walk;
  void AttachPool(ConversionPool* pool);

  std::mutex poolMutex_;
  ConversionPool* pool_ = nullptr;  // the running walk's pool, for RequestCancel
};

// The worker's procedure: prepares the progress range, opens the log and
// writes its framing, runs the walk, hands the results over and posts
// MSG_WORKER_DONE. Returns 0.
int WorkerMain(ConversionJob& job);
