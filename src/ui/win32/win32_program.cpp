// Start-up of the Win32 user interface: the Japanese character-type locale,
// the rich-edit library as the condition for running, the common controls.

#include <windows.h>
// commctrl.h needs the types windows.h declares.
#include <commctrl.h>

#include <clocale>

#include "ui/program.h"

namespace {

HMODULE& RichEdit() {
  static HMODULE module = nullptr;
  return module;
}

}  // namespace

bool OpenUserInterface(int&, char**) {
  // Only the character-type category follows Japanese; numbers stay "C".
  // The program's own conversions do not depend on it; the runtime's do.
  std::setlocale(LC_CTYPE, "jpn");
  RichEdit() = LoadLibraryW(L"riched32.dll");
  // Registers the progress bar and list view classes, loaded or not.
  InitCommonControls();
  return RichEdit() != nullptr;
}

void ReportStartFailure() {
  MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(kStartFailureText),
              reinterpret_cast<const wchar_t*>(kFatalErrorCaption), MB_ICONERROR | MB_OK);
}

void CloseUserInterface() {
  if (RichEdit() != nullptr) FreeLibrary(RichEdit());
  RichEdit() = nullptr;
}
