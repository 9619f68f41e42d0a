#include "ui/program.h"

#include "ui/main_dialog.h"

int RunProgram(int& argc, char** argv) {
  if (!OpenUserInterface(argc, argv)) {
    ReportStartFailure();
    return 0;
  }
  {
    MainDialog dialog;
    dialog.RunModal(nullptr);
  }
  CloseUserInterface();
  return 0;
}
