#include "bms/script_line.h"

#include <gtest/gtest.h>

#include "util/unicode.h"

namespace {

struct LineCase {
  const char* name;
  std::u16string line;
  bool isCommand;
  std::u16string keyword, id, value;
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }

const LineCase kLineCases[] = {
    {"SoundWithId", u"#WAV01 kick.wav", true, u"#WAV", u"01", u"kick.wav"},
    {"LeadingBlanksLowerCaseTabsAndTrailingBlanks", u"  #wav0a\t\tdrum 1.WAV  ", true, u"#WAV", u"0A",
     u"drum 1.WAV  "},
    {"ImageLowerCase", u"#bmp01 bg.bmp", true, u"#BMP", u"01", u"bg.bmp"},
    {"StageFileMixedCase", u"#StageFile title.bmp", true, u"#STAGEFILE", u"", u"title.bmp"},
    {"BackBmp", u"#BACKBMP back.bmp", true, u"#BACKBMP", u"", u"back.bmp"},
    {"BareImageStem", u"#BMP back.bmp", true, u"#BMP", u"", u"back.bmp"},
    {"BareSoundStem", u"#wav kick.wav", true, u"#WAV", u"", u"kick.wav"},
    {"SevenCharacterSoundWord", u"#WAV001 a.wav", true, u"#WAV001", u"", u"a.wav"},
    {"FiveCharacterSoundWord", u"#WAV1 a.wav", true, u"#WAV1", u"", u"a.wav"},
    {"IdMayBePunctuation", u"#WAV-_ a.wav", true, u"#WAV", u"-_", u"a.wav"},
    {"LongerThanBackBmp", u"#BACKBMP01 back.bmp", true, u"#BACKBMP01", u"", u"back.bmp"},
    {"LongerThanStageFile", u"#STAGEFILE2 t.bmp", true, u"#STAGEFILE2", u"", u"t.bmp"},
    {"ValueKeepsInnerAndTrailingBlanks", u"#title My  Song ", true, u"#TITLE", u"", u"My  Song "},
    {"OtherCommand", u"#BGA01 01 0 0 256 256 0 0", true, u"#BGA01", u"", u"01 0 0 256 256 0 0"},
    {"ThreeCharacterWord", u"#IF 1", true, u"#IF", u"", u"1"},
    {"QuotesStayInValue", u"#WAV02 \"kick.wav\"", true, u"#WAV", u"02", u"\"kick.wav\""},
    {"CommentStaysInValue", u"#WAV03 kick.wav ; loud", true, u"#WAV", u"03", u"kick.wav ; loud"},
    {"StrayCarriageReturnIsAnOrdinaryCharacter", u"#WAV01 kick.wav\r", true, u"#WAV", u"01", u"kick.wav\r"},
    {"FullWidthLettersAreUpperCased", U16("#ｔｉｔｌｅ ｓｏｎｇ"), true, U16("#ＴＩＴＬＥ"), u"",
     U16("ｓｏｎｇ")},
    {"JapaneseValueUnchanged", U16("#GENRE ソ表～"), true, u"#GENRE", u"", U16("ソ表～")},
    {"NoteData", u"#00111:01", false, u"", u"", u""},
    {"WordWithoutValue", u"#WAV01", false, u"", u"", u""},
    {"OnlyBlanksAfterWord", u"#WAV01   ", false, u"", u"", u""},
    {"OnlyTabsAfterWord", u"#WAV01\t\t", false, u"", u"", u""},
    {"WordTooShort", u"# comment", false, u"", u"", u""},
    {"TwoCharacterWord", u"#A b", false, u"", u"", u""},
    {"NoLeadingHash", u"*---------- HEADER FIELD", false, u"", u"", u""},
    {"HashLaterInWord", u"x#WAV01 kick.wav", false, u"", u"", u""},
    {"Empty", u"", false, u"", u"", u""},
    {"OnlyBlanks", u" \t  ", false, u"", u"", u""},
    {"IdeographicSpaceIsNotABlank", U16("#WAV01　kick.wav"), false, u"", u"", u""},
    {"VerticalTabIsNotABlank", u"#WAV01\vkick.wav", false, u"", u"", u""},
};

class ScriptLineTest : public testing::TestWithParam<LineCase> {};

TEST_P(ScriptLineTest, Parses) {
  const LineCase& c = GetParam();
  // A non-command line must leave the record as it was.
  ScriptCommand command{u"old", u"id", u"value"};
  ASSERT_EQ(ParseScriptLine(c.line, command), c.isCommand);
  if (c.isCommand) {
    EXPECT_EQ(command.keyword, c.keyword);
    EXPECT_EQ(command.id, c.id);
    EXPECT_EQ(command.value, c.value);
  } else {
    EXPECT_EQ(command.keyword, u"old");
    EXPECT_EQ(command.id, u"id");
    EXPECT_EQ(command.value, u"value");
  }
}

INSTANTIATE_TEST_SUITE_P(Lines, ScriptLineTest, testing::ValuesIn(kLineCases),
                         [](const testing::TestParamInfo<LineCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
