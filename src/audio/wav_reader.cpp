#include "audio/wav_reader.h"

#include <cstring>
#include <new>
#include <span>
#include <utility>

#include "audio/wav_parse.h"
#include "util/whole_file.h"

namespace {

// The whole file is read into memory before it is parsed. From 2 GiB on its
// offsets and sizes no longer fit the signed counts the samples are delivered
// with, so such a file is refused before anything is allocated.
constexpr std::uint64_t kLargestFileLength = 0x7FFFFFFF;

WaveRefusal RefusalOf(WholeFileRead read) {
  switch (read) {
    case WholeFileRead::Read:
      return WaveRefusal::None;
    case WholeFileRead::TooLarge:
      return WaveRefusal::FileTooLarge;
    case WholeFileRead::CannotRead:
      break;
  }
  return WaveRefusal::CannotOpen;
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
  std::unique_ptr<std::uint8_t[]> bytes;
  std::size_t size = 0;
  refusal = RefusalOf(ReadWholeFile(source, kLargestFileLength, [&](std::size_t length) -> void* {
    bytes.reset(new (std::nothrow) std::uint8_t[length]);
    size = length;
    return bytes.get();
  }));
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

bool ReadWaveFile(const std::u16string& source, WaveFormat& format, std::unique_ptr<std::uint8_t[]>& samples,
                  std::int32_t& length, WaveReadMode mode, std::u16string* reason) {
  WaveRefusal refusal = WaveRefusal::None;
  WaveFormat declared;
  if (ReadWaveFile(source, format, samples, length, mode, refusal, declared)) return true;
  if (reason != nullptr) *reason = WaveRefusalText(refusal, declared);
  return false;
}
