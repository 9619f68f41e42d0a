#include "audio/wav_to_flac_converter.h"

#include <FLAC/stream_decoder.h>
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "audio_test_support.h"
#include "util/unicode.h"

namespace {

// What libFLAC's own decoder makes of a file: the stream's format and every
// sample, interleaved.
struct DecodedFlac {
  bool decoded = false;
  unsigned channels = 0;
  unsigned bitsPerSample = 0;
  unsigned sampleRate = 0;
  std::vector<std::int32_t> samples;
  std::string bytes;
  std::size_t position = 0;
};

DecodedFlac DecodeFlac(const std::string& bytes) {
  DecodedFlac out;
  out.bytes = bytes;
  FLAC__StreamDecoder* decoder = FLAC__stream_decoder_new();
  FLAC__stream_decoder_set_md5_checking(decoder, true);
  const auto read = [](const FLAC__StreamDecoder*, FLAC__byte buffer[], std::size_t* count, void* data) {
    auto& d = *static_cast<DecodedFlac*>(data);
    *count = std::min(*count, d.bytes.size() - d.position);
    std::memcpy(buffer, d.bytes.data() + d.position, *count);
    d.position += *count;
    return *count == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM
                       : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
  };
  const auto write = [](const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                        const FLAC__int32* const buffer[], void* data) {
    auto& d = *static_cast<DecodedFlac*>(data);
    // Each frame's number must place it right after the frames before it.
    if (frame->header.number.sample_number * frame->header.channels != d.samples.size()) {
      return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    }
    for (unsigned i = 0; i < frame->header.blocksize; ++i) {
      for (unsigned c = 0; c < frame->header.channels; ++c) d.samples.push_back(buffer[c][i]);
    }
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
  };
  const auto metadata = [](const FLAC__StreamDecoder*, const FLAC__StreamMetadata* block, void* data) {
    auto& d = *static_cast<DecodedFlac*>(data);
    if (block->type != FLAC__METADATA_TYPE_STREAMINFO) return;
    d.channels = block->data.stream_info.channels;
    d.bitsPerSample = block->data.stream_info.bits_per_sample;
    d.sampleRate = block->data.stream_info.sample_rate;
  };
  const auto error = [](const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* data) {
    static_cast<DecodedFlac*>(data)->bytes.clear();
  };
  if (FLAC__stream_decoder_init_stream(decoder, read, nullptr, nullptr, nullptr, nullptr, write, metadata,
                                       error, &out) == FLAC__STREAM_DECODER_INIT_STATUS_OK) {
    // The MD5 check in finish compares the decoded samples with the
    // signature the encoder stored.
    out.decoded = FLAC__stream_decoder_process_until_end_of_stream(decoder) && !out.bytes.empty();
    out.decoded = FLAC__stream_decoder_finish(decoder) && out.decoded;
  }
  FLAC__stream_decoder_delete(decoder);
  return out;
}

// The source samples as signed integers, read straight from the WAV layout.
std::vector<std::int32_t> ExpectedSamples(const Bytes& pcm, unsigned bits) {
  const unsigned width = bits / 8;
  std::vector<std::int32_t> out;
  for (std::size_t i = 0; i + width <= pcm.size(); i += width) {
    if (width == 1) {
      out.push_back(pcm[i] - 128);
      continue;
    }
    std::uint32_t value = 0;
    for (unsigned b = 0; b < width; ++b) value |= std::uint32_t{pcm[i + b]} << (8 * b);
    const unsigned unused = 32 - bits;
    out.push_back(static_cast<std::int32_t>(value << unused) >> unused);
  }
  return out;
}

struct RoundTripCase {
  std::string name;
  std::uint16_t bitsPerSample;
  std::uint16_t channelCount;
  std::uint32_t sampleRate;
  bool extensible = false;
  double seconds = 0.3;
};

void PrintTo(const RoundTripCase& c, std::ostream* out) { *out << c.name; }

class FlacRoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(FlacRoundTripTest, DecodesToTheSourceSamples) {
  const RoundTripCase& c = GetParam();
  const PcmFields fields = Pcm(c.bitsPerSample, c.channelCount, c.sampleRate);
  std::vector<double> tones;
  for (unsigned i = 0; i < c.channelCount; ++i) tones.push_back(220.0 * (i + 1) + 31.0);
  // Near full scale, so that the top bits and the sign are exercised.
  const Bytes pcm = SinePcm(fields, c.seconds, tones, 0.97);
  const Bytes file = c.extensible ? Riff({Chunk("fmt ", ExtensibleFormatBody(fields)), Chunk("data", pcm)})
                                  : WaveFile(fields, pcm);
  ScratchFolder folder;
  ASSERT_TRUE(folder.Write("in.wav", file));
  ASSERT_TRUE(WavToFlacConverter().Convert(folder.Text("in.wav"), folder.Text("out.flac")));

