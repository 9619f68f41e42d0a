#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "image/bitmap_refusal.h"
#include "image/bmp_reader.h"

// The reading rules of ReadBitmapFile for a file already in memory. On
// acceptance the out-parameters are filled as ReadBitmapFile describes; on a
// refusal they are left as they were. `declared`, when given, receives the
// header fields as far as they were read, whether or not the file is taken.
BitmapRefusal ParseBitmap(std::span<const std::uint8_t> file, BitmapInfo& info,
                          std::vector<std::uint8_t>& colorTable, std::vector<std::uint8_t>& pixels,
                          BitmapInfo* declared = nullptr);
