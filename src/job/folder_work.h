#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "job/file_route.h"
#include "job/update_record.h"

// What becomes of a sound or image the run does not convert (its reader
// refused it, its conversion failed, or its new name is another file's).
enum class Fallback {
  None,         // it fails and nothing is written for it
  KeepQuietly,  // the chart-preserving mode: copied under its own name, not a failure
  KeepFailed,   // the rewriting modes: copied under its own name and still a failure
};

struct FolderWork;

// One file of a listed folder, from its routing to its outcome.
struct FileWork {
  std::u16string name;
  const FolderWork* folder = nullptr;
  std::int64_t position = 0;  // 1-based, in the folder's listing
  FileRoute route;
  std::u16string key;  // the output name as the file system compares it
  std::u16string source;
  std::u16string destination;
  std::u16string temporary;
  long long size = 0;    // orders the work: longer files start first
  bool skipped = false;  // its output is up to date (update run)
  Fallback fallback = Fallback::None;
  // Copied under its own name from the start: its new name is another
  // file's of the folder, and a chart may name either.
  bool keptAsIs = false;
  bool started = false;
  bool handled = false;   // its temporary is complete
  std::u16string reason;  // why its handler failed, when it did
  FileFacts facts;        // its source's size and time before it was read (update runs)
};

enum class FolderKind { Files, ListFailed, CreationFailed, CancelledBeforeFiles };

// One listed folder between the walk and the emit of its row.
struct FolderWork {
  std::int64_t sequence = 0;  // walk order
  std::int32_t position = 0;  // the progress position it shows
  std::u16string input;
  std::u16string output;
  std::vector<std::u16string> place;  // its names from the input root down
  std::u16string fileCount;           // the number of its files, as text
  FolderKind kind = FolderKind::Files;
  std::vector<FileWork> files;  // listing order
  std::size_t waiting = 0;      // files not started yet
  std::size_t running = 0;
  std::uint32_t startedCount = 0;  // files started so far, for the progress
  UpdateRecord record;             // what an earlier update run made here
};
