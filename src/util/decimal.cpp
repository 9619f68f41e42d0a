#include "util/decimal.h"

std::u16string DecimalText(std::int64_t value) {
  // Built from the unsigned magnitude so that the smallest value, whose
  // negation does not fit, is written correctly too.
  std::uint64_t magnitude =
      value < 0 ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
  char16_t digits[24];
  std::size_t count = 0;
  do {
    digits[count++] = static_cast<char16_t>(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  std::u16string text;
  if (value < 0) text.push_back(u'-');
  while (count > 0) text.push_back(digits[--count]);
  return text;
}
