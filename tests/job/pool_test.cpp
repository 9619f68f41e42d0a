// The run on several conversion threads: the same rows, log lines and
// outputs as the serial run, progress in walk order, Cancel at a file
// boundary, and update runs that only redo what changed.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bms/text_file.h"
#include "job/conversion_job.h"
#include "job/messages.h"
#include "job/options_record.h"
#include "job/run_log.h"
#include "job_test_support.h"
#include "support/scratch_folder.h"
#include "support/wav_writer.h"
#include "util/cp932.h"
#include "util/file_system.h"
#include "util/thread.h"
#include "util/unicode.h"

namespace fs = std::filesystem;
using jobtest::BmpBytes;

namespace {

struct Outcome {
  bool completed = false;
  std::vector<FolderResult> rows;
  std::vector<std::string> logLines;
  std::vector<jobtest::RecordingTarget::Record> records;
  RunTotals totals;
};

// The Ogg pages with their stream serial number and checksum blanked: two
// encodings of one sound differ in nothing else.
std::string WithoutSerialNumbers(std::string bytes) {
  std::size_t page = 0;
  while (page + 27 <= bytes.size() && bytes.compare(page, 4, "OggS") == 0) {
    const std::size_t segments = static_cast<unsigned char>(bytes[page + 26]);
    std::size_t body = 0;
    for (std::size_t i = 0; i < segments && page + 27 + i < bytes.size(); ++i) {
      body += static_cast<unsigned char>(bytes[page + 27 + i]);
    }
    for (std::size_t i = 14; i < 18; ++i) bytes[page + i] = 0;
    for (std::size_t i = 22; i < 26; ++i) bytes[page + i] = 0;
    page += 27 + segments + body;
  }
  return bytes;
}

// Every file below a folder by its relative path; Ogg files without serials.
std::map<std::string, std::string> TreeContents(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    const std::string relative = fs::relative(entry.path(), root).generic_string();
    const std::string bytes = ReadBytes(entry.path());
    files[relative] = relative.ends_with(".ogg") ? WithoutSerialNumbers(bytes) : bytes;
  }
  return files;
}

bool RowsEqual(const FolderResult& a, const FolderResult& b) {
  return a.folder == b.folder && a.status == b.status && a.bmsCount == b.bmsCount &&
         a.soundCount == b.soundCount && a.imageCount == b.imageCount && a.copiedCount == b.copiedCount &&
         a.skippedCount == b.skippedCount && a.errorFiles == b.errorFiles;
}

class PoolTest : public ::testing::Test {
 protected:
  fs::path In(const std::string& relative = "") const { return tmp.path() / "in" / relative; }

  // A library of three song folders and a nested one: sounds of several
  // lengths, a bitmap, a script, a name clash, a broken sound and copies.
  void WriteLibrary() {
    for (const std::string folder : {"A", "B", "B/B1", "C"}) {
      for (int i = 0; i < 6; ++i) {
        WriteBytes(In(folder + "/k" + std::to_string(i) + ".wav"),
                   TriangleWaveFile(22050, 16, 400 + 900 * i));
      }
      WriteBytes(In(folder + "/bg.bmp"), BmpBytes(8, 5));
      WriteBytes(In(folder + "/song.bms"), "#TITLE t\r\n#WAV01 k0.wav\r\n#BMP01 bg.bmp\r\n");
      WriteBytes(In(folder + "/readme.txt"), "text");
    }
    WriteBytes(In("B/k0.ogg"), "an earlier file of the sound's output name");
    WriteBytes(In("C/broken.wav"), "RIFF....WAVE");
  }

