// The file system on Windows, through the wide (UTF-16) API only. The
// program's paths are already UTF-16, so names reach the system unchanged,
// whatever characters they hold. Narrow paths are code page 932 bytes; they
// are turned back into the wide name before a file is opened, so files open
// the same on every Windows and not only where the ANSI code page happens to
// be 932. Paths at or beyond the classic limit of 260 characters are handed
// over in their long form (\\?\C:\... or \\?\UNC\server\...), which the
// wide calls accept up to 32,767 characters.

#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "util/case_map.h"
#include "util/cp932.h"
#include "util/file_system.h"
#include "util/file_system_platform.h"

namespace {

std::wstring Plain(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

// The path as the wide calls take it: as it is while it is short, else in
// the long form, which needs a full path with backslashes and no "." or "..".
std::wstring Wide(const std::u16string& text) {
  if (text.size() < 240 || text.rfind(u"\\\\?\\", 0) == 0) return Plain(text);
  std::wstring path = Plain(text);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return path;
  full.resize(length);
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

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

// True when the path names a file on a disk, not a folder, a device such
// as CON or a pipe (a link is followed to its target).
bool IsRegularFile(const std::wstring& path) {
  HANDLE handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information;
  const bool regular = GetFileType(handle) == FILE_TYPE_DISK &&
                       GetFileInformationByHandle(handle, &information) &&
                       (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  CloseHandle(handle);
  return regular;
}

bool CopyFileOverwrite(const std::u16string& source, const std::u16string& destination) {
  const std::wstring from = Wide(source);
  if (!IsRegularFile(from)) return false;
  // The system copy keeps the source's attributes and last-write time.
  file_system_detail::NoteTemporaryCreated(destination);
  return CopyFileW(from.c_str(), Wide(destination).c_str(), /*bFailIfExists=*/FALSE) != 0;
}

std::FILE* OpenFile(const std::u16string& path, const char* mode) {
  if (path.empty()) return nullptr;
  const std::wstring name = Wide(path);
  // Only files on a disk: a device name or a pipe would block or never end.
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && !IsRegularFile(name)) return nullptr;
  if (attributes == INVALID_FILE_ATTRIBUTES && mode[0] == 'r') return nullptr;
  // Always binary: the runtime's text mode would translate CR LF and stop at
  // 0x1A, which the callers do themselves where they want it.
  std::wstring wideMode;
  for (const char* m = mode; *m != '\0'; ++m) {
    if (*m != 'b' && *m != 't') wideMode += static_cast<wchar_t>(*m);
  }
  wideMode += L'b';
  if (mode[0] != 'r') file_system_detail::NoteTemporaryCreated(path);
  std::FILE* file = _wfopen(name.c_str(), wideMode.c_str());
  if (file != nullptr &&
      GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)))) != FILE_TYPE_DISK) {
    std::fclose(file);
    return nullptr;
  }
  return file;
}

std::FILE* OpenFile(const NarrowPath& path, const char* mode) {
  std::u16string wide;
  if (!NarrowToWide(path, wide)) return nullptr;
  return OpenFile(wide, mode);
}

