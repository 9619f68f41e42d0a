#pragma once

#include <string>

// The blanks of a script line: space and tab only.
inline bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }
inline bool IsBlankByte(char c) { return c == ' ' || c == '\t'; }

// One command line of a song script, split into its parts.
//   keyword  the command word, upper-cased; for the sound and image channel
//            commands (#WAVxx, #BMPxx) only the four-character stem
//   id       the two characters after that stem, upper-cased; empty otherwise
//   value    everything from the first non-blank after the command word to
//            the end of the line, exactly as written (trailing blanks too)
struct ScriptCommand {
  std::u16string keyword;
  std::u16string id;
  std::u16string value;
};

// True when the line (without its line end) is a command line: its first
// word starts with '#', has at least three characters, and is followed by a
// blank and a value. Only space and tab are blanks. On false, `command` is
// left as it was.
bool ParseScriptLine(const std::u16string& line, ScriptCommand& command);
