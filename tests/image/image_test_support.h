#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/bmp_writer.h"
#include "support/scratch_folder.h"

// A libpng-based reader for the PNG files the converter writes, shared by
// the image tests, and the bitmap writer and scratch folder they use.

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
bool ReadPng(const std::filesystem::path& path, DecodedPng& png);

// Reads a PNG file expanded to 8-bit RGB (palette, grey and alpha removed).
bool ReadPngAsRgb(const std::filesystem::path& path, std::uint32_t& width, std::uint32_t& height,
                  std::vector<std::uint8_t>& rgb);

// The sample at column x of a packed PNG row of the given bit depth.
std::uint32_t SampleAt(const std::vector<std::uint8_t>& row, int bitDepth, std::uint32_t x);
