#include "bms/chart_references.h"

#include "bms/bmson.h"
#include "bms/script_line.h"
#include "bms/text_file.h"
#include "util/path.h"

namespace {

bool ListScriptReferences(const std::u16string& path, std::vector<ChartReference>& references) {
  TextFile input;
  if (!input.Open(path, TextFileMode::Read)) return false;
  std::u16string line;
  ScriptCommand command;
  std::size_t lineNumber = 0;
  while (input.ReadLine(line)) {
    ++lineNumber;
    ReferenceKind kind;
    if (!ParseScriptLine(line, command) || !ScriptReferenceKind(command.keyword, command.id, kind)) continue;
    ChartReference reference;
    reference.lineNumber = lineNumber;
    reference.command = command.keyword + command.id;
    reference.value = command.value;
    reference.kind = kind;
    references.push_back(std::move(reference));
  }
  return !input.ReadError();
}

}  // namespace

bool ScriptReferenceKind(const std::u16string& keyword, const std::u16string& id, ReferenceKind& kind) {
  for (const FileCommand& command : kFileCommands) {
    if (command.keyword == keyword && command.hasId != id.empty()) {
      kind = command.kind;
      return true;
    }
  }
  return false;
}

std::size_t TrimmedValueLength(std::u16string_view value) {
  std::size_t length = value.size();
  while (length > 0 && IsBlank(value[length - 1])) --length;
  return length;
}

ReferenceRenaming ReferenceRenaming::For(OptionFlags options) {
  ReferenceRenaming renaming;
  renaming.sound = ActiveConversion(options, FileKind::Sound);
  renaming.image = ActiveConversion(options, FileKind::Image);
  return renaming;
}

const Conversion* ReferenceRenaming::RenamedBy(const std::u16string& value, ReferenceKind kind,
                                               std::size_t& trimmed) const {
  const Conversion* row = KindOfFile(kind) == FileKind::Sound ? sound : image;
  if (row == nullptr) return nullptr;
  trimmed = TrimmedValueLength(value);
  const std::u16string core = value.substr(0, trimmed);
  if (!HasExtension(core, std::u16string(row->sourceExtension))) return nullptr;
  if (keepsName && keepsName(core, *row)) return nullptr;
  return row;
}

bool ListChartReferences(const std::u16string& chartPath, std::vector<ChartReference>& references) {
  if (HasExtension(chartPath, u".bmson")) return ListBmsonFileReferences(chartPath, references);
  return ListScriptReferences(chartPath, references);
}
