// The folder walk over real trees, with the real converters, the script
// rewriter and the file copy.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "bms/text_file.h"
#include "job/conversion_job.h"
#include "job/messages.h"
#include "job/run_log.h"
#include "job_test_support.h"
#include "support/scratch_folder.h"
#include "support/wav_writer.h"
#include "util/cp932.h"
#include "util/file_system.h"
#include "util/unicode.h"

namespace fs = std::filesystem;
using jobtest::BmpBytes;

namespace {

const std::string kOggMagic = "OggS";
const std::string kPngMagic = "\x89PNG\r\n\x1a\n";

// The walk's log in its file, with a look at the rows after every line.
class WatchedLog : public RunLog {
 public:
  WatchedLog(TextFile& file, const std::vector<FolderResult>& rows,
             const std::function<void(const std::vector<FolderResult>&)>& afterLine)
      : file_(file), rows_(rows), afterLine_(afterLine) {}
  void WriteLine(std::u16string_view line) override {
    file_.WriteLine(line);
    if (afterLine_) afterLine_(rows_);
  }

 private:
  TextFileLog file_;
  const std::vector<FolderResult>& rows_;
  const std::function<void(const std::vector<FolderResult>&)>& afterLine_;
};

struct WalkOutcome {
  bool completed = false;
  std::vector<FolderResult> rows;
  std::vector<std::u16string> logLines;  // without their CR LF
};

class WalkTest : public ::testing::Test {
 protected:
  fs::path In(const std::string& relative = "") const {
    return relative.empty() ? tmp.path() / "in" : tmp.path() / "in" / relative;
  }
  fs::path Out(const std::string& relative = "") const {
    return relative.empty() ? tmp.path() / "out" : tmp.path() / "out" / relative;
  }
  std::u16string InText(const std::string& relative = "") const { return PathText(In(relative)); }

  // These tests pin the serial walk's order of messages and check points;
  // the conversion threads have tests of their own.
  void SetUp() override {
    fs::create_directories(In());
    job.jobs = 1;
  }

  WalkOutcome Walk(OptionFlags options) {
    job.settings = JobSettings{InText(), PathText(Out()), options};
    job.target = &target;
    const fs::path logPath = tmp.path() / "walk.log";
    TextFile log;
    EXPECT_TRUE(log.Open(PathText(logPath), TextFileMode::Append));
    WalkOutcome outcome;
    WatchedLog watched(log, outcome.rows, afterLogLine);
    outcome.completed =
        job.ProcessFolder(watched, job.settings.inputFolder, job.settings.outputFolder, outcome.rows);
    log.Close();
    const std::string bytes = ReadBytes(logPath);
    std::size_t start = 0;
    while (start < bytes.size()) {
      std::size_t end = bytes.find("\r\n", start);
      if (end == std::string::npos) end = bytes.size();
      std::u16string line;
      EXPECT_TRUE(Cp932ToUtf16(bytes.substr(start, end - start), line, false));
      outcome.logLines.push_back(line);
      start = end + 2;
    }
    return outcome;
  }

  // Every file of a folder whose loop ran to its end is counted exactly
  // once: the four counters plus the failed names make the files listed.
  static void ExpectEveryFileAccounted(const std::vector<FolderResult>& rows) {
    for (const FolderResult& row : rows) {
      if (row.status != FolderStatus::Ok && row.status != FolderStatus::HasErrors) continue;
      std::error_code error;
      int listed = 0;
      for (const fs::directory_entry& entry : fs::directory_iterator(Utf16ToUtf8(row.folder), error)) {
        if (!entry.is_directory()) ++listed;
      }
      if (error) continue;  // a folder that could not be listed has no files
      EXPECT_EQ(row.bmsCount + row.soundCount + row.imageCount + row.copiedCount + row.ErrorCount(), listed)
          << Utf16ToUtf8(row.folder);
    }
  }

