#include "image_test_support.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::vector<std::uint8_t> ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

struct MemorySource {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t position;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* source = static_cast<MemorySource*>(png_get_io_ptr(png));
  if (length > source->size - source->position) png_error(png, "read past the end");
  std::memcpy(out, source->data + source->position, length);
  source->position += length;
}

void QuietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void QuietWarning(png_structp, png_const_charp) {}

// Everything the decode fills lives in the caller's frame; this frame holds
// only plain values across the setjmp.
struct DecodeTarget {
  bool expandToRgb;
  DecodedPng* png;
  std::vector<png_bytep>* rowPointers;
};

bool Decode(MemorySource* source, const DecodeTarget& target) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, source, ReadFromMemory);
  png_read_info(png, info);
  DecodedPng& out = *target.png;
  out.width = png_get_image_width(png, info);
  out.height = png_get_image_height(png, info);
  out.bitDepth = png_get_bit_depth(png, info);
  out.colorType = png_get_color_type(png, info);
  png_colorp palette = nullptr;
  int paletteSize = 0;
  if (png_get_PLTE(png, info, &palette, &paletteSize) != 0) {
    for (int i = 0; i < paletteSize; ++i) {
      out.palette.push_back(std::uint32_t{palette[i].red} << 16 | std::uint32_t{palette[i].green} << 8 |
                            palette[i].blue);
    }
  }
  if (target.expandToRgb) {
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
  }
  const png_size_t rowBytes = png_get_rowbytes(png, info);
  out.rows.assign(out.height, std::vector<std::uint8_t>(rowBytes));
  target.rowPointers->resize(out.height);
  for (std::uint32_t i = 0; i < out.height; ++i) (*target.rowPointers)[i] = out.rows[i].data();
  png_read_image(png, target.rowPointers->data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

bool DecodeFile(const std::filesystem::path& path, bool expandToRgb, DecodedPng& png) {
  const std::vector<std::uint8_t> bytes = ReadAll(path);
  if (bytes.size() < 8) return false;
  MemorySource source{bytes.data(), bytes.size(), 0};
  std::vector<png_bytep> rowPointers;
  if (!Decode(&source, DecodeTarget{expandToRgb, &png, &rowPointers})) return false;
  // Chunk list: after the 8-byte signature, length, type, data and CRC each.
  std::size_t at = 8;
  while (at + 8 <= bytes.size()) {
    const std::uint32_t length = std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
                                 std::uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
    png.chunks.emplace_back(reinterpret_cast<const char*>(bytes.data() + at + 4), 4);
    at += 12 + static_cast<std::size_t>(length);
  }
  return true;
}

}  // namespace

bool ReadPng(const std::filesystem::path& path, DecodedPng& png) {
  png = DecodedPng();
  return DecodeFile(path, /*expandToRgb=*/false, png);
}

bool ReadPngAsRgb(const std::filesystem::path& path, std::uint32_t& width, std::uint32_t& height,
                  std::vector<std::uint8_t>& rgb) {
  DecodedPng png;
  if (!DecodeFile(path, /*expandToRgb=*/true, png)) return false;
  width = png.width;
  height = png.height;
  rgb.clear();
  for (const auto& row : png.rows) rgb.insert(rgb.end(), row.begin(), row.begin() + png.width * 3);
  return true;
}

std::uint32_t SampleAt(const std::vector<std::uint8_t>& row, int bitDepth, std::uint32_t x) {
  const unsigned perByte = 8 / static_cast<unsigned>(bitDepth);
  const unsigned shift = 8 - static_cast<unsigned>(bitDepth) * (x % perByte + 1);
  return (row[x / perByte] >> shift) & ((1u << bitDepth) - 1);
}
