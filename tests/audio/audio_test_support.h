#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Building RIFF WAVE files byte by byte, synthetic signals, a scratch folder
// and an Ogg Vorbis decoder for the sound tests.

using Bytes = std::vector<std::uint8_t>;

struct PcmFields {
  std::uint16_t formatTag = 1;  // 1 integer PCM, 3 IEEE float
  std::uint16_t channelCount = 1;
  std::uint32_t sampleRate = 22050;
  std::uint16_t blockAlignment = 1;
  std::uint16_t bitsPerSample = 8;
};

// The fields of a format chunk body, then `extraBytes` zero bytes.
Bytes FormatBody(const PcmFields& fields, std::size_t extraBytes = 0);
// A 40-byte extensible format chunk body whose subformat GUID stands for
// `fields.formatTag`.
Bytes ExtensibleFormatBody(const PcmFields& fields);
// A chunk: id, size, body and, for an odd size, one pad byte.
Bytes Chunk(std::string_view id, const Bytes& body);
// A chunk header declaring `declaredSize` followed by `body` as given (no pad).
Bytes ChunkDeclaring(std::string_view id, std::uint32_t declaredSize, const Bytes& body);
// "RIFF", the size of what follows, "WAVE" and the chunks in order.
Bytes Riff(const std::vector<Bytes>& chunks);
// A plain file: format chunk, then data chunk.
Bytes WaveFile(const PcmFields& fields, const Bytes& samples);

// Fields consistent with the sample layout (block alignment = frame size).
PcmFields Pcm(std::uint16_t bitsPerSample, std::uint16_t channelCount, std::uint32_t sampleRate);

// Interleaved samples of one sine per channel, `amplitude` relative to full
// scale: integers of 8 to 32 bits, or floats of 32 or 64 bits for tag 3.
Bytes SinePcm(const PcmFields& fields, double seconds, const std::vector<double>& frequencies,
              double amplitude);
// 16-bit mono, reproducible noise plus a few tones: a signal with content
// across the whole band.
Bytes RichPcm16(std::uint32_t sampleRate, double seconds);

// A folder of its own under the system's temporary folder, removed at the end.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::filesystem::path Path(std::string_view name) const;
  std::u16string WidePath(std::string_view name) const;
  bool Write(std::string_view name, const Bytes& bytes) const;
  bool Exists(std::string_view name) const;
  std::size_t EntryCount() const;

 private:
  std::filesystem::path root_;
};

// What libvorbisfile makes of an Ogg Vorbis file.
struct DecodedStream {
  bool opened = false;
  long sampleRate = 0;
  int channelCount = 0;
  long serialNumber = 0;
  std::int64_t frames = 0;  // as the stream declares
  std::vector<std::string> comments;
  std::vector<std::vector<float>> samples;  // one vector per channel, as decoded
};
DecodedStream DecodeOgg(const std::filesystem::path& file);

// Frequency estimated from the zero crossings of the middle half of a signal.
double ZeroCrossingFrequency(const std::vector<float>& signal, long sampleRate);
// Root mean square of the middle half of a signal.
double MiddleRms(const std::vector<float>& signal);
