#pragma once

// The Qt rendering of the dialog templates. Internal to the Qt backend (and
// its tests): the dialog classes never see these types.

#include <QDialog>
#include <QFont>
#include <QLabel>
#include <QString>
#include <QTreeWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/dialog_base.h"
#include "ui/templates.h"

class QtDialog;

inline QString ToQString(const std::u16string& text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::u16string FromQString(const QString& text) { return text.toStdU16String(); }

inline WindowHandle HandleOf(QWidget* widget) { return static_cast<void*>(widget); }
inline QWidget* WidgetOf(WindowHandle handle) { return static_cast<QWidget*>(handle); }
QtDialog* DialogOf(WindowHandle handle);

// Sets up the running application as the program shows itself: its name
// and icon, the dialog font, and Qt's own texts (standard buttons, the
// folder browser) in Japanese from Qt's translations, whatever the user's
// locale. No display name is set, so window titles are the dialogs' own
// captions with nothing appended. Answers whether the Japanese texts loaded.
bool ConfigureApplication();

// The dialog font: "MS UI Gothic" where installed, otherwise an installed
// Japanese Gothic face, at 9 points.
QFont DialogFont();

// Pixels per dialog unit follow the font as Windows computes them: the
// average width of the 52 Latin letters over 4 horizontally, the character
// height over 8 vertically.
struct DialogUnits {
  int averageCharWidth = 0;
  int charHeight = 0;
  int X(int units) const;
  int Y(int units) const;
};
DialogUnits DialogUnitsOf(const QFont& font);

// A static text that never shows a cut line: it wraps (also inside long
// words such as paths) into the lines its height holds, and the last of them
// shows the rest of the text elided in the middle. The whole text stays the
// label's text.
class StaticText : public QLabel {
 public:
  using QLabel::QLabel;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// A report-view list whose double-click is passed to its dialog as a
// WM_NOTIFY, also on empty space; so are Enter on a selected line (once
// asked for) and, with the info-tip style, the question for a line's tip.
class ReportList : public QTreeWidget {
 public:
  ReportList(QtDialog& dialog, int id, QWidget* parent);
  std::uint32_t extendedStyle = 0;
  bool reportsEnter = false;

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool viewportEvent(QEvent* event) override;

 private:
  std::intptr_t Notify(NotifyHeader& header);

  QtDialog& dialog_;
  int id_;
};

// One dialog window built from its template. Every key, click and close
// request becomes a message for DialogProcedure.
class QtDialog : public QDialog {
 public:
  QtDialog(const DialogTemplate& dialogTemplate, QWidget* parent);

  QWidget* Control(int id) const;
  const DialogTemplate& Template() const { return template_; }

  DialogBase* bound = nullptr;

  // Routes one message to DialogProcedure for this window.
  std::intptr_t Route(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
  void Command(int id, QWidget* control);

  // Ends the modal loop with `result`, also before the loop has started.
  void EndWith(int result);
  bool Ended() const { return ended_; }
  int EndResult() const { return endResult_; }

  // Gives the focus to the first enabled tab stop, as a dialog does after
  // initialisation.
  void FocusFirstTabStop();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void accept() override;
  void reject() override;

 private:
  void Build();
  void SpaceLabelsFromTheirFields(const DialogUnits& units);

  // How a control of a resizable dialog follows its size.
  enum class Anchor { Fixed, Stretch, BottomRight, BottomWide };
  struct AnchoredControl {
    QWidget* widget;
    QRect designed;  // its geometry at the designed size
    Anchor anchor;
  };
  std::vector<AnchoredControl> anchored_;
  QSize designedSize_;

  const DialogTemplate& template_;
  std::map<int, QWidget*> controls_;
  int defaultButtonId_ = IDOK;
  bool ended_ = false;
  int endResult_ = 0;
};
