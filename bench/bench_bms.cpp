// Script rewriting throughput: builds a large script in a temporary folder
// and times reading it line by line, and rewriting it with sound and image
// references on, with and without repair. Prints MB/s and lines/s.
//
// Then the peak memory of rewriting a 300 MB script that holds no line feed,
// measured in a fresh process (this program started again with --rewrite) so
// that the figure is the rewrite's alone: its peak resident size must stay
// under 64 MiB.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "bms/script_rewriter.h"
#include "bms/text_file.h"
#include "support/scratch_folder.h"

namespace {

// A chart-like mix: a header of references, then note data.
std::string MakeScript(int definitions, int measures, long long& lines) {
  std::string text = "#TITLE \x95\x5C\x8E\xA6\x83\x65\x83\x58\x83\x67\r\n#BPM 150\r\n";
  lines = 2;
  char buffer[128];
  for (int i = 0; i < definitions; ++i) {
    std::snprintf(buffer, sizeof buffer, "#wav%02X sound_%04d.wav\r\n#BMP%02X image_%04d.bmp\r\n", i % 256, i,
                  i % 256, i);
    text += buffer;
    lines += 2;
  }
  for (int m = 0; m < measures; ++m) {
    for (int channel = 11; channel < 20; ++channel) {
      std::snprintf(buffer, sizeof buffer, "#%03d%02d:0102030405060708\r\n", m % 1000, channel);
      text += buffer;
      ++lines;
    }
  }
  return text;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

ScriptRewriter AllOn() {
  return ScriptRewriter{ReferenceRenaming::For(CompressSound | CompressImages), true};
}

// Writes `megabytes` of one line: a sound reference whose name never ends.
void WriteEndlessLine(const std::filesystem::path& path, int megabytes) {
  std::ofstream out(path, std::ios::binary);
  out << "#WAV01 ";
  const std::string block(1000 * 1000, 'x');
  for (int i = 0; i < megabytes; ++i) out.write(block.data(), static_cast<std::streamsize>(block.size()));
  out << ".wav";
}

// Rewrites in a child process and reports its peak resident size in KiB
// (ru_maxrss), or -1 when the child could not run or failed.
long PeakResidentKib(const std::filesystem::path& source, const std::filesystem::path& destination,
                     double& seconds) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    execl("/proc/self/exe", "bench_bms", "--rewrite", source.c_str(), destination.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (wait4(child, &status, 0, &usage) != child) return -1;
  seconds = Seconds(std::chrono::steady_clock::now() - start);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--rewrite") {
    const bool ok = AllOn().Rewrite(std::filesystem::path(argv[2]).u16string(),
                                    std::filesystem::path(argv[3]).u16string());
    return ok ? 0 : 1;
  }
  const ScratchFolder scratch;
  const std::filesystem::path& folder = scratch.path();
  long long lines = 0;
  const std::string script = MakeScript(20000, 20000, lines);
  const auto source = folder / "song.bms";
  WriteBytes(source, script);
  const double megabytes = static_cast<double>(script.size()) / 1e6;
  std::printf("script: %.1f MB, %lld lines\n", megabytes, lines);

  {
    const auto start = std::chrono::steady_clock::now();
    TextFile in;
    in.Open(source.u16string(), TextFileMode::Read);
    std::u16string line;
    long long count = 0;
    while (in.ReadLine(line)) ++count;
    const double s = Seconds(std::chrono::steady_clock::now() - start);
    std::printf("read only:          %7.3f s  %7.1f MB/s  %9.0f lines/s\n", s, megabytes / s, count / s);
  }
  const struct {
    const char* name;
    ScriptRewriter rewriter;
  } runs[] = {
      {"rewrite:           ", {ReferenceRenaming::For(CompressSound | CompressImages), false}},
      {"rewrite and repair:", {ReferenceRenaming::For(CompressSound | CompressImages), true}},
  };
  for (const auto& run : runs) {
    const auto start = std::chrono::steady_clock::now();
    const bool ok = run.rewriter.Rewrite(source.u16string(), (folder / "out.bms").u16string());
    const double s = Seconds(std::chrono::steady_clock::now() - start);
    std::printf("%s %7.3f s  %7.1f MB/s  %9.0f lines/s%s\n", run.name, s, megabytes / s, lines / s,
                ok ? "" : "  (FAILED)");
  }

  {
    constexpr int kMegabytes = 300;
    const auto longSource = folder / "endless.bms";
    const auto longDestination = folder / "endless-out.bms";
    WriteEndlessLine(longSource, kMegabytes);
    double s = 0;
    const long kib = PeakResidentKib(longSource, longDestination, s);
    // The line passes through unchanged, with CR LF added.
    std::error_code error;
    const bool same = std::filesystem::file_size(longDestination, error) ==
                      std::filesystem::file_size(longSource, error) + 2;
    if (kib < 0) {
      std::printf("%d MB without a line feed: the rewrite FAILED\n", kMegabytes);
    } else {
      std::printf("%d MB without a line feed: peak resident %.1f MiB (bound 64 MiB), %.3f s, %.1f MB/s%s\n",
                  kMegabytes, static_cast<double>(kib) / 1024.0, s, kMegabytes / s,
                  same ? "" : "  (OUTPUT SIZE DIFFERS)");
    }
  }
  return 0;
}
