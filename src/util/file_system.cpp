// What the platform files share: the form of temporary names, the per-run
// locks that guard them and the removal of stale temporaries.

#include "util/file_system.h"

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <random>
#include <set>

#include "util/file_system_platform.h"

namespace fsd = file_system_detail;

namespace {

constexpr char16_t kTemporaryPrefix[] = u".hoshibako-";
constexpr char16_t kTemporarySuffix[] = u".tmp";
constexpr char16_t kLockSuffix[] = u".lock";
constexpr std::size_t kIdDigits = 16;
constexpr std::size_t kPrefixLength = sizeof kTemporaryPrefix / sizeof(char16_t) - 1;

std::atomic<std::uint64_t> temporaryCounter{0};

std::u16string Decimal(std::uint64_t value) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value != 0);
  return digits;
}

std::u16string Hexadecimal(std::uint64_t value) {
  std::u16string digits(kIdDigits, u'0');
  for (std::size_t i = kIdDigits; i-- > 0; value >>= 4) {
    digits[i] = u"0123456789abcdef"[value & 15];
  }
  return digits;
}

// The run's id: random bits from the system; where it has no source, the
// library's generator mixed with the clock, which still differs between
// runs started apart.
const std::u16string& RunIdText() {
  static const std::u16string id = [] {
    std::uint64_t bits = 0;
    if (!fsd::FillRandom(&bits, sizeof bits)) {
      std::random_device device;
      bits = (static_cast<std::uint64_t>(device()) << 32 | device()) ^
             static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    }
    return Hexadecimal(bits);
  }();
  return id;
}

