#include "audio/wave_refusal.h"

#include "util/decimal.h"

namespace {

constexpr std::uint16_t kPcmFormatTag = 1;
constexpr std::uint16_t kFloatFormatTag = 3;
constexpr std::uint16_t kExtensibleFormatTag = 0xFFFE;

// A format tag the reader does not take. Float and the extensible layout
// are refused only by the strict rules, so they get their own words.
std::u16string FormatTagText(std::uint16_t formatTag) {
  switch (formatTag) {
    case kFloatFormatTag:
      return u"浮動小数点のWAVは変換できません";
    case kExtensibleFormatTag:
      return u"拡張形式（WAVE_FORMAT_EXTENSIBLE）のWAVは変換できません";
    default:
      return u"ADPCMなど圧縮されたWAVは変換できません";
  }
}

std::u16string BitDepthText(const WaveFormat& declared) {
  if (declared.bitsPerSample == 0) return u"このビット数のWAVは変換できません";
  const std::u16string kind = declared.formatTag == kFloatFormatTag ? u"ビット浮動小数点" : u"ビット";
  return DecimalText(declared.bitsPerSample) + kind + u"のWAVは変換できません";
}

}  // namespace

std::u16string WaveRefusalText(WaveRefusal refusal, const WaveFormat& declared) {
  switch (refusal) {
    case WaveRefusal::None:
      return {};
    case WaveRefusal::FileTooShort:
      return u"WAVファイルとしては短すぎます";
    case WaveRefusal::HeaderCut:
      return u"WAVのヘッダが途中で切れています";
    case WaveRefusal::NotRiff:
    case WaveRefusal::NotWave:
      return u"WAVファイルではありません";
    case WaveRefusal::RiffSizeTooSmall:
      return u"RIFFのサイズが小さすぎます";
    case WaveRefusal::FormatNotFirst:
      return u"fmtチャンクが先頭にないWAVは変換できません";
    case WaveRefusal::NoFormatChunk:
      return u"fmtチャンクがありません";
    case WaveRefusal::ChunkTooLarge:
      return u"チャンクのサイズが大きすぎます";
    case WaveRefusal::FormatChunkTooSmall:
      return u"fmtチャンクが短すぎます";
    case WaveRefusal::ChunkCut:
      return u"チャンクが途中で切れています";
    case WaveRefusal::NotPcm:
      return FormatTagText(declared.formatTag == kPcmFormatTag ? 0 : declared.formatTag);
    case WaveRefusal::ExtensionCut:
      return u"拡張形式のfmtチャンクが途中で切れています";
    case WaveRefusal::UnknownSubformat:
      return u"ADPCMなど圧縮されたWAVは変換できません";
    case WaveRefusal::UnsupportedBitDepth:
      return BitDepthText(declared);
    case WaveRefusal::NoChannels:
      return u"チャンネル数が0のWAVは変換できません";
    case WaveRefusal::BlockAlignmentMismatch:
      return u"ブロックサイズが不正なWAVは変換できません";
    case WaveRefusal::NoDataChunk:
      return u"dataチャンクがありません";
    case WaveRefusal::EmptyChunk:
      return u"空のチャンクがあるWAVは変換できません";
    case WaveRefusal::NoSamples:
      return u"WAVに音声データがありません";
    case WaveRefusal::SamplesCut:
      return u"音声データが途中で切れています";
    case WaveRefusal::CannotOpen:
      return u"ファイルを開けません";
    case WaveRefusal::FileTooLarge:
      return u"ファイルが大きすぎます";
  }
  return {};
}
