#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "job/message_target.h"

// A message target whose messages are handled on the thread that calls Run,
// as a dialog's message loop handles them: a send waits until its message
// has been handled, a post only queues it, and all arrive in the order they
// were issued.
class QueuedMessageTarget : public MessageTarget {
 public:
  // Handles one message; false ends Run after it.
  using Handler = std::function<bool(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)>;

  QueuedMessageTarget() = default;
  QueuedMessageTarget(const QueuedMessageTarget&) = delete;
  QueuedMessageTarget& operator=(const QueuedMessageTarget&) = delete;
  // Frees the texts of messages that were never handled.
  ~QueuedMessageTarget() override;

  std::intptr_t SendToDialog(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
  void PostToDialog(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;

  // Handles messages until the handler returns false. `idle` runs about
  // every `idleMilliseconds` while no message is waiting.
  void Run(const Handler& handler, const std::function<void()>& idle, int idleMilliseconds);

 private:
  struct Message {
    std::uint32_t message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    bool* handled;  // the waiting sender's flag; null for a post
  };

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Message> queue_;
  std::thread::id receiver_;
  Handler handler_;
};