bool IsLowerHex(char16_t c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'); }

bool EndsWith(const std::u16string& text, const std::u16string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The run id of a temporary or lock name, or empty when the name has
// neither shape.
std::u16string IdOf(const std::u16string& name, bool& isLock) {
  if (name.size() < kPrefixLength + kIdDigits || name.compare(0, kPrefixLength, kTemporaryPrefix) != 0) {
    return {};
  }
  const std::u16string id = name.substr(kPrefixLength, kIdDigits);
  for (const char16_t c : id) {
    if (!IsLowerHex(c)) return {};
  }
  const std::u16string rest = name.substr(kPrefixLength + kIdDigits);
  isLock = rest == kLockSuffix;
  if (isLock) return id;
  if (rest.size() < 2 || rest[0] != u'-' || !EndsWith(rest, kTemporarySuffix)) return {};
  const std::size_t digits = rest.size() - 1 - (sizeof kTemporarySuffix / sizeof(char16_t) - 1);
  if (digits == 0 || digits > 20) return {};
  for (std::size_t i = 1; i <= digits; ++i) {
    if (rest[i] < u'0' || rest[i] > u'9') return {};
  }
  return id;
}

std::u16string LockName(const std::u16string& id) { return kTemporaryPrefix + id + kLockSuffix; }

// The folder part of a path as a key: the same for every path that
// CombinePath forms from one folder text, trailing separators or not.
std::u16string FolderKey(const std::u16string& folder) {
  std::u16string joined = CombinePath(folder, u"x");
  joined.pop_back();
  while (joined.size() > 1 && (joined.back() == u'/' || joined.back() == kPathSeparator)) joined.pop_back();
  return joined;
}

bool SplitLast(const std::u16string& path, std::u16string& folder, std::u16string& name) {
  const std::size_t slash = path.find_last_of(u"/\\");
  if (slash == std::u16string::npos || slash + 1 >= path.size()) return false;
  folder = FolderKey(path.substr(0, slash + 1));
  name = path.substr(slash + 1);
  return true;
}

// This run's lock in each folder where it has temporaries, with those
// temporaries' names. A lock is taken before the first temporary of a
// folder is created and let go when the last one is renamed or removed.
struct HeldFolder {
  fsd::LockHandle lock = fsd::kNoLock;
  std::set<std::u16string> temporaries;
};

std::mutex locksMutex;
std::map<std::u16string, HeldFolder> heldFolders;

std::u16string OwnLockPath(const std::u16string& folderKey) {
  return CombinePath(folderKey, LockName(RunIdText()));
}

}  // namespace

namespace file_system_detail {

void NoteTemporaryCreated(const std::u16string& path) {
  std::u16string folder;
  std::u16string name;
  bool isLock = false;
  if (!SplitLast(path, folder, name) || IdOf(name, isLock) != RunIdText() || isLock) return;
  std::lock_guard<std::mutex> lock(locksMutex);
  HeldFolder& held = heldFolders[folder];
  held.temporaries.insert(name);
  if (held.lock == kNoLock) held.lock = AcquireRunLock(OwnLockPath(folder));
}

void NoteTemporaryGone(const std::u16string& path) {
  std::u16string folder;
  std::u16string name;
  bool isLock = false;
  if (!SplitLast(path, folder, name) || IdOf(name, isLock) != RunIdText() || isLock) return;
  std::lock_guard<std::mutex> lock(locksMutex);
  const auto it = heldFolders.find(folder);
  if (it == heldFolders.end() || it->second.temporaries.erase(name) == 0 || !it->second.temporaries.empty()) {
    return;
  }
  ReleaseRunLock(OwnLockPath(folder), it->second.lock);
  heldFolders.erase(it);
}

}  // namespace file_system_detail

std::u16string RunId() { return RunIdText(); }

std::u16string NewTemporaryName() {
  const std::uint64_t number = temporaryCounter.fetch_add(1) + 1;
  return kTemporaryPrefix + RunIdText() + u'-' + Decimal(number) + kTemporarySuffix;
}

bool CreateTemporaryFile(const std::u16string& folder, std::u16string& name) {
  // A name is only taken when nothing holds it; a few tries cover a file
  // some other program put there under a name of the same shape.
  for (int attempt = 0; attempt < 16; ++attempt) {
    name = NewTemporaryName();
    const std::u16string path = CombinePath(folder, name);
    fsd::NoteTemporaryCreated(path);
    switch (fsd::CreateNewFile(path)) {
      case fsd::CreateOutcome::Created:
        return true;
      case fsd::CreateOutcome::Exists:
        fsd::NoteTemporaryGone(path);
        continue;
      case fsd::CreateOutcome::Failed:
        fsd::NoteTemporaryGone(path);
        break;
    }
    break;
  }
  name.clear();
  return false;
}

bool IsOwnTemporaryName(const std::u16string& name) {
  bool isLock = false;
  return !IdOf(name, isLock).empty() && !isLock;
}

bool IsRunLockName(const std::u16string& name) {
  bool isLock = false;
  return !IdOf(name, isLock).empty() && isLock;
}

bool CommitFile(const std::u16string& temporary, const std::u16string& destination) {
  std::vector<bool> committed;
  CommitFiles({PendingFile{temporary, destination}}, committed);
  return committed.front();
}

int RemoveStaleTemporaries(const std::u16string& folder) {
  std::vector<DirectoryEntry> entries;
  if (!ListDirectory(folder, entries)) return 0;
  // The temporaries of each other run, and the runs with a lock file here.
  std::map<std::u16string, std::vector<std::u16string>> temporaries;
  std::set<std::u16string> runs;
  for (const DirectoryEntry& entry : entries) {
    bool isLock = false;
    const std::u16string id = entry.isDirectory ? std::u16string() : IdOf(entry.name, isLock);
    if (id.empty() || id == RunIdText()) continue;
    runs.insert(id);
    if (!isLock) temporaries[id].push_back(entry.name);
  }
  int removed = 0;
  for (const std::u16string& id : runs) {
    const std::u16string lockPath = CombinePath(folder, LockName(id));
    fsd::LockHandle handle = fsd::kNoLock;
    if (!fsd::ClaimStaleRunLock(lockPath, handle)) continue;
    for (const std::u16string& name : temporaries[id]) {
      if (RemoveFile(CombinePath(folder, name))) ++removed;
    }
    fsd::ReleaseRunLock(lockPath, handle);
  }
  return removed;
}
