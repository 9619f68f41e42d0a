#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "support/bytes.h"

// RIFF WAVE files byte by byte: whole files of plain PCM, or chunk by chunk
// for the files a reader has to refuse.

struct PcmFields {
  std::uint16_t formatTag = 1;  // 1 integer PCM, 3 IEEE float
  std::uint16_t channelCount = 1;
  std::uint32_t sampleRate = 22050;
  std::uint16_t blockAlignment = 1;
  std::uint16_t bitsPerSample = 8;
};

// Fields consistent with the sample layout (block alignment = frame size).
PcmFields Pcm(std::uint16_t bitsPerSample, std::uint16_t channelCount, std::uint32_t sampleRate);

// The fields of a format chunk body, then `extraBytes` zero bytes.
Bytes FormatBody(const PcmFields& fields, std::size_t extraBytes = 0);
// A 40-byte extensible format chunk body whose subformat GUID stands for
// `fields.formatTag` (1 integer PCM, 3 IEEE float).
Bytes ExtensibleFormatBody(const PcmFields& fields);
// A chunk: id, size, body and, for an odd size, one pad byte.
Bytes Chunk(std::string_view id, const Bytes& body);
// A chunk header declaring `declaredSize` followed by `body` as given (no pad).
Bytes ChunkDeclaring(std::string_view id, std::uint32_t declaredSize, const Bytes& body);
// "RIFF", the size of what follows, "WAVE" and the chunks in order.
Bytes Riff(const std::vector<Bytes>& chunks);
// A plain file: format chunk, then data chunk.
Bytes WaveFile(const PcmFields& fields, const Bytes& samples);

// One sample of `value` (-1 .. 1): 8-bit unsigned around 128, 16-bit signed.
void PutPcmSample(Bytes& out, int bitsPerSample, double value);
// One sample in the layout of `fields`: integers of 8 to 32 bits, or IEEE
// floats of 32 or 64 bits for format tag 3.
void PutSample(Bytes& out, const PcmFields& fields, double value);

// A short mono file of a triangle wave: enough signal for the encoder, no
// floating point in its samples.
Bytes TriangleWaveFile(std::uint32_t sampleRate = 22050, std::uint16_t bitsPerSample = 16,
                       std::uint32_t frames = 2205);
