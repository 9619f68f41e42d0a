#include "job/file_route.h"

#include "job/options_record.h"
#include "job/update_record.h"
#include "util/file_system.h"
#include "util/path.h"

bool IsScriptName(const std::u16string& name) {
  return HasExtension(name, u".bms") || HasExtension(name, u".bme") || HasExtension(name, u".bml") ||
         HasExtension(name, u".pms");
}

bool IsBmsonName(const std::u16string& name) { return HasExtension(name, u".bmson"); }

bool IsChartName(const std::u16string& name) { return IsScriptName(name) || IsBmsonName(name); }

namespace {

Handler ChooseHandler(const RunPlan& plan, const std::u16string& name, bool namedExactly) {
  const bool preserve = plan.charts == ChartTreatment::Preserve;
  if (preserve && IsChartName(name)) return Handler::Chart;
  if (plan.sound != nullptr && HasExtension(name, std::u16string(plan.sound->sourceExtension))) {
    return Handler::Sound;
  }
  if (plan.image != nullptr && HasExtension(name, std::u16string(plan.image->sourceExtension)) &&
      !(preserve && namedExactly)) {
    return Handler::Image;
  }
  if (plan.charts == ChartTreatment::Rewrite && IsScriptName(name)) return Handler::Script;
  // With the contents kept, a bmson chart is copied as it always was.
  if (plan.charts == ChartTreatment::Rewrite && !plan.keepNames && IsBmsonName(name)) return Handler::Bmson;
  return Handler::Copy;
}

}  // namespace

FileRoute RouteFile(const RunPlan& plan, const std::u16string& name, bool namedExactly) {
  FileRoute route;
  route.handler = ChooseHandler(plan, name, namedExactly);
  route.outputName = name;
  switch (route.handler) {
    case Handler::Sound:
    case Handler::Image:
      route.conversion = route.handler == Handler::Sound ? plan.sound : plan.image;
      if (!plan.keepNames)
        route.outputName = ChangeExtension(name, std::u16string(route.conversion->outputExtension));
      route.counter = route.handler == Handler::Sound ? Counter::Sound : Counter::Image;
      break;
    case Handler::Script:
    case Handler::Bmson:
    case Handler::Chart:
      route.counter = Counter::Bms;
      break;
    case Handler::Copy:
      break;
  }
  return route;
}

bool ListFolder(const std::u16string& folder, FolderListing& listing) {
  std::vector<DirectoryEntry> entries;
  if (!ListDirectory(folder, entries)) return false;
  for (DirectoryEntry& entry : entries) {
    // Another run's unfinished output (its temporaries and lock files, of a
    // shape no user file has) is nobody's input, and the records update runs
    // keep are not part of the tree. A file that merely looks like an older
    // temporary is a file like any other.
    if (entry.name == u"." || entry.name == u".." || entry.name == kOptionsRecordName ||
        entry.name == kUpdateRecordName || IsOwnTemporaryName(entry.name) || IsRunLockName(entry.name)) {
      continue;
    }
    if (entry.isDirectory) {
      if (!entry.isLink) listing.subfolders.push_back(std::move(entry.name));
    } else {
      listing.files.push_back(std::move(entry.name));
    }
  }
  return true;
}

std::u16string FolderEntryName(const std::u16string& folder) {
  std::size_t end = folder.size();
  while (end > 1 && folder[end - 1] == kPathSeparator) --end;
  const std::size_t start = folder.find_last_of(kPathSeparator, end - 1);
  std::u16string name = start == std::u16string::npos || end <= 1 ? folder.substr(0, end)
                                                                  : folder.substr(start + 1, end - start - 1);
  if (name.empty() || name.back() != kPathSeparator) name += kPathSeparator;
  return name;
}
