#include "util/cp932.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "util/unicode.h"

namespace {

// The two bytes of a pointer of the reference index.
std::string PointerBytes(int pointer) {
  const int lead = pointer / 188;
  const int trail = pointer % 188;
  std::string bytes;
  bytes += static_cast<char>(lead < 0x1F ? lead + 0x81 : lead + 0xC1);
  bytes += static_cast<char>(trail < 0x3F ? trail + 0x40 : trail + 0x41);
  return bytes;
}

class Cp932IndexTest : public testing::Test {
 protected:
  void SetUp() override {
    std::ifstream in(std::string(HOSHIBAKO_SHARED_TESTDATA) + "/cp932/index-jis0208.txt");
    if (!in) GTEST_SKIP() << "reference index not available";
    std::string line;
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == '#') continue;
      std::istringstream fields(line);
      int pointer = 0;
      std::string code;
      fields >> pointer >> code;
      index_[pointer] = static_cast<char16_t>(std::stoul(code, nullptr, 16));
    }
    ASSERT_GT(index_.size(), 7000u);
  }
  std::map<int, char16_t> index_;
};

TEST_F(Cp932IndexTest, EveryTwoByteCodeDecodesAsTheIndexSays) {
  // Lead bytes 81-9F and E0-FC with trail bytes 40-7E, 80-FC: 60 x 188 pointers.
  int checked = 0;
  for (int pointer = 0; pointer < 60 * 188; ++pointer) {
    const std::string bytes = PointerBytes(pointer);
    std::u16string text;
    const auto it = index_.find(pointer);
    if (it != index_.end()) {
      ASSERT_TRUE(Cp932ToUtf16(bytes, text, false)) << pointer;
      EXPECT_EQ(text, std::u16string(1, it->second)) << "pointer " << pointer;
      ++checked;
    } else if (pointer >= 8836 && pointer <= 10715) {
      ASSERT_TRUE(Cp932ToUtf16(bytes, text, false)) << pointer;
      EXPECT_EQ(text, std::u16string(1, static_cast<char16_t>(0xE000 + pointer - 8836))) << pointer;
    } else {
      EXPECT_FALSE(Cp932ToUtf16(bytes, text, false)) << "unassigned pointer " << pointer;
      // Escaped, the bytes survive a round trip.
      ASSERT_TRUE(Cp932ToUtf16(bytes, text, true));
      std::string back;
      ASSERT_TRUE(Utf16ToCp932(text, back, true));
      EXPECT_EQ(back, bytes);
    }
  }
  EXPECT_EQ(checked, static_cast<int>(index_.size()));
}

TEST_F(Cp932IndexTest, EveryCharacterEncodesToItsPreferredCode) {
  std::map<char16_t, int> preferred;
  for (const auto& [pointer, code] : index_) {
    if (pointer >= 8272 && pointer <= 8835) continue;
    preferred.emplace(code, pointer);  // the first pointer wins
  }
  for (const auto& [code, pointer] : preferred) {
    std::string bytes;
    ASSERT_TRUE(Utf16ToCp932(std::u16string(1, code), bytes, false)) << std::hex << static_cast<int>(code);
    EXPECT_EQ(bytes, PointerBytes(pointer)) << "U+" << std::hex << static_cast<int>(code);
  }
}

struct EncodeCase {
  const char* name;
  char16_t unit;
  const char* bytes;
};

const EncodeCase kEncodeCases[] = {
    {"BackslashStaysAscii", u'\\', "\x5C"},       {"TildeStaysAscii", u'~', "\x7E"},
    {"ApproxEqualsFromRow2", 0x2252, "\x81\xE0"}, {"RomanNumeralFromNecRow13", 0x2160, "\x87\x54"},
    {"NotSignFromRow2", 0xFFE2, "\x81\xCA"},      {"SmallRomanFromIbmNotNecSelected", 0x2170, "\xFA\x40"},
    {"HalfWidthKatakana", 0xFF71, "\xB1"},        {"FullWidthTilde", 0xFF5E, "\x81\x60"},
};

class Cp932EncodeTest : public testing::TestWithParam<EncodeCase> {};

TEST_P(Cp932EncodeTest, PreferredCode) {
  std::string bytes;
  ASSERT_TRUE(Utf16ToCp932(std::u16string(1, GetParam().unit), bytes, false));
  EXPECT_EQ(bytes, GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Cp932, Cp932EncodeTest, testing::ValuesIn(kEncodeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Cp932Test, DuplicatesDecode) {
  std::u16string text;
  // NEC-selected IBM extension (ED/EE rows) and IBM extension (FA) both decode.
  ASSERT_TRUE(Cp932ToUtf16("\xEE\xEF\xFA\x40", text, false));
  EXPECT_EQ(text, (std::u16string{0x2170, 0x2170}));
}

struct InvalidCase {
  const char* name;
  std::string bytes;
};

const InvalidCase kInvalidCases[] = {
    {"LeadAtEnd", "ab\x82"},
    {"LeadBeforeLineFeed", "\x82\n"},
    {"LeadBeforeAscii",
     "\x82"
     "A"},
    {"SingleA0", "\xA0"},
    {"SingleFF", "\xFF"},
    {"Utf8Title", "\xE6\x9B\xB2\xE5\x90\x8D"},
    {"EucKrTitle", "\xC7\xD1\xB1\xB9"},
};

class Cp932InvalidTest : public testing::TestWithParam<InvalidCase> {};

TEST_P(Cp932InvalidTest, EscapesRoundTripLosslessly) {
  const std::string& bytes = GetParam().bytes;
  std::u16string text;
  ASSERT_TRUE(Cp932ToUtf16(bytes, text, true));
  std::string back;
  ASSERT_TRUE(Utf16ToCp932(text, back, true));
  EXPECT_EQ(back, bytes);
}

INSTANTIATE_TEST_SUITE_P(Cp932, Cp932InvalidTest, testing::ValuesIn(kInvalidCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Cp932Test, EscapesAreRefusedWhenNotAllowed) {
  std::u16string text;
  ASSERT_TRUE(Cp932ToUtf16("\x82", text, true));
  ASSERT_EQ(text.size(), 1u);
  EXPECT_TRUE(IsCp932Escape(text[0]));
  std::string bytes;
  EXPECT_FALSE(Utf16ToCp932(text, bytes, false));
  EXPECT_FALSE(Cp932ToUtf16("\x82", text, false));
}

TEST(Cp932Test, CharactersOutsideTheCodePageFail) {
  std::string bytes = "unchanged";
  EXPECT_FALSE(Utf16ToCp932(U16("한"), bytes, true));
  EXPECT_TRUE(bytes.empty());
  EXPECT_FALSE(IsCp932Representable(U16("한")[0]));
  EXPECT_TRUE(IsCp932Representable(U16("曲")[0]));
  EXPECT_FALSE(IsCp932Representable(0xDC82));
}

}  // namespace
