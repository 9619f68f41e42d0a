#pragma once

#include <functional>
#include <memory>
#include <thread>

// Creates the threads of every WorkerThread. The default asks the platform
// (std::thread); a program or a test may put another in place, for example
// one that refuses as a system out of threads would.
class ThreadStarter {
 public:
  // Starts `thread` running body. False when the thread cannot be created.
  virtual bool Start(std::thread& thread, std::function<void()> body) = 0;

 protected:
  ~ThreadStarter() = default;
};

// Puts `starter` in place for every later WorkerThread::Start (null restores
// the platform's) and returns the one it replaces (null for the platform's).
ThreadStarter* SetThreadStarter(ThreadStarter* starter);

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

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The number of threads the machine runs at once (its hardware threads);
// at least 1.
int HardwareThreadCount();
