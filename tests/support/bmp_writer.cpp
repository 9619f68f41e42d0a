#include "support/bmp_writer.h"

#include <algorithm>

std::size_t StrideOf(std::int32_t width, unsigned bitCount) {
  return (static_cast<std::size_t>(width) * bitCount + 31) / 32 * 4;
}

Bytes PackRow(const std::vector<std::uint32_t>& pixels, unsigned bitCount) {
  Bytes row(StrideOf(static_cast<std::int32_t>(pixels.size()), bitCount), 0);
  for (std::size_t x = 0; x < pixels.size(); ++x) {
    const std::uint32_t v = pixels[x];
    if (bitCount == 24) {
      row[x * 3] = static_cast<std::uint8_t>(v);
      row[x * 3 + 1] = static_cast<std::uint8_t>(v >> 8);
      row[x * 3 + 2] = static_cast<std::uint8_t>(v >> 16);
    } else if (bitCount == 16) {
      row[x * 2] = static_cast<std::uint8_t>(v);
      row[x * 2 + 1] = static_cast<std::uint8_t>(v >> 8);
    } else {
      const unsigned perByte = 8 / bitCount;
      const unsigned shift = 8 - bitCount * (x % perByte + 1);
      row[x / perByte] |= static_cast<std::uint8_t>(v << shift);
    }
  }
  return row;
}

Bytes BuildBitmap(const BitmapLayout& layout) {
  const bool core = layout.headerSize == 12;
  const std::size_t entrySize = core ? 3 : 4;
  const std::size_t headerBytes = core ? 12 : std::max<std::size_t>(layout.headerSize, 40);
  const std::size_t offset = 14 + headerBytes + layout.palette.size() * entrySize + layout.gap;
  const std::size_t fileSize = offset + layout.data.size();

  Bytes out;
  PutText(out, "BM");
  PutLe32(out, static_cast<std::uint32_t>(fileSize));
  PutLe32(out, 0);
  PutLe32(out, layout.pixelOffset.value_or(static_cast<std::uint32_t>(offset)));
  PutLe32(out, layout.headerSize);
  if (core) {
    PutLe16(out, static_cast<std::uint16_t>(layout.width));
    PutLe16(out, static_cast<std::uint16_t>(layout.height));
    PutLe16(out, layout.planes);
    PutLe16(out, layout.bitCount);
  } else {
    PutLe32(out, static_cast<std::uint32_t>(layout.width));
    PutLe32(out, static_cast<std::uint32_t>(layout.height));
    PutLe16(out, layout.planes);
    PutLe16(out, layout.bitCount);
    PutLe32(out, layout.compression);
    PutLe32(out, static_cast<std::uint32_t>(layout.data.size()));
    PutLe32(out, static_cast<std::uint32_t>(layout.xPixelsPerMeter));
    PutLe32(out, static_cast<std::uint32_t>(layout.yPixelsPerMeter));
    PutLe32(out, layout.colorsUsed);
    PutLe32(out, 0);
    out.resize(14 + headerBytes, 0);
  }
  for (std::uint32_t color : layout.palette) {
    out.push_back(static_cast<std::uint8_t>(color));
    out.push_back(static_cast<std::uint8_t>(color >> 8));
    out.push_back(static_cast<std::uint8_t>(color >> 16));
    if (!core) out.push_back(0);
  }
  out.resize(out.size() + layout.gap, 0);
  out.insert(out.end(), layout.data.begin(), layout.data.end());
  return out;
}

Bytes Bitmap24(std::int32_t width, std::int32_t height,
               const std::function<std::uint32_t(std::int32_t x, std::int32_t row)>& color) {
  BitmapLayout layout;
  layout.width = width;
  layout.height = height;
  layout.xPixelsPerMeter = 2835;
  layout.yPixelsPerMeter = 2835;
  for (std::int32_t row = 0; row < height; ++row) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width));
    for (std::int32_t x = 0; x < width; ++x) pixels[static_cast<std::size_t>(x)] = color(x, row);
    const Bytes packed = PackRow(pixels, 24);
    layout.data.insert(layout.data.end(), packed.begin(), packed.end());
  }
  return BuildBitmap(layout);
}
