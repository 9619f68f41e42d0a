#include "job/chart_mode.h"

#include "bms/chart_references.h"
#include "job/file_route.h"
#include "util/file_system.h"
#include "util/path.h"

bool ExactImageSet::Contains(const std::u16string& path) const {
  return paths_.count(FileNameKey(path)) != 0;
}

void ExactImageSet::ScanTree(const RunPlan& plan, const std::u16string& root, InputFiles& files) {
  std::vector<std::u16string> place;
  ScanFolder(plan, root, place, files);
}

void ExactImageSet::ScanFolder(const RunPlan& plan, const std::u16string& folder,
                               std::vector<std::u16string>& place, InputFiles& files) {
  FolderScope scope(folder);
  FolderListing listing;
  if (!ListFolder(folder, listing)) return;
  for (const std::u16string& name : listing.files) {
    if (!IsChartName(name)) continue;
    std::vector<ChartReference> references;
    ListChartReferences(CombinePath(folder, name), references);
    for (const ChartReference& reference : references) {
      if (reference.kind != ReferenceKind::ExactImage) continue;
      const std::u16string value = reference.value.substr(0, TrimmedValueLength(reference.value));
      std::u16string path = files.Resolve(place, value);
      if (!path.empty()) paths_.insert(FileNameKey(path));
    }
  }
  if (!plan.subfolders) return;
  for (const std::u16string& name : listing.subfolders) {
    place.push_back(name);
    ScanFolder(plan, CombinePath(folder, name), place, files);
    place.pop_back();
  }
}
