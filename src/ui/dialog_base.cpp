#include "ui/dialog_base.h"

#include <utility>

namespace {
DialogObserver* dialogObserver = nullptr;
}

DialogObserver* SetDialogObserver(DialogObserver* observer) {
  return std::exchange(dialogObserver, observer);
}

DialogObserver* CurrentDialogObserver() { return dialogObserver; }

bool DialogBase::OnMessage(std::uint32_t, std::uintptr_t, std::intptr_t) { return false; }

void DialogBase::OnInitDialog() {}

bool DialogBase::OnOK() { return true; }

bool DialogBase::OnCancel() { return true; }

bool DialogBase::OnCommand(std::uintptr_t, std::uint16_t, std::intptr_t) { return false; }

std::intptr_t DialogProcedure(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                              std::intptr_t lParam) {
  DialogBase* dialog = BoundDialog(window);
  if (dialog == nullptr) {
    // Messages that come before initialisation (creation, fonts) have no
    // object to go to yet.
    if (message != WM_INITDIALOG) return 0;
    dialog = reinterpret_cast<DialogBase*>(lParam);
    if (dialog == nullptr) return 0;
    BindDialog(window, dialog);
    dialog->window = window;
    dialog->OnInitDialog();
    return 1;  // the platform gives the focus to the first control that takes it
  }
  if (message != WM_COMMAND) {
    return dialog->OnMessage(message, wParam, lParam) ? 1 : 0;
  }
  switch (LowWord(wParam)) {
    case IDOK:
      if (!dialog->OnOK()) return 0;
      dialog->EndModal(IDOK);
      return 1;
    case IDCANCEL:
      if (!dialog->OnCancel()) return 0;
      dialog->EndModal(IDCANCEL);
      return 1;
    default:
      return dialog->OnCommand(wParam, HighWord(wParam), lParam) ? 1 : 0;
  }
}
