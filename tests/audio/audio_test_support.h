#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "support/scratch_folder.h"
#include "support/wav_writer.h"

// Synthetic signals and an Ogg Vorbis decoder for the sound tests, and the
// WAV writer and scratch folder they use.

// Interleaved samples of one sine per channel, `amplitude` relative to full
// scale: integers of 8 to 32 bits, or floats of 32 or 64 bits for tag 3.
Bytes SinePcm(const PcmFields& fields, double seconds, const std::vector<double>& frequencies,
              double amplitude);
// 16-bit mono, reproducible noise plus a few tones: a signal with content
// across the whole band.
Bytes RichPcm16(std::uint32_t sampleRate, double seconds);

// What libvorbisfile makes of an Ogg Vorbis file.
struct DecodedStream {
  bool opened = false;
  long sampleRate = 0;
  int channelCount = 0;
  long serialNumber = 0;
  std::int64_t frames = 0;  // as the stream declares
  std::vector<std::string> comments;
  std::vector<std::vector<float>> samples;  // one vector per channel, as decoded
};
DecodedStream DecodeOgg(const std::filesystem::path& file);

// Frequency estimated from the zero crossings of the middle half of a signal.
double ZeroCrossingFrequency(const std::vector<float>& signal, long sampleRate);
// Root mean square of the middle half of a signal.
double MiddleRms(const std::vector<float>& signal);
