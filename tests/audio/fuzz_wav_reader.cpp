// Feeds arbitrary bytes to the WAV reading rules through an in-memory stream.
// Every input must end in an answer without a crash, a leak or a read past
// the buffer, and an accepted file must deliver no more bytes than it holds.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "audio/wav_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;  // an empty memory stream cannot be opened
  std::FILE* file = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
  if (file == nullptr) return 0;
  WaveFormat format;
  std::unique_ptr<std::uint8_t[]> samples;
  std::int32_t length = 0;
  if (ReadWaveStream(file, format, samples, length)) {
    if (length <= 0 || static_cast<std::size_t>(length) > size || !samples) std::abort();
    if (format.formatTag != 1 || (format.bitsPerSample != 8 && format.bitsPerSample != 16)) std::abort();
    // Touch every delivered byte so that the sanitizers see the whole buffer.
    volatile std::uint8_t sum = 0;
    for (std::int32_t i = 0; i < length; ++i) sum = static_cast<std::uint8_t>(sum + samples[i]);
  }
  std::fclose(file);
  return 0;
}
