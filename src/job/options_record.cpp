#include "job/options_record.h"

#include <cstdio>

#include "util/file_system.h"
#include "util/path.h"

namespace {

// The record is a few dozen bytes; anything longer is not ours.
constexpr std::size_t kMaxRecordSize = 4096;

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
  return "hoshibako options 1\n" + line("sound", CompressSound) + line("images", CompressImages) +
         line("repair", RepairBms) + line("keep-scripts", KeepBmsUnchanged) +
         line("preserve-charts", PreserveCharts);
}

OptionsRecordState CompareOptionsRecord(const std::u16string& outputFolder, OptionFlags options) {
  std::FILE* file = OpenFile(RecordPath(outputFolder), "rb");
  if (file == nullptr) return OptionsRecordState::Missing;
  std::string text(kMaxRecordSize + 1, '\0');
  const std::size_t length = std::fread(text.data(), 1, text.size(), file);
  std::fclose(file);
  text.resize(length);
  return text == OptionsRecordText(options) ? OptionsRecordState::Same : OptionsRecordState::Different;
}

bool WriteOptionsRecord(const std::u16string& outputFolder, OptionFlags options) {
  std::u16string name;
  if (!CreateTemporaryFile(outputFolder, name)) return false;
  const std::u16string temporary = CombinePath(outputFolder, name);
  std::FILE* file = OpenFile(temporary, "wb");
  if (file == nullptr) {
    RemoveFile(temporary);
    ReleaseTemporaryFolder(outputFolder);
    return false;
  }
  const std::string text = OptionsRecordText(options);
  bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (std::fclose(file) != 0) ok = false;
  // The record is written last, when the run's other temporaries in the
  // root are settled, so the run's lock there can go with it.
  if (!(ok && CommitFile(temporary, RecordPath(outputFolder)))) {
    RemoveFile(temporary);
    ok = false;
  }
  ReleaseTemporaryFolder(outputFolder);
  return ok;
}

bool RemoveOptionsRecord(const std::u16string& outputFolder) { return RemoveFile(RecordPath(outputFolder)); }
