// The folder walk on its own (every file copied): a folder of 10,000 files
// with Japanese names against the same with ASCII names, trees of 1,000 and
// 2,000 levels, and what flushing each output before its rename costs.
//
//   bench_walk [scratch folder]   (default: the system's temporary folder)

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "bms/text_file.h"
#include "job/conversion_job.h"
#include "job/run_log.h"
#include "util/unicode.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// The processor time of the last walk: on a busy machine the wall-clock
// time mostly measures the other processes.
double lastCpuSeconds = 0;

void WriteAt(int folder, const std::string& name, const std::string& bytes) {
  const int fd = openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::abort();
  close(fd);
}

// Removes a tree of any depth (the library's removal goes by whole paths).
void RemoveTree(const fs::path& path) {
  const std::string command = "rm -rf '" + path.string() + "'";
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", path.c_str());
}

// Walks `in` into a fresh `out`; returns the seconds and checks the rows.
double Walk(const fs::path& in, const fs::path& out, OptionFlags options, std::size_t expectedRows) {
  RemoveTree(out);
  ConversionJob job;
  job.settings = JobSettings{Utf8ToUtf16(in.string()), Utf8ToUtf16(out.string()), options};
  TextFile logFile;  // not opened: its lines are dropped
  TextFileLog log(logFile);
  std::vector<FolderResult> rows;
  const Clock::time_point start = Clock::now();
  const std::clock_t cpuStart = std::clock();
  job.ProcessFolder(log, job.settings.inputFolder, job.settings.outputFolder, rows);
  lastCpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  const double seconds = Seconds(start);
  std::size_t failed = 0;
  for (const FolderResult& row : rows)
    failed += row.errorFiles.size() + (row.status != FolderStatus::Ok ? 1 : 0);
  if (rows.size() != expectedRows || failed != 0) {
    std::fprintf(stderr, "unexpected result: %zu rows, %zu failures\n", rows.size(), failed);
  }
  return seconds;
}

void FlatFolder(const fs::path& folder, const std::string& stem, int count) {
  fs::create_directories(folder);
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  char number[16];
  for (int i = 0; i < count; ++i) {
    std::snprintf(number, sizeof number, "%05d", i);
    WriteAt(fd, stem + number + ".txt", std::string(200, 'x'));
  }
  close(fd);
}

void DeepTree(const fs::path& root, int levels) {
  fs::create_directories(root);
  int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (int level = 0; level < levels; ++level) {
    WriteAt(fd, "chart.bms", "#TITLE deep\r\n");
    if (mkdirat(fd, "level", 0755) != 0) std::abort();
    const int next = openat(fd, "level", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    close(fd);
    fd = next;
  }
  close(fd);
}

// Writes files, each under a temporary name renamed to its final one, with
// and without flushing it first: the cost of the flush per file.
double RenameCycle(const fs::path& folder, int count, bool flush) {
  RemoveTree(folder);
  fs::create_directories(folder);
  const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const std::string data(20000, 'd');
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < count; ++i) {
    const std::string temporary = ".tmp" + std::to_string(i);
    const int fd = openat(dir, temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || write(fd, data.data(), data.size()) != static_cast<ssize_t>(data.size())) std::abort();
    if (flush) fsync(fd);
    close(fd);
    renameat(dir, temporary.c_str(), dir, ("file" + std::to_string(i)).c_str());
  }
  close(dir);
  return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path base = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
  const fs::path root = base / ("hoshibako-bench-walk-" + std::to_string(getpid()));

  const int files = 10000;
  FlatFolder(root / "ascii", "chart-file-", files);
  FlatFolder(root / "japanese", "\xE8\xAD\x9C\xE9\x9D\xA2\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB",
             files);
  double ascii = 1e9;
  double japanese = 1e9;
  double asciiCpu = 1e9;
  double japaneseCpu = 1e9;
  for (int round = 0; round < 2; ++round) {
    ascii = std::min(ascii, Walk(root / "ascii", root / "out-ascii", 0, 1));
    asciiCpu = std::min(asciiCpu, lastCpuSeconds);
    japanese = std::min(japanese, Walk(root / "japanese", root / "out-japanese", 0, 1));
    japaneseCpu = std::min(japaneseCpu, lastCpuSeconds);
  }
  std::printf("%d files, ASCII names:     %.2f s (processor %.2f s)\n", files, ascii, asciiCpu);
  std::printf("%d files, Japanese names:  %.2f s (processor %.2f s): %.2f x ASCII (processor %.2f x)\n",
              files, japanese, japaneseCpu, japanese / ascii, japaneseCpu / asciiCpu);

  for (const int levels : {1000, 2000}) {
    const fs::path in = root / ("deep" + std::to_string(levels));
    DeepTree(in, levels);
    const double seconds =
        Walk(in, root / "out-deep", IncludeSubfolders | RepairBms, static_cast<std::size_t>(levels) + 1);
    std::printf("%d-level tree (%d scripts, deepest path %zu bytes): %.2f s (processor %.2f s)\n", levels,
                levels, in.string().size() + 6 * static_cast<std::size_t>(levels), seconds, lastCpuSeconds);
  }

  const int cycles = 2000;
  const double plain = RenameCycle(root / "rename", cycles, false);
  const double flushed = RenameCycle(root / "rename", cycles, true);
  std::printf(
      "%d files of 20 kB written and renamed: %.2f s; flushed before the rename: %.2f s (%.2f ms a file)\n",
      cycles, plain, flushed, (flushed - plain) * 1000 / cycles);

  RemoveTree(root);
  return 0;
}
