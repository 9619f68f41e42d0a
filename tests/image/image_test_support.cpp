#include "image_test_support.h"

#include <png.h>

#include <algorithm>
#include <atomic>
#include <csetjmp>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace {

void PutU16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}

std::vector<std::uint8_t> ReadAll(const std::string& path) {
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

bool DecodeFile(const std::string& path, bool expandToRgb, DecodedPng& png) {
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

std::size_t StrideOf(std::int32_t width, unsigned bitCount) {
  return (static_cast<std::size_t>(width) * bitCount + 31) / 32 * 4;
}

std::vector<std::uint8_t> PackRow(const std::vector<std::uint32_t>& pixels, unsigned bitCount) {
  std::vector<std::uint8_t> row(StrideOf(static_cast<std::int32_t>(pixels.size()), bitCount), 0);
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

std::vector<std::uint8_t> BuildBitmap(const BitmapLayout& layout) {
  const bool core = layout.headerSize == 12;
  const std::size_t entrySize = core ? 3 : 4;
  const std::size_t headerBytes = core ? 12 : std::max<std::size_t>(layout.headerSize, 40);
  const std::size_t offset = 14 + headerBytes + layout.palette.size() * entrySize + layout.gap;
  const std::size_t fileSize = offset + layout.data.size();

  std::vector<std::uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  PutU32(out, static_cast<std::uint32_t>(fileSize));
  PutU32(out, 0);
  PutU32(out, layout.pixelOffset.value_or(static_cast<std::uint32_t>(offset)));
  PutU32(out, layout.headerSize);
  if (core) {
    PutU16(out, static_cast<std::uint32_t>(layout.width));
    PutU16(out, static_cast<std::uint32_t>(layout.height));
    PutU16(out, layout.planes);
    PutU16(out, layout.bitCount);
  } else {
    PutU32(out, static_cast<std::uint32_t>(layout.width));
    PutU32(out, static_cast<std::uint32_t>(layout.height));
    PutU16(out, layout.planes);
    PutU16(out, layout.bitCount);
    PutU32(out, layout.compression);
    PutU32(out, static_cast<std::uint32_t>(layout.data.size()));
    PutU32(out, static_cast<std::uint32_t>(layout.xPixelsPerMeter));
    PutU32(out, static_cast<std::uint32_t>(layout.yPixelsPerMeter));
    PutU32(out, layout.colorsUsed);
    PutU32(out, 0);
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

bool ReadPng(const std::string& path, DecodedPng& png) {
  png = DecodedPng();
  return DecodeFile(path, /*expandToRgb=*/false, png);
}

bool ReadPngAsRgb(const std::string& path, std::uint32_t& width, std::uint32_t& height,
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

void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) { return std::filesystem::exists(path); }

TempFolder::TempFolder() {
  static std::atomic<unsigned> counter{0};
  std::random_device seed;
  const auto base = std::filesystem::temp_directory_path();
  for (;;) {
    const auto candidate =
        base / ("hoshibako-image-" + std::to_string(seed()) + "-" + std::to_string(counter++));
    if (std::filesystem::create_directory(candidate)) {
      root_ = candidate.generic_string();
      return;
    }
  }
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}
