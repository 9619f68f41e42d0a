#pragma once

#include <functional>
#include <memory>

// One background thread, started once and waited for without time limit.
class WorkerThread {
 public:
  WorkerThread();
  ~WorkerThread();  // waits for a thread that is still running
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Starts the thread running body. False when the thread cannot be created.
  bool Start(std::function<void()> body);
  // Waits for the thread to end; does nothing when none was started.
  void Join();
  bool Started() const;

  // Test seam: makes the next Start of any WorkerThread fail as if the
  // platform had refused to create the thread.
  static void FailNextStartForTesting();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The number of threads the machine runs at once (its hardware threads);
// at least 1.
int HardwareThreadCount();
