#pragma once

// The flat code page 932 tables behind util/cp932.h. They are filled once,
// by asking the platform's own converter about every character, and read
// without locks afterwards.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

// A decoded unit of 0 means "no character" except for the byte 0x00 itself.
struct Cp932Tables {
  std::array<char16_t, 256> single{};         // by byte
  std::array<char16_t, 256 * 256> pair{};     // by lead << 8 | trail
  std::array<std::uint16_t, 65536> encode{};  // by unit: 0 none, < 0x100 one byte, else two
  std::array<bool, 256> isLead{};
};

// The platform's converter, one character at a time.
struct Cp932Converter {
  // The one UTF-16 unit that the bytes decode to; false when the converter
  // finds no character there.
  std::function<bool(const char* bytes, std::size_t length, char16_t& unit)> decode;
  // Writes the bytes of the unit (at most `capacity`) and returns their
  // count; 0 when the unit has no form of its own in the code page.
  std::function<std::size_t(char16_t unit, unsigned char* bytes, std::size_t capacity)> encode;
};

// Fills the tables from the converter (cp932.cpp).
void FillCp932Tables(Cp932Tables& tables, const Cp932Converter& converter);

// Fills the tables through FillCp932Tables with the platform's converter
// (cp932_iconv.cpp on POSIX, cp932_win32.cpp on Windows). False when the
// platform has no converter for the code page; the tables are untouched then.
bool FillCp932TablesFromPlatform(Cp932Tables& tables);
