#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "audio/wav_reader.h"

// The reading rules of ReadWaveFile applied to an open stream, positioned at
// its start and seekable. Kept apart from the path handling so that the fuzz
// target can feed bytes from memory. The stream is left open.
bool ReadWaveStream(std::FILE* file, WaveFormat& format, std::unique_ptr<std::uint8_t[]>& samples,
                    std::int32_t& length);
