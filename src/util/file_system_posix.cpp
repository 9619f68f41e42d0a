// The file system on POSIX. Names on disk are UTF-8 bytes; the program's
// paths are UTF-16 and its narrow paths code page 932. Song folders unpacked
// from archives made on Windows often carry Shift_JIS bytes as names, so a
// path is looked up component by component: the UTF-8 form first, then the
// code page 932 bytes, then any entry of the folder whose decoded name is the
// same. New files and folders are always created under the UTF-8 form.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "util/cp932.h"
#include "util/file_system.h"
#include "util/unicode.h"

namespace {

bool Exists(const std::string& bytes) {
  struct stat st;
  return lstat(bytes.c_str(), &st) == 0;
}

// The UTF-16 name of an entry as stored on disk.
std::u16string DecodeName(const std::string& raw) {
  if (IsValidUtf8(raw)) return Utf8ToUtf16(raw);
  std::u16string name;
  if (Cp932ToUtf16(raw, name, /*escapeInvalid=*/false)) return name;
  // Neither encoding: readable, but a name that no path can reach again.
  Cp932ToUtf16(raw, name, /*escapeInvalid=*/true);
  for (char16_t& c : name) {
    if (IsCp932Escape(c)) c = 0xFFFD;
  }
  return name;
}

std::string JoinBytes(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

// Finds the on-disk bytes of one name inside an existing folder, or returns
// false when no entry matches.
bool FindComponent(const std::string& folder, const std::u16string& name, std::string& found) {
  const std::string utf8 = Utf16ToUtf8(name);
  if (Exists(JoinBytes(folder, utf8))) {
    found = utf8;
    return true;
  }
  // A name with U+FFFD stands for bytes that decoded to nothing: it must not
  // silently match some other entry.
  if (name.find(u'\xFFFD') != std::u16string::npos) return false;
  std::string cp932;
  if (Utf16ToCp932(name, cp932, false) && cp932 != utf8 && Exists(JoinBytes(folder, cp932))) {
    found = cp932;
    return true;
  }
  // Only entries that are not UTF-8 are left to match, and those decode to
  // something other than plain ASCII: an ASCII name needs no folder scan.
  if (std::all_of(name.begin(), name.end(), [](char16_t c) { return c < 0x80; })) return false;
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return false;
  bool matched = false;
  while (dirent* entry = readdir(dir)) {
    const std::string raw = entry->d_name;
    if (!IsValidUtf8(raw) && DecodeName(raw) == name) {
      found = raw;
      matched = true;
      break;
    }
  }
  closedir(dir);
  return matched;
}

// The bytes under which the OS knows a path. Components that do not exist
// (yet) keep their UTF-8 form, so creating a file or folder uses that.
std::string OsPath(const std::u16string& path) {
  const std::string direct = Utf16ToUtf8(path);
  if (path.empty() || Exists(direct)) return direct;
  // The usual miss is a file about to be created in a folder that exists
  // under its UTF-8 name: only the last component needs looking up.
  const std::size_t slash = path.find_last_of(u'/');
  if (slash != std::u16string::npos && slash > 0 && slash + 1 < path.size()) {
    const std::string parent = Utf16ToUtf8(path.substr(0, slash));
    const std::u16string last = path.substr(slash + 1);
    if (last != u"." && last != u".." && Exists(parent)) {
      std::string part;
      if (!FindComponent(parent, last, part)) part = Utf16ToUtf8(last);
      return JoinBytes(parent, part);
    }
  }
  std::size_t start = PathRootLength(path);
  std::string result(start, '/');
  bool resolving = true;
  while (start < path.size()) {
    std::size_t end = path.find(u'/', start);
    if (end == std::u16string::npos) end = path.size();
    const std::u16string name = path.substr(start, end - start);
    std::string part;
    if (name.empty() || name == u"." || name == u"..") {
      part = Utf16ToUtf8(name);
    } else if (!resolving || !FindComponent(result, name, part)) {
      resolving = false;
      part = Utf16ToUtf8(name);
    }
    result = name.empty() ? result : JoinBytes(result, part);
    if (end < path.size() && name.empty()) result += '/';
    start = end + 1;
  }
  return result;
}

bool NarrowToWide(const NarrowPath& path, std::u16string& wide) {
  return !path.empty() && Cp932ToUtf16(path, wide, /*escapeInvalid=*/false);
}

}  // namespace

bool ListDirectory(const std::u16string& folder, std::vector<DirectoryEntry>& entries) {
  entries.clear();
  const std::string base = OsPath(folder);
  DIR* dir = opendir(base.empty() ? "." : base.c_str());
  if (dir == nullptr) return false;
  std::vector<std::string> names;
  while (dirent* entry = readdir(dir)) {
    const std::string raw = entry->d_name;
    if (raw == "." || raw == "..") continue;
    names.push_back(raw);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  entries.reserve(names.size());
  for (const std::string& raw : names) {
    DirectoryEntry entry;
    entry.name = DecodeName(raw);
    const std::string full = JoinBytes(base, raw);
    struct stat st;
    if (lstat(full.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
      entry.isLink = true;
      entry.isDirectory = stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    } else {
      entry.isDirectory = S_ISDIR(st.st_mode);
    }
    entries.push_back(std::move(entry));
  }
  return true;
}

bool CopyFileOverwrite(const std::u16string& source, const std::u16string& destination) {
  if (source.find(u'\xFFFD') != std::u16string::npos) return false;
  const std::string from = OsPath(source);
  const std::string to = OsPath(destination);
  const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat st;
  if (fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(in);
    return false;
  }
  const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 07777);
  if (out < 0) {
    close(in);
    return false;
  }
  bool ok = true;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = read(in, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = write(out, buffer + done, static_cast<size_t>(n - done));
      if (w < 0) {
        if (errno == EINTR) continue;
        ok = false;
        break;
      }
      done += w;
    }
    if (!ok) break;
  }
  // Like the platform copy on Windows, keep the permission bits and the
  // last-modified time of the source.
  if (ok) {
    fchmod(out, st.st_mode & 07777);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    futimens(out, times);
  }
  if (close(out) != 0) ok = false;
  close(in);
  return ok;
}

std::FILE* OpenFile(const NarrowPath& path, const char* mode) {
  std::u16string wide;
  if (!NarrowToWide(path, wide)) return nullptr;
  // Text and binary mode are the same here; "e" keeps the descriptor out of
  // child processes.
  std::string posixMode;
  for (const char* m = mode; *m != '\0'; ++m) {
    if (*m != 'b' && *m != 't') posixMode += *m;
  }
  posixMode += 'e';
  return std::fopen(OsPath(wide).c_str(), posixMode.c_str());
}

bool RemoveFile(const NarrowPath& path) {
  std::u16string wide;
  if (!NarrowToWide(path, wide)) return false;
  return unlink(OsPath(wide).c_str()) == 0 || errno == ENOENT;
}

long long FileSize(const std::u16string& path) {
  struct stat st;
  if (stat(OsPath(path).c_str(), &st) != 0) return -1;
  return static_cast<long long>(st.st_size);
}

std::u16string ResolvedPath(const std::u16string& path) {
  if (path.empty()) return std::u16string();
  char* resolved = realpath(OsPath(path).c_str(), nullptr);
  if (resolved == nullptr) return std::u16string();
  std::u16string result = DecodeName(resolved);
  std::free(resolved);
  return result;
}

bool CreateDirectoryPath(const std::u16string& folder) {
  const NarrowPath narrow = ToNarrowPath(AddBackslash(folder));
  std::u16string wide;
  if (!NarrowToWide(narrow, wide)) return false;
  // Walk down the chain, creating what is missing under its UTF-8 name.
  std::size_t position = 0;
  while (position < wide.size()) {
    std::size_t end = wide.find(u'/', position);
    if (end == std::u16string::npos) end = wide.size();
    if (end > 0 && end > position) {
      const std::string prefix = OsPath(wide.substr(0, end));
      if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    position = end + 1;
  }
  return DirectoryExists(folder);
}

bool DirectoryExists(const std::u16string& path) {
  if (path.empty()) return false;
  struct stat st;
  return stat(OsPath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::u16string CurrentDirectory() {
  char buffer[PATH_MAX];
  if (getcwd(buffer, sizeof buffer) == nullptr) return std::u16string();
  return DecodeName(buffer);
}
