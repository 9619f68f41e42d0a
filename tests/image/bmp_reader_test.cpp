#include "image/bmp_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "image/bmp_parse.h"
#include "image_test_support.h"
#include "util/unicode.h"

namespace {

// A valid 8-bit bitmap, 3 by 2 pixels, with a two-entry colour table.
BitmapLayout SmallPalette8() {
  BitmapLayout layout;
  layout.width = 3;
  layout.height = 2;
  layout.bitCount = 8;
  layout.colorsUsed = 2;
  layout.palette = {0x112233, 0x445566};
  layout.data = {0, 1, 0, 0xA1, 1, 1, 0, 0xA2};
  return layout;
}

struct RefusalCase {
  const char* name;
  BitmapRefusal reason;
  std::function<void(BitmapLayout&)> changeLayout;
  std::function<void(std::vector<std::uint8_t>&)> changeBytes = nullptr;
};

const RefusalCase kRefusals[] = {
    {"NoSignature", BitmapRefusal::NotBitmap, nullptr, [](auto& b) { b[0] = 'b'; }},
    {"EmptyFile", BitmapRefusal::HeaderCut, nullptr, [](auto& b) { b.clear(); }},
    {"FileHeaderOnly", BitmapRefusal::HeaderCut, nullptr, [](auto& b) { b.resize(14); }},
    {"TruncatedInfoHeader", BitmapRefusal::HeaderCut, nullptr, [](auto& b) { b.resize(30); }},
    {"TruncatedCoreHeader", BitmapRefusal::HeaderCut, [](auto& s) { s.headerSize = 12; },
     [](auto& b) { b.resize(24); }},
    {"HeaderSize16", BitmapRefusal::UnsupportedHeader, [](auto& s) { s.headerSize = 16; }},
    {"HeaderSize56", BitmapRefusal::UnsupportedHeader, [](auto& s) { s.headerSize = 56; }},
    {"HeaderSize64", BitmapRefusal::UnsupportedHeader, [](auto& s) { s.headerSize = 64; }},
    {"HeaderSize108", BitmapRefusal::UnsupportedHeader, [](auto& s) { s.headerSize = 108; }},
    {"HeaderSize124", BitmapRefusal::UnsupportedHeader, [](auto& s) { s.headerSize = 124; }},
    {"BitCount0", BitmapRefusal::UnsupportedBitCount, [](auto& s) { s.bitCount = 0; }},
    {"BitCount2", BitmapRefusal::UnsupportedBitCount, [](auto& s) { s.bitCount = 2; }},
    {"BitCount32", BitmapRefusal::UnsupportedBitCount, [](auto& s) { s.bitCount = 32; }},
    {"BitFields", BitmapRefusal::UnsupportedCompression, [](auto& s) { s.compression = 3; }},
    {"EmbeddedJpeg", BitmapRefusal::UnsupportedCompression, [](auto& s) { s.compression = 4; }},
    {"TopDown", BitmapRefusal::HeightNotPositive, [](auto& s) { s.height = -2; }},
    {"ZeroHeight", BitmapRefusal::HeightNotPositive, [](auto& s) { s.height = 0; }},
    {"ZeroWidth", BitmapRefusal::WidthNotPositive, [](auto& s) { s.width = 0; }},
    {"NegativeWidth", BitmapRefusal::WidthNotPositive, [](auto& s) { s.width = -3; }},
    {"TwoPlanes", BitmapRefusal::PlanesNotOne, [](auto& s) { s.planes = 2; }},
    {"CoreHeaderZeroWidth", BitmapRefusal::WidthNotPositive,
     [](auto& s) {
       s.headerSize = 12;
       s.width = 0;
     }},
    {"PixelDataOneByteShort", BitmapRefusal::PixelDataCut, [](auto& s) { s.data.pop_back(); }},
    {"ColorTableLongerThanFile", BitmapRefusal::ColorTableCut, [](auto& s) { s.colorsUsed = 200; }},
    {"ColorsUsedAtMaximum", BitmapRefusal::ColorTableCut, [](auto& s) { s.colorsUsed = 0xFFFFFFFFu; }},
    {"PixelBufferAboveBound", BitmapRefusal::PixelBufferTooLarge,
     [](auto& s) {
       s.bitCount = 24;
       s.width = 20000;
       s.height = 20000;
     }},
    {"StrideAboveBound", BitmapRefusal::StrideTooLarge,
     [](auto& s) {
       s.bitCount = 24;
       s.width = 0x7FFFFFFF;
       s.height = 1;
     }},
    // The stride is bounded first, so the product that would overflow is never taken.
    {"ProductOverflows", BitmapRefusal::StrideTooLarge,
     [](auto& s) {
       s.bitCount = 24;
       s.width = 0x7FFFFFFF;
       s.height = 0x7FFFFFFF;
     }},
};

class BitmapRefusalTest : public testing::TestWithParam<RefusalCase> {};

TEST_P(BitmapRefusalTest, IsRefusedAndLeavesOutputsAlone) {
  BitmapLayout layout = SmallPalette8();
  if (GetParam().changeLayout) GetParam().changeLayout(layout);
  std::vector<std::uint8_t> bytes = BuildBitmap(layout);
  if (GetParam().changeBytes) GetParam().changeBytes(bytes);

  BitmapInfo info;
  info.width = 777;
  std::vector<std::uint8_t> table{9};
  std::vector<std::uint8_t> pixels{8, 8};
  EXPECT_EQ(ParseBitmap(bytes, info, table, pixels), GetParam().reason);
  EXPECT_EQ(info.width, 777);
  EXPECT_EQ(table, std::vector<std::uint8_t>{9});
  EXPECT_EQ(pixels, (std::vector<std::uint8_t>{8, 8}));
}

INSTANTIATE_TEST_SUITE_P(Headers, BitmapRefusalTest, testing::ValuesIn(kRefusals),
                         [](const testing::TestParamInfo<RefusalCase>& info) {
                           return std::string(info.param.name);
                         });

struct Parsed {
  bool ok = false;
  BitmapInfo info;
  std::vector<std::uint8_t> table;
  std::vector<std::uint8_t> pixels;
};

Parsed Parse(const BitmapLayout& layout) {
  Parsed parsed;
  parsed.ok =
      ParseBitmap(BuildBitmap(layout), parsed.info, parsed.table, parsed.pixels) == BitmapRefusal::None;
  return parsed;
}

TEST(BitmapReaderTest, InfoHeaderFieldsAndPaddingAreDelivered) {
  BitmapLayout layout = SmallPalette8();
  layout.xPixelsPerMeter = 2835;
  layout.yPixelsPerMeter = -5;
  const Parsed p = Parse(layout);
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.info.headerSize, 40u);
  EXPECT_EQ(p.info.width, 3);
  EXPECT_EQ(p.info.height, 2);
  EXPECT_EQ(p.info.bitCount, 8);
  EXPECT_EQ(p.info.xPixelsPerMeter, 2835);
  EXPECT_EQ(p.info.yPixelsPerMeter, -5);
  EXPECT_EQ(p.info.rowStride, 4);
  EXPECT_EQ(p.info.imageSize, 8u);
  EXPECT_EQ(p.info.colorsUsed, 2u);
  EXPECT_EQ(p.table, (std::vector<std::uint8_t>{0x33, 0x22, 0x11, 0, 0x66, 0x55, 0x44, 0}));
  // Rows bottom first, padding bytes as stored.
  EXPECT_EQ(p.pixels, layout.data);
}

