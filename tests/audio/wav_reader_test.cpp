#include "audio/wav_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "audio_test_support.h"

namespace {

struct ReaderCase {
  std::string name;
  Bytes file;
  bool accepted;
  Bytes expectedSamples;  // the delivered bytes when accepted
  PcmFields expectedFields;
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
  return {std::move(name), std::move(file), true, std::move(samples), fields};
}

ReaderCase Refuses(std::string name, Bytes file) { return {std::move(name), std::move(file), false, {}, {}}; }

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
      Refuses("EmptyFile", {}),
      Refuses("SevenBytes", {'R', 'I', 'F', 'F', 36, 0, 0}),
      Refuses("EightBytes", {'R', 'I', 'F', 'F', 36, 0, 0, 0}),
      Refuses("NotRiff", Concat({{'R', 'I', 'F', 'X'}, Bytes(plain.begin() + 4, plain.end())})),
      Refuses("NotWave", Concat({Bytes(plain.begin(), plain.begin() + 8),
                                 {'A', 'V', 'I', ' '},
                                 Bytes(plain.begin() + 12, plain.end())})),
      Refuses("RiffSizeBelow36", WithRiffSize(WaveFile(stereo, kSamples), 35)),
      Refuses("ListBeforeFormat", Riff({Chunk("LIST", {'I', 'N', 'F', 'O'}), format, data})),
      Refuses("FormatChunkBelow16Bytes",
              Riff({Chunk("fmt ", Bytes(formatBody.begin(), formatBody.begin() + 14)), data})),
      Refuses("FormatChunkSizeFrom2GiB",
              Riff({ChunkDeclaring("fmt ", 0x80000000u, FormatBody(stereo)), data})),
      Refuses("FileCutInsideFormat", Bytes(plain.begin(), plain.begin() + 30)),
      Refuses("ExtensibleTag", Riff({Chunk("fmt ", FormatBody(extensible, 24)), data})),
      Refuses("FloatTag", Riff({Chunk("fmt ", FormatBody(floating)), data})),
      Refuses("Pcm24Bit", WaveFile(Pcm(24, 2, 44100), kSamples)),
      Refuses("Pcm32Bit", WaveFile(Pcm(32, 2, 44100), kSamples)),
      Refuses("ZeroSizeChunkBeforeData", Riff({format, Chunk("fact", {}), data})),
      Refuses("EmptyDataChunk", Riff({format, Chunk("data", {})})),
      Refuses("NoDataChunk", Riff({format, Chunk("LIST", {'I', 'N', 'F', 'O'})})),
      Refuses("DataCutShort", Riff({format, ChunkDeclaring("data", 100, kSamples)})),
      Refuses("DataSizeIsFileLengthPlusOne", Riff({format, ChunkDeclaring("data", 53, kSamples)})),
      Refuses("DataEndsAtHeader", Riff({format, ChunkDeclaring("data", 44, {})})),
      Refuses("ChunkSkipPastEnd", Riff({format, ChunkDeclaring("LIST", 1000, {'I', 'N', 'F', 'O'}), data})),
      Refuses("ChunkSizeFrom2GiB", Riff({format, ChunkDeclaring("LIST", 0x80000000u, {}), data})),
      Refuses("ChunkSizeAllOnes", Riff({format, ChunkDeclaring("LIST", 0xFFFFFFFFu, {}), data})),
      Refuses("DataSizeFrom2GiB", Riff({format, ChunkDeclaring("data", 0x80000000u, kSamples)})),
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
  const bool accepted = ReadWaveFile(folder.Text("in.wav"), format, samples, length);
  ASSERT_EQ(accepted, c.accepted);
  if (!accepted) {
    EXPECT_EQ(format.sampleRate, 1234u);
    EXPECT_EQ(length, -7);
    EXPECT_EQ(samples, nullptr);
    return;
  }
  EXPECT_EQ(format.formatTag, 1);
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

TEST(ReaderPathTest, MissingFileAndUnrepresentableNameAreRefused) {
  ScratchFolder folder;
  WaveFormat format;
  std::unique_ptr<std::uint8_t[]> samples;
  std::int32_t length = 0;
  EXPECT_FALSE(ReadWaveFile(folder.Text("missing.wav"), format, samples, length));
  // U+1F3B5 has no code page 932 form, so the file cannot be named at all.
  ASSERT_TRUE(folder.Write("\xF0\x9F\x8E\xB5.wav", WaveFile(Pcm(8, 1, 22050), kSamples)));
  EXPECT_FALSE(ReadWaveFile(folder.Text("\xF0\x9F\x8E\xB5.wav"), format, samples, length));
  EXPECT_EQ(samples, nullptr);
}

}  // namespace
