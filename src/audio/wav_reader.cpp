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

// Reads the file into `bytes` with one read; `length` is its size. A
// refusal when it cannot be measured, is too large, or cannot be had or read
// whole.
WaveRefusal ReadWholeFile(std::FILE* file, std::unique_ptr<std::uint8_t[]>& bytes, std::size_t& length) {
  if (std::fseek(file, 0, SEEK_END) != 0) return WaveRefusal::CannotOpen;
  const long measured = std::ftell(file);
  if (measured < 0) return WaveRefusal::CannotOpen;
  if (static_cast<std::uint64_t>(measured) > kLargestFileLength) return WaveRefusal::FileTooLarge;
  if (std::fseek(file, 0, SEEK_SET) != 0) return WaveRefusal::CannotOpen;
  const std::size_t size = static_cast<std::size_t>(measured);
  std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[size]);
  if (!buffer) return WaveRefusal::FileTooLarge;
  if (std::fread(buffer.get(), 1, size, file) != size) return WaveRefusal::CannotOpen;
  bytes = std::move(buffer);
  length = size;
  return WaveRefusal::None;
}

}  // namespace

bool ReadWaveFile(const std::u16string& source, WaveFormat& format, std::unique_ptr<std::uint8_t[]>& samples,
                  std::int32_t& length, WaveReadMode mode) {
  WaveRefusal refusal = WaveRefusal::None;
  WaveFormat declared;
  return ReadWaveFile(source, format, samples, length, mode, refusal, declared);
}

bool ReadWaveFile(const std::u16string& source, WaveFormat& format, std::unique_ptr<std::uint8_t[]>& samples,
                  std::int32_t& length, WaveReadMode mode, WaveRefusal& refusal, WaveFormat& declared) {
  std::FILE* file = OpenFile(source, "rb");
  if (file == nullptr) {
    refusal = WaveRefusal::CannotOpen;
    return false;
  }
  std::unique_ptr<std::uint8_t[]> bytes;
  std::size_t size = 0;
  refusal = ReadWholeFile(file, bytes, size);
  std::fclose(file);
  if (refusal != WaveRefusal::None) return false;

  WaveFormat parsed;
  std::span<const std::uint8_t> body;
  refusal = ParseWave(std::span<const std::uint8_t>(bytes.get(), size), parsed, body, mode, &declared);
  if (refusal != WaveRefusal::None) return false;
  // The samples move to the front of the file's buffer, which is then handed
  // over whole: a sound is held in memory once, not twice.
  std::memmove(bytes.get(), body.data(), body.size());
  format = parsed;
  samples = std::move(bytes);
  length = static_cast<std::int32_t>(body.size());
  return true;
}
