// Size and wall time of the WAV to FLAC converter side by side with Debian's
// flac command at -8, on the same generated files: a 3-minute 16-bit stereo
// track, 300 short keysounds and a 2-minute 24-bit stereo track. Both sides
// work on two files at a time: ours on two threads taking the next file from
// a shared list, flac as two processes each given every other file. Sizes
// are printed for flac as it writes its files (8 KiB of padding and a seek
// table each) and without those blocks, which is the stream alone. Each time
// is the best of a few runs (--repeat N, default 3). Processor time (ours:
// this process, flac: its child processes) is printed beside the wall time:
// on a loaded machine it shows the work done where the wall time cannot.
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "audio/wav_to_flac_converter.h"
#include "bench_sounds.h"
#include "support/scratch_folder.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kThreads = 2;

struct Set {
  std::string title;
  fs::path folder;
  std::vector<std::string> names;  // files in `folder`
  double minutes = 0.0;
};

// The bytes of a FLAC file without its PADDING and SEEKTABLE blocks.
std::uintmax_t StreamBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.compare(0, 4, "fLaC") != 0) return 0;
  std::uintmax_t dropped = 0;
  std::size_t at = 4;
  for (bool last = false; !last && at + 4 <= bytes.size();) {
    const auto header = reinterpret_cast<const unsigned char*>(bytes.data() + at);
    last = (header[0] & 0x80) != 0;
    const unsigned type = header[0] & 0x7F;
    const std::size_t length = std::size_t{header[1]} << 16 | std::size_t{header[2]} << 8 | header[3];
    if (type == 1 || type == 3) dropped += 4 + length;
    at += 4 + length;
  }
  return bytes.size() - dropped;
}

struct Figures {
  double oursWall = 1e30;
  double flacWall = 1e30;
  double oursProcessor = 1e30;
  double flacProcessor = 1e30;
  std::uintmax_t oursBytes = 0;
  std::uintmax_t flacBytes = 0;
  std::uintmax_t flacStreamBytes = 0;
  bool ok = true;
};

