#include "audio/wav_reader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "audio/wav_parser.h"
#include "util/file_system.h"
#include "util/path.h"

namespace {

constexpr std::uint16_t kPcmFormatTag = 1;
constexpr std::int64_t kMinimumFileLength = 8;
constexpr std::uint32_t kMinimumRiffSize = 36;
constexpr std::int32_t kBasicFormatSize = 16;
// Sizes are 32-bit fields; from 2^31 on they no longer fit the signed counts
// the samples are delivered with, and no sound file of ours is that large.
constexpr std::uint32_t kLargestChunkSize = 0x7FFFFFFF;

std::uint16_t Le16(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

std::uint32_t Le32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
         (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
}

bool IsId(const std::uint8_t* bytes, const char* id) { return std::memcmp(bytes, id, 4) == 0; }

// Reads forward through the stream and keeps its own position against the
// length measured once at the start, so that no size taken from the file can
// move the position backwards or past the end.
class StreamCursor {
 public:
  StreamCursor(std::FILE* file, std::int64_t length) : file_(file), length_(length) {}

  std::int64_t Position() const { return position_; }
  std::int64_t Remaining() const { return length_ - position_; }

  // True when all `count` bytes were read.
  bool Read(void* out, std::size_t count) {
    if (static_cast<std::int64_t>(count) > Remaining()) return false;
    const std::size_t got = std::fread(out, 1, count, file_);
    position_ += static_cast<std::int64_t>(got);
    return got == count;
  }

  // Reads up to `count` bytes; the number read.
  std::size_t ReadSome(void* out, std::size_t count) {
    const std::size_t got = std::fread(out, 1, count, file_);
    position_ += static_cast<std::int64_t>(got);
    return got;
  }

  std::uint32_t ReadSize(bool& ok) {
    std::uint8_t bytes[4];
    ok = Read(bytes, sizeof bytes);
    return ok ? Le32(bytes) : 0;
  }

  // Skips a chunk body and, for an odd size, the pad byte that keeps the next
  // chunk on an even offset. A skip past the end fails: the chunk header that
  // would follow it could not be read anyway.
  bool SkipBody(std::int64_t size) {
    const std::int64_t step = size + (size & 1);
    if (step > Remaining()) return false;
    if (std::fseek(file_, static_cast<long>(position_ + step), SEEK_SET) != 0) return false;
    position_ += step;
    return true;
  }

 private:
  std::FILE* file_;
  std::int64_t length_;
  std::int64_t position_ = 0;
};

}  // namespace

bool ReadWaveStream(std::FILE* file, WaveFormat& format, std::unique_ptr<std::uint8_t[]>& samples,
                    std::int32_t& length) {
  if (std::fseek(file, 0, SEEK_END) != 0) return false;
  const long fileLength = std::ftell(file);
  if (fileLength < kMinimumFileLength || std::fseek(file, 0, SEEK_SET) != 0) return false;
  StreamCursor cursor(file, fileLength);

  // The header is checked field by field: "RIFF", its size, "WAVE", then the
  // format chunk, which must come first.
  std::uint8_t id[4];
  bool ok = false;
  if (!cursor.Read(id, sizeof id) || !IsId(id, "RIFF")) return false;
  const std::uint32_t riffSize = cursor.ReadSize(ok);
  if (!ok || riffSize < kMinimumRiffSize) return false;
  if (!cursor.Read(id, sizeof id) || !IsId(id, "WAVE")) return false;
  if (!cursor.Read(id, sizeof id) || !IsId(id, "fmt ")) return false;
  const std::uint32_t formatSize = cursor.ReadSize(ok);
  if (!ok || formatSize > kLargestChunkSize || static_cast<std::int32_t>(formatSize) < kBasicFormatSize) {
    return false;
  }
  std::uint8_t fields[16];
  if (!cursor.Read(fields, sizeof fields)) return false;
  if (!cursor.SkipBody(static_cast<std::int64_t>(formatSize) - kBasicFormatSize)) return false;

  WaveFormat read;
  read.formatTag = Le16(fields);
  read.channelCount = Le16(fields + 2);
  read.sampleRate = Le32(fields + 4);
  read.averageBytesPerSecond = Le32(fields + 8);
  read.blockAlignment = Le16(fields + 12);
  read.bitsPerSample = Le16(fields + 14);
  read.extraSize = 0;
  if (read.formatTag != kPcmFormatTag) return false;
  if (read.bitsPerSample != 8 && read.bitsPerSample != 16) return false;

  // Walk the chunks up to the first "data" chunk. An empty chunk ends the
  // walk with a refusal, whatever its id.
  std::uint32_t dataSize = 0;
  for (;;) {
    if (!cursor.Read(id, sizeof id)) return false;
    const std::uint32_t size = cursor.ReadSize(ok);
    if (!ok || size == 0 || size > kLargestChunkSize) return false;
    if (IsId(id, "data")) {
      dataSize = size;
      break;
    }
    if (!cursor.SkipBody(size)) return false;
  }

  // A file cut inside the samples is refused, except for one writer's fault
  // that we accept: a data size that holds the length of the whole file. The
  // buffer never exceeds what the file can still deliver.
  const std::int64_t dataOffset = cursor.Position();
  const std::size_t capacity = static_cast<std::size_t>(std::min<std::int64_t>(dataSize, cursor.Remaining()));
  if (capacity == 0) return false;  // no sample byte to deliver
  std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[capacity]);
  if (!buffer) return false;
  const std::size_t got = cursor.ReadSome(buffer.get(), capacity);
  if (got == 0) return false;
  if (got != dataSize && static_cast<std::int64_t>(dataSize) - dataOffset != static_cast<std::int64_t>(got)) {
    return false;
  }

  format = read;
  samples = std::move(buffer);
  length = static_cast<std::int32_t>(got);
  return true;
}

bool ReadWaveFile(const std::u16string& source, WaveFormat& format, std::unique_ptr<std::uint8_t[]>& samples,
                  std::int32_t& length) {
  std::FILE* file = OpenFile(source, "rb");
  if (file == nullptr) return false;
  const bool accepted = ReadWaveStream(file, format, samples, length);
  std::fclose(file);
  return accepted;
}