  ScratchFolder tmp;
  ConversionJob job;
  jobtest::RecordingTarget target{job};
  // Called after each log line the walk writes, with the rows so far.
  std::function<void(const std::vector<FolderResult>&)> afterLogLine;
};

TEST_F(WalkTest, TypicalSongFolderIsConvertedRewrittenAndCopied) {
  WriteBytes(In("song.bms"), "#TITLE test\r\n#WAV01 kick.wav\r\n#BMP01 bg.bmp\r\n");
  WriteBytes(In("kick.wav"), TriangleWaveFile());
  WriteBytes(In("bg.bmp"), BmpBytes());
  WriteBytes(In("readme.txt"), "just some text\r\n");

  const WalkOutcome outcome = Walk(CompressSound | CompressImages);

  EXPECT_TRUE(outcome.completed);
  ASSERT_EQ(outcome.rows.size(), 1u);
  const FolderResult& row = outcome.rows[0];
  EXPECT_EQ(row.folder, InText());
  EXPECT_EQ(row.status, FolderStatus::Ok);
  EXPECT_EQ(row.bmsCount, 1);
  EXPECT_EQ(row.soundCount, 1);
  EXPECT_EQ(row.imageCount, 1);
  EXPECT_EQ(row.copiedCount, 1);
  EXPECT_EQ(row.ErrorCount(), 0);

  const std::string script = ReadBytes(Out("song.bms"));
  EXPECT_NE(script.find("#WAV01 kick.ogg"), std::string::npos) << script;
  EXPECT_NE(script.find("#BMP01 bg.png"), std::string::npos) << script;
  EXPECT_TRUE(StartsWith(ReadBytes(Out("kick.ogg")), kOggMagic));
  EXPECT_TRUE(StartsWith(ReadBytes(Out("bg.png")), kPngMagic));
  EXPECT_EQ(ReadBytes(Out("readme.txt")), ReadBytes(In("readme.txt")));
  EXPECT_FALSE(fs::exists(Out("kick.wav")));
  EXPECT_FALSE(fs::exists(Out("bg.bmp")));

  ASSERT_EQ(outcome.logLines.size(), 1u);
  EXPECT_EQ(outcome.logLines[0], InText() + u",OK,1,1,1,1,0");

  // Listing order (sorted on this platform) decides the per-file texts.
  EXPECT_EQ(target.Texts(MSG_FILE_TEXT), (std::vector<std::u16string>{u"1/4 bg.bmp", u"2/4 kick.wav",
                                                                      u"3/4 readme.txt", u"4/4 song.bms"}));
  EXPECT_EQ(job.totals.files, 4);
  EXPECT_GT(job.totals.bytesRead, 0);
  EXPECT_GT(job.totals.bytesWritten, 0);
}

TEST_F(WalkTest, EmptyRootCreatesTheOutputRootAndOneRow) {
  const WalkOutcome outcome = Walk(IncludeSubfolders | CompressSound);
  EXPECT_TRUE(outcome.completed);
  ASSERT_EQ(outcome.rows.size(), 1u);
  EXPECT_EQ(outcome.logLines, std::vector<std::u16string>{InText() + u",OK,0,0,0,0,0"});
  EXPECT_TRUE(fs::is_directory(Out()));
  EXPECT_EQ(target.Positions(), std::vector<std::uintptr_t>{1});
}

// Which handler a file reaches, and under which name its output lands,
// for the option words a run can carry.
struct RoutingCase {
  const char* name;
  OptionFlags options;
  std::vector<std::string> inputs;
  // Output name and what it must start with ("" for a byte copy of the input).
  std::vector<std::pair<std::string, std::string>> outputs;
  std::vector<std::string> absent;
  int bms, sound, image, copied;
};

class RoutingTest : public WalkTest, public ::testing::WithParamInterface<RoutingCase> {};

std::string InputBytesFor(const std::string& name) {
  const std::string lower = [&] {
    std::string s = name;
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  }();
  if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".wav") == 0)
    return AsString(TriangleWaveFile(11025, 8, 1000));
  if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".bmp") == 0) return AsString(BmpBytes());
  if (lower.size() > 4 &&
      (lower.compare(lower.size() - 4, 4, ".bms") == 0 || lower.compare(lower.size() - 4, 4, ".bme") == 0 ||
       lower.compare(lower.size() - 4, 4, ".bml") == 0 || lower.compare(lower.size() - 4, 4, ".pms") == 0)) {
    return "#wav01   a.wav\r\n#BMP01 b.bmp\r\n";
  }
  return "plain " + name + "\n";
}

TEST_P(RoutingTest, FilesReachTheirHandler) {
  const RoutingCase& c = GetParam();
  for (const std::string& name : c.inputs) WriteBytes(In(name), InputBytesFor(name));

  const WalkOutcome outcome = Walk(c.options);

  ASSERT_EQ(outcome.rows.size(), 1u);
  const FolderResult& row = outcome.rows[0];
  EXPECT_EQ(row.status, FolderStatus::Ok);
  EXPECT_EQ(row.bmsCount, c.bms);
  EXPECT_EQ(row.soundCount, c.sound);
  EXPECT_EQ(row.imageCount, c.image);
  EXPECT_EQ(row.copiedCount, c.copied);
  for (const auto& [name, magic] : c.outputs) {
    ASSERT_TRUE(fs::exists(Out(name))) << name;
    const std::string bytes = ReadBytes(Out(name));
    if (magic.empty()) {
      EXPECT_EQ(bytes, ReadBytes(In(name))) << name;
    } else {
      EXPECT_TRUE(StartsWith(bytes, magic)) << name;
    }
  }
  for (const std::string& name : c.absent) EXPECT_FALSE(fs::exists(Out(name))) << name;
  ExpectEveryFileAccounted(outcome.rows);
}