Figures Measure(const Set& set, const fs::path& ourFolder, const fs::path& flacFolder, const fs::path& flac,
                int repeat) {
  Figures figures;
  std::vector<fs::path> ours;
  std::vector<fs::path> theirs;
  for (const std::string& name : set.names) {
    ours.push_back(ourFolder / fs::path(name).replace_extension(".flac"));
    theirs.push_back(flacFolder / fs::path(name).replace_extension(".flac"));
  }
  // flac writes "<prefix><name>.flac" for each input named relative to the
  // set's folder; two processes, every other file each.
  std::string command;
  for (std::size_t half = 0; half < kThreads && half < set.names.size(); ++half) {
    command += "(cd " + Quoted(set.folder) + " && " + Quoted(flac) +
               " -8 -s -f --output-prefix=" + Quoted(flacFolder.string() + "/");
    for (std::size_t i = half; i < set.names.size(); i += kThreads) command += " " + Quoted(set.names[i]);
    command += ") & ";
  }
  command += "wait";

  for (int run = 0; run < repeat; ++run) {
    std::atomic<std::size_t> next{0};
    std::atomic<bool> ok{true};
    const auto start = std::chrono::steady_clock::now();
    const double processorStart = ProcessorSeconds(RUSAGE_SELF);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < kThreads; ++t) {
      threads.emplace_back([&] {
        const WavToFlacConverter converter;
        for (std::size_t i = next++; i < set.names.size(); i = next++) {
          if (!converter.Convert((set.folder / set.names[i]).u16string(), ours[i].u16string())) ok = false;
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
    figures.oursWall = std::min(figures.oursWall, Seconds(std::chrono::steady_clock::now() - start));
    figures.oursProcessor = std::min(figures.oursProcessor, ProcessorSeconds(RUSAGE_SELF) - processorStart);
    figures.ok = figures.ok && ok;
    if (flac.empty()) continue;
    const auto flacStart = std::chrono::steady_clock::now();
    const double childStart = ProcessorSeconds(RUSAGE_CHILDREN);
    if (std::system(command.c_str()) != 0) figures.ok = false;
    figures.flacWall = std::min(figures.flacWall, Seconds(std::chrono::steady_clock::now() - flacStart));
    figures.flacProcessor = std::min(figures.flacProcessor, ProcessorSeconds(RUSAGE_CHILDREN) - childStart);
  }
  figures.oursBytes = TotalSize(ours);
  if (!flac.empty()) {
    figures.flacBytes = TotalSize(theirs);
    for (const fs::path& file : theirs) figures.flacStreamBytes += StreamBytes(file);
  }
  return figures;
}

double Percent(std::uintmax_t ours, std::uintmax_t theirs) {
  return 100.0 * (static_cast<double>(ours) / static_cast<double>(theirs) - 1.0);
}

void Report(const Set& set, const Figures& figures, bool withFlac) {
  std::printf("\n%s: %zu file(s), %.2f minutes of audio%s\n", set.title.c_str(), set.names.size(),
              set.minutes, figures.ok ? "" : "  (SOME ENCODES FAILED)");
  std::printf("  ours     wall %7.3f s  processor %7.3f s  %11ju bytes\n", figures.oursWall,
              figures.oursProcessor, figures.oursBytes);
  if (!withFlac) {
    std::printf("  flac -8  not found on PATH: side-by-side part skipped\n");
    return;
  }
  std::printf(
      "  flac -8  wall %7.3f s  processor %7.3f s  %11ju bytes (%ju without padding and seek tables)\n",
      figures.flacWall, figures.flacProcessor, figures.flacBytes, figures.flacStreamBytes);
  const double sizeVsStream = Percent(figures.oursBytes, figures.flacStreamBytes);
  std::printf(
      "  size %+.3f %% against flac -8's files, %+.3f %% against its streams alone (target at most "
      "+0.5 %%: %s); wall time ours/flac %.3f (target <= 1: %s), processor time ours/flac %.3f\n",
      Percent(figures.oursBytes, figures.flacBytes), sizeVsStream, sizeVsStream <= 0.5 ? "met" : "MISSED",
      figures.oursWall / figures.flacWall, figures.oursWall <= figures.flacWall ? "met" : "MISSED",
      figures.oursProcessor / figures.flacProcessor);
}

// Adds a noise floor about 110 dB down, as a recorded 24-bit master has; a
// synthesized signal alone would leave its low bits unnaturally predictable.
void AddNoiseFloor(Sound& sound, std::mt19937& random) {
  std::normal_distribution<double> noise(0.0, std::pow(10.0, -110.0 / 20.0));
  for (auto& channel : sound.channels) {
    for (double& value : channel) value += noise(random);
  }
}

}  // namespace

int main(int argc, char** argv) {
  int repeat = 3;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string(argv[i]) == "--repeat") repeat = std::max(1, std::atoi(argv[i + 1]));
  }
  const ScratchFolder scratch;
  const fs::path& root = scratch.path();
  const fs::path flac = FindOnPath("flac");
  std::mt19937 random(20241208);
  std::printf("Generating test sounds in %s ...\n", root.string().c_str());

  std::vector<Set> sets(3);
  bool written = true;
  sets[0] = {"3-minute 44.1 kHz 16-bit stereo track", root / "long", {"piece.wav"}, 3.0};
  fs::create_directories(sets[0].folder);
  written = WriteWave(sets[0].folder / "piece.wav", LongPiece(180.0, random)) && written;

  sets[1] = {"300 keysounds (0.1-1.5 s; 11.025-48 kHz; 8/16-bit; mono/stereo)", root / "keys", {}, 0.0};
  fs::create_directories(sets[1].folder);
  for (int i = 0; i < 300; ++i) {
    const Sound key = Keysound(random);
    char name[32];
    std::snprintf(name, sizeof name, "key%03d.wav", i);
    sets[1].names.push_back(name);
    sets[1].minutes += static_cast<double>(key.channels[0].size()) / key.sampleRate / 60.0;
    written = WriteWave(sets[1].folder / name, key) && written;
  }

  sets[2] = {"2-minute 48 kHz 24-bit stereo track", root / "master", {"master.wav"}, 2.0};
  fs::create_directories(sets[2].folder);
  Sound master = LongPiece(120.0, random, 48000);
  master.bitsPerSample = 24;
  AddNoiseFloor(master, random);
  written = WriteWave(sets[2].folder / "master.wav", master) && written;
  if (!written) {
    std::fprintf(stderr, "could not write the test sounds under %s\n", root.string().c_str());
    return 1;
  }
  std::printf("flac: %s; best of %d run(s); %zu files at a time\n",
              flac.empty() ? "not found" : flac.string().c_str(), repeat, kThreads);

  bool ok = true;
  for (std::size_t i = 0; i < sets.size(); ++i) {
    const fs::path ourFolder = root / ("ours" + std::to_string(i));
    const fs::path flacFolder = root / ("flac" + std::to_string(i));
    fs::create_directories(ourFolder);
    fs::create_directories(flacFolder);
    const Figures figures = Measure(sets[i], ourFolder, flacFolder, flac, repeat);
    Report(sets[i], figures, !flac.empty());
    ok = ok && figures.ok;
  }
  return ok ? 0 : 1;
}
