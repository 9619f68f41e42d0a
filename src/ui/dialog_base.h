#pragma once

#include <cstdint>

#include "ui/window_messages.h"

// The base of every dialog of the program. A dialog object exists before its
// window: RunModal creates the window from the template named by resourceId,
// the initialisation message binds the two, and the window is gone again when
// RunModal returns. All handlers run on the user-interface thread.
//
// The platform-neutral parts (construction, the default handlers and
// DialogProcedure's routing) live in dialog_base.cpp; RunModal, Item,
// SendToDialog, PostToDialog and EndModal are implemented by the platform
// backend (ui/qt/ here, ui/win32/ on Windows).
class DialogBase {
 public:
  explicit DialogBase(int resourceId) : resourceId(resourceId) {}
  DialogBase(const DialogBase&) = delete;
  DialogBase& operator=(const DialogBase&) = delete;

  // Null until the initialisation message has arrived; null again once
  // RunModal has returned, so a finished dialog never hands out a dead window.
  WindowHandle window = nullptr;
  const int resourceId;

  // Shows the dialog modally over `parent` (may be null) and returns the code
  // it ended with: 1 after OK, 2 after Cancel, -1 when it could not be created.
  std::intptr_t RunModal(WindowHandle parent);

  // The window of one of this dialog's controls, or null.
  WindowHandle Item(int controlId) const;

  // Delivers a message to the dialog and returns the handler's answer. From
  // another thread it blocks until the dialog's thread has handled it; on the
  // dialog's own thread it calls the handler directly. Returns 0 without a
  // window.
  std::intptr_t SendToDialog(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

  // Queues a message behind the dialog's pending work and returns at once.
  // Sends and posts from one thread arrive in the order they were issued.
  void PostToDialog(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

  // Ends the modal loop; RunModal then returns `result`.
  void EndModal(std::intptr_t result);

  // The five handlers, in this order. Defaults: nothing handled, OK and
  // Cancel close the dialog.
  virtual bool OnMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
  virtual void OnInitDialog();
  virtual bool OnOK();
  virtual bool OnCancel();
  virtual bool OnCommand(std::uintptr_t wParam, std::uint16_t notifyCode, std::intptr_t lParam);

 protected:
  // Dialog objects are plain locals of the function that runs them; nobody
  // deletes one through a base pointer.
  ~DialogBase() = default;
};

// Told about every modal dialog once it is initialised and on screen, from
// inside that dialog's own event loop, so that whoever drives the dialogs
// without a person (tests, screenshot runs) can act on it there. The program
// itself sets none.
class DialogObserver {
 public:
  virtual void DialogShown(DialogBase& dialog) = 0;

 protected:
  ~DialogObserver() = default;
};

// Puts `observer` in place for the dialogs shown from now on (null for
// none) and returns the one it replaces. Set and read on the user-interface
// thread.
DialogObserver* SetDialogObserver(DialogObserver* observer);
DialogObserver* CurrentDialogObserver();

// The one window procedure of every dialog. The backend calls it for every
// message of a dialog window:
// - before initialisation only WM_INITDIALOG is acted on: it binds the object
//   passed in lParam to the window, sets `window`, calls OnInitDialog and
//   answers 1; anything else is answered 0 and reaches no handler;
// - WM_COMMAND with id 1 calls OnOK and id 2 OnCancel; the dialog ends with
//   that id only when the handler answers true;
// - WM_COMMAND with any other id goes to OnCommand (whole wParam, its high
//   word as the notification code, lParam);
// - every other message goes to OnMessage.
std::intptr_t DialogProcedure(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                              std::intptr_t lParam);

// Backend operations DialogProcedure relies on: the object bound to a window
// (null before initialisation) and binding one. Win32 keeps the pointer in
// the window's user data; other backends keep it in their dialog widget.
DialogBase* BoundDialog(WindowHandle window);
void BindDialog(WindowHandle window, DialogBase* dialog);
