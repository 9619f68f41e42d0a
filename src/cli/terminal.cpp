// The parts of the terminal that are the same on every platform.

#include "cli/terminal.h"

#include <iostream>

bool ReadStandardInputLine(std::string& line) {
  if (!std::getline(std::cin, line)) return false;
  // A line typed on Windows, or piped from a file written there, ends in CR LF.
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}
