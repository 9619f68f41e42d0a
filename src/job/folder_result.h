#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "util/decimal.h"

// Outcome of one folder of the input tree.
enum class FolderStatus : std::int32_t {
  Ok = 0,
  Cancelled = 1,
  HasErrors = 2,
  FolderCreationFailed = 3,
};

// The status word shown in the result table and written to the log;
// "不明" for any value outside the enumeration.
std::u16string StatusText(FolderStatus status);

// The text with every control character written visibly, so that a file or
// folder name cannot start a line of its own or steer a terminal in the log,
// the result table or the progress line: tab, LF and CR as \t, \n and \r,
// the other C0 characters, DEL and the C1 characters as \x and two upper-case
// hex digits (ESC is \x1B). Everything else stays as it is, the backslash
// too, so Windows paths read as usual.
std::u16string VisibleText(std::u16string_view text);

// A file reference of a chart that a player would not find in the output.
struct MissingReference {
  std::u16string chart;         // the chart's file name, in the row's folder
  std::size_t lineNumber = 0;   // 1-based line of a script; 0 in a bmson chart
  std::u16string jsonPath;      // where a bmson chart holds it, e.g. sound_channels[3].name
  std::u16string command;       // #WAV01, #BANNER...; for bmson the field
  std::u16string value;         // as the chart writes it
  bool missingInInput = false;  // it found nothing in the input either
};

// One result row: which folder, its status, four counters and the names of
// its failed files (name only, in processing order). A value type.
struct FolderResult {
  std::u16string folder;
  // The output folder the walk mirrored this folder into (empty when the
  // walk made none).
  std::u16string outputFolder;
  FolderStatus status = FolderStatus::Ok;
  std::int32_t bmsCount = 0;
  std::int32_t soundCount = 0;
  std::int32_t imageCount = 0;
  std::int32_t copiedCount = 0;
  // Files left alone because their output was already up to date (an
  // update run); not among the four counters above.
  std::int32_t skippedCount = 0;
  std::vector<std::u16string> errorFiles;
  // Why each of errorFiles failed, in Japanese, at the same index (an empty
  // text when no reason is known).
  std::vector<std::u16string> errorReasons;
  // The chart-preserving mode's files that could not be converted and were
  // copied unchanged instead (counted in copiedCount), in processing order.
  std::vector<std::u16string> keptFiles;
  // Filled by the reference check, in chart and reference order.
  std::vector<MissingReference> missingReferences;
  // Filled by the reference check: the sounds, images and videos of the
  // folder that no chart of the song names, and their bytes.
  std::vector<std::u16string> unreferencedFiles;
  std::int64_t unreferencedBytes = 0;

  void AddErrorFile(const std::u16string& name, const std::u16string& reason = std::u16string()) {
    errorFiles.push_back(name);
    errorReasons.push_back(reason);
  }
  std::int32_t ErrorCount() const { return static_cast<std::int32_t>(errorFiles.size()); }
  std::u16string ErrorFile(std::int32_t index) const {
    return errorFiles.at(static_cast<std::size_t>(index));
  }
};

// What a run wrote, for the command line's summary: the files whose handler
// succeeded, and the bytes of their sources and of what was written for them.
struct RunTotals {
  std::int64_t files = 0;
  std::int64_t bytesRead = 0;
  std::int64_t bytesWritten = 0;
  std::int64_t skipped = 0;  // files an update run left alone as up to date
  // With the reference check: the bytes of the files no chart names.
  std::int64_t unreferencedBytes = 0;
};

// The folder's log line without its line end: folder, status word, the four
// counters and the error count, then each failed name, all joined by ",".
// The folder and the names are written as VisibleText.
std::u16string FolderLogLine(const FolderResult& row);

// The header line of the log, matching FolderLogLine's fields.
inline constexpr char16_t kLogHeaderLine[] =
    u"対象フォルダ,処理結果,BMS,音声,画像,無変換,エラー,エラーファイル一覧";
