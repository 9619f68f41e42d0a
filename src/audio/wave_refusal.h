#pragma once

#include <string>

#include "audio/wav_reader.h"

// Why a WAV file was not read, one value per check. The parser's checks come
// first, in the order they are made; the last two are the file's own.
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
  CannotOpen,              // the file cannot be opened or read
  FileTooLarge,            // 2 GiB or more, beyond the signed sizes the samples are delivered with
};

// A short Japanese sentence for the user saying why a file was not converted.
// `declared` holds the format fields as the file stores them when the
// refusal came after they were read (ReadWaveFile's reporting overload fills
// it); the sample format refusals then name the format ("24ビットのWAVは…").
std::u16string WaveRefusalText(WaveRefusal refusal, const WaveFormat& declared = {});
