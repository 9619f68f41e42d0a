// The command line's pieces on their own: arguments, the report texts and
// the message loop that carries the worker's messages to the main thread.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <tuple>

#include "cli/cli_options.h"
#include "cli/cli_report.h"
#include "cli/progress_display.h"
#include "cli/queued_message_target.h"
#include "job/messages.h"
#include "util/unicode.h"

namespace {

struct ArgumentCase {
  const char* name;
  std::vector<std::string> arguments;
  bool ok;
  OptionFlags options;
  bool yes;
  bool json;
  int jobs = 0;
  bool update = false;
};

class ArgumentTest : public ::testing::TestWithParam<ArgumentCase> {};

TEST_P(ArgumentTest, ParsesOptionsAndFolders) {
  const ArgumentCase& c = GetParam();
  CliOptions options;
  std::string error;
  ASSERT_EQ(ParseCliArguments(c.arguments, options, error), c.ok) << error;
  if (!c.ok) {
    EXPECT_FALSE(error.empty());
    return;
  }
  EXPECT_EQ(options.settings.options, c.options);
  EXPECT_EQ(options.answerYes, c.yes);
  EXPECT_EQ(options.json, c.json);
  EXPECT_EQ(options.jobs, c.jobs);
  EXPECT_EQ(options.update, c.update);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, ArgumentTest,
    ::testing::Values(
        ArgumentCase{"NoOptions", {"in", "out"}, true, 0, false, false},
        ArgumentCase{"EachShortOption", {"-s", "-w", "-i", "-r", "in", "out"}, true, 0x0F, false, false},
        ArgumentCase{"LongOptions",
                     {"--subfolders", "--sound", "--images", "--repair", "in", "out"},
                     true,
                     0x0F,
                     false,
                     false},
        ArgumentCase{"AllIsSubfoldersSoundImages", {"-a", "in", "out"}, true, 0x07, false, false},
        ArgumentCase{"FlacTurnsSoundOn", {"-f", "in", "out"}, true, CompressSound | EncodeFlac, false, false},
        ArgumentCase{"SoundAndFlacLong",
                     {"-w", "--flac", "in", "out"},
                     true,
                     CompressSound | EncodeFlac,
                     false,
                     false},
        ArgumentCase{"GroupedShortOptions", {"-ay", "in", "out"}, true, 0x07, true, false},
        ArgumentCase{"KeepClearsRepair", {"-r", "-k", "in", "out"}, true, KeepBmsUnchanged, false, false},
        ArgumentCase{"KeepClearsRepairInEitherOrder",
                     {"--keep-scripts", "--repair", "-w", "in", "out"},
                     true,
                     KeepBmsUnchanged | CompressSound,
                     false,
                     false},
        ArgumentCase{"JsonAndYes", {"--json", "--yes", "in", "out"}, true, 0, true, true},
        ArgumentCase{"PreserveClearsRepair",
                     {"-rpw", "in", "out"},
                     true,
                     PreserveCharts | CompressSound,
                     false,
                     false},
        ArgumentCase{"PreserveAndCheckLong",
                     {"--preserve-charts", "--check", "-a", "in", "out"},
                     true,
                     PreserveCharts | CheckReferences | 0x07,
                     false,
                     false},
        ArgumentCase{"PreserveWithKeepIsAUsageError", {"-p", "-k", "in", "out"}, false, 0, false, false},
        ArgumentCase{"OptionsAfterTheFolders", {"in", "out", "-w"}, true, CompressSound, false, false},
        ArgumentCase{"DoubleDashEndsOptions", {"--", "-in", "out"}, true, 0, false, false},
        ArgumentCase{"UnknownShort", {"-x", "in", "out"}, false, 0, false, false},
        ArgumentCase{"UnknownLong", {"--fast", "in", "out"}, false, 0, false, false},
        ArgumentCase{"ThreeFolders", {"a", "b", "c"}, false, 0, false, false},
        ArgumentCase{"JobsAsNextArgument", {"-j", "4", "in", "out"}, true, 0, false, false, 4},
        ArgumentCase{"JobsJoined", {"-j3", "in", "out"}, true, 0, false, false, 3},
        ArgumentCase{"JobsLong", {"in", "--jobs", "2", "out"}, true, 0, false, false, 2},
        ArgumentCase{"JobsLongWithEquals", {"--jobs=16", "in", "out"}, true, 0, false, false, 16},
        ArgumentCase{"JobsEndAShortGroup", {"-aj1", "in", "out"}, true, 0x07, false, false, 1},
        ArgumentCase{"JobsZero", {"-j", "0", "in", "out"}, false, 0, false, false},
        ArgumentCase{"JobsNotANumber", {"-j", "x", "in", "out"}, false, 0, false, false},
        ArgumentCase{"JobsWithoutValue", {"in", "out", "-j"}, false, 0, false, false},
        ArgumentCase{"Update", {"-u", "in", "out"}, true, 0, false, false, 0, true},
        ArgumentCase{
            "UpdateLongGrouped", {"--update", "-ay", "in", "out"}, true, 0x07, true, false, 0, true}),
    [](const ::testing::TestParamInfo<ArgumentCase>& info) { return std::string(info.param.name); });

TEST(ArgumentTest, FoldersAreKeptAsGivenAndMayBeMissing) {
  CliOptions options;
  std::string error;
  ASSERT_TRUE(ParseCliArguments({"曲/in", "-"}, options, error));
  EXPECT_EQ(options.settings.inputFolder, U16("曲/in"));
  EXPECT_EQ(options.settings.outputFolder, u"-");
  // A missing folder is left for the start check to report.
  ASSERT_TRUE(ParseCliArguments({"-w"}, options, error));
  EXPECT_TRUE(options.settings.inputFolder.empty());
}

#ifndef _WIN32  // POSIX path forms
TEST(ArgumentTest, RelativeFoldersArePutBelowTheCurrentFolder) {
  EXPECT_EQ(AbsoluteFolder(u"../songs/a", u"/home/u/work"), u"/home/u/songs/a");
  EXPECT_EQ(AbsoluteFolder(u"in", u"/home/u"), u"/home/u/in");
  EXPECT_EQ(AbsoluteFolder(u".", u"/home/u"), u"/home/u");
  EXPECT_EQ(AbsoluteFolder(u"/abs/in", u"/home/u"), u"/abs/in");
  EXPECT_EQ(AbsoluteFolder(u"", u"/home/u"), u"");
}
#endif

TEST(ReportTest, JsonEscapesQuotesBackslashesAndControlCharacters) {
  EXPECT_EQ(JsonString(u"a\"b\\c\nd\x01"), "\"a\\\"b\\\\c\\nd\\u0001\"");
  EXPECT_EQ(JsonString(U16("曲")), "\"曲\"");
  EXPECT_EQ(JsonString(u"\x1B[2J\x7F\x9B\xA0"), "\"\\u001b[2J\\u007f\\u009b\xC2\xA0\"");
}

// A name with a line feed cannot add a row or a name of its own, and one
// with ESC cannot steer the terminal.
TEST(ReportTest, TableShowsControlCharactersEscaped) {
  FolderResult row;
  row.folder = u"/in/a\nb";
  row.status = FolderStatus::HasErrors;
  row.AddErrorFile(u"x.wav\n  y.wav");
  row.AddErrorFile(u"\x1B[31mred.bmp");
  const std::string text = ResultTableText({row}, RunTotals{0, 0, 0}, false);
  const std::string expected =
      "対象フォルダ  処理結果    BMS  音声  画像  無変換  エラー\n"
      "/in/a\\nb      エラーあり    0     0     0       0       2\n"
      "\n"
      "エラーファイル一覧: /in/a\\nb\n"
      "  x.wav\\n  y.wav\n"
      "  \\x1B[31mred.bmp\n"
      "\n"
      "total: 0 files, 0 bytes read, 0 bytes written, 0.0% saved\n";
  EXPECT_EQ(text, expected);
}

TEST(ReportTest, JsonHoldsRowsTotalsAndTheCancelFlag) {
  FolderResult row;
  row.folder = u"/in";
  row.status = FolderStatus::HasErrors;
  row.soundCount = 2;
  row.AddErrorFile(u"bad.wav", U16("24ビットのWAVは変換できません"));
  row.errorFiles.push_back(u"odd.bmp");  // a row filled without a reason list
  const RunTotals totals{3, 1000, 400};
  EXPECT_EQ(
      ResultJsonText({row}, totals, true),
      "{\"rows\": [{\"folder\": \"/in\", \"status\": \"エラーあり\", \"bmsCount\": 0, \"soundCount\": 2, "
      "\"imageCount\": 0, \"copiedCount\": 0, \"skippedCount\": 0, \"errorCount\": 2, "
      "\"errorFiles\": [\"bad.wav\", \"odd.bmp\"], "
      "\"errorReasons\": [\"24ビットのWAVは変換できません\", \"\"], \"keptFiles\": []}], "
      "\"totals\": {\"files\": 3, \"bytesRead\": 1000, \"bytesWritten\": 400, \"skipped\": 0}, "
      "\"cancelled\": true}\n");
}

TEST(ReportTest, KeptFilesAndMissingReferencesAreListedUnderTheirFolder) {
  FolderResult row;
  row.folder = u"/in";
  row.copiedCount = 1;
  row.keptFiles = {u"adpcm.wav"};
  row.missingReferences = {
      {u"a.bms", 12, u"", u"#WAV0C", u"sub\\snare.wav", false},
      {u"b.bmson", 0, u"sound_channels[4].name", u"sound_channels[].name", u"k.ogg", true}};
  const std::string table = ResultTableText({row}, RunTotals{0, 0, 0}, false);
  EXPECT_NE(table.find("\nkept unconverted: /in\n  adpcm.wav\n\nmissing references: /in\n"
                       "  a.bms:12 #WAV0C sub\\snare.wav (found in the input)\n"
                       "  b.bmson:sound_channels[4].name k.ogg (missing in the input too)\n"),
            std::string::npos)
      << table;
  EXPECT_NE(
      ResultJsonText({row}, RunTotals{0, 0, 0}, false, true)
          .find(
              "\"keptFiles\": [\"adpcm.wav\"], \"missingReferences\": [{\"chart\": \"a.bms\", \"line\": 12, "
              "\"command\": \"#WAV0C\", \"value\": \"sub\\\\snare.wav\", \"missingInInput\": false}, "
              "{\"chart\": \"b.bmson\", \"line\": \"sound_channels[4].name\", \"command\": "
              "\"sound_channels[].name\", \"value\": \"k.ogg\", \"missingInInput\": true}], "
              "\"unreferencedFiles\": [], \"unreferencedBytes\": 0}"),
      std::string::npos);
  EXPECT_TRUE(OutputLostReferences({row}));
  row.missingReferences.erase(row.missingReferences.begin());
  EXPECT_FALSE(OutputLostReferences({row}));
}

TEST(ReportTest, TotalsLineGivesTheSpaceSaved) {
  EXPECT_EQ(TotalsLineText(RunTotals{4, 1000, 250}),
            "total: 4 files, 1000 bytes read, 250 bytes written, 75.0% saved\n");
  EXPECT_EQ(TotalsLineText(RunTotals{0, 0, 0}),
            "total: 0 files, 0 bytes read, 0 bytes written, 0.0% saved\n");
  EXPECT_EQ(TotalsLineText(RunTotals{1, 100, 150}),
            "total: 1 files, 100 bytes read, 150 bytes written, -50.0% saved\n");
  EXPECT_EQ(TotalsLineText(RunTotals{1, 100, 50, 7}),
            "total: 1 files, 7 skipped, 100 bytes read, 50 bytes written, 50.0% saved\n");
  EXPECT_EQ(TotalsLineText(RunTotals{1, 100, 50, 0, 30}, true),
            "total: 1 files, 100 bytes read, 50 bytes written, 50.0% saved, 30 bytes unreferenced\n");
}

// Each failed file with its reason, and after a check the files no chart
// names with their bytes, in the table and in the JSON.
TEST(ReportTest, ReasonsAndUnreferencedFilesAreReported) {
  FolderResult row;
  row.folder = u"/in";
  row.status = FolderStatus::HasErrors;
  row.AddErrorFile(u"deep.wav", U16("24ビットのWAVは変換できません"));
  row.AddErrorFile(u"odd.bmp");
  row.unreferencedFiles = {u"unused.wav", u"spare.bmp"};
  row.unreferencedBytes = 1234;
  const RunTotals totals{0, 0, 0, 0, 1234};
  const std::string table = ResultTableText({row}, totals, false, true);
  EXPECT_NE(table.find("\nエラーファイル一覧: /in\n  deep.wav: 24ビットのWAVは変換できません\n  odd.bmp\n\n"
                       "unreferenced (1234 bytes): /in\n  unused.wav\n  spare.bmp\n\n"),
            std::string::npos)
      << table;
  const std::string json = ResultJsonText({row}, totals, false, true);
  EXPECT_NE(json.find("\"unreferencedFiles\": [\"unused.wav\", \"spare.bmp\"], \"unreferencedBytes\": 1234}"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"skipped\": 0, \"unreferencedBytes\": 1234}"), std::string::npos) << json;
}

TEST(ReportTest, TableAlignsWideCharactersAndListsFailedNames) {
  FolderResult a;
  a.folder = U16("/曲");
  a.copiedCount = 12;
  FolderResult b;
  b.folder = u"/songs/x";
  b.status = FolderStatus::HasErrors;
  b.AddErrorFile(u"one.wav");
  b.AddErrorFile(u"two.bmp");
  const std::string text = ResultTableText({a, b}, RunTotals{12, 10, 10}, false);
  const std::string expected =
      "対象フォルダ  処理結果    BMS  音声  画像  無変換  エラー\n"
      "/曲           OK            0     0     0      12       0\n"
      "/songs/x      エラーあり    0     0     0       0       2\n"
      "\n"
      "エラーファイル一覧: /songs/x\n"
      "  one.wav\n"
      "  two.bmp\n"
      "\n"
      "total: 12 files, 10 bytes read, 10 bytes written, 0.0% saved\n";
  EXPECT_EQ(text, expected);
}

TEST(ReportTest, DisplayWidthAndFitting) {
  EXPECT_EQ(DisplayWidth(U16("abc")), 3u);
  EXPECT_EQ(DisplayWidth(U16("曲ｱＡ")), 5u);  // half-width katakana is narrow
  EXPECT_EQ(FitToColumns(u"short", 10), u"short");
  EXPECT_EQ(FitToColumns(u"/a/long/path/name.wav", 11), u"...name.wav");
  EXPECT_EQ(FitToColumns(U16("曲曲曲曲"), 6), U16("...曲"));
}

// The worker's side of the loop runs on its own thread, as in the program.
TEST(QueuedMessageTargetTest, SendsWaitForTheirHandlingAndKeepTheOrder) {
  QueuedMessageTarget loop;
  std::vector<std::uint32_t> handled;
  std::vector<std::u16string> texts;
  std::atomic<int> handledCount{0};
  bool sendSawItsHandling = true;

  std::thread worker([&] {
    for (std::uint32_t i = 0; i < 50; ++i) {
      loop.SendToDialog(MSG_FOLDER_POSITION, i, 0);
      // A send returns only once its message was handled.
      if (handledCount.load() != static_cast<int>(2 * i + 1)) sendSawItsHandling = false;
      loop.SendToDialog(MSG_FILE_TEXT, 0, TextParam(u"file " + DecimalText(i)));
    }
    loop.PostToDialog(MSG_WORKER_DONE, 0, 0);
  });
  loop.Run(
      [&](std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
        handled.push_back(message);
        if (message == MSG_FILE_TEXT) texts.push_back(*TakeTextParam(lParam));
        if (message == MSG_FOLDER_POSITION) {
          EXPECT_EQ(wParam, (handled.size() - 1) / 2);
        }
        ++handledCount;
        return message != MSG_WORKER_DONE;
      },
      nullptr, 10);
  worker.join();

  EXPECT_TRUE(sendSawItsHandling);
  ASSERT_EQ(handled.size(), 101u);
  EXPECT_EQ(handled.back(), MSG_WORKER_DONE);
  EXPECT_EQ(texts.size(), 50u);
  EXPECT_EQ(texts[49], u"file 49");
}

TEST(QueuedMessageTargetTest, IdleRunsWhileNothingArrives) {
  QueuedMessageTarget loop;
  int idleCalls = 0;
  std::atomic<bool> release{false};
  std::thread worker([&] {
    while (!release.load()) std::this_thread::yield();
    loop.PostToDialog(MSG_WORKER_DONE, 0, 0);
  });
  loop.Run([](std::uint32_t, std::uintptr_t, std::intptr_t) { return false; },
           [&] {
             if (++idleCalls == 3) release = true;
           },
           1);
  worker.join();
  EXPECT_GE(idleCalls, 3);
}

// The live line in a file: a long file text, a shorter one, the end of the
// run. The first line is 22 columns wide (kanji and kana take two).
TEST(LiveLineTest, RedrawsOverThePreviousLine) {
  const std::string spaces = "\r[0/2] 2/2 b.wav" + std::string(7, ' ') + "\r" + std::string(15, ' ') + "\r";
  for (const auto& [name, escapes, end] :
       {std::tuple{"EscapeErasesTheRest", true, std::string("\x1b[K\r[0/2] 2/2 b.wav\x1b[K\r\x1b[K")},
        std::tuple{"SpacesCoverTheLongerLineBefore", false, spaces}}) {
    std::FILE* file = std::tmpfile();
    ProgressDisplay display(file, true, 80, escapes);
    display.SetRange(2);
    for (const char* text : {"1/2 長い名前.wav", "2/2 b.wav"}) display.SetFileText(U16(text));
    display.Clear();
    std::string written(256, '\0');
    std::rewind(file);
    written.resize(std::fread(written.data(), 1, written.size(), file));
    std::fclose(file);
    EXPECT_EQ(written, "\r[0/2] 1/2 長い名前.wav" + end) << name;
  }
}

}  // namespace
