#pragma once

#include <string>
#include <string_view>

// Case mapping of single UTF-16 units that does not depend on the user's
// locale: ASCII, Latin-1 and Latin Extended-A letters, full-width Latin
// letters, Greek and Cyrillic. Anything else maps to itself.
char16_t ToUpperUnit(char16_t unit);
char16_t ToLowerUnit(char16_t unit);

std::u16string ToUpper(std::u16string_view text);
std::u16string ToLower(std::u16string_view text);
