#include "job/reference_check.h"

#include <algorithm>
#include <span>
#include <string_view>
#include <unordered_map>

#include "bms/chart_references.h"
#include "bms/reference_lookup.h"
#include "job/file_route.h"
#include "job/input_files.h"
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

// The split of a row's folder below the tree's root: both were joined by the
// walk, name by name, so the root is a prefix of the folder as written.
std::vector<std::u16string> PlaceBelow(const std::u16string& root, const std::u16string& folder) {
  std::vector<std::u16string> place;
  std::size_t start = std::min(root.size(), folder.size());
  while (start < folder.size()) {
    std::size_t end = folder.find(kPathSeparator, start);
    if (end == std::u16string::npos) end = folder.size();
    if (end > start) place.push_back(folder.substr(start, end - start));
    start = end + 1;
  }
  return place;
}

// A value that climbs out of its chart's folder (".." to a parent) is looked
// up in the whole tree, as players do, under its name or, but for the exact
// images, the other extensions of its kind.
bool FoundAbove(InputFiles& tree, const std::vector<std::u16string>& place, const ChartReference& reference) {
  if (reference.value.find(u"..") == std::u16string::npos) return false;
  if (!tree.Resolve(place, reference.value).empty()) return true;
  if (reference.kind == ReferenceKind::ExactImage) return false;
  const bool sound = KindOfFile(reference.kind) == FileKind::Sound;
  const std::u16string trimmed = reference.value.substr(0, TrimmedValueLength(reference.value));
  static const std::u16string_view kSounds[] = {u".wav", u".ogg", u".flac", u".mp3"};
  static const std::u16string_view kImages[] = {u".bmp", u".png", u".jpg", u".jpeg"};
  for (const std::u16string_view extension : sound ? std::span(kSounds) : std::span(kImages)) {
    if (!tree.Resolve(place, ChangeExtension(trimmed, std::u16string(extension))).empty()) return true;
  }
  return false;
}

struct Trees {
  InputFiles input;
  InputFiles output;
  std::u16string inputRoot;
  std::u16string outputRoot;
};

void CheckFolder(const std::u16string& inputFolder, const std::u16string& outputFolder, FolderResult& row,
                 Trees& trees) {
  const std::vector<std::u16string> outputPlace = PlaceBelow(trees.outputRoot, outputFolder);
  const std::vector<std::u16string> inputPlace = PlaceBelow(trees.inputRoot, inputFolder);
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
      if (NamesNothing(reference) || !outputLookup.Find(reference.value, reference.kind).empty() ||
          FoundAbove(trees.output, outputPlace, reference)) {
        continue;
      }
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
      ChartReference originalReference = reference;
      originalReference.value = inputValue;
      missing.missingInInput = inputLookup.Find(inputValue, reference.kind).empty() &&
                               !FoundAbove(trees.input, inputPlace, originalReference);
      row.missingReferences.push_back(std::move(missing));
    }
  }
}

}  // namespace

void CheckChartReferences(std::vector<FolderResult>& rows) {
  if (rows.empty()) return;
  // The first row is the walk's root.
  Trees trees{InputFiles(rows.front().folder), InputFiles(rows.front().outputFolder), rows.front().folder,
              rows.front().outputFolder};
  for (FolderResult& row : rows) {
    if (row.status != FolderStatus::Ok && row.status != FolderStatus::HasErrors) continue;
    if (row.outputFolder.empty()) continue;
    CheckFolder(row.folder, row.outputFolder, row, trees);
  }
}
