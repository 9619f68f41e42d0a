#include "audio/wav_reader.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <span>
#include <utility>

#include "audio/wav_parse.h"
#include "util/file_system.h"
#include "util/path.h"

namespace {

// The whole file is read into memory before it is parsed. From 2 GiB on its
// offsets and sizes no longer fit the signed counts the samples are delivered
// with, so such a file is refused before anything is allocated.
constexpr std::uint64_t kLargestFileLength = 0x7FFFFFFF;

// Reads the file into `bytes` with one read; `length` is its size. False when
// it cannot be measured, is too large, or cannot be had or read whole.
bool ReadWholeFile(std::FILE* file, std::unique_ptr<std::uint8_t[]>& bytes, std::size_t& length) {
  if (std::fseek(file, 0, SEEK_END) != 0) return false;
  const long measured = std::ftell(file);
  if (measured < 0 || static_cast<std::uint64_t>(measured) > kLargestFileLength) return false;
  if (std::fseek(file, 0, SEEK_SET) != 0) return false;
  const std::size_t size = static_cast<std::size_t>(measured);
  std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[size]);
  if (!buffer || std::fread(buffer.get(), 1, size, file) != size) return false;
  bytes = std::move(buffer);
  length = size;
  return true;
}

}  // namespace

bool ReadWaveFile(const std::u16string& source, WaveFormat& format, std::unique_ptr<std::uint8_t[]>& samples,
                  std::int32_t& length, WaveReadMode mode) {
  std::FILE* file = OpenFile(source, "rb");
  if (file == nullptr) return false;
  std::unique_ptr<std::uint8_t[]> bytes;
  std::size_t size = 0;
  const bool read = ReadWholeFile(file, bytes, size);
  std::fclose(file);
  if (!read) return false;

  WaveFormat parsed;
  std::span<const std::uint8_t> body;
  if (ParseWave(std::span<const std::uint8_t>(bytes.get(), size), parsed, body, mode) != WaveRefusal::None) {
    return false;
  }
  // The samples move to the front of the file's buffer, which is then handed
  // over whole: a sound is held in memory once, not twice.
  std::memmove(bytes.get(), body.data(), body.size());
  format = parsed;
  samples = std::move(bytes);
  length = static_cast<std::int32_t>(body.size());
  return true;
}
