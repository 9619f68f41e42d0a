#pragma once

#include <functional>

#include "ui/dialog_base.h"

// Test support of the Win32 backend: called inside each modal dialog's own
// message loop once the dialog is initialised and shown, so a test can drive
// it. An empty function removes the hook.
void SetDialogShownHookForTesting(std::function<void(DialogBase&)> hook);
