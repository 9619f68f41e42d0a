#pragma once

// The flat code page 932 tables behind util/cp932.h. They are filled once
// from the platform's own converter (cp932_iconv.cpp on POSIX,
// cp932_win32.cpp on Windows) and read without locks afterwards.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

// A decoded unit of 0 means "no character" except for the byte 0x00 itself.
struct Cp932Tables {
  std::array<char16_t, 256> single{};         // by byte
  std::array<char16_t, 256 * 256> pair{};     // by lead << 8 | trail
  std::array<std::uint16_t, 65536> encode{};  // by unit: 0 none, < 0x100 one byte, else two
  std::array<bool, 256> isLead{};
};

inline bool IsCp932LeadByte(unsigned b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Records the converter's encoding of a unit, but only when those bytes
// decode back to the same unit. That drops one-way substitutions such as a
// yen sign written as 0x5C, which would turn into a folder separator.
inline void SetEncodingIfRoundTrip(Cp932Tables& tables, unsigned unit, const unsigned char* bytes,
                                   std::size_t length) {
  if (length == 1 && !tables.isLead[bytes[0]] && tables.single[bytes[0]] == unit) {
    tables.encode[unit] = bytes[0];
  } else if (length == 2 && tables.isLead[bytes[0]] && tables.pair[bytes[0] << 8 | bytes[1]] == unit) {
    tables.encode[unit] = static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
  }
}

// Fills the tables from the platform's converter.
std::unique_ptr<Cp932Tables> BuildCp932Tables();
