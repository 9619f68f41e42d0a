#include "audio/float_mode.h"

#include <gtest/gtest.h>

#include "audio/wav_to_ogg_converter.h"
#include "audio_test_support.h"

#if defined(__x86_64__) || defined(_M_X64)
#include <xmmintrin.h>

namespace {

constexpr unsigned kFlushToZero = 0x8000;
constexpr unsigned kDenormalsAreZero = 0x0040;
constexpr unsigned kModeBits = kFlushToZero | kDenormalsAreZero;

// Halving the smallest normal float gives a denormal, or zero when flushed.
float HalfOfSmallestNormal() {
  volatile float smallest = 1.17549435e-38f;
  volatile float half = smallest * 0.5f;
  return half;
}

// Puts the thread into a known mode and restores the previous one.
class ModeGuard {
 public:
  explicit ModeGuard(unsigned modeBits) : saved_(_mm_getcsr()) {
    _mm_setcsr((saved_ & ~kModeBits) | modeBits);
  }
  ~ModeGuard() { _mm_setcsr(saved_); }

 private:
  unsigned saved_;
};

TEST(FloatModeTest, FlushesDenormalsWhileAliveOnly) {
  ModeGuard guard(0);
  EXPECT_NE(HalfOfSmallestNormal(), 0.0f);
  {
    ScopedFlushDenormals flush;
    EXPECT_EQ(HalfOfSmallestNormal(), 0.0f);
  }
  EXPECT_NE(HalfOfSmallestNormal(), 0.0f);
}

TEST(FloatModeTest, ConvertRestoresTheCallersMode) {
  ScratchFolder folder;
  const PcmFields fields = Pcm(16, 1, 22050);
  ASSERT_TRUE(folder.Write("in.wav", WaveFile(fields, SinePcm(fields, 0.1, {440}, 0.5))));
  const PcmFields noSetUp = Pcm(16, 1, 1000000);
  ASSERT_TRUE(folder.Write("no-set-up.wav", WaveFile(noSetUp, SinePcm(noSetUp, 0.1, {440}, 0.5))));
  for (unsigned mode : {0u, kFlushToZero, kModeBits}) {
    SCOPED_TRACE("mode " + std::to_string(mode));
    ModeGuard guard(mode);
    ASSERT_TRUE(WavToOggConverter().Convert(folder.Text("in.wav"), folder.Text("out.ogg")));
    EXPECT_EQ(_mm_getcsr() & kModeBits, mode);
    // The encoder's refusal leaves early; the mode comes back there too.
    EXPECT_FALSE(WavToOggConverter().Convert(folder.Text("no-set-up.wav"), folder.Text("x.ogg")));
    EXPECT_EQ(_mm_getcsr() & kModeBits, mode);
  }
}

}  // namespace

#else

TEST(FloatModeTest, NoModeOnThisProcessor) {
  GTEST_SKIP() << "no flush-to-zero mode known for this processor";
}

#endif
