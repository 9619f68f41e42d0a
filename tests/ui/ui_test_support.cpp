#include "ui_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>

#include "ui/qt/qt_dialog.h"
#include "util/unicode.h"

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

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

namespace {

void PutLittle(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

void WriteWave(const std::filesystem::path& path, int channels, int sampleRate, int frames) {
  const std::uint32_t dataBytes = static_cast<std::uint32_t>(frames * channels * 2);
  std::string out = "RIFF";
  PutLittle(out, 36 + dataBytes, 4);
  out += "WAVEfmt ";
  PutLittle(out, 16, 4);
  PutLittle(out, 1, 2);  // PCM
  PutLittle(out, static_cast<std::uint32_t>(channels), 2);
  PutLittle(out, static_cast<std::uint32_t>(sampleRate), 4);
  PutLittle(out, static_cast<std::uint32_t>(sampleRate * channels * 2), 4);
  PutLittle(out, static_cast<std::uint32_t>(channels * 2), 2);
  PutLittle(out, 16, 2);
  out += "data";
  PutLittle(out, dataBytes, 4);
  std::mt19937 noise(7);
  std::uniform_int_distribution<int> jitter(-300, 300);
  for (int frame = 0; frame < frames; ++frame) {
    const double tone = std::sin(2.0 * 3.14159265358979 * 440.0 * frame / sampleRate);
    for (int channel = 0; channel < channels; ++channel) {
      const int sample = static_cast<int>(tone * 12000) + jitter(noise);
      PutLittle(out, static_cast<std::uint32_t>(static_cast<std::uint16_t>(sample)), 2);
    }
  }
  WriteFile(path, out);
}

void WriteBitmap(const std::filesystem::path& path, int width, int height) {
  const int stride = (width * 3 + 3) / 4 * 4;
  const std::uint32_t pixelBytes = static_cast<std::uint32_t>(stride * height);
  std::string out = "BM";
  PutLittle(out, 54 + pixelBytes, 4);
  PutLittle(out, 0, 4);
  PutLittle(out, 54, 4);
  PutLittle(out, 40, 4);
  PutLittle(out, static_cast<std::uint32_t>(width), 4);
  PutLittle(out, static_cast<std::uint32_t>(height), 4);
  PutLittle(out, 1, 2);
  PutLittle(out, 24, 2);
  PutLittle(out, 0, 4);
  PutLittle(out, pixelBytes, 4);
  PutLittle(out, 2835, 4);
  PutLittle(out, 2835, 4);
  PutLittle(out, 0, 4);
  PutLittle(out, 0, 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      out.push_back(static_cast<char>(x * 255 / std::max(1, width - 1)));
      out.push_back(static_cast<char>(y * 255 / std::max(1, height - 1)));
      out.push_back(static_cast<char>(128));
    }
    out.append(static_cast<std::size_t>(stride - width * 3), '\0');
  }
  WriteFile(path, out);
}

std::u16string PathText(const std::filesystem::path& path) { return Utf8ToUtf16(path.string()); }

TemporaryFolder::TemporaryFolder() {
  std::random_device random;
  path_ = std::filesystem::temp_directory_path() / ("hoshibako-ui-" + std::to_string(random()));
  std::filesystem::create_directories(path_);
}

TemporaryFolder::~TemporaryFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

QString Q(const std::u16string& text) { return ToQString(text); }
