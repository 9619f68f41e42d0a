#pragma once

#include <string>
#include <string_view>

// Code page 932 (Microsoft's Shift_JIS) conversion with Microsoft's table:
// 0x5C is U+005C, 0x7E is U+007E, NEC row 13 and the IBM extensions decode,
// and a character reachable from several codes encodes to its preferred one.
//
// Bytes that form no character can be carried losslessly as escape units:
// byte b becomes the unpaired low surrogate U+DC00 + b, which no real text
// contains, and encodes back to exactly b.

inline constexpr char16_t kCp932EscapeBase = 0xDC00;

inline bool IsCp932Escape(char16_t unit) { return unit >= 0xDC80 && unit <= 0xDCFF; }

// Decodes the bytes. Invalid sequences (a lead byte with no valid trail byte,
// a lead byte at the end, unassigned codes) become escape units when
// escapeInvalid is set; otherwise the decode fails and out is left empty.
bool Cp932ToUtf16(std::string_view bytes, std::u16string& out, bool escapeInvalid);

// Encodes the text. A character without a code page 932 form fails the
// conversion (out left empty). Escape units encode to their byte only when
// allowEscapes is set; otherwise they fail too.
bool Utf16ToCp932(std::u16string_view text, std::string& out, bool allowEscapes);

// True when the single unit has a code page 932 form (escapes excluded).
bool IsCp932Representable(char16_t unit);
