#include "audio/wav_parse.h"

#include <algorithm>
#include <cstring>

#include "util/byte_cursor.h"

namespace {

constexpr std::uint16_t kPcmFormatTag = 1;
constexpr std::uint16_t kFloatFormatTag = 3;
constexpr std::uint16_t kExtensibleFormatTag = 0xFFFE;
constexpr std::size_t kMinimumFileLength = 8;
constexpr std::uint32_t kMinimumRiffSize = 36;
constexpr std::int32_t kBasicFormatSize = 16;
// Sizes are 32-bit fields; from 2^31 on they no longer fit the signed counts
// the samples are delivered with, and no sound file of ours is that large.
constexpr std::uint32_t kLargestChunkSize = 0x7FFFFFFF;
// The extensible format continues its format chunk with the extension size
// (2 bytes), the valid bits per sample (2), the channel mask (4) and the
// subformat GUID (16). A subformat standing for a plain format tag is that
// tag in the GUID's first two bytes as stored, followed by these fourteen
// bytes (the GUID 0000xxxx-0000-0010-8000-00AA00389B71).
constexpr std::size_t kExtensionBytesBeforeGuid = 8;
constexpr std::size_t kGuidSize = 16;
constexpr std::uint8_t kSubformatGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

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

// Walks the chunks from the cursor to the first one named `id`, skipping the
// others; the cursor then stands at that chunk's body and `size` holds its
// declared size. `missing` is the answer when the file ends first. An empty
// chunk ends the walk with a refusal, whatever its id.
WaveRefusal WalkToChunk(ByteCursor& in, const char* id, WaveRefusal missing, std::uint32_t& size) {
  for (;;) {
    bool matches = false;
    std::uint32_t declared = 0;
    if (!ReadId(in, id, matches) || !in.ReadU32(declared)) return missing;
    if (declared == 0) return WaveRefusal::EmptyChunk;
    if (declared > kLargestChunkSize) return WaveRefusal::ChunkTooLarge;
    if (matches) {
      size = declared;
      return WaveRefusal::None;
    }
    if (!SkipBody(in, declared)) return WaveRefusal::ChunkCut;
  }
}

WaveRefusal CheckStrictFormat(const WaveFormat& format) {
  if (format.formatTag != kPcmFormatTag) return WaveRefusal::NotPcm;
  if (format.bitsPerSample != 8 && format.bitsPerSample != 16) return WaveRefusal::UnsupportedBitDepth;
  return WaveRefusal::None;
}

// `extension` is the rest of the format chunk after its 16 bytes of fields.
// An extensible format is replaced by the plain tag of its subformat, so
// that the samples are read alike however the file names their format.
WaveRefusal CheckWideFormat(WaveFormat& format, std::span<const std::uint8_t> extension) {
  // What the strict rules take passes unchanged, its unchecked fields
  // included, so that the wide mode never refuses a file the strict one
  // converts.
  if (CheckStrictFormat(format) == WaveRefusal::None) return WaveRefusal::None;
  if (format.formatTag == kExtensibleFormatTag) {
    // The extension size field is not trusted; the bytes must be there.
    ByteCursor fields(extension);
    std::span<const std::uint8_t> guid;
    if (!fields.Skip(kExtensionBytesBeforeGuid) || !fields.Take(kGuidSize, guid)) {
      return WaveRefusal::ExtensionCut;
    }
    const auto subformat = static_cast<std::uint16_t>(guid[0] | guid[1] << 8);
    if (std::memcmp(guid.data() + 2, kSubformatGuidTail, sizeof kSubformatGuidTail) != 0 ||
        (subformat != kPcmFormatTag && subformat != kFloatFormatTag)) {
      return WaveRefusal::UnknownSubformat;
    }
    format.formatTag = subformat;
  }
  const unsigned bits = format.bitsPerSample;
  if (format.formatTag == kPcmFormatTag) {
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return WaveRefusal::UnsupportedBitDepth;
  } else if (format.formatTag == kFloatFormatTag) {
    if (bits != 32 && bits != 64) return WaveRefusal::UnsupportedBitDepth;
  } else {
    return WaveRefusal::NotPcm;
  }
  // The encoder cuts frames by the sample width and slices by the block
  // alignment; for the formats beyond the strict ones the two must agree.
  if (format.channelCount == 0) return WaveRefusal::NoChannels;
  if (format.blockAlignment != bits / 8 * format.channelCount) return WaveRefusal::BlockAlignmentMismatch;
  return WaveRefusal::None;
}

}  // namespace

WaveRefusal ParseWave(std::span<const std::uint8_t> file, WaveFormat& format,
                      std::span<const std::uint8_t>& samples, WaveReadMode mode, WaveFormat* declared) {
  if (file.size() < kMinimumFileLength) return WaveRefusal::FileTooShort;
  ByteCursor in(file);

  // The header is checked field by field: "RIFF", its size, "WAVE", then the
  // format chunk, which the strict rules want first. The wide rules walk past
  // whatever chunks come before it ("JUNK", "LIST", "bext"...).
  bool matches = false;
  if (!ReadId(in, "RIFF", matches)) return WaveRefusal::HeaderCut;
  if (!matches) return WaveRefusal::NotRiff;
  std::uint32_t riffSize = 0;
  if (!in.ReadU32(riffSize)) return WaveRefusal::HeaderCut;
  if (riffSize < kMinimumRiffSize) return WaveRefusal::RiffSizeTooSmall;
  if (!ReadId(in, "WAVE", matches)) return WaveRefusal::HeaderCut;
  if (!matches) return WaveRefusal::NotWave;
  std::uint32_t formatSize = 0;
  if (mode == WaveReadMode::Wide) {
    const WaveRefusal walked = WalkToChunk(in, "fmt ", WaveRefusal::NoFormatChunk, formatSize);
    if (walked != WaveRefusal::None) return walked;
  } else {
    if (!ReadId(in, "fmt ", matches)) return WaveRefusal::HeaderCut;
    if (!matches) return WaveRefusal::FormatNotFirst;
    if (!in.ReadU32(formatSize)) return WaveRefusal::HeaderCut;
    if (formatSize > kLargestChunkSize) return WaveRefusal::ChunkTooLarge;
  }
  if (static_cast<std::int32_t>(formatSize) < kBasicFormatSize) return WaveRefusal::FormatChunkTooSmall;
  std::span<const std::uint8_t> fields;
  if (!in.Take(kBasicFormatSize, fields)) return WaveRefusal::HeaderCut;
  // The rest of the chunk and, for an odd size, its pad byte.
  std::span<const std::uint8_t> extension;
  if (!in.Take(formatSize - kBasicFormatSize, extension) || !in.Skip(formatSize & 1)) {
    return WaveRefusal::ChunkCut;
  }

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
  if (declared != nullptr) *declared = read;
  const WaveRefusal checked =
      mode == WaveReadMode::Wide ? CheckWideFormat(read, extension) : CheckStrictFormat(read);
  if (checked != WaveRefusal::None) return checked;

  std::uint32_t dataSize = 0;
  const WaveRefusal walked = WalkToChunk(in, "data", WaveRefusal::NoDataChunk, dataSize);
  if (walked != WaveRefusal::None) return walked;

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
