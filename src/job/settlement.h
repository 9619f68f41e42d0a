#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "job/folder_result.h"
#include "job/folder_work.h"

// A folder's settlement: from a folder whose files have all finished (or
// will never start) to its row and the renames that publish its outputs.
// Deciding is pure, so every rule can be tested without threads or files;
// applying touches the disk.

// One output to publish: a complete temporary renamed to its final name.
// `copyFirst` asks for the source to be copied into the temporary first (a
// file kept under its own name after its conversion failed or lost its name).
struct Rename {
  const FileWork* file = nullptr;
  std::u16string temporary;
  std::u16string destination;
  bool kept = false;    // counted as a copy and listed among the kept files
  bool failed = false;  // listed among the failed files all the same
  bool copyFirst = false;
  long long writtenSize = -1;  // the published output's size, once it landed
};

struct Settlement {
  // The row without the counts of the renames (which may still fail).
  FolderResult row;
  bool logged = true;     // a cancelled or uncreated folder is not logged
  bool stopsRun = false;  // nothing after this folder is emitted
  std::int64_t skipped = 0;
  std::vector<Rename> renames;
  std::vector<std::u16string> discarded;  // temporaries that are not used
  // Filled by ApplySettlement: the renames that landed.
  std::vector<const Rename*> landed;
};

// `cancelled` is the cancel request as it stands; `lastStarted` the walk
// sequence of the latest folder a file of which started. The rules:
// - the first file in listing order to write an output name keeps it; a
//   later one fails (its temporary is discarded), or, with a fallback, is
//   kept under its own name if that is free;
// - a failed conversion with a fallback is kept under its own name;
// - a cancelled folder is the one with files that never started, or the
//   one whose file started last when Cancel came; what was handled stays.
Settlement SettleFolder(const FolderWork& folder, bool cancelled, std::int64_t lastStarted);

// Writes the kept copies (under new temporaries in `outputFolder`), renames
// every output to its name and counts what landed into the row and the
// totals; an output that cannot be published is a failed file.
void ApplySettlement(Settlement& settlement, const std::u16string& outputFolder, RunTotals& totals);