  Outcome Run(const std::string& output, int jobs, bool update = false,
              OptionFlags options = IncludeSubfolders | CompressSound | CompressImages) {
    ConversionJob job;
    jobtest::RecordingTarget target(job);
    if (!cancelText.empty()) target.CancelOnText(MSG_FILE_TEXT, cancelText);
    job.settings = JobSettings{PathText(In()), tmp.Text(output), options};
    job.target = &target;
    job.jobs = jobs;
    job.update = update;
    const fs::path logPath = tmp.path() / (output + ".log");
    fs::remove(logPath);
    TextFile file;
    EXPECT_TRUE(file.Open(PathText(logPath), TextFileMode::Append));
    TextFileLog log(file);
    Outcome outcome;
    outcome.completed =
        job.ProcessFolder(log, job.settings.inputFolder, job.settings.outputFolder, outcome.rows);
    file.Close();
    const std::string bytes = ReadBytes(logPath);
    for (std::size_t start = 0; start < bytes.size();) {
      std::size_t end = bytes.find("\r\n", start);
      if (end == std::string::npos) end = bytes.size();
      outcome.logLines.push_back(bytes.substr(start, end - start));
      start = end + 2;
    }
    outcome.records = target.records;
    outcome.totals = job.totals;
    return outcome;
  }

  static std::vector<std::u16string> Texts(const Outcome& outcome, std::uint32_t message) {
    std::vector<std::u16string> texts;
    for (const auto& record : outcome.records) {
      if (record.message == message) texts.push_back(record.text);
    }
    return texts;
  }

  // The modification time of every file below a folder.
  // The outputs' times; a folder's update record is rewritten whenever a
  // failure there is tried again, so it is left out.
  static std::map<std::string, fs::file_time_type> Times(const fs::path& root) {
    std::map<std::string, fs::file_time_type> times;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
      if (entry.is_regular_file() && entry.path().filename() != ".hoshibako-files")
        times[fs::relative(entry.path(), root).generic_string()] = entry.last_write_time();
    }
    return times;
  }

  ScratchFolder tmp;
  std::u16string cancelText;
};

TEST_F(PoolTest, FourThreadsGiveTheSerialRowsLogAndOutputs) {
  WriteLibrary();
  const Outcome serial = Run("serial", 1);
  const Outcome pooled = Run("pooled", 4);

  EXPECT_TRUE(pooled.completed);
  ASSERT_EQ(pooled.rows.size(), serial.rows.size());
  for (std::size_t i = 0; i < serial.rows.size(); ++i) {
    EXPECT_TRUE(RowsEqual(pooled.rows[i], serial.rows[i])) << Utf16ToUtf8(serial.rows[i].folder);
  }
  // The clash and the broken sound are failures, in listing order.
  EXPECT_EQ(serial.rows[2].errorFiles, (std::vector<std::u16string>{u"k0.wav"}));
  EXPECT_EQ(serial.rows[4].errorFiles, (std::vector<std::u16string>{u"broken.wav"}));
  EXPECT_EQ(pooled.logLines, serial.logLines);
  EXPECT_EQ(pooled.totals.files, serial.totals.files);
  EXPECT_EQ(pooled.totals.bytesRead, serial.totals.bytesRead);
  EXPECT_EQ(pooled.totals.bytesWritten, serial.totals.bytesWritten);
  EXPECT_EQ(TreeContents(tmp.path() / "pooled"), TreeContents(tmp.path() / "serial"));
}

// The chart-preserving mode decides late what it keeps as it is (a clash,
// a sound it cannot convert): the same files are kept either way.
TEST_F(PoolTest, FourThreadsKeepTheSerialRunsFilesAsTheyAre) {
  WriteLibrary();
  const OptionFlags options = IncludeSubfolders | CompressSound | CompressImages | PreserveCharts;
  const Outcome serial = Run("serial", 1, false, options);
  const Outcome pooled = Run("pooled", 4, false, options);

  ASSERT_EQ(pooled.rows.size(), serial.rows.size());
  for (std::size_t i = 0; i < serial.rows.size(); ++i) {
    EXPECT_TRUE(RowsEqual(pooled.rows[i], serial.rows[i])) << Utf16ToUtf8(serial.rows[i].folder);
    EXPECT_EQ(pooled.rows[i].keptFiles, serial.rows[i].keptFiles);
  }
  EXPECT_EQ(serial.rows[2].keptFiles, (std::vector<std::u16string>{u"k0.wav"}));
  EXPECT_EQ(serial.rows[4].keptFiles, (std::vector<std::u16string>{u"broken.wav"}));
  EXPECT_EQ(pooled.logLines, serial.logLines);
  EXPECT_EQ(TreeContents(tmp.path() / "pooled"), TreeContents(tmp.path() / "serial"));
}

