#include "job/run_summary.h"

#include <cstdio>

std::u16string SavedPercentText(const RunTotals& totals) {
  if (totals.bytesRead <= 0) return u"0.0%";
  const double saved = 100.0 * static_cast<double>(totals.bytesRead - totals.bytesWritten) /
                       static_cast<double>(totals.bytesRead);
  char buffer[32];
  const int length = std::snprintf(buffer, sizeof buffer, "%.1f%%", saved);
  // The text is ASCII, so each byte is one unit.
  return std::u16string(buffer, buffer + (length > 0 ? length : 0));
}
