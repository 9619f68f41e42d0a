#pragma once

#include <string>
#include <string_view>

class TextFile;

// The text as the log can hold it: every character that code page 932 has
// no form for becomes "?" (one "?" for a surrogate pair), so that the line
// can be written and the lines after it are not lost.
std::u16string LogSafeText(std::u16string_view text);

// Writes one line of the run log with its line end and flushes it. Does
// nothing once the log has failed (or was never opened).
void WriteLogLine(TextFile& log, std::u16string_view line);

// Where the walk writes its log lines, one at a time. The run's log is a text
// file (TextFileLog); a caller may put a writer of its own in between, for
// example to watch each folder's line as it is written.
class RunLog {
 public:
  virtual void WriteLine(std::u16string_view line) = 0;

 protected:
  ~RunLog() = default;
};

// The run log in a text file, each line written by WriteLogLine.
class TextFileLog : public RunLog {
 public:
  explicit TextFileLog(TextFile& file) : file_(file) {}
  void WriteLine(std::u16string_view line) override { WriteLogLine(file_, line); }

 private:
  TextFile& file_;
};
