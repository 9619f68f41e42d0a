#include "job/chart_mode.h"

#include "bms/chart_references.h"
#include "bms/reference_lookup.h"
#include "util/path.h"

bool IsBmsonName(const std::u16string& name) { return HasExtension(name, u".bmson"); }

bool IsChartName(const std::u16string& name) {
  return HasExtension(name, u".bms") || HasExtension(name, u".bme") || HasExtension(name, u".bml") ||
         HasExtension(name, u".pms") || IsBmsonName(name);
}

PreservingRoute ChoosePreservingRoute(OptionFlags options, const std::u16string& name, bool namedExactly) {
  if (IsChartName(name)) return PreservingRoute::Chart;
  if ((options & CompressSound) != 0 && HasExtension(name, u".wav")) return PreservingRoute::Sound;
  if ((options & CompressImages) != 0 && HasExtension(name, u".bmp") && !namedExactly) {
    return PreservingRoute::Image;
  }
  return PreservingRoute::Copy;
}

void ExactImageSet::AddNamedBy(const std::u16string& folder, const std::vector<std::u16string>& files) {
  std::vector<std::u16string> values;
  for (const std::u16string& name : files) {
    if (!IsChartName(name)) continue;
    std::vector<ChartReference> references;
    ListChartReferences(CombinePath(folder, name), references);
    for (const ChartReference& reference : references) {
      if (reference.kind == ReferenceKind::ExactImage) values.push_back(reference.value);
    }
  }
  if (values.empty()) return;

  // One snapshot of the folder's subtree serves all its charts.
  ReferenceLookup lookup;
  if (!lookup.ListFolder(folder)) return;
  for (const std::u16string& value : values) {
    std::u16string found = lookup.Find(value, ReferenceKind::ExactImage);
    if (found.empty()) continue;
    for (char16_t& c : found) {
      if (c == u'/') c = kPathSeparator;
    }
    paths_.insert(CombinePath(folder, found));
  }
}
