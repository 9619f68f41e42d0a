#pragma once

// Shared pieces of the job tests: a small image file and a message target
// that records what the walk reports.

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "job/conversion_job.h"
#include "job/message_target.h"
#include "support/bytes.h"

namespace jobtest {

// A small 24-bit uncompressed Windows bitmap.
Bytes BmpBytes(std::int32_t width = 4, std::int32_t height = 3);

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

  std::vector<Record> records;  // read once the run has ended

  std::vector<std::uintptr_t> Positions() const;
  std::vector<std::u16string> Texts(std::uint32_t message) const;

 private:
  ConversionJob& job_;
  std::mutex mutex_;
  std::uint32_t cancelMessage_ = 0;
  std::u16string cancelText_;
};

}  // namespace jobtest
