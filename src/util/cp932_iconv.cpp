// Code page 932 on POSIX. glibc's iconv converter "CP932" follows Microsoft's
// table (0x5C and 0x7E stay ASCII, NEC row 13 and the IBM extensions decode,
// duplicates encode to their preferred code), so both directions are filled
// from it once, into flat tables that are then used without locks.

#include <iconv.h>

#include <array>
#include <cerrno>
#include <memory>

#include "util/cp932.h"

namespace {

// A decoded unit of 0 means "no character" except for the byte 0x00 itself.
struct Cp932Tables {
  std::array<char16_t, 256> single{};         // by byte
  std::array<char16_t, 256 * 256> pair{};     // by lead << 8 | trail
  std::array<std::uint16_t, 65536> encode{};  // by unit: 0 none, < 0x100 one byte, else two
  std::array<bool, 256> isLead{};
};

bool IsLeadByte(unsigned b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

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

std::unique_ptr<Cp932Tables> BuildTables() {
  auto tables = std::make_unique<Cp932Tables>();
  iconv_t decoder = iconv_open("UTF-16LE", "CP932");
  iconv_t encoder = iconv_open("CP932", "UTF-16LE");
  if (decoder == reinterpret_cast<iconv_t>(-1) || encoder == reinterpret_cast<iconv_t>(-1)) {
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
    tables->isLead[b] = IsLeadByte(b);
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
  // Encoding: ask the converter for every unit, and keep only answers that
  // decode back to the same unit. That drops one-way substitutions such as
  // a yen sign written as 0x5C, which would turn into a folder separator.
  for (unsigned unit = 1; unit < 0x10000; ++unit) {
    if (unit >= 0xD800 && unit <= 0xDFFF) continue;
    const unsigned char in[2] = {static_cast<unsigned char>(unit & 0xFF), static_cast<unsigned char>(unit >> 8)};
    unsigned char out[8];
    const std::size_t length = Convert(encoder, reinterpret_cast<const char*>(in), 2, reinterpret_cast<char*>(out), sizeof out);
    if (length == 1 && !tables->isLead[out[0]] && tables->single[out[0]] == unit) {
      tables->encode[unit] = out[0];
    } else if (length == 2 && tables->isLead[out[0]] && tables->pair[out[0] << 8 | out[1]] == unit) {
      tables->encode[unit] = static_cast<std::uint16_t>(out[0] << 8 | out[1]);
    }
  }
  iconv_close(decoder);
  iconv_close(encoder);
  return tables;
}

const Cp932Tables& Tables() {
  static const std::unique_ptr<Cp932Tables> tables = BuildTables();
  return *tables;
}

}  // namespace

bool Cp932ToUtf16(std::string_view bytes, std::u16string& out, bool escapeInvalid) {
  const Cp932Tables& t = Tables();
  std::u16string text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (t.isLead[b]) {
      if (i + 1 < bytes.size()) {
        const auto trail = static_cast<unsigned char>(bytes[i + 1]);
        const char16_t unit = t.pair[b << 8 | trail];
        if (unit != 0) {
          text += unit;
          ++i;
          continue;
        }
      }
    } else if (t.single[b] != 0 || b == 0) {
      text += t.single[b];
      continue;
    }
    // A byte that starts no character: carried as an escape unit, and the
    // next byte is decoded afresh.
    if (!escapeInvalid) {
      out.clear();
      return false;
    }
    text += static_cast<char16_t>(kCp932EscapeBase + b);
  }
  out = std::move(text);
  return true;
}

bool Utf16ToCp932(std::u16string_view text, std::string& out, bool allowEscapes) {
  const Cp932Tables& t = Tables();
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (const char16_t unit : text) {
    if (IsCp932Escape(unit)) {
      if (!allowEscapes) {
        out.clear();
        return false;
      }
      bytes += static_cast<char>(unit - kCp932EscapeBase);
      continue;
    }
    const std::uint16_t code = t.encode[unit];
    if (code == 0 && unit != 0) {
      out.clear();
      return false;
    }
    if (code >= 0x100) bytes += static_cast<char>(code >> 8);
    bytes += static_cast<char>(code & 0xFF);
  }
  out = std::move(bytes);
  return true;
}

bool IsCp932Representable(char16_t unit) {
  if (unit == 0) return true;
  if (unit >= 0xD800 && unit <= 0xDFFF) return false;
  return Tables().encode[unit] != 0;
}
