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

// The locks this run holds, by folder.
std::mutex locksMutex;
std::map<std::u16string, fsd::LockHandle> heldLocks;

bool HoldLock(const std::u16string& folder) {
  std::lock_guard<std::mutex> lock(locksMutex);
  if (heldLocks.count(folder) != 0) return true;
  const fsd::LockHandle handle = fsd::AcquireRunLock(CombinePath(folder, LockName(RunIdText())));
  if (handle == fsd::kNoLock) return false;
  heldLocks.emplace(folder, handle);
  return true;
}

}  // namespace

std::u16string RunId() { return RunIdText(); }

std::u16string NewTemporaryName() {
  const std::uint64_t number = temporaryCounter.fetch_add(1) + 1;
  return kTemporaryPrefix + RunIdText() + u'-' + Decimal(number) + kTemporarySuffix;
}

bool CreateTemporaryFile(const std::u16string& folder, std::u16string& name) {
  if (!HoldLock(folder)) return false;
  // A name is only taken when nothing holds it; a few tries cover a file
  // some other program put there under a name of the same shape.
  for (int attempt = 0; attempt < 16; ++attempt) {
    name = NewTemporaryName();
    switch (fsd::CreateNewFile(CombinePath(folder, name))) {
      case fsd::CreateOutcome::Created:
        return true;
      case fsd::CreateOutcome::Exists:
        continue;
      case fsd::CreateOutcome::Failed:
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

void ReleaseTemporaryFolder(const std::u16string& folder) {
  std::lock_guard<std::mutex> lock(locksMutex);
  const auto it = heldLocks.find(folder);
  if (it == heldLocks.end()) return;
  fsd::ReleaseRunLock(CombinePath(folder, LockName(RunIdText())), it->second);
  heldLocks.erase(it);
}

void ReleaseTemporaryFolders() {
  std::lock_guard<std::mutex> lock(locksMutex);
  for (const auto& [folder, handle] : heldLocks) {
    fsd::ReleaseRunLock(CombinePath(folder, LockName(RunIdText())), handle);
  }
  heldLocks.clear();
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
