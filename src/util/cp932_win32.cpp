// Code page 932 on Windows, from the system's own converter
// (MultiByteToWideChar / WideCharToMultiByte with code page 932), which is
// Microsoft's table by definition. The tables are filled from it once, so the
// per-string work needs no system call and no lock.

#include <windows.h>

#include "util/cp932_tables.h"

namespace {

constexpr UINT kCodePage = 932;

// The one unit that the bytes decode to, or false when the system finds no
// character there. With MB_ERR_INVALID_CHARS the converter refuses unassigned
// codes instead of answering with its default character.
bool DecodeUnit(const char* bytes, std::size_t length, char16_t& unit) {
  wchar_t out[4];
  const int n = MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(length), out, 4);
  if (n != 1) return false;
  unit = static_cast<char16_t>(out[0]);
  return true;
}

// A unit whose conversion needs the default character has no form of its
// own. Best-fit substitutions are switched off.
std::size_t EncodeUnit(char16_t unit, unsigned char* bytes, std::size_t capacity) {
  const wchar_t in = static_cast<wchar_t>(unit);
  BOOL usedDefault = FALSE;
  const int length =
      WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, &in, 1, reinterpret_cast<char*>(bytes),
                          static_cast<int>(capacity), nullptr, &usedDefault);
  if (usedDefault || length <= 0) return 0;
  return static_cast<std::size_t>(length);
}

}  // namespace

bool FillCp932TablesFromPlatform(Cp932Tables& tables) {
  FillCp932Tables(tables, Cp932Converter{DecodeUnit, EncodeUnit});
  return true;
}
