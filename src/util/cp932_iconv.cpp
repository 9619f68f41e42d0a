// Code page 932 on POSIX. glibc's iconv converter "CP932" follows Microsoft's
// table (0x5C and 0x7E stay ASCII, NEC row 13 and the IBM extensions decode,
// duplicates encode to their preferred code), so both directions are filled
// from it once, into flat tables that are then used without locks.

#include <iconv.h>

#include <array>
#include <cerrno>
#include <memory>

#include "util/cp932_tables.h"

namespace {

// Converts with iconv; true when the whole input converted into exactly one
// UTF-16 unit (decoding) or into at most two bytes (encoding).
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

std::unique_ptr<Cp932Tables> BuildCp932Tables() {
  auto tables = std::make_unique<Cp932Tables>();
  iconv_t decoder = iconv_open("UTF-16LE", "CP932");
  iconv_t encoder = iconv_open("CP932", "UTF-16LE");
  const iconv_t none = reinterpret_cast<iconv_t>(-1);
  if (decoder == none || encoder == none) {
    if (decoder != none) iconv_close(decoder);
    if (encoder != none) iconv_close(encoder);
    // Without the converter only ASCII is known.
    for (unsigned b = 0; b < 0x80; ++b) {
      tables->single[b] = static_cast<char16_t>(b);
      tables->encode[b] = static_cast<std::uint16_t>(b);
    }
    return tables;
  }
  const auto decodeUnit = [&](const char* bytes, std::size_t length, char16_t& unit) {
    unsigned char out[8];
    if (Convert(decoder, bytes, length, reinterpret_cast<char*>(out), sizeof out) != 2) return false;
    unit = static_cast<char16_t>(out[0] | (out[1] << 8));
    return true;
  };
  for (unsigned b = 0; b < 256; ++b) {
    tables->isLead[b] = IsCp932LeadByte(b);
    if (tables->isLead[b]) continue;
    const char byte = static_cast<char>(b);
    char16_t unit = 0;
    if (decodeUnit(&byte, 1, unit) && (unit != 0 || b == 0)) tables->single[b] = unit;
  }
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (!tables->isLead[lead]) continue;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      char16_t unit = 0;
      if (decodeUnit(bytes, 2, unit) && unit != 0) tables->pair[lead << 8 | trail] = unit;
    }
  }
  // Encoding: ask the converter for every unit.
  for (unsigned unit = 1; unit < 0x10000; ++unit) {
    if (unit >= 0xD800 && unit <= 0xDFFF) continue;
    const unsigned char in[2] = {static_cast<unsigned char>(unit & 0xFF),
                                 static_cast<unsigned char>(unit >> 8)};
    unsigned char out[8];
    const std::size_t length =
        Convert(encoder, reinterpret_cast<const char*>(in), 2, reinterpret_cast<char*>(out), sizeof out);
    SetEncodingIfRoundTrip(*tables, unit, out, length);
  }
  iconv_close(decoder);
  iconv_close(encoder);
  return tables;
}