// Lets the first `allowed` threads start and refuses the rest, as a system
// out of threads would.
class LimitThreads : public ThreadStarter {
 public:
  explicit LimitThreads(int allowed) : allowed_(allowed), previous_(SetThreadStarter(this)) {}
  ~LimitThreads() { SetThreadStarter(previous_); }
  bool Start(std::thread& thread, std::function<void()> body) override {
    if (allowed_ <= 0) return false;
    --allowed_;
    thread = std::thread(std::move(body));
    return true;
  }

 private:
  int allowed_;
  ThreadStarter* previous_;
};

TEST_F(PoolTest, ThreadsTheSystemRefusesLeaveTheWorkToTheOthers) {
  WriteLibrary();
  const Outcome serial = Run("serial", 1);
  for (const int allowed : {0, 1}) {
    LimitThreads limit(allowed);
    const std::string output = "limited" + std::to_string(allowed);
    const Outcome limited = Run(output, 4);
    EXPECT_TRUE(limited.completed);
    EXPECT_EQ(limited.logLines, serial.logLines) << allowed;
    EXPECT_EQ(TreeContents(tmp.path() / output), TreeContents(tmp.path() / "serial")) << allowed;
  }
}

TEST_F(PoolTest, ProgressNamesEveryFileOnceAndFoldersInWalkOrder) {
  WriteLibrary();
  const Outcome serial = Run("serial", 1);
  const Outcome pooled = Run("pooled", 4);

  std::vector<std::uintptr_t> positions;
  for (const auto& record : pooled.records) {
    if (record.message == MSG_FOLDER_POSITION) positions.push_back(record.wParam);
  }
  EXPECT_EQ(positions, (std::vector<std::uintptr_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(Texts(pooled, MSG_FOLDER_TEXT), Texts(serial, MSG_FOLDER_TEXT));
  std::vector<std::u16string> serialFiles = Texts(serial, MSG_FILE_TEXT);
  std::vector<std::u16string> pooledFiles = Texts(pooled, MSG_FILE_TEXT);
  std::sort(serialFiles.begin(), serialFiles.end());
  std::sort(pooledFiles.begin(), pooledFiles.end());
  EXPECT_EQ(pooledFiles, serialFiles);
}

TEST_F(PoolTest, CancelAtAFileStartsNoMoreAndCountsWhatStarted) {
  for (int i = 0; i < 12; ++i)
    WriteBytes(In("A/k" + std::to_string(i) + ".wav"), TriangleWaveFile(22050, 16, 500 + 100 * i));
  WriteBytes(In("B/b.txt"), "b");
  // The longest sound (fourth in the listing) starts first.
  cancelText = u"4/12 k11.wav";
  const Outcome outcome = Run("out", 2);

  EXPECT_FALSE(outcome.completed);
  ASSERT_EQ(outcome.rows.size(), 2u);
  const FolderResult& last = outcome.rows.back();
  EXPECT_EQ(last.folder, PathText(In("A")));
  EXPECT_EQ(last.status, FolderStatus::Cancelled);
  // Every file that started was finished and counted; the rest never began.
  const std::size_t started = Texts(outcome, MSG_FILE_TEXT).size();
  EXPECT_EQ(static_cast<std::size_t>(last.soundCount), started);
  EXPECT_LT(started, 12u);
  std::size_t written = 0;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(tmp.path() / "out")) {
    EXPECT_FALSE(IsTemporaryName(PathText(entry.path().filename()))) << entry.path();
    if (entry.is_regular_file()) ++written;
  }
  EXPECT_EQ(written, started);
  EXPECT_EQ(outcome.logLines.size(), 1u);  // the root's row only
}

TEST_F(PoolTest, UpdateRunSkipsWhatIsUpToDateAndRedoesWhatChanged) {
  WriteLibrary();
  const Outcome first = Run("out", 2, /*update=*/true);
  ASSERT_TRUE(first.completed);
  const fs::path out = tmp.path() / "out";
  ASSERT_TRUE(fs::exists(out / ".hoshibako-options"));
  const auto before = Times(out);
  // The file layer's own time: std::filesystem may round to whole seconds
  // (MinGW's does), and the runs here are milliseconds apart.
  const long long k3Before = FileModifiedTime(PathText(out / "A/k3.ogg"));

  // Nothing changed: every file that was written is skipped, nothing is.
  const Outcome second = Run("out", 2, /*update=*/true);
  EXPECT_EQ(second.totals.files, 0);
  EXPECT_EQ(second.totals.skipped, first.totals.files);
  EXPECT_EQ(Times(out), before);
  ASSERT_EQ(second.rows.size(), first.rows.size());
  for (std::size_t i = 0; i < first.rows.size(); ++i) {
    const FolderResult& a = first.rows[i];
    const FolderResult& b = second.rows[i];
    EXPECT_EQ(b.skippedCount, a.bmsCount + a.soundCount + a.imageCount + a.copiedCount);
    EXPECT_EQ(b.errorFiles, a.errorFiles);  // failures are tried again, and fail again
  }

  // A touched source is converted again, and only it.
  fs::last_write_time(In("A/k3.wav"), fs::last_write_time(out / "A/k3.ogg") + std::chrono::seconds(5));
  const Outcome third = Run("out", 2, /*update=*/true);
  EXPECT_EQ(third.totals.files, 1);
  EXPECT_EQ(third.rows[1].soundCount, 1);
  EXPECT_GT(FileModifiedTime(PathText(out / "A/k3.ogg")), k3Before);

  // An archive unpacked again restores an older date, and an output left
  // empty is no output: each is made again, and only it.
  fs::last_write_time(In("A/k2.wav"), fs::last_write_time(In("A/k2.wav")) - std::chrono::hours(24));
  EXPECT_EQ(Run("out", 2, /*update=*/true).totals.files, 1);
  fs::resize_file(out / "A/k1.ogg", 0);
  EXPECT_EQ(Run("out", 2, /*update=*/true).totals.files, 1);
  EXPECT_GT(fs::file_size(out / "A/k1.ogg"), 0u);

  // Other options: every output is made again, and they are recorded.
  const Outcome fourth = Run("out", 2, /*update=*/true, IncludeSubfolders | CompressSound);
  EXPECT_EQ(fourth.totals.skipped, 0);
  EXPECT_EQ(fourth.totals.files, first.totals.files);
  EXPECT_EQ(CompareOptionsRecord(tmp.Text("out"), CompressSound), OptionsRecordState::Same);
}

TEST_F(PoolTest, RunWithOtherOptionsRemovesTheRecord) {
  WriteBytes(In("a.txt"), "a");
  // A record in the input (an output converted again) is not copied.
  WriteBytes(In(".hoshibako-options"), "hoshibako options 1\n");
  Run("plain", 2);
  EXPECT_FALSE(fs::exists(tmp.path() / "plain" / ".hoshibako-options"));

  Run("out", 2, /*update=*/true);
  ASSERT_TRUE(fs::exists(tmp.path() / "out" / ".hoshibako-options"));
  // A run without -u under the same options keeps it; under others it goes,
  // so that a later update run cannot trust outputs of mixed options.
  Run("out", 2, /*update=*/false);
  EXPECT_TRUE(fs::exists(tmp.path() / "out" / ".hoshibako-options"));
  Run("out", 2, /*update=*/false, IncludeSubfolders | CompressSound | CompressImages | RepairBms);
  EXPECT_FALSE(fs::exists(tmp.path() / "out" / ".hoshibako-options"));
}

}  // namespace
