#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "image/bmp_reader.h"

// Why the bitmap parser refused a file, one value per check, in the order the
// checks are made. The program only needs the yes or no of ReadBitmapFile;
// the reason lets the tests and the fuzz target tell which check fired.
enum class BitmapRefusal {
  None,                    // accepted
  HeaderCut,               // the file ends inside the file header or the bitmap header
  NotBitmap,               // the signature is not "BM"
  UnsupportedHeader,       // a header size other than 12 (core) or 40 (info)
  UnsupportedBitCount,     // not 1, 4, 8, 16 or 24 bits per pixel
  UnsupportedCompression,  // above 2 (RLE4): bit fields, embedded images
  WidthNotPositive,        // zero or negative width
  HeightNotPositive,       // zero height, or a negative one that marks a top-down bitmap
  PlanesNotOne,            // a plane count other than 1
  ColorTableCut,           // the file ends inside the colour table
  StrideTooLarge,          // one row alone is beyond the pixel buffer bound
  PixelBufferTooLarge,     // all rows together are beyond the pixel buffer bound
  PixelDataCut,            // the file ends inside uncompressed pixel data
};

// The reading rules of ReadBitmapFile for a file already in memory. On
// acceptance the out-parameters are filled as ReadBitmapFile describes; on a
// refusal they are left as they were.
BitmapRefusal ParseBitmap(std::span<const std::uint8_t> file, BitmapInfo& info,
                          std::vector<std::uint8_t>& colorTable, std::vector<std::uint8_t>& pixels);
