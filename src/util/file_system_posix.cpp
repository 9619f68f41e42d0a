// The file system on POSIX. Names on disk are bytes, UTF-8 as a rule; the
// program's paths are UTF-16. Song folders unpacked from archives made on
// Windows often carry Shift_JIS bytes as names, so an existing name is
// looked up as its UTF-8 form first, then as its code page 932 bytes, then
// as any entry of the folder whose decoded name is the same. New files and
// folders are always created under the UTF-8 form, without a lookup.
//
// Every operation works on a folder descriptor and one name (openat and its
// relatives): a path is split into its folder and last name, and the folder
// is either the descriptor of an open FolderScope or opened component by
// component. Neither limits the path's length.

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <list>
#include <mutex>
#include <unordered_map>

#include "util/cp932.h"
#include "util/file_system.h"
#include "util/file_system_platform.h"
#include "util/unicode.h"

namespace {

// A descriptor closed with its owner.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(Fd&& other) noexcept : fd_(other.Release()) {}
  Fd& operator=(Fd&& other) noexcept {
    Reset(other.Release());
    return *this;
  }
  ~Fd() { Reset(); }
  int Get() const { return fd_; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset(int fd = -1) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

// One FolderScope of this thread: its folder as a key, the descriptor while
// it is held open, the folder's identity, and the scope it was opened from.
struct ScopeEntry {
  std::u16string key;
  int fd = -1;
  dev_t device = 0;
  ino_t inode = 0;
  int parent = -1;  // index into the scope stack, or -1
};

thread_local std::vector<ScopeEntry> scopes;

bool IsSeparator(char16_t c) { return c == u'/'; }

// The path without trailing separators, the root "/" excepted.
std::u16string StripTrailing(const std::u16string& path) {
  std::size_t end = path.size();
  while (end > 1 && IsSeparator(path[end - 1])) --end;
  return path.substr(0, end);
}

// The folder part and the last name of a path (without trailing separators).
// The folder part is empty for a bare name (the current folder).
bool SplitPath(const std::u16string& path, std::u16string& folder, std::u16string& name) {
  const std::u16string whole = StripTrailing(path);
  if (whole.empty()) return false;
  if (whole == u"/") {
    folder = u"/";
    name = u".";
    return true;
  }
  const std::size_t slash = whole.find_last_of(u'/');
  if (slash == std::u16string::npos) {
    folder.clear();
    name = whole;
  } else {
    folder = StripTrailing(whole.substr(0, slash + 1));
    name = whole.substr(slash + 1);
  }
  return true;
}

// The key of a folder in the scope stack: the form its entries' paths have
// once CombinePath has joined a name to it, less that name.
std::u16string ScopeKey(const std::u16string& folder) {
  std::u16string joined = CombinePath(folder, u"x");
  joined.pop_back();
  return StripTrailing(joined);
}

// The descriptor of an open scope for the folder, or -1.
int ScopeDescriptor(const std::u16string& folderKey) {
  for (auto it = scopes.rbegin(); it != scopes.rend(); ++it) {
    if (it->fd >= 0 && it->key == folderKey) return it->fd;
  }
  return -1;
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

bool HasEscapes(const std::u16string& name) {
  return std::any_of(name.begin(), name.end(), [](char16_t c) { return IsCp932Escape(c); });
}

// The name under which an entry is listed when its decoded name is taken by
// another entry of the folder (the same name in UTF-8 and in Shift_JIS
// bytes, or two code page 932 spellings of one character): ASCII as it is,
// every other byte as its escape unit. It names those bytes and no others.
std::u16string EscapedName(const std::string& raw) {
  std::u16string name;
  name.reserve(raw.size());
  for (const char c : raw) {
    const auto b = static_cast<unsigned char>(c);
    name += b < 0x80 ? static_cast<char16_t>(b) : static_cast<char16_t>(kCp932EscapeBase + b);
  }
  return name;
}

// The bytes a name stands for: escape units are their bytes, anything else
// is UTF-8, the form new entries are created under.
std::string NameBytes(const std::u16string& name) {
  if (!HasEscapes(name)) return Utf16ToUtf8(name);
  std::string bytes;
  for (const char16_t unit : name) {
    if (IsCp932Escape(unit)) {
      bytes += static_cast<char>(unit - kCp932EscapeBase);
    } else {
      bytes += Utf16ToUtf8(std::u16string(1, unit));
    }
  }
  return bytes;
}

// The names a folder's entries are listed under, one per raw name: the
// decoded name, unless another entry decodes to it too. Then the entry that
// a lookup of the decoded name finds keeps it (the UTF-8 one, else the one
// in the preferred code page 932 bytes), and the others get their escaped
// names, so that every entry is listed, and reached, under a name of its
// own.
std::vector<std::u16string> ListedNames(const std::vector<std::string>& raws) {
  std::vector<std::u16string> names;
  names.reserve(raws.size());
  std::unordered_map<std::u16string, std::vector<std::size_t>> holders;
  for (std::size_t i = 0; i < raws.size(); ++i) {
    names.push_back(DecodeName(raws[i]));
    holders[names.back()].push_back(i);
  }
  for (const auto& [name, indexes] : holders) {
    if (indexes.size() < 2) continue;
    std::string preferred;
    if (!Utf16ToCp932(name, preferred, false)) preferred.clear();
    const std::string utf8 = Utf16ToUtf8(name);
    std::size_t keeper = raws.size();
    for (const std::size_t i : indexes) {
      if (raws[i] == utf8 && IsValidUtf8(raws[i])) keeper = i;
    }
    if (keeper == raws.size()) {
      for (const std::size_t i : indexes) {
        if (raws[i] == preferred) keeper = i;
      }
    }
    for (const std::size_t i : indexes) {
      if (i != keeper) names[i] = EscapedName(raws[i]);
    }
  }
  return names;
}

// The raw names of a folder's entries, "." and ".." left out, sorted. The
// descriptor's reading position is shared with its duplicates: it is
// rewound first.
bool ReadRawNames(int folder, std::vector<std::string>& raws, std::vector<unsigned char>* types = nullptr) {
  const int copy =
      folder == AT_FDCWD ? open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : fcntl(folder, F_DUPFD_CLOEXEC, 0);
  if (copy < 0) return false;
  DIR* dir = fdopendir(copy);
  if (dir == nullptr) {
    close(copy);
    return false;
  }
  rewinddir(dir);
  std::vector<std::pair<std::string, unsigned char>> entries;
  errno = 0;
  while (dirent* entry = readdir(dir)) {
    std::string raw = entry->d_name;
    if (raw == "." || raw == "..") continue;
    entries.emplace_back(std::move(raw), entry->d_type);
  }
  const bool complete = errno == 0;
  closedir(dir);
  std::sort(entries.begin(), entries.end());
  raws.clear();
  if (types != nullptr) types->clear();
  for (auto& [raw, type] : entries) {
    raws.push_back(std::move(raw));
    if (types != nullptr) types->push_back(type);
  }
  return complete;
}

// The entries of one folder that a lookup can only find by their decoded
// name (stored in code page 932 bytes other than the preferred ones, such
// as NEC row 13 against the IBM extensions), by that name. Built once per
// folder and kept while the folder is unchanged, so a folder full of such
// names is not read again for every one of them.
struct FolderIndex {
  dev_t device = 0;
  ino_t inode = 0;
  struct timespec modified {};
  std::unordered_map<std::u16string, std::string> rawByName;
};

constexpr std::size_t kIndexesPerThread = 8;
thread_local std::vector<FolderIndex> indexes;

const FolderIndex* IndexOf(int folder) {
  struct stat st;
  if (fstatat(folder, ".", &st, 0) != 0) return nullptr;
  for (std::size_t i = 0; i < indexes.size(); ++i) {
    const FolderIndex& index = indexes[i];
    if (index.device == st.st_dev && index.inode == st.st_ino && index.modified.tv_sec == st.st_mtim.tv_sec &&
        index.modified.tv_nsec == st.st_mtim.tv_nsec) {
      // The most recent first, the oldest dropped when full.
      std::rotate(indexes.begin(), indexes.begin() + static_cast<std::ptrdiff_t>(i),
                  indexes.begin() + static_cast<std::ptrdiff_t>(i) + 1);
      return &indexes.front();
    }
  }
  FolderIndex index;
  index.device = st.st_dev;
  index.inode = st.st_ino;
  index.modified = st.st_mtim;
  std::vector<std::string> raws;
  if (!ReadRawNames(folder, raws)) return nullptr;
  const std::vector<std::u16string> names = ListedNames(raws);
  for (std::size_t i = 0; i < raws.size(); ++i) {
    if (!IsValidUtf8(raws[i]) && !HasEscapes(names[i]) && names[i].find(u'\xFFFD') == std::u16string::npos) {
      index.rawByName.emplace(names[i], raws[i]);
    }
  }
  if (indexes.size() >= kIndexesPerThread) indexes.pop_back();
  indexes.insert(indexes.begin(), std::move(index));
  return &indexes.front();
}

bool EntryExists(int folder, const std::string& name) {
  struct stat st;
  return fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

// The bytes under which an existing entry of the folder is stored, or false.
bool FindName(int folder, const std::u16string& name, std::string& found) {
  if (HasEscapes(name)) {
    found = NameBytes(name);
    return EntryExists(folder, found);
  }
  const std::string utf8 = Utf16ToUtf8(name);
  if (name == u"." || name == u"..") {
    found = utf8;
    return true;
  }
  if (EntryExists(folder, utf8)) {
    found = utf8;
    return true;
  }
  // A name with U+FFFD stands for bytes that decoded to nothing: it must not
  // silently match some other entry.
  if (name.find(u'\xFFFD') != std::u16string::npos) return false;
  std::string cp932;
  if (Utf16ToCp932(name, cp932, false) && cp932 != utf8 && EntryExists(folder, cp932)) {
    found = cp932;
    return true;
  }
  // Only entries that are not UTF-8 are left to match, and those decode to
  // something other than plain ASCII: an ASCII name needs no index.
  if (std::all_of(name.begin(), name.end(), [](char16_t c) { return c < 0x80; })) return false;
  const FolderIndex* index = IndexOf(folder);
  if (index == nullptr) return false;
  const auto it = index->rawByName.find(name);
  if (it == index->rawByName.end()) return false;
  found = it->second;
  return true;
}

int OpenFolderAt(int folder, const std::string& name, bool noFollow = false) {
  return openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (noFollow ? O_NOFOLLOW : 0));
}

// Folders opened by absolute path, kept open and shared by all threads, so
// that a path is opened from its longest open folder instead of from the
// root: the walk goes one level deeper at a time, and each level costs the
// same whatever its depth. They are kept only while some thread holds a
// FolderScope (a walk is on), and all closed when the last scope closes, so
// outside a walk the process holds no more descriptors than it uses. The
// least recently used go first. A folder removed meanwhile (no links left)
// is dropped on sight; a lookup then starts from higher up.
std::atomic<int> liveScopes{0};

class OpenFolders {
 public:
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [key, fd] : order_) close(fd);
    order_.clear();
    byKey_.clear();
  }

  // A descriptor of the caller's own for the folder, or -1.
  int Copy(const std::u16string& key) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = byKey_.find(key);
    if (found == byKey_.end()) return -1;
    const auto entry = found->second;
    struct stat st;
    if (fstat(entry->second, &st) != 0 || st.st_nlink == 0) {
      close(entry->second);
      byKey_.erase(found);
      order_.erase(entry);
      return -1;
    }
    order_.splice(order_.begin(), order_, entry);
    return fcntl(entry->second, F_DUPFD_CLOEXEC, 0);
  }

