#pragma once

#include <cstdint>

// Where the worker's messages go: the progress dialog, the command line's
// progress line, or a test. Send delivers synchronously (returns once the
// message has been handled, on the receiver's thread); Post queues it behind
// pending work. Both keep the order in which they were issued. Messages come
// from the walk's thread and from the conversion threads, never two at once
// (the job sends one at a time), so an implementation must not assume one
// sending thread.
class MessageTarget {
 public:
  virtual ~MessageTarget() = default;
  virtual std::intptr_t SendToDialog(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
  virtual void PostToDialog(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};
