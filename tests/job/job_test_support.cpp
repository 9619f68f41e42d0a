#include "job_test_support.h"

#include "job/messages.h"
#include "support/bmp_writer.h"

namespace jobtest {

Bytes BmpBytes(std::int32_t width, std::int32_t height) {
  return Bitmap24(width, height, [](std::int32_t x, std::int32_t row) {
    return std::uint32_t{200} << 16 | static_cast<std::uint32_t>(row * 60 & 0xFF) << 8 |
           static_cast<std::uint32_t>(x * 40 & 0xFF);
  });
}

std::intptr_t RecordingTarget::SendToDialog(std::uint32_t message, std::uintptr_t wParam,
                                            std::intptr_t lParam) {
  Record record{message, wParam, u""};
  if (message == MSG_FOLDER_TEXT || message == MSG_FILE_TEXT) record.text = *TakeTextParam(lParam);
  if (message == MSG_PREPARE_PROGRESS) job_.PrepareProgress();
  std::lock_guard<std::mutex> lock(mutex_);
  if (cancelMessage_ == message && cancelText_ == record.text) job_.cancelRequested = true;
  records.push_back(std::move(record));
  return 0;
}

void RecordingTarget::PostToDialog(std::uint32_t message, std::uintptr_t wParam, std::intptr_t) {
  std::lock_guard<std::mutex> lock(mutex_);
  records.push_back(Record{message, wParam, u""});
}

std::vector<std::uintptr_t> RecordingTarget::Positions() const {
  std::vector<std::uintptr_t> positions;
  for (const Record& record : records) {
    if (record.message == MSG_FOLDER_POSITION) positions.push_back(record.wParam);
  }
  return positions;
}

std::vector<std::u16string> RecordingTarget::Texts(std::uint32_t message) const {
  std::vector<std::u16string> texts;
  for (const Record& record : records) {
    if (record.message == message) texts.push_back(record.text);
  }
  return texts;
}

}  // namespace jobtest
