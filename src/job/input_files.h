#pragma once

#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "job/run_plan.h"

// The input tree as charts see it: a reference resolved the way players
// resolve it (relative to the chart's folder, "\" or "/" between names, "."
// and ".." within the input root, letters compared without regard to case),
// and whether the run keeps the file it names under its own name. Shared by
// the threads that rewrite charts.
class InputFiles {
 public:
  InputFiles(const RunPlan& plan, std::u16string root);
  // For resolving only (KeepsName is not asked).
  explicit InputFiles(std::u16string root);

  // The input path of the file that `value`, written in a chart in the
  // folder at `place` (the names from the root down, empty for the root),
  // names; empty when the input holds none.
  std::u16string Resolve(const std::vector<std::u16string>& place, const std::u16string& value);

  // Whether the file a reference that `conversion` would rename names stays
  // under its own name: its new name is another file's of its folder, or its
  // converter refuses it (asked as the conversion will ask). A file the input
  // does not hold is renamed as any other.
  bool KeepsName(const std::vector<std::u16string>& place, const std::u16string& value,
                 const Conversion& conversion);

  // Whether the conversion's converter takes a file of the input.
  static bool Converts(const RunPlan& plan, const std::u16string& path, const Conversion& conversion);

 private:
  // A folder's names by their upper-case form; exact spellings first.
  using Names = std::unordered_map<std::u16string, std::u16string>;
  const Names& Listed(const std::u16string& folder);  // with the lock held

  const RunPlan& plan_;
  const std::u16string root_;
  std::mutex mutex_;
  std::unordered_map<std::u16string, Names> folders_;
  std::unordered_map<std::u16string, bool> kept_;
};
