#include "util/thread.h"

#include <atomic>
#include <system_error>
#include <thread>

namespace {
std::atomic<bool> failNextStart{false};
}

struct WorkerThread::Impl {
  std::thread thread;
};

WorkerThread::WorkerThread() : impl_(std::make_unique<Impl>()) {}

WorkerThread::~WorkerThread() { Join(); }

bool WorkerThread::Start(std::function<void()> body) {
  if (impl_->thread.joinable()) return false;
  if (failNextStart.exchange(false)) return false;
  // std::thread reports a refused creation by throwing; this is the one place
  // that turns it into a result.
  try {
    impl_->thread = std::thread(std::move(body));
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void WorkerThread::Join() {
  if (impl_->thread.joinable()) impl_->thread.join();
}

bool WorkerThread::Started() const { return impl_->thread.joinable(); }

void WorkerThread::FailNextStartForTesting() { failNextStart = true; }

int HardwareThreadCount() {
  const unsigned count = std::thread::hardware_concurrency();
  return count == 0 ? 1 : static_cast<int>(count);
}
