#include "job/input_files.h"

#include <memory>
#include <string_view>

#include "audio/wav_to_flac_converter.h"
#include "audio/wav_to_ogg_converter.h"
#include "bms/chart_references.h"
#include "bms/reference_lookup.h"
#include "image/bmp_to_png_converter.h"
#include "util/case_map.h"
#include "util/file_system.h"
#include "util/path.h"

namespace {

// Bounds what the caches hold over a library of thousands of songs; a chart
// names files of its own song, whose folders are looked up again cheaply.
constexpr std::size_t kMaxCachedFolders = 256;
constexpr std::size_t kMaxCachedFiles = 65536;

const RunPlan& NoPlan() {
  static const RunPlan plan;
  return plan;
}

}  // namespace

InputFiles::InputFiles(const RunPlan& plan, std::u16string root) : plan_(plan), root_(std::move(root)) {}

InputFiles::InputFiles(std::u16string root) : InputFiles(NoPlan(), std::move(root)) {}

const InputFiles::Names& InputFiles::Listed(const std::u16string& folder) {
  auto found = folders_.find(folder);
  if (found != folders_.end()) return found->second;
  if (folders_.size() >= kMaxCachedFolders) folders_.clear();
  Names names;
  std::vector<DirectoryEntry> entries;
  if (ListDirectory(folder, entries)) {
    for (const DirectoryEntry& entry : entries) {
      if (entry.name == u"." || entry.name == u"..") continue;
      // Of names that differ in case only, the first listed stands in.
      names.emplace(ToUpper(entry.name), entry.name);
    }
  }
  return folders_.emplace(folder, std::move(names)).first->second;
}

std::u16string InputFiles::Resolve(const std::vector<std::u16string>& place, const std::u16string& value) {
  std::vector<std::u16string> names = place;
  if (!SplitReference(value, names) || names.size() <= 0) return std::u16string();
  std::u16string path = root_;
  for (const std::u16string& name : names) {
    std::u16string next = CombinePath(path, name);
    // Players on a case-blind file system find the name in any case; the
    // exact spelling is tried first, the folder's listing only after.
    if (FileSize(next) < 0 && !DirectoryExists(next)) {
      std::lock_guard<std::mutex> lock(mutex_);
      const Names& listed = Listed(path);
      auto found = listed.find(ToUpper(name));
      if (found == listed.end()) return std::u16string();
      next = CombinePath(path, found->second);
    }
    path = std::move(next);
  }
  return path;
}

bool InputFiles::Converts(const RunPlan& plan, const std::u16string& path, const Conversion& conversion) {
  switch (conversion.converter) {
    case ConverterId::OggVorbis:
      return WavToOggConverter{.wideFormats = plan.wideSound}.Accepts(path);
    case ConverterId::Flac:
      return WavToFlacConverter().Accepts(path);
    case ConverterId::Png:
      return BmpToPngConverter().Accepts(path);
  }
  return false;
}

bool InputFiles::KeepsName(const std::vector<std::u16string>& place, const std::u16string& value,
                           const Conversion& conversion) {
  const std::u16string path = Resolve(place, value);
  if (path.empty()) return false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = kept_.find(path);
    if (found != kept_.end()) return found->second;
  }
  // Its new name is another file's of its folder: the walk keeps it as it is.
  const std::u16string renamed = ChangeExtension(path, std::u16string(conversion.outputExtension));
  bool keeps = FileSize(renamed) >= 0;
  if (!keeps) keeps = !Converts(plan_, path, conversion);
  std::lock_guard<std::mutex> lock(mutex_);
  if (kept_.size() >= kMaxCachedFiles) kept_.clear();
  kept_.emplace(path, keeps);
  return keeps;
}
