#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <queue>
#include <vector>

#include "job/folder_work.h"
#include "util/thread.h"

// The conversion pool: listed folders come in from the walk in walk order,
// their files run on the pool's threads (longer files first, folders in walk
// order), and each folder goes out to `emit` on the walk's thread, in walk
// order, once none of its files runs and none is left to start (or none
// will, after Cancel). With no thread the walk's thread runs each folder's
// files itself, in listing order, as it submits it.
class ConversionPool {
 public:
  struct Callbacks {
    // Runs one file into its temporary: true when the temporary is complete.
    // Called on a pool thread (or the walk's thread when serial).
    std::function<bool(FileWork&)> run;
    // A file has started: `started` of the folder's files have. Walk's thread.
    std::function<void(const FolderWork&, const FileWork&, std::uint32_t started)> fileStarted;
    // A folder is done; `lastStarted` is the sequence of the latest folder a
    // file of which started. Walk's thread.
    std::function<void(FolderWork&, std::int64_t lastStarted)> emit;
  };

  ConversionPool(int threads, const std::atomic<bool>& cancel, Callbacks callbacks);
  ~ConversionPool();
  ConversionPool(const ConversionPool&) = delete;
  ConversionPool& operator=(const ConversionPool&) = delete;

  // Takes a listed folder and returns once little is waiting, so that the
  // walk lists ahead of the threads only so far.
  void Submit(std::unique_ptr<FolderWork> folder);

  // Waits for every submitted folder to be emitted, then ends the threads.
  void Finish();

  // Wakes every wait so that a Cancel set meanwhile is seen at once.
  void Wake();

  bool Serial() const { return threads_.empty(); }

 private:
  struct QueuedFile {
    FolderWork* folder;
    FileWork* file;
    std::uint32_t started = 0;  // the folder's started files, this one included
  };
  struct StartsLater {
    bool operator()(const QueuedFile& a, const QueuedFile& b) const;
  };

  bool Cancelled() const { return cancel_.load(); }
  bool Ready(const FolderWork& folder) const;
  void RunHere(FolderWork& folder);
  void ThreadMain();
  void SendStarted(std::unique_lock<std::mutex>& lock);
  void EmitReady(std::unique_lock<std::mutex>& lock);
  void StopThreads();

  const std::atomic<bool>& cancel_;
  Callbacks callbacks_;
  std::vector<std::unique_ptr<WorkerThread>> threads_;

  // Shared between the walk and the pool's threads.
  std::mutex mutex_;
  std::condition_variable workAvailable_;
  std::condition_variable changed_;  // a file started or ended, or Cancel came
  std::priority_queue<QueuedFile, std::vector<QueuedFile>, StartsLater> queue_;
  std::deque<std::unique_ptr<FolderWork>> window_;  // listed, not yet emitted
  std::deque<QueuedFile> started_;                  // started files not yet told
  std::int64_t lastStarted_ = -1;
  bool stopping_ = false;
};
