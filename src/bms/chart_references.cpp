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
  // A bare #WAV or #BMP names no channel, so no player loads its file.
  if (keyword == u"#WAV" && !id.empty()) {
    kind = ReferenceKind::Sound;
  } else if (keyword == u"#BMP" && !id.empty()) {
    kind = ReferenceKind::BgaImage;
  } else if (keyword == u"#STAGEFILE" || keyword == u"#BANNER" || keyword == u"#BACKBMP") {
    kind = ReferenceKind::ExactImage;
  } else if (keyword == u"#PREVIEW") {
    kind = ReferenceKind::PreviewSound;
  } else {
    return false;
  }
  return true;
}

bool ListChartReferences(const std::u16string& chartPath, std::vector<ChartReference>& references) {
  if (HasExtension(chartPath, u".bmson")) return ListBmsonFileReferences(chartPath, references);
  return ListScriptReferences(chartPath, references);
}
