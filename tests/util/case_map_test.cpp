#include "util/case_map.h"

#include <gtest/gtest.h>

#include "util/unicode.h"

namespace {

struct CaseRow {
  const char* name;
  const char* lower;
  const char* upper;
};

const CaseRow kCaseRows[] = {
    {"Ascii", "#wav0a kick", "#WAV0A KICK"},
    {"FullWidthLatin", "ａｂｃｚ", "ＡＢＣＺ"},
    {"Latin1", "éàÿ", "ÉÀŸ"},
    {"LatinExtendedA", "łžő", "ŁŽŐ"},
    {"Greek", "αβγωάώ", "ΑΒΓΩΆΏ"},
    {"Cyrillic", "жяё", "ЖЯЁ"},
    {"KanaAndDigitsUnchanged", "かな123ｱ", "かな123ｱ"},
};

class CaseMapTest : public testing::TestWithParam<CaseRow> {};

TEST_P(CaseMapTest, BothDirections) {
  const CaseRow& r = GetParam();
  EXPECT_EQ(ToUpper(U16(r.lower)), U16(r.upper));
  EXPECT_EQ(ToLower(U16(r.upper)), U16(r.lower));
}

INSTANTIATE_TEST_SUITE_P(Letters, CaseMapTest, testing::ValuesIn(kCaseRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CaseMapTest, FinalSigmaUpperCases) { EXPECT_EQ(ToUpperUnit(0x03C2), 0x03A3); }

TEST(CaseMapTest, EveryUpperOfALowerMapsBack) {
  // Pairs must be consistent: lower(upper(c)) == c for every letter that changes,
  // apart from the final sigma, which shares its capital.
  for (unsigned c = 0; c < 0x10000; ++c) {
    const char16_t unit = static_cast<char16_t>(c);
    const char16_t upper = ToUpperUnit(unit);
    if (upper != unit && unit != 0x03C2) {
      EXPECT_EQ(ToLowerUnit(upper), unit) << std::hex << c;
    }
  }
}

}  // namespace
