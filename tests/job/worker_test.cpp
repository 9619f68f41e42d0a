// The worker procedure: its messages, the hand-over of the results and the
// bytes of the log file it appends in the current folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "job/conversion_job.h"
#include "job/messages.h"
#include "job_test_support.h"
#include "support/scratch_folder.h"
#include "support/wav_writer.h"
#include "util/cp932.h"
#include "util/path.h"
#include "util/unicode.h"

namespace fs = std::filesystem;

namespace {

std::string Cp932(const std::u16string& text) {
  std::string bytes;
  EXPECT_TRUE(Utf16ToCp932(text, bytes, false));
  return bytes;
}

class WorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::error_code error;
    previous = fs::current_path(error);
    fs::create_directories(tmp.path() / "run");
    fs::current_path(tmp.path() / "run", error);
    ASSERT_FALSE(error);
    fs::create_directories(tmp.path() / "in");
    fs::create_directories(tmp.path() / "out");
  }
  void TearDown() override {
    std::error_code error;
    fs::current_path(previous, error);
  }

  // One run as a front end makes it, on the calling thread.
  std::vector<FolderResult> Run(OptionFlags options) {
    ConversionJob job;
    jobtest::RecordingTarget target(job);
    job.settings = JobSettings{tmp.Text("in"), tmp.Text("out"), options};
    job.target = &target;
    EXPECT_EQ(WorkerMain(job), 0);
    lastRecords = target.records;
    return job.results;
  }

  std::string Log() const { return ReadBytes(tmp.path() / "run" / "hoshibako.log"); }

  ScratchFolder tmp;
  fs::path previous;
  std::vector<jobtest::RecordingTarget::Record> lastRecords;
};

TEST_F(WorkerTest, PreparesFirstAndPostsDoneLast) {
  WriteBytes(tmp.path() / "in/A/a.txt", "a");
  const std::vector<FolderResult> rows = Run(IncludeSubfolders);
  ASSERT_EQ(rows.size(), 2u);
  ASSERT_GE(lastRecords.size(), 3u);
  EXPECT_EQ(lastRecords.front().message, MSG_PREPARE_PROGRESS);
  EXPECT_EQ(lastRecords.back().message, MSG_WORKER_DONE);
  EXPECT_EQ(lastRecords[1].message, MSG_FOLDER_POSITION);
  EXPECT_EQ(lastRecords[1].wParam, 1u);
}

TEST_F(WorkerTest, PrepareProgressCountsTheFoldersOfTheRun) {
  WriteBytes(tmp.path() / "in/A/A1/x.txt", "x");
  fs::create_directories(tmp.path() / "in/B");
  ConversionJob job;
  job.settings = JobSettings{tmp.Text("in"), tmp.Text("out"), IncludeSubfolders};
  job.PrepareProgress();
  EXPECT_EQ(job.foldersTotal, 4);
  job.settings.options = CompressSound;
  job.PrepareProgress();
  EXPECT_EQ(job.foldersTotal, 1);
}

