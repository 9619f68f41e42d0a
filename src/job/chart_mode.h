#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "job_settings/job_settings.h"

// The pieces of the walk that the charts decide: which names are charts, how
// the chart-preserving mode routes a file, and which images it must keep.

// .bms .bme .bml .pms and .bmson, letters of the extension in any case.
bool IsChartName(const std::u16string& name);
bool IsBmsonName(const std::u16string& name);

// Where the chart-preserving mode sends a file.
enum class PreservingRoute {
  Chart,  // copied byte for byte, counted as a chart
  Sound,  // encoded to .ogg; copied unchanged when it cannot be
  Image,  // converted to .png; copied unchanged when it cannot be
  Copy,   // copied byte for byte
};

// The route of one file under PreserveCharts. `namedExactly` tells that a
// chart of the song names the file as a stage, banner or back image.
PreservingRoute ChoosePreservingRoute(OptionFlags options, const std::u16string& name, bool namedExactly);

// The images that charts name by #STAGEFILE, #BANNER, #BACKBMP or bmson's
// back, eyecatch, banner and title image. Players load these under their
// exact names only, so a chart kept byte for byte needs them under the names
// it writes. The set holds the input files' full paths and grows as the walk
// enters folders; a folder's own charts name files in it and below it, so
// the set is complete for a file by the time the walk reaches it.
class ExactImageSet {
 public:
  // Reads the charts among `files` (names in `folder`) and adds the files
  // their exact-image references find, looked up as players look them up.
  // A chart that cannot be read adds what was read of it.
  void AddNamedBy(const std::u16string& folder, const std::vector<std::u16string>& files);

  bool Contains(const std::u16string& path) const { return paths_.count(path) != 0; }

 private:
  std::unordered_set<std::u16string> paths_;
};
