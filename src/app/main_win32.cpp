// The dialog program's entry on Windows. The instance handles, the command
// line and the show flag are not used: the program takes no arguments.

#include <windows.h>

#include "ui/program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  int argc = 0;
  char* argv[] = {nullptr};
  return RunProgram(argc, argv);
}
