#include "audio/float_mode.h"

// The SSE control register holds the mode for the scalar and vector float
// arithmetic that compiled code uses on x86-64.
#include <xmmintrin.h>

namespace {
constexpr std::uint32_t kFlushToZero = 0x8000;
constexpr std::uint32_t kDenormalsAreZero = 0x0040;
}  // namespace

ScopedFlushDenormals::ScopedFlushDenormals() : savedMode_(_mm_getcsr()) {
  _mm_setcsr(savedMode_ | kFlushToZero | kDenormalsAreZero);
}

// Only the two mode bits go back: the exception flags raised meanwhile are
// sticky by design and stay for the caller to see.
ScopedFlushDenormals::~ScopedFlushDenormals() {
  constexpr std::uint32_t kBits = kFlushToZero | kDenormalsAreZero;
  _mm_setcsr((_mm_getcsr() & ~kBits) | (savedMode_ & kBits));
}
