#include "audio/wav_to_ogg_converter.h"

#include <ogg/ogg.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <random>
#include <utility>

#include "audio/float_mode.h"
#include "audio/wav_reader.h"
#include "audio/wave_refusal.h"
#include "util/file_system.h"

namespace {

constexpr char kEncoderTag[] = "ENCODER";
constexpr char kEncoderName[] = "Hoshibako-OggVorbisEncoder";
// Samples go to the encoder in slices of at most this many bytes, each a
// whole number of frames by the stored block alignment.
constexpr int kSliceBytes = 512;
constexpr int kAnalysisBufferFrames = 8192;
constexpr std::uint16_t kFloatFormatTag = 3;

// The base quality of the variable-bit-rate set-up, from the sample rate
// alone: the lower the rate, the lower the quality; rates outside the table
// get a middle value.
float QualityForRate(std::uint32_t sampleRate) {
  switch (sampleRate) {
    case 8000:
    case 11025:
    case 12000:
      return 0.1f;
    case 16000:
    case 22050:
    case 24000:
      return 0.2f;
    case 32000:
    case 44100:
    case 48000:
      return 0.4f;
    case 88200:
    case 96000:
      return 0.8f;
    default:
      return 0.5f;
  }
}

// A file holds one logical stream, so its serial number need not be unique
// across files; it comes from the clock's seconds (two files converted in the
// same second share it). A generator of the call's own keeps concurrent
// conversions from sharing hidden state.
int StreamSerialNumber(std::time_t seconds) {
  std::minstd_rand generator(static_cast<std::minstd_rand::result_type>(seconds));
  return static_cast<int>(generator());
}

// The library records of one encoding. Whatever was set up is cleared when
// the object ends, in the reverse order of the set-up.
class VorbisEncoding {
 public:
  VorbisEncoding() = default;
  VorbisEncoding(const VorbisEncoding&) = delete;
  VorbisEncoding& operator=(const VorbisEncoding&) = delete;

  ~VorbisEncoding() {
    if (stage_ >= kStreamReady) ogg_stream_clear(&stream);
    if (stage_ >= kBlockReady) vorbis_block_clear(&block);
    if (stage_ >= kAnalysisReady) vorbis_dsp_clear(&dsp);
    if (stage_ >= kCommentReady) vorbis_comment_clear(&comment);
    if (stage_ >= kInfoReady) vorbis_info_clear(&info);
  }

  // False when the encoder has no set-up for the channel count and rate, or
  // a library step fails.
  bool Start(int channelCount, long sampleRate, float quality, int serialNumber) {
    vorbis_info_init(&info);
    // On a refusal the library has already released the stream information.
    if (vorbis_encode_init_vbr(&info, channelCount, sampleRate, quality) != 0) return false;
    stage_ = kInfoReady;
    vorbis_comment_init(&comment);
    stage_ = kCommentReady;
    vorbis_comment_add_tag(&comment, kEncoderTag, kEncoderName);
    if (vorbis_analysis_init(&dsp, &info) != 0) return false;
    stage_ = kAnalysisReady;
    if (vorbis_block_init(&dsp, &block) != 0) return false;
    stage_ = kBlockReady;
    if (ogg_stream_init(&stream, serialNumber) != 0) return false;
    stage_ = kStreamReady;
    return true;
  }

  vorbis_info info{};
  vorbis_comment comment{};
  vorbis_dsp_state dsp{};
  vorbis_block block{};
  ogg_stream_state stream{};

 private:
  enum Stage { kNothing, kInfoReady, kCommentReady, kAnalysisReady, kBlockReady, kStreamReady };
  int stage_ = kNothing;
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// The destination file, created with the first page: a source that is
// refused before any page is encoded leaves no file behind.
class FilePageSink : public OggPageSink {
 public:
  explicit FilePageSink(const std::u16string& destination) : destination_(destination) {}

  bool WritePage(const std::uint8_t* header, std::size_t headerLength, const std::uint8_t* body,
                 std::size_t bodyLength) override {
    if (!file_) file_.reset(OpenFile(destination_, "wb"));
    if (!file_) return false;
    return std::fwrite(header, 1, headerLength, file_.get()) == headerLength &&
           std::fwrite(body, 1, bodyLength, file_.get()) == bodyLength;
  }

  // The close flushes the last buffered pages, so its failure is a failed
  // write as well. True when no file was made.
  bool Close() { return !file_ || std::fclose(file_.release()) == 0; }

 private:
  const std::u16string& destination_;
  FileHandle file_;
};

// Passes pages on and remembers whether the sink refused one, so that a
// failed encoding can tell a failed write from a failure of the library.
class WatchedSink : public OggPageSink {
 public:
  explicit WatchedSink(OggPageSink& sink) : sink_(sink) {}

