#include "ui_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <random>

#include "support/bmp_writer.h"
#include "support/wav_writer.h"
#include "ui/qt/qt_dialog.h"

MessageBoxRecorder::MessageBoxRecorder() {
  previous_ = SetMessageBoxFunction([this](WindowHandle owner, const std::u16string& text,
                                           const std::u16string& caption, std::uint32_t style) {
    calls.push_back({owner, text, caption, style});
    if (!answers.empty()) {
      const int answer = answers.front();
      answers.pop_front();
      return answer;
    }
    return (style & kMessageBoxYesNo) ? kAnswerYes : kAnswerOk;
  });
}

MessageBoxRecorder::~MessageBoxRecorder() { SetMessageBoxFunction(std::move(previous_)); }

FolderChooserScript::FolderChooserScript() {
  previous_ = SetFolderBrowserFunction([this](WindowHandle owner, const std::u16string& title,
                                              const std::u16string& initialFolder, std::u16string& chosen) {
    calls.push_back({owner, title, initialFolder});
    if (choices.empty()) return false;
    const std::u16string choice = choices.front();
    choices.pop_front();
    if (choice.empty()) return false;
    chosen = choice;
    return true;
  });
}

FolderChooserScript::~FolderChooserScript() { SetFolderBrowserFunction(std::move(previous_)); }

DialogScript::DialogScript() : previous_(SetDialogObserver(this)) {}

DialogScript::~DialogScript() { SetDialogObserver(previous_); }

void DialogScript::DialogShown(DialogBase& dialog) {
  shown.push_back(dialog.resourceId);
  const auto found = actions.find(dialog.resourceId);
  if (found != actions.end() && found->second) found->second(dialog);
}

QWidget* WidgetOfDialog(const DialogBase& dialog) { return WidgetOf(dialog.window); }

QWidget* ControlWidget(const DialogBase& dialog, int id) {
  const WindowHandle handle = dialog.Item(id);
  return handle ? WidgetOf(handle) : nullptr;
}

void Click(const DialogBase& dialog, int id) {
  if (auto* button = dynamic_cast<QAbstractButton*>(ControlWidget(dialog, id))) button->click();
}

void PressKey(const DialogBase& dialog, int key) {
  QWidget* top = WidgetOfDialog(dialog);
  if (!top) return;
  QWidget* target = top->focusWidget() ? top->focusWidget() : top;
  QTest::keyClick(target, static_cast<Qt::Key>(key));
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  return QTest::qWaitFor(condition, timeoutMs);
}

void WriteWave(const std::filesystem::path& path, int channels, int sampleRate, int frames) {
  Bytes samples;
  std::mt19937 noise(7);
  std::uniform_int_distribution<int> jitter(-300, 300);
  for (int frame = 0; frame < frames; ++frame) {
    const double tone = std::sin(2.0 * 3.14159265358979 * 440.0 * frame / sampleRate);
    for (int channel = 0; channel < channels; ++channel) {
      const int sample = static_cast<int>(tone * 12000) + jitter(noise);
      PutLe16(samples, static_cast<std::uint16_t>(sample));
    }
  }
  WriteBytes(path,
             WaveFile(Pcm(16, static_cast<std::uint16_t>(channels), static_cast<std::uint32_t>(sampleRate)),
                      samples));
}

void WriteBitmap(const std::filesystem::path& path, int width, int height) {
  WriteBytes(path, Bitmap24(width, height, [width, height](std::int32_t x, std::int32_t row) {
               const auto red = static_cast<std::uint32_t>(128);
               const auto green = static_cast<std::uint32_t>(row * 255 / std::max(1, height - 1) & 0xFF);
               const auto blue = static_cast<std::uint32_t>(x * 255 / std::max(1, width - 1) & 0xFF);
               return red << 16 | green << 8 | blue;
             }));
}

QString Q(const std::u16string& text) { return ToQString(text); }
