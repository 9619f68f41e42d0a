// Feeds arbitrary bytes to the WAV reading rules as a file in memory. Every
// input must end in an answer without a crash, a leak or a read past the
// buffer, and an accepted file must deliver samples that lie inside it.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "audio/wav_parse.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  WaveFormat format;
  std::span<const std::uint8_t> samples;
  if (ParseWave(input, format, samples) == WaveRefusal::None) {
    if (samples.empty() || samples.size() > 0x7FFFFFFF || samples.data() < data ||
        samples.data() + samples.size() > data + size) {
      std::abort();
    }
    if (format.formatTag != 1 || (format.bitsPerSample != 8 && format.bitsPerSample != 16)) std::abort();
    // Touch every delivered byte so that the sanitizers see the whole span.
    volatile std::uint8_t sum = 0;
    for (const std::uint8_t byte : samples) sum = static_cast<std::uint8_t>(sum + byte);
  }
  return 0;
}
