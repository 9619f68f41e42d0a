// Feeds arbitrary bytes to the WAV reading rules as a file in memory, in both
// modes. Every input must end in an answer without a crash, a leak or a read
// past the buffer; an accepted file must deliver samples that lie inside it
// in a format its mode takes; and the wide mode must take every file the
// strict one takes, with the same format and samples.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "audio/wav_parse.h"

namespace {

bool SameFormat(const WaveFormat& a, const WaveFormat& b) {
  return a.formatTag == b.formatTag && a.channelCount == b.channelCount && a.sampleRate == b.sampleRate &&
         a.averageBytesPerSecond == b.averageBytesPerSecond && a.blockAlignment == b.blockAlignment &&
         a.bitsPerSample == b.bitsPerSample && a.extraSize == b.extraSize;
}

bool TakenFormat(const WaveFormat& format, WaveReadMode mode) {
  const unsigned bits = format.bitsPerSample;
  if (format.formatTag == 1 && (bits == 8 || bits == 16)) return true;
  if (mode == WaveReadMode::Strict) return false;
  const bool wider = (format.formatTag == 1 && (bits == 24 || bits == 32)) ||
                     (format.formatTag == 3 && (bits == 32 || bits == 64));
  return wider && format.channelCount != 0 && format.blockAlignment == bits / 8 * format.channelCount;
}

// The answer in one mode; aborts on an accepted file that breaks the rules.
bool Accepts(std::span<const std::uint8_t> input, WaveReadMode mode, WaveFormat& format,
             std::span<const std::uint8_t>& samples) {
  if (ParseWave(input, format, samples, mode) != WaveRefusal::None) return false;
  if (samples.empty() || samples.size() > 0x7FFFFFFF || samples.data() < input.data() ||
      samples.data() + samples.size() > input.data() + input.size()) {
    std::abort();
  }
  if (!TakenFormat(format, mode)) std::abort();
  // Touch every delivered byte so that the sanitizers see the whole span.
  volatile std::uint8_t sum = 0;
  for (const std::uint8_t byte : samples) sum = static_cast<std::uint8_t>(sum + byte);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  WaveFormat strictFormat;
  std::span<const std::uint8_t> strictSamples;
  WaveFormat wideFormat;
  std::span<const std::uint8_t> wideSamples;
  const bool strict = Accepts(input, WaveReadMode::Strict, strictFormat, strictSamples);
  const bool wide = Accepts(input, WaveReadMode::Wide, wideFormat, wideSamples);
  if (strict && (!wide || !SameFormat(strictFormat, wideFormat) ||
                 strictSamples.data() != wideSamples.data() || strictSamples.size() != wideSamples.size())) {
    std::abort();
  }
  return 0;
}
