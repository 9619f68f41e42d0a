// Code page 932 on Windows, from the system's own converter
// (MultiByteToWideChar / WideCharToMultiByte with code page 932), which is
// Microsoft's table by definition. Both directions are filled once into flat
// tables, so the per-string work needs no system call and no lock, and
// invalid bytes can be handled one at a time as the escape rules require.

#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>

#include "util/cp932.h"

namespace {

constexpr UINT kCodePage = 932;

// A decoded unit of 0 means "no character" except for the byte 0x00 itself.
struct Cp932Tables {
  std::array<char16_t, 256> single{};         // by byte
  std::array<char16_t, 256 * 256> pair{};     // by lead << 8 | trail
  std::array<std::uint16_t, 65536> encode{};  // by unit: 0 none, < 0x100 one byte, else two
  std::array<bool, 256> isLead{};
};

bool IsLeadByte(unsigned b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// The one unit that the bytes decode to, or false when the system finds no
// character there. With MB_ERR_INVALID_CHARS the converter refuses unassigned
// codes instead of answering with its default character.
bool DecodeUnit(const char* bytes, int length, char16_t& unit) {
  wchar_t out[4];
  const int n = MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes, length, out, 4);
  if (n != 1) return false;
  unit = static_cast<char16_t>(out[0]);
  return true;
}

std::unique_ptr<Cp932Tables> BuildTables() {
  auto tables = std::make_unique<Cp932Tables>();
  for (unsigned b = 0; b < 256; ++b) {
    tables->isLead[b] = IsLeadByte(b);
    // Only ASCII and the half-width katakana stand alone. The system maps
    // 0x80, 0xA0 and 0xFD-0xFF to private or control characters, which are
    // no text of the code page; they are treated as invalid bytes.
    if (b >= 0x80 && (b < 0xA1 || b > 0xDF)) continue;
    const char byte = static_cast<char>(b);
    char16_t unit = 0;
    if (b == 0 || DecodeUnit(&byte, 1, unit)) tables->single[b] = unit;
  }
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (!tables->isLead[lead]) continue;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      char16_t unit = 0;
      if (DecodeUnit(bytes, 2, unit) && unit != 0) tables->pair[lead << 8 | trail] = unit;
    }
  }
  // Encoding: a unit whose conversion needs the default character is not
  // representable. Best-fit substitutions are switched off, and an answer is
  // kept only when it decodes back to the same unit: a yen sign must never
  // turn into 0x5C, which reads as a folder separator.
  for (unsigned unit = 1; unit < 0x10000; ++unit) {
    if (unit >= 0xD800 && unit <= 0xDFFF) continue;
    const wchar_t in = static_cast<wchar_t>(unit);
    unsigned char out[4];
    BOOL usedDefault = FALSE;
    const int length = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, &in, 1, reinterpret_cast<char*>(out),
                                           sizeof out, nullptr, &usedDefault);
    if (usedDefault) continue;
    if (length == 1 && !tables->isLead[out[0]] && tables->single[out[0]] == unit) {
      tables->encode[unit] = out[0];
    } else if (length == 2 && tables->isLead[out[0]] && tables->pair[out[0] << 8 | out[1]] == unit) {
      tables->encode[unit] = static_cast<std::uint16_t>(out[0] << 8 | out[1]);
    }
  }
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
