#pragma once

#include "job_settings/conversions.h"
#include "job_settings/job_settings.h"

// How a run's charts are treated.
enum class ChartTreatment {
  Copy,      // copied byte for byte, counted as copies (no option asks for charts)
  Rewrite,   // references renamed by the conversions, lines repaired with `repair`
  Preserve,  // kept byte for byte and counted as charts; renamed files keep a fallback
};

// One run's option word, decoded once: what is converted, how charts are
// treated, and the run's further modes.
struct RunPlan {
  OptionFlags options = 0;
  const Conversion* sound = nullptr;  // the active conversion of each kind, or null
  const Conversion* image = nullptr;
  ChartTreatment charts = ChartTreatment::Copy;
  bool repair = false;
  // Converted files keep their own names (the keep-contents mode): charts
  // are copied as they are and still find them.
  bool keepNames = false;
  // Sounds the strict reader refuses are still read (their charts stay).
  bool wideSound = false;
  bool subfolders = false;
  bool checkReferences = false;
  // A sound or image that is not converted is copied under its own name so
  // that the charts naming it still find it.
  bool keepUnconverted = false;
  int threads = 1;
  // An update run: every output folder records what its outputs were made
  // from; `trustOutputs` when the outputs there were made under these
  // options, so that an unchanged file may be left alone.
  bool update = false;
  bool trustOutputs = false;

  const Conversion* ConversionOf(FileKind kind) const { return kind == FileKind::Sound ? sound : image; }
};

// `jobs` is the thread count asked for (0: one per hardware thread).
RunPlan MakeRunPlan(OptionFlags options, int jobs, bool update, bool trustOutputs);
