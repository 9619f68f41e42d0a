#include "bms/script_line.h"

#include <string_view>

#include "util/case_map.h"

bool ParseScriptLine(const std::u16string& line, ScriptCommand& command) {
  const std::size_t size = line.size();
  std::size_t tokenStart = 0;
  while (tokenStart < size && IsBlank(line[tokenStart])) ++tokenStart;
  if (tokenStart == size) return false;
  std::size_t tokenEnd = tokenStart;
  while (tokenEnd < size && !IsBlank(line[tokenEnd])) ++tokenEnd;
  // A word that runs to the end of the line (note data such as #00111:01,
  // or a bare command word) has no value and is no command.
  if (tokenEnd == size) return false;
  std::size_t valueStart = tokenEnd;
  while (valueStart < size && IsBlank(line[valueStart])) ++valueStart;
  if (valueStart == size) return false;

  const std::u16string token = ToUpper(std::u16string_view(line).substr(tokenStart, tokenEnd - tokenStart));
  const std::u16string_view upper(token);
  std::u16string keyword;
  std::u16string id;
  // First match wins. Only a six-character #WAV/#BMP word is a channel
  // command; other lengths (#WAV001, bare #WAV) keep the whole word.
  if (upper == u"#STAGEFILE") {
    keyword = token;
  } else if (upper.size() == 6 && (upper.starts_with(u"#BMP") || upper.starts_with(u"#WAV"))) {
    keyword = token.substr(0, 4);
    id = token.substr(4);
  } else if (upper == u"#BACKBMP" || (upper.size() >= 3 && upper[0] == u'#')) {
    keyword = token;
  } else {
    return false;
  }
  command.keyword = std::move(keyword);
  command.id = std::move(id);
  command.value = line.substr(valueStart);
  return true;
}