TEST(BitmapReaderTest, CoreHeaderReadsAllThreeByteEntries) {
  BitmapLayout layout;
  layout.headerSize = 12;
  layout.width = 2;
  layout.height = 1;
  layout.bitCount = 8;
  for (std::uint32_t i = 0; i < 256; ++i) layout.palette.push_back(i << 16 | (255 - i) << 8 | (i ^ 0x5A));
  layout.data = {7, 200, 0, 0};
  const Parsed p = Parse(layout);
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.info.headerSize, 12u);
  EXPECT_EQ(p.info.compression, 0u);
  EXPECT_EQ(p.info.colorsUsed, 256u);
  ASSERT_EQ(p.table.size(), 256u * 4);
  EXPECT_EQ(p.table[200 * 4 + 0], 200 ^ 0x5A);
  EXPECT_EQ(p.table[200 * 4 + 1], 55);
  EXPECT_EQ(p.table[200 * 4 + 2], 200);
  EXPECT_EQ(p.table[200 * 4 + 3], 0);
  EXPECT_EQ(p.pixels, layout.data);
}

TEST(BitmapReaderTest, ZeroColorsUsedMeansTheFullTable) {
  BitmapLayout layout;
  layout.width = 1;
  layout.height = 1;
  layout.bitCount = 4;
  layout.palette.assign(16, 0x010203);
  layout.data = {0xF0, 0, 0, 0};
  const Parsed p = Parse(layout);
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.info.colorsUsed, 16u);
  EXPECT_EQ(p.pixels, layout.data);
}

TEST(BitmapReaderTest, PixelDataFollowsAShortTableWhenTheOffsetPointsBack) {
  // 20 entries of 4 bytes; an offset into the headers is not trusted.
  BitmapLayout layout;
  layout.width = 4;
  layout.height = 1;
  layout.bitCount = 8;
  layout.colorsUsed = 20;
  layout.palette.assign(20, 0xABCDEF);
  layout.pixelOffset = 0;
  layout.data = {19, 18, 17, 16};
  const Parsed p = Parse(layout);
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.table.size(), 80u);
  EXPECT_EQ(p.pixels, layout.data);
}

