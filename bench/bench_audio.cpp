// Encoding speed of the WAV to Ogg Vorbis converter, side by side with the
// stand-alone encoder of the same library (oggenc) doing the same encodes:
// one 3-minute 44.1 kHz 16-bit stereo file, and 500 short keysounds of mixed
// rates, depths and channel counts. Prints seconds per minute of audio and
// the output sizes. Each figure is the best of a few runs (--repeat N). The
// comparison uses processor time (ours: this process, oggenc: its child
// processes), which other load on the machine disturbs far less than the
// wall-clock time printed beside it.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "audio/wav_to_ogg_converter.h"
#include "bench_sounds.h"
#include "support/scratch_folder.h"
#include "support/wav_writer.h"

namespace fs = std::filesystem;

namespace {

// The quality our converter picks for a rate, in oggenc's scale (ten times).
int OggencQuality(std::uint32_t sampleRate) {
  switch (sampleRate) {
    case 11025:
      return 1;
    case 22050:
      return 2;
    default:
      return 4;  // 44100 and 48000
  }
}

struct Figures {
  double oursSeconds = 1e30;  // processor time
  double theirsSeconds = 1e30;
  double oursWall = 1e30;
  double theirsWall = 1e30;
  std::uintmax_t oursBytes = 0;
  std::uintmax_t theirsBytes = 0;
  bool ok = true;
};

// Encodes every source with our converter and, when oggenc is there, with
// oggenc (one process per quality, all of its files in one command line).
Figures Measure(const std::vector<fs::path>& sources, const std::vector<std::uint32_t>& rates,
                const fs::path& ourFolder, const fs::path& oggenc, int repeat) {
  Figures figures;
  std::vector<fs::path> ours;
  std::vector<fs::path> theirs;
  for (const fs::path& source : sources) {
    ours.push_back(ourFolder / source.filename().replace_extension(".ogg"));
    theirs.push_back(fs::path(source).replace_extension(".ogg"));
  }
  std::map<int, std::string> commands;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    std::string& command = commands[OggencQuality(rates[i])];
    if (command.empty()) command = Quoted(oggenc) + " -Q -q " + std::to_string(OggencQuality(rates[i]));
    command += " " + Quoted(sources[i]);
  }
  WavToOggConverter converter;
  for (int run = 0; run < repeat; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const double processorStart = ProcessorSeconds(RUSAGE_SELF);
    for (std::size_t i = 0; i < sources.size(); ++i) {
      if (!converter.Convert(sources[i].u16string(), ours[i].u16string())) figures.ok = false;
    }
    figures.oursSeconds = std::min(figures.oursSeconds, ProcessorSeconds(RUSAGE_SELF) - processorStart);
    figures.oursWall = std::min(figures.oursWall, Seconds(std::chrono::steady_clock::now() - start));
    if (oggenc.empty()) continue;
    const auto theirStart = std::chrono::steady_clock::now();
    const double childStart = ProcessorSeconds(RUSAGE_CHILDREN);
    for (const auto& entry : commands) {
      if (std::system(entry.second.c_str()) != 0) figures.ok = false;
    }
    figures.theirsSeconds = std::min(figures.theirsSeconds, ProcessorSeconds(RUSAGE_CHILDREN) - childStart);
    figures.theirsWall = std::min(figures.theirsWall, Seconds(std::chrono::steady_clock::now() - theirStart));
  }
  figures.oursBytes = TotalSize(ours);
  figures.theirsBytes = TotalSize(theirs);
  return figures;
}

void Report(const char* title, double minutes, std::size_t files, const Figures& figures, bool withOggenc,
            double allowedRatio) {
  std::printf("\n%s: %zu file(s), %.2f minutes of audio%s\n", title, files, minutes,
              figures.ok ? "" : "  (SOME ENCODES FAILED)");
  std::printf("  ours    %7.3f s per minute of audio  (processor %.2f s, wall %.2f s)  %10ju bytes\n",
              figures.oursSeconds / minutes, figures.oursSeconds, figures.oursWall, figures.oursBytes);
  if (!withOggenc) {
    std::printf("  oggenc  not found on PATH: side-by-side part skipped\n");
    return;
  }
  std::printf("  oggenc  %7.3f s per minute of audio  (processor %.2f s, wall %.2f s)  %10ju bytes\n",
              figures.theirsSeconds / minutes, figures.theirsSeconds, figures.theirsWall,
              figures.theirsBytes);
  const double ratio = figures.oursSeconds / figures.theirsSeconds;
  const double sizeDifference =
      100.0 * (static_cast<double>(figures.oursBytes) / static_cast<double>(figures.theirsBytes) - 1.0);
  std::printf(
      "  time ours/oggenc %.3f (target <= %.2f: %s), size difference %+.3f %% (target within 0.5 %%: %s)\n",
      ratio, allowedRatio, ratio <= allowedRatio ? "met" : "MISSED", sizeDifference,
      std::fabs(sizeDifference) <= 0.5 ? "met" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
  int repeat = 3;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string(argv[i]) == "--repeat") repeat = std::max(1, std::atoi(argv[i + 1]));
  }
  std::error_code error;
  const ScratchFolder scratch;
  const fs::path& root = scratch.path();
  const fs::path longFolder = root / "long";
  const fs::path keyFolder = root / "keys";
  const fs::path ourFolder = root / "ours";
  for (const fs::path& folder : {longFolder, keyFolder, ourFolder}) fs::create_directories(folder, error);
  const fs::path oggenc = FindOnPath("oggenc");

  std::mt19937 random(20240601);
  std::printf("Generating test sounds in %s ...\n", root.string().c_str());
  const Sound piece = LongPiece(180.0, random);
  const fs::path longSource = longFolder / "piece.wav";
  bool written = WriteWave(longSource, piece);
  std::vector<fs::path> keySources;
  std::vector<std::uint32_t> keyRates;
  double keyMinutes = 0.0;
  for (int i = 0; i < 500; ++i) {
    const Sound key = Keysound(random);
    char name[32];
    std::snprintf(name, sizeof name, "key%03d.wav", i);
    keySources.push_back(keyFolder / name);
    keyRates.push_back(key.sampleRate);
    keyMinutes += static_cast<double>(key.channels[0].size()) / key.sampleRate / 60.0;
    written = WriteWave(keySources.back(), key) && written;
  }
  if (!written) {
    std::fprintf(stderr, "could not write the test sounds under %s\n", root.string().c_str());
    return 1;
  }
  std::printf("oggenc: %s; best of %d run(s)\n", oggenc.empty() ? "not found" : oggenc.string().c_str(),
              repeat);

  const Figures longFigures = Measure({longSource}, {piece.sampleRate}, ourFolder, oggenc, repeat);
  Report("3-minute 44.1 kHz 16-bit stereo file", 3.0, 1, longFigures, !oggenc.empty(), 1.02);
  const Figures keyFigures = Measure(keySources, keyRates, ourFolder, oggenc, repeat);
  Report("500 keysounds (0.1-1.5 s; 11.025-48 kHz; 8/16-bit; mono/stereo)", keyMinutes, keySources.size(),
         keyFigures, !oggenc.empty(), 0.9);

  return longFigures.ok && keyFigures.ok ? 0 : 1;
}