// A rewritten line is rebuilt from its parts: the command word upper-cased,
// one space, the reference renamed.
const std::string kRenamedScript = "#WAV01 a.ogg";
const std::string kRepairedScript = "#WAV01 a.wav";

INSTANTIATE_TEST_SUITE_P(
    Options, RoutingTest,
    ::testing::Values(
        RoutingCase{"NothingTickedCopiesEverything",
                    0,
                    {"a.wav", "b.bmp", "s.bms"},
                    {{"a.wav", ""}, {"b.bmp", ""}, {"s.bms", ""}},
                    {"a.ogg", "b.png"},
                    0,
                    0,
                    0,
                    3},
        RoutingCase{"SoundOnly",
                    CompressSound,
                    {"a.wav", "b.bmp", "s.bms"},
                    {{"a.ogg", kOggMagic}, {"b.bmp", ""}, {"s.bms", kRenamedScript}},
                    {"a.wav", "b.png"},
                    1,
                    1,
                    0,
                    1},
        RoutingCase{"ImagesOnly",
                    CompressImages,
                    {"a.wav", "b.bmp"},
                    {{"a.wav", ""}, {"b.png", kPngMagic}},
                    {"b.bmp"},
                    0,
                    0,
                    1,
                    1},
        RoutingCase{"SoundWithKeptNames",
                    CompressSound | KeepBmsUnchanged,
                    {"a.wav", "s.bms"},
                    {{"a.wav", kOggMagic}, {"s.bms", ""}},
                    {"a.ogg"},
                    1,
                    1,
                    0,
                    0},
        RoutingCase{"ImagesWithKeptNames",
                    CompressImages | KeepBmsUnchanged,
                    {"b.bmp", "s.bme"},
                    {{"b.bmp", kPngMagic}, {"s.bme", ""}},
                    {"b.png"},
                    1,
                    0,
                    1,
                    0},
        RoutingCase{"KeepAloneCopiesScripts",
                    KeepBmsUnchanged,
                    {"a.wav", "s.bms"},
                    {{"a.wav", ""}, {"s.bms", ""}},
                    {},
                    0,
                    0,
                    0,
                    2},
        RoutingCase{"RepairAloneRewritesOnlyScripts",
                    RepairBms,
                    {"a.wav", "b.bmp", "s.pms"},
                    {{"a.wav", ""}, {"b.bmp", ""}, {"s.pms", kRepairedScript}},
                    {"a.ogg", "b.png"},
                    1,
                    0,
                    0,
                    2},
        // Repair routes the script to the rewriter, but with the contents
        // kept it rewrites nothing: a byte copy, counted as a script.
        RoutingCase{
            "KeepWinsOverRepair", RepairBms | KeepBmsUnchanged, {"s.bml"}, {{"s.bml", ""}}, {}, 1, 0, 0, 0},
        RoutingCase{"UpperAndMixedCaseExtensions",
                    CompressSound | CompressImages,
                    {"A.WAV", "B.Bmp", "S.BMS"},
                    {{"A.ogg", kOggMagic}, {"B.png", kPngMagic}, {"S.BMS", kRenamedScript}},
                    {"A.WAV", "B.Bmp"},
                    1,
                    1,
                    1,
                    0},
        RoutingCase{"NamesWithoutExtensionAreCopied",
                    CompressSound | CompressImages,
                    {"wav", "kick.wav x", "bmp."},
                    {{"wav", ""}, {"kick.wav x", ""}, {"bmp.", ""}},
                    {},
                    0,
                    0,
                    0,
                    3}),
    [](const ::testing::TestParamInfo<RoutingCase>& info) { return std::string(info.param.name); });

TEST_F(WalkTest, FolderNamedLikeASoundFileIsAFolder) {
  WriteBytes(In("voice.wav/take1.wav"), TriangleWaveFile());
  const WalkOutcome outcome = Walk(IncludeSubfolders | CompressSound);
  ASSERT_EQ(outcome.rows.size(), 2u);
  EXPECT_EQ(outcome.rows[1].folder, InText("voice.wav"));
  EXPECT_EQ(outcome.rows[1].soundCount, 1);
  EXPECT_TRUE(fs::is_directory(Out("voice.wav")));
  EXPECT_TRUE(fs::exists(Out("voice.wav/take1.ogg")));
  EXPECT_FALSE(fs::exists(Out("voice.ogg")));
}

