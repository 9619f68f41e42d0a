#pragma once

#include <string>
#include <vector>

#include "job/folder_result.h"

// Looks up every file reference of every chart in each row's output folder
// (the one the walk created for it, `outputFolder`)
// as players look it up (ReferenceLookup over the folder and its subfolders)
// and lists the ones that find nothing in the row's missingReferences. Each
// is also looked up in the input, by the input chart's value at the same
// line or JSON path, to tell what the run broke from what was broken before.
// Runs after the walk, when every subfolder a chart may name is written.
// Rows whose output folder was not created or whose folder was cancelled
// are left alone. An empty value names nothing and is no reference. Time is
// linear in the number of references.
void CheckChartReferences(std::vector<FolderResult>& rows);
