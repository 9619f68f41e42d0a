// Code page 932 conversion over the tables the platform's converter filled.
// Invalid bytes are handled one at a time, as the escape rules require.

#include "util/cp932.h"

#include "util/cp932_tables.h"

namespace {

const Cp932Tables& Tables() {
  static const std::unique_ptr<Cp932Tables> tables = BuildCp932Tables();
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
