#pragma once

#include <string>

// Converts one Windows bitmap to a PNG file: palette bitmaps become palette
// PNGs at their own bit depth, 16- and 24-bit bitmaps become 8-bit RGB.
// Only the image is carried over; no ancillary chunk is written.
class BmpToPngConverter {
 public:
  // True when the PNG file was written completely. False when the bitmap is
  // refused, the destination cannot be created or the write fails; a partly
  // written destination is removed. On false, `reason` (when given)
  // receives a short Japanese sentence saying why.
  bool Convert(const std::u16string& source, const std::u16string& destination,
               std::u16string* reason = nullptr) const;

  // Whether Convert would take the bitmap, read as Convert reads it; nothing
  // is written. On false `reason` says why.
  bool Accepts(const std::u16string& source, std::u16string* reason = nullptr) const;
};