  void Put(const std::u16string& key, int fd) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (liveScopes.load() == 0 || byKey_.count(key) != 0) return;
    // Everything that allocates comes first: a failed allocation then
    // leaves no descriptor behind.
    order_.emplace_front(key, -1);
    try {
      byKey_[key] = order_.begin();
    } catch (...) {
      order_.pop_front();
      throw;
    }
    const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) {
      byKey_.erase(key);
      order_.pop_front();
      return;
    }
    order_.front().second = copy;
    if (order_.size() > kCapacity) {
      close(order_.back().second);
      byKey_.erase(order_.back().first);
      order_.pop_back();
    }
  }

 private:
  static constexpr std::size_t kCapacity = 64;
  std::mutex mutex_;
  std::list<std::pair<std::u16string, int>> order_;
  std::unordered_map<std::u16string, std::list<std::pair<std::u16string, int>>::iterator> byKey_;
};

OpenFolders* sharedFolders = nullptr;

OpenFolders& SharedFolders() {
  // Never destroyed: threads may still resolve paths while the process ends.
  // A child process starts afresh: it may move to another mount namespace,
  // where folders opened before would still resolve paths in the old one.
  static const bool once = [] {
    sharedFolders = new OpenFolders;
    pthread_atfork(nullptr, nullptr, [] { sharedFolders = new OpenFolders; });
    return true;
  }();
  (void)once;
  return *sharedFolders;
}

