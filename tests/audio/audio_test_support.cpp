#include "audio_test_support.h"

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <bit>
#include <cmath>
#include <random>
#include <string>

Bytes SinePcm(const PcmFields& fields, double seconds, const std::vector<double>& frequencies,
              double amplitude) {
  const auto frames = static_cast<std::size_t>(seconds * fields.sampleRate);
  const double pi = std::acos(-1.0);
  Bytes out;
  for (std::size_t frame = 0; frame < frames; ++frame) {
    const double t = static_cast<double>(frame) / fields.sampleRate;
    for (std::size_t channel = 0; channel < fields.channelCount; ++channel) {
      const double frequency = frequencies[channel % frequencies.size()];
      PutSample(out, fields, amplitude * std::sin(2.0 * pi * frequency * t));
    }
  }
  return out;
}

Bytes RichPcm16(std::uint32_t sampleRate, double seconds) {
  const auto frames = static_cast<std::size_t>(seconds * sampleRate);
  const double pi = std::acos(-1.0);
  std::mt19937 generator(12345);
  std::uniform_real_distribution<double> noise(-0.2, 0.2);
  Bytes out;
  for (std::size_t frame = 0; frame < frames; ++frame) {
    const double t = static_cast<double>(frame) / sampleRate;
    const double value = 0.25 * std::sin(2 * pi * 220 * t) + 0.15 * std::sin(2 * pi * 1760 * t) +
                         0.1 * std::sin(2 * pi * 5000 * t) + noise(generator);
    PutSample(out, Pcm(16, 1, sampleRate), value);
  }
  return out;
}

DecodedStream DecodeOgg(const std::filesystem::path& file) {
  DecodedStream decoded;
  OggVorbis_File vorbisFile;
  if (ov_fopen(file.string().c_str(), &vorbisFile) != 0) return decoded;
  decoded.opened = true;
  const vorbis_info* info = ov_info(&vorbisFile, -1);
  decoded.sampleRate = info->rate;
  decoded.channelCount = info->channels;
  decoded.serialNumber = ov_serialnumber(&vorbisFile, -1);
  decoded.frames = ov_pcm_total(&vorbisFile, -1);
  const vorbis_comment* comment = ov_comment(&vorbisFile, -1);
  for (int i = 0; i < comment->comments; ++i) {
    decoded.comments.emplace_back(comment->user_comments[i],
                                  static_cast<std::size_t>(comment->comment_lengths[i]));
  }
  decoded.samples.resize(static_cast<std::size_t>(decoded.channelCount));
  for (;;) {
    float** channels = nullptr;
    int section = 0;
    const long frames = ov_read_float(&vorbisFile, &channels, 4096, &section);
    if (frames <= 0) break;
    for (int channel = 0; channel < decoded.channelCount; ++channel) {
      decoded.samples[channel].insert(decoded.samples[channel].end(), channels[channel],
                                      channels[channel] + frames);
    }
  }
  ov_clear(&vorbisFile);
  return decoded;
}

double ZeroCrossingFrequency(const std::vector<float>& signal, long sampleRate) {
  const std::size_t begin = signal.size() / 4;
  const std::size_t end = signal.size() - signal.size() / 4;
  std::size_t first = 0;
  std::size_t last = 0;
  std::size_t crossings = 0;
  for (std::size_t i = begin + 1; i < end; ++i) {
    if (signal[i - 1] < 0.0f && signal[i] >= 0.0f) {
      if (crossings == 0) first = i;
      last = i;
      ++crossings;
    }
  }
  if (crossings < 2) return 0.0;
  return static_cast<double>(crossings - 1) * sampleRate / static_cast<double>(last - first);
}

double MiddleRms(const std::vector<float>& signal) {
  const std::size_t begin = signal.size() / 4;
  const std::size_t end = signal.size() - signal.size() / 4;
  if (end <= begin) return 0.0;
  double sum = 0.0;
  for (std::size_t i = begin; i < end; ++i) sum += static_cast<double>(signal[i]) * signal[i];
  return std::sqrt(sum / static_cast<double>(end - begin));
}
