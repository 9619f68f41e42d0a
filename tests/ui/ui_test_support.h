#pragma once

// Helpers shared by the dialog tests: scripted message boxes and folder
// choices, an observer that drives each modal dialog from its own event
// loop, and generated song files.

#include <QString>
#include <QWidget>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/scratch_folder.h"
#include "ui/controls.h"
#include "ui/dialog_base.h"

// Records every message box and answers with the next scripted answer (OK,
// or Yes for questions, once the script is used up).
class MessageBoxRecorder {
 public:
  struct Call {
    WindowHandle owner;
    std::u16string text;
    std::u16string caption;
    std::uint32_t style;
  };
  MessageBoxRecorder();
  ~MessageBoxRecorder();
  std::deque<int> answers;
  std::vector<Call> calls;

 private:
  MessageBoxFunction previous_;
};

// Answers folder choices from a script; an empty entry is a cancelled
// chooser. Records title and starting folder of every call.
class FolderChooserScript {
 public:
  struct Call {
    WindowHandle owner;
    std::u16string title;
    std::u16string initialFolder;
  };
  FolderChooserScript();
  ~FolderChooserScript();
  std::deque<std::u16string> choices;
  std::vector<Call> calls;

 private:
  FolderBrowserFunction previous_;
};

// Runs a function for each dialog that is shown, by resource id, from that
// dialog's own event loop. Records the ids in the order they were shown.
class DialogScript : public DialogObserver {
 public:
  DialogScript();
  ~DialogScript();
  std::map<int, std::function<void(DialogBase&)>> actions;
  std::vector<int> shown;

  void DialogShown(DialogBase& dialog) override;

 private:
  DialogObserver* previous_;
};

QWidget* WidgetOfDialog(const DialogBase& dialog);
QWidget* ControlWidget(const DialogBase& dialog, int id);
// A click on a button or check box, as the user makes it.
void Click(const DialogBase& dialog, int id);
// A key pressed in the dialog, delivered to the control that has the focus.
void PressKey(const DialogBase& dialog, int key);
// Waits (processing events) until the condition holds; false on time-out.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 60000);

// A 16-bit PCM WAVE file of a sine tone.
void WriteWave(const std::filesystem::path& path, int channels, int sampleRate, int frames);
// A 24-bit bottom-up Windows bitmap with a colour gradient.
void WriteBitmap(const std::filesystem::path& path, int width, int height);

// Qt Test output of u16 strings.
QString Q(const std::u16string& text);
