// The folder walk on its own (every file copied): a folder of 10,000 files
// with Japanese names against the same with ASCII names, 10,000 names in
// code page 932 bytes of NEC/IBM duplicate characters against other
// Shift_JIS names, trees of 1,000 and 2,000 levels at one and two threads
// (with the number of openat calls, counted by strace when it is
// installed), and what flushing each output before its rename costs.
//
//   bench_walk [scratch folder]   (default: the system's temporary folder)
//   bench_walk --deep IN OUT JOBS LEVELS   (one walk of a deep tree; used
//                                            by the above under strace)

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
#include "util/cp932.h"
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
double Walk(const fs::path& in, const fs::path& out, OptionFlags options, std::size_t expectedRows,
            int jobs = 0) {
  RemoveTree(out);
  ConversionJob job;
  job.jobs = jobs;
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

// The code page 932 bytes of a character with two spellings that are not
// the ones its encoding chooses (NEC-selected IBM extensions against the
// IBM extensions), so a lookup by name finds neither form directly.
std::string NecDuplicateStem() {
  std::string preferred;
  const std::u16string character = u"\u7E8A\u9ED1\u9ED1";
  if (!Utf16ToCp932(character, preferred, false)) std::abort();
  // U+7E8A is ED40 or FA5C, U+9ED1 is EEEC or FC4B; take the other ones.
  const std::string nec = "\xED\x40\xEE\xEC\xEE\xEC";
  const std::string ibm = "\xFA\x5C\xFC\x4B\xFC\x4B";
  return preferred == nec ? ibm : nec;
}

// One walk of a deep tree at a number of threads, run as its own process
// so that strace counts its calls alone.
int DeepWalkMain(char** argv) {
  const int jobs = std::atoi(argv[4]);
  const int levels = std::atoi(argv[5]);
  const double seconds =
      Walk(argv[2], argv[3], IncludeSubfolders | RepairBms, static_cast<std::size_t>(levels) + 1, jobs);
  std::printf("%.3f %.3f\n", seconds, lastCpuSeconds);
  return 0;
}

// Runs a command and returns its standard output.
std::string Capture(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    pclose(pipe);
  }
  return output;
}

// The openat calls of one deep walk as strace counts them, or -1.
long CountOpenat(const std::string& self, const fs::path& in, const fs::path& out, int jobs, int levels) {
  if (access("/usr/bin/strace", X_OK) != 0) return -1;
  const fs::path summary = out.string() + ".strace";
  Capture("/usr/bin/strace -f -c -e trace=openat -o '" + summary.string() + "' '" + self + "' --deep '" +
          in.string() + "' '" + out.string() + "' " + std::to_string(jobs) + " " + std::to_string(levels));
  std::FILE* file = std::fopen(summary.c_str(), "r");
  if (file == nullptr) return -1;
  long calls = -1;
  char line[512];
  while (std::fgets(line, sizeof line, file) != nullptr) {
    double percent, seconds;
    long usecs, count;
    char name[64];
    if (std::sscanf(line, "%lf %lf %ld %ld %*s %63s", &percent, &seconds, &usecs, &count, name) == 5 ||
        std::sscanf(line, "%lf %lf %ld %ld %63s", &percent, &seconds, &usecs, &count, name) == 5) {
      if (std::string(name) == "openat") calls = count;
    }
  }
  std::fclose(file);
  fs::remove(summary);
  return calls;
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
  if (argc == 6 && std::string(argv[1]) == "--deep") return DeepWalkMain(argv);
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

  // Names in code page 932 bytes: the duplicates against other Japanese
  // names, one thread, so that the lookups alone differ.
  FlatFolder(root / "nec", NecDuplicateStem(), files);
  FlatFolder(root / "sjis", "\x95\x88\x96\xCA\x83\x74\x83\x40", files);
  double nec = 1e9;
  double sjis = 1e9;
  double necCpu = 1e9;
  double sjisCpu = 1e9;
  for (int round = 0; round < 2; ++round) {
    nec = std::min(nec, Walk(root / "nec", root / "out-nec", 0, 1, 1));
    necCpu = std::min(necCpu, lastCpuSeconds);
    sjis = std::min(sjis, Walk(root / "sjis", root / "out-sjis", 0, 1, 1));
    sjisCpu = std::min(sjisCpu, lastCpuSeconds);
  }
  std::printf("%d files, Shift_JIS names:      %.2f s (processor %.2f s)\n", files, sjis, sjisCpu);
  std::printf(
      "%d files, NEC-duplicate names:  %.2f s (processor %.2f s): %.2f x Shift_JIS (processor %.2f x)\n",
      files, nec, necCpu, nec / sjis, necCpu / sjisCpu);

  const std::string self = fs::canonical("/proc/self/exe").string();
  for (const int levels : {1000, 2000}) {
    const fs::path in = root / ("deep" + std::to_string(levels));
    DeepTree(in, levels);
    for (const int jobs : {1, 2}) {
      const double seconds = Walk(in, root / "out-deep", IncludeSubfolders | RepairBms,
                                  static_cast<std::size_t>(levels) + 1, jobs);
      const double cpu = lastCpuSeconds;
      const long openat = CountOpenat(self, in, root / "out-deep-traced", jobs, levels);
      std::printf("%d-level tree (%d scripts, deepest path %zu bytes) at -j %d: %.2f s (processor %.2f s), ",
                  levels, levels, in.string().size() + 6 * static_cast<std::size_t>(levels), jobs, seconds,
                  cpu);
      if (openat >= 0) {
        std::printf("%ld openat calls (%.1f a level)\n", openat, static_cast<double>(openat) / levels);
      } else {
        std::printf("openat not counted (no strace)\n");
      }
      RemoveTree(root / "out-deep-traced");
    }
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
