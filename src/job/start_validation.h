#pragma once

#include <string>

// The checks made before a run starts, shared by the dialog and the command
// line. They look only at the two folder texts and the file system, so they
// need no window.
enum class StartValidation {
  Valid,
  InputMissing,
  InputNotFound,
  OutputMissing,
  OutputNotFound,
  OutputInsideInput,
};

// Runs the checks in a fixed order; the first that fails decides:
// input empty, input not a folder, output empty, output not a folder, output
// the input itself or below it. The last check compares the texts as they
// stand (whole components, letters without regard to case) and also the
// resolved real paths, so that a link or a ".." component cannot hide an
// output folder inside the input tree.
StartValidation ValidateStart(const std::u16string& input, const std::u16string& output);

// The warning shown for a failed check; empty for Valid.
std::u16string StartValidationMessage(StartValidation outcome);

// The question asked before a run that keeps the scripts' contents (lines
// separated by "\r\n", as a message box shows them).
std::u16string KeepContentsQuestion();
