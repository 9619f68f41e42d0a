#include "job/run_plan.h"

#include "util/thread.h"

RunPlan MakeRunPlan(OptionFlags options, int jobs, bool update, bool trustOutputs) {
  RunPlan plan;
  plan.options = options;
  plan.sound = ActiveConversion(options, FileKind::Sound);
  plan.image = ActiveConversion(options, FileKind::Image);
  const bool preserve = (options & PreserveCharts) != 0;
  plan.keepNames = !preserve && (options & KeepBmsUnchanged) != 0;
  plan.repair = !preserve && !plan.keepNames && (options & RepairBms) != 0;
  if (preserve) {
    plan.charts = ChartTreatment::Preserve;
  } else if ((options & ScriptRewriteMask) != 0) {
    plan.charts = ChartTreatment::Rewrite;
  }
  // Only the modes that keep what they cannot convert read the wider WAV
  // layouts; lossless output holds them all exactly.
  plan.wideSound = preserve || (plan.sound != nullptr && plan.sound->converter == ConverterId::Flac);
  plan.keepUnconverted = preserve || (plan.charts == ChartTreatment::Rewrite && !plan.keepNames);
  plan.subfolders = (options & IncludeSubfolders) != 0;
  plan.checkReferences = (options & CheckReferences) != 0;
  plan.threads = jobs > 0 ? jobs : HardwareThreadCount();
  plan.update = update;
  plan.trustOutputs = update && trustOutputs;
  return plan;
}
