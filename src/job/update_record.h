#pragma once

#include <map>
#include <string>

// What an update run knows about the outputs an earlier update run wrote.
// A file is done again unless its source is the one that was converted
// (same size and same modification time as recorded then, in either
// direction of time: an archive unpacked again restores older dates) and
// its output is still the one written (present, with the recorded size).
//
// The facts live in one small file per output folder, beside the outputs
// they describe. A folder's files are settled together, when its outputs
// are renamed into place, so its record is written then, once, in one step
// (a temporary renamed over the old record); its size follows the folder,
// not the whole tree, so neither a deep tree nor a killed run costs more
// than the folders concerned; and moving or deleting an output folder takes
// its facts with it.
inline constexpr char16_t kUpdateRecordName[] = u".hoshibako-files";

// A file's size and modification time as the file layer reports them;
// -1 for what could not be read.
struct FileFacts {
  long long size = -1;
  long long modified = -1;
};

FileFacts ReadFileFacts(const std::u16string& path);

class UpdateRecord {
 public:
  // Reads the record of an output folder. A folder without one has an empty
  // record; one that cannot be read (damaged, or not a file) is empty as
  // well, and `warning` gets a line for the user; otherwise it is emptied.
  static UpdateRecord Load(const std::u16string& outputFolder, std::u16string& warning);

  // True when the output named `outputName` may be kept: the record holds
  // it as made from `sourceName`, whose facts now are `source`, and the
  // file at `outputPath` has the size recorded.
  bool CanSkip(const std::u16string& outputName, const std::u16string& sourceName, const FileFacts& source,
               const std::u16string& outputPath) const;

  // Notes an output as written (or kept) from a source with these facts,
  // taken before the source was read.
  void Record(const std::u16string& outputName, const std::u16string& sourceName, const FileFacts& source,
              long long outputSize);

  // Writes the record into the output folder (a temporary renamed over
  // the earlier record). False on failure.
  bool Save(const std::u16string& outputFolder) const;

  std::size_t size() const { return entries_.size(); }

 private:
  struct Entry {
    std::u16string outputName;
    std::u16string sourceName;
    FileFacts source;
    long long outputSize = -1;
  };
  // By the file system's key of the output name.
  std::map<std::u16string, Entry> entries_;
};
