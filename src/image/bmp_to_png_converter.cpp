#include "image/bmp_to_png_converter.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

#include "image/bitmap_refusal.h"
#include "image/bmp_reader.h"
#include "util/file_system.h"

namespace {

// What libpng needs for one image, as plain values and pointers: the frame
// that calls setjmp must hold nothing with a destructor, because a longjmp
// back into it skips destructors.
struct PngImage {
  png_uint_32 width;
  png_uint_32 height;
  int bitDepth;
  int colorType;
  const png_color* palette;  // null for RGB
  int paletteSize;
  png_bytepp rows;  // height entries, top row first
};

// libpng would print its messages to stderr; a run reports a failed file
// through its result alone. An error handler must not return, so it jumps
// back to the recovery point in WritePng.
void JumpToRecoveryPoint(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void IgnoreWarning(png_structp, png_const_charp) {}

// The one place that calls libpng. Any error the library raises (a failed
// write, a limit it enforces) lands at the setjmp and ends the call with
// false after the library's records are destroyed. Compression level and row
// filters are left at the library's defaults.
bool WritePng(std::FILE* file, const PngImage& image) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, JumpToRecoveryPoint, IgnoreWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, image.width, image.height, image.bitDepth, image.colorType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (image.palette != nullptr) png_set_PLTE(png, info, image.palette, image.paletteSize);
  png_write_info(png, info);
  png_write_image(png, image.rows);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

// The largest colour index any pixel uses; the padding at the end of a row
// is not looked at.
unsigned LargestIndex(const BitmapInfo& info, const std::vector<std::uint8_t>& pixels) {
  const unsigned bits = info.bitCount;
  const unsigned mask = (1u << bits) - 1;
  const unsigned perByte = 8 / bits;
  unsigned largest = 0;
  for (std::int32_t row = 0; row < info.height; ++row) {
    const std::uint8_t* p = pixels.data() + static_cast<std::size_t>(row) * info.rowStride;
    if (bits == 8) {
      largest = std::max<unsigned>(largest, *std::max_element(p, p + info.width));
      continue;
    }
    for (std::int32_t x = 0; x < info.width; ++x) {
      const unsigned shift = 8 - bits * (x % perByte + 1);
      largest = std::max(largest, (p[x / perByte] >> shift) & mask);
    }
  }
  return largest;
}

// The PNG palette: red, green, blue of each colour table entry (stored blue,
// green, red, reserved). A table shorter than the indices the pixels use is
// padded with black up to the largest index, since a PNG decoder rejects an
// index past the palette.
std::vector<png_color> BuildPalette(const BitmapInfo& info, const std::vector<std::uint8_t>& colorTable,
                                    const std::vector<std::uint8_t>& pixels) {
  const unsigned addressable = 1u << info.bitCount;
  unsigned size = info.colorsUsed;
  if (size < addressable) size = std::max(size, LargestIndex(info, pixels) + 1);
  std::vector<png_color> palette(size, png_color{0, 0, 0});
  for (std::size_t i = 0; i < info.colorsUsed; ++i) {
    palette[i] = png_color{colorTable[i * 4 + 2], colorTable[i * 4 + 1], colorTable[i * 4]};
  }
  return palette;
}

// 16- and 24-bit rows become 8-bit RGB, top row first. A 16-bit pixel is a
// little-endian 5-5-5 value (top bit unused); each component lands in the
// top five bits of its byte, so 31 becomes 248.
std::vector<std::uint8_t> BuildRgbImage(const BitmapInfo& info, const std::vector<std::uint8_t>& pixels) {
  const std::size_t width = static_cast<std::size_t>(info.width);
  const std::size_t height = static_cast<std::size_t>(info.height);
  std::vector<std::uint8_t> rgb(width * 3 * height);
  for (std::size_t i = 0; i < height; ++i) {
    const std::uint8_t* src = pixels.data() + (height - 1 - i) * static_cast<std::size_t>(info.rowStride);
    std::uint8_t* dst = rgb.data() + i * width * 3;
    if (info.bitCount == 24) {
      for (std::size_t x = 0; x < width; ++x, src += 3, dst += 3) {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
      }
    } else {
      for (std::size_t x = 0; x < width; ++x, src += 2, dst += 3) {
        const unsigned v = src[0] | src[1] << 8;
        dst[0] = static_cast<std::uint8_t>((v >> 7) & 0xF8);
        dst[1] = static_cast<std::uint8_t>((v >> 2) & 0xF8);
        dst[2] = static_cast<std::uint8_t>((v << 3) & 0xF8);
      }
    }
  }
  return rgb;
}

bool Refuse(std::u16string* reason, std::u16string text) {
  if (reason != nullptr) *reason = std::move(text);
  return false;
}

}  // namespace

bool BmpToPngConverter::Accepts(const std::u16string& source, std::u16string* reason) const {
  BitmapInfo info;
  std::vector<std::uint8_t> colorTable;
  std::vector<std::uint8_t> pixels;
  BitmapRefusal refusal = BitmapRefusal::None;
  BitmapInfo declared;
  if (ReadBitmapFile(source, info, colorTable, pixels, refusal, declared)) return true;
  return Refuse(reason, BitmapRefusalText(refusal, declared));
}

bool BmpToPngConverter::Convert(const std::u16string& source, const std::u16string& destination,
                                std::u16string* reason) const {
  BitmapInfo info;
  std::vector<std::uint8_t> colorTable;
  std::vector<std::uint8_t> pixels;
  BitmapRefusal refusal = BitmapRefusal::None;
  BitmapInfo declared;
  if (!ReadBitmapFile(source, info, colorTable, pixels, refusal, declared)) {
    return Refuse(reason, BitmapRefusalText(refusal, declared));
  }

  std::FILE* file = OpenFile(destination, "wb");
  if (file == nullptr) return Refuse(reason, u"書き込めません");

  const std::size_t height = static_cast<std::size_t>(info.height);
  std::vector<png_bytep> rows(height);
  std::vector<png_color> palette;
  std::vector<std::uint8_t> rgb;
  PngImage image{.width = static_cast<png_uint_32>(info.width),
                 .height = static_cast<png_uint_32>(info.height),
                 .bitDepth = 8,
                 .colorType = PNG_COLOR_TYPE_RGB,
                 .palette = nullptr,
                 .paletteSize = 0,
                 .rows = rows.data()};
  if (info.bitCount <= 8) {
    // The bitmap packs pixels as PNG does (leftmost in the high bits), so its
    // rows are handed over as they stand, padding included; the library takes
    // the bytes the width needs.
    palette = BuildPalette(info, colorTable, pixels);
    image.bitDepth = info.bitCount;
    image.colorType = PNG_COLOR_TYPE_PALETTE;
    image.palette = palette.data();
    image.paletteSize = static_cast<int>(palette.size());
    for (std::size_t i = 0; i < height; ++i) {
      rows[i] = pixels.data() + (height - 1 - i) * static_cast<std::size_t>(info.rowStride);
    }
  } else {
    rgb = BuildRgbImage(info, pixels);
    // Only one copy of the image stays alive while it is compressed.
    std::vector<std::uint8_t>().swap(pixels);
    const std::size_t rowBytes = static_cast<std::size_t>(info.width) * 3;
    for (std::size_t i = 0; i < height; ++i) rows[i] = rgb.data() + i * rowBytes;
  }

  bool written = WritePng(file, image);
  if (std::fclose(file) != 0) written = false;
  if (written) return true;
  RemoveFile(destination);
  return Refuse(reason, u"書き込めません");
}
