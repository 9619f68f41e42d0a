#include "util/unicode.h"

#include <gtest/gtest.h>

namespace {

struct Utf8Case {
  const char* name;
  std::string bytes;
  bool valid;
};

const Utf8Case kUtf8Cases[] = {
    {"Ascii", "abc", true},
    {"Japanese", "\xE6\x9B\xB2", true},
    {"Supplementary", "\xF0\x9F\x8E\xB5", true},
    {"LiteralReplacement", "\xEF\xBF\xBD", true},
    {"BadContinuation", "\xC3\x28", false},
    {"Overlong", "\xC0\xAF", false},
    {"Surrogate", "\xED\xA0\x80", false},
    {"Truncated", "\xE6\x9B", false},
    {"ShiftJis", "\x83\x5C", false},
};

class Utf8Test : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Test, ValidityAndRoundTrip) {
  const Utf8Case& c = GetParam();
  EXPECT_EQ(IsValidUtf8(c.bytes), c.valid);
  if (c.valid) {
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(c.bytes)), c.bytes);
  } else {
    EXPECT_NE(Utf8ToUtf16(c.bytes).find(u'\xFFFD'), std::u16string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(Unicode, Utf8Test, testing::ValuesIn(kUtf8Cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UnicodeTest, SurrogatePairsAndLoneSurrogates) {
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x8E\xB5"), (std::u16string{0xD83C, 0xDFB5}));
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDC80}), "\xEF\xBF\xBD");
}

}  // namespace
