#pragma once

#include <functional>
#include <string>
#include <vector>

// Runs the built command-line program as a child process.
struct ProgramResult {
  int exitCode = -1;  // 128 + signal number when a signal ended it
  std::string out;
  std::string err;
};

// Runs `program` with `arguments` in folder `workingFolder`, stdin empty.
// `onStderr` (optional) sees stderr as it grows, and once a second while
// the child is quiet, and gets the child's process id, so a test can signal
// the child at a chosen moment.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& workingFolder,
                         const std::function<void(const std::string& errSoFar, int pid)>& onStderr = nullptr);

// Sends the interrupt signal (Ctrl+C) to a child.
void Interrupt(int pid);