TEST_F(WalkTest, ThreeFailingFilesAreNamedInListingOrder) {
  WriteBytes(In("a_bad.wav"), "not a wave file");
  WriteBytes(In("b_good.txt"), "fine");
  WriteBytes(In("c_bad.bmp"), "BM but far too short");
  WriteBytes(In("d_bad.wav"), "RIFF");
  const WalkOutcome outcome = Walk(CompressSound | CompressImages);

  ASSERT_EQ(outcome.rows.size(), 1u);
  const FolderResult& row = outcome.rows[0];
  EXPECT_EQ(row.status, FolderStatus::HasErrors);
  EXPECT_EQ(row.errorFiles, (std::vector<std::u16string>{u"a_bad.wav", u"c_bad.bmp", u"d_bad.wav"}));
  EXPECT_EQ(row.copiedCount, 1);
  ASSERT_EQ(outcome.logLines.size(), 1u);
  EXPECT_EQ(outcome.logLines[0], InText() + u",エラーあり,0,0,0,1,3,a_bad.wav,c_bad.bmp,d_bad.wav");
  ExpectEveryFileAccounted(outcome.rows);
  EXPECT_EQ(job.totals.files, 1);
}

TEST_F(WalkTest, RowsArePreOrderAndPositionsCountUp) {
  WriteBytes(In("A/A1/x.txt"), "x");
  WriteBytes(In("A/y.txt"), "y");
  WriteBytes(In("B/z.txt"), "z");
  const WalkOutcome outcome = Walk(IncludeSubfolders);

  const std::vector<std::u16string> expected = {InText(), InText("A"), InText("A/A1"), InText("B")};
  std::vector<std::u16string> folders;
  for (const FolderResult& row : outcome.rows) folders.push_back(row.folder);
  EXPECT_EQ(folders, expected);
  EXPECT_EQ(target.Texts(MSG_FOLDER_TEXT), expected);
  EXPECT_EQ(target.Positions(), (std::vector<std::uintptr_t>{1, 2, 3, 4}));
  EXPECT_EQ(job.CountFolders(InText()), 4);
  ASSERT_EQ(outcome.logLines.size(), 4u);
  EXPECT_EQ(outcome.logLines[2], InText("A/A1") + u",OK,0,0,0,1,0");
  EXPECT_TRUE(fs::exists(Out("A/A1/x.txt")));
  ExpectEveryFileAccounted(outcome.rows);
}

TEST_F(WalkTest, WithoutSubfoldersOnlyTheRootIsVisited) {
  WriteBytes(In("A/x.txt"), "x");
  WriteBytes(In("top.txt"), "t");
  const WalkOutcome outcome = Walk(CompressSound);
  ASSERT_EQ(outcome.rows.size(), 1u);
  EXPECT_EQ(outcome.rows[0].copiedCount, 1);
  EXPECT_FALSE(fs::exists(Out("A")));
  EXPECT_EQ(job.CountFolders(InText()), 1);
  // Without subfolders the count does not even look at the file system.
  EXPECT_EQ(job.CountFolders(InText("missing")), 1);
}

TEST_F(WalkTest, SubfolderWhoseOutputCannotBeCreatedIsSkippedWithItsSubtree) {
  WriteBytes(In("A/a.txt"), "a");
  WriteBytes(In("A/A1/deep.txt"), "d");
  WriteBytes(In("B/b.txt"), "b");
  // A file where the output folder A must go makes its creation fail.
  WriteBytes(Out("A"), "in the way");
  const WalkOutcome outcome = Walk(IncludeSubfolders);

  EXPECT_TRUE(outcome.completed);
  ASSERT_EQ(outcome.rows.size(), 3u);
  EXPECT_EQ(outcome.rows[1].folder, InText("A"));
  EXPECT_EQ(outcome.rows[1].status, FolderStatus::FolderCreationFailed);
  EXPECT_EQ(outcome.rows[1].copiedCount, 0);
  EXPECT_EQ(outcome.rows[2].folder, InText("B"));
  EXPECT_EQ(outcome.rows[2].status, FolderStatus::Ok);
  EXPECT_TRUE(fs::exists(Out("B/b.txt")));
  // No log line for the folder that failed; the count still includes A1.
  EXPECT_EQ(outcome.logLines.size(), 2u);
  EXPECT_EQ(job.CountFolders(InText()), 4);
}