TEST(BitmapReaderTest, TableLargerThanTheDepthIsCutAndSkipped) {
  BitmapLayout layout;
  layout.width = 2;
  layout.height = 1;
  layout.bitCount = 4;
  layout.colorsUsed = 20;
  for (std::uint32_t i = 0; i < 20; ++i) layout.palette.push_back(i);
  layout.pixelOffset = 0;
  layout.data = {0x1F, 0, 0, 0};
  const Parsed p = Parse(layout);
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.info.colorsUsed, 16u);
  ASSERT_EQ(p.table.size(), 64u);
  EXPECT_EQ(p.table[15 * 4], 15);
  EXPECT_EQ(p.pixels, layout.data);
}

TEST(BitmapReaderTest, OffsetPastAPaletteOf24BitFileIsHonoured) {
  BitmapLayout layout;
  layout.width = 1;
  layout.height = 1;
  layout.bitCount = 24;
  layout.colorsUsed = 2;
  layout.palette = {0xFFFFFF, 0xFFFFFF};
  layout.data = {0x10, 0x20, 0x30, 0};
  const Parsed p = Parse(layout);
  ASSERT_TRUE(p.ok);
  EXPECT_TRUE(p.table.empty());
  EXPECT_EQ(p.info.colorsUsed, 2u);
  EXPECT_EQ(p.pixels, layout.data);
}

TEST(BitmapReaderTest, OffsetAcrossAGapIsHonoured) {
  BitmapLayout layout = SmallPalette8();
  layout.gap = 6;
  const Parsed p = Parse(layout);
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.pixels, layout.data);
}

TEST(BitmapReaderTest, OffsetBeyondTheFileIsIgnored) {
  BitmapLayout layout = SmallPalette8();
  layout.pixelOffset = 100000;
  const Parsed p = Parse(layout);
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.pixels, layout.data);
}

TEST(BitmapReaderTest, RunLengthDataIsDecodedToTheEndOfTheFile) {
  BitmapLayout layout = SmallPalette8();
  layout.compression = 1;
  layout.data = {3, 1, 0, 0, 0, 3, 1, 0, 1, 0, 1};
  const Parsed p = Parse(layout);
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.info.compression, 1u);
  EXPECT_EQ(p.info.imageSize, 8u);
  EXPECT_EQ(p.pixels, (std::vector<std::uint8_t>{1, 1, 1, 0, 1, 0, 1, 0}));
}

struct MismatchCase {
  const char* name;
  std::uint16_t bitCount;
  std::uint32_t compression;
};

// Compression that does not match the bit count decodes within the buffer
// the bit count implies; the sanitizer build checks the bounds.
const MismatchCase kMismatches[] = {
    {"Rle8With1Bit", 1, 1},   {"Rle8With24Bit", 24, 1}, {"Rle4With1Bit", 1, 2},
    {"Rle4With16Bit", 16, 2}, {"Rle4With8Bit", 8, 2},
};

class MismatchedCompressionTest : public testing::TestWithParam<MismatchCase> {};

TEST_P(MismatchedCompressionTest, StaysInsideThePixelBuffer) {
  BitmapLayout layout;
  layout.width = 33;
  layout.height = 3;
  layout.bitCount = GetParam().bitCount;
  layout.compression = GetParam().compression;
  if (layout.bitCount <= 8) layout.palette.assign(std::size_t{1} << layout.bitCount, 0);
  // Long runs and literal runs that would run far past a 1-bit buffer.
  for (int i = 0; i < 6; ++i) layout.data.insert(layout.data.end(), {0xFF, 0x77});
  layout.data.insert(layout.data.end(), {0, 0xFF});
  layout.data.insert(layout.data.end(), 256, 0x99);
  const Parsed p = Parse(layout);
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.pixels.size(), StrideOf(33, layout.bitCount) * 3);
  EXPECT_EQ(p.pixels[0], 0x77);
}

INSTANTIATE_TEST_SUITE_P(Bitmaps, MismatchedCompressionTest, testing::ValuesIn(kMismatches),
                         [](const testing::TestParamInfo<MismatchCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(BitmapReaderTest, ReadsFromAFileByItsPath) {
  ScratchFolder folder;
  const BitmapLayout layout = SmallPalette8();
  WriteBytes(folder.Path("small.bmp"), BuildBitmap(layout));
  BitmapInfo info;
  std::vector<std::uint8_t> table;
  std::vector<std::uint8_t> pixels;
  ASSERT_TRUE(ReadBitmapFile(folder.Text("small.bmp"), info, table, pixels));
  EXPECT_EQ(info.width, 3);
  EXPECT_EQ(pixels, layout.data);
  EXPECT_FALSE(ReadBitmapFile(folder.Text("missing.bmp"), info, table, pixels));
  // A name without a code page 932 form is read under its own name.
  const std::string emoji = "\xF0\x9F\x98\x80.bmp";
  WriteBytes(folder.Path(emoji), BuildBitmap(layout));
  EXPECT_TRUE(ReadBitmapFile(folder.Text(emoji), info, table, pixels));
}

}  // namespace
