#pragma once

#include <cstdint>

// While alive, the calling thread's floating-point unit flushes denormal
// results to zero and treats denormal inputs as zero; the thread's previous
// mode comes back when it ends. The Vorbis analysis decays towards zero at the
// end of every stream, and denormal arithmetic there costs a third of the
// encoding time without changing a single output byte. On a processor
// without such a mode this does nothing.
class ScopedFlushDenormals {
 public:
  ScopedFlushDenormals();
  ~ScopedFlushDenormals();
  ScopedFlushDenormals(const ScopedFlushDenormals&) = delete;
  ScopedFlushDenormals& operator=(const ScopedFlushDenormals&) = delete;

 private:
  std::uint32_t savedMode_ = 0;
};
