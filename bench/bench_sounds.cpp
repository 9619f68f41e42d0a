#include "bench_sounds.h"

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <system_error>

#include "support/scratch_folder.h"
#include "support/wav_writer.h"

namespace fs = std::filesystem;

namespace {

constexpr double kPi = 3.14159265358979323846;

}  // namespace

bool WriteWave(const fs::path& path, const Sound& sound) {
  const std::size_t frames = sound.channels[0].size();
  const PcmFields fields = Pcm(sound.bitsPerSample, sound.channelCount, sound.sampleRate);
  Bytes samples;
  samples.reserve(frames * sound.channelCount * sound.bitsPerSample / 8);
  for (std::size_t frame = 0; frame < frames; ++frame) {
    for (const auto& channel : sound.channels)
      PutSample(samples, fields, std::clamp(channel[frame], -1.0, 1.0));
  }
  return WriteBytes(path, WaveFile(fields, samples));
}

Sound LongPiece(double seconds, std::mt19937& random, std::uint32_t sampleRate) {
  Sound sound{sampleRate, 2, 16, {}};
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

double ProcessorSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
