#pragma once

#include <string>

#include "image/bmp_reader.h"

// Why a bitmap was not read, one value per check. The parser's checks come
// first, in the order they are made; the last two are the file's own.
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
  CannotOpen,              // the file cannot be opened or read
  FileTooLarge,            // larger than any bitmap the reader accepts
};

// A short Japanese sentence for the user saying why a bitmap was not
// converted. `declared` holds the header fields as the file stores them, as
// far as they were read (ReadBitmapFile's reporting overload fills it); the
// header, depth and orientation refusals then name what the file holds
// ("V5ヘッダのBMPは…", "32ビットのBMPは…", "上下が逆のBMPは…").
std::u16string BitmapRefusalText(BitmapRefusal refusal, const BitmapInfo& declared = {});
