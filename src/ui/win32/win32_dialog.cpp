// Dialogs on Win32: each dialog is created from its template in the
// program's resources (DialogBoxParamW) and every message of its window goes
// through DialogProcedure. The object pointer lives in the window's user data.

#include <windows.h>

#include <tuple>
#include <utility>

#include "ui/dialog_base.h"

namespace {

// A timer started once a dialog's initialisation is done, when a dialog
// observer is set. The dialog manager shows a modal dialog once its queue
// runs empty, and timer messages come only then, so the observer is told
// inside the dialog's own modal loop with the window on screen.
constexpr UINT_PTR kDialogShownTimer = 0x3A7;
constexpr UINT kDialogShownDelay = 50;

// The star-box icon of the resources (hoshibako.rc); the first icon of the
// program is also the one Explorer shows for the .exe.
constexpr WORD kProgramIconId = 1;

HWND Hwnd(WindowHandle handle) { return static_cast<HWND>(handle); }

// A modal frame shows no icon of its own: the title bar (and the task bar,
// for the main dialog) get the program's icon at both sizes.
void SetProgramIcon(HWND window) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  for (const auto& [which, metricX, metricY] :
       {std::tuple{ICON_SMALL, SM_CXSMICON, SM_CYSMICON}, std::tuple{ICON_BIG, SM_CXICON, SM_CYICON}}) {
    auto* icon =
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kProgramIconId), IMAGE_ICON,
                                      GetSystemMetrics(metricX), GetSystemMetrics(metricY), LR_SHARED));
    if (icon != nullptr) SendMessageW(window, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
  }
}

INT_PTR CALLBACK Win32DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && wParam == kDialogShownTimer) {
    if (!IsWindowVisible(window)) return TRUE;
    KillTimer(window, kDialogShownTimer);
    DialogBase* dialog = BoundDialog(window);
    DialogObserver* observer = CurrentDialogObserver();
    if (dialog != nullptr && observer != nullptr) observer->DialogShown(*dialog);
    return TRUE;
  }
  if (message == WM_INITDIALOG) SetProgramIcon(window);
  const INT_PTR result = DialogProcedure(window, message, wParam, lParam);
  if (message == WM_INITDIALOG && CurrentDialogObserver() != nullptr)
    SetTimer(window, kDialogShownTimer, kDialogShownDelay, nullptr);
  return result;
}

}  // namespace

std::intptr_t DialogBase::RunModal(WindowHandle parent) {
  const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId),
                                         Hwnd(parent), Win32DialogProc, reinterpret_cast<LPARAM>(this));
  // The window is destroyed by now; never hand it out again.
  window = nullptr;
  return result;
}

WindowHandle DialogBase::Item(int controlId) const {
  if (window == nullptr) return nullptr;
  return GetDlgItem(Hwnd(window), controlId);
}

std::intptr_t DialogBase::SendToDialog(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  if (window == nullptr) return 0;
  return SendMessageW(Hwnd(window), message, wParam, lParam);
}

void DialogBase::PostToDialog(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  if (window != nullptr) PostMessageW(Hwnd(window), message, wParam, lParam);
}

void DialogBase::EndModal(std::intptr_t result) {
  if (window != nullptr) EndDialog(Hwnd(window), result);
}

DialogBase* BoundDialog(WindowHandle window) {
  return reinterpret_cast<DialogBase*>(GetWindowLongPtrW(Hwnd(window), GWLP_USERDATA));
}

void BindDialog(WindowHandle window, DialogBase* dialog) {
  SetWindowLongPtrW(Hwnd(window), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(dialog));
}
