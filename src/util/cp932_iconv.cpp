// Code page 932 on POSIX. glibc's iconv converter "CP932" follows Microsoft's
// table (0x5C and 0x7E stay ASCII, NEC row 13 and the IBM extensions decode,
// duplicates encode to their preferred code), so the tables are filled from
// it once.

#include <iconv.h>

#include "util/cp932_tables.h"

namespace {

// Converts the whole input with iconv; the number of bytes written, or 0 when
// the input did not convert in full.
std::size_t Convert(iconv_t cd, const char* in, std::size_t inLength, char* out, std::size_t outLength) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* inPtr = const_cast<char*>(in);
  char* outPtr = out;
  std::size_t inLeft = inLength;
  std::size_t outLeft = outLength;
  if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) {
    return 0;
  }
  // Flush any shift state (none for this code page, but keep iconv honest).
  if (iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) return 0;
  return outLength - outLeft;
}

}  // namespace

bool FillCp932TablesFromPlatform(Cp932Tables& tables) {
  iconv_t decoder = iconv_open("UTF-16LE", "CP932");
  iconv_t encoder = iconv_open("CP932", "UTF-16LE");
  const iconv_t none = reinterpret_cast<iconv_t>(-1);
  if (decoder == none || encoder == none) {
    if (decoder != none) iconv_close(decoder);
    if (encoder != none) iconv_close(encoder);
    return false;
  }
  Cp932Converter converter;
  // Exactly one UTF-16 unit, or no character.
  converter.decode = [decoder](const char* bytes, std::size_t length, char16_t& unit) {
    unsigned char out[8];
    if (Convert(decoder, bytes, length, reinterpret_cast<char*>(out), sizeof out) != 2) return false;
    unit = static_cast<char16_t>(out[0] | (out[1] << 8));
    return true;
  };
  converter.encode = [encoder](char16_t unit, unsigned char* bytes, std::size_t capacity) {
    const unsigned char in[2] = {static_cast<unsigned char>(unit & 0xFF),
                                 static_cast<unsigned char>(unit >> 8)};
    return Convert(encoder, reinterpret_cast<const char*>(in), 2, reinterpret_cast<char*>(bytes), capacity);
  };
  FillCp932Tables(tables, converter);
  iconv_close(decoder);
  iconv_close(encoder);
  return true;
}
