// Code page 932 on Windows, from the system's own converter
// (MultiByteToWideChar / WideCharToMultiByte with code page 932), which is
// Microsoft's table by definition. Both directions are filled once into flat
// tables, so the per-string work needs no system call and no lock, and
// invalid bytes can be handled one at a time as the escape rules require.

#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>

#include "util/cp932_tables.h"

namespace {

constexpr UINT kCodePage = 932;

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

}  // namespace

std::unique_ptr<Cp932Tables> BuildCp932Tables() {
  auto tables = std::make_unique<Cp932Tables>();
  for (unsigned b = 0; b < 256; ++b) {
    tables->isLead[b] = IsCp932LeadByte(b);
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
  // kept only when it decodes back to the same unit.
  for (unsigned unit = 1; unit < 0x10000; ++unit) {
    if (unit >= 0xD800 && unit <= 0xDFFF) continue;
    const wchar_t in = static_cast<wchar_t>(unit);
    unsigned char out[4];
    BOOL usedDefault = FALSE;
    const int length = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, &in, 1,
                                           reinterpret_cast<char*>(out), sizeof out, nullptr, &usedDefault);
    if (usedDefault || length <= 0) continue;
    SetEncodingIfRoundTrip(*tables, unit, out, static_cast<std::size_t>(length));
  }
  return tables;
}
