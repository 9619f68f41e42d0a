#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Builders for bitmap files and a libpng-based reader for the PNG files the
// converter writes, shared by the image tests.

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
  std::vector<std::uint8_t> data;
};

std::vector<std::uint8_t> BuildBitmap(const BitmapLayout& layout);

// Bytes per stored row at `bitCount` bits per pixel, padded to 4.
std::size_t StrideOf(std::int32_t width, unsigned bitCount);

// Packs one row of pixel values (palette indices, or 0xRRGGBB for 24 bits,
// or the raw 16-bit value) into a padded bitmap row.
std::vector<std::uint8_t> PackRow(const std::vector<std::uint32_t>& pixels, unsigned bitCount);

struct DecodedPng {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  int bitDepth = 0;
  int colorType = 0;
  std::vector<std::uint32_t> palette;  // 0xRRGGBB
  // Raw rows as stored in the PNG (packed samples), top row first.
  std::vector<std::vector<std::uint8_t>> rows;
  // Chunk types in file order.
  std::vector<std::string> chunks;
};

// Reads a PNG file with libpng without transformations. False when libpng
// refuses it.
bool ReadPng(const std::string& path, DecodedPng& png);

// Reads a PNG file expanded to 8-bit RGB (palette, grey and alpha removed).
bool ReadPngAsRgb(const std::string& path, std::uint32_t& width, std::uint32_t& height,
                  std::vector<std::uint8_t>& rgb);

// The sample at column x of a packed PNG row of the given bit depth.
std::uint32_t SampleAt(const std::vector<std::uint8_t>& row, int bitDepth, std::uint32_t x);

void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
bool FileExists(const std::string& path);

// A temporary folder removed on destruction.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  std::string Path(const std::string& name) const { return root_ + "/" + name; }

 private:
  std::string root_;
};
