#pragma once

#include <string>
#include <vector>

#include "job/folder_result.h"
#include "job_settings/job_settings.h"

// The output folder that mirrors `inputFolder`, a folder of the run's input
// tree (the root or a path the walk joined below it).
std::u16string MirroredOutputFolder(const JobSettings& settings, const std::u16string& inputFolder);

// Looks up every file reference of every chart in each row's output folder
// as players look it up (ReferenceLookup over the folder and its subfolders)
// and lists the ones that find nothing in the row's missingReferences. Each
// is also looked up in the input, by the input chart's value at the same
// line or JSON path, to tell what the run broke from what was broken before.
// Runs after the walk, when every subfolder a chart may name is written.
// Rows whose output folder was not created or whose folder was cancelled
// are left alone.
void CheckChartReferences(const JobSettings& settings, std::vector<FolderResult>& rows);
