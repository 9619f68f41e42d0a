#include "audio/wav_to_ogg_converter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "audio_test_support.h"
#include "util/unicode.h"

namespace {

constexpr char kEncoderComment[] = "ENCODER=Hoshibako-OggVorbisEncoder";

std::uintmax_t FileBytes(const std::filesystem::path& path) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  return error ? 0 : size;
}

// ---------------------------------------------------------------------------
// Round trips: encode a sine per channel, decode it with libvorbisfile and
// compare what a listener would notice. A pure tone is the easiest signal
// for the codec, even at the lowest quality: measured frequency errors stay
// below 0.1 % and level errors below 2 %. The bounds (1 % and 8 %) leave room
// for other library builds while catching the faults that matter: a wrong
// scale (8-bit divided by 256 is -6 dB), swapped or mixed channels (the two
// channels carry different tones), the wrong byte order (noise, no tone).
enum class Layout { Plain, Extensible, JunkBeforeFormat };

struct RoundTripCase {
  std::string name;
  std::uint16_t bitsPerSample;
  std::uint16_t channelCount;
  std::uint32_t sampleRate;
  std::vector<double> frequencies;  // one per channel
  std::uint16_t formatTag = 1;
  Layout layout = Layout::Plain;
  bool wide = false;  // converted with wideFormats
};

Bytes WaveFileIn(Layout layout, const PcmFields& fields, const Bytes& samples) {
  switch (layout) {
    case Layout::Extensible:
      return Riff({Chunk("fmt ", ExtensibleFormatBody(fields)), Chunk("data", samples)});
    case Layout::JunkBeforeFormat:
      return Riff({Chunk("JUNK", Bytes(28, 0)), Chunk("fmt ", FormatBody(fields)), Chunk("data", samples)});
    case Layout::Plain:
      break;
  }
  return WaveFile(fields, samples);
}

void PrintTo(const RoundTripCase& c, std::ostream* out) { *out << c.name; }

class RoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTripTest, DecodesToTheSameTone) {
  const RoundTripCase& c = GetParam();
  constexpr double kAmplitude = 0.5;
  constexpr double kSeconds = 0.6;
  PcmFields fields = Pcm(c.bitsPerSample, c.channelCount, c.sampleRate);
  fields.formatTag = c.formatTag;
  const Bytes samples = SinePcm(fields, kSeconds, c.frequencies, kAmplitude);
  const auto frames = static_cast<std::int64_t>(samples.size() / fields.blockAlignment);
  ScratchFolder folder;
  ASSERT_TRUE(folder.Write("tone.wav", WaveFileIn(c.layout, fields, samples)));

  const WavToOggConverter converter{.wideFormats = c.wide};
  ASSERT_TRUE(converter.Convert(folder.Text("tone.wav"), folder.Text("tone.ogg")));