  bool WritePage(const std::uint8_t* header, std::size_t headerLength, const std::uint8_t* body,
                 std::size_t bodyLength) override {
    if (sink_.WritePage(header, headerLength, body, bodyLength)) return true;
    refused = true;
    return false;
  }

  bool refused = false;

 private:
  OggPageSink& sink_;
};

// Fills the optional reason of a failed call; always false.
bool Refuse(std::u16string* reason, std::u16string text) {
  if (reason != nullptr) *reason = std::move(text);
  return false;
}

bool WritePage(OggPageSink& sink, const ogg_page& page) {
  return sink.WritePage(page.header, static_cast<std::size_t>(page.header_len), page.body,
                        static_cast<std::size_t>(page.body_len));
}

// The three header packets; the flush puts them on pages of their own so that
// the audio starts on a new page.
bool WriteHeaders(VorbisEncoding& encoding, OggPageSink& sink) {
  ogg_packet identification;
  ogg_packet comments;
  ogg_packet setup;
  if (vorbis_analysis_headerout(&encoding.dsp, &encoding.comment, &identification, &comments, &setup) != 0) {
    return false;
  }
  if (ogg_stream_packetin(&encoding.stream, &identification) != 0 ||
      ogg_stream_packetin(&encoding.stream, &comments) != 0 ||
      ogg_stream_packetin(&encoding.stream, &setup) != 0) {
    return false;
  }
  ogg_page page;
  while (ogg_stream_flush(&encoding.stream, &page) != 0) {
    if (!WritePage(sink, page)) return false;
  }
  return true;
}

// The little-endian value of `width` bytes.
std::uint64_t LittleEndian(const std::uint8_t* bytes, int width) {
  std::uint64_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

// A float sample as the encoder takes it: within [-1, 1], and 0 for a NaN,
// which would otherwise spread through the whole analysis.
float ClampedSample(double value) {
  if (std::isnan(value)) return 0.0f;
  return static_cast<float>(std::clamp(value, -1.0, 1.0));
}

// Converts `frames` interleaved frames to the encoder's one float buffer per
// channel. Integer samples are scaled so that the most negative value becomes
// -1: 8-bit ones are unsigned around 128, wider ones signed little-endian.
// Float samples are taken as they are, clamped.
void ConvertFrames(const std::uint8_t* bytes, int frames, const WaveFormat& format, float** channels) {
  const int channelCount = format.channelCount;
  const int width = format.bitsPerSample / 8;
  const auto each = [&](auto sample) {
    for (int frame = 0; frame < frames; ++frame) {
      for (int channel = 0; channel < channelCount; ++channel) {
        channels[channel][frame] = sample(bytes);
        bytes += width;
      }
    }
  };
  if (format.formatTag == kFloatFormatTag) {
    if (width == 4) {
      each([](const std::uint8_t* b) {
        return ClampedSample(std::bit_cast<float>(static_cast<std::uint32_t>(LittleEndian(b, 4))));
      });
    } else {
      each([](const std::uint8_t* b) { return ClampedSample(std::bit_cast<double>(LittleEndian(b, 8))); });
    }
    return;
  }
  switch (width) {
    case 1:
      each([](const std::uint8_t* b) { return static_cast<float>(static_cast<int>(*b) - 128) * 0.0078125f; });
      break;
    case 2:
      each([](const std::uint8_t* b) {
        return static_cast<float>(static_cast<std::int16_t>(b[0] | (b[1] << 8))) * 0.000030517578125f;
      });
      break;
    case 3:
      // Shifted to the top of 32 bits, where its sign is that of an int32_t
      // and its 24 significant bits fit a float exactly.
      each([](const std::uint8_t* b) {
        const auto value = static_cast<std::int32_t>(static_cast<std::uint32_t>(LittleEndian(b, 3)) << 8);
        return static_cast<float>(value) * 0x1p-31f;
      });
      break;
    default:
      each([](const std::uint8_t* b) {
        return static_cast<float>(static_cast<std::int32_t>(LittleEndian(b, 4))) * 0x1p-31f;
      });
      break;
  }
}

// Feeds the samples slice by slice and writes the audio pages up to the one
// that ends the stream. False when a write fails.
bool WriteAudio(VorbisEncoding& encoding, const WaveFormat& format, const std::uint8_t* samples,
                std::int32_t length, OggPageSink& sink) {
  const int sliceLength = kSliceBytes - kSliceBytes % format.blockAlignment;
  const int channelCount = format.channelCount;
  const int frameBytes = format.bitsPerSample / 8 * channelCount;
  std::int32_t offset = 0;
  bool inputEnded = false;
  bool endOfStream = false;
  while (!endOfStream) {
    // The pass that reports the end of the input drains the encoder; asking
    // again after it would restart the end-of-stream padding.
    if (inputEnded) return false;
    int frames = 0;
    if (offset < length) {
      const std::int32_t count = sliceLength < length - offset ? sliceLength : length - offset;
      float** channels = vorbis_analysis_buffer(&encoding.dsp, kAnalysisBufferFrames);
      // The bytes after the last whole frame of a slice are dropped. A final
      // slice shorter than one frame gives 0 frames, which ends the input.
      frames = count / frameBytes;
      ConvertFrames(samples + offset, frames, format, channels);
      offset += count;
    }
    vorbis_analysis_wrote(&encoding.dsp, frames);
    inputEnded = frames == 0;

    while (vorbis_analysis_blockout(&encoding.dsp, &encoding.block) == 1) {
      vorbis_analysis(&encoding.block, nullptr);
      vorbis_bitrate_addblock(&encoding.block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&encoding.dsp, &packet) == 1) {
        if (ogg_stream_packetin(&encoding.stream, &packet) != 0) return false;
        ogg_page page;
        while (!endOfStream && ogg_stream_pageout(&encoding.stream, &page) != 0) {
          if (!WritePage(sink, page)) return false;
          endOfStream = ogg_page_eos(&page) != 0;
        }
      }
    }
  }
  return true;
}

}  // namespace

bool WavToOggConverter::Convert(const std::u16string& source, const std::u16string& destination,
                                std::u16string* reason) const {
  FilePageSink file(destination);
  const bool written = Encode(source, file, reason);
  const bool closed = file.Close();
  if (written && !closed) return Refuse(reason, u"書き込めません");
  return written && closed;
}

// Reads the source and checks what the encoder needs of it, everything but
// the encoder's own set-up. False, with the reason, when it is refused.
bool WavToOggConverter::Read(const std::u16string& source, WaveFormat& format,
                             std::unique_ptr<std::uint8_t[]>& samples, std::int32_t& length,
                             std::u16string* reason) const {
  if (!ReadWaveFile(source, format, samples, length, wideFormats ? WaveReadMode::Wide : WaveReadMode::Strict,
                    reason)) {
    return false;
  }
  // The frame arithmetic divides by the channel count and sizes slices by the
  // block alignment. A block alignment above the slice size leaves no room
  // for a single frame, so nothing could be encoded: refused, like a file
  // without channels, before anything is set up or created.
  if (format.channelCount == 0) return Refuse(reason, WaveRefusalText(WaveRefusal::NoChannels));
  if (format.blockAlignment == 0 || format.blockAlignment > kSliceBytes) {
    const bool frameSized = format.blockAlignment == format.bitsPerSample / 8 * format.channelCount;
    return Refuse(reason, frameSized ? u"チャンネル数が多すぎるWAVは変換できません"
                                     : WaveRefusalText(WaveRefusal::BlockAlignmentMismatch));
  }
  return true;
}

bool WavToOggConverter::Accepts(const std::u16string& source, std::u16string* reason) const {
  WaveFormat format;
  std::unique_ptr<std::uint8_t[]> samples;
  std::int32_t length = 0;
  if (!Read(source, format, samples, length, reason)) return false;
  VorbisEncoding encoding;
  if (!encoding.Start(format.channelCount, static_cast<long>(format.sampleRate),
                      QualityForRate(format.sampleRate), 0)) {
    return Refuse(reason, u"このチャンネル数とサンプリング周波数はOgg Vorbisにできません");
  }
  return true;
}

bool WavToOggConverter::Encode(const std::u16string& source, OggPageSink& sink,
                               std::u16string* reason) const {
  WaveFormat format;
  std::unique_ptr<std::uint8_t[]> samples;
  std::int32_t length = 0;
  if (!Read(source, format, samples, length, reason)) return false;

  ScopedFlushDenormals flushDenormals;
  VorbisEncoding encoding;
  if (!encoding.Start(format.channelCount, static_cast<long>(format.sampleRate),
                      QualityForRate(format.sampleRate), StreamSerialNumber(std::time(nullptr)))) {
    return Refuse(reason, u"このチャンネル数とサンプリング周波数はOgg Vorbisにできません");
  }
  WatchedSink watched(sink);
  if (WriteHeaders(encoding, watched) && WriteAudio(encoding, format, samples.get(), length, watched))
    return true;
  return Refuse(reason, watched.refused ? u"書き込めません" : u"Ogg Vorbisへの変換に失敗しました");
}
