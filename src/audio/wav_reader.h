#pragma once

#include <cstdint>
#include <memory>
#include <string>

// The format fields of a RIFF WAVE file, as stored in its "fmt " chunk.
struct WaveFormat {
  std::uint16_t formatTag = 0;              // 1 (PCM) for every accepted file
  std::uint16_t channelCount = 0;           // as stored, not checked
  std::uint32_t sampleRate = 0;             // frames per second, as stored
  std::uint32_t averageBytesPerSecond = 0;  // as stored, unused
  std::uint16_t blockAlignment = 0;         // bytes per frame, as stored, not checked
  std::uint16_t bitsPerSample = 0;          // 8 or 16
  std::uint16_t extraSize = 0;              // always 0
};

// Loads a whole RIFF WAVE file holding 8- or 16-bit PCM. On success `samples`
// owns the body of the "data" chunk exactly as stored (8-bit unsigned, 16-bit
// signed little-endian, channels interleaved) and `length` is its size in
// bytes. False when the file cannot be opened, is no WAV file, is not 8- or
// 16-bit PCM, or is damaged; the out-parameters are then left untouched.
bool ReadWaveFile(const std::u16string& source, WaveFormat& format, std::unique_ptr<std::uint8_t[]>& samples,
                  std::int32_t& length);
