#pragma once

#include <string>

#include "bms/chart_references.h"
#include "job_settings/job_settings.h"

// Copies one song script, renaming its sound and image references by the
// run's conversions (a value's trailing blanks stay where they were), and
// with `repair` normalising every command line (command word upper-cased, one
// space before the value). With neither the file is copied byte for byte.
struct ScriptRewriter {
  ReferenceRenaming renaming;
  bool repair = false;

  // True when the destination was written completely. A source that cannot
  // be opened leaves no destination behind; a failed write leaves the lines
  // written before it.
  bool Rewrite(const std::u16string& source, const std::u16string& destination) const;
};

// The rewriter for one run's options: KeepBmsUnchanged and PreserveCharts
// turn renaming and repair off.
ScriptRewriter FromJobSettings(const JobSettings& settings);
