#pragma once

#include <cstdint>
#include <span>

#include "audio/wav_reader.h"

// Why the WAV parser refused a file, one value per check. The program only
// needs the yes or no of ReadWaveFile; the reason lets the tests and the fuzz
// target tell which check fired.
enum class WaveRefusal {
  None,                    // accepted
  FileTooShort,            // fewer than 8 bytes
  HeaderCut,               // the file ends inside the form type or the format chunk's header or fields
  NotRiff,                 // the first id is not "RIFF"
  RiffSizeTooSmall,        // a RIFF size below 36
  NotWave,                 // the form type is not "WAVE"
  FormatNotFirst,          // strict: the first chunk is not "fmt "
  NoFormatChunk,           // wide: the chunks end without a "fmt " chunk
  ChunkTooLarge,           // a chunk size from 2^31 on, the format chunk's included
  FormatChunkTooSmall,     // a format chunk below 16 bytes
  ChunkCut,                // a chunk body to be skipped runs past the end of the file
  NotPcm,                  // a format tag other than 1 (strict), or other than 1, 3 and 0xFFFE (wide)
  ExtensionCut,            // wide: an extensible format chunk below 40 bytes
  UnknownSubformat,        // wide: an extensible subformat other than PCM and IEEE float
  UnsupportedBitDepth,     // not 8 or 16 bits (strict); wide: PCM not 8 to 32, float not 32 or 64
  NoChannels,              // wide, formats beyond strict: a channel count of 0
  BlockAlignmentMismatch,  // wide, formats beyond strict: a block alignment other than the frame size
  NoDataChunk,             // the chunks end without a "data" chunk
  EmptyChunk,              // a chunk of size 0 before the samples, the "data" chunk included
  NoSamples,               // the file ends right after the "data" chunk's header
  SamplesCut,              // the file ends inside the samples (one writer's fault excepted)
};

// The reading rules of ReadWaveFile for a file already in memory. On
// acceptance `format` holds the format fields and `samples` the sample bytes
// as they lie inside `file`; on a refusal both are left as they were.
WaveRefusal ParseWave(std::span<const std::uint8_t> file, WaveFormat& format,
                      std::span<const std::uint8_t>& samples, WaveReadMode mode = WaveReadMode::Strict);
