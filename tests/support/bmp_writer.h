#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "support/bytes.h"

// Windows bitmap files byte by byte.

struct BitmapLayout {
  std::uint32_t headerSize = 40;  // 12 (core) or 40 (info); others are written as a 40-byte body
  std::int32_t width = 1;
  std::int32_t height = 1;
  std::uint16_t planes = 1;
  std::uint16_t bitCount = 24;
  std::uint32_t compression = 0;
  std::int32_t xPixelsPerMeter = 0;
  std::int32_t yPixelsPerMeter = 0;
  std::uint32_t colorsUsed = 0;
  // Colour table entries as 0xRRGGBB, written in the file's entry format.
  std::vector<std::uint32_t> palette;
  // Bytes placed between the colour table and the pixel data.
  std::size_t gap = 0;
  // Written as the file header's pixel data offset; by default the true one.
  std::optional<std::uint32_t> pixelOffset;
  // The pixel data exactly as stored: padded rows bottom first, or an RLE stream.
  Bytes data;
};

Bytes BuildBitmap(const BitmapLayout& layout);

// Bytes per stored row at `bitCount` bits per pixel, padded to 4.
std::size_t StrideOf(std::int32_t width, unsigned bitCount);

// Packs one row of pixel values (palette indices, or 0xRRGGBB for 24 bits,
// or the raw 16-bit value) into a padded bitmap row.
Bytes PackRow(const std::vector<std::uint32_t>& pixels, unsigned bitCount);

// A 24-bit bottom-up bitmap at 2835 pixels a metre (72 dpi, as paint
// programs write it), each pixel 0xRRGGBB from `color` by column and stored
// row (0 = the bottom row, which the file stores first).
Bytes Bitmap24(std::int32_t width, std::int32_t height,
               const std::function<std::uint32_t(std::int32_t x, std::int32_t row)>& color);
