#include <windows.h>
#include <io.h>

#include <cstdio>
#include <iostream>

#include "cli/terminal.h"

namespace {

std::atomic<bool>* interruptFlag = nullptr;
std::atomic<int> interruptCount{0};

// The console runs control handlers on a thread of their own, so the handler
// may store the flag and end the process directly.
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  if (interruptCount.fetch_add(1) > 0) ExitProcess(130);
  if (interruptFlag != nullptr) interruptFlag->store(true);
  return TRUE;
}

bool IsConsole(DWORD which) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

}  // namespace

bool StandardInputIsTerminal() { return IsConsole(STD_INPUT_HANDLE); }

bool StandardErrorIsTerminal() { return IsConsole(STD_ERROR_HANDLE); }

std::size_t StandardErrorColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) {
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    if (columns > 0) return static_cast<std::size_t>(columns);
  }
  return 80;
}

bool ReadStandardInputLine(std::string& line) {
  if (!std::getline(std::cin, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

void InstallInterruptHandler(std::atomic<bool>* cancelFlag) {
  interruptFlag = cancelFlag;
  interruptCount = 0;
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

// Console events never interrupt a thread here; nothing needs blocking.
bool StartWithInterruptBlocked(const std::function<bool()>& start) { return start(); }
