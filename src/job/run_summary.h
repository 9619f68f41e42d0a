#pragma once

#include <string>

#include "job/conversion_job.h"

// The share of the bytes read that a run saved, with one decimal and a
// percent sign ("75.0%", "-50.0%" when the output grew); "0.0%" when nothing
// was read. Both front ends print it next to the byte totals.
std::u16string SavedPercentText(const RunTotals& totals);
