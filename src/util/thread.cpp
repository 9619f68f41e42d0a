#include "util/thread.h"

#include <atomic>
#include <system_error>

namespace {

class PlatformThreadStarter : public ThreadStarter {
 public:
  bool Start(std::thread& thread, std::function<void()> body) override {
    // std::thread reports a refused creation by throwing; this is the one
    // place that turns it into a result.
    try {
      thread = std::thread(std::move(body));
    } catch (const std::system_error&) {
      return false;
    }
    return true;
  }
};

PlatformThreadStarter platformStarter;
std::atomic<ThreadStarter*> currentStarter{&platformStarter};

}  // namespace

ThreadStarter* SetThreadStarter(ThreadStarter* starter) {
  ThreadStarter* previous = currentStarter.exchange(starter != nullptr ? starter : &platformStarter);
  return previous == &platformStarter ? nullptr : previous;
}

struct WorkerThread::Impl {
  std::thread thread;
};

WorkerThread::WorkerThread() : impl_(std::make_unique<Impl>()) {}

WorkerThread::~WorkerThread() { Join(); }

bool WorkerThread::Start(std::function<void()> body) {
  if (impl_->thread.joinable()) return false;
  return currentStarter.load()->Start(impl_->thread, std::move(body));
}

void WorkerThread::Join() {
  if (impl_->thread.joinable()) impl_->thread.join();
}

bool WorkerThread::Started() const { return impl_->thread.joinable(); }

int HardwareThreadCount() {
  const unsigned count = std::thread::hardware_concurrency();
  return count == 0 ? 1 : static_cast<int>(count);
}
