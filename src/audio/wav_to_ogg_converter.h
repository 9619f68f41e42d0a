#pragma once

#include <string>

// Encodes one RIFF WAVE file (8- or 16-bit PCM) to an Ogg Vorbis file of one
// logical stream, in variable-bit-rate mode at a quality chosen from the
// sample rate.
class WavToOggConverter {
 public:
  // True when the source was read and the whole stream, end-of-stream page
  // included, was written and closed. False when the source is refused, the
  // encoder has no set-up for its rate and channel count, or the destination
  // cannot be opened (in these cases no destination file is made), and when a
  // write or the close fails (a partial file may remain). The destination
  // name is used as given.
  bool Convert(const std::u16string& source, const std::u16string& destination) const;
};