  const DecodedStream decoded = DecodeOgg(folder.Path("tone.ogg"));
  ASSERT_TRUE(decoded.opened);
  EXPECT_EQ(decoded.sampleRate, static_cast<long>(c.sampleRate));
  ASSERT_EQ(decoded.channelCount, c.channelCount);
  // The last page's granule position trims the encoder's block padding.
  EXPECT_EQ(decoded.frames, frames);
  EXPECT_EQ(static_cast<std::int64_t>(decoded.samples[0].size()), frames);
  EXPECT_EQ(decoded.comments, std::vector<std::string>{kEncoderComment});
  for (std::size_t channel = 0; channel < c.channelCount; ++channel) {
    SCOPED_TRACE("channel " + std::to_string(channel));
    const double frequency = ZeroCrossingFrequency(decoded.samples[channel], decoded.sampleRate);
    EXPECT_NEAR(frequency, c.frequencies[channel], c.frequencies[channel] * 0.01);
    EXPECT_NEAR(MiddleRms(decoded.samples[channel]), kAmplitude / std::sqrt(2.0),
                kAmplitude / std::sqrt(2.0) * 0.08);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, RoundTripTest,
    ::testing::Values(
        RoundTripCase{"Mono8Bit22050", 8, 1, 22050, {440}},
        RoundTripCase{"Stereo16Bit44100", 16, 2, 44100, {440, 1000}},
        RoundTripCase{"Mono16Bit48000", 16, 1, 48000, {1000}},
        RoundTripCase{"Mono16Bit96000", 16, 1, 96000, {1000}},
        RoundTripCase{"Mono16Bit11025", 16, 1, 11025, {440}},
        RoundTripCase{"Stereo8Bit11025", 8, 2, 11025, {300, 700}},
        RoundTripCase{"Stereo16BitRateOutsideTable", 16, 2, 37800, {440, 660}},
        RoundTripCase{"WideStereo24Bit48000", 24, 2, 48000, {440, 1000}, 1, Layout::Plain, true},
        RoundTripCase{"WideMono32Bit44100", 32, 1, 44100, {1000}, 1, Layout::Plain, true},
        RoundTripCase{"WideStereoFloat32Bit44100", 32, 2, 44100, {440, 1000}, 3, Layout::Plain, true},
        RoundTripCase{"WideMonoFloat64Bit22050", 64, 1, 22050, {440}, 3, Layout::Plain, true},
        RoundTripCase{"WideExtensibleStereo24Bit", 24, 2, 44100, {300, 700}, 1, Layout::Extensible, true},
        RoundTripCase{"WideExtensibleStereoFloat", 32, 2, 48000, {440, 1000}, 3, Layout::Extensible, true},
        RoundTripCase{
            "WideJunkBeforeFormat16Bit", 16, 2, 44100, {440, 1000}, 1, Layout::JunkBeforeFormat, true}),
    [](const ::testing::TestParamInfo<RoundTripCase>& info) { return info.param.name; });

// Float samples beyond full scale are clamped and a NaN becomes 0. A sine of
// amplitude 4 turns into a clipped one with an RMS of about 0.945 (2.83
// unclamped). A NaN in every hundredth sample of a sine of amplitude 0.5
// leaves its RMS near 0.354 once it is 0; fed as it is, it silences every
// block it falls into.
struct FloatRangeCase {
  std::string name;
  std::uint16_t bitsPerSample;
  double amplitude;
  std::size_t nanEvery;  // 0: no NaN
  double expectedRms;
};

void PrintTo(const FloatRangeCase& c, std::ostream* out) { *out << c.name; }

class FloatRangeTest : public ::testing::TestWithParam<FloatRangeCase> {};

TEST_P(FloatRangeTest, StaysWithinFullScale) {
  const FloatRangeCase& c = GetParam();
  PcmFields fields = Pcm(c.bitsPerSample, 1, 44100);
  fields.formatTag = 3;
  Bytes samples = SinePcm(fields, 0.5, {440}, c.amplitude);
  const std::size_t width = c.bitsPerSample / 8;
  for (std::size_t at = 0; c.nanEvery != 0 && at + width <= samples.size(); at += c.nanEvery * width) {
    // A quiet NaN: all exponent bits and the top fraction bit, little-endian.
    std::fill(samples.begin() + at, samples.begin() + at + width, 0);
    samples[at + width - 1] = 0x7F;
    samples[at + width - 2] = width == 4 ? 0xC0 : 0xF8;
  }
  ScratchFolder folder;
  ASSERT_TRUE(folder.Write("in.wav", WaveFile(fields, samples)));
  ASSERT_TRUE(WavToOggConverter{.wideFormats = true}.Convert(folder.Text("in.wav"), folder.Text("out.ogg")));
  const DecodedStream decoded = DecodeOgg(folder.Path("out.ogg"));
  ASSERT_TRUE(decoded.opened);
  ASSERT_EQ(decoded.samples.size(), 1u);
  EXPECT_NEAR(MiddleRms(decoded.samples[0]), c.expectedRms, c.expectedRms * 0.08);
}

INSTANTIATE_TEST_SUITE_P(Values, FloatRangeTest,
                         ::testing::Values(FloatRangeCase{"Float32BeyondFullScale", 32, 4.0, 0, 0.945},
                                           FloatRangeCase{"Float64BeyondFullScale", 64, 4.0, 0, 0.945},
                                           FloatRangeCase{"Float32NanAmidTone", 32, 0.5, 100, 0.354},
                                           FloatRangeCase{"Float64NanAmidTone", 64, 0.5, 100, 0.354}),
                         [](const ::testing::TestParamInfo<FloatRangeCase>& info) {
                           return info.param.name;
                         });

TEST(ConverterTest, EightBitSilenceStaysSilent) {
  // 8-bit samples are unsigned: 128 is the zero line, not a full-scale offset.
  ScratchFolder folder;
  ASSERT_TRUE(folder.Write("silence.wav", WaveFile(Pcm(8, 1, 22050), Bytes(11025, 128))));
  ASSERT_TRUE(WavToOggConverter().Convert(folder.Text("silence.wav"), folder.Text("silence.ogg")));
  const DecodedStream decoded = DecodeOgg(folder.Path("silence.ogg"));
  ASSERT_TRUE(decoded.opened);
  ASSERT_EQ(decoded.samples.size(), 1u);
  ASSERT_EQ(decoded.samples[0].size(), 11025u);
  float peak = 0.0f;
  for (float sample : decoded.samples[0]) peak = std::max(peak, std::fabs(sample));
  EXPECT_LT(peak, 1.0f / 256);
}

TEST(ConverterTest, DestinationNameIsUsedAsGiven) {
  ScratchFolder folder;
  const PcmFields fields = Pcm(16, 1, 22050);
  ASSERT_TRUE(folder.Write("kick.wav", WaveFile(fields, SinePcm(fields, 0.2, {200}, 0.5))));
  ASSERT_TRUE(WavToOggConverter().Convert(folder.Text("kick.wav"), folder.Text("out.wav")));
  const DecodedStream decoded = DecodeOgg(folder.Path("out.wav"));
  EXPECT_TRUE(decoded.opened);
  EXPECT_EQ(decoded.frames, 4410);
}

// ---------------------------------------------------------------------------
// Quality follows the sample rate. Each table rate is paired with its
// neighbour one hertz away, which is missing from the table (quality 0.5):
// the same samples at nearly the same rate must come out larger at the
// higher of the two qualities.
struct QualityCase {
  std::string name;
  std::uint32_t tableRate;
  bool tableQualityIsHigher;  // than the 0.5 of rates outside the table
};

void PrintTo(const QualityCase& c, std::ostream* out) { *out << c.name; }

class QualityTest : public ::testing::TestWithParam<QualityCase> {};

TEST_P(QualityTest, HigherQualityGivesLargerFile) {
  const QualityCase& c = GetParam();
  ScratchFolder folder;
  const Bytes samples = RichPcm16(c.tableRate, 1.0);
  ASSERT_TRUE(folder.Write("table.wav", WaveFile(Pcm(16, 1, c.tableRate), samples)));
  ASSERT_TRUE(folder.Write("other.wav", WaveFile(Pcm(16, 1, c.tableRate + 1), samples)));
  WavToOggConverter converter;
  ASSERT_TRUE(converter.Convert(folder.Text("table.wav"), folder.Text("table.ogg")));
  ASSERT_TRUE(converter.Convert(folder.Text("other.wav"), folder.Text("other.ogg")));
  const double table = static_cast<double>(FileBytes(folder.Path("table.ogg")));
  const double other = static_cast<double>(FileBytes(folder.Path("other.ogg")));
  // One quality step changes the size by far more than 5 %.
  if (c.tableQualityIsHigher) {
    EXPECT_GT(table, other * 1.05);
  } else {
    EXPECT_GT(other, table * 1.05);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rates, QualityTest,
    ::testing::Values(QualityCase{"Rate8000", 8000, false}, QualityCase{"Rate11025", 11025, false},
                      QualityCase{"Rate12000", 12000, false}, QualityCase{"Rate16000", 16000, false},
                      QualityCase{"Rate22050", 22050, false}, QualityCase{"Rate24000", 24000, false},
                      QualityCase{"Rate32000", 32000, false}, QualityCase{"Rate44100", 44100, false},
                      QualityCase{"Rate48000", 48000, false}, QualityCase{"Rate88200", 88200, true},
                      QualityCase{"Rate96000", 96000, true}),
    [](const ::testing::TestParamInfo<QualityCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// Slicing. Samples go to the encoder in slices of the largest whole number of
// block-alignment units within 512 bytes; each slice is cut into frames by
// the channel count and sample width, and what is left of a slice after its
// last whole frame is dropped. The decoded length shows the frames fed.
struct SliceCase {
  std::string name;
  std::uint16_t bitsPerSample;
  std::uint16_t channelCount;
  std::uint16_t blockAlignment;
  std::size_t dataLength;
  std::int64_t expectedFrames;
};

void PrintTo(const SliceCase& c, std::ostream* out) { *out << c.name; }

class SliceTest : public ::testing::TestWithParam<SliceCase> {};

TEST_P(SliceTest, FeedsTheExpectedFrames) {
  const SliceCase& c = GetParam();
  PcmFields fields = Pcm(c.bitsPerSample, c.channelCount, 22050);
  Bytes samples = SinePcm(fields, 1.0, {330, 550}, 0.4);
  samples.resize(c.dataLength);
  fields.blockAlignment = c.blockAlignment;
  ScratchFolder folder;
  ASSERT_TRUE(folder.Write("in.wav", WaveFile(fields, samples)));
  ASSERT_TRUE(WavToOggConverter().Convert(folder.Text("in.wav"), folder.Text("out.ogg")));
  const DecodedStream decoded = DecodeOgg(folder.Path("out.ogg"));
  ASSERT_TRUE(decoded.opened);
  EXPECT_EQ(decoded.frames, c.expectedFrames);
}

INSTANTIATE_TEST_SUITE_P(Layouts, SliceTest,
                         ::testing::Values(
                             // 128 frames a slice, nothing dropped.
                             SliceCase{"Stereo16BitAlignment4", 16, 2, 4, 8000, 2000},
                             // 512 frames a slice.
                             SliceCase{"Mono8BitAlignment1", 8, 1, 1, 3001, 3001},
                             // Slices of 510 bytes give 127 frames and drop 2 bytes each: 10 full
                             // slices and a last one of 100 bytes (25 frames).
                             SliceCase{"Stereo16BitAlignment6", 16, 2, 6, 5200, 1295},
                             // The last 3 bytes are not a frame.
                             SliceCase{"PartialLastFrame", 16, 2, 4, 4003, 1000},
                             // The last slice is 2 bytes, shorter than a frame: the input ends there.
                             SliceCase{"LastSliceShorterThanFrame", 16, 2, 4, 2050, 512},
                             // Block alignment smaller than a frame: 512-byte slices of 128 frames.
                             SliceCase{"Stereo16BitAlignment1", 16, 2, 1, 2048, 512},
                             // Nothing but a partial frame: an empty stream.
                             SliceCase{"OnlyAPartialFrame", 16, 2, 4, 3, 0}),
                         [](const ::testing::TestParamInfo<SliceCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// Refusals leave no destination file and say why.
struct RefusalCase {
  std::string name;
  Bytes source;  // empty: no source file at all
  std::u16string reason;
  bool wide = false;
};

void PrintTo(const RefusalCase& c, std::ostream* out) { *out << c.name; }

class RefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefusalTest, AnswersFalseAndCreatesNothing) {
  ScratchFolder folder;
  if (!GetParam().source.empty()) {
    ASSERT_TRUE(folder.Write("in.wav", GetParam().source));
  }
  const std::size_t before = folder.EntryCount();
  const WavToOggConverter converter{.wideFormats = GetParam().wide};
  std::u16string reason;
  EXPECT_FALSE(converter.Convert(folder.Text("in.wav"), folder.Text("out.ogg"), &reason));
  EXPECT_EQ(Utf16ToUtf8(reason), Utf16ToUtf8(GetParam().reason));
  EXPECT_FALSE(folder.Exists("out.ogg"));
  EXPECT_EQ(folder.EntryCount(), before);
}

std::vector<RefusalCase> RefusalCases() {
  const Bytes tone = SinePcm(Pcm(16, 2, 44100), 0.1, {440}, 0.5);
  PcmFields noChannels = Pcm(16, 2, 44100);
  noChannels.channelCount = 0;
  PcmFields noAlignment = Pcm(16, 2, 44100);
  noAlignment.blockAlignment = 0;
  PcmFields wideAlignment = Pcm(16, 2, 44100);
  wideAlignment.blockAlignment = 513;
  PcmFields adpcm = Pcm(4, 2, 44100);
  adpcm.formatTag = 2;
  adpcm.blockAlignment = 512;
  PcmFields floating = Pcm(32, 2, 44100);
  floating.formatTag = 3;
  const std::u16string noSetUp = u"このチャンネル数とサンプリング周波数はOgg Vorbisにできません";
  const std::u16string badAlignment = u"ブロックサイズが不正なWAVは変換できません";
  const std::u16string compressed = u"ADPCMなど圧縮されたWAVは変換できません";
  return {
      {"MissingSource", {}, u"ファイルを開けません"},
      {"NotAWaveFile", Bytes(100, 'x'), u"WAVファイルではありません"},
      {"Pcm24Bit", WaveFile(Pcm(24, 2, 44100), tone), u"24ビットのWAVは変換できません"},
      {"Float", WaveFile(floating, tone), u"浮動小数点のWAVは変換できません"},
      {"ZeroChannels", WaveFile(noChannels, tone), u"チャンネル数が0のWAVは変換できません"},
      {"ZeroBlockAlignment", WaveFile(noAlignment, tone), badAlignment},
      {"BlockAlignmentAbove512", WaveFile(wideAlignment, tone), badAlignment},
      {"RateWithoutEncoderSetUp", WaveFile(Pcm(16, 2, 1000000), tone), noSetUp},
      {"ChannelsWithoutEncoderSetUp", WaveFile(Pcm(8, 256, 44100), tone), noSetUp},
      {"ZeroRate", WaveFile(Pcm(16, 2, 0), tone), noSetUp},
      {"Adpcm", WaveFile(adpcm, tone), compressed},
      {"WideAdpcm", WaveFile(adpcm, tone), compressed, true},
      {"WideZeroRate", WaveFile(Pcm(24, 2, 0), tone), noSetUp, true},
      {"WideChannelsWithoutEncoderSetUp", WaveFile(Pcm(24, 256, 44100), tone),
       u"チャンネル数が多すぎるWAVは変換できません", true},
  };
}

INSTANTIATE_TEST_SUITE_P(Sources, RefusalTest, ::testing::ValuesIn(RefusalCases()),
                         [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

TEST(ConverterTest, BlockAlignmentOf512IsEncoded) {
  // The widest alignment that still fits one frame in a slice.
  PcmFields fields = Pcm(16, 2, 44100);
  fields.blockAlignment = 512;
  ScratchFolder folder;
  ASSERT_TRUE(folder.Write("in.wav", WaveFile(fields, SinePcm(Pcm(16, 2, 44100), 0.1, {440}, 0.5))));
  ASSERT_TRUE(WavToOggConverter().Convert(folder.Text("in.wav"), folder.Text("out.ogg")));
  EXPECT_EQ(DecodeOgg(folder.Path("out.ogg")).frames, 4410);
}

TEST(ConverterTest, UnopenableDestinationLeavesNothing) {
  ScratchFolder folder;
  const PcmFields fields = Pcm(16, 1, 22050);
  ASSERT_TRUE(folder.Write("in.wav", WaveFile(fields, SinePcm(fields, 0.1, {440}, 0.5))));
  WavToOggConverter converter;
  EXPECT_FALSE(converter.Convert(folder.Text("in.wav"), folder.Text("no-such-folder/out.ogg")));
  EXPECT_FALSE(folder.Exists("no-such-folder"));
  EXPECT_EQ(folder.EntryCount(), 1u);
  // U+1F3B5 has no code page 932 form; the destination is made under its
  // own name all the same.
  EXPECT_TRUE(converter.Convert(folder.Text("in.wav"), folder.Text("\xF0\x9F\x8E\xB5.ogg")));
  EXPECT_TRUE(folder.Exists("\xF0\x9F\x8E\xB5.ogg"));
}

// A device that accepts the open and fails every write (ENOSPC) stands in
// for a full disk. A short stream fits the stream buffer and fails only when
// the close flushes it; a long one fails in the middle of the page writes.
TEST(ConverterTest, WritesToAFullDeviceAnswerFalse) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
  ScratchFolder folder;
  const PcmFields tiny = Pcm(8, 1, 8000);
  const PcmFields fields = Pcm(16, 2, 44100);
  ASSERT_TRUE(folder.Write("short.wav", WaveFile(tiny, SinePcm(tiny, 0.001, {440}, 0.5))));
  ASSERT_TRUE(folder.Write("long.wav", WaveFile(fields, RichPcm16(44100, 4.0))));
  WavToOggConverter converter;
  EXPECT_FALSE(converter.Convert(folder.Text("short.wav"), u"/dev/full"));
  EXPECT_FALSE(converter.Convert(folder.Text("long.wav"), u"/dev/full"));
}

// Takes every page but the `failingPage`-th (1 = the first; 0 for none),
// which fails as a full disk would.
class FailingPageSink : public OggPageSink {
 public:
  explicit FailingPageSink(int failingPage) : failingPage_(failingPage) {}
  bool WritePage(const std::uint8_t*, std::size_t, const std::uint8_t*, std::size_t) override {
    return ++pages_ != failingPage_;
  }

 private:
  int failingPage_;
  int pages_ = 0;
};

// A single failed page write, which a later close would not report, still
// fails the conversion: a header page and an audio page.
TEST(ConverterTest, OneFailedPageWriteAnswersFalse) {
  ScratchFolder folder;
  const PcmFields fields = Pcm(16, 2, 44100);
  ASSERT_TRUE(folder.Write("in.wav", WaveFile(fields, RichPcm16(44100, 1.0))));
  WavToOggConverter converter;
  for (int page : {1, 4}) {
    SCOPED_TRACE("page " + std::to_string(page));
    FailingPageSink sink(page);
    EXPECT_FALSE(converter.Encode(folder.Text("in.wav"), sink));
  }
  FailingPageSink sink(0);
  EXPECT_TRUE(converter.Encode(folder.Text("in.wav"), sink));
  EXPECT_TRUE(converter.Convert(folder.Text("in.wav"), folder.Text("out.ogg")));
}

TEST(ConverterTest, ConversionsInOneSecondShareTheSerialNumber) {
  ScratchFolder folder;
  const PcmFields fields = Pcm(16, 1, 22050);
  ASSERT_TRUE(folder.Write("a.wav", WaveFile(fields, SinePcm(fields, 0.05, {440}, 0.5))));
  ASSERT_TRUE(folder.Write("b.wav", WaveFile(fields, SinePcm(fields, 0.05, {880}, 0.5))));
  WavToOggConverter converter;
  // A second boundary may fall between the two; a few attempts find a pair
  // that did not straddle one.
  for (int attempt = 0; attempt < 5; ++attempt) {
    const std::time_t start = std::time(nullptr);
    ASSERT_TRUE(converter.Convert(folder.Text("a.wav"), folder.Text("a.ogg")));
    ASSERT_TRUE(converter.Convert(folder.Text("b.wav"), folder.Text("b.ogg")));
    if (std::time(nullptr) != start) continue;
    EXPECT_EQ(DecodeOgg(folder.Path("a.ogg")).serialNumber, DecodeOgg(folder.Path("b.ogg")).serialNumber);
    return;
  }
  GTEST_SKIP() << "every attempt straddled a second boundary";
}

TEST(ConverterTest, ConcurrentConversionsDoNotInterfere) {
  ScratchFolder folder;
  const PcmFields fields = Pcm(16, 1, 22050);
  const std::vector<double> frequencies = {300, 500, 700, 900};
  for (std::size_t i = 0; i < frequencies.size(); ++i) {
    ASSERT_TRUE(folder.Write("in" + std::to_string(i) + ".wav",
                             WaveFile(fields, SinePcm(fields, 0.5, {frequencies[i]}, 0.5))));
  }
  std::vector<int> results(frequencies.size(), 0);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < frequencies.size(); ++i) {
    threads.emplace_back([&folder, &results, i] {
      const std::string index = std::to_string(i);
      results[i] = WavToOggConverter().Convert(folder.Text("in" + index + ".wav"),
                                               folder.Text("out" + index + ".ogg"));
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (std::size_t i = 0; i < frequencies.size(); ++i) {
    SCOPED_TRACE("file " + std::to_string(i));
    EXPECT_EQ(results[i], 1);
    const DecodedStream decoded = DecodeOgg(folder.Path("out" + std::to_string(i) + ".ogg"));
    ASSERT_TRUE(decoded.opened);
    EXPECT_EQ(decoded.frames, 11025);
    EXPECT_NEAR(ZeroCrossingFrequency(decoded.samples[0], 22050), frequencies[i], frequencies[i] * 0.01);
  }
}

}  // namespace
