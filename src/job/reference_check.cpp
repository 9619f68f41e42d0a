#include "job/reference_check.h"

#include <unordered_map>

#include "bms/chart_references.h"
#include "bms/reference_lookup.h"
#include "job/file_route.h"
#include "util/file_system.h"
#include "util/path.h"

namespace {

// Where a reference stands in its chart: the rewriters change values only,
// so lines and JSON paths stay where they were.
std::u16string PlaceKey(const ChartReference& reference) {
  return DecimalText(static_cast<std::int64_t>(reference.lineNumber)) + u'\n' + reference.jsonPath + u'\n' +
         reference.command;
}

bool NamesNothing(const ChartReference& reference) { return TrimmedValueLength(reference.value) == 0; }

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
    std::unordered_map<std::u16string, const ChartReference*> inputByPlace;
    bool inputRead = false;
    for (const ChartReference& reference : references) {
      if (NamesNothing(reference) || !outputLookup.Find(reference.value, reference.kind).empty()) continue;
      if (!inputRead) {
        ListChartReferences(CombinePath(inputFolder, entry.name), inputReferences);
        for (const ChartReference& original : inputReferences)
          inputByPlace.emplace(PlaceKey(original), &original);
        inputRead = true;
      }
      const auto original = inputByPlace.find(PlaceKey(reference));
      const std::u16string& inputValue =
          original != inputByPlace.end() ? original->second->value : reference.value;
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

void CheckChartReferences(std::vector<FolderResult>& rows) {
  for (FolderResult& row : rows) {
    if (row.status != FolderStatus::Ok && row.status != FolderStatus::HasErrors) continue;
    if (row.outputFolder.empty()) continue;
    CheckFolder(row.folder, row.outputFolder, row);
  }
}