TEST_F(WalkTest, FolderThatCannotBeListedIsAFailureNamedInItsRow) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows names are UTF-16 text; no name is undecodable there";
#endif
  // A name that is neither UTF-8 nor code page 932 cannot be reached again
  // by any path, so the listing of that folder fails.
  const fs::path unreachable = In() / std::string("\xff\xfe");
  fs::create_directories(unreachable);
  WriteBytes(unreachable / "inside.txt", "x");
  WriteBytes(In("B/b.txt"), "b");
  const WalkOutcome outcome = Walk(IncludeSubfolders);

  ASSERT_EQ(outcome.rows.size(), 3u);
  const FolderResult& row = outcome.rows[2];  // U+FFFD sorts after "B"
  const std::u16string entry = U16("\xEF\xBF\xBD\xEF\xBF\xBD") + kPathSeparator;
  EXPECT_EQ(row.status, FolderStatus::HasErrors);
  EXPECT_EQ(row.errorFiles, std::vector<std::u16string>{entry});
  EXPECT_EQ(row.bmsCount + row.soundCount + row.imageCount + row.copiedCount, 0);
  ASSERT_EQ(outcome.logLines.size(), 3u);
  EXPECT_EQ(outcome.logLines[2], LogSafeText(row.folder + u",エラーあり,0,0,0,0,1," + entry));
  EXPECT_EQ(target.Positions(), (std::vector<std::uintptr_t>{1, 2, 3}));
  // It counts as nothing, although the walk reports a position for it.
  EXPECT_EQ(job.CountFolders(InText()), 2);
}

TEST_F(WalkTest, RootThatCannotBeListedCountsZeroAndYieldsOneFailedRow) {
  job.settings.options = IncludeSubfolders;
  EXPECT_EQ(job.CountFolders(InText("missing")), 0);
  std::vector<FolderResult> rows;
  TextFile file;
  TextFileLog log(file);
  job.target = &target;
  EXPECT_TRUE(job.ProcessFolder(log, InText("missing"), PathText(Out()), rows));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].status, FolderStatus::HasErrors);
  EXPECT_EQ(rows[0].errorFiles, std::vector<std::u16string>{u"missing" + std::u16string(1, kPathSeparator)});
  EXPECT_FALSE(fs::exists(Out()));
}

TEST_F(WalkTest, LinksToFoldersAreNotFollowed) {
  WriteBytes(In("A/a.txt"), "a");
  std::error_code error;
  // A link back up to the root would recurse without end if followed.
  fs::create_directory_symlink(In(), In("A/loop"), error);
  if (error) GTEST_SKIP() << "symbolic links unavailable";
  fs::create_symlink(In("A/a.txt"), In("A/alias.txt"), error);
  const WalkOutcome outcome = Walk(IncludeSubfolders);

  EXPECT_TRUE(outcome.completed);
  ASSERT_EQ(outcome.rows.size(), 2u);
  EXPECT_EQ(outcome.rows[1].copiedCount, 2);  // a.txt and the file link
  EXPECT_FALSE(fs::exists(Out("A/loop")));
  EXPECT_EQ(ReadBytes(Out("A/alias.txt")), "a");
  EXPECT_EQ(job.CountFolders(InText()), 2);
}

// Cancelling at each of the walk's three check points: after the listing,
// after a file, and after the folder's log line.
struct CancelCase {
  const char* name;
  std::uint32_t message;  // MSG_FOLDER_TEXT / MSG_FILE_TEXT, or 0 for the log-line hook
  std::string trigger;    // folder (relative) or file text
  std::size_t rows;       // rows appended in all
  FolderStatus lastStatus;
  int lastCopied;
  std::size_t logLines;
  std::vector<std::string> present, absent;
};

class CancelTest : public WalkTest, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(CancelTest, StopsAtTheCheckPointAndReturnsFalseUpTheRecursion) {
  const CancelCase& c = GetParam();
  WriteBytes(In("root.txt"), "r");
  for (int i = 1; i <= 5; ++i) WriteBytes(In("A/f" + std::to_string(i) + ".txt"), "file");
  WriteBytes(In("A/A1/deep.txt"), "d");
  WriteBytes(In("B/b.txt"), "b");

  if (c.message == MSG_FOLDER_TEXT) {
    target.CancelOnText(c.message, InText(c.trigger));
  } else if (c.message == MSG_FILE_TEXT) {
    target.CancelOnText(c.message, Utf8ToUtf16(c.trigger));
  } else {
    afterLogLine = [&](const std::vector<FolderResult>& rows) {
      if (rows.back().folder == InText(c.trigger)) job.cancelRequested = true;
    };
  }
  const WalkOutcome outcome = Walk(IncludeSubfolders);

