#pragma once

#include <string>
#include <vector>

#include "job/run_plan.h"

// Where one file of a listed folder goes: the handler that writes it, the
// name it is written under and the row counter it advances once written.

enum class Handler { Sound, Image, Script, Bmson, Chart, Copy };

enum class Counter { Bms, Sound, Image, Copied };

struct FileRoute {
  Handler handler = Handler::Copy;
  std::u16string outputName;
  Counter counter = Counter::Copied;
  const Conversion* conversion = nullptr;  // the sound or image conversion
};

// .bms .bme .bml .pms, and .bmson, letters of the extension in any case.
bool IsScriptName(const std::u16string& name);
bool IsBmsonName(const std::u16string& name);
bool IsChartName(const std::u16string& name);

// The first rule that applies wins; whatever no rule claims is copied.
// `namedExactly` tells that a chart names the file as a stage, banner or back
// image, which the chart-preserving mode keeps under its name.
FileRoute RouteFile(const RunPlan& plan, const std::u16string& name, bool namedExactly);

// The two lists one pass over a folder listing yields, in listing order.
struct FolderListing {
  std::vector<std::u16string> subfolders;
  std::vector<std::u16string> files;
};

// Sorts a folder's entries into subfolders and files. A link that leads to a
// folder is neither: descending into it could lead back up the tree and
// recurse without end, and copying it as a file would fail for every run, so
// it is left out of the output altogether. A link to a file is a file.
bool ListFolder(const std::u16string& folder, FolderListing& listing);

// The name under which a folder that could not be listed is named among its
// own row's failed entries: its last component with a trailing separator,
// which marks it as the folder rather than a file in it.
std::u16string FolderEntryName(const std::u16string& folder);
