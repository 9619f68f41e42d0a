#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "bms/chart_references.h"

// Appends the value's folder names and file name to `names` (which may
// start with the chart folder's place below a root), blanks around it
// ignored, "\" or "/" between names, "." and ".." resolved. False when
// nothing is named or a ".." climbs above what `names` started with.
bool SplitReference(std::u16string_view value, std::vector<std::u16string>& names);

// Finds the file a chart's reference names the way players find it: relative
// to the chart's folder, with "\" or "/" between folder names, letters
// compared without regard to case, into subfolders. A sound or background
// image whose written name is missing is looked for under the other
// extensions of its kind (sounds .wav .ogg .flac .mp3, images .bmp .png .jpg
// .jpeg); stage, banner and back images only under their exact names.
//
// The lookup works on a snapshot of the folder's files, so it can be built
// from a listing on disk or from names a test gives.
class ReferenceLookup {
 public:
  ReferenceLookup() = default;
  // The files' paths relative to the chart's folder, names joined by "/".
  explicit ReferenceLookup(const std::vector<std::u16string>& files);

  // Takes the snapshot from the file system: the folder's files and those of
  // its subfolders, not following links to folders (the walk does not either).
  // A subfolder that cannot be listed is left out. False when the folder
  // itself cannot be listed.
  bool ListFolder(const std::u16string& folder);

  // The relative path (names joined by "/") of the file a player loads for
  // the reference, or empty when it finds none. Blanks around the value are
  // ignored, as players trim them; a ".." that climbs above the chart's
  // folder finds nothing.
  std::u16string Find(const std::u16string& value, ReferenceKind kind) const;

 private:
  void Add(const std::u16string& relativePath);
  bool ListBelow(const std::u16string& folder, const std::u16string& prefix, int depth);
  std::u16string FindExact(const std::u16string& relativePath) const;

  // The files by their case-folded relative path; names that differ only in
  // case (possible outside Windows) share a key.
  std::unordered_map<std::u16string, std::vector<std::u16string>> files_;
};
