#include "job/update_record.h"

#include <charconv>
#include <cstdio>
#include <string>
#include <vector>

#include "util/file_system.h"
#include "util/path.h"
#include "util/unicode.h"

namespace {

constexpr char kHeader[] = "hoshibako files 1\n";

// Far beyond any song folder's record; a larger file is not one of ours.
constexpr long long kMaxRecordSize = 64LL << 20;

// Names are written as their UTF-16 units in hexadecimal, so that any name
// (tabs, line breaks, units that form no character) survives unchanged.
std::string HexName(const std::u16string& name) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  text.reserve(name.size() * 4);
  for (const char16_t unit : name) {
    for (int shift = 12; shift >= 0; shift -= 4) text += digits[(unit >> shift) & 15];
  }
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool ParseHexName(const std::string& text, std::u16string& name) {
  if (text.empty() || text.size() % 4 != 0) return false;
  name.clear();
  for (std::size_t i = 0; i < text.size(); i += 4) {
    unsigned unit = 0;
    for (std::size_t j = i; j < i + 4; ++j) {
      const int digit = HexDigit(text[j]);
      if (digit < 0) return false;
      unit = unit << 4 | static_cast<unsigned>(digit);
    }
    name += static_cast<char16_t>(unit);
  }
  return true;
}

bool ParseNumber(const std::string& text, long long& value) {
  const char* end = text.data() + text.size();
  const auto [last, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && last == end && !text.empty();
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

std::u16string Unreadable(const std::u16string& path) {
  return u"the update record " + path + u" cannot be read; converting that folder's files again";
}

}  // namespace

FileFacts ReadFileFacts(const std::u16string& path) {
  return FileFacts{FileSize(path), FileModifiedTime(path)};
}

UpdateRecord UpdateRecord::Load(const std::u16string& outputFolder, std::u16string& warning) {
  warning.clear();
  UpdateRecord record;
  const std::u16string path = CombinePath(outputFolder, kUpdateRecordName);
  std::FILE* file = OpenFile(path, "rb");
  if (file == nullptr) {
    // Nothing there is a first run; anything else there is reported.
    if (FileSize(path) >= 0 || DirectoryExists(path)) warning = Unreadable(path);
    return record;
  }
  std::string text;
  char buffer[1 << 14];
  bool ok = true;
  for (;;) {
    const std::size_t n = std::fread(buffer, 1, sizeof buffer, file);
    text.append(buffer, n);
    if (static_cast<long long>(text.size()) > kMaxRecordSize) ok = false;
    if (n < sizeof buffer || !ok) break;
  }
  if (std::ferror(file) != 0) ok = false;
  std::fclose(file);
  const std::string header = kHeader;
  if (!ok || text.compare(0, header.size(), header) != 0 ||
      (text.size() > header.size() && text.back() != '\n')) {
    warning = Unreadable(path);
    return record;
  }
  std::size_t start = header.size();
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    const std::vector<std::string> fields = SplitTabs(text.substr(start, end - start));
    start = end + 1;
    Entry entry;
    if (fields.size() != 5 || !ParseHexName(fields[0], entry.outputName) ||
        !ParseHexName(fields[1], entry.sourceName) || !ParseNumber(fields[2], entry.source.size) ||
        !ParseNumber(fields[3], entry.source.modified) || !ParseNumber(fields[4], entry.outputSize)) {
      warning = Unreadable(path);
      return UpdateRecord();
    }
    record.entries_[FileNameKey(entry.outputName)] = std::move(entry);
  }
  return record;
}

bool UpdateRecord::CanSkip(const std::u16string& outputName, const std::u16string& sourceName,
                           const FileFacts& source, const std::u16string& outputPath) const {
  const auto it = entries_.find(FileNameKey(outputName));
  if (it == entries_.end()) return false;
  const Entry& entry = it->second;
  // Facts that could not be read prove nothing.
  if (source.size < 0 || source.modified < 0 || entry.outputSize < 0) return false;
  return FileNameKey(entry.sourceName) == FileNameKey(sourceName) && entry.source.size == source.size &&
         entry.source.modified == source.modified && FileSize(outputPath) == entry.outputSize;
}

void UpdateRecord::Record(const std::u16string& outputName, const std::u16string& sourceName,
                          const FileFacts& source, long long outputSize) {
  // The record is keyed by the output's name, but keeps it as written.
  Entry& entry = entries_[FileNameKey(outputName)];
  entry.outputName = outputName;
  entry.sourceName = sourceName;
  entry.source = source;
  entry.outputSize = outputSize;
}

bool UpdateRecord::Save(const std::u16string& outputFolder) const {
  std::string text = kHeader;
  for (const auto& [key, entry] : entries_) {
    text += HexName(entry.outputName) + '\t' + HexName(entry.sourceName) + '\t' +
            std::to_string(entry.source.size) + '\t' + std::to_string(entry.source.modified) + '\t' +
            std::to_string(entry.outputSize) + '\n';
  }
  std::u16string name;
  if (!CreateTemporaryFile(outputFolder, name)) return false;
  const std::u16string temporary = CombinePath(outputFolder, name);
  std::FILE* file = OpenFile(temporary, "wb");
  bool ok = file != nullptr && std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (file != nullptr && std::fclose(file) != 0) ok = false;
  if (!(ok && CommitFile(temporary, CombinePath(outputFolder, kUpdateRecordName)))) {
    RemoveFile(temporary);
    ok = false;
  }
  return ok;
}
