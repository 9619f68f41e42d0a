#pragma once

#include <cstdint>

// Where the worker's messages go: the progress dialog, the command line's
// progress line, or a test. Send delivers synchronously (returns once the
// message has been handled, on the receiver's thread); Post queues it behind
// pending work. Both keep the order in which they were issued. The job sends
// from the walk's thread only; its conversion threads hand their file texts
// to it, so a slow receiver holds up the walk but never a conversion.
class MessageTarget {
 public:
  virtual ~MessageTarget() = default;
  virtual std::intptr_t SendToDialog(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
  virtual void PostToDialog(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};
