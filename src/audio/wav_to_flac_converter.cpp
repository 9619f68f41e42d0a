#include "audio/wav_to_flac_converter.h"

#include <FLAC/stream_encoder.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "audio/flac_frames.h"
#include "audio/wav_reader.h"
#include "audio/wave_refusal.h"
#include "util/file_system.h"
#include "util/thread.h"

namespace {

constexpr std::uint16_t kFloatFormatTag = 3;
// Frames handed to the encoder per call, converted to 32-bit samples first.
constexpr std::size_t kChunkFrames = 4096;

// The encoder settings. Level 8's block size, prediction order and residual
// partitions, with its three apodization windows cut to two: the third
// (punchout_tukey) costs about a third of the encoding time and saves well
// under a tenth of a percent on song sounds. No verify pass: the decoder
// round trip is the tests' job.
constexpr unsigned kCompressionLevel = 8;
constexpr unsigned kBlockFrames = 4096;
// A sound of at least this many blocks is encoded as two halves on two
// threads: frames depend only on their own samples, so the halves joined
// (with the second half's frames renumbered) are the very stream one encoder
// would write, in about half the time. Keysounds stay on one thread.
constexpr std::size_t kSplitFromBlocks = 32;
constexpr char kApodization[] = "tukey(5e-1);partial_tukey(2)";

struct EncoderDeleter {
  void operator()(FLAC__StreamEncoder* encoder) const { FLAC__stream_encoder_delete(encoder); }
};
using EncoderHandle = std::unique_ptr<FLAC__StreamEncoder, EncoderDeleter>;

// The encoded file, built in memory: the encoder seeks back at the end to
// complete the stream information (length, frame sizes, MD5), and nothing
// reaches the disk unless the whole stream was made.
struct MemoryStream {
  std::vector<std::uint8_t> bytes;
  std::size_t position = 0;
  std::vector<std::size_t> frameStarts;  // where each audio frame begins
};

FLAC__StreamEncoderWriteStatus WriteToMemory(const FLAC__StreamEncoder*, const FLAC__byte buffer[],
                                             std::size_t count, std::uint32_t samples, std::uint32_t frame,
                                             void* data) {
  auto& stream = *static_cast<MemoryStream*>(data);
  // Metadata comes with no samples; a frame is written whole, numbered.
  if (samples != 0 && stream.frameStarts.size() == frame) stream.frameStarts.push_back(stream.position);
  if (stream.bytes.size() < stream.position + count) stream.bytes.resize(stream.position + count);
  if (count != 0) std::memcpy(stream.bytes.data() + stream.position, buffer, count);
  stream.position += count;
  return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

FLAC__StreamEncoderSeekStatus SeekInMemory(const FLAC__StreamEncoder*, FLAC__uint64 offset, void* data) {
  auto& stream = *static_cast<MemoryStream*>(data);
  if (offset > stream.bytes.size()) return FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
  stream.position = static_cast<std::size_t>(offset);
  return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
}

FLAC__StreamEncoderTellStatus TellInMemory(const FLAC__StreamEncoder*, FLAC__uint64* offset, void* data) {
  *offset = static_cast<const MemoryStream*>(data)->position;
  return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}

bool Refuse(std::u16string* reason, std::u16string text) {
  if (reason != nullptr) *reason = std::move(text);
  return false;
}

// Turns `frames` interleaved frames into 32-bit samples: 8-bit samples are
// unsigned around 128, wider ones signed little-endian.
void ToInt32(const std::uint8_t* bytes, std::size_t samples, unsigned width, FLAC__int32* out) {
  switch (width) {
    case 1:
      for (std::size_t i = 0; i < samples; ++i) out[i] = static_cast<FLAC__int32>(bytes[i]) - 128;
      break;
    case 2:
      for (std::size_t i = 0; i < samples; ++i, bytes += 2) {
        out[i] = static_cast<std::int16_t>(bytes[0] | bytes[1] << 8);
      }
      break;
    case 3:
      // Put at the top of 32 bits and shifted back down, which extends the sign.
      for (std::size_t i = 0; i < samples; ++i, bytes += 3) {
        const auto top = static_cast<std::uint32_t>(bytes[0] << 8 | bytes[1] << 16) | std::uint32_t{bytes[2]}
                                                                                          << 24;
        out[i] = static_cast<std::int32_t>(top) >> 8;
      }
      break;
    default:
      for (std::size_t i = 0; i < samples; ++i, bytes += 4) {
        const auto value = static_cast<std::uint32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16) |
                           std::uint32_t{bytes[3]} << 24;
        out[i] = static_cast<std::int32_t>(value);
      }
      break;
  }
}

// Sets the encoder up for `format`. The streamable subset (what hardware
// players must decode) is kept where the format allows it; 32-bit samples
// and some sample rates lie outside it and are written without it.
bool StartEncoder(FLAC__StreamEncoder* encoder, const WaveFormat& format, std::uint64_t frames,
                  MemoryStream& stream) {
  for (const bool subset : {true, false}) {
    const bool set = FLAC__stream_encoder_set_streamable_subset(encoder, subset) &&
                     FLAC__stream_encoder_set_channels(encoder, format.channelCount) &&
                     FLAC__stream_encoder_set_bits_per_sample(encoder, format.bitsPerSample) &&
                     FLAC__stream_encoder_set_sample_rate(encoder, format.sampleRate) &&
                     FLAC__stream_encoder_set_compression_level(encoder, kCompressionLevel) &&
                     FLAC__stream_encoder_set_blocksize(encoder, kBlockFrames) &&
                     FLAC__stream_encoder_set_verify(encoder, false) &&
                     FLAC__stream_encoder_set_total_samples_estimate(encoder, frames);
    if (!set) return false;
    const FLAC__StreamEncoderInitStatus status = FLAC__stream_encoder_init_stream(
        encoder, WriteToMemory, SeekInMemory, TellInMemory, nullptr, &stream);
    if (status == FLAC__STREAM_ENCODER_INIT_STATUS_OK) return true;
    if (status != FLAC__STREAM_ENCODER_INIT_STATUS_NOT_STREAMABLE) return false;
  }
  return false;
}

// Encodes `frames` interleaved frames from `samples` as one stream.
bool EncodeFrames(const WaveFormat& format, const std::uint8_t* samples, std::size_t frames,
                  MemoryStream& stream) {
  const unsigned width = format.bitsPerSample / 8u;
  const std::size_t frameBytes = std::size_t{width} * format.channelCount;
  EncoderHandle encoder(FLAC__stream_encoder_new());
  if (!encoder || !StartEncoder(encoder.get(), format, frames, stream)) return false;
  std::vector<FLAC__int32> buffer(kChunkFrames * format.channelCount);
  for (std::size_t done = 0; done < frames;) {
    const std::size_t count = std::min(kChunkFrames, frames - done);
    ToInt32(samples + done * frameBytes, count * format.channelCount, width, buffer.data());
    if (!FLAC__stream_encoder_process_interleaved(encoder.get(), buffer.data(),
                                                  static_cast<std::uint32_t>(count))) {
      return false;
    }
    done += count;
  }
  return FLAC__stream_encoder_finish(encoder.get()) != 0;
}

// The signature the stream information carries: the MD5 of the samples as
// signed little-endian integers, which is the WAV layout itself except for
// 8-bit samples (unsigned there).
void SampleSignature(const WaveFormat& format, const std::uint8_t* samples, std::size_t length,
                     std::uint8_t digest[16]) {
  Md5 md5;
  if (format.bitsPerSample != 8) {
    md5.Update(std::span<const std::uint8_t>(samples, length));
  } else {
    std::uint8_t chunk[4096];
    for (std::size_t at = 0; at < length; at += sizeof chunk) {
      const std::size_t count = std::min(sizeof chunk, length - at);
      for (std::size_t i = 0; i < count; ++i) chunk[i] = samples[at + i] ^ 0x80;
      md5.Update(std::span<const std::uint8_t>(chunk, count));
    }
  }
  md5.Finish(digest);
}

// Joins the second half's frames to the first half's stream and completes
// the stream information for the whole.
bool Join(MemoryStream& first, const MemoryStream& second, std::uint64_t frames, const std::uint8_t md5[16]) {
  std::vector<std::uint8_t>& out = first.bytes;
  std::uint32_t smallest = UINT32_MAX;
  std::uint32_t largest = 0;
  const auto measure = [&](std::size_t size) {
    smallest = std::min(smallest, static_cast<std::uint32_t>(size));
    largest = std::max(largest, static_cast<std::uint32_t>(size));
  };
  for (std::size_t i = 0; i < first.frameStarts.size(); ++i) {
    const std::size_t end = i + 1 < first.frameStarts.size() ? first.frameStarts[i + 1] : out.size();
    measure(end - first.frameStarts[i]);
  }
  const auto number = static_cast<std::uint32_t>(first.frameStarts.size());
  for (std::size_t i = 0; i < second.frameStarts.size(); ++i) {
    const std::size_t start = second.frameStarts[i];
    const std::size_t end =
        i + 1 < second.frameStarts.size() ? second.frameStarts[i + 1] : second.bytes.size();
    const std::size_t before = out.size();
    if (!AppendRenumberedFrame(out, std::span<const std::uint8_t>(second.bytes.data() + start, end - start),
                               number + static_cast<std::uint32_t>(i))) {
      return false;
    }
    measure(out.size() - before);
  }
  return PatchStreamInfo(out, smallest, largest, frames, md5);
}

bool Encode(const WaveFormat& format, const std::uint8_t* samples, std::size_t length, MemoryStream& stream) {
  const std::size_t frameBytes = std::size_t{format.bitsPerSample / 8u} * format.channelCount;
  // Bytes after the last whole frame are dropped.
  const std::size_t frames = length / frameBytes;
  const std::size_t blocks = frames / kBlockFrames;
  if (blocks < kSplitFromBlocks) return EncodeFrames(format, samples, frames, stream);

  // The split falls on a block boundary, so that every frame but the last
  // keeps the full block size. The first half is the smaller one: its thread
  // also computes the samples' MD5, about a tenth of the encoding's work.
  const std::size_t split = blocks * 9 / 20 * kBlockFrames;
  MemoryStream second;
  bool secondDone = false;
  const auto encodeSecond = [&] {
    secondDone = EncodeFrames(format, samples + split * frameBytes, frames - split, second);
  };
  // Without a second thread the halves are encoded one after the other.
  WorkerThread worker;
  if (!worker.Start(encodeSecond)) encodeSecond();
  const bool firstDone = EncodeFrames(format, samples, split, stream);
  std::uint8_t md5[16];
  SampleSignature(format, samples, frames * frameBytes, md5);
  worker.Join();
  return firstDone && secondDone && Join(stream, second, frames, md5);
}

}  // namespace

