#pragma once

#include <string>
#include <string_view>

// UTF-8 <-> UTF-16 conversion for the file system's names and the terminal.

inline bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
inline bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
inline bool IsSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

// Appends one code point as one UTF-16 unit or a surrogate pair; returns
// how many units it took.
inline std::size_t AppendUtf16(std::u16string& out, char32_t point) {
  if (point < 0x10000) {
    out += static_cast<char16_t>(point);
    return 1;
  }
  out += static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10));
  out += static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
  return 2;
}

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view bytes);

// The length of the well-formed UTF-8 sequence at `pos` (1 to 4), with its
// code point in `point`; 0 when the bytes there form none (overlong forms,
// surrogates and cut sequences included).
std::size_t Utf8SequenceAt(std::string_view bytes, std::size_t pos, char32_t& point);

// Decodes UTF-8; an ill-formed sequence becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view bytes);

// Encodes UTF-16; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// Shorthand for tests and messages written as UTF-8 literals.
inline std::u16string U16(std::string_view utf8) { return Utf8ToUtf16(utf8); }
