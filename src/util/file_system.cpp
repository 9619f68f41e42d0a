// What the platform files share: the form of temporary names and the
// removal of stale temporaries.

#include "util/file_system.h"

#include <atomic>

namespace {

constexpr char16_t kTemporaryPrefix[] = u".hoshibako-";
constexpr char16_t kTemporarySuffix[] = u".tmp";

std::atomic<std::uint64_t> temporaryCounter{0};

std::u16string Decimal(std::uint64_t value) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value != 0);
  return digits;
}

// Reads a run of decimal digits from `position`; false when there is none
// or the value does not fit.
bool ReadDecimal(const std::u16string& text, std::size_t& position, std::uint64_t limit,
                 std::uint64_t& value) {
  const std::size_t start = position;
  value = 0;
  while (position < text.size() && text[position] >= u'0' && text[position] <= u'9') {
    value = value * 10 + static_cast<std::uint64_t>(text[position] - u'0');
    if (value > limit || position - start >= 20) return false;
    ++position;
  }
  return position > start;
}

}  // namespace

std::u16string NewTemporaryName() {
  const std::uint64_t number = temporaryCounter.fetch_add(1) + 1;
  return kTemporaryPrefix + Decimal(CurrentProcessId()) + u'-' + Decimal(number) + kTemporarySuffix;
}

bool IsTemporaryName(const std::u16string& name, std::uint32_t* pid) {
  const std::u16string prefix = kTemporaryPrefix;
  const std::u16string suffix = kTemporarySuffix;
  if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
      name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
    return false;
  }
  std::size_t position = prefix.size();
  std::uint64_t process = 0;
  std::uint64_t number = 0;
  if (!ReadDecimal(name, position, 0xFFFFFFFFu, process) || position >= name.size() ||
      name[position] != u'-') {
    return false;
  }
  ++position;
  if (!ReadDecimal(name, position, ~std::uint64_t{0} / 10, number)) return false;
  if (position != name.size() - suffix.size()) return false;
  if (pid != nullptr) *pid = static_cast<std::uint32_t>(process);
  return true;
}

bool CommitFile(const std::u16string& temporary, const std::u16string& destination) {
  std::vector<bool> committed;
  CommitFiles({PendingFile{temporary, destination}}, committed);
  return committed.front();
}

int RemoveStaleTemporaries(const std::u16string& folder) {
  std::vector<DirectoryEntry> entries;
  if (!ListDirectory(folder, entries)) return 0;
  const std::uint32_t self = CurrentProcessId();
  int removed = 0;
  for (const DirectoryEntry& entry : entries) {
    std::uint32_t pid = 0;
    if (entry.isDirectory || !IsTemporaryName(entry.name, &pid)) continue;
    // A running process may still be writing it; this process never leaves
    // one behind in a folder it has not finished.
    if (pid == self || ProcessIsRunning(pid)) continue;
    if (RemoveFile(CombinePath(folder, entry.name))) ++removed;
  }
  return removed;
}
