// The reference check on large bmson charts, through hoshibako-cli as a
// child process: the time for one chart naming 40,000 missing files, and
// the peak memory of a run over two charts of about 200 MB at -j 2.
//
//   bench_check [scratch folder]   (default: the system's temporary folder)

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct ChildRun {
  double seconds = 0;
  long peakKilobytes = 0;
  int status = -1;
};

// Runs hoshibako-cli with these arguments, its output thrown away.
ChildRun RunCli(const std::vector<std::string>& arguments) {
  const auto start = std::chrono::steady_clock::now();
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> argv{const_cast<char*>(HOSHIBAKO_CLI_PATH)};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr)) _exit(127);
    execv(HOSHIBAKO_CLI_PATH, argv.data());
    _exit(127);
  }
  ChildRun run;
  struct rusage usage {};
  wait4(pid, &run.status, 0, &usage);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.peakKilobytes = usage.ru_maxrss;
  return run;
}

void MissingNames(const fs::path& file, int count) {
  std::ofstream out(file, std::ios::binary);
  out << "{\"version\":\"1.0.0\",\"info\":{\"title\":\"t\"},\"sound_channels\":[";
  for (int i = 0; i < count; ++i)
    out << (i ? "," : "") << "{\"name\":\"missing" << i << ".wav\",\"notes\":[]}";
  out << "]}";
}

// A chart of about `megabytes` MB, nearly all of it notes, written as it goes.
void LargeChart(const fs::path& file, int megabytes) {
  std::ofstream out(file, std::ios::binary);
  out << "{\"version\":\"1.0.0\",\"info\":{\"title\":\"big\"},\"sound_channels\":[{\"name\":\"a.wav\","
         "\"notes\":[";
  const long long notes = megabytes * 1000000LL / 38;
  for (long long i = 0; i < notes; ++i) {
    out << (i ? "," : "") << "{\"x\":" << i % 8 << ",\"y\":" << i * 240 << ",\"l\":0,\"c\":false}";
  }
  out << "]}]}";
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path root =
      fs::path(argc > 1 ? argv[1] : fs::temp_directory_path().string()) / "hoshibako-bench-check";
  fs::remove_all(root);
  fs::create_directories(root / "names" / "in");
  fs::create_directories(root / "names" / "out");
  fs::create_directories(root / "large" / "in");
  fs::create_directories(root / "large" / "out");

  MissingNames(root / "names" / "in" / "names.bmson", 40000);
  const ChildRun names = RunCli(
      {"-w", "--check", "-j", "1", (root / "names" / "in").string(), (root / "names" / "out").string()});
  std::printf("--check, one bmson naming 40,000 missing files:  %6.2f s  exit %d\n", names.seconds,
              WEXITSTATUS(names.status));

  LargeChart(root / "large" / "in" / "a.bmson", 200);
  fs::copy_file(root / "large" / "in" / "a.bmson", root / "large" / "in" / "b.bmson");
  const double chartMegabytes = static_cast<double>(fs::file_size(root / "large" / "in" / "a.bmson")) / 1e6;
  const ChildRun large = RunCli(
      {"-w", "--check", "-j", "2", (root / "large" / "in").string(), (root / "large" / "out").string()});
  std::printf(
      "-w --check -j 2, two bmson charts of %.0f MB:     %6.2f s  peak %.0f MB (%.2f times one chart)\n",
      chartMegabytes, large.seconds, large.peakKilobytes / 1000.0,
      large.peakKilobytes / 1000.0 / chartMegabytes);
  fs::remove_all(root);
  return 0;
}
