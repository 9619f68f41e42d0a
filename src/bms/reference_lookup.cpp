#include "bms/reference_lookup.h"

#include <string_view>

#include "bms/script_line.h"
#include "util/case_map.h"
#include "util/file_system.h"
#include "util/path.h"

namespace {

// Song folders are shallow; this only stops a runaway descent.
constexpr int kMaxDepth = 32;

const char16_t* const kSoundExtensions[] = {u".wav", u".ogg", u".flac", u".mp3"};
const char16_t* const kImageExtensions[] = {u".bmp", u".png", u".jpg", u".jpeg"};

}  // namespace

bool SplitReference(std::u16string_view value, std::vector<std::u16string>& names) {
  while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
  while (!value.empty() && IsBlank(value.back())) value.remove_suffix(1);
  std::size_t start = 0;
  while (start <= value.size()) {
    std::size_t end = value.find_first_of(u"\\/", start);
    if (end == std::u16string_view::npos) end = value.size();
    const std::u16string_view name = value.substr(start, end - start);
    if (name == u"..") {
      if (names.empty()) return false;
      names.pop_back();
    } else if (!name.empty() && name != u".") {
      names.emplace_back(name);
    }
    start = end + 1;
  }
  return !names.empty();
}

namespace {

std::u16string Join(const std::vector<std::u16string>& names) {
  std::u16string path;
  for (const std::u16string& name : names) {
    if (!path.empty()) path += u'/';
    path += name;
  }
  return path;
}

}  // namespace

ReferenceLookup::ReferenceLookup(const std::vector<std::u16string>& files) {
  for (const std::u16string& file : files) Add(file);
}

void ReferenceLookup::Add(const std::u16string& relativePath) {
  files_[ToUpper(relativePath)].push_back(relativePath);
}

bool ReferenceLookup::ListFolder(const std::u16string& folder) {
  files_.clear();
  return ListBelow(folder, std::u16string(), 0);
}

bool ReferenceLookup::ListBelow(const std::u16string& folder, const std::u16string& prefix, int depth) {
  std::vector<DirectoryEntry> entries;
  if (!ListDirectory(folder, entries)) return false;
  for (const DirectoryEntry& entry : entries) {
    const std::u16string relative = prefix + entry.name;
    if (!entry.isDirectory) {
      Add(relative);
    } else if (!entry.isLink && depth < kMaxDepth) {
      ListBelow(CombinePath(folder, entry.name), relative + u'/', depth + 1);
    }
  }
  return true;
}

std::u16string ReferenceLookup::FindExact(const std::u16string& relativePath) const {
  const auto found = files_.find(ToUpper(relativePath));
  if (found == files_.end()) return std::u16string();
  // Where names differ only in case, the one written exactly wins.
  for (const std::u16string& file : found->second) {
    if (file == relativePath) return file;
  }
  return found->second.front();
}

std::u16string ReferenceLookup::Find(const std::u16string& value, ReferenceKind kind) const {
  std::vector<std::u16string> names;
  if (!SplitReference(value, names)) return std::u16string();
  std::u16string found = FindExact(Join(names));
  if (!found.empty() || kind == ReferenceKind::ExactImage) return found;

  // Players replace the extension after the name's last dot, if it has one.
  std::u16string& name = names.back();
  const std::size_t dot = name.rfind(u'.');
  if (dot != std::u16string::npos) name.resize(dot);
  const std::u16string stem = Join(names);
  const bool sound = kind == ReferenceKind::Sound || kind == ReferenceKind::PreviewSound;
  for (const char16_t* extension : sound ? kSoundExtensions : kImageExtensions) {
    found = FindExact(stem + extension);
    if (!found.empty()) return found;
  }
  return found;
}
