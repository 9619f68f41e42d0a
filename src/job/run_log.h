#pragma once

#include <string>
#include <string_view>

class TextFile;

// The text as the log can hold it: every character that code page 932 has
// no form for becomes "?" (one "?" for a surrogate pair), so that the line
// can be written and the lines after it are not lost.
std::u16string LogSafeText(std::u16string_view text);

// Writes one line of the run log with its line end and flushes it. Does
// nothing once the log has failed (or was never opened).
void WriteLogLine(TextFile& log, std::u16string_view line);
