#pragma once

#include <string>

#include "job_settings/job_settings.h"

// Copies one song script, rewriting its sound references from .wav to .ogg
// and its image references from .bmp to .png, and with `repair` normalising
// every command line (command word upper-cased, one space before the value).
// With all three flags off the file is copied byte for byte.
struct ScriptRewriter {
  bool rewriteSound = false;
  bool rewriteImage = false;
  bool repair = false;

  // True when the destination was written completely. A source that cannot
  // be opened leaves no destination behind; a failed write leaves the lines
  // written before it.
  bool Rewrite(const std::u16string& source, const std::u16string& destination) const;
};

// The flags for one run's options: KeepBmsUnchanged and PreserveCharts turn
// all three off.
ScriptRewriter FromJobSettings(const JobSettings& settings);
