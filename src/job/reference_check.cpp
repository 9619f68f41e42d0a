#include "job/reference_check.h"

#include <algorithm>
#include <span>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

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
std::u16string FoundAbove(InputFiles& tree, const std::vector<std::u16string>& place,
                          const ChartReference& reference) {
  if (reference.value.find(u"..") == std::u16string::npos) return std::u16string();
  std::u16string found = tree.Resolve(place, reference.value);
  if (!found.empty() || reference.kind == ReferenceKind::ExactImage) return found;
  const bool sound = KindOfFile(reference.kind) == FileKind::Sound;
  const std::u16string trimmed = reference.value.substr(0, TrimmedValueLength(reference.value));
  static const std::u16string_view kSounds[] = {u".wav", u".ogg", u".flac", u".mp3"};
  static const std::u16string_view kImages[] = {u".bmp", u".png", u".jpg", u".jpeg"};
  for (const std::u16string_view extension : sound ? std::span(kSounds) : std::span(kImages)) {
    found = tree.Resolve(place, ChangeExtension(trimmed, std::u16string(extension)));
    if (!found.empty()) return found;
  }
  return found;
}

// The files of the output a chart names, by their paths as the walk spells
// them: the ones of the song being checked, and the root's, which any song
// may share.
struct Referenced {
  std::unordered_set<std::u16string> root;
  std::unordered_set<std::u16string> song;
  // Paths by FileNameKey: a chart may spell one in another case where the
  // file system does not tell cases apart.
  bool Contains(const std::u16string& path) const {
    const std::u16string key = FileNameKey(path);
    return root.count(key) != 0 || song.count(key) != 0;
  }
};

// Sounds, images and videos: what a chart could name and a user could remove.
bool IsMediaName(const std::u16string& name) {
  static const char16_t* const kExtensions[] = {u".wav", u".ogg",  u".flac", u".mp3",  u".bmp", u".png",
                                                u".jpg", u".jpeg", u".mpg",  u".mpeg", u".avi", u".wmv",
                                                u".mp4", u".webm", u".m4v",  u".mkv",  u".ogv", u".flv"};
  for (const char16_t* extension : kExtensions) {
    if (HasExtension(name, extension)) return true;
  }
  return false;
}

void ListUnreferenced(FolderResult& row, const Referenced& referenced) {
  std::vector<DirectoryEntry> entries;
  if (!ListDirectory(row.outputFolder, entries)) return;
  for (const DirectoryEntry& entry : entries) {
    if (entry.isDirectory || !IsMediaName(entry.name)) continue;
    const std::u16string path = CombinePath(row.outputFolder, entry.name);
    if (referenced.Contains(path)) continue;
    row.unreferencedFiles.push_back(entry.name);
    const long long size = FileSize(path);
    if (size > 0) row.unreferencedBytes += size;
  }
}

bool Checked(const FolderResult& row) {
  return (row.status == FolderStatus::Ok || row.status == FolderStatus::HasErrors) &&
         !row.outputFolder.empty();
}

struct Trees {
  InputFiles input;
  InputFiles output;
  std::u16string inputRoot;
  std::u16string outputRoot;
};

void CheckFolder(const std::u16string& inputFolder, const std::u16string& outputFolder, FolderResult& row,
                 Trees& trees, Referenced& referenced, bool root) {
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
      if (NamesNothing(reference)) continue;
      std::u16string found = outputLookup.Find(reference.value, reference.kind);
      if (!found.empty()) {
        for (char16_t& c : found) {
          if (c == u'/') c = kPathSeparator;
        }
        (root ? referenced.root : referenced.song).insert(FileNameKey(CombinePath(outputFolder, found)));
        continue;
      }
      // A value that climbs out of its folder may reach another song's
      // files, which are kept to the end.
      found = FoundAbove(trees.output, outputPlace, reference);
      if (!found.empty()) {
        referenced.root.insert(FileNameKey(found));
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
                               FoundAbove(trees.input, inputPlace, originalReference).empty();
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
  // The rows come in walk order, so each folder below the root starts a
  // song that runs to the next one: its unreferenced files are listed once
  // all its charts are read, and its references are then let go.
  Referenced referenced;
  std::size_t songStart = 1;
  const auto closeSong = [&](std::size_t end) {
    for (std::size_t i = songStart; i < end; ++i) {
      if (Checked(rows[i])) ListUnreferenced(rows[i], referenced);
    }
    referenced.song.clear();
    songStart = end;
  };
  for (std::size_t i = 0; i < rows.size(); ++i) {
    FolderResult& row = rows[i];
    const bool root = i == 0;
    if (!root && i > songStart && PlaceBelow(trees.outputRoot, row.outputFolder).size() == 1) closeSong(i);
    if (!Checked(row)) continue;
    CheckFolder(row.folder, row.outputFolder, row, trees, referenced, root);
  }
  closeSong(rows.size());
  // The root's own files: every chart may name them.
  if (Checked(rows.front())) ListUnreferenced(rows.front(), referenced);
}
