// The public BMP test suite (good, questionable and bad files, each beside a
// reference PNG). It is not part of the repository; the tests skip when the
// folder is absent.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "image/bmp_to_png_converter.h"
#include "image_test_support.h"
#include "util/unicode.h"

namespace {

namespace fs = std::filesystem;

const fs::path kSuite = fs::path(HOSHIBAKO_SHARED_TESTDATA) / "bmpsuite-2.8";

struct GoodFile {
  const char* name;
  bool accepted;
  bool fiveBitChannels;  // 16-bit: only the top five bits of each channel carry data
};

const GoodFile kGoodFiles[] = {
    {"pal1", true, false},
    {"pal1bg", true, false},
    {"pal1wb", true, false},
    {"pal4", true, false},
    {"pal4gs", true, false},
    {"pal4rle", true, false},
    {"pal8-0", true, false},
    {"pal8", true, false},
    {"pal8gs", true, false},
    {"pal8nonsquare", true, false},
    {"pal8os2", true, false},
    {"pal8rle", true, false},
    {"pal8w124", true, false},
    {"pal8w125", true, false},
    {"pal8w126", true, false},
    {"rgb16", true, true},
    {"rgb24", true, false},
    {"rgb24pal", true, false},
    // Top-down rows, the larger header versions, bit fields and 32 bits.
    {"pal8topdown", false, false},
    {"pal8v4", false, false},
    {"pal8v5", false, false},
    {"rgb16-565", false, false},
    {"rgb16-565pal", false, false},
    {"rgb16bfdef", false, false},
    {"rgb32", false, false},
    {"rgb32bf", false, false},
    {"rgb32bfdef", false, false},
};

// Compares a converted file with its reference, both expanded to 8-bit RGB.
void ExpectMatchesReference(const fs::path& converted, const fs::path& referencePath, bool fiveBitChannels) {
  std::uint32_t width = 0, height = 0, refWidth = 0, refHeight = 0;
  std::vector<std::uint8_t> rgb, reference;
  ASSERT_TRUE(ReadPngAsRgb(converted, width, height, rgb));
  ASSERT_TRUE(ReadPngAsRgb(referencePath, refWidth, refHeight, reference));
  ASSERT_EQ(width, refWidth);
  ASSERT_EQ(height, refHeight);
  ASSERT_EQ(rgb.size(), reference.size());
  const std::uint8_t mask = fiveBitChannels ? 0xF8 : 0xFF;
  int mismatches = 0;
  for (std::size_t i = 0; i < rgb.size(); ++i) {
    if ((rgb[i] & mask) != (reference[i] & mask) && ++mismatches <= 5) {
      const std::size_t pixel = i / 3;
      ADD_FAILURE() << "pixel (" << pixel % width << ", " << pixel / width << ") channel " << i % 3 << ": "
                    << int{rgb[i]} << " instead of " << int{reference[i]};
    }
  }
  EXPECT_EQ(mismatches, 0);
}

class GoodBitmapTest : public testing::TestWithParam<GoodFile> {};

TEST_P(GoodBitmapTest, MatchesReferenceOrIsRefused) {
  const GoodFile& file = GetParam();
  const fs::path source = kSuite / "g" / (std::string(file.name) + ".bmp");
  if (!fs::exists(source)) GTEST_SKIP() << "bmpsuite not present at " << kSuite.string();
  ScratchFolder folder;
  const fs::path destination = folder.Path("out.png");
  const bool converted = BmpToPngConverter().Convert(U16(source.generic_string()), PathText(destination));
  if (!file.accepted) {
    EXPECT_FALSE(converted);
    EXPECT_FALSE(fs::exists(destination));
    return;
  }
  ASSERT_TRUE(converted);

  ExpectMatchesReference(destination, kSuite / "g" / (std::string(file.name) + ".png"), file.fiveBitChannels);
}

INSTANTIATE_TEST_SUITE_P(Suite, GoodBitmapTest, testing::ValuesIn(kGoodFiles),
                         [](const testing::TestParamInfo<GoodFile>& info) {
                           std::string name = info.param.name;
                           for (char& ch : name) {
                             if (ch == '-') ch = '_';
                           }
                           return name;
                         });

// Questionable and bad files: each one either converts to a PNG that libpng
// reads back, or is refused without leaving a file. Crashes, hangs and
// sanitizer reports are what this guards against.
class DubiousBitmapTest : public testing::TestWithParam<const char*> {};

TEST_P(DubiousBitmapTest, ConvertsOrIsRefused) {
  const fs::path folder = kSuite / GetParam();
  if (!fs::is_directory(folder)) GTEST_SKIP() << "bmpsuite not present at " << kSuite.string();
  ScratchFolder output;
  int files = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() != ".bmp") continue;
    ++files;
    const fs::path destination = output.Path(entry.path().stem().string() + ".png");
    SCOPED_TRACE(entry.path().filename().string());
    if (BmpToPngConverter().Convert(U16(entry.path().generic_string()), PathText(destination))) {
      DecodedPng png;
      EXPECT_TRUE(ReadPng(destination, png));
      EXPECT_GT(png.width, 0u);
    } else {
      EXPECT_FALSE(fs::exists(destination));
    }
  }
  EXPECT_GT(files, 0);
}

INSTANTIATE_TEST_SUITE_P(Suite, DubiousBitmapTest, testing::Values("q", "b"));

// Files whose outcome follows from the reader's own rules.
struct KnownOutcome {
  const char* path;
  bool converted;
  bool matchesReference = false;
};

const KnownOutcome kKnownOutcomes[] = {
    {"q/pal8offs", true, true},         // a gap between the table and the pixels
    {"q/pal8oversizepal", true, true},  // 300 table entries, cut to 256
    {"q/rgb24largepal", true, true},    // a 24-bit file with a 300-entry table before its pixels
    {"b/pal8badindex", true},           // indices past the table get black palette entries
    {"b/badpalettesize", false},        // a table longer than the file
    {"b/reallybig", false},             // pixel buffer above the bound
    {"b/rletopdown", false},
    {"b/shortfile", false},
    {"b/badwidth", false},
    {"b/badplanes", false},
    {"b/badbitcount", false},
    {"b/badheadersize", false},
};

class KnownOutcomeTest : public testing::TestWithParam<KnownOutcome> {};

TEST_P(KnownOutcomeTest, ConvertsAsExpected) {
  const fs::path source = kSuite / (std::string(GetParam().path) + ".bmp");
  if (!fs::exists(source)) GTEST_SKIP() << "bmpsuite not present at " << kSuite.string();
  ScratchFolder folder;
  const fs::path destination = folder.Path("out.png");
  ASSERT_EQ(BmpToPngConverter().Convert(U16(source.generic_string()), PathText(destination)),
            GetParam().converted);
  if (GetParam().matchesReference) {
    ExpectMatchesReference(destination, kSuite / (std::string(GetParam().path) + ".png"), false);
  }
}

INSTANTIATE_TEST_SUITE_P(Suite, KnownOutcomeTest, testing::ValuesIn(kKnownOutcomes),
                         [](const testing::TestParamInfo<KnownOutcome>& info) {
                           std::string name = info.param.path;
                           for (char& ch : name) {
                             if (ch == '/' || ch == '-') ch = '_';
                           }
                           return name;
                         });

}  // namespace
