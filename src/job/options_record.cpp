#include "job/options_record.h"

#include <cstdio>

#include "util/file_system.h"
#include "util/path.h"

namespace {

// The record is a few dozen bytes; anything longer is not ours.
constexpr std::size_t kMaxRecordSize = 4096;
constexpr char kRecordHeader[] = "hoshibako options 1\n";

std::u16string RecordPath(const std::u16string& outputFolder) {
  return CombinePath(outputFolder, kOptionsRecordName);
}

}  // namespace

std::string OptionsRecordText(OptionFlags options) {
  const auto line = [options](const char* name, OptionFlags flag) {
    return std::string(name) + ((options & flag) != 0 ? "=1\n" : "=0\n");
  };
  // Which folders a run walks, and whether the references are checked
  // afterwards, change no output, so those options are not part of it.
  // Lossless sound came later: its line is written only when it is on, so
  // the records of earlier runs still read the same.
  return kRecordHeader + line("sound", CompressSound) + line("images", CompressImages) +
         line("repair", RepairBms) + line("keep-scripts", KeepBmsUnchanged) +
         line("preserve-charts", PreserveCharts) + ((options & EncodeFlac) != 0 ? "flac=1\n" : "");
}

OptionsRecordState CompareOptionsRecord(const std::u16string& outputFolder, OptionFlags options,
                                        std::u16string* warning) {
  const std::u16string path = RecordPath(outputFolder);
  const std::u16string unreadable =
      u"the options record " + path + u" cannot be read; converting everything again";
  if (warning != nullptr) warning->clear();
  std::FILE* file = OpenFile(path, "rb");
  if (file == nullptr) {
    // A folder (or anything else) in its place would make every run start
    // over without a word.
    if (warning != nullptr && (FileSize(path) >= 0 || DirectoryExists(path))) *warning = unreadable;
    return OptionsRecordState::Missing;
  }
  std::string text(kMaxRecordSize + 1, '\0');
  const std::size_t length = std::fread(text.data(), 1, text.size(), file);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  text.resize(length);
  if (text == OptionsRecordText(options)) return OptionsRecordState::Same;
  // Another run's options are a record like this one; other text is not.
  if (failed || text.rfind(kRecordHeader, 0) != 0) {
    if (warning != nullptr) *warning = unreadable;
    return OptionsRecordState::Missing;
  }
  return OptionsRecordState::Different;
}

bool WriteOptionsRecord(const std::u16string& outputFolder, OptionFlags options) {
  std::u16string name;
  if (!CreateTemporaryFile(outputFolder, name)) return false;
  const std::u16string temporary = CombinePath(outputFolder, name);
  std::FILE* file = OpenFile(temporary, "wb");
  if (file == nullptr) {
    RemoveFile(temporary);
    return false;
  }
  const std::string text = OptionsRecordText(options);
  bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (std::fclose(file) != 0) ok = false;
  if (!(ok && CommitFile(temporary, RecordPath(outputFolder)))) {
    RemoveFile(temporary);
    ok = false;
  }
  return ok;
}

bool RemoveOptionsRecord(const std::u16string& outputFolder) { return RemoveFile(RecordPath(outputFolder)); }
