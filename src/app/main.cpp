// The dialog program: no arguments, no settings; the main dialog is the
// whole program and closing it ends the process with exit code 0.

#include "ui/program.h"

int main(int argc, char** argv) { return RunProgram(argc, argv); }