// Opens a folder by its whole path, one component after the other, so that
// no length limit applies, starting from the longest open folder that
// leads to it. With `create`, missing folders are made on the way, and the
// last folder is made and opened itself (never taken from the open
// folders), and must not be a symbolic link.
Fd OpenFolderPath(const std::u16string& path, bool create) {
  if (path.empty()) return Fd(open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  const bool absolute = IsSeparator(path[0]);
  std::size_t start = 0;
  Fd current;
  if (absolute) {
    // Candidate prefixes end before a separator; the whole path counts too,
    // unless its last folder is to be made.
    std::size_t end = create ? path.find_last_of(u'/') : path.size();
    while (end != std::u16string::npos && end > 0) {
      const int fd = SharedFolders().Copy(path.substr(0, end));
      if (fd >= 0) {
        current = Fd(fd);
        start = end + 1;
        break;
      }
      end = path.find_last_of(u'/', end - 1);
    }
  }
  if (current.Get() < 0) current = Fd(open(absolute ? "/" : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  while (current.Get() >= 0 && start < path.size()) {
    std::size_t end = path.find(u'/', start);
    if (end == std::u16string::npos) end = path.size();
    const std::u16string name = path.substr(start, end - start);
    start = end + 1;
    if (name.empty() || name == u".") continue;
    const bool last = path.find_first_not_of(u'/', start) == std::u16string::npos;
    std::string bytes;
    if (create && last && name != u"..") {
      // The folder asked for, under its own bytes, not another spelling.
      bytes = NameBytes(name);
      if (mkdirat(current.Get(), bytes.c_str(), 0777) != 0 && errno != EEXIST) return Fd();
    } else if (!FindName(current.Get(), name, bytes)) {
      if (!create) return Fd();
      bytes = NameBytes(name);
      if (mkdirat(current.Get(), bytes.c_str(), 0777) != 0 && errno != EEXIST) return Fd();
    }
    current = Fd(OpenFolderAt(current.Get(), bytes, create && last && name != u".."));
    if (absolute && current.Get() >= 0 && name != u"..")
      SharedFolders().Put(path.substr(0, end), current.Get());
  }
  return current;
}

// Where the OS finds a path: the descriptor of its folder and the bytes of
// its last name.
struct Location {
  int folder = -1;
  Fd owned;  // the folder's descriptor when it was opened for this lookup
  std::string name;
};

enum class Lookup { Existing, Create };

// `Create` takes the UTF-8 form of the last name without looking for an
// existing entry, so making a new file never scans its folder.
bool Locate(const std::u16string& path, Lookup lookup, Location& location) {
  std::u16string folder;
  std::u16string name;
  if (!SplitPath(path, folder, name)) return false;
  if (folder.empty()) {
    location.folder = AT_FDCWD;
  } else {
    location.folder = ScopeDescriptor(folder);
    if (location.folder < 0) {
      location.owned = OpenFolderPath(folder, false);
      location.folder = location.owned.Get();
      if (location.folder < 0) return false;
    }
  }
  if (lookup == Lookup::Create || name == u"." || name == u"..") {
    location.name = NameBytes(name);
    return true;
  }
  return FindName(location.folder, name, location.name);
}

// Splits an fopen mode into open flags. "b", "t" and "e" add nothing here.
int OpenFlags(const char* mode) {
  const bool plus = std::strchr(mode, '+') != nullptr;
  int flags = O_CLOEXEC;
  switch (mode[0]) {
    case 'r':
      flags |= plus ? O_RDWR : O_RDONLY;
      break;
    case 'w':
      flags |= (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
      break;
    case 'a':
      flags |= (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
      break;
    default:
      return -1;
  }
  if (std::strchr(mode, 'x') != nullptr) flags |= O_EXCL;
  return flags;
}

// What may be opened: for reading, a regular file only, since a FIFO, a
// socket or a device such as /dev/zero could block or never end; for
// writing, also a character device (/dev/null, /dev/full), which takes or
// refuses the bytes at once.
bool Openable(const struct stat& st, int flags) {
  return S_ISREG(st.st_mode) || (S_ISCHR(st.st_mode) && (flags & O_ACCMODE) == O_WRONLY);
}

// Opens a file (or a link to one) that Openable allows; anything else fails
// without blocking: the type is checked before the open, the open itself
// does not wait (a FIFO would wait for its other end), and the type is
// checked again on what was opened, in case the entry changed in between.
Fd OpenRegular(int folder, const std::string& name, int flags) {
  struct stat st;
  if (fstatat(folder, name.c_str(), &st, 0) == 0) {
    if (!Openable(st, flags)) return Fd();
  } else if (errno != ENOENT || (flags & O_CREAT) == 0) {
    return Fd();
  }
  Fd fd(openat(folder, name.c_str(), flags | O_NONBLOCK, 0666));
  if (fd.Get() < 0) return Fd();
  if (fstat(fd.Get(), &st) != 0 || !Openable(st, flags)) return Fd();
  const int status = fcntl(fd.Get(), F_GETFL);
  if (status < 0 || fcntl(fd.Get(), F_SETFL, status & ~O_NONBLOCK) != 0) return Fd();
  return fd;
}

std::FILE* OpenStream(const std::u16string& path, const char* mode) {
  const int flags = OpenFlags(mode);
  if (flags < 0) return nullptr;
  Location location;
  if (!Locate(path, (flags & O_CREAT) != 0 ? Lookup::Create : Lookup::Existing, location)) return nullptr;
  if ((flags & O_CREAT) != 0) file_system_detail::NoteTemporaryCreated(path);
  Fd fd = OpenRegular(location.folder, location.name, flags);
  if (fd.Get() < 0) return nullptr;
  std::string streamMode;
  for (const char* m = mode; *m != '\0'; ++m) {
    if (*m == 'r' || *m == 'w' || *m == 'a' || *m == '+') streamMode += *m;
  }
  std::FILE* file = fdopen(fd.Get(), streamMode.c_str());
  if (file != nullptr) fd.Release();
  return file;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t w = write(fd, data, size);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += w;
    size -= static_cast<std::size_t>(w);
  }
  return true;
}

bool NarrowToWide(const NarrowPath& path, std::u16string& wide) {
  return !path.empty() && Cp932ToUtf16(path, wide, /*escapeInvalid=*/false);
}

}  // namespace

FolderScope::FolderScope(const std::u16string& folder) {
  ScopeEntry entry;
  entry.key = ScopeKey(folder);
  if (entry.key.empty()) return;
  Fd fd;
  std::u16string parent;
  std::u16string name;
  int parentIndex = -1;
  if (SplitPath(entry.key, parent, name) && name != u"." && name != u"..") {
    for (int i = static_cast<int>(scopes.size()) - 1; i >= 0; --i) {
      if (scopes[static_cast<std::size_t>(i)].fd >= 0 && scopes[static_cast<std::size_t>(i)].key == parent) {
        parentIndex = i;
        break;
      }
    }
  }
  if (parentIndex >= 0) {
    std::string bytes;
    if (FindName(scopes[static_cast<std::size_t>(parentIndex)].fd, name, bytes)) {
      fd = Fd(OpenFolderAt(scopes[static_cast<std::size_t>(parentIndex)].fd, bytes));
    }
  } else {
    fd = OpenFolderPath(entry.key, false);
  }
  struct stat st;
  if (fd.Get() < 0 || fstat(fd.Get(), &st) != 0) return;
  entry.device = st.st_dev;
  entry.inode = st.st_ino;
  entry.parent = parentIndex;
  // The parent is not needed while this folder is worked on; closing it
  // keeps the number of open descriptors independent of the depth.
  if (parentIndex >= 0) {
    ScopeEntry& above = scopes[static_cast<std::size_t>(parentIndex)];
    close(above.fd);
    above.fd = -1;
  }
  entry.fd = fd.Release();
  scopes.push_back(std::move(entry));
  opened_ = true;
  ++liveScopes;
}

FolderScope::~FolderScope() {
  if (!opened_) return;
  if (--liveScopes == 0) SharedFolders().Clear();
  if (scopes.empty()) return;
  ScopeEntry entry = std::move(scopes.back());
  scopes.pop_back();
  if (entry.parent >= 0 && static_cast<std::size_t>(entry.parent) < scopes.size()) {
    ScopeEntry& parent = scopes[static_cast<std::size_t>(entry.parent)];
    if (parent.fd < 0 && entry.fd >= 0) {
      // Back up through "..", which is the parent unless the tree was moved
      // meanwhile; the identity check tells, and the path is the fallback.
      Fd up(OpenFolderAt(entry.fd, ".."));
      struct stat st;
      if (up.Get() < 0 || fstat(up.Get(), &st) != 0 || st.st_dev != parent.device ||
          st.st_ino != parent.inode) {
        up = OpenFolderPath(parent.key, false);
      }
      parent.fd = up.Release();
    }
  }
  if (entry.fd >= 0) close(entry.fd);
}

bool ListDirectory(const std::u16string& folder, std::vector<DirectoryEntry>& entries) {
  entries.clear();
  if (folder.empty()) return false;
  const int scoped = ScopeDescriptor(ScopeKey(folder));
  Fd owned;
  if (scoped < 0) owned = OpenFolderPath(StripTrailing(folder), false);
  const int dirFd = scoped >= 0 ? scoped : owned.Get();
  if (dirFd < 0) return false;
  std::vector<std::string> raws;
  std::vector<unsigned char> types;
  if (!ReadRawNames(dirFd, raws, &types)) return false;
  const std::vector<std::u16string> names = ListedNames(raws);
  entries.reserve(raws.size());
  for (std::size_t i = 0; i < raws.size(); ++i) {
    const std::string& raw = raws[i];
    DirectoryEntry entry;
    entry.name = names[i];
    struct stat st;
    unsigned char kind = types[i];
    // Some file systems leave the type to a separate query.
    if (kind == DT_UNKNOWN && fstatat(dirFd, raw.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
      kind = S_ISLNK(st.st_mode) ? DT_LNK : S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
    }
    if (kind == DT_LNK) {
      entry.isLink = true;
      entry.isDirectory = fstatat(dirFd, raw.c_str(), &st, 0) == 0 && S_ISDIR(st.st_mode);
    } else {
      entry.isDirectory = kind == DT_DIR;
    }
    entries.push_back(std::move(entry));
  }
  return true;
}

bool CopyFileOverwrite(const std::u16string& source, const std::u16string& destination) {
  Location from;
  if (!Locate(source, Lookup::Existing, from)) return false;
  Fd in = OpenRegular(from.folder, from.name, O_RDONLY | O_CLOEXEC);
  if (in.Get() < 0) return false;
  struct stat st;
  if (fstat(in.Get(), &st) != 0) return false;
  Location to;
  if (!Locate(destination, Lookup::Create, to)) return false;
  file_system_detail::NoteTemporaryCreated(destination);
  Fd out = OpenRegular(to.folder, to.name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC);
  if (out.Get() < 0) return false;
  bool ok = true;
  static thread_local char buffer[1 << 16];
  for (;;) {
    const ssize_t n = read(in.Get(), buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    if (!WriteAll(out.Get(), buffer, static_cast<std::size_t>(n))) {
      ok = false;
      break;
    }
  }
  // Like the platform copy on Windows, keep the permission bits and the
  // last-modified time of the source.
  if (ok) {
    fchmod(out.Get(), st.st_mode & 07777);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    futimens(out.Get(), times);
  }
  if (close(out.Release()) != 0) ok = false;
  return ok;
}

std::FILE* OpenFile(const std::u16string& path, const char* mode) { return OpenStream(path, mode); }

std::FILE* OpenFile(const NarrowPath& path, const char* mode) {
  std::u16string wide;
  if (!NarrowToWide(path, wide)) return nullptr;
  return OpenStream(wide, mode);
}

bool RemoveFile(const std::u16string& path) {
  Location location;
  // A name that cannot be found is not there to remove.
  if (!Locate(path, Lookup::Existing, location)) {
    file_system_detail::NoteTemporaryGone(path);
    return !StripTrailing(path).empty();
  }
  const bool removed = unlinkat(location.folder, location.name.c_str(), 0) == 0 || errno == ENOENT;
  if (removed) file_system_detail::NoteTemporaryGone(path);
  return removed;
}

bool RemoveFile(const NarrowPath& path) {
  std::u16string wide;
  if (!NarrowToWide(path, wide)) return false;
  return RemoveFile(wide);
}

long long FileSize(const std::u16string& path) {
  Location location;
  struct stat st;
  if (!Locate(path, Lookup::Existing, location) ||
      fstatat(location.folder, location.name.c_str(), &st, 0) != 0) {
    return -1;
  }
  return static_cast<long long>(st.st_size);
}

long long FileModifiedTime(const std::u16string& path) {
  Location location;
  struct stat st;
  if (!Locate(path, Lookup::Existing, location) ||
      fstatat(location.folder, location.name.c_str(), &st, 0) != 0) {
    return -1;
  }
  return static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
}

std::u16string ResolvedPath(const std::u16string& path) {
  if (path.empty()) return std::u16string();
  Location location;
  if (!Locate(path, Lookup::Existing, location)) return std::u16string();
  Fd target(openat(location.folder, location.name.c_str(), O_PATH | O_CLOEXEC));
  if (target.Get() < 0) return std::u16string();
  // The kernel names what a descriptor refers to, links and dots resolved.
  const std::string link = "/proc/self/fd/" + std::to_string(target.Get());
  std::string resolved(PATH_MAX, '\0');
  for (;;) {
    const ssize_t n = readlink(link.c_str(), resolved.data(), resolved.size());
    if (n < 0) break;
    if (static_cast<std::size_t>(n) < resolved.size()) {
      resolved.resize(static_cast<std::size_t>(n));
      return DecodeName(resolved);
    }
    resolved.resize(resolved.size() * 2);
  }
  char* real = realpath(Utf16ToUtf8(path).c_str(), nullptr);
  if (real == nullptr) return std::u16string();
  std::u16string result = DecodeName(real);
  std::free(real);
  return result;
}

bool CreateDirectoryPath(const std::u16string& folder) {
  std::u16string parent;
  std::u16string name;
  if (!SplitPath(folder, parent, name)) return false;
  // Inside an open scope only the last folder can be missing.
  const int scoped = parent.empty() ? -1 : ScopeDescriptor(parent);
  if (scoped >= 0 && name != u"." && name != u"..") {
    const std::string bytes = NameBytes(name);
    if (mkdirat(scoped, bytes.c_str(), 0777) != 0 && errno != EEXIST) return false;
    struct stat st;
    return fstatat(scoped, bytes.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
  }
  return OpenFolderPath(StripTrailing(folder), true).Get() >= 0;
}

bool GetFileId(const std::u16string& path, FileId& id) {
  Location location;
  struct stat st;
  if (!Locate(path, Lookup::Existing, location) ||
      fstatat(location.folder, location.name.c_str(), &st, 0) != 0) {
    return false;
  }
  id.volume = static_cast<std::uint64_t>(st.st_dev);
  id.index = static_cast<std::uint64_t>(st.st_ino);
  return true;
}

bool DirectoryExists(const std::u16string& path) {
  if (path.empty()) return false;
  Location location;
  struct stat st;
  return Locate(path, Lookup::Existing, location) &&
         fstatat(location.folder, location.name.c_str(), &st, 0) == 0 && S_ISDIR(st.st_mode);
}

std::u16string CurrentDirectory() {
  char* buffer = getcwd(nullptr, 0);
  if (buffer == nullptr) return std::u16string();
  std::u16string result = DecodeName(buffer);
  std::free(buffer);
  return result;
}

std::u16string FileNameKey(const std::u16string& name) { return name; }

void CommitFiles(const std::vector<PendingFile>& files, std::vector<bool>& committed) {
  committed.assign(files.size(), false);
  if (files.empty()) return;
  // The data reaches the disk before the new names do: after a power loss a
  // final name holds either the earlier file or the complete new one. One
  // flush of the whole file system covers every temporary of the batch;
  // where it fails, each file is flushed on its own.
  Location first;
  const bool flushedAll =
      Locate(files.front().temporary, Lookup::Create, first) &&
      syncfs(first.folder == AT_FDCWD ? Fd(open(".", O_RDONLY | O_CLOEXEC)).Get() : first.folder) == 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    Location from;
    Location to;
    if (!Locate(files[i].temporary, Lookup::Create, from) ||
        !Locate(files[i].destination, Lookup::Create, to)) {
      continue;
    }
    if (!flushedAll) {
      Fd fd(openat(from.folder, from.name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
      if (fd.Get() < 0 || fsync(fd.Get()) != 0) continue;
    }
    committed[i] = renameat(from.folder, from.name.c_str(), to.folder, to.name.c_str()) == 0;
    if (committed[i]) file_system_detail::NoteTemporaryGone(files[i].temporary);
  }
}

namespace file_system_detail {

bool FillRandom(void* data, std::size_t size) {
  auto* bytes = static_cast<unsigned char*>(data);
  while (size > 0) {
    const ssize_t n = getrandom(bytes, size, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

CreateOutcome CreateNewFile(const std::u16string& path) {
  Location location;
  if (!Locate(path, Lookup::Create, location)) return CreateOutcome::Failed;
  Fd fd(openat(location.folder, location.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
               0666));
  if (fd.Get() >= 0) return CreateOutcome::Created;
  return errno == EEXIST ? CreateOutcome::Exists : CreateOutcome::Failed;
}

namespace {

// True when the name in the folder still is the file the descriptor holds:
// a clean-up that took the lock first may have removed it meanwhile.
bool StillNamed(int folder, const std::string& name, int fd) {
  struct stat held;
  struct stat named;
  return fstat(fd, &held) == 0 && fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

}  // namespace

LockHandle AcquireRunLock(const std::u16string& path) {
  Location location;
  if (!Locate(path, Lookup::Create, location)) return kNoLock;
  // The name is this run's alone, so the lock is only ever contended by a
  // clean-up that found the file between its creation and the lock; that
  // clean-up removes it, and the loop makes a new one.
  for (int attempt = 0; attempt < 8; ++attempt) {
    Fd fd(openat(location.folder, location.name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (fd.Get() < 0) return kNoLock;
    int locked;
    do {
      locked = flock(fd.Get(), LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) return kNoLock;
    if (StillNamed(location.folder, location.name, fd.Get())) return fd.Release();
  }
  return kNoLock;
}

bool ClaimStaleRunLock(const std::u16string& path, LockHandle& handle) {
  handle = kNoLock;
  Location location;
  if (!Locate(path, Lookup::Create, location)) return false;
  Fd fd(openat(location.folder, location.name.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
  if (fd.Get() < 0) return errno == ENOENT;
  if (flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) return false;
  // Taken, but only meaningful while the name still leads to it.
  if (!StillNamed(location.folder, location.name, fd.Get())) return false;
  handle = fd.Release();
  return true;
}

void ReleaseRunLock(const std::u16string& path, LockHandle handle) {
  if (handle == kNoLock) return;
  // Removed while still held, so no run can take a file about to vanish.
  Location location;
  if (Locate(path, Lookup::Create, location)) unlinkat(location.folder, location.name.c_str(), 0);
  close(static_cast<int>(handle));
}

}  // namespace file_system_detail
