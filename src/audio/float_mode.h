#pragma once

#include <cstdint>

// While alive, the calling thread's floating-point unit flushes denormal
// results to zero and treats denormal inputs as zero; the thread's previous
// mode comes back when it ends. The Vorbis analysis runs into denormal floats
// wherever a sound decays towards silence and in the flush at the end of every
// stream; computing them exactly is slow on x86 and changes no output byte,
// which matters most for short sounds. On a processor without such a mode
// this does nothing.
class ScopedFlushDenormals {
 public:
  ScopedFlushDenormals();
  ~ScopedFlushDenormals();
  ScopedFlushDenormals(const ScopedFlushDenormals&) = delete;
  ScopedFlushDenormals& operator=(const ScopedFlushDenormals&) = delete;

 private:
  [[maybe_unused]] std::uint32_t savedMode_ = 0;  // unused where the mode does not exist
};
