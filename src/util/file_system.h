#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "util/path.h"

// The file system as the rest of the program sees it. One implementation per
// platform (file_system_posix.cpp, file_system_win32.cpp) holds the system
// calls; file_system.cpp holds what both share. Nothing else calls the OS
// for files.
//
// Files and folders are reached under their own names: UTF-8 bytes on POSIX,
// UTF-16 through the wide calls on Windows, so any name the file system
// holds can be read and written, whether code page 932 has a form for it or
// not. Paths of any length are accepted.

struct DirectoryEntry {
  std::u16string name;       // as the listing gives it, decoded to UTF-16
  bool isDirectory = false;  // a folder, or a link that leads to one
  bool isLink = false;       // a symbolic link (or junction) itself
};

// Lists a folder's entries, "." and ".." excluded, sorted so that a run is
// deterministic. On POSIX, names that are not UTF-8 are decoded as code page
// 932 where that works, otherwise with U+FFFD for the bytes that do not
// decode (such an entry cannot be opened, and fails visibly). False when the
// folder cannot be listed.
bool ListDirectory(const std::u16string& folder, std::vector<DirectoryEntry>& entries);

// Copies the bytes of a regular file, replacing an existing destination.
bool CopyFileOverwrite(const std::u16string& source, const std::u16string& destination);

// Opens a file with an fopen mode ("rb", "wb", "ab", ...). Text modes get no
// translation from the platform: callers that want CR LF handling do it
// themselves. Only regular files (or links to them) are opened; a FIFO, a
// device or a socket fails at once instead of blocking or reading without
// end. For reading, a POSIX name stored in code page 932 bytes (from an
// archive made on Windows) is found as well as its UTF-8 form; new files are
// created under UTF-8 names.
std::FILE* OpenFile(const std::u16string& path, const char* mode);

// The same for a path in its code page 932 byte form; an empty path fails.
std::FILE* OpenFile(const NarrowPath& path, const char* mode);

// Removes a file; true when it is gone (also when it was never there).
bool RemoveFile(const std::u16string& path);
bool RemoveFile(const NarrowPath& path);

// The size of a file in bytes, or -1.
long long FileSize(const std::u16string& path);

// When a file's contents last changed, as a count from a fixed point in the
// platform's own steps (nanoseconds on POSIX, 100 nanoseconds on Windows),
// so comparable between files of one machine; -1 when the file does not
// exist or cannot be asked.
long long FileModifiedTime(const std::u16string& path);

// The absolute path with links and "." / ".." resolved, or empty when the
// path cannot be resolved. Used to tell whether one folder lies in another.
std::u16string ResolvedPath(const std::u16string& path);

// Creates every missing folder of the path. True when all exist afterwards
// and the last of them is a folder itself, not a symbolic link (or
// junction) to one: the output tree is written only where it really lies,
// so a link placed inside it cannot carry the writes elsewhere.
bool CreateDirectoryPath(const std::u16string& folder);

// What tells two names of one file or folder apart from two files: the
// device and inode on POSIX, the volume serial number and file index on
// Windows.
struct FileId {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool operator==(const FileId&) const = default;
};

// The identity of what the path names (links followed); false when it
// cannot be asked.
bool GetFileId(const std::u16string& path, FileId& id);

// True when the path names an existing folder (a trailing separator is fine).
bool DirectoryExists(const std::u16string& path);

// The process's current folder, or empty when it cannot be read.
std::u16string CurrentDirectory();

// The key under which the file system tells names apart: two names with the
// same key name the same file in one folder. Exact on POSIX; on Windows
// letters compare without regard to case.
std::u16string FileNameKey(const std::u16string& name);

// While a FolderScope lives, operations on the entries of its folder (paths
// that are the folder joined with one name, as CombinePath forms them)
// resolve that name against an open handle of the folder instead of the
// whole path, so their cost does not grow with the folder's depth and the
// path may be longer than the system's limit. A scope opened inside another
// scope's folder is opened relative to it. Scopes nest on one thread, last
// opened first closed, and only the innermost ones keep handles open, so a
// deep tree does not run out of them. Where the platform has no such handles
// the scope changes nothing.
class FolderScope {
 public:
  explicit FolderScope(const std::u16string& folder);
  ~FolderScope();
  FolderScope(const FolderScope&) = delete;
  FolderScope& operator=(const FolderScope&) = delete;

 private:
  bool opened_ = false;
};

// Output is written under a temporary name in the destination folder and
// renamed to its final name only when complete, so a killed run, a full disk
// or a second run into the same folder never leaves a partial file under a
// final name. Temporary names are ".hoshibako-R-N.tmp": R is the run's id,
// 16 hexadecimal digits drawn once per process from the system's random
// source, and N a number unique within the run. Runs in separate process
// namespaces (two containers) thus never meet on a name, and creating the
// file exclusively settles even a collision of ids.
//
// A run holds a lock file ".hoshibako-R.lock" in each folder where it has
// temporaries (flock on POSIX; on Windows the open file cannot be deleted),
// from before the first of them is created (by CreateTemporaryFile, or by
// opening or copying to a fresh name of this run) until the last is renamed
// by CommitFiles or removed by RemoveFile. Clean-up removes the temporaries
// of runs whose lock file is gone or can be taken, so a live run's
// temporaries stay, whichever namespace it runs in, and a killed run's go.

// A fresh temporary file name (name only) of this run, not yet reserved:
// CreateTemporaryFile is the safe way to get one.
std::u16string NewTemporaryName();

// Reserves a fresh temporary in the folder by creating it empty, after
// taking this run's lock there; `name` gets its name (without the folder).
// False when the folder cannot hold one.
bool CreateTemporaryFile(const std::u16string& folder, std::u16string& name);

// True when the name has exactly the shape of a temporary name of some run
// (".hoshibako-" 16 lower-case hexadecimal digits "-" a decimal number
// ".tmp"). Meant for the output side: an input file of that name is
// somebody's file like any other.
bool IsOwnTemporaryName(const std::u16string& name);

// The same test, kept for callers not yet moved to the new name.
inline bool IsTemporaryName(const std::u16string& name) { return IsOwnTemporaryName(name); }

// True when the name has the shape of a run's lock file.
bool IsRunLockName(const std::u16string& name);

// This run's id as it appears in its names.
std::u16string RunId();

// A completely written temporary file and the final name it is to take.
struct PendingFile {
  std::u16string temporary;
  std::u16string destination;
};

// Flushes completely written temporary files of one folder to the disk and
// renames each over its destination, replacing an earlier file of that name
// in one step. `committed` gets one answer per file; a temporary that was
// not renamed is left for the caller to remove. The flush is done for the
// whole batch where the platform allows it (on Linux one flush of the file
// system instead of one per file, which costs milliseconds each).
void CommitFiles(const std::vector<PendingFile>& files, std::vector<bool>& committed);

// The same for one file: true when it was renamed.
bool CommitFile(const std::u16string& temporary, const std::u16string& destination);

// Removes the temporaries in the folder that runs no longer holding their
// lock left behind, with those lock files; this run's own stay. Names of
// any other shape are never touched. Returns how many temporaries were
// removed.
int RemoveStaleTemporaries(const std::u16string& folder);
