// Code page 932 conversion over flat tables, filled once from the platform's
// converter. Invalid bytes are handled one at a time, as the escape rules
// require.

#include "util/cp932.h"

#include <memory>

#include "util/cp932_tables.h"
#include "util/unicode.h"

namespace {

bool IsLeadByte(unsigned b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Records the converter's encoding of a unit, but only when those bytes
// decode back to the same unit. That drops one-way substitutions such as a
// yen sign written as 0x5C, which would turn into a folder separator.
void SetEncodingIfRoundTrip(Cp932Tables& tables, unsigned unit, const unsigned char* bytes,
                            std::size_t length) {
  if (length == 1 && !tables.isLead[bytes[0]] && tables.single[bytes[0]] == unit) {
    tables.encode[unit] = bytes[0];
  } else if (length == 2 && tables.isLead[bytes[0]] && tables.pair[bytes[0] << 8 | bytes[1]] == unit) {
    tables.encode[unit] = static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
  }
}

const Cp932Tables& Tables() {
  static const std::unique_ptr<Cp932Tables> tables = [] {
    auto filled = std::make_unique<Cp932Tables>();
    if (!FillCp932TablesFromPlatform(*filled)) {
      // Without the converter only ASCII is known.
      for (unsigned b = 0; b < 0x80; ++b) {
        filled->single[b] = static_cast<char16_t>(b);
        filled->encode[b] = static_cast<std::uint16_t>(b);
      }
    }
    return filled;
  }();
  return *tables;
}

}  // namespace

void FillCp932Tables(Cp932Tables& tables, const Cp932Converter& converter) {
  for (unsigned b = 0; b < 256; ++b) {
    tables.isLead[b] = IsLeadByte(b);
    // Only ASCII and the half-width katakana stand alone; 0x00 is itself. A
    // converter may map 0x80, 0xA0 and 0xFD-0xFF to private or control
    // characters, which are no text of the code page: they stay invalid.
    if (b == 0 || (b >= 0x80 && (b < 0xA1 || b > 0xDF))) continue;
    const char byte = static_cast<char>(b);
    char16_t unit = 0;
    if (converter.decode(&byte, 1, unit) && unit != 0) tables.single[b] = unit;
  }
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (!tables.isLead[lead]) continue;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      char16_t unit = 0;
      if (converter.decode(bytes, 2, unit) && unit != 0) tables.pair[lead << 8 | trail] = unit;
    }
  }
  // Encoding: ask the converter for every unit, and keep what round-trips.
  for (unsigned unit = 1; unit < 0x10000; ++unit) {
    if (IsSurrogate(unit)) continue;
    unsigned char bytes[8];
    const std::size_t length = converter.encode(static_cast<char16_t>(unit), bytes, sizeof bytes);
    SetEncodingIfRoundTrip(tables, unit, bytes, length);
  }
}

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
  if (IsSurrogate(unit)) return false;
  return Tables().encode[unit] != 0;
}
