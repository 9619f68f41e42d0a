#include "image/bmp_to_png_converter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "image_test_support.h"
#include "util/unicode.h"

namespace {

using Image = std::vector<std::vector<std::uint32_t>>;  // rows top first

// Run-length encoders for the tests: repeated pixels as encoded runs, other
// stretches of three or more as absolute runs, an end of line per row and an
// end of bitmap after the last.
void EncodeRow8(const std::vector<std::uint32_t>& row, std::vector<std::uint8_t>& out) {
  std::size_t x = 0;
  while (x < row.size()) {
    std::size_t run = 1;
    while (x + run < row.size() && row[x + run] == row[x] && run < 255) ++run;
    if (run >= 2) {
      out.push_back(static_cast<std::uint8_t>(run));
      out.push_back(static_cast<std::uint8_t>(row[x]));
      x += run;
      continue;
    }
    std::size_t literal = 1;
    while (x + literal < row.size() && literal < 255 &&
           !(x + literal + 1 < row.size() && row[x + literal] == row[x + literal + 1])) {
      ++literal;
    }
    if (literal < 3) {
      out.push_back(1);
      out.push_back(static_cast<std::uint8_t>(row[x]));
      ++x;
      continue;
    }
    out.push_back(0);
    out.push_back(static_cast<std::uint8_t>(literal));
    for (std::size_t i = 0; i < literal; ++i) out.push_back(static_cast<std::uint8_t>(row[x + i]));
    if (literal & 1) out.push_back(0);
    x += literal;
  }
  out.push_back(0);
  out.push_back(0);
}

// At 4 bits: pairs of pixels become encoded runs of two alternating nibbles
// when the pattern repeats, otherwise absolute runs of up to 7 pixels.
void EncodeRow4(const std::vector<std::uint32_t>& row, std::vector<std::uint8_t>& out) {
  std::size_t x = 0;
  while (x < row.size()) {
    const std::size_t left = row.size() - x;
    if (left >= 4 && row[x] == row[x + 2] && row[x + 1] == row[x + 3]) {
      std::size_t run = 4;
      while (x + run < row.size() && row[x + run] == row[x + run % 2] && run < 255) ++run;
      out.push_back(static_cast<std::uint8_t>(run));
      out.push_back(static_cast<std::uint8_t>(row[x] << 4 | row[x + 1]));
      x += run;
    } else if (left >= 3) {
      const std::size_t n = std::min<std::size_t>(left, 7);
      out.push_back(0);
      out.push_back(static_cast<std::uint8_t>(n));
      std::vector<std::uint8_t> packed((n + 1) / 2, 0);
      for (std::size_t i = 0; i < n; ++i)
        packed[i / 2] |= static_cast<std::uint8_t>(row[x + i] << (i % 2 ? 0 : 4));
      out.insert(out.end(), packed.begin(), packed.end());
      if (packed.size() & 1) out.push_back(0);
      x += n;
    } else {
      out.push_back(static_cast<std::uint8_t>(left));
      out.push_back(static_cast<std::uint8_t>(row[x] << 4 | (left > 1 ? row[x + 1] : 0)));
      x += left;
    }
  }
  out.push_back(0);
  out.push_back(0);
}

std::vector<std::uint8_t> EncodePixels(const Image& image, unsigned bitCount, std::uint32_t compression) {
  std::vector<std::uint8_t> data;
  // Bitmap rows are stored bottom row first.
  for (auto row = image.rbegin(); row != image.rend(); ++row) {
    if (compression == 1) {
      EncodeRow8(*row, data);
    } else if (compression == 2) {
      EncodeRow4(*row, data);
    } else {
      const std::vector<std::uint8_t> packed = PackRow(*row, bitCount);
      data.insert(data.end(), packed.begin(), packed.end());
    }
  }
  if (compression != 0) data.insert(data.end(), {0, 1});
  return data;
}

struct RoundTripCase {
  const char* name;
  std::uint32_t headerSize;
  std::uint16_t bitCount;
  std::uint32_t compression;
  std::int32_t width;
  std::int32_t height;
  std::uint32_t colorsUsed;  // 0: the full table
};

const RoundTripCase kRoundTrips[] = {
    {"Pal1Full", 40, 1, 0, 13, 5, 0},  {"Pal1OneColor", 40, 1, 0, 9, 2, 1},
    {"Pal4Full", 40, 4, 0, 7, 4, 0},   {"Pal4Short", 40, 4, 0, 11, 3, 5},
    {"Pal8Full", 40, 8, 0, 9, 3, 0},   {"Pal8Short", 40, 8, 0, 10, 4, 20},
    {"Rgb16", 40, 16, 0, 5, 3, 0},     {"Rgb24", 40, 24, 0, 7, 3, 0},
    {"Rle8", 40, 8, 1, 37, 6, 30},     {"Rle4", 40, 4, 2, 29, 5, 0},
    {"Core1", 12, 1, 0, 17, 2, 0},     {"Core8", 12, 8, 0, 6, 2, 0},
    {"Core24", 12, 24, 0, 3, 2, 0},    {"Wide1", 40, 1, 0, 301, 2, 0},
    {"Rle8Wide", 40, 8, 1, 600, 2, 0},
};

// Pixels with runs and with changing stretches, so that encoders use both
// kinds of run.
Image MakeImage(const RoundTripCase& c, std::uint32_t entries) {
  Image image(static_cast<std::size_t>(c.height));
  for (std::int32_t y = 0; y < c.height; ++y) {
    for (std::int32_t x = 0; x < c.width; ++x) {
      const std::uint32_t flat = (x / 4 + y) % 3 == 0;
      const std::uint32_t mix = static_cast<std::uint32_t>(x * 7 + y * 13 + (x * x) % 5);
      std::uint32_t v = 0;
      if (c.bitCount <= 8) {
        v = flat ? static_cast<std::uint32_t>(y) % entries : mix % entries;
      } else if (c.bitCount == 16) {
        v = (mix * 2654435761u) & 0xFFFF;  // top bit set on some pixels
      } else {
        v = (mix * 2654435761u) & 0xFFFFFF;
      }
      image[static_cast<std::size_t>(y)].push_back(v);
    }
  }
  return image;
}

std::uint32_t ExpectedRgb(const RoundTripCase& c, std::uint32_t v) {
  if (c.bitCount == 24) return v;
  const std::uint32_t r = (v >> 7) & 0xF8;
  const std::uint32_t g = (v >> 2) & 0xF8;
  const std::uint32_t b = (v << 3) & 0xF8;
  return r << 16 | g << 8 | b;
}

class RoundTripTest : public testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTripTest, PngHoldsTheSamePixels) {
  const RoundTripCase& c = GetParam();
  const std::uint32_t entries = c.colorsUsed != 0 ? c.colorsUsed : 1u << std::min<unsigned>(c.bitCount, 8);
  BitmapLayout layout;
  layout.headerSize = c.headerSize;
  layout.width = c.width;
  layout.height = c.height;
  layout.bitCount = c.bitCount;
  layout.compression = c.compression;
  layout.colorsUsed = c.colorsUsed;
  // Resolution fields are not carried over.
  layout.xPixelsPerMeter = 2835;
  layout.yPixelsPerMeter = 2835;
  if (c.bitCount <= 8) {
    // Grey for the full 8-bit table: a palette PNG all the same, not a grey one.
    for (std::uint32_t i = 0; i < entries; ++i) {
      layout.palette.push_back(c.name == std::string("Pal8Full") ? i * 0x010101
                                                                 : (i * 0x3A5F17 + 0x102030) & 0xFFFFFF);
    }
  }
  const Image image = MakeImage(c, entries);
  layout.data = EncodePixels(image, c.bitCount, c.compression);

