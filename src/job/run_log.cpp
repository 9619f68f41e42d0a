#include "job/run_log.h"

#include "bms/text_file.h"
#include "util/cp932.h"
#include "util/unicode.h"

std::u16string LogSafeText(std::u16string_view text) {
  std::u16string safe;
  safe.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      // A character beyond the basic plane: code page 932 has none of them.
      safe += u'?';
      ++i;
    } else {
      safe += IsCp932Representable(unit) ? unit : u'?';
    }
  }
  return safe;
}

void WriteLogLine(TextFile& log, std::u16string_view line) {
  if (log.Failed()) return;
  log.WriteLine(LogSafeText(line));
}
