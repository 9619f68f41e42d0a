#pragma once

// Shared pieces of the job tests: a temporary folder tree, tiny sound and
// image files, and a message target that records what the walk reports.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "job/conversion_job.h"
#include "job/message_target.h"

namespace jobtest {

// A fresh folder under the system's temporary folder, removed again with
// everything below it.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The folder (or a path below it) as the program's UTF-16 text.
  std::u16string Text(const std::string& relative = "") const;

 private:
  std::filesystem::path path_;
};

// The path as the program's UTF-16 text, with the platform's separators.
std::u16string ToText(const std::filesystem::path& path);
// A path from UTF-8 text: narrow strings mean the ANSI code page to the
// Windows file system library, so non-ASCII names go through this.
std::filesystem::path Utf8Path(const std::string& utf8);

void WriteBytes(const std::filesystem::path& path, const std::string& bytes);
std::string ReadBytes(const std::filesystem::path& path);
bool StartsWith(const std::string& bytes, const std::string& prefix);

// A short mono RIFF WAVE file: integer PCM of 8, 16 or 24 bits (format tag
// 1), 32-bit float (tag 3), or, for any other tag, one block of raw bytes.
std::string WavBytes(std::uint32_t sampleRate = 22050, std::uint16_t bitsPerSample = 16,
                     std::uint32_t frames = 2205, std::uint16_t formatTag = 1);
// A small 24-bit uncompressed Windows bitmap.
std::string BmpBytes(std::int32_t width = 4, std::int32_t height = 3);

// Records the walk's messages in order and handles them as the progress
// dialog would: it counts the folders for MSG_PREPARE_PROGRESS and takes over
// every text. It can raise the job's cancel flag when a given text arrives.
class RecordingTarget : public MessageTarget {
 public:
  struct Record {
    std::uint32_t message;
    std::uintptr_t wParam;
    std::u16string text;
  };

  explicit RecordingTarget(ConversionJob& job) : job_(job) {}

  std::intptr_t SendToDialog(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
  void PostToDialog(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;

  // Raises the cancel flag when this folder text or file text arrives,
  // i.e. while that folder is being listed or that file is being handled.
  void CancelOnText(std::uint32_t message, std::u16string text) {
    cancelMessage_ = message;
    cancelText_ = std::move(text);
  }

  std::vector<Record> records;

  std::vector<std::uintptr_t> Positions() const;
  std::vector<std::u16string> Texts(std::uint32_t message) const;

 private:
  ConversionJob& job_;
  std::uint32_t cancelMessage_ = 0;
  std::u16string cancelText_;
};

}  // namespace jobtest
