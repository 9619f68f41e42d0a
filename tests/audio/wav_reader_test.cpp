#include "audio/wav_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "audio/wav_parse.h"
#include "audio_test_support.h"

namespace {

struct ReaderCase {
  std::string name;
  Bytes file;
  bool accepted;
  WaveRefusal reason;     // the check that refuses the file, None when accepted
  Bytes expectedSamples;  // the delivered bytes when accepted
  PcmFields expectedFields;
  WaveReadMode mode = WaveReadMode::Strict;
};

void PrintTo(const ReaderCase& c, std::ostream* out) { *out << c.name; }

const Bytes kSamples = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};

Bytes WithRiffSize(Bytes file, std::uint32_t size) {
  for (int i = 0; i < 4; ++i) file[4 + i] = static_cast<std::uint8_t>(size >> (8 * i));
  return file;
}

Bytes Concat(std::vector<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

ReaderCase Accepts(std::string name, Bytes file, PcmFields fields, Bytes samples = kSamples) {
  return {std::move(name), std::move(file), true, WaveRefusal::None, std::move(samples), fields};
}

ReaderCase Refuses(std::string name, Bytes file, WaveRefusal reason) {
  return {std::move(name), std::move(file), false, reason, {}, {}};
}

ReaderCase Wide(ReaderCase c) {
  c.mode = WaveReadMode::Wide;
  return c;
}

PcmFields Float(std::uint16_t bitsPerSample, std::uint16_t channelCount, std::uint32_t sampleRate) {
  PcmFields fields = Pcm(bitsPerSample, channelCount, sampleRate);
  fields.formatTag = 3;
  return fields;
}

std::vector<ReaderCase> ReaderCases() {
  const PcmFields stereo = Pcm(16, 2, 44100);
  const PcmFields mono8 = Pcm(8, 1, 22050);
  const Bytes format = Chunk("fmt ", FormatBody(stereo));
  const Bytes data = Chunk("data", kSamples);
  PcmFields extensible = stereo;
  extensible.formatTag = 0xFFFE;
  PcmFields floating = Pcm(32, 2, 44100);
  floating.formatTag = 3;
  const PcmFields odd = Pcm(8, 6, 7777);
  const PcmFields pcm24 = Pcm(24, 2, 48000);
  const PcmFields pcm32 = Pcm(32, 1, 44100);
  const PcmFields float32 = Float(32, 2, 44100);
  const PcmFields float64 = Float(64, 1, 96000);
  PcmFields adpcm = Pcm(4, 1, 22050);
  adpcm.formatTag = 2;
  adpcm.blockAlignment = 256;
  PcmFields noChannels = pcm24;
  noChannels.channelCount = 0;
  PcmFields looseAlignment = pcm24;
  looseAlignment.blockAlignment = 4;
  PcmFields strictLoose = stereo;  // fields the strict rules leave unchecked
  strictLoose.channelCount = 0;
  strictLoose.blockAlignment = 6;
  const Bytes junk = Chunk("JUNK", Bytes(28, 0));

  const Bytes plain = WaveFile(stereo, kSamples);
  const Bytes formatBody = FormatBody(stereo);
  // The data chunk declares the length of the whole file: 12 + 24 + 8 + 8.
  const Bytes sizedAsFile = Riff({format, ChunkDeclaring("data", 52, kSamples)});

  std::vector<ReaderCase> cases = {
      Accepts("Plain16BitStereo", WaveFile(stereo, kSamples), stereo),
      Accepts("Plain8BitMono", WaveFile(mono8, kSamples), mono8),
      Accepts("AnyChannelCountAndRate", WaveFile(odd, kSamples), odd),
      Accepts("FormatChunkOf18Bytes", Riff({Chunk("fmt ", FormatBody(stereo, 2)), data}), stereo),
      Accepts("FormatChunkOf40Bytes", Riff({Chunk("fmt ", FormatBody(stereo, 24)), data}), stereo),
      Accepts("FormatChunkOfOddSizeWithPad", Riff({Chunk("fmt ", FormatBody(stereo, 1)), data}), stereo),
      Accepts("OddFactChunkBeforeData", Riff({format, Chunk("fact", {1, 2, 3}), data}), stereo),
      Accepts("OddListChunkBeforeData", Riff({format, Chunk("LIST", {'I', 'N', 'F', 'O', 'x'}), data}),
              stereo),
      Accepts("OddDataChunk", Riff({format, Chunk("data", {9, 8, 7})}), stereo, {9, 8, 7}),
      Accepts("ChunksAfterDataIgnored",
              Concat({Riff({format, data}), ChunkDeclaring("LIST", 0x7FFFFFFF, {'x'})}), stereo),
      Accepts("RiffSizeOf36", WithRiffSize(WaveFile(stereo, kSamples), 36), stereo),
      Accepts("RiffSizeBeyondFile", WithRiffSize(WaveFile(stereo, kSamples), 100000), stereo),
      Accepts("DataSizeIsFileLength", sizedAsFile, stereo),
      Refuses("EmptyFile", {}, WaveRefusal::FileTooShort),
      Refuses("SevenBytes", {'R', 'I', 'F', 'F', 36, 0, 0}, WaveRefusal::FileTooShort),
      Refuses("EightBytes", {'R', 'I', 'F', 'F', 36, 0, 0, 0}, WaveRefusal::HeaderCut),
      Refuses("NotRiff", Concat({{'R', 'I', 'F', 'X'}, Bytes(plain.begin() + 4, plain.end())}),
              WaveRefusal::NotRiff),
      Refuses("NotWave",
              Concat({Bytes(plain.begin(), plain.begin() + 8),
                      {'A', 'V', 'I', ' '},
                      Bytes(plain.begin() + 12, plain.end())}),
              WaveRefusal::NotWave),
      Refuses("RiffSizeBelow36", WithRiffSize(WaveFile(stereo, kSamples), 35), WaveRefusal::RiffSizeTooSmall),
      Refuses("ListBeforeFormat", Riff({Chunk("LIST", {'I', 'N', 'F', 'O'}), format, data}),
              WaveRefusal::FormatNotFirst),
      Refuses("FormatChunkBelow16Bytes",
              Riff({Chunk("fmt ", Bytes(formatBody.begin(), formatBody.begin() + 14)), data}),
              WaveRefusal::FormatChunkTooSmall),
      Refuses("FormatChunkSizeFrom2GiB",
              Riff({ChunkDeclaring("fmt ", 0x80000000u, FormatBody(stereo)), data}),
              WaveRefusal::ChunkTooLarge),
      Refuses("FileCutInsideFormat", Bytes(plain.begin(), plain.begin() + 30), WaveRefusal::HeaderCut),
      Refuses("ExtensibleTag", Riff({Chunk("fmt ", FormatBody(extensible, 24)), data}), WaveRefusal::NotPcm),
      Refuses("FloatTag", Riff({Chunk("fmt ", FormatBody(floating)), data}), WaveRefusal::NotPcm),
      Refuses("Pcm24Bit", WaveFile(Pcm(24, 2, 44100), kSamples), WaveRefusal::UnsupportedBitDepth),
      Refuses("Pcm32Bit", WaveFile(Pcm(32, 2, 44100), kSamples), WaveRefusal::UnsupportedBitDepth),
      Refuses("ZeroSizeChunkBeforeData", Riff({format, Chunk("fact", {}), data}), WaveRefusal::EmptyChunk),
      Refuses("EmptyDataChunk", Riff({format, Chunk("data", {})}), WaveRefusal::EmptyChunk),
      Refuses("NoDataChunk", Riff({format, Chunk("LIST", {'I', 'N', 'F', 'O'})}), WaveRefusal::NoDataChunk),
      Refuses("DataCutShort", Riff({format, ChunkDeclaring("data", 100, kSamples)}), WaveRefusal::SamplesCut),
      Refuses("DataSizeIsFileLengthPlusOne", Riff({format, ChunkDeclaring("data", 53, kSamples)}),
              WaveRefusal::SamplesCut),
      Refuses("DataEndsAtHeader", Riff({format, ChunkDeclaring("data", 44, {})}), WaveRefusal::NoSamples),
      Refuses("ChunkSkipPastEnd", Riff({format, ChunkDeclaring("LIST", 1000, {'I', 'N', 'F', 'O'}), data}),
              WaveRefusal::ChunkCut),
      Refuses("ChunkSizeFrom2GiB", Riff({format, ChunkDeclaring("LIST", 0x80000000u, {}), data}),
              WaveRefusal::ChunkTooLarge),
      Refuses("ChunkSizeAllOnes", Riff({format, ChunkDeclaring("LIST", 0xFFFFFFFFu, {}), data}),
              WaveRefusal::ChunkTooLarge),
      Refuses("DataSizeFrom2GiB", Riff({format, ChunkDeclaring("data", 0x80000000u, kSamples)}),
              WaveRefusal::ChunkTooLarge),
      Refuses("Float64Bit", WaveFile(float64, kSamples), WaveRefusal::NotPcm),
      Refuses("ExtensiblePcm24Bit", Riff({Chunk("fmt ", ExtensibleFormatBody(pcm24)), data}),
              WaveRefusal::NotPcm),
      Refuses("ExtensibleFloat", Riff({Chunk("fmt ", ExtensibleFormatBody(float32)), data}),
              WaveRefusal::NotPcm),
      Refuses("JunkBeforeFormat", Riff({junk, format, data}), WaveRefusal::FormatNotFirst),
      Refuses("Adpcm", WaveFile(adpcm, kSamples), WaveRefusal::NotPcm),

      // The wide mode takes what the strict one does, and more.
      Wide(Accepts("WidePlain16BitStereo", plain, stereo)),
      Wide(Accepts("WideKeepsStrictUncheckedFields", WaveFile(strictLoose, kSamples), strictLoose)),
      Wide(Accepts("WidePcm24Bit", WaveFile(pcm24, kSamples), pcm24)),
      Wide(Accepts("WidePcm32Bit", WaveFile(pcm32, kSamples), pcm32)),
      Wide(Accepts("WideFloat32Bit", WaveFile(float32, kSamples), float32)),
      Wide(Accepts("WideFloat64Bit", WaveFile(float64, kSamples), float64)),
      Wide(
          Accepts("WideExtensiblePcm24Bit", Riff({Chunk("fmt ", ExtensibleFormatBody(pcm24)), data}), pcm24)),
      Wide(Accepts("WideExtensibleFloat", Riff({Chunk("fmt ", ExtensibleFormatBody(float32)), data}),
                   float32)),
      Wide(Accepts("WideJunkBeforeFormat", Riff({junk, format, data}), stereo)),
      Wide(Accepts("WideOddListAndBextBeforeFormat",
                   Riff({Chunk("LIST", {'I', 'N', 'F', 'O', 'x'}), Chunk("bext", Bytes(3, 1)), format, data}),
                   stereo)),
      Wide(Refuses("WideAdpcm", WaveFile(adpcm, kSamples), WaveRefusal::NotPcm)),
      Wide(Refuses("WidePcm12Bit", WaveFile(Pcm(12, 1, 44100), kSamples), WaveRefusal::UnsupportedBitDepth)),
      Wide(Refuses("WideFloat16Bit", WaveFile(Float(16, 1, 44100), kSamples),
                   WaveRefusal::UnsupportedBitDepth)),
      Wide(Refuses("WideExtensibleAdpcm", Riff({Chunk("fmt ", ExtensibleFormatBody(adpcm)), data}),
                   WaveRefusal::UnknownSubformat)),
      Wide(Refuses("WideExtensibleOtherGuid", Riff({Chunk("fmt ", FormatBody(extensible, 24)), data}),
                   WaveRefusal::UnknownSubformat)),
      Wide(Refuses("WideExtensionCut", Riff({Chunk("fmt ", FormatBody(extensible, 2)), data}),
                   WaveRefusal::ExtensionCut)),
      Wide(Refuses("WideNoChannels", WaveFile(noChannels, kSamples), WaveRefusal::NoChannels)),
      Wide(Refuses("WideBlockAlignmentMismatch", WaveFile(looseAlignment, kSamples),
                   WaveRefusal::BlockAlignmentMismatch)),
      Wide(Refuses("WideNoFormatChunk", Riff({junk, data}), WaveRefusal::NoFormatChunk)),
      Wide(Refuses("WideChunkBeforeFormatCut", Riff({ChunkDeclaring("JUNK", 1000, {0}), format, data}),
                   WaveRefusal::ChunkCut)),
  };
  return cases;
}

class ReaderTest : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(ReaderTest, AcceptsOrRefusesAsExpected) {
  const ReaderCase& c = GetParam();
  ScratchFolder folder;
  ASSERT_TRUE(folder.Write("in.wav", c.file));

  // Sentinels show that a refusal leaves the out-parameters alone.
  WaveFormat format;
  format.sampleRate = 1234;
  std::int32_t length = -7;
  std::unique_ptr<std::uint8_t[]> samples;
  const bool accepted = ReadWaveFile(folder.Text("in.wav"), format, samples, length, c.mode);
  ASSERT_EQ(accepted, c.accepted);
  // The parser names the check that decided.
  WaveFormat parsedFormat;
  std::span<const std::uint8_t> parsedSamples;
  EXPECT_EQ(ParseWave(c.file, parsedFormat, parsedSamples, c.mode), c.reason);
  if (!accepted) {
    EXPECT_EQ(format.sampleRate, 1234u);
    EXPECT_EQ(length, -7);
    EXPECT_EQ(samples, nullptr);
    return;
  }
  EXPECT_EQ(format.formatTag, c.expectedFields.formatTag);
  EXPECT_EQ(format.channelCount, c.expectedFields.channelCount);
  EXPECT_EQ(format.sampleRate, c.expectedFields.sampleRate);
  EXPECT_EQ(format.averageBytesPerSecond, c.expectedFields.sampleRate * c.expectedFields.blockAlignment);
  EXPECT_EQ(format.blockAlignment, c.expectedFields.blockAlignment);
  EXPECT_EQ(format.bitsPerSample, c.expectedFields.bitsPerSample);
  EXPECT_EQ(format.extraSize, 0);
  ASSERT_EQ(length, static_cast<std::int32_t>(c.expectedSamples.size()));
  ASSERT_NE(samples, nullptr);
  EXPECT_EQ(Bytes(samples.get(), samples.get() + length), c.expectedSamples);
}

INSTANTIATE_TEST_SUITE_P(Files, ReaderTest, ::testing::ValuesIn(ReaderCases()),
                         [](const ::testing::TestParamInfo<ReaderCase>& info) { return info.param.name; });

TEST(ReaderPathTest, MissingFileIsRefusedAndAnyNameIsRead) {
  ScratchFolder folder;
  WaveFormat format;
  std::unique_ptr<std::uint8_t[]> samples;
  std::int32_t length = 0;
  EXPECT_FALSE(ReadWaveFile(folder.Text("missing.wav"), format, samples, length));
  EXPECT_EQ(samples, nullptr);
  // U+1F3B5 has no code page 932 form; the file is read under its own name.
  ASSERT_TRUE(folder.Write("\xF0\x9F\x8E\xB5.wav", WaveFile(Pcm(8, 1, 22050), kSamples)));
  EXPECT_TRUE(ReadWaveFile(folder.Text("\xF0\x9F\x8E\xB5.wav"), format, samples, length));
}

}  // namespace