TEST_F(WorkerTest, LogBlockIsCodePage932WithCrLfAndFraming) {
  WriteBytes(tmp.path() / Utf8Path("in/曲/ok.txt"), "ok");
  WriteBytes(tmp.path() / Utf8Path("in/曲/bad.wav"), "broken");
  Run(IncludeSubfolders | CompressSound);
  Run(IncludeSubfolders | CompressSound);

  const std::string log = Log();
  // Every line end is CR LF; no lone LF or CR.
  for (std::size_t i = 0; i < log.size(); ++i) {
    if (log[i] == '\n') {
      ASSERT_TRUE(i > 0 && log[i - 1] == '\r') << "lone LF at " << i;
    }
    if (log[i] == '\r') {
      ASSERT_TRUE(i + 1 < log.size() && log[i + 1] == '\n') << "lone CR at " << i;
    }
  }
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < log.size();) {
    const std::size_t end = log.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    lines.push_back(log.substr(start, end - start));
    start = end + 2;
  }
  const std::string root = Cp932(tmp.Text("in"));
  const std::vector<std::string> block = {
      "", Cp932(kLogHeaderLine), root + ",OK,0,0,0,0,0",
      Cp932(tmp.Text("in") + kPathSeparator + u"曲,エラーあり,0,0,0,1,1,bad.wav"), ""};
  ASSERT_EQ(lines.size(), 2 * block.size());
  const std::regex dateLine(R"(\d{4}/[1-9]\d?/[1-9]\d? ([1-9]?\d):([1-9]?\d):([1-9]?\d))");
  for (std::size_t b = 0; b < 2; ++b) {
    EXPECT_TRUE(std::regex_match(lines[b * block.size()], dateLine)) << lines[b * block.size()];
    for (std::size_t i = 1; i < block.size(); ++i) EXPECT_EQ(lines[b * block.size() + i], block[i]);
  }
  // No byte-order mark.
  EXPECT_NE(log.substr(0, 3), "\xEF\xBB\xBF");
}

TEST_F(WorkerTest, CharactersOutsideCodePage932AreWrittenAsQuestionMarks) {
  // é has no code page 932 form. The file is read under its own name, but
  // its content fails; its name must still reach the log, readable.
  WriteBytes(tmp.path() / Utf8Path("in/caf\xC3\xA9.wav"), "not a wave file");
  WriteBytes(tmp.path() / "in/B/later.txt", "l");
  Run(IncludeSubfolders | CompressSound);

  const std::string log = Log();
  const std::string expectedRoot = Cp932(tmp.Text("in") + u",エラーあり,0,0,0,0,1,caf?.wav") + "\r\n";
  EXPECT_NE(log.find(expectedRoot), std::string::npos) << log;
  // The lines after it are kept, up to the closing empty line.
  const std::string expectedB = Cp932(tmp.Text("in") + kPathSeparator + u"B,OK,0,0,0,1,0") + "\r\n\r\n";
  EXPECT_NE(log.find(expectedB), std::string::npos) << log;
}

TEST_F(WorkerTest, LogThatCannotBeOpenedLeavesTheRunUnchanged) {
  WriteBytes(tmp.path() / "in/a.txt", "a");
  WriteBytes(tmp.path() / "in/S/b.wav", TriangleWaveFile());
  const std::vector<FolderResult> normal = Run(IncludeSubfolders | CompressSound);
  fs::remove(tmp.path() / "run/hoshibako.log");

  // Even a privileged user cannot append to a folder.
  fs::create_directory(tmp.path() / "run/hoshibako.log");
  fs::remove_all(tmp.path() / "out");
  const std::vector<FolderResult> blocked = Run(IncludeSubfolders | CompressSound);
  ASSERT_EQ(blocked.size(), normal.size());
  for (std::size_t i = 0; i < normal.size(); ++i) {
    EXPECT_EQ(blocked[i].folder, normal[i].folder);
    EXPECT_EQ(blocked[i].status, normal[i].status);
    EXPECT_EQ(blocked[i].soundCount, normal[i].soundCount);
    EXPECT_EQ(blocked[i].copiedCount, normal[i].copiedCount);
  }
  EXPECT_TRUE(fs::exists(tmp.path() / "out/S/b.ogg"));
}

TEST_F(WorkerTest, ReadOnlyLogFileIsLeftUnchanged) {
  WriteBytes(tmp.path() / "run/hoshibako.log", "earlier runs\r\n");
  fs::permissions(tmp.path() / "run/hoshibako.log", fs::perms::owner_read);
  if (std::ofstream(tmp.path() / "run/hoshibako.log", std::ios::app)) {
    GTEST_SKIP() << "permissions do not bind this (privileged) user";
  }
  WriteBytes(tmp.path() / "in/a.txt", "a");
  const std::vector<FolderResult> rows = Run(0);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].copiedCount, 1);
  EXPECT_EQ(Log(), "earlier runs\r\n");
}

}  // namespace
