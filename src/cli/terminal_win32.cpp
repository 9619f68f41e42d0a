#include <windows.h>
// These use the types windows.h declares, so they come after it.
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

#include "cli/terminal.h"
#include "util/unicode.h"

namespace {

std::atomic<bool>* interruptFlag = nullptr;
std::atomic<int> interruptCount{0};

// The console mode stderr had before the program asked for escapes, put back
// at exit: the console belongs to the shell that started the program.
HANDLE escapeConsole = nullptr;
DWORD savedConsoleMode = 0;
bool escapesOn = false;

void RestoreConsoleMode() { SetConsoleMode(escapeConsole, savedConsoleMode); }

// Consoles of Windows 10 and later act on VT escapes once asked to; older
// ones refuse the mode and would print the escapes as text.
bool EnableEscapes(HANDLE console) {
  DWORD mode = 0;
  if (!GetConsoleMode(console, &mode)) return false;
  if ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0) return true;
  if (!SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) return false;
  escapeConsole = console;
  savedConsoleMode = mode;
  std::atexit(RestoreConsoleMode);
  return true;
}

// Runs on a thread of its own that the console starts for the event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  if (interruptCount.fetch_add(1) > 0) ExitProcess(130);
  if (interruptFlag != nullptr) interruptFlag->store(true);
  return TRUE;
}

}  // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  // The narrow arguments are in the ANSI code page; the wide command line
  // has every character.
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv + 1, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) {
    std::u16string text;
    for (const wchar_t* c = wide[i]; *c != L'\0'; ++c) text += static_cast<char16_t>(*c);
    arguments.push_back(Utf16ToUtf8(text));
  }
  LocalFree(wide);
  return arguments;
}

void PrepareTerminalOutput() {
  SetConsoleOutputCP(CP_UTF8);
  escapesOn = EnableEscapes(GetStdHandle(STD_ERROR_HANDLE));
}

bool StandardErrorTakesEscapes() { return escapesOn; }

bool StandardInputIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

std::size_t StandardErrorColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) {
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    if (columns > 0) return static_cast<std::size_t>(columns);
  }
  return 80;
}

void InstallInterruptHandler(std::atomic<bool>* cancelFlag) {
  interruptFlag = cancelFlag;
  interruptCount = 0;
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

// Console events arrive on a thread of their own, never inside the
// worker's file reads, so nothing needs to be blocked here.
bool StartWithInterruptBlocked(const std::function<bool()>& start) { return start(); }
