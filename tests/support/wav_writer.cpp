#include "support/wav_writer.h"

#include <bit>
#include <cmath>

PcmFields Pcm(std::uint16_t bitsPerSample, std::uint16_t channelCount, std::uint32_t sampleRate) {
  PcmFields fields;
  fields.channelCount = channelCount;
  fields.sampleRate = sampleRate;
  fields.bitsPerSample = bitsPerSample;
  fields.blockAlignment = static_cast<std::uint16_t>(bitsPerSample / 8 * channelCount);
  return fields;
}

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
  PutText(chunk, id);
  PutLe32(chunk, declaredSize);
  chunk.insert(chunk.end(), body.begin(), body.end());
  return chunk;
}

Bytes Riff(const std::vector<Bytes>& chunks) {
  Bytes content;
  PutText(content, "WAVE");
  for (const Bytes& chunk : chunks) content.insert(content.end(), chunk.begin(), chunk.end());
  Bytes file;
  PutText(file, "RIFF");
  PutLe32(file, static_cast<std::uint32_t>(content.size()));
  file.insert(file.end(), content.begin(), content.end());
  return file;
}

Bytes WaveFile(const PcmFields& fields, const Bytes& samples) {
  return Riff({Chunk("fmt ", FormatBody(fields)), Chunk("data", samples)});
}

void PutPcmSample(Bytes& out, int bitsPerSample, double value) {
  if (bitsPerSample == 8) {
    out.push_back(static_cast<std::uint8_t>(std::lround(128.0 + value * 127.0)));
  } else {
    PutLe16(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(value * 32767.0))));
  }
}

Bytes TriangleWaveFile(std::uint32_t sampleRate, std::uint16_t bitsPerSample, std::uint32_t frames) {
  Bytes samples;
  for (std::uint32_t i = 0; i < frames; ++i) {
    const int phase = static_cast<int>(i % 64);
    const int level = phase < 32 ? phase - 16 : 48 - phase;  // -16..16
    if (bitsPerSample == 8) {
      samples.push_back(static_cast<std::uint8_t>(128 + level * 6));
    } else {
      PutLe16(samples, static_cast<std::uint16_t>(static_cast<std::int16_t>(level * 1500)));
    }
  }
  return WaveFile(Pcm(bitsPerSample, 1, sampleRate), samples);
}

void PutSample(Bytes& out, const PcmFields& fields, double value) {
  const int bits = fields.bitsPerSample;
  const auto putLe = [&out](std::uint64_t bytes, int count) {
    for (int i = 0; i < count; ++i) out.push_back(static_cast<std::uint8_t>(bytes >> (8 * i)));
  };
  if (fields.formatTag == 3) {
    if (bits == 32) putLe(std::bit_cast<std::uint32_t>(static_cast<float>(value)), 4);
    if (bits == 64) putLe(std::bit_cast<std::uint64_t>(value), 8);
  } else if (bits == 8) {
    out.push_back(static_cast<std::uint8_t>(std::lround(128.0 + value * 127.0)));
  } else {
    const double largest = std::ldexp(1.0, bits - 1) - 1.0;
    putLe(static_cast<std::uint64_t>(std::llround(value * largest)), bits / 8);
  }
}
