#include "job/reference_check.h"

#include <algorithm>

#include "bms/chart_references.h"
#include "bms/reference_lookup.h"
#include "job/chart_mode.h"
#include "util/file_system.h"
#include "util/path.h"

namespace {

// The input chart's reference at the same place as an output chart's: the
// rewriters change values only, so lines and JSON paths stay where they were.
const ChartReference* Counterpart(const std::vector<ChartReference>& inputReferences,
                                  const ChartReference& reference) {
  for (const ChartReference& candidate : inputReferences) {
    if (candidate.lineNumber == reference.lineNumber && candidate.jsonPath == reference.jsonPath &&
        candidate.command == reference.command) {
      return &candidate;
    }
  }
  return nullptr;
}

void CheckFolder(const std::u16string& inputFolder, const std::u16string& outputFolder, FolderResult& row) {
  std::vector<DirectoryEntry> entries;
  if (!ListDirectory(outputFolder, entries)) return;
  ReferenceLookup outputLookup;
  ReferenceLookup inputLookup;
  bool listed = false;
  for (const DirectoryEntry& entry : entries) {
    if (entry.isDirectory || !IsChartName(entry.name)) continue;
    if (!listed) {
      outputLookup.ListFolder(outputFolder);
      inputLookup.ListFolder(inputFolder);
      listed = true;
    }
    std::vector<ChartReference> references;
    ListChartReferences(CombinePath(outputFolder, entry.name), references);
    std::vector<ChartReference> inputReferences;
    bool inputRead = false;
    for (const ChartReference& reference : references) {
      if (!outputLookup.Find(reference.value, reference.kind).empty()) continue;
      if (!inputRead) {
        ListChartReferences(CombinePath(inputFolder, entry.name), inputReferences);
        inputRead = true;
      }
      const ChartReference* original = Counterpart(inputReferences, reference);
      const std::u16string& inputValue = original != nullptr ? original->value : reference.value;
      MissingReference missing;
      missing.chart = entry.name;
      missing.lineNumber = reference.lineNumber;
      missing.jsonPath = reference.jsonPath;
      missing.command = reference.command;
      missing.value = reference.value;
      missing.missingInInput = inputLookup.Find(inputValue, reference.kind).empty();
      row.missingReferences.push_back(std::move(missing));
    }
  }
}

}  // namespace

std::u16string MirroredOutputFolder(const JobSettings& settings, const std::u16string& inputFolder) {
  // The walk joins every name onto the input root, so the rest after the
  // root is the folder's place in the tree.
  std::u16string rest = inputFolder.substr(std::min(settings.inputFolder.size(), inputFolder.size()));
  std::size_t start = 0;
  while (start < rest.size() && (rest[start] == kPathSeparator || rest[start] == u'/')) ++start;
  rest.erase(0, start);
  return rest.empty() ? settings.outputFolder : CombinePath(settings.outputFolder, rest);
}

void CheckChartReferences(const JobSettings& settings, std::vector<FolderResult>& rows) {
  for (FolderResult& row : rows) {
    if (row.status != FolderStatus::Ok && row.status != FolderStatus::HasErrors) continue;
    CheckFolder(row.folder, MirroredOutputFolder(settings, row.folder), row);
  }
}
