#pragma once

#include <atomic>
#include <functional>
#include <thread>

#include "util/thread.h"

// Holds every thread started while it exists until Release, so that a test
// can act before the thread has done anything.
class HeldThreads : public ThreadStarter {
 public:
  HeldThreads() : previous_(SetThreadStarter(this)) {}
  ~HeldThreads() {
    Release();
    SetThreadStarter(previous_);
  }
  bool Start(std::thread& thread, std::function<void()> body) override {
    thread = std::thread([this, body = std::move(body)] {
      open_.wait(false);
      body();
    });
    return true;
  }
  void Release() {
    open_ = true;
    open_.notify_all();
  }

 private:
  std::atomic<bool> open_{false};
  ThreadStarter* previous_;
};
