#include "audio/wav_parse.h"

#include <algorithm>
#include <cstring>

#include "util/byte_cursor.h"

namespace {

constexpr std::uint16_t kPcmFormatTag = 1;
constexpr std::size_t kMinimumFileLength = 8;
constexpr std::uint32_t kMinimumRiffSize = 36;
constexpr std::int32_t kBasicFormatSize = 16;
// Sizes are 32-bit fields; from 2^31 on they no longer fit the signed counts
// the samples are delivered with, and no sound file of ours is that large.
constexpr std::uint32_t kLargestChunkSize = 0x7FFFFFFF;

// Reads a four-byte id; false when the file ends first. `matches` tells
// whether the id read is `id`.
bool ReadId(ByteCursor& in, const char* id, bool& matches) {
  std::span<const std::uint8_t> bytes;
  if (!in.Take(4, bytes)) return false;
  matches = std::memcmp(bytes.data(), id, 4) == 0;
  return true;
}

// Skips a chunk body and, for an odd size, the pad byte that keeps the next
// chunk on an even offset. A skip past the end fails: the chunk header that
// would follow it could not be read anyway.
bool SkipBody(ByteCursor& in, std::uint64_t size) { return in.Skip(size + (size & 1)); }

}  // namespace

WaveRefusal ParseWave(std::span<const std::uint8_t> file, WaveFormat& format,
                      std::span<const std::uint8_t>& samples) {
  if (file.size() < kMinimumFileLength) return WaveRefusal::FileTooShort;
  ByteCursor in(file);

  // The header is checked field by field: "RIFF", its size, "WAVE", then the
  // format chunk, which must come first.
  bool matches = false;
  if (!ReadId(in, "RIFF", matches)) return WaveRefusal::HeaderCut;
  if (!matches) return WaveRefusal::NotRiff;
  std::uint32_t riffSize = 0;
  if (!in.ReadU32(riffSize)) return WaveRefusal::HeaderCut;
  if (riffSize < kMinimumRiffSize) return WaveRefusal::RiffSizeTooSmall;
  if (!ReadId(in, "WAVE", matches)) return WaveRefusal::HeaderCut;
  if (!matches) return WaveRefusal::NotWave;
  if (!ReadId(in, "fmt ", matches)) return WaveRefusal::HeaderCut;
  if (!matches) return WaveRefusal::FormatNotFirst;
  std::uint32_t formatSize = 0;
  if (!in.ReadU32(formatSize)) return WaveRefusal::HeaderCut;
  if (formatSize > kLargestChunkSize) return WaveRefusal::ChunkTooLarge;
  if (static_cast<std::int32_t>(formatSize) < kBasicFormatSize) return WaveRefusal::FormatChunkTooSmall;
  std::span<const std::uint8_t> fields;
  if (!in.Take(kBasicFormatSize, fields)) return WaveRefusal::HeaderCut;
  if (!SkipBody(in, formatSize - kBasicFormatSize)) return WaveRefusal::ChunkCut;

  // All 16 bytes are there, so none of these reads can fail.
  WaveFormat read;
  ByteCursor fieldCursor(fields);
  fieldCursor.ReadU16(read.formatTag);
  fieldCursor.ReadU16(read.channelCount);
  fieldCursor.ReadU32(read.sampleRate);
  fieldCursor.ReadU32(read.averageBytesPerSecond);
  fieldCursor.ReadU16(read.blockAlignment);
  fieldCursor.ReadU16(read.bitsPerSample);
  read.extraSize = 0;
  if (read.formatTag != kPcmFormatTag) return WaveRefusal::NotPcm;
  if (read.bitsPerSample != 8 && read.bitsPerSample != 16) return WaveRefusal::UnsupportedBitDepth;

  // Walk the chunks up to the first "data" chunk. An empty chunk ends the
  // walk with a refusal, whatever its id.
  std::uint32_t dataSize = 0;
  for (;;) {
    bool isData = false;
    std::uint32_t size = 0;
    if (!ReadId(in, "data", isData) || !in.ReadU32(size)) return WaveRefusal::NoDataChunk;
    if (size == 0) return WaveRefusal::EmptyChunk;
    if (size > kLargestChunkSize) return WaveRefusal::ChunkTooLarge;
    if (isData) {
      dataSize = size;
      break;
    }
    if (!SkipBody(in, size)) return WaveRefusal::ChunkCut;
  }

  // A file cut inside the samples is refused, except for one writer's fault
  // that we accept: a data size that holds the length of the whole file.
  const std::int64_t dataOffset = static_cast<std::int64_t>(in.Position());
  const std::size_t delivered = static_cast<std::size_t>(std::min<std::uint64_t>(dataSize, in.Remaining()));
  if (delivered == 0) return WaveRefusal::NoSamples;
  if (delivered != dataSize &&
      static_cast<std::int64_t>(dataSize) - dataOffset != static_cast<std::int64_t>(delivered)) {
    return WaveRefusal::SamplesCut;
  }

  in.Take(delivered, samples);
  format = read;
  return WaveRefusal::None;
}