  EXPECT_FALSE(outcome.completed);
  ASSERT_EQ(outcome.rows.size(), c.rows);
  const FolderResult& last = outcome.rows.back();
  EXPECT_EQ(last.folder, InText("A"));
  EXPECT_EQ(last.status, c.lastStatus);
  EXPECT_EQ(last.copiedCount, c.lastCopied);
  EXPECT_EQ(outcome.logLines.size(), c.logLines);
  for (const std::string& name : c.present) EXPECT_TRUE(fs::exists(Out(name))) << name;
  for (const std::string& name : c.absent) EXPECT_FALSE(fs::exists(Out(name))) << name;
  // Nothing is visited after the cancelled folder.
  EXPECT_EQ(target.Texts(MSG_FOLDER_TEXT).back(), InText("A"));
}

INSTANTIATE_TEST_SUITE_P(
    CheckPoints, CancelTest,
    ::testing::Values(
        CancelCase{"AfterListing", MSG_FOLDER_TEXT, "A", 2, FolderStatus::Cancelled, 0, 1, {}, {"A", "B"}},
        CancelCase{"AfterThirdOfFiveFiles",
                   MSG_FILE_TEXT,
                   "3/5 f3.txt",
                   2,
                   FolderStatus::Cancelled,
                   3,
                   1,
                   {"A/f1.txt", "A/f3.txt"},
                   {"A/f4.txt", "A/A1", "B"}},
        CancelCase{"AfterTheLogLine", 0, "A", 2, FolderStatus::Ok, 5, 2, {"A/f5.txt"}, {"A/A1", "B"}}),
    [](const ::testing::TestParamInfo<CancelCase>& info) { return std::string(info.param.name); });

