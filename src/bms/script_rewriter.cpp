#include "bms/script_rewriter.h"

#include <string_view>

#include "bms/script_line.h"
#include "bms/text_file.h"
#include "util/cp932.h"
#include "util/file_system.h"
#include "util/path.h"

namespace {

// Charts that declare "#BASE 62" use both letter cases in their ids (#WAVaa
// and #WAVAA are different sounds), so their rebuilt lines must keep the
// word as written. Trailing blanks do not change the declaration.
bool DeclaresBase62(const ScriptCommand& command) {
  if (command.keyword != u"#BASE") return false;
  std::u16string_view value(command.value);
  while (!value.empty() && IsBlank(value.back())) value.remove_suffix(1);
  return value == u"62";
}

// The command word as written: it starts at the first non-blank character
// and has the length of its upper-cased form (the case map works unit by unit).
std::u16string WrittenToken(const std::u16string& line, const ScriptCommand& command) {
  std::size_t start = 0;
  while (start < line.size() && IsBlank(line[start])) ++start;
  return line.substr(start, command.keyword.size() + command.id.size());
}

// Builds the bytes of a rebuilt line from the bytes it was read from, so the
// value keeps its exact bytes (codes that decode to a character with another
// preferred code, or a script in another encoding, survive). The blanks are
// the single bytes 0x20 and 0x09, which are never the second byte of a
// double-byte character, so the scan finds the same word and value as the
// parse of the decoded text. False when the bytes do not line up with the
// parsed line; the caller then encodes the text instead.
bool RebuildLineBytes(const std::string& bytes, const ScriptCommand& command, bool keepTokenCase,
                      std::size_t trimmed, const std::u16string& newExtension, std::string& out) {
  std::size_t tokenStart = 0;
  while (tokenStart < bytes.size() && IsBlankByte(bytes[tokenStart])) ++tokenStart;
  std::size_t tokenEnd = tokenStart;
  while (tokenEnd < bytes.size() && !IsBlankByte(bytes[tokenEnd])) ++tokenEnd;
  std::size_t valueStart = tokenEnd;
  while (valueStart < bytes.size() && IsBlankByte(bytes[valueStart])) ++valueStart;
  if (valueStart == bytes.size()) return false;

  std::string value = bytes.substr(valueStart);
  std::u16string decoded;
  Cp932ToUtf16(value, decoded, /*escapeInvalid=*/true);
  if (decoded != command.value) return false;

  if (!newExtension.empty()) {
    // The trailing blanks are single bytes, as many as the text has; the old
    // extension before them passed the lower-case comparison with an ASCII
    // extension, so it is ASCII and its bytes end the rest.
    const std::size_t blanks = command.value.size() - trimmed;
    if (blanks > value.size()) return false;
    const std::string tail = value.substr(value.size() - blanks);
    value.resize(value.size() - blanks);
    const std::u16string oldExtension = FindExtension(command.value.substr(0, trimmed));
    if (oldExtension.size() > value.size()) return false;
    const std::size_t cut = value.size() - oldExtension.size();
    for (std::size_t i = 0; i < oldExtension.size(); ++i) {
      if (oldExtension[i] >= 0x80 || static_cast<char16_t>(value[cut + i]) != oldExtension[i]) return false;
    }
    value.resize(cut);
    std::string extensionBytes;
    if (!Utf16ToCp932(newExtension, extensionBytes, /*allowEscapes=*/false)) return false;
    value += extensionBytes + tail;
  }

  // The word keeps its bytes unless upper-casing changed it, so a repair
  // that changes nothing leaves the whole line as it was read.
  std::string token = bytes.substr(tokenStart, tokenEnd - tokenStart);
  std::u16string writtenToken;
  Cp932ToUtf16(token, writtenToken, /*escapeInvalid=*/true);
  if (!keepTokenCase && writtenToken != command.keyword + command.id &&
      !Utf16ToCp932(command.keyword + command.id, token, /*allowEscapes=*/true)) {
    return false;
  }
  out = token + ' ' + value;
  return true;
}

}  // namespace

bool ScriptRewriter::Rewrite(const std::u16string& source, const std::u16string& destination) const {
  if (!renaming.Any() && !repair) return CopyFileOverwrite(source, destination);

  TextFile input;
  if (!input.Open(source, TextFileMode::Read)) return false;
  TextFile output;
  if (!output.Open(destination, TextFileMode::Write)) return false;

  bool keepTokenCase = false;
  bool insideLongLine = false;
  std::u16string line;
  ScriptCommand command;
  while (input.ReadLine(line)) {
    if (insideLongLine || input.LineContinues()) {
      // A line longer than the reader's piece names no file a file system
      // could hold and is no command worth normalising: its bytes pass
      // through unchanged, piece by piece, and only its last piece gets the
      // line end. So a script without line feeds costs no more memory than
      // one piece.
      insideLongLine = input.LineContinues();
      if (insideLongLine) {
        output.WriteBytes(input.LineBytes());
      } else {
        output.WriteLineBytes(input.LineBytes());
      }
      if (output.Failed()) return false;
      continue;
    }
    const bool isCommand = ParseScriptLine(line, command);
    ReferenceKind kind;
    const Conversion* renamedBy = nullptr;
    std::size_t trimmed = 0;
    if (isCommand && ScriptReferenceKind(command.keyword, command.id, kind)) {
      renamedBy = renaming.RenamedBy(command.value, kind, trimmed);
    }
    const std::u16string newExtension =
        renamedBy != nullptr ? std::u16string(renamedBy->outputExtension) : std::u16string();

    if (renamedBy == nullptr && !(isCommand && repair)) {
      // Unchanged lines go out as the bytes they came from.
      output.WriteLineBytes(input.LineBytes());
    } else {
      std::string bytes;
      if (RebuildLineBytes(input.LineBytes(), command, keepTokenCase, trimmed, newExtension, bytes)) {
        output.WriteLineBytes(bytes);
      } else {
        const std::u16string token =
            keepTokenCase ? WrittenToken(line, command) : command.keyword + command.id;
        const std::u16string value = newExtension.empty()
                                         ? command.value
                                         : ChangeExtension(command.value.substr(0, trimmed), newExtension) +
                                               command.value.substr(trimmed);
        output.WriteLine(token + u" " + value);
      }
    }
    if (output.Failed()) return false;
    if (isCommand && DeclaresBase62(command)) keepTokenCase = true;
  }
  // A read error is not the end of the script: the copy is incomplete.
  return !input.ReadError();
}

ScriptRewriter FromJobSettings(const JobSettings& settings) {
  ScriptRewriter rewriter;
  if ((settings.options & (KeepBmsUnchanged | PreserveCharts)) != 0) return rewriter;
  rewriter.renaming = ReferenceRenaming::For(settings.options);
  rewriter.repair = (settings.options & RepairBms) != 0;
  return rewriter;
}
