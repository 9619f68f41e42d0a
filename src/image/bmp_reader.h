#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The values of a Windows bitmap's 40-byte info header, in its field order,
// followed by the row stride of the delivered pixel buffer. A file with the
// 12-byte core header has 0 in the fields that header lacks.
struct BitmapInfo {
  std::uint32_t headerSize = 0;       // 12 or 40
  std::int32_t width = 0;             // pixels, above 0
  std::int32_t height = 0;            // pixels, above 0; rows are stored bottom row first
  std::uint16_t planes = 0;           // 1
  std::uint16_t bitCount = 0;         // 1, 4, 8, 16 or 24
  std::uint32_t compression = 0;      // 0 none, 1 RLE8, 2 RLE4
  std::uint32_t imageSize = 0;        // rowStride * height: the size of the pixel buffer
  std::int32_t xPixelsPerMeter = 0;   // as in the file, unused
  std::int32_t yPixelsPerMeter = 0;   // as in the file, unused
  std::uint32_t colorsUsed = 0;       // 1, 4, 8 bits: entries in the colour table delivered
  std::uint32_t colorsImportant = 0;  // as in the file, unused
  std::int32_t rowStride = 0;         // bytes per row, a multiple of 4
};

// The largest pixel buffer a bitmap may need. Song images are a few MiB at
// most; the bound keeps a forged header from making the converter (pixel
// buffer, PNG rows and the library's own buffers together) ask for gigabytes.
inline constexpr std::uint64_t kMaxBitmapPixelBytes = 256ull << 20;

// Reads a bitmap file. On success `info` is filled, `colorTable` holds
// info.colorsUsed entries of 4 bytes (blue, green, red, reserved) for 1, 4
// and 8 bits and is empty otherwise, and `pixels` holds info.imageSize bytes:
// the rows bottom row first, each padded to rowStride, in the bitmap's own
// pixel layout. False when the file cannot be read or is not a bitmap this
// reader accepts; the out-parameters are then left as they were.
bool ReadBitmapFile(const std::u16string& source, BitmapInfo& info, std::vector<std::uint8_t>& colorTable,
                    std::vector<std::uint8_t>& pixels);

enum class BitmapRefusal;

// The same, telling why a file was not read: `refusal` is BitmapRefusal::None
// on success and the failed check otherwise; `declared` receives the header
// fields as stored, as far as they were read (see BitmapRefusalText).
bool ReadBitmapFile(const std::u16string& source, BitmapInfo& info, std::vector<std::uint8_t>& colorTable,
                    std::vector<std::uint8_t>& pixels, BitmapRefusal& refusal, BitmapInfo& declared);
