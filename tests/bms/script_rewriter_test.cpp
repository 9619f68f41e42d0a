#include "bms/script_rewriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "bms/text_file.h"
#include "scratch_folder_test.h"
#include "util/cp932.h"
#include "util/unicode.h"

namespace {

// Joins lines with CR LF after each one, the form every rewritten script has.
std::string CrLfLines(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\r\n";
  return out;
}

ScriptRewriter Rewriter(bool sound, bool image, bool repair) {
  ScriptRewriter rewriter;
  rewriter.renaming = ReferenceRenaming::For((sound ? CompressSound : OptionFlags{0}) |
                                             (image ? CompressImages : OptionFlags{0}));
  rewriter.repair = repair;
  return rewriter;
}

struct FlagsCase {
  const char* name;
  OptionFlags options;
  bool sound, image, repair;
};

void PrintTo(const FlagsCase& c, std::ostream* os) { *os << c.name; }

const FlagsCase kFlagsCases[] = {
    {"None", 0, false, false, false},
    {"SoundOnly", CompressSound, true, false, false},
    {"ImagesOnly", CompressImages, false, true, false},
    {"RepairOnly", RepairBms, false, false, true},
    {"SoundAndRepair", 0x0A, true, false, true},
    {"SubfoldersDoNotMatter", IncludeSubfolders | CompressImages, false, true, false},
    {"KeepUnchangedWinsOverAll", 0x1F, false, false, false},
    {"KeepUnchangedAlone", KeepBmsUnchanged, false, false, false},
};

class FromJobSettingsTest : public testing::TestWithParam<FlagsCase> {};

TEST_P(FromJobSettingsTest, DerivesFlags) {
  const FlagsCase& c = GetParam();
  JobSettings settings;
  settings.options = c.options;
  const ScriptRewriter rewriter = FromJobSettings(settings);
  EXPECT_EQ(rewriter.renaming.sound != nullptr, c.sound);
  EXPECT_EQ(rewriter.renaming.image != nullptr, c.image);
  EXPECT_EQ(rewriter.repair, c.repair);
}

INSTANTIATE_TEST_SUITE_P(Options, FromJobSettingsTest, testing::ValuesIn(kFlagsCases),
                         [](const testing::TestParamInfo<FlagsCase>& info) {
                           return std::string(info.param.name);
                         });

enum Flags { Sound = 1, Image = 2, Repair = 4, Flac = 8 };

struct RuleCase {
  const char* name;
  int flags;
  std::string source;  // one line, without its line end
  std::string expected;
};

void PrintTo(const RuleCase& c, std::ostream* os) { *os << c.name; }

const RuleCase kRuleCases[] = {
    {"Sound", Sound | Image, "#WAV01 kick.wav", "#WAV01 kick.ogg"},
    {"LowerCaseWordTabUpperCaseExtension", Sound | Image, "#wav01\tKick.WAV", "#WAV01 Kick.ogg"},
    {"LeadingBlanksRemoved", Sound | Image, "  #wav01\tKick.WAV", "#WAV01 Kick.ogg"},
    {"BackslashFolderWithSpace", Sound | Image, "#WAV01 sub dir\\kick.wav", "#WAV01 sub dir\\kick.ogg"},
    {"TrailingBlanksStayAfterTheNewExtension", Sound | Image, "#STAGEFILE st.bmp \t ",
     "#STAGEFILE st.png \t "},
    {"AlreadyOgg", Sound | Image, "#WAV01 kick.ogg", "#WAV01 kick.ogg"},
    {"SlashAfterDot", Sound | Image, "#WAV01 a.b/kick", "#WAV01 a.b/kick"},
    {"SevenCharacterWord", Sound | Image, "#WAV001 a.wav", "#WAV001 a.wav"},
    {"QuotedName", Sound | Image, "#WAV02 \"kick.wav\"", "#WAV02 \"kick.wav\""},
    {"DoubleExtension", Sound | Image, "#WAV01 kick.wav.bak", "#WAV01 kick.wav.bak"},
    {"NoExtension", Sound | Image, "#WAV01 kick", "#WAV01 kick"},
    {"BareSoundWordNamesNoFile", Sound | Image, "#WAV kick.wav", "#WAV kick.wav"},
    {"IdCharactersUpperCased", Sound, "#wavzz a.wav", "#WAVZZ a.ogg"},
    {"Image", Sound | Image, "#BMP01 bg.bmp", "#BMP01 bg.png"},
    {"ImageWithSoundOnly", Sound, "#BMP01 bg.bmp", "#BMP01 bg.bmp"},
    {"SoundWithImageOnly", Image, "#WAV01 kick.wav", "#WAV01 kick.wav"},
    {"BmpNameInSoundCommand", Sound | Image, "#WAV01 bg.bmp", "#WAV01 bg.bmp"},
    {"WavNameInImageCommand", Sound | Image, "#BMP01 kick.wav", "#BMP01 kick.wav"},
    {"StageFile", Sound | Image, "#StageFile Title.BMP", "#STAGEFILE Title.png"},
    {"BackBmp", Sound | Image, "#BACKBMP back.bmp", "#BACKBMP back.png"},
    {"BareImageWordNamesNoFile", Image, "#bmp back.bmp", "#bmp back.bmp"},
    {"Banner", Sound | Image, "#banner Banner.BMP", "#BANNER Banner.png"},
    {"BannerWithSoundOnly", Sound, "#BANNER banner.bmp", "#BANNER banner.bmp"},
    {"Preview", Sound | Image, "#PREVIEW preview.wav", "#PREVIEW preview.ogg"},
    {"PreviewWithImagesOnly", Image, "#PREVIEW preview.wav", "#PREVIEW preview.wav"},
    {"LongerThanBackBmp", Sound | Image, "#BACKBMP01 back.bmp", "#BACKBMP01 back.bmp"},
    {"TitleUntouched", Sound | Image, "#title  My Song", "#title  My Song"},
    {"TitleRepaired", Sound | Image | Repair, "#title  My Song", "#TITLE My Song"},
    {"RepairKeepsTrailingBlanks", Repair, "\t#artist \t a b \t", "#ARTIST a b \t"},
    {"NormalLineUnderRepair", Repair, "#BGA01 01 0 0 256 256 0 0", "#BGA01 01 0 0 256 256 0 0"},
    {"NoteDataUnderRepair", Sound | Image | Repair, "  #00111:01", "  #00111:01"},
    {"CommentUnderRepair", Repair, "*---- comment", "*---- comment"},
    {"BareWordUnderRepair", Repair, "  #endif", "  #endif"},
    {"RepairKeepsExtension", Repair, "#wav01  kick.wav", "#WAV01 kick.wav"},
    {"RepairAndRewrite", Sound | Repair, "  #wav01  kick.wav", "#WAV01 kick.ogg"},
    {"ShiftJisName", Sound | Image, "#WAV01 \x83\x5C\x95\x5C.wav", "#WAV01 \x83\x5C\x95\x5C.ogg"},
    {"ShiftJisFolderBeforeBackslash", Sound | Image, "#BMP01 \x95\x5C\\\x83\x5C.bmp",
     "#BMP01 \x95\x5C\\\x83\x5C.png"},
    {"FullWidthWordUpperCased", Repair, "#\x82\x94\x82\x89 x", "#\x82\x73\x82\x68 x"},  // #ｔｉ -> #ＴＩ
    {"NonPreferredCodeInRebuiltValue", Sound, "#WAV01 \x87\x90\xED\x40.wav", "#WAV01 \x87\x90\xED\x40.ogg"},
    {"NonPreferredCodeInRepairedWord", Repair, "#\x87\x90\xED\x40  x", "#\x87\x90\xED\x40 x"},
    {"NonPreferredCodeInLowerCaseWord", Repair, "#a\x87\x90 x", "#A\x81\xE0 x"},
    {"InvalidBytesInRebuiltValue", Sound, "#WAV01 \x81\x20\xFD.wav", "#WAV01 \x81\x20\xFD.ogg"},
    {"StrayCrStaysInUnchangedLine", Sound, "#TITLE x\r", "#TITLE x\r"},
    {"LosslessSoundKeepsTrailingBlanks", Sound | Flac, "#WAV01 kick.wav \t", "#WAV01 kick.flac \t"},
};

class RewriteRuleTest : public ScratchFolderTest, public testing::WithParamInterface<RuleCase> {};

TEST_P(RewriteRuleTest, RewritesLine) {
  const RuleCase& c = GetParam();
  WriteBytes(u"in.bms", c.source + "\r\n");
  ScriptRewriter rewriter = Rewriter(c.flags & Sound, c.flags & Image, c.flags & Repair);
  if (c.flags & Flac) rewriter.renaming = ReferenceRenaming::For(CompressSound | EncodeFlac);
  ASSERT_TRUE(rewriter.Rewrite(Path(u"in.bms"), Path(u"out.bms")));
  EXPECT_EQ(ReadBytes(u"out.bms"), c.expected + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(Rules, RewriteRuleTest, testing::ValuesIn(kRuleCases),
                         [](const testing::TestParamInfo<RuleCase>& info) {
                           return std::string(info.param.name);
                         });

using ScriptRewriterTest = ScratchFolderTest;

// A script as found in song folders: mixed line ends, a Shift_JIS title
// whose characters have 0x5C as second byte, random blocks, mixed-case
// commands, no line end before a 0x1A tail that must not be copied.
TEST_F(ScriptRewriterTest, RealisticScript) {
  const std::string source =
      "\r\n"
      "*---------------------- HEADER FIELD\r\n"
      "#PLAYER 1\r\n"
      "#GENRE \x83\x5C\x83\x74\x83\x67\r\n"                                  // ソフト
      "#TITLE \x95\x5C\x8E\xA6\x83\x65\x83\x58\x83\x67\x81\x60\x83\x5C\r\n"  // 表示テスト～ソ
      "#artist someone\n"
      "#BPM 150\r\r\n"
      "#StageFile \x95\x5C\\title.BMP\r\n"
      "#BACKBMP \x83\x5C\x95\x5C.bmp\n"
      "#wav01 kick.wav\r\n"
      "  #WAV02\tsub\\snare.WAV\r\n"
      "#WAV03 \x83\x5C\x83\x8D.wav \r\n"
      "#WAV04 hat.ogg\r\n"
      "#bmp01 bg.bmp\n"
      "#BMP02 \x83\x5C\x81\x60.Bmp\r\n"
      "#RANDOM 2\r\n"
      "#IF 1\r\n"
      "#WAV05 a.wav\r\n"
      "#ENDIF\r\n"
      "#if 2\n"
      "#Bmp03 b.bmp\r\n"
      "#ENDIF\r\n"
      "#ENDRANDOM\r\n"
      "#WAV001 x.wav\r\n"
      "#BGA01 01 0 0 256 256 0 0\r\n"
      "\r\n"
      "*---------------------- MAIN DATA FIELD\r\n"
      "#00111:0102\r\n"
      "#00211:0300\n"
      "#00304:01\x1A"
      "#WAV09 z.wav\r\njunk\x81";
  const std::string expected = CrLfLines({
      "",
      "*---------------------- HEADER FIELD",
      "#PLAYER 1",
      "#GENRE \x83\x5C\x83\x74\x83\x67",
      "#TITLE \x95\x5C\x8E\xA6\x83\x65\x83\x58\x83\x67\x81\x60\x83\x5C",
      "#artist someone",
      "#BPM 150\r",
      "#STAGEFILE \x95\x5C\\title.png",
      "#BACKBMP \x83\x5C\x95\x5C.png",
      "#WAV01 kick.ogg",
      "#WAV02 sub\\snare.ogg",
      "#WAV03 \x83\x5C\x83\x8D.ogg ",
      "#WAV04 hat.ogg",
      "#BMP01 bg.png",
      "#BMP02 \x83\x5C\x81\x60.png",
      "#RANDOM 2",
      "#IF 1",
      "#WAV05 a.ogg",
      "#ENDIF",
      "#if 2",
      "#BMP03 b.png",
      "#ENDIF",
      "#ENDRANDOM",
      "#WAV001 x.wav",
      "#BGA01 01 0 0 256 256 0 0",
      "",
      "*---------------------- MAIN DATA FIELD",
      "#00111:0102",
      "#00211:0300",
      "#00304:01",
  });
  WriteBytes(u"song.bms", source);
  ASSERT_TRUE(Rewriter(true, true, false).Rewrite(Path(u"song.bms"), Path(u"out.bms")));
  EXPECT_EQ(ReadBytes(u"out.bms"), expected);
}

// Scripts that are not Shift_JIS at all. Lines that are not rebuilt keep
// their bytes; rebuilt lines keep the bytes of their value.
struct ForeignCase {
  const char* name;
  std::vector<std::string> source;
  std::vector<std::string> rewritten;  // sound and image on
  std::vector<std::string> repaired;   // repair only
};

void PrintTo(const ForeignCase& c, std::ostream* os) { *os << c.name; }

const ForeignCase kForeignCases[] = {
    {"Utf8",
     {
         "#TITLE \xEB\x93\x9C\xEB\x9F\xBC \xED\x85\x8C\xEC\x8A\xA4\xED\x8A\xB8",  // 드럼 테스트
         "#genre  \xEC\x9E\xA5\xEB\xA5\xB4",                                      // 장르
         "#ARTIST \xED\x96\x88\xEB\x8B\xA4",                                      // 했다
         "#WAV01 \xED\x96\x88.wav",                                               // 했.wav
         "#wav02 \xED\x82\xA5.WAV",                                               // 킥.WAV
         "#BMP01 \xEB\xB0\xB0\xEA\xB2\xBD.bmp",                                   // 배경.bmp
         "#00111:0102",
     },
     {
         "#TITLE \xEB\x93\x9C\xEB\x9F\xBC \xED\x85\x8C\xEC\x8A\xA4\xED\x8A\xB8",
         "#genre  \xEC\x9E\xA5\xEB\xA5\xB4",
         "#ARTIST \xED\x96\x88\xEB\x8B\xA4",
         "#WAV01 \xED\x96\x88.ogg",
         "#WAV02 \xED\x82\xA5.ogg",
         "#BMP01 \xEB\xB0\xB0\xEA\xB2\xBD.png",
         "#00111:0102",
     },
     {
         "#TITLE \xEB\x93\x9C\xEB\x9F\xBC \xED\x85\x8C\xEC\x8A\xA4\xED\x8A\xB8",
         "#GENRE \xEC\x9E\xA5\xEB\xA5\xB4",
         "#ARTIST \xED\x96\x88\xEB\x8B\xA4",
         "#WAV01 \xED\x96\x88.wav",
         "#WAV02 \xED\x82\xA5.WAV",
         "#BMP01 \xEB\xB0\xB0\xEA\xB2\xBD.bmp",
         "#00111:0102",
     }},
    {"EucKr",
     {
         "#TITLE \xC7\xD1\xB1\xDB \xC1\xA6\xB8\xF1",  // 한글 제목
         "#artist\t\xF9\xD3\xED\xAE",                 // 漢字
         "#WAV01 \xF9\xD3\xED\xAE.wav",               // 漢字.wav
         "#BMP01 \xB9\xE8\xB0\xE6.bmp",               // 배경.bmp
         "#00111:0102",
     },
     {
         "#TITLE \xC7\xD1\xB1\xDB \xC1\xA6\xB8\xF1",
         "#artist\t\xF9\xD3\xED\xAE",
         "#WAV01 \xF9\xD3\xED\xAE.ogg",
         "#BMP01 \xB9\xE8\xB0\xE6.png",
         "#00111:0102",
     },
     {
         "#TITLE \xC7\xD1\xB1\xDB \xC1\xA6\xB8\xF1",
         "#ARTIST \xF9\xD3\xED\xAE",
         "#WAV01 \xF9\xD3\xED\xAE.wav",
         "#BMP01 \xB9\xE8\xB0\xE6.bmp",
         "#00111:0102",
     }},
    {"InvalidShiftJis",
     {
         "#TITLE \x81\x20\xFD\xA0\x80 \x9F",  // lead bytes without trail, bytes that start nothing
         "#genre \x81",
         "#WAV01 \x81\x7F\xEB\x93.wav",
         "\x81#00111:01",
     },
     {
         "#TITLE \x81\x20\xFD\xA0\x80 \x9F",
         "#genre \x81",
         "#WAV01 \x81\x7F\xEB\x93.ogg",
         "\x81#00111:01",
     },
     {
         "#TITLE \x81\x20\xFD\xA0\x80 \x9F",
         "#GENRE \x81",
         "#WAV01 \x81\x7F\xEB\x93.wav",
         "\x81#00111:01",
     }},
};

class ForeignScriptTest : public ScratchFolderTest, public testing::WithParamInterface<ForeignCase> {};

TEST_P(ForeignScriptTest, RewritesAndRepairs) {
  const ForeignCase& c = GetParam();
  WriteBytes(u"in.bms", CrLfLines(c.source));
  ASSERT_TRUE(Rewriter(true, true, false).Rewrite(Path(u"in.bms"), Path(u"rewritten.bms")));
  EXPECT_EQ(ReadBytes(u"rewritten.bms"), CrLfLines(c.rewritten));
  ASSERT_TRUE(Rewriter(false, false, true).Rewrite(Path(u"in.bms"), Path(u"repaired.bms")));
  EXPECT_EQ(ReadBytes(u"repaired.bms"), CrLfLines(c.repaired));
}

INSTANTIATE_TEST_SUITE_P(Encodings, ForeignScriptTest, testing::ValuesIn(kForeignCases),
                         [](const testing::TestParamInfo<ForeignCase>& info) {
                           return std::string(info.param.name);
                         });

// The value bytes of the rewritten lines above include codes that do not
// survive a decode and re-encode, so keeping them is a real property.
TEST(ForeignBytes, SomeValuesDoNotSurviveReencoding) {
  for (const std::string bytes : {"\xED\x96\x88", "\xF9\xD3\xED\xAE", "\x87\x90\xED\x40"}) {
    std::u16string text;
    ASSERT_TRUE(Cp932ToUtf16(bytes, text, /*escapeInvalid=*/true));
    std::string reencoded;
    ASSERT_TRUE(Utf16ToCp932(text, reencoded, /*allowEscapes=*/true));
    EXPECT_NE(reencoded, bytes);
  }
}

// Charts declaring base 62 tell ids apart by letter case.
TEST_F(ScriptRewriterTest, Base62KeepsLetterCaseOfLaterLines) {
  WriteBytes(u"in.bms", CrLfLines({
                            "#wavaa before.wav",
                            "#bpmaa 120",
                            "#base 62",
                            "#wavaa a.wav",
                            "  #WAVAA\tb.wav",
                            "#bpmaa 140",
                            "#BPMAA 150",
                            "#bmpZz c.bmp",
                            "#title  x",
                        }));
  ASSERT_TRUE(Rewriter(true, true, true).Rewrite(Path(u"in.bms"), Path(u"out.bms")));
  EXPECT_EQ(ReadBytes(u"out.bms"), CrLfLines({
                                       "#WAVAA before.ogg",
                                       "#BPMAA 120",
                                       "#BASE 62",
                                       "#wavaa a.ogg",
                                       "#WAVAA b.ogg",
                                       "#bpmaa 140",
                                       "#BPMAA 150",
                                       "#bmpZz c.png",
                                       "#title x",
                                   }));
}

TEST_F(ScriptRewriterTest, Base62DeclarationNeedsValue62) {
  struct Row {
    const char* declaration;
    const char* expected;
  };
  const Row rows[] = {
      {"#BASE 62", "#wavaa a.ogg"},  {"#BASE 62 \t", "#wavaa a.ogg"}, {"  #Base\t62", "#wavaa a.ogg"},
      {"#BASE 36", "#WAVAA a.ogg"},  {"#BASE 620", "#WAVAA a.ogg"},   {"#BASE62 62", "#WAVAA a.ogg"},
      {"#00101:62", "#WAVAA a.ogg"},
  };
  for (const Row& row : rows) {
    WriteBytes(u"in.bms", CrLfLines({row.declaration, "#wavaa a.wav"}));
    ASSERT_TRUE(Rewriter(true, false, false).Rewrite(Path(u"in.bms"), Path(u"out.bms")));
    EXPECT_EQ(ReadBytes(u"out.bms"), CrLfLines({row.declaration, row.expected})) << row.declaration;
  }
}

TEST_F(ScriptRewriterTest, EmptySourceGivesEmptyDestination) {
  WriteBytes(u"in.bms", "");
  ASSERT_TRUE(Rewriter(true, true, false).Rewrite(Path(u"in.bms"), Path(u"out.bms")));
  EXPECT_TRUE(Exists(u"out.bms"));
  EXPECT_EQ(ReadBytes(u"out.bms"), "");
}

TEST_F(ScriptRewriterTest, ExistingDestinationIsReplaced) {
  const std::string longer(1000, 'z');
  WriteBytes(u"in.bms", "#WAV01 a.wav");
  WriteBytes(u"out.bms", longer);
  ASSERT_TRUE(Rewriter(true, false, false).Rewrite(Path(u"in.bms"), Path(u"out.bms")));
  EXPECT_EQ(ReadBytes(u"out.bms"), "#WAV01 a.ogg\r\n");
  WriteBytes(u"out.bms", longer);
  ASSERT_TRUE(Rewriter(false, false, false).Rewrite(Path(u"in.bms"), Path(u"out.bms")));
  EXPECT_EQ(ReadBytes(u"out.bms"), "#WAV01 a.wav");
}

// All flags off: a byte copy, even of bytes that are no text and of a path
// that has no code page 932 form.
TEST_F(ScriptRewriterTest, ByteCopyWhenAllFlagsOff) {
  const std::string bytes = std::string("#WAV01 a.wav\n\x81\x1A\x00\r#BMP01 b.bmp", 28);
  WriteBytes(U16("한.bms"), bytes);
  ASSERT_TRUE(Rewriter(false, false, false).Rewrite(Path(U16("한.bms")), Path(U16("한-out.bms"))));
  EXPECT_EQ(ReadBytes(U16("한-out.bms")), bytes);
  EXPECT_FALSE(Rewriter(false, false, false).Rewrite(Path(u"missing.bms"), Path(u"out.bms")));
}

TEST_F(ScriptRewriterTest, BadInputFailsWithoutDestination) {
  struct Row {
    const char* name;
    std::u16string source;
    std::u16string destination;
  };
  WriteBytes(u"in.bms", "#WAV01 a.wav\r\n");
  std::filesystem::create_directory(std::filesystem::path(Path(U16("한"))));
  const Row rows[] = {
      {"MissingSource", u"missing.bms", u"out1.bms"},
      {"SourceIsAFolder", U16("한"), u"out2.bms"},
      {"DestinationBelowAFile", u"in.bms", U16("in.bms/출력.bms")},
      {"DestinationFolderMissing", u"in.bms", u"no-folder/out3.bms"},
  };
  for (const Row& row : rows) {
    for (const ScriptRewriter& rewriter : {Rewriter(true, true, false), Rewriter(false, false, true)}) {
      EXPECT_FALSE(rewriter.Rewrite(Path(row.source), Path(row.destination))) << row.name;
      EXPECT_FALSE(Exists(row.destination)) << row.name;
    }
  }
}

// A full disk: the write of the first line fails and is reported.
TEST_F(ScriptRewriterTest, WriteFailureIsReported) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  WriteBytes(u"in.bms", "#WAV01 a.wav\r\n#TITLE x\r\n");
  EXPECT_FALSE(Rewriter(true, false, false).Rewrite(Path(u"in.bms"), u"/dev/full"));
}

// A line longer than the reader's piece passes through as its bytes, in
// pieces, whatever it starts with; the lines around it are rewritten as usual.
TEST_F(ScriptRewriterTest, OverLongLinePassesThroughUnchanged) {
  const std::size_t piece = TextFile::kMaxLineBytes;
  struct Row {
    const char* name;
    std::string line;
  };
  const Row rows[] = {
      {"ReferenceBeyondOnePiece", "#wav01 " + std::string(piece, 'x') + ".wav"},
      {"CrAtTheCut", "#bmp01 " + std::string(piece - 8, 'y') + "\rz.bmp"},
      // ソ is 83 5C: the cut falls between its two bytes.
      {"ShiftJisAcrossTheCut", "#bmp01 " + std::string(piece - 8, 'y') + "\x83\x5C.bmp"},
      {"ExactlyTwoPieces", std::string(2 * piece, '#')},
  };
  for (const Row& row : rows) {
    WriteBytes(u"in.bms", "#wav01 a.wav\n" + row.line + "\r\n#bmp02 b.bmp");
    ASSERT_TRUE(Rewriter(true, true, true).Rewrite(Path(u"in.bms"), Path(u"out.bms"))) << row.name;
    EXPECT_TRUE(ReadBytes(u"out.bms") == CrLfLines({"#WAV01 a.ogg", row.line, "#BMP02 b.png"})) << row.name;
  }
}

// A source that opens but cannot be read is not an empty script.
TEST_F(ScriptRewriterTest, ReadErrorIsReported) {
  std::filesystem::create_directory(root_ / "folder.bms");
  EXPECT_FALSE(Rewriter(true, false, false).Rewrite(Path(u"folder.bms"), Path(u"out.bms")));
}

}  // namespace