  const DecodedFlac decoded = DecodeFlac(folder.Read("out.flac"));
  ASSERT_TRUE(decoded.decoded);
  EXPECT_EQ(decoded.channels, c.channelCount);
  EXPECT_EQ(decoded.bitsPerSample, c.bitsPerSample);
  EXPECT_EQ(decoded.sampleRate, c.sampleRate);
  EXPECT_EQ(decoded.samples, ExpectedSamples(pcm, c.bitsPerSample));
}

INSTANTIATE_TEST_SUITE_P(SampleFormats, FlacRoundTripTest,
                         ::testing::Values(RoundTripCase{"Pcm8Mono", 8, 1, 22050},
                                           RoundTripCase{"Pcm16Stereo", 16, 2, 44100},
                                           RoundTripCase{"Pcm24Stereo", 24, 2, 48000},
                                           RoundTripCase{"Pcm32Stereo", 32, 2, 44100},
                                           RoundTripCase{"Pcm16SixChannels", 16, 6, 48000},
                                           RoundTripCase{"Pcm24ExtensibleSixChannels", 24, 6, 96000, true},
                                           RoundTripCase{"Pcm8ExtensibleStereo", 8, 2, 11025, true},
                                           // Long enough to be encoded in two halves and joined.
                                           RoundTripCase{"Pcm16StereoInTwoHalves", 16, 2, 44100, false, 4.0},
                                           RoundTripCase{"Pcm8MonoInTwoHalves", 8, 1, 22050, false, 7.0}),
                         [](const auto& info) { return info.param.name; });

// Refusals: the reason given, and no destination left behind.
struct RefusalCase {
  std::string name;
  Bytes file;  // empty: no source file at all
  std::string destination;
  std::u16string reason;
};

void PrintTo(const RefusalCase& c, std::ostream* out) { *out << c.name; }

class FlacRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(FlacRefusalTest, RefusesWithItsReason) {
  const RefusalCase& c = GetParam();
  ScratchFolder folder;
  if (!c.file.empty()) {
    ASSERT_TRUE(folder.Write("in.wav", c.file));
  }
  std::u16string reason;
  EXPECT_FALSE(WavToFlacConverter().Convert(folder.Text("in.wav"), folder.Text(c.destination), &reason));
  EXPECT_EQ(Utf16ToUtf8(reason), Utf16ToUtf8(c.reason));
  EXPECT_FALSE(folder.Exists(c.destination));
}

PcmFields Float32() {
  PcmFields fields = Pcm(32, 1, 44100);
  fields.formatTag = 3;
  return fields;
}

PcmFields Adpcm() {
  PcmFields fields = Pcm(4, 1, 22050);
  fields.formatTag = 2;
  return fields;
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, FlacRefusalTest,
    ::testing::Values(RefusalCase{"Float", WaveFile(Float32(), SinePcm(Float32(), 0.01, {440}, 0.5)),
                                  "out.flac", u"浮動小数点のWAVは変換できません"},
                      RefusalCase{"NineChannels", WaveFile(Pcm(16, 9, 44100), Bytes(18 * 10, 0)), "out.flac",
                                  u"9チャンネル以上のWAVはFLACにできません"},
                      RefusalCase{"Adpcm", WaveFile(Adpcm(), Bytes(64, 0)), "out.flac",
                                  u"ADPCMなど圧縮されたWAVは変換できません"},
                      RefusalCase{"NotWave", Bytes(64, 'x'), "out.flac", u"WAVファイルではありません"},
                      RefusalCase{"MissingSource", {}, "out.flac", u"ファイルを開けません"},
                      RefusalCase{"DestinationFolderMissing", TriangleWaveFile(), "no/such/out.flac",
                                  u"書き込めません"}),
    [](const auto& info) { return info.param.name; });

// Two runs, on two threads at once, give the same bytes: nothing in the file
// depends on the time or on state shared between encoders.
TEST(FlacConverterTest, SameBytesOnEveryRunAndThread) {
  ScratchFolder folder;
  const PcmFields fields = Pcm(16, 2, 44100);
  ASSERT_TRUE(folder.Write("in.wav", WaveFile(fields, SinePcm(fields, 0.5, {440, 660}, 0.5))));
  bool results[2] = {};
  std::thread other(
      [&] { results[1] = WavToFlacConverter().Convert(folder.Text("in.wav"), folder.Text("b.flac")); });
  results[0] = WavToFlacConverter().Convert(folder.Text("in.wav"), folder.Text("a.flac"));
  other.join();
  ASSERT_TRUE(results[0] && results[1]);
  EXPECT_EQ(folder.Read("a.flac"), folder.Read("b.flac"));
}

}  // namespace
