#pragma once

#include <cstdint>
#include <span>

#include "audio/wav_reader.h"
#include "audio/wave_refusal.h"

// The reading rules of ReadWaveFile for a file already in memory. On
// acceptance `format` holds the format fields and `samples` the sample bytes
// as they lie inside `file`; on a refusal both are left as they were. Once
// the format chunk's fields are read they are copied to `declared`, when
// given, as the file stores them, whether or not the file is then taken.
WaveRefusal ParseWave(std::span<const std::uint8_t> file, WaveFormat& format,
                      std::span<const std::uint8_t>& samples, WaveReadMode mode = WaveReadMode::Strict,
                      WaveFormat* declared = nullptr);
