// The file system on Windows, through the wide (UTF-16) API only. The
// program's paths are already UTF-16, so names reach the system unchanged.
// Narrow paths are code page 932 bytes; they are turned back into the wide
// name before a file is opened, so files open the same on every Windows and
// not only where the ANSI code page happens to be 932.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "util/case_map.h"
#include "util/cp932.h"
#include "util/file_system.h"

namespace {

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

std::u16string FromWide(const wchar_t* text, std::size_t length) {
  return std::u16string(text, text + length);
}

bool NarrowToWide(const NarrowPath& path, std::u16string& wide) {
  return !path.empty() && Cp932ToUtf16(path, wide, /*escapeInvalid=*/false);
}

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// Orders names the way NTFS keeps its folder index (case-insensitive by unit,
// then by unit), so a run visits the same order on every file system,
// including the host folders that Wine lists in whatever order they come.
bool ListingOrder(const DirectoryEntry& a, const DirectoryEntry& b) {
  const std::size_t n = std::min(a.name.size(), b.name.size());
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t x = ToUpperUnit(a.name[i]);
    const char16_t y = ToUpperUnit(b.name[i]);
    if (x != y) return x < y;
  }
  if (a.name.size() != b.name.size()) return a.name.size() < b.name.size();
  return a.name < b.name;
}

bool IsLinkTag(DWORD tag) { return tag == IO_REPARSE_TAG_SYMLINK || tag == IO_REPARSE_TAG_MOUNT_POINT; }

}  // namespace

bool ListDirectory(const std::u16string& folder, std::vector<DirectoryEntry>& entries) {
  entries.clear();
  if (folder.empty()) return false;
  WIN32_FIND_DATAW data;
  const std::u16string pattern = CombinePath(folder, u"*");
  HANDLE find = FindFirstFileW(Wide(pattern).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    // An existing empty folder has no entries at all on some file systems.
    return GetLastError() == ERROR_FILE_NOT_FOUND && DirectoryExists(folder);
  }
  do {
    const std::u16string name = FromWide(data.cFileName, std::wcslen(data.cFileName));
    if (name == u"." || name == u"..") continue;
    DirectoryEntry entry;
    entry.name = name;
    entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && IsLinkTag(data.dwReserved0)) {
      entry.isLink = true;
      // The listing shows the link itself; whether it leads to a folder is
      // what the target says (GetFileAttributesW follows the link).
      const DWORD target = GetFileAttributesW(Wide(CombinePath(folder, name)).c_str());
      entry.isDirectory = target != INVALID_FILE_ATTRIBUTES && (target & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    entries.push_back(std::move(entry));
  } while (FindNextFileW(find, &data));
  const DWORD error = GetLastError();
  FindClose(find);
  if (error != ERROR_NO_MORE_FILES) {
    entries.clear();
    return false;
  }
  std::sort(entries.begin(), entries.end(), ListingOrder);
  return true;
}

bool CopyFileOverwrite(const std::u16string& source, const std::u16string& destination) {
  // The system copy keeps the source's attributes and last-write time.
  return CopyFileW(Wide(source).c_str(), Wide(destination).c_str(), /*bFailIfExists=*/FALSE) != 0;
}

std::FILE* OpenFile(const NarrowPath& path, const char* mode) {
  std::u16string wide;
  if (!NarrowToWide(path, wide)) return nullptr;
  // Always binary: the runtime's text mode would translate CR LF and stop at
  // 0x1A, which the callers do themselves where they want it.
  std::wstring wideMode;
  for (const char* m = mode; *m != '\0'; ++m) {
    if (*m != 'b' && *m != 't') wideMode += static_cast<wchar_t>(*m);
  }
  wideMode += L'b';
  return _wfopen(Wide(wide).c_str(), wideMode.c_str());
}

bool RemoveFile(const NarrowPath& path) {
  std::u16string wide;
  if (!NarrowToWide(path, wide)) return false;
  if (DeleteFileW(Wide(wide).c_str())) return true;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

long long FileSize(const std::u16string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (path.empty() || !GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return -1;
  return static_cast<long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

std::u16string ResolvedPath(const std::u16string& path) {
  if (path.empty()) return std::u16string();
  // Opening the path (a folder needs backup semantics) makes the system
  // follow links and junctions; the handle then names the final object.
  HANDLE handle = CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::u16string();
  std::wstring buffer(MAX_PATH, L'\0');
  DWORD length = GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length >= buffer.size()) {
    buffer.assign(length + 1, L'\0');
    length = GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  }
  CloseHandle(handle);
  if (length == 0 || length >= buffer.size()) {
    // Without a final name, the full path with "." and ".." resolved.
    const DWORD needed = GetFullPathNameW(Wide(path).c_str(), 0, nullptr, nullptr);
    if (needed == 0) return std::u16string();
    buffer.assign(needed, L'\0');
    length = GetFullPathNameW(Wide(path).c_str(), needed, buffer.data(), nullptr);
    if (length == 0 || length >= needed) return std::u16string();
  }
  std::u16string result = FromWide(buffer.data(), length);
  // The final name carries the long-path prefix: \\?\C:\... or \\?\UNC\server\...
  if (result.rfind(u"\\\\?\\UNC\\", 0) == 0) {
    result = u"\\\\" + result.substr(8);
  } else if (result.rfind(u"\\\\?\\", 0) == 0) {
    result = result.substr(4);
  }
  return result;
}

bool CreateDirectoryPath(const std::u16string& folder) {
  // The root ("C:\", "\\server\share\") is no folder to create. The chain is
  // created by the name the rest of the program opens files under: a folder
  // with a character outside code page 932 is refused here as it would be at
  // every later open.
  const NarrowPath narrow = ToNarrowPath(AddBackslash(folder));
  std::u16string wide;
  if (!NarrowToWide(narrow, wide)) return false;
  for (std::size_t end = PathRootLength(wide); end < wide.size(); ++end) {
    if (!IsSeparator(wide[end]) || IsSeparator(wide[end - 1])) continue;
    const std::wstring prefix = Wide(wide.substr(0, end));
    if (CreateDirectoryW(prefix.c_str(), nullptr)) continue;
    // Already there (as a folder) is fine; anything else ends the chain.
    const DWORD attributes = GetFileAttributesW(prefix.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
  }
  return DirectoryExists(folder);
}

bool DirectoryExists(const std::u16string& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::u16string CurrentDirectory() {
  // Asked for its length first, so a folder deeper than MAX_PATH is read whole.
  const DWORD needed = GetCurrentDirectoryW(0, nullptr);
  if (needed == 0) return std::u16string();
  std::wstring buffer(needed, L'\0');
  const DWORD length = GetCurrentDirectoryW(needed, buffer.data());
  if (length == 0 || length >= needed) return std::u16string();
  return FromWide(buffer.data(), length);
}
