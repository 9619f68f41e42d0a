#include "image/bitmap_refusal.h"

#include "util/decimal.h"

namespace {

// The later header versions by their sizes: OS/2's second header (16 or 64
// bytes), the two undocumented ones (52, 56) and V4, V5.
std::u16string HeaderText(std::uint32_t headerSize) {
  switch (headerSize) {
    case 108:
      return u"V4ヘッダのBMPは変換できません";
    case 124:
      return u"V5ヘッダのBMPは変換できません";
    case 16:
    case 64:
      return u"OS/2形式のBMPは変換できません";
    default:
      return u"この形式のヘッダのBMPは変換できません";
  }
}

}  // namespace

std::u16string BitmapRefusalText(BitmapRefusal refusal, const BitmapInfo& declared) {
  switch (refusal) {
    case BitmapRefusal::None:
      return {};
    case BitmapRefusal::HeaderCut:
      return u"BMPのヘッダが途中で切れています";
    case BitmapRefusal::NotBitmap:
      return u"BMPファイルではありません";
    case BitmapRefusal::UnsupportedHeader:
      return HeaderText(declared.headerSize);
    case BitmapRefusal::UnsupportedBitCount:
      if (declared.bitCount == 0) return u"この色数のBMPは変換できません";
      return DecimalText(declared.bitCount) + u"ビットのBMPは変換できません";
    case BitmapRefusal::UnsupportedCompression:
      return u"ビットフィールドやJPEG/PNG埋め込みのBMPは変換できません";
    case BitmapRefusal::WidthNotPositive:
      return u"幅が0以下のBMPは変換できません";
    case BitmapRefusal::HeightNotPositive:
      if (declared.height < 0) return u"上下が逆のBMPは変換できません";
      return u"高さが0のBMPは変換できません";
    case BitmapRefusal::PlanesNotOne:
      return u"プレーン数が1でないBMPは変換できません";
    case BitmapRefusal::ColorTableCut:
      return u"BMPのパレットが途中で切れています";
    case BitmapRefusal::StrideTooLarge:
    case BitmapRefusal::PixelBufferTooLarge:
      return u"大きすぎるBMPは変換できません";
    case BitmapRefusal::PixelDataCut:
      return u"BMPの画素データが途中で切れています";
    case BitmapRefusal::CannotOpen:
      return u"ファイルを開けません";
    case BitmapRefusal::FileTooLarge:
      return u"ファイルが大きすぎます";
  }
  return {};
}
