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
#include "support/scratch_folder.h"
#include "support/wav_writer.h"

namespace fs = std::filesystem;

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Sound {
  std::uint32_t sampleRate;
  std::uint16_t channelCount;
  std::uint16_t bitsPerSample;
  std::vector<std::vector<double>> channels;  // -1 .. 1
};

bool WriteWave(const fs::path& path, const Sound& sound) {
  const std::size_t frames = sound.channels[0].size();
  Bytes samples;
  samples.reserve(frames * sound.channelCount * sound.bitsPerSample / 8);
  for (std::size_t frame = 0; frame < frames; ++frame) {
    for (const auto& channel : sound.channels) {
      PutPcmSample(samples, sound.bitsPerSample, std::clamp(channel[frame], -1.0, 1.0));
    }
  }
  return WriteBytes(path, WaveFile(Pcm(sound.bitsPerSample, sound.channelCount, sound.sampleRate), samples));
}

// A piece of music in miniature: a chord progression with harmonics, a kick
// on every beat and noisy hi-hats between them.
Sound LongPiece(double seconds, std::mt19937& random) {
  Sound sound{44100, 2, 16, {}};
  const auto frames = static_cast<std::size_t>(seconds * sound.sampleRate);
  sound.channels.assign(2, std::vector<double>(frames));
  std::uniform_real_distribution<double> noise(-1.0, 1.0);
  const double chords[4][3] = {
      {220.0, 277.2, 329.6}, {196.0, 246.9, 293.7}, {174.6, 220.0, 261.6}, {196.0, 246.9, 329.6}};
  const double beat = 0.5;
  for (std::size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / sound.sampleRate;
    const auto bar = static_cast<std::size_t>(t / (4 * beat)) % 4;
    const double inBeat = std::fmod(t, beat);
    double pad = 0.0;
    for (double note : chords[bar]) {
      for (int harmonic = 1; harmonic <= 4; ++harmonic) {
        pad += std::sin(2 * kPi * note * harmonic * t) / (harmonic * 6.0);
      }
    }
    const double kick =
        0.6 * std::exp(-inBeat * 18) * std::sin(2 * kPi * 55 * inBeat * (1 + 2 * std::exp(-inBeat * 30)));
    const double hat = std::fabs(inBeat - beat / 2) < 0.04
                           ? 0.15 * noise(random) * std::exp(-std::fabs(inBeat - beat / 2) * 60)
                           : 0.0;
    const double swirl = 0.5 + 0.5 * std::sin(2 * kPi * 0.1 * t);
    sound.channels[0][i] = 0.45 * pad * swirl + kick + hat;
    sound.channels[1][i] = 0.45 * pad * (1 - swirl) + kick + 0.7 * hat;
  }
  return sound;
}

// A keysound: a struck tone with harmonics, a snare-like noise burst or a
// kick, each decaying towards silence as drum and piano samples do.
Sound Keysound(std::mt19937& random) {
  const std::uint32_t rates[] = {11025, 22050, 44100, 44100, 48000};
  std::uniform_int_distribution<int> pick(0, 4);
  std::uniform_real_distribution<double> length(0.1, 1.5);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::uniform_real_distribution<double> noise(-1.0, 1.0);
  Sound sound;
  sound.sampleRate = rates[pick(random)];
  sound.bitsPerSample = unit(random) < 0.3 ? 8 : 16;
  sound.channelCount = unit(random) < 0.5 ? 1 : 2;
  const auto frames = static_cast<std::size_t>(length(random) * sound.sampleRate);
  const int kind = pick(random) % 3;
  const double pitch = 110.0 * std::pow(2.0, unit(random) * 4);
  const double decay = 3.0 + unit(random) * 12;
  sound.channels.assign(sound.channelCount, std::vector<double>(frames));
  for (std::size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / sound.sampleRate;
    const double envelope = std::exp(-t * decay);
    double value = 0.0;
    if (kind == 0) {
      for (int harmonic = 1; harmonic <= 6; ++harmonic)
        value += std::sin(2 * kPi * pitch * harmonic * t) / harmonic;
      value *= 0.35;
    } else if (kind == 1) {
      value = 0.5 * noise(random) + 0.3 * std::sin(2 * kPi * 180 * t);
    } else {
      value = 0.9 * std::sin(2 * kPi * 50 * t * (1 + 2 * std::exp(-t * 30)));
    }
    for (std::size_t channel = 0; channel < sound.channelCount; ++channel) {
      sound.channels[channel][i] = value * envelope * (channel == 0 ? 1.0 : 0.8);
    }
  }
  return sound;
}

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

fs::path FindOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return {};
  std::string entries = path;
  std::size_t start = 0;
  while (start <= entries.size()) {
    const std::size_t end = std::min(entries.find(':', start), entries.size());
    const fs::path candidate = fs::path(entries.substr(start, end - start)) / program;
    std::error_code error;
    if (end > start && fs::is_regular_file(candidate, error)) return candidate;
    start = end + 1;
  }
  return {};
}

std::string Quoted(const fs::path& path) {
  std::string out = "'";
  for (char c : path.string()) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

std::uintmax_t TotalSize(const std::vector<fs::path>& files) {
  std::uintmax_t total = 0;
  for (const fs::path& file : files) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(file, error);
    if (!error) total += size;
  }
  return total;
}

double Seconds(std::chrono::steady_clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}

// User and system time of this process or of its ended children.
double ProcessorSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
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
