#include "audio_test_support.h"

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <bit>
#include <cmath>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

namespace {

void PutLe16(Bytes& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutLe32(Bytes& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutId(Bytes& out, std::string_view id) { out.insert(out.end(), id.begin(), id.end()); }

void PutLe(Bytes& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void PutSample(Bytes& out, const PcmFields& fields, double value) {
  const int bits = fields.bitsPerSample;
  if (fields.formatTag == 3) {
    if (bits == 32) PutLe(out, std::bit_cast<std::uint32_t>(static_cast<float>(value)), 4);
    if (bits == 64) PutLe(out, std::bit_cast<std::uint64_t>(value), 8);
  } else if (bits == 8) {
    out.push_back(static_cast<std::uint8_t>(std::lround(128.0 + value * 127.0)));
  } else {
    const double largest = std::ldexp(1.0, bits - 1) - 1.0;
    PutLe(out, static_cast<std::uint64_t>(std::llround(value * largest)), bits / 8);
  }
}

}  // namespace

Bytes FormatBody(const PcmFields& fields, std::size_t extraBytes) {
  Bytes body;
  PutLe16(body, fields.formatTag);
  PutLe16(body, fields.channelCount);
  PutLe32(body, fields.sampleRate);
  PutLe32(body, fields.sampleRate * fields.blockAlignment);
  PutLe16(body, fields.blockAlignment);
  PutLe16(body, fields.bitsPerSample);
  body.resize(body.size() + extraBytes, 0);
  return body;
}

Bytes ExtensibleFormatBody(const PcmFields& fields) {
  PcmFields extensible = fields;
  extensible.formatTag = 0xFFFE;
  Bytes body = FormatBody(extensible);
  PutLe16(body, 22);  // extension size
  PutLe16(body, fields.bitsPerSample);
  PutLe32(body, 0);  // channel mask
  PutLe16(body, fields.formatTag);
  const Bytes guidTail = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
  body.insert(body.end(), guidTail.begin(), guidTail.end());
  return body;
}

Bytes Chunk(std::string_view id, const Bytes& body) {
  Bytes chunk = ChunkDeclaring(id, static_cast<std::uint32_t>(body.size()), body);
  if (body.size() % 2 != 0) chunk.push_back(0);
  return chunk;
}

Bytes ChunkDeclaring(std::string_view id, std::uint32_t declaredSize, const Bytes& body) {
  Bytes chunk;
  PutId(chunk, id);
  PutLe32(chunk, declaredSize);
  chunk.insert(chunk.end(), body.begin(), body.end());
  return chunk;
}

Bytes Riff(const std::vector<Bytes>& chunks) {
  Bytes content;
  PutId(content, "WAVE");
  for (const Bytes& chunk : chunks) content.insert(content.end(), chunk.begin(), chunk.end());
  Bytes file;
  PutId(file, "RIFF");
  PutLe32(file, static_cast<std::uint32_t>(content.size()));
  file.insert(file.end(), content.begin(), content.end());
  return file;
}

Bytes WaveFile(const PcmFields& fields, const Bytes& samples) {
  return Riff({Chunk("fmt ", FormatBody(fields)), Chunk("data", samples)});
}

PcmFields Pcm(std::uint16_t bitsPerSample, std::uint16_t channelCount, std::uint32_t sampleRate) {
  PcmFields fields;
  fields.channelCount = channelCount;
  fields.sampleRate = sampleRate;
  fields.bitsPerSample = bitsPerSample;
  fields.blockAlignment = static_cast<std::uint16_t>(bitsPerSample / 8 * channelCount);
  return fields;
}

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

ScratchFolder::ScratchFolder() {
  std::random_device entropy;
  std::error_code error;
  for (int attempt = 0; attempt < 100; ++attempt) {
    root_ = std::filesystem::temp_directory_path(error) /
            ("hoshibako-audio-" + std::to_string(entropy()) + "-" + std::to_string(attempt));
    if (std::filesystem::create_directory(root_, error)) return;
  }
  root_.clear();
}

ScratchFolder::~ScratchFolder() {
  std::error_code error;
  if (!root_.empty()) std::filesystem::remove_all(root_, error);
}

// Names are UTF-8; the path object keeps them right on every platform.
std::filesystem::path ScratchFolder::Path(std::string_view name) const {
  return root_ / std::filesystem::path(std::u8string(name.begin(), name.end()));
}

std::u16string ScratchFolder::WidePath(std::string_view name) const { return Path(name).u16string(); }

bool ScratchFolder::Write(std::string_view name, const Bytes& bytes) const {
  std::ofstream out(Path(name), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool ScratchFolder::Exists(std::string_view name) const {
  std::error_code error;
  return std::filesystem::exists(Path(name), error);
}

std::size_t ScratchFolder::EntryCount() const {
  std::error_code error;
  std::size_t count = 0;
  for (auto it = std::filesystem::directory_iterator(root_, error);
       !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
    ++count;
  }
  return count;
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
