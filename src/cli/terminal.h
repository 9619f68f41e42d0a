#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// The terminal and signal handling of the command line. What needs the
// platform has one implementation per platform (terminal_posix.cpp,
// terminal_win32.cpp); the rest is written once in terminal.cpp.

// The program's arguments (without its name) as UTF-8, whatever encoding
// the platform hands them over in.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Makes the terminal show the UTF-8 text the program writes, and its escape
// sequences where the terminal can be asked to.
void PrepareTerminalOutput();

// True when the terminal behind stderr acts on escape sequences (ESC[K)
// rather than printing them; told after PrepareTerminalOutput.
bool StandardErrorTakesEscapes();

bool StandardInputIsTerminal();
bool StandardErrorIsTerminal();

// The width of the terminal behind stderr, or 80 when it cannot be told.
std::size_t StandardErrorColumns();

// Reads one line from stdin without its line end; false at end of input.
bool ReadStandardInputLine(std::string& line);

// Ctrl+C raises `cancelFlag`, so the run stops at its next check point; a
// second Ctrl+C ends the process at once with exit code 130.
void InstallInterruptHandler(std::atomic<bool>* cancelFlag);

// Runs `start` with the interrupt blocked on the calling thread, so that a
// thread started inside inherits the block and the interrupt always reaches
// the calling thread (whose blocking waits it does not disturb), never the
// middle of a worker's file read.
bool StartWithInterruptBlocked(const std::function<bool()>& start);