#ifndef _WIN32
// A tree whose deepest paths are longer than the system's path limit is
// walked whole: every folder is reached from the one above it.
TEST_F(WalkTest, TreeDeeperThanThePathLimitIsWalkedWhole) {
  const int levels = PATH_MAX / 12 + 40;
  int fd = open(In().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  for (int level = 0; level < levels; ++level) {
    ASSERT_EQ(mkdirat(fd, "deep-folder", 0755), 0);
    const int next = openat(fd, "deep-folder", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    close(fd);
    ASSERT_GE(next, 0);
    fd = next;
  }
  const int file = openat(fd, "bottom.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_EQ(write(file, "b", 1), 1);
  close(file);
  close(fd);

  const WalkOutcome outcome = Walk(IncludeSubfolders);
  EXPECT_TRUE(outcome.completed);
  ASSERT_EQ(outcome.rows.size(), static_cast<std::size_t>(levels) + 1);
  EXPECT_GT(outcome.rows.back().folder.size(), static_cast<std::size_t>(PATH_MAX));
  EXPECT_EQ(outcome.rows.back().status, FolderStatus::Ok);
  EXPECT_EQ(outcome.rows.back().copiedCount, 1);
  EXPECT_EQ(job.CountFolders(InText()), levels + 1);

  fd = open(Out().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (int level = 0; level < levels && fd >= 0; ++level) {
    const int next = openat(fd, "deep-folder", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    close(fd);
    fd = next;
  }
  ASSERT_GE(fd, 0);
  char byte = 0;
  const int copy = openat(fd, "bottom.txt", O_RDONLY | O_CLOEXEC);
  EXPECT_EQ(read(copy, &byte, 1), 1);
  EXPECT_EQ(byte, 'b');
  close(copy);
  close(fd);
  // The library's removal goes by whole paths; take the tree down first.
  EXPECT_EQ(std::system(("rm -rf '" + In().string() + "' '" + Out().string() + "'").c_str()), 0);
}
#endif

#if !defined(_WIN32) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// Memory that runs out inside a handler fails that file; the run goes on.
// The address space of a child process is capped just above what it uses,
// so the pixel buffer of a large (run-length encoded, hence small) bitmap
// cannot be allocated. The sanitizers' runtimes reserve far more address
// space than any cap (and end the process when it runs out), so those
// builds skip this.
TEST_F(WalkTest, FileThatRunsOutOfMemoryFailsAlone) {
  // 8192 x 8192 at 8 bits: 64 MiB of pixels, from a stream that ends at once.
  std::string bitmap = "BM";
  auto put32 = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bitmap += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  auto put16 = [&](std::uint16_t v) {
    bitmap += static_cast<char>(v & 0xFF);
    bitmap += static_cast<char>(v >> 8);
  };
  put32(14 + 40 + 4 + 2);
  put32(0);
  put32(14 + 40 + 4);
  put32(40);
  put32(8192);
  put32(8192);
  put16(1);
  put16(8);
  put32(1);  // run-length encoded
  put32(2);
  put32(0);
  put32(0);
  put32(1);  // one colour
  put32(0);
  bitmap += std::string(4, '\0');
  bitmap += std::string("\x00\x01", 2);  // end of bitmap
  WriteBytes(In("huge.bmp"), bitmap);
  WriteBytes(In("small.txt"), "s");

  const auto runCapped = [&] {
    long pages = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
      if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
      std::fclose(statm);
    }
    const rlim_t cap = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (32u << 20);
    const rlimit limit{cap, cap};
    if (pages == 0 || setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(2);
    const WalkOutcome outcome = Walk(CompressImages);
    const bool expected = outcome.completed && outcome.rows.size() == 1 &&
                          outcome.rows[0].errorFiles == std::vector<std::u16string>{u"huge.bmp"} &&
                          outcome.rows[0].copiedCount == 1;
    std::_Exit(expected ? 0 : 1);
  };
  EXPECT_EXIT(runCapped(), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(ReadBytes(Out("small.txt")), "s");
}
#endif

// Inputs that used to lose or hide files, or stop the run: each row builds
// its folder, runs the walk, and names the rows, failures and outputs it
// must find. No temporary file may be left behind in any row.
class EdgeCaseTest;

struct EdgeCase {
  const char* name;
  OptionFlags options;
  std::function<void(EdgeCaseTest&)> setUp;
  // Per folder (relative to the input root): status and failed names.
  std::vector<std::tuple<std::string, FolderStatus, std::vector<std::string>>> rows;
  // Output (relative) and what it must start with; "=IN" for a byte copy of
  // the input of the same name, "=" followed by text for exactly that text.
  std::vector<std::pair<std::string, std::string>> outputs;
  std::vector<std::string> absent;
};

class EdgeCaseTest : public WalkTest, public ::testing::WithParamInterface<EdgeCase> {
 public:
  void Write(const std::string& relative, std::string_view bytes) {
    WriteBytes(tmp.path() / Utf8Path(relative), bytes);
  }
  void Write(const std::string& relative, const Bytes& bytes) {
    WriteBytes(tmp.path() / Utf8Path(relative), bytes);
  }
  fs::path Path(const std::string& relative) const { return tmp.path() / Utf8Path(relative); }
};

// The temporaries left anywhere below a folder.
std::vector<std::string> Temporaries(const fs::path& folder) {
  std::vector<std::string> found;
  std::error_code error;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (IsTemporaryName(PathText(it->path().filename()))) found.push_back(it->path().string());
  }
  return found;
}

TEST_P(EdgeCaseTest, EveryFileIsAccountedForAndNothingIsOverwritten) {
  const EdgeCase& c = GetParam();
  c.setUp(*this);
  const WalkOutcome outcome = Walk(c.options);

  EXPECT_TRUE(outcome.completed);
  for (const auto& [folder, status, failed] : c.rows) {
    const std::u16string wanted = folder.empty() ? InText() : PathText(Path("in/" + folder));
    const auto row = std::find_if(outcome.rows.begin(), outcome.rows.end(),
                                  [&](const FolderResult& r) { return r.folder == wanted; });
    ASSERT_NE(row, outcome.rows.end()) << folder;
    EXPECT_EQ(row->status, status) << folder;
    std::vector<std::u16string> names;
    for (const std::string& name : failed) names.push_back(U16(name));
    EXPECT_EQ(row->errorFiles, names) << folder;
  }
  for (const auto& [name, content] : c.outputs) {
    const fs::path output = Path("out/" + name);
    ASSERT_TRUE(fs::exists(output)) << name;
    if (content == "=IN") {
      EXPECT_EQ(ReadBytes(output), ReadBytes(Path("in/" + name))) << name;
    } else if (!content.empty() && content[0] == '=') {
      EXPECT_EQ(ReadBytes(output), content.substr(1)) << name;
    } else {
      EXPECT_TRUE(StartsWith(ReadBytes(output), content)) << name;
    }
  }
  for (const std::string& name : c.absent) EXPECT_FALSE(fs::exists(Path("out/" + name))) << name;
  for (const std::string& left : Temporaries(Out())) {
    EXPECT_NE(left.find(".hoshibako-1-"), std::string::npos) << "left behind: " << left;
  }
}

const EdgeCase kEdgeCases[] = {
#ifndef _WIN32
    // Listing order (sorted bytes) puts x.WAV first.
    {"UpperAndLowerCaseSoundToOneOgg",
     CompressSound,
     [](EdgeCaseTest& t) {
       t.Write("in/x.WAV", TriangleWaveFile());
       t.Write("in/x.wav", TriangleWaveFile(22050, 16, 4410));
     },
     {{"", FolderStatus::HasErrors, {"x.wav"}}},
     {{"x.ogg", kOggMagic}},
     {}},
#else
    // Names that differ in case only are one name here: X.ogg is listed
    // first and keeps it.
    {"OggThatDiffersInCaseOnly",
     CompressSound,
     [](EdgeCaseTest& t) {
       t.Write("in/X.ogg", "already compressed");
       t.Write("in/x.wav", TriangleWaveFile());
     },
     {{"", FolderStatus::HasErrors, {"x.wav"}}},
     {{"X.ogg", "=already compressed"}},
     {}},
#endif
    {"SoundBesideItsOgg",
     CompressSound,
     [](EdgeCaseTest& t) {
       t.Write("in/y.ogg", "already compressed");
       t.Write("in/y.wav", TriangleWaveFile());
     },
     {{"", FolderStatus::HasErrors, {"y.wav"}}},
     {{"y.ogg", "=already compressed"}},
     {}},
    {"BitmapBesideItsPng",
     CompressImages,
     [](EdgeCaseTest& t) {
       t.Write("in/z.bmp", BmpBytes());
       t.Write("in/z.png", "a reference image");
     },
     {{"", FolderStatus::HasErrors, {"z.bmp"}}},
     {{"z.png", "=a reference image"}, {"z.bmp", "BM"}},
     {}},
    {"FailedFileKeepsTheEarlierOutput",
     CompressSound,
     [](EdgeCaseTest& t) {
       t.Write("out/bad.ogg", "from an earlier run");
       t.Write("in/bad.wav", "RIFF but nothing else");
       t.Write("in/good.wav", TriangleWaveFile());
     },
     {{"", FolderStatus::HasErrors, {"bad.wav"}}},
     {{"bad.ogg", "=from an earlier run"}, {"good.ogg", kOggMagic}},
     {}},
#ifndef _WIN32
    // Only names of the run-id shape are temporaries; one whose run left no
    // lock behind goes. Names of any other shape are users' files.
    {"StaleTemporariesGoUserFilesStay",
     0,
     [](EdgeCaseTest& t) {
       t.Write("in/a.txt", "a");
       t.Write("in/.hoshibako-7-7.tmp", "an input that looks like a temporary");
       t.Write("out/.hoshibako-1-1.tmp", "a user's file of the old shape");
       t.Write("out/.hoshibako-00000000deadbeef-3.tmp", "left by a killed run");
     },
     {{"", FolderStatus::Ok, {}}},
     {{"a.txt", "=IN"},
      {".hoshibako-7-7.tmp", "=IN"},
      {".hoshibako-1-1.tmp", "=a user's file of the old shape"}},
     {".hoshibako-00000000deadbeef-3.tmp"}},
#endif
    {"NamesOutsideCodePage932",
     IncludeSubfolders | CompressSound | CompressImages,
     [](EdgeCaseTest& t) {
       t.Write("in/caf\xC3\xA9.wav", TriangleWaveFile());
       t.Write("in/\xED\x82\xA4.bmp", BmpBytes());
       t.Write("in/caf\xC3\xA9/\xED\x82\xA4.txt", "inside");
     },
     {{"", FolderStatus::Ok, {}}, {"caf\xC3\xA9", FolderStatus::Ok, {}}},
     {{"caf\xC3\xA9.ogg", kOggMagic},
      {"\xED\x82\xA4.png", kPngMagic},
      {"caf\xC3\xA9/\xED\x82\xA4.txt", "=inside"}},
     {}},
#ifndef _WIN32
    {"FifoFailsWithoutBlocking",
     0,
     [](EdgeCaseTest& t) {
       t.Write("in/after.txt", "after");
       ASSERT_EQ(mkfifo(t.Path("in/pipe.txt").c_str(), 0666), 0);
     },
     {{"", FolderStatus::HasErrors, {"pipe.txt"}}},
     {{"after.txt", "=IN"}},
     {"pipe.txt"}},
    {"LinkToAnEndlessDeviceNamedAsScript",
     CompressSound,
     [](EdgeCaseTest& t) {
       t.Write("in/a.bms", "#WAV01 a.wav\r\n");
       fs::create_symlink("/dev/zero", t.Path("in/endless.bms"));
     },
     {{"", FolderStatus::HasErrors, {"endless.bms"}}},
     {{"a.bms", "#WAV01 a.ogg"}},
     {"endless.bms"}},
#endif
};

INSTANTIATE_TEST_SUITE_P(Inputs, EdgeCaseTest, ::testing::ValuesIn(kEdgeCases),
                         [](const ::testing::TestParamInfo<EdgeCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