  ScratchFolder folder;
  WriteBytes(folder.Path("in.bmp"), BuildBitmap(layout));
  ASSERT_TRUE(BmpToPngConverter().Convert(folder.Text("in.bmp"), folder.Text("out.png")));

  DecodedPng png;
  ASSERT_TRUE(ReadPng(folder.Path("out.png"), png));
  EXPECT_EQ(png.width, static_cast<std::uint32_t>(c.width));
  EXPECT_EQ(png.height, static_cast<std::uint32_t>(c.height));
  std::vector<std::string> chunks = png.chunks;
  chunks.erase(std::unique(chunks.begin(), chunks.end()), chunks.end());
  if (c.bitCount <= 8) {
    EXPECT_EQ(png.colorType, 3);
    EXPECT_EQ(png.bitDepth, c.bitCount);
    EXPECT_EQ(png.palette, layout.palette);
    EXPECT_EQ(chunks, (std::vector<std::string>{"IHDR", "PLTE", "IDAT", "IEND"}));
  } else {
    EXPECT_EQ(png.colorType, 2);
    EXPECT_EQ(png.bitDepth, 8);
    EXPECT_TRUE(png.palette.empty());
    EXPECT_EQ(chunks, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
  }
  ASSERT_EQ(png.rows.size(), image.size());
  int mismatches = 0;
  for (std::size_t y = 0; y < image.size(); ++y) {
    for (std::uint32_t x = 0; x < png.width; ++x) {
      std::uint32_t actual = 0;
      std::uint32_t expected = image[y][x];
      if (c.bitCount <= 8) {
        actual = SampleAt(png.rows[y], png.bitDepth, x);
      } else {
        const std::uint8_t* p = png.rows[y].data() + x * 3;
        actual = std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
        expected = ExpectedRgb(c, expected);
      }
      if (actual != expected && ++mismatches <= 5) {
        ADD_FAILURE() << "pixel (" << x << ", " << y << "): " << std::hex << actual << " instead of "
                      << expected;
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

INSTANTIATE_TEST_SUITE_P(Variants, RoundTripTest, testing::ValuesIn(kRoundTrips),
                         [](const testing::TestParamInfo<RoundTripCase>& info) {
                           return std::string(info.param.name);
                         });

class ConverterTest : public testing::Test {
 protected:
  bool Convert(const BitmapLayout& layout, const std::string& destination = "out.png") {
    WriteBytes(folder_.Path("in.bmp"), BuildBitmap(layout));
    return BmpToPngConverter().Convert(folder_.Text("in.bmp"), folder_.Text(destination));
  }
  DecodedPng Output(const std::string& name = "out.png") {
    DecodedPng png;
    EXPECT_TRUE(ReadPng(folder_.Path(name), png));
    return png;
  }
  ScratchFolder folder_;
};

TEST_F(ConverterTest, SixteenBitComponentsLandInTheTopFiveBits) {
  BitmapLayout layout;
  layout.width = 5;
  layout.height = 1;
  layout.bitCount = 16;
  layout.data = PackRow({0x7FFF, 0x7C00, 0x03E0, 0x001F, 0x8000}, 16);
  ASSERT_TRUE(Convert(layout));
  const DecodedPng png = Output();
  ASSERT_EQ(png.rows.size(), 1u);
  EXPECT_EQ(png.rows[0],
            (std::vector<std::uint8_t>{248, 248, 248, 248, 0, 0, 0, 248, 0, 0, 0, 248, 0, 0, 0}));
}

TEST_F(ConverterTest, TwentyFourBitBytesAreReversed) {
  BitmapLayout layout;
  layout.width = 1;
  layout.height = 2;
  layout.data = {0x10, 0x20, 0x30, 0, 0x40, 0x50, 0x60, 0};
  ASSERT_TRUE(Convert(layout));
  const DecodedPng png = Output();
  ASSERT_EQ(png.rows.size(), 2u);
  // The bottom row of the file is the last PNG row.
  EXPECT_EQ(png.rows[0], (std::vector<std::uint8_t>{0x60, 0x50, 0x40}));
  EXPECT_EQ(png.rows[1], (std::vector<std::uint8_t>{0x30, 0x20, 0x10}));
}

struct IndexCase {
  const char* name;
  std::uint16_t bitCount;
  std::uint32_t colorsUsed;
  std::vector<std::uint32_t> row;
  std::size_t paletteSize;
};

const IndexCase kIndexCases[] = {
    {"Pal8IndexPastTable", 8, 4, {0, 9, 3}, 10},
    {"Pal4IndexPastTable", 4, 2, {1, 15, 0}, 16},
    {"Pal1IndexPastTable", 1, 1, {0, 1, 0}, 2},
    {"Pal8IndicesInsideTable", 8, 4, {0, 3, 2}, 4},
};

class PaletteIndexTest : public testing::TestWithParam<IndexCase> {};

TEST_P(PaletteIndexTest, PaletteReachesTheLargestIndexWithBlack) {
  const IndexCase& c = GetParam();
  BitmapLayout layout;
  layout.width = static_cast<std::int32_t>(c.row.size());
  layout.height = 1;
  layout.bitCount = c.bitCount;
  layout.colorsUsed = c.colorsUsed;
  layout.palette.assign(c.colorsUsed, 0xFFEEDD);
  layout.data = PackRow(c.row, c.bitCount);
  ScratchFolder folder;
  WriteBytes(folder.Path("in.bmp"), BuildBitmap(layout));
  ASSERT_TRUE(BmpToPngConverter().Convert(folder.Text("in.bmp"), folder.Text("out.png")));
  DecodedPng png;
  ASSERT_TRUE(ReadPng(folder.Path("out.png"), png));
  ASSERT_EQ(png.palette.size(), c.paletteSize);
  for (std::size_t i = 0; i < c.paletteSize; ++i) {
    EXPECT_EQ(png.palette[i], i < c.colorsUsed ? 0xFFEEDDu : 0u) << "entry " << i;
  }
  for (std::uint32_t x = 0; x < c.row.size(); ++x) EXPECT_EQ(SampleAt(png.rows[0], c.bitCount, x), c.row[x]);
}

INSTANTIATE_TEST_SUITE_P(Palettes, PaletteIndexTest, testing::ValuesIn(kIndexCases),
                         [](const testing::TestParamInfo<IndexCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(ConverterTest, PaddingBitsDoNotWidenThePalette) {
  // Three 1-bit pixels of index 0, the five padding bits set.
  BitmapLayout layout;
  layout.width = 3;
  layout.height = 1;
  layout.bitCount = 1;
  layout.colorsUsed = 1;
  layout.palette = {0x123456};
  layout.data = {0x1F, 0xFF, 0xFF, 0xFF};
  ASSERT_TRUE(Convert(layout));
  EXPECT_EQ(Output().palette, std::vector<std::uint32_t>{0x123456});
}

TEST_F(ConverterTest, DestinationNamedBmpReceivesPng) {
  BitmapLayout layout;
  layout.data = {1, 2, 3, 0};
  ASSERT_TRUE(Convert(layout, "same.bmp"));
  EXPECT_EQ(Output("same.bmp").colorType, 2);
}

TEST_F(ConverterTest, ExistingDestinationIsReplaced) {
  WriteBytes(folder_.Path("out.png"), std::vector<std::uint8_t>(5000, 0x55));
  BitmapLayout layout;
  layout.data = {1, 2, 3, 0};
  ASSERT_TRUE(Convert(layout));
  EXPECT_EQ(Output().width, 1u);
}

TEST_F(ConverterTest, RefusedBitmapCreatesNoDestination) {
  BitmapLayout layout;
  layout.bitCount = 32;
  layout.data = {1, 2, 3, 4};
  EXPECT_FALSE(Convert(layout));
  EXPECT_FALSE(folder_.Exists("out.png"));
}

TEST_F(ConverterTest, MissingSourceFails) {
  EXPECT_FALSE(BmpToPngConverter().Convert(folder_.Text("none.bmp"), folder_.Text("out.png")));
  EXPECT_FALSE(folder_.Exists("out.png"));
}

TEST_F(ConverterTest, UnopenableDestinationFails) {
  BitmapLayout layout;
  layout.data = {1, 2, 3, 0};
  EXPECT_FALSE(Convert(layout, "no-such-folder/out.png"));
}

TEST_F(ConverterTest, LibraryErrorFailsAndRemovesTheDestination) {
  // Wider than libpng accepts by default: its error must end in false, not
  // in an abort, and the started file must not stay behind.
  BitmapLayout layout;
  layout.width = 1000001;
  layout.height = 1;
  layout.bitCount = 1;
  layout.palette = {0, 0xFFFFFF};
  layout.data.assign(StrideOf(layout.width, 1), 0x5A);
  EXPECT_FALSE(Convert(layout));
  EXPECT_FALSE(folder_.Exists("out.png"));
}

// Refusals say why, naming what the file holds where the header tells it.
struct ReasonCase {
  const char* name;
  void (*change)(BitmapLayout&);  // null: no source file at all
  const char* destination;
  const char16_t* reason;
};

const ReasonCase kReasons[] = {
    {"TopDown", [](BitmapLayout& b) { b.height = -1; }, "out.png", u"上下が逆のBMPは変換できません"},
    {"ThirtyTwoBits", [](BitmapLayout& b) { b.bitCount = 32; }, "out.png", u"32ビットのBMPは変換できません"},
    {"V5Header", [](BitmapLayout& b) { b.headerSize = 124; }, "out.png", u"V5ヘッダのBMPは変換できません"},
    {"MissingSource", nullptr, "out.png", u"ファイルを開けません"},
    {"DestinationFolderMissing", [](BitmapLayout&) {}, "none/out.png", u"書き込めません"},
};

class ReasonTest : public testing::TestWithParam<ReasonCase> {};

TEST_P(ReasonTest, SaysWhy) {
  ScratchFolder folder;
  BitmapLayout layout;
  layout.data = {1, 2, 3, 0};
  if (GetParam().change != nullptr) {
    GetParam().change(layout);
    ASSERT_TRUE(WriteBytes(folder.Path("in.bmp"), BuildBitmap(layout)));
  }
  std::u16string reason;
  EXPECT_FALSE(
      BmpToPngConverter().Convert(folder.Text("in.bmp"), folder.Text(GetParam().destination), &reason));
  EXPECT_EQ(Utf16ToUtf8(reason), Utf16ToUtf8(GetParam().reason));
}

INSTANTIATE_TEST_SUITE_P(Refusals, ReasonTest, testing::ValuesIn(kReasons),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
