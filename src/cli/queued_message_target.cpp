#include "cli/queued_message_target.h"

#include <chrono>

#include "job/messages.h"

QueuedMessageTarget::~QueuedMessageTarget() {
  for (const Message& pending : queue_) {
    if (pending.message == MSG_FOLDER_TEXT || pending.message == MSG_FILE_TEXT) TakeTextParam(pending.lParam);
  }
}

std::intptr_t QueuedMessageTarget::SendToDialog(std::uint32_t message, std::uintptr_t wParam,
                                                std::intptr_t lParam) {
  std::unique_lock<std::mutex> lock(mutex_);
  // A send from the receiving thread itself is handled at once; queueing it
  // would wait for a loop that is busy with this very call.
  if (std::this_thread::get_id() == receiver_ && handler_) {
    Handler handler = handler_;
    lock.unlock();
    handler(message, wParam, lParam);
    return 0;
  }
  bool handled = false;
  queue_.push_back(Message{message, wParam, lParam, &handled});
  changed_.notify_all();
  changed_.wait(lock, [&] { return handled; });
  return 0;
}

void QueuedMessageTarget::PostToDialog(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  std::lock_guard<std::mutex> lock(mutex_);
  queue_.push_back(Message{message, wParam, lParam, nullptr});
  changed_.notify_all();
}

void QueuedMessageTarget::Run(const Handler& handler, const std::function<void()>& idle,
                              int idleMilliseconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  receiver_ = std::this_thread::get_id();
  handler_ = handler;
  for (;;) {
    if (queue_.empty()) {
      changed_.wait_for(lock, std::chrono::milliseconds(idleMilliseconds), [&] { return !queue_.empty(); });
      if (queue_.empty()) {
        lock.unlock();
        if (idle) idle();
        lock.lock();
        continue;
      }
    }
    const Message next = queue_.front();
    queue_.pop_front();
    lock.unlock();
    const bool keepRunning = handler(next.message, next.wParam, next.lParam);
    lock.lock();
    if (next.handled != nullptr) {
      *next.handled = true;
      changed_.notify_all();
    }
    if (!keepRunning) break;
  }
  receiver_ = std::thread::id();
  handler_ = nullptr;
}
