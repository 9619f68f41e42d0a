#pragma once

// Generated sounds and small helpers shared by the sound benchmarks.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

struct Sound {
  std::uint32_t sampleRate;
  std::uint16_t channelCount;
  std::uint16_t bitsPerSample;
  std::vector<std::vector<double>> channels;  // -1 .. 1
};

// Writes a plain PCM WAV file of the sound's depth (8 to 32 bits).
bool WriteWave(const std::filesystem::path& path, const Sound& sound);

// A piece of music in miniature, 16-bit stereo unless changed: a chord
// progression with harmonics, a kick on every beat and noisy hi-hats.
Sound LongPiece(double seconds, std::mt19937& random, std::uint32_t sampleRate = 44100);

// A keysound: a struck tone with harmonics, a snare-like noise burst or a
// kick, each decaying towards silence; of mixed rates, depths and channels.
Sound Keysound(std::mt19937& random);

// The program's path on PATH, empty when it is not there.
std::filesystem::path FindOnPath(const std::string& program);
// A path quoted for the POSIX shell.
std::string Quoted(const std::filesystem::path& path);
std::uintmax_t TotalSize(const std::vector<std::filesystem::path>& files);
double Seconds(std::chrono::steady_clock::duration duration);
// User and system time of this process (RUSAGE_SELF) or of its ended
// children (RUSAGE_CHILDREN).
double ProcessorSeconds(int who);
