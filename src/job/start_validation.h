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
  InputInsideOutput,
};

// Runs the checks in a fixed order; the first that fails decides:
// input empty, input not a folder, output empty, output not a folder, output
// the input itself or below it, input below the output. The last two compare
// the texts as they stand (whole components, letters without regard to case)
// and also the resolved real paths, so that a link or a ".." component cannot
// hide one tree inside the other, and last the folders' identities (device
// and inode, or volume and file index), so that a second path to the same
// folder, such as a bind mount, cannot either: the run would otherwise write into the
// folder it reads (an output inside the input), or mirror the input over its
// own files (an input inside the output).
StartValidation ValidateStart(const std::u16string& input, const std::u16string& output);

// The warning shown for a failed check; empty for Valid.
std::u16string StartValidationMessage(StartValidation outcome);

// The question asked before a run that keeps the scripts' contents (lines
// separated by "\r\n", as a message box shows them).
std::u16string KeepContentsQuestion();
