#pragma once

#include <cstdint>
#include <memory>
#include <string>

// The format fields of a RIFF WAVE file, as stored in its "fmt " chunk.
struct WaveFormat {
  std::uint16_t formatTag = 0;              // 1 (integer PCM) or, in wide mode, 3 (IEEE float)
  std::uint16_t channelCount = 0;           // as stored, not checked for 8- and 16-bit PCM
  std::uint32_t sampleRate = 0;             // frames per second, as stored
  std::uint32_t averageBytesPerSecond = 0;  // as stored, unused
  std::uint16_t blockAlignment = 0;         // bytes per frame, as stored, not checked for 8- and 16-bit PCM
  std::uint16_t bitsPerSample = 0;          // 8 or 16; in wide mode also 24 or 32 (PCM), 32 or 64 (float)
  std::uint16_t extraSize = 0;              // always 0
};

// Which sample formats and layouts the reader takes. Strict takes 8- and
// 16-bit PCM with the format chunk first. Wide takes all of that unchanged
// and also 24- and 32-bit PCM, 32- and 64-bit IEEE float, the extensible
// format with a PCM or float subformat (delivered under the plain tag, 1 or
// 3), and other chunks before the format chunk; for these the channel count
// must be at least 1 and the block alignment must be the frame size.
enum class WaveReadMode { Strict, Wide };

// Loads a whole RIFF WAVE file. On success `samples` owns the body of the
// "data" chunk exactly as stored (8-bit unsigned, wider integers signed
// little-endian, floats little-endian IEEE, channels interleaved) and
// `length` is its size in bytes. False when the file cannot be opened, is no
// WAV file, holds a sample format `mode` does not take, or is damaged; the
// out-parameters are then left untouched.
bool ReadWaveFile(const std::u16string& source, WaveFormat& format, std::unique_ptr<std::uint8_t[]>& samples,
                  std::int32_t& length, WaveReadMode mode = WaveReadMode::Strict);

enum class WaveRefusal;

// The same, telling why a file was not read: `refusal` is WaveRefusal::None
// on success and the failed check otherwise; `declared` receives the format
// fields as stored once they were read (see WaveRefusalText).
bool ReadWaveFile(const std::u16string& source, WaveFormat& format, std::unique_ptr<std::uint8_t[]>& samples,
                  std::int32_t& length, WaveReadMode mode, WaveRefusal& refusal, WaveFormat& declared);

// The same for a converter: on false `reason` (when given) receives why, in
// Japanese (WaveRefusalText).
bool ReadWaveFile(const std::u16string& source, WaveFormat& format, std::unique_ptr<std::uint8_t[]>& samples,
                  std::int32_t& length, WaveReadMode mode, std::u16string* reason);
