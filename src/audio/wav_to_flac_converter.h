#pragma once

#include <string>

// Encodes one RIFF WAVE file of integer PCM (8 to 32 bits, 1 to 8 channels,
// plain or extensible layout, whatever the reader's wide mode takes) to a
// FLAC file that decodes to exactly the same samples. The output depends on
// the samples alone: the same bytes on every run. (Across platforms the
// encoder's analysis may round differently in its maths library, so a long
// sound can be framed differently; every file still decodes bit-exact.)
class WavToFlacConverter {
 public:
  // True when the whole FLAC file was written. False when the source is
  // refused (float samples, more than 8 channels, a sample rate FLAC cannot
  // hold, or anything the reader refuses) or the encoding fails, in which
  // cases no destination file is made, and when the write fails (the partial
  // file is removed). The destination name is used as given. On false,
  // `reason` (when given) receives a short Japanese sentence saying why.
  bool Convert(const std::u16string& source, const std::u16string& destination,
               std::u16string* reason = nullptr) const;

  // Whether Convert would take the source, read and checked as Convert
  // reads it; nothing is encoded. On false `reason` says why.
  bool Accepts(const std::u16string& source, std::u16string* reason = nullptr) const;
};
