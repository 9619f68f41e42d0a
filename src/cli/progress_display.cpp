#include "cli/progress_display.h"

#include "cli/cli_report.h"
#include "job/folder_result.h"
#include "util/unicode.h"

ProgressDisplay::ProgressDisplay(std::FILE* stream, bool live, std::size_t columns, bool escapes)
    : stream_(stream), live_(live), columns_(columns), escapes_(escapes) {}

void ProgressDisplay::SetRange(std::int32_t total) { total_ = total; }

void ProgressDisplay::SetFolderPosition(std::int32_t position) { position_ = position; }

void ProgressDisplay::SetFolderText(const std::u16string& folder) {
  // Names are shown escaped: a control character in one would otherwise
  // move the cursor or start a line of its own.
  folder_ = VisibleText(folder);
  if (live_) {
    Redraw();
    return;
  }
  const std::u16string line = u"[" + DecimalText(position_) + u"/" + DecimalText(total_) + u"] " + folder_;
  std::fputs((Utf16ToUtf8(line) + "\n").c_str(), stream_);
  std::fflush(stream_);
}

void ProgressDisplay::SetFileText(const std::u16string& text) {
  // The file text stays until the next file, across a new folder too.
  file_ = VisibleText(text);
  if (live_) Redraw();
}

void ProgressDisplay::ShowFinishing() {
  if (finishing_) return;
  finishing_ = true;
  if (live_) {
    Redraw();
  } else {
    std::fputs((Utf16ToUtf8(u"処理を終了しています...") + "\n").c_str(), stream_);
    std::fflush(stream_);
  }
}

void ProgressDisplay::Clear() {
  if (!live_ || !drawn_) return;
  Draw(u"");
  // Without the escape the cursor stands after the spaces.
  if (!escapes_) std::fputs("\r", stream_);
  std::fflush(stream_);
  drawn_ = false;
}

void ProgressDisplay::Draw(const std::u16string& line) {
  const std::size_t width = DisplayWidth(line);
  std::string text = "\r" + Utf16ToUtf8(line);
  if (escapes_) {
    text += "\x1b[K";
  } else if (drawnColumns_ > width) {
    text.append(drawnColumns_ - width, ' ');
  }
  std::fputs(text.c_str(), stream_);
  drawnColumns_ = width;
}

void ProgressDisplay::Redraw() {
  // One column is kept free so that the cursor never wraps to a new line.
  const std::size_t room = columns_ > 1 ? columns_ - 1 : 1;
  std::u16string line = u"[" + DecimalText(position_) + u"/" + DecimalText(total_) + u"] ";
  if (finishing_) line += u"処理を終了しています... ";
  std::size_t used = DisplayWidth(line);
  if (used < room) {
    line += FitToColumns(file_, room - used);
    used = DisplayWidth(line);
  }
  constexpr std::size_t kMinimumFolderColumns = 12;
  if (!folder_.empty() && used + 2 + kMinimumFolderColumns <= room) {
    line += u"  " + FitToColumns(folder_, room - used - 2);
  }
  Draw(line);
  std::fflush(stream_);
  drawn_ = true;
}
