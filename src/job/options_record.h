#pragma once

#include <string>

#include "job_settings/job_settings.h"

// What an output file holds depends on the options it was made with (a
// script rewritten for sound alone still names .bmp files), so an update
// run, which keeps outputs that are newer than their sources, trusts them
// only when they were made with its own options. The options of the last
// update run are recorded in one small file in the output root.
inline constexpr char16_t kOptionsRecordName[] = u".hoshibako-options";

enum class OptionsRecordState { Missing, Same, Different };

// The record's text for a run with these options: one line per option that
// changes what an output holds.
std::string OptionsRecordText(OptionFlags options);

// How the record in the output root compares with these options. A record
// that cannot be read (not a file, or not the record's text) counts as
// Missing; `warning`, when given, then gets a line for the user (and is
// emptied otherwise).
OptionsRecordState CompareOptionsRecord(const std::u16string& outputFolder, OptionFlags options,
                                        std::u16string* warning = nullptr);

// Writes the record (under a temporary name, then renamed). False on failure.
bool WriteOptionsRecord(const std::u16string& outputFolder, OptionFlags options);

// Removes the record; true when there is none afterwards.
bool RemoveOptionsRecord(const std::u16string& outputFolder);
