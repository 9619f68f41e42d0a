#include "image/bmp_parse.h"

#include <algorithm>
#include <utility>

#include "image/rle_decoders.h"
#include "util/byte_cursor.h"

namespace {

constexpr std::uint16_t kBitmapSignature = 0x4D42;  // "BM", little-endian
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kMaxCompression = 2;  // 0 none, 1 RLE8, 2 RLE4

bool IsSupportedBitCount(std::uint16_t bitCount) {
  return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24;
}

bool ReadCoreHeader(ByteCursor& in, BitmapInfo& info) {
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  if (!in.ReadU16(width) || !in.ReadU16(height) || !in.ReadU16(info.planes) || !in.ReadU16(info.bitCount)) {
    return false;
  }
  info.width = width;
  info.height = height;
  return true;
}

bool ReadInfoHeader(ByteCursor& in, BitmapInfo& info) {
  return in.ReadI32(info.width) && in.ReadI32(info.height) && in.ReadU16(info.planes) &&
         in.ReadU16(info.bitCount) && in.ReadU32(info.compression) && in.ReadU32(info.imageSize) &&
         in.ReadI32(info.xPixelsPerMeter) && in.ReadI32(info.yPixelsPerMeter) &&
         in.ReadU32(info.colorsUsed) && in.ReadU32(info.colorsImportant);
}

// Reads the colour table of a 1-, 4- or 8-bit bitmap into 4-byte entries.
// A core header stores 2^bitCount entries of 3 bytes; an info header stores
// colorsUsed entries of 4 bytes (all 2^bitCount when it says 0). Entries
// beyond what the depth can address are skipped: no index can reach them
// and a PNG palette cannot hold them.
bool ReadColorTable(ByteCursor& in, BitmapInfo& info, std::vector<std::uint8_t>& table) {
  const bool core = info.headerSize == kCoreHeaderSize;
  const std::uint64_t addressable = 1ull << info.bitCount;
  const std::uint64_t stored = (core || info.colorsUsed == 0) ? addressable : info.colorsUsed;
  const std::uint64_t kept = std::min(stored, addressable);
  const std::size_t entrySize = core ? 3 : 4;

  table.assign(static_cast<std::size_t>(kept) * 4, 0);
  for (std::size_t i = 0; i < kept; ++i) {
    if (!in.Read(table.data() + i * 4, entrySize)) return false;
  }
  if (!in.Skip((stored - kept) * entrySize)) return false;
  info.colorsUsed = static_cast<std::uint32_t>(kept);
  return true;
}

}  // namespace

BitmapRefusal ParseBitmap(std::span<const std::uint8_t> file, BitmapInfo& infoOut,
                          std::vector<std::uint8_t>& colorTableOut, std::vector<std::uint8_t>& pixelsOut,
                          BitmapInfo* declared) {
  ByteCursor in(file);

  // File header: signature, file size, two reserved words, pixel data offset.
  std::uint16_t signature = 0;
  std::uint32_t fileSize = 0;
  std::uint32_t reserved = 0;
  std::uint32_t pixelOffset = 0;
  if (!in.ReadU16(signature)) return BitmapRefusal::HeaderCut;
  if (signature != kBitmapSignature) return BitmapRefusal::NotBitmap;
  if (!in.ReadU32(fileSize) || !in.ReadU32(reserved) || !in.ReadU32(pixelOffset)) {
    return BitmapRefusal::HeaderCut;
  }

  // Only the core and the plain info header are read; the later versions add
  // bit fields, colour spaces and embedded images this reader does not handle.
  BitmapInfo info;
  if (!in.ReadU32(info.headerSize)) return BitmapRefusal::HeaderCut;
  if (declared != nullptr) declared->headerSize = info.headerSize;
  if (info.headerSize == kCoreHeaderSize) {
    if (!ReadCoreHeader(in, info)) return BitmapRefusal::HeaderCut;
  } else if (info.headerSize == kInfoHeaderSize) {
    if (!ReadInfoHeader(in, info)) return BitmapRefusal::HeaderCut;
  } else {
    // The later versions begin with the info header's fields, so what the
    // file holds can still be named.
    ReadInfoHeader(in, info);
    if (declared != nullptr) *declared = info;
    return BitmapRefusal::UnsupportedHeader;
  }
  if (declared != nullptr) *declared = info;

  if (!IsSupportedBitCount(info.bitCount)) return BitmapRefusal::UnsupportedBitCount;
  if (info.compression > kMaxCompression) return BitmapRefusal::UnsupportedCompression;
  if (info.width <= 0) return BitmapRefusal::WidthNotPositive;
  // A negative height marks a top-down bitmap, which is not accepted.
  if (info.height <= 0) return BitmapRefusal::HeightNotPositive;
  if (info.planes != 1) return BitmapRefusal::PlanesNotOne;

  std::vector<std::uint8_t> colorTable;
  if (info.bitCount <= 8 && !ReadColorTable(in, info, colorTable)) return BitmapRefusal::ColorTableCut;

  // Rows are padded to 4 bytes. The stride is bounded before the product is
  // taken, so neither can overflow.
  const std::uint64_t stride = (static_cast<std::uint64_t>(info.width) * info.bitCount + 31) / 32 * 4;
  if (stride > kMaxBitmapPixelBytes) return BitmapRefusal::StrideTooLarge;
  const std::uint64_t imageBytes = stride * static_cast<std::uint64_t>(info.height);
  if (imageBytes > kMaxBitmapPixelBytes) return BitmapRefusal::PixelBufferTooLarge;

  // The pixel data normally follows the colour table, but the file header may
  // place it further on: after an optional palette of a 16- or 24-bit file,
  // or after a gap. An offset that points back into the headers or outside
  // the file is not trusted.
  if (pixelOffset >= in.Position() && pixelOffset < in.Size()) in.SeekTo(pixelOffset);

  std::vector<std::uint8_t> pixels;
  if (info.compression == 0) {
    if (in.Remaining() < imageBytes) return BitmapRefusal::PixelDataCut;
    pixels.resize(static_cast<std::size_t>(imageBytes));
    in.Read(pixels.data(), pixels.size());
  } else {
    // The compressed stream runs to the end of the file; its size field in the
    // header is not trusted. Whatever the stream holds is decoded.
    std::span<const std::uint8_t> compressed;
    in.Take(in.Remaining(), compressed);
    pixels.resize(static_cast<std::size_t>(imageBytes));
    if (info.compression == 1) {
      DecodeRle8(pixels, compressed, info.width, info.height);
    } else {
      DecodeRle4(pixels, compressed, info.width, info.height);
    }
  }

  info.imageSize = static_cast<std::uint32_t>(imageBytes);
  info.rowStride = static_cast<std::int32_t>(stride);
  infoOut = info;
  colorTableOut = std::move(colorTable);
  pixelsOut = std::move(pixels);
  return BitmapRefusal::None;
}
