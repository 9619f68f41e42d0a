#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "util/path.h"

// The file system as the rest of the program sees it. One implementation per
// platform (file_system_posix.cpp, file_system_win32.cpp); nothing else calls
// the OS for files.

struct DirectoryEntry {
  std::u16string name;       // as the listing gives it, decoded to UTF-16
  bool isDirectory = false;  // a folder, or a link that leads to one
  bool isLink = false;       // a symbolic link (or junction) itself
};

// Lists a folder's entries, "." and ".." excluded. On POSIX the entries are
// sorted by their raw names so that a run is deterministic. Names that are
// not UTF-8 are decoded as code page 932 where that works, otherwise with
// U+FFFD for the bytes that do not decode (such a file cannot be opened, and
// fails visibly). False when the folder cannot be listed.
bool ListDirectory(const std::u16string& folder, std::vector<DirectoryEntry>& entries);

// Copies the bytes of a file, replacing an existing destination.
bool CopyFileOverwrite(const std::u16string& source, const std::u16string& destination);

// Opens a file by its narrow path with an fopen mode ("rb", "wb", "r", "w",
// "a", ...). Text modes get no translation from the platform: callers that
// want CR LF handling do it themselves. An empty path fails. For reading, a
// name stored in code page 932 bytes (from an archive made on Windows) is
// found as well as its UTF-8 form; new files are created under UTF-8 names.
std::FILE* OpenFile(const NarrowPath& path, const char* mode);

// Removes a file by its narrow path; true when it is gone.
bool RemoveFile(const NarrowPath& path);

// The size of a file in bytes, or -1.
long long FileSize(const std::u16string& path);

// The absolute path with links and "." / ".." resolved, or empty when the
// path cannot be resolved. Used to tell whether one folder lies in another.
std::u16string ResolvedPath(const std::u16string& path);

// Creates every missing folder of the path. True when all exist afterwards.
bool CreateDirectoryPath(const std::u16string& folder);

// True when the path names an existing folder (a trailing separator is fine).
bool DirectoryExists(const std::u16string& path);

// The process's current folder, or empty when it cannot be read.
std::u16string CurrentDirectory();