namespace {

// Reads the source and checks that FLAC holds it exactly. False, with the
// reason, when it is refused.
bool ReadForFlac(const std::u16string& source, WaveFormat& format, std::unique_ptr<std::uint8_t[]>& samples,
                 std::int32_t& length, std::u16string* reason) {
  if (!ReadWaveFile(source, format, samples, length, WaveReadMode::Wide, reason)) return false;
  // FLAC holds integers only; a float file would need rounding, and what
  // comes out would no longer be the source.
  if (format.formatTag == kFloatFormatTag) return Refuse(reason, u"浮動小数点のWAVは変換できません");
  // The reader passes the 8- and 16-bit formats with their channel count
  // unchecked.
  if (format.channelCount == 0) return Refuse(reason, WaveRefusalText(WaveRefusal::NoChannels));
  if (format.channelCount > FLAC__MAX_CHANNELS)
    return Refuse(reason, u"9チャンネル以上のWAVはFLACにできません");
  if (!FLAC__format_sample_rate_is_valid(format.sampleRate)) {
    return Refuse(reason, u"このサンプリング周波数のWAVはFLACにできません");
  }

  return true;
}

}  // namespace

bool WavToFlacConverter::Accepts(const std::u16string& source, std::u16string* reason) const {
  WaveFormat format;
  std::unique_ptr<std::uint8_t[]> samples;
  std::int32_t length = 0;
  return ReadForFlac(source, format, samples, length, reason);
}

bool WavToFlacConverter::Convert(const std::u16string& source, const std::u16string& destination,
                                 std::u16string* reason) const {
  WaveFormat format;
  std::unique_ptr<std::uint8_t[]> samples;
  std::int32_t length = 0;
  if (!ReadForFlac(source, format, samples, length, reason)) return false;

  MemoryStream stream;
  if (!Encode(format, samples.get(), static_cast<std::size_t>(length), stream)) {
    return Refuse(reason, u"FLACへの変換に失敗しました");
  }
  samples.reset();

  std::FILE* file = OpenFile(destination, "wb");
  if (file == nullptr) return Refuse(reason, u"書き込めません");
  bool written = std::fwrite(stream.bytes.data(), 1, stream.bytes.size(), file) == stream.bytes.size();
  if (std::fclose(file) != 0) written = false;
  if (written) return true;
  RemoveFile(destination);
  return Refuse(reason, u"書き込めません");
}
