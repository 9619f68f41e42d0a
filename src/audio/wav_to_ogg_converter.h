#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "audio/wav_reader.h"

// Where an encoded stream goes, one Ogg page at a time.
class OggPageSink {
 public:
  // Takes one page: its header bytes, then its body bytes. False when they
  // could not be written; the encoding stops there.
  virtual bool WritePage(const std::uint8_t* header, std::size_t headerLength, const std::uint8_t* body,
                         std::size_t bodyLength) = 0;

 protected:
  ~OggPageSink() = default;
};

// Encodes one RIFF WAVE file (8- or 16-bit PCM; with `wideFormats` also the
// wider integer, float and extensible layouts the reader's wide mode takes)
// to an Ogg Vorbis file of one logical stream, in variable-bit-rate mode at a
// quality chosen from the sample rate. The flag is the object's only setting:
// `WavToOggConverter{.wideFormats = true}`.
class WavToOggConverter {
 public:
  bool wideFormats = false;

  // True when the source was read and the whole stream, end-of-stream page
  // included, was written and closed. False when the source is refused, the
  // encoder has no set-up for its rate and channel count, or the destination
  // cannot be opened (in these cases no destination file is made), and when a
  // write or the close fails (a partial file may remain). The destination
  // name is used as given. On false, `reason` (when given) receives a short
  // Japanese sentence saying why.
  bool Convert(const std::u16string& source, const std::u16string& destination,
               std::u16string* reason = nullptr) const;

  // Whether Convert would take the source: it is read and checked as Convert
  // reads it, and the encoder's set-up for it is tried; nothing is encoded.
  // On false `reason` (when given) says why, as Convert would.
  bool Accepts(const std::u16string& source, std::u16string* reason = nullptr) const;

  // The same stream as Convert writes, handed to `sink` page by page. False
  // when the source is refused, the encoder has no set-up for it, or the
  // sink refuses a page; no page reaches the sink in the first two cases.
  bool Encode(const std::u16string& source, OggPageSink& sink, std::u16string* reason = nullptr) const;

 private:
  bool Read(const std::u16string& source, WaveFormat& format, std::unique_ptr<std::uint8_t[]>& samples,
            std::int32_t& length, std::u16string* reason) const;
};
