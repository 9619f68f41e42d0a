#include "job/folder_result.h"

#include <gtest/gtest.h>

#include <string>

#include "job/local_time.h"
#include "util/unicode.h"

namespace {

struct StatusCase {
  const char* name;
  std::int32_t value;
  const char* word;
};

class StatusTextTest : public ::testing::TestWithParam<StatusCase> {};

TEST_P(StatusTextTest, MapsEveryValueToItsWord) {
  EXPECT_EQ(StatusText(static_cast<FolderStatus>(GetParam().value)), U16(GetParam().word));
}

INSTANTIATE_TEST_SUITE_P(
    Values, StatusTextTest,
    ::testing::Values(StatusCase{"Ok", 0, "OK"}, StatusCase{"Cancelled", 1, "キャンセル"},
                      StatusCase{"HasErrors", 2, "エラーあり"},
                      StatusCase{"FolderCreationFailed", 3, "フォルダ作成失敗"},
                      StatusCase{"JustAbove", 4, "不明"}, StatusCase{"Negative", -1, "不明"},
                      StatusCase{"Large", 0x7fffffff, "不明"}),
    [](const ::testing::TestParamInfo<StatusCase>& info) { return std::string(info.param.name); });

struct LogLineCase {
  const char* name;
  FolderResult row;
  const char* line;
};

FolderResult Row(const char* folder, FolderStatus status, int bms, int sound, int image, int copied,
                 std::initializer_list<const char*> errors) {
  FolderResult row;
  row.folder = U16(folder);
  row.status = status;
  row.bmsCount = bms;
  row.soundCount = sound;
  row.imageCount = image;
  row.copiedCount = copied;
  for (const char* name : errors) row.AddErrorFile(U16(name));
  return row;
}

class FolderLogLineTest : public ::testing::TestWithParam<LogLineCase> {};

TEST_P(FolderLogLineTest, JoinsTheFieldsWithCommas) {
  EXPECT_EQ(Utf16ToUtf8(FolderLogLine(GetParam().row)), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FolderLogLineTest,
    ::testing::Values(
        LogLineCase{"NewRow", Row("/songs", FolderStatus::Ok, 0, 0, 0, 0, {}), "/songs,OK,0,0,0,0,0"},
        LogLineCase{"TwoFailedNamesInOrder",
                    Row("/s/曲", FolderStatus::HasErrors, 1, 0, 2, 10, {"a.wav", "b.bmp"}),
                    "/s/曲,エラーあり,1,0,2,10,2,a.wav,b.bmp"},
        LogLineCase{"CommasAreNotEscaped", Row("/a,b", FolderStatus::HasErrors, 0, 0, 0, 0, {"x,y.wav"}),
                    "/a,b,エラーあり,0,0,0,0,1,x,y.wav"},
        LogLineCase{"LargeCountsWithoutGrouping", Row("/", FolderStatus::Ok, 12345, 0, 0, 1000000, {}),
                    "/,OK,12345,0,0,1000000,0"},
        // A name must not forge a line of its own, or steer a terminal.
        LogLineCase{
            "ControlCharactersAreEscaped",
            Row("/s/a\nb", FolderStatus::HasErrors, 0, 0, 0, 0, {"x\r\n/,OK,0,0,0,0,0.wav", "\x1B[2J.bmp"}),
            "/s/a\\nb,エラーあり,0,0,0,0,2,x\\r\\n/,OK,0,0,0,0,0.wav,\\x1B[2J.bmp"},
        LogLineCase{"BackslashesStayAsTheyAre", Row("C:\\songs\\new", FolderStatus::Ok, 0, 0, 0, 0, {}),
                    "C:\\songs\\new,OK,0,0,0,0,0"}),
    [](const ::testing::TestParamInfo<LogLineCase>& info) { return std::string(info.param.name); });

struct VisibleCase {
  const char* name;
  const char* text;  // UTF-8
  const char* visible;
};

class VisibleTextTest : public ::testing::TestWithParam<VisibleCase> {};

TEST_P(VisibleTextTest, EscapesControlCharactersOnly) {
  EXPECT_EQ(Utf16ToUtf8(VisibleText(U16(GetParam().text))), GetParam().visible);
}

INSTANTIATE_TEST_SUITE_P(
    Characters, VisibleTextTest,
    ::testing::Values(VisibleCase{"TabLineFeedCarriageReturn", "a\tb\nc\rd", "a\\tb\\nc\\rd"},
                      VisibleCase{"EscapeAndBell", "\x1B]0;x\x07", "\\x1B]0;x\\x07"},
                      VisibleCase{"FirstAndLastC0", "\x01\x1F", "\\x01\\x1F"},
                      VisibleCase{"Delete", "a\x7F", "a\\x7F"},
                      VisibleCase{"C1ControlSequenceIntroducer",
                                  "\xC2\x9B"
                                  "31m",
                                  "\\x9B"
                                  "31m"},
                      VisibleCase{"NoBreakSpaceAfterC1IsText", "\xC2\xA0", "\xC2\xA0"},
                      VisibleCase{"BackslashAndJapanese", "C:\\曲\\x.wav", "C:\\曲\\x.wav"}),
    [](const ::testing::TestParamInfo<VisibleCase>& info) { return std::string(info.param.name); });

TEST(DecimalTextTest, PlainDecimal) {
  EXPECT_EQ(DecimalText(0), u"0");
  EXPECT_EQ(DecimalText(7), u"7");
  EXPECT_EQ(DecimalText(-42), u"-42");
  EXPECT_EQ(DecimalText(INT64_MIN), u"-9223372036854775808");
}

struct DateCase {
  const char* name;
  LocalTime time;
  const char* line;
};

class DateLineTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(DateLineTest, NumbersHaveNoLeadingZeros) {
  EXPECT_EQ(Utf16ToUtf8(DateLineText(GetParam().time)), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Times, DateLineTest,
    ::testing::Values(DateCase{"Morning", {2009, 3, 5, 9, 7, 2}, "2009/3/5 9:7:2"},
                      DateCase{"Midnight", {2024, 1, 1, 0, 0, 0}, "2024/1/1 0:0:0"},
                      DateCase{"LastSecond", {1999, 12, 31, 23, 59, 59}, "1999/12/31 23:59:59"}),
    [](const ::testing::TestParamInfo<DateCase>& info) { return std::string(info.param.name); });

}  // namespace