bool RemoveFile(const std::u16string& path) {
  if (path.empty()) return false;
  bool removed = DeleteFileW(Wide(path).c_str()) != 0;
  if (!removed) {
    const DWORD error = GetLastError();
    removed = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  if (removed) file_system_detail::NoteTemporaryGone(path);
  return removed;
}

bool RemoveFile(const NarrowPath& path) {
  std::u16string wide;
  if (!NarrowToWide(path, wide)) return false;
  return RemoveFile(wide);
}

long long FileSize(const std::u16string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (path.empty() || !GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return -1;
  return static_cast<long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

// FILETIME counts 100-nanosecond steps since 1601 (in nanoseconds the count
// would not fit the type).
long long FileModifiedTime(const std::u16string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (path.empty() || !GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return -1;
  const long long ticks =
      static_cast<long long>(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime;
  return ticks;
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
  if (folder.empty()) return false;
  const std::u16string wide = AddBackslash(folder);
  for (std::size_t end = PathRootLength(wide); end < wide.size(); ++end) {
    if (!IsSeparator(wide[end]) || IsSeparator(wide[end - 1])) continue;
    const std::wstring prefix = Wide(wide.substr(0, end));
    if (CreateDirectoryW(prefix.c_str(), nullptr)) continue;
    // Already there (as a folder) is fine; anything else ends the chain.
    const DWORD attributes = GetFileAttributesW(prefix.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
  }
  // The folder itself must not be a link or junction leading elsewhere.
  const DWORD attributes = GetFileAttributesW(Wide(folder).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

bool GetFileId(const std::u16string& path, FileId& id) {
  if (path.empty()) return false;
  HANDLE handle = CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information;
  const bool ok = GetFileInformationByHandle(handle, &information) != 0;
  CloseHandle(handle);
  if (!ok) return false;
  id.volume = information.dwVolumeSerialNumber;
  id.index = static_cast<std::uint64_t>(information.nFileIndexHigh) << 32 | information.nFileIndexLow;
  return true;
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

std::u16string FileNameKey(const std::u16string& name) {
  // NTFS compares names through its upper-case table, unit by unit.
  std::u16string key = name;
  for (char16_t& c : key) c = ToUpperUnit(c);
  return key;
}

FolderScope::FolderScope(const std::u16string&) {}

FolderScope::~FolderScope() {}

namespace {

bool CommitOne(const std::u16string& temporary, const std::u16string& destination) {
  const std::wstring from = Wide(temporary);
  const std::wstring to = Wide(destination);
  // The data reaches the disk before the new name does: after a power loss
  // the final name holds either the earlier file or the complete new one.
  HANDLE handle = CreateFileW(from.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool flushed = FlushFileBuffers(handle) != 0;
  CloseHandle(handle);
  if (!flushed) return false;
  // A folder of the final name is not replaced.
  const DWORD attributes = GetFileAttributesW(to.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace

void CommitFiles(const std::vector<PendingFile>& files, std::vector<bool>& committed) {
  // Flushing a whole volume needs rights a user does not have: each file is
  // flushed on its own.
  committed.assign(files.size(), false);
  for (std::size_t i = 0; i < files.size(); ++i) {
    committed[i] = CommitOne(files[i].temporary, files[i].destination);
    if (committed[i]) file_system_detail::NoteTemporaryGone(files[i].temporary);
  }
}

namespace file_system_detail {

bool FillRandom(void* data, std::size_t size) {
  return BCryptGenRandom(nullptr, static_cast<PUCHAR>(data), static_cast<ULONG>(size),
                         BCRYPT_USE_SYSTEM_PREFERRED_RNG) >= 0;
}

CreateOutcome CreateNewFile(const std::u16string& path) {
  if (path.empty()) return CreateOutcome::Failed;
  HANDLE handle = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    CloseHandle(handle);
    return CreateOutcome::Created;
  }
  const DWORD error = GetLastError();
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CreateOutcome::Exists
                                                                     : CreateOutcome::Failed;
}

// The lock is the open file itself: opened without delete sharing, it
// cannot be removed while its run lives, and the system closes it when the
// run ends however it ends.
LockHandle AcquireRunLock(const std::u16string& path) {
  if (path.empty()) return kNoLock;
  HANDLE handle = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return kNoLock;
  return reinterpret_cast<LockHandle>(handle);
}

bool ClaimStaleRunLock(const std::u16string& path, LockHandle& handle) {
  handle = kNoLock;
  if (path.empty()) return false;
  if (DeleteFileW(Wide(path).c_str())) return true;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND;
}

void ReleaseRunLock(const std::u16string& path, LockHandle handle) {
  if (handle == kNoLock) return;
  CloseHandle(reinterpret_cast<HANDLE>(handle));
  DeleteFileW(Wide(path).c_str());
}

}  // namespace file_system_detail
