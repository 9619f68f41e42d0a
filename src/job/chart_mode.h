#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "job/input_files.h"
#include "job/run_plan.h"

// The images that charts name by #STAGEFILE, #BANNER, #BACKBMP or bmson's
// back, eyecatch, banner and title image. Players load these under their
// exact names only, so a chart kept byte for byte needs them under the names
// it writes. The set holds the input files' full paths, as the walk spells
// them; it is filled from every chart of the tree before the walk starts, so
// a chart may name the image from any folder, through "..", in any case.
class ExactImageSet {
 public:
  // Reads every chart the walk will reach and adds the files their exact
  // images resolve to. A chart that cannot be read adds what was read of it.
  void ScanTree(const RunPlan& plan, const std::u16string& root, InputFiles& files);

  // Compared as the file system compares names (without regard to case on
  // Windows, where a chart may spell the path in another case).
  bool Contains(const std::u16string& path) const;

 private:
  void ScanFolder(const RunPlan& plan, const std::u16string& folder, std::vector<std::u16string>& place,
                  InputFiles& files);

  std::unordered_set<std::u16string> paths_;  // by FileNameKey
};
