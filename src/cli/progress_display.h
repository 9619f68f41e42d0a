#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// The run's progress on stderr. On a terminal one line is redrawn in place:
// folder i of n, then the file text (i/n and the name) and the folder path,
// cut to the terminal's width. Elsewhere (a pipe, a file) one plain line is
// written per folder.
//
// A redrawn line ends in ESC[K, which erases what is left of the previous,
// longer one. A terminal that would print the escape as text gets spaces
// over the previous line's width instead (`escapes` false).
class ProgressDisplay {
 public:
  ProgressDisplay(std::FILE* stream, bool live, std::size_t columns, bool escapes = true);

  void SetRange(std::int32_t total);
  void SetFolderPosition(std::int32_t position);
  void SetFolderText(const std::u16string& folder);
  void SetFileText(const std::u16string& text);
  // Shown once a cancel has been asked for, until the run ends.
  void ShowFinishing();
  // Removes the live line, so that what follows starts on a clean line.
  void Clear();

 private:
  void Redraw();

  std::FILE* stream_;
  // Puts `line` where the cursor's line starts and erases what is left of
  // the line drawn before it.
  void Draw(const std::u16string& line);

  bool live_;
  std::size_t columns_;
  bool escapes_;
  std::size_t drawnColumns_ = 0;
  std::int32_t total_ = 0;
  std::int32_t position_ = 0;
  std::u16string folder_;
  std::u16string file_;
  bool finishing_ = false;
  bool drawn_ = false;
};
