#pragma once

#include <string>

// The program's entry: opens the user interface, runs the main dialog until
// the user closes it and returns the exit code, which is always 0. When the
// user interface cannot be opened it reports that and still returns 0.
int RunProgram(int& argc, char** argv);

inline constexpr char16_t kStartFailureText[] = u"Application failed to load.";
inline constexpr char16_t kFatalErrorCaption[] = u"Fatal error!";

// Backend start-up and shut-down around the main dialog. OpenUserInterface
// answers false when no dialog can be shown (no display, say);
// ReportStartFailure then tells the user as well as the platform allows.
bool OpenUserInterface(int& argc, char** argv);
void ReportStartFailure();
void CloseUserInterface();
