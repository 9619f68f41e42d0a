// Script rewriting throughput: builds a large script in a temporary folder
// and times reading it line by line, and rewriting it with sound and image
// references on, with and without repair. Prints MB/s and lines/s.

#include <chrono>
#include <cstdio>
#include <filesystem>
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

}  // namespace

int main() {
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
      {"rewrite:           ", {true, true, false}},
      {"rewrite and repair:", {true, true, true}},
  };
  for (const auto& run : runs) {
    const auto start = std::chrono::steady_clock::now();
    const bool ok = run.rewriter.Rewrite(source.u16string(), (folder / "out.bms").u16string());
    const double s = Seconds(std::chrono::steady_clock::now() - start);
    std::printf("%s %7.3f s  %7.1f MB/s  %9.0f lines/s%s\n", run.name, s, megabytes / s, lines / s,
                ok ? "" : "  (FAILED)");
  }
  return 0;
}
