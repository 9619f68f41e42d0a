#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "image/rle_decoders.h"

namespace {

std::vector<std::uint8_t> Hex(const std::string& text) {
  std::vector<std::uint8_t> bytes;
  std::istringstream in(text);
  unsigned value = 0;
  while (in >> std::hex >> value) bytes.push_back(static_cast<std::uint8_t>(value));
  return bytes;
}

struct RleCase {
  const char* name;
  int bits;  // 8 or 4
  std::int32_t width;
  std::int32_t height;
  const char* stream;
  const char* expected;        // the whole output buffer
  std::size_t bufferSize = 0;  // 0: exactly the stride times the height
};

// Widths: 5 pixels at 8 bits is a stride of 8; 5 or 8 pixels at 4 bits is 4.
const RleCase kCases[] = {
    {"Rle8EncodedRunThenEndOfLine", 8, 5, 1, "03 07 00 00", "07 07 07 00 00 00 00 00"},
    {"Rle8AbsoluteRunSkipsItsPadByte", 8, 5, 2, "00 03 01 02 03 00 02 09 00 01",
     "01 02 03 09 09 00 00 00  00 00 00 00 00 00 00 00"},
    {"Rle8DeltaLeavesSkippedPixelsAtZero", 8, 5, 2, "01 05 00 02 02 01 01 06 00 01",
     "05 00 00 00 00 00 00 00  00 00 00 06 00 00 00 00"},
    {"Rle8EndOfLineTwiceEndsOneRow", 8, 5, 3, "01 01 00 00 00 00 01 02 00 01",
     "01 00 00 00 00 00 00 00  02 00 00 00 00 00 00 00  00 00 00 00 00 00 00 00"},
    {"Rle8EndOfBitmapLeavesLaterRowsAtZero", 8, 5, 3, "05 04 00 01 05 09",
     "04 04 04 04 04 00 00 00  00 00 00 00 00 00 00 00  00 00 00 00 00 00 00 00"},
    {"Rle8RunSpillsIntoNextRow", 8, 5, 2, "0a 03 00 01", "03 03 03 03 03 03 03 03  03 03 00 00 00 00 00 00"},
    {"Rle8NextRowOverwritesOnlyWhereItWrites", 8, 5, 2, "0a 03 01 08 00 01",
     "03 03 03 03 03 03 03 03  08 03 00 00 00 00 00 00"},
    {"Rle8StreamEndingEarlyKeepsDecodedRows", 8, 5, 3, "05 01 00 00 05 02",
     "01 01 01 01 01 00 00 00  02 02 02 02 02 00 00 00  00 00 00 00 00 00 00 00"},
    {"Rle8RunStopsAtEndOfOutput", 8, 5, 1, "ff 07", "07 07 07 07 07 07 07 07"},
    {"Rle8AbsoluteRunStopsAtEndOfOutput", 8, 5, 1, "00 0a 01 02 03 04 05 06 07 08 09 0a",
     "01 02 03 04 05 06 07 08"},
    {"Rle8AbsoluteRunCutByEndOfStream", 8, 5, 1, "00 05 01 02", "01 02 00 00 00 00 00 00"},
    {"Rle8DeltaPastTheEndWritesNothing", 8, 5, 1, "00 02 ff ff 01 07", "00 00 00 00 00 00 00 00"},
    {"Rle8LoneCountByteIsIgnored", 8, 5, 1, "02 07 03", "07 07 00 00 00 00 00 00"},
    {"Rle8FrameLargerThanBuffer", 8, 16, 4, "ff 05", "05 05 05 05 05 05 05 05 05 05", 10},

    {"Rle4EncodedRunAlternatesNibbles", 4, 5, 1, "05 12 00 00", "12 12 10 00"},
    {"Rle4OddRunLeavesLowPhaseForNextRun", 4, 8, 1, "05 12 02 34 00 01", "12 12 13 40"},
    {"Rle4AbsoluteRunDropsPadNibble", 4, 5, 1, "00 05 12 34 5f 00", "12 34 50 00"},
    {"Rle4AbsoluteRunInLowPhase", 4, 8, 1, "01 10 00 03 23 45 02 56 00 01", "12 34 56 00"},
    {"Rle4OddDeltaFromLowPhaseMovesOn", 4, 8, 1, "01 10 00 02 01 00 01 70 00 01", "10 70 00 00"},
    {"Rle4OddDeltaFromHighPhaseStaysInByte", 4, 8, 1, "00 02 03 00 01 80 00 01", "00 08 00 00"},
    {"Rle4LowPhaseAbsoluteRunAtEndOfOutput", 4, 8, 1, "07 11 00 04 ab cd", "11 11 11 1a"},
    {"Rle4EndOfLineTwiceEndsOneRow", 4, 5, 2, "01 30 00 00 00 00 01 40", "30 00 00 00  40 00 00 00"},
    {"Rle4RunStopsAtEndOfOutput", 4, 5, 1, "ff 9a", "9a 9a 9a 9a"},
    {"Rle4FrameLargerThanBuffer", 4, 16, 4, "00 10 11 22 33 44 55 66 77 88", "11 22 33", 3},
};

class RleDecoderTest : public testing::TestWithParam<RleCase> {};

TEST_P(RleDecoderTest, DecodesIntoBuffer) {
  const RleCase& c = GetParam();
  // Exactly sized heap copies, so that a read or write past either end is
  // caught by the sanitizer build.
  const std::vector<std::uint8_t> stream = Hex(c.stream);
  const std::vector<std::uint8_t> expected = Hex(c.expected);
  const std::size_t stride = (static_cast<std::size_t>(c.width) * c.bits + 31) / 32 * 4;
  const std::size_t size = c.bufferSize != 0 ? c.bufferSize : stride * c.height;
  ASSERT_EQ(expected.size(), size);
  // Stale bytes show that the decoder clears its output first.
  std::vector<std::uint8_t> pixels(size, 0xEE);
  if (c.bits == 8) {
    DecodeRle8(pixels, stream, c.width, c.height);
  } else {
    DecodeRle4(pixels, stream, c.width, c.height);
  }
  EXPECT_EQ(pixels, expected);
}

INSTANTIATE_TEST_SUITE_P(Streams, RleDecoderTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<RleCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
