#include "ui/qt/qt_dialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QTextLayout>
#include <QThread>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "ui/controls.h"

namespace {

bool Has(std::uint32_t style, std::uint32_t bit) { return (style & bit) == bit; }

// Windows rounds dialog-unit conversions to the nearest pixel (MulDiv).
int Scale(int units, int pixelsPerUnitTimesDivisor, int divisor) {
  return static_cast<int>(std::lround(static_cast<double>(units) * pixelsPerUnitTimesDivisor / divisor));
}

Qt::FocusPolicy FocusPolicyFor(const ControlTemplate& control) {
  return Has(control.style, ControlStyle::TabStop) ? Qt::StrongFocus : Qt::ClickFocus;
}

// The text shortened in the middle to fit `width`. QFontMetrics::elidedText
// can overshoot by a few pixels when the text mixes the glyphs of several
// fonts, so the width asked for shrinks until the result fits.
QString ElidedToFit(const QFontMetrics& metrics, const QString& text, int width) {
  QString shown = metrics.elidedText(text, Qt::ElideMiddle, width);
  for (int asked = width - 1; asked > 0 && metrics.horizontalAdvance(shown) > width; --asked) {
    shown = metrics.elidedText(text, Qt::ElideMiddle, asked);
  }
  return shown;
}

}  // namespace

QtDialog* DialogOf(WindowHandle handle) {
  if (handle == nullptr) return nullptr;
  return dynamic_cast<QtDialog*>(WidgetOf(handle));
}

QFont DialogFont() {
  static const QString family = [] {
    const QStringList installed = QFontDatabase::families();
    for (const char* candidate : {"MS UI Gothic", "Noto Sans CJK JP", "IPAGothic"}) {
      if (installed.contains(QString::fromLatin1(candidate))) return QString::fromLatin1(candidate);
    }
    return QString();
  }();
  QFont font = family.isEmpty() ? QApplication::font() : QFont(family);
  font.setPointSize(9);
  font.setWeight(QFont::Normal);
  return font;
}

int DialogUnits::X(int units) const { return Scale(units, averageCharWidth, 4); }
int DialogUnits::Y(int units) const { return Scale(units, charHeight, 8); }

DialogUnits DialogUnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  const int letters =
      metrics.horizontalAdvance(QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"));
  DialogUnits units;
  units.averageCharWidth = (letters / 26 + 1) / 2;
  units.charHeight = metrics.height();
  return units;
}

void StaticText::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
  const QRect area = contentsRect();
  const QFontMetrics metrics = fontMetrics();
  const QString all = text();
  const int lines = std::max(1, area.height() / metrics.lineSpacing());
  QTextLayout layout(all, font(), this);
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  layout.beginLayout();
  int y = area.top() + metrics.ascent();
  for (int n = 0; n < lines; ++n) {
    QTextLine line = layout.createLine();
    if (!line.isValid()) break;
    line.setLineWidth(area.width());
    const int start = line.textStart();
    const bool last = n == lines - 1;
    const QString shown =
        last ? ElidedToFit(metrics, all.mid(start), area.width()) : all.mid(start, line.textLength());
    painter.drawText(QPoint(area.left(), y), shown);
    y += metrics.lineSpacing();
  }
  layout.endLayout();
}

ReportList::ReportList(QtDialog& dialog, int id, QWidget* parent)
    : QTreeWidget(parent), dialog_(dialog), id_(id) {}

std::intptr_t ReportList::Notify(NotifyHeader& header) {
  header.hwndFrom = HandleOf(this);
  header.idFrom = static_cast<std::uintptr_t>(id_);
  return dialog_.Route(WM_NOTIFY, header.idFrom, reinterpret_cast<std::intptr_t>(&header));
}

void ReportList::mouseDoubleClickEvent(QMouseEvent* event) {
  QTreeWidget::mouseDoubleClickEvent(event);
  NotifyHeader header;
  header.code = NM_DBLCLK;
  Notify(header);
}

void ReportList::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && reportsEnter && !selectedItems().isEmpty()) {
    NotifyHeader header;
    header.code = NM_RETURN;
    Notify(header);
    return;
  }
  // Anything else, Enter without a selected line too, goes on to the dialog.
  QTreeWidget::keyPressEvent(event);
}

bool ReportList::viewportEvent(QEvent* event) {
  if (event->type() != QEvent::ToolTip || (extendedStyle & kListViewInfoTip) == 0) {
    return QTreeWidget::viewportEvent(event);
  }
  auto* help = static_cast<QHelpEvent*>(event);
  const QModelIndex index = indexAt(help->pos());
  char16_t buffer[1024] = {};
  ListViewInfoTip tip;
  tip.header.code = LVN_GETINFOTIPW;
  tip.text = buffer;
  tip.textMax = static_cast<int>(std::size(buffer));
  tip.item = index.isValid() ? index.row() : -1;
  if (tip.item >= 0) Notify(tip.header);
  const QString text = QString::fromUtf16(buffer);
  if (text.isEmpty()) {
    QToolTip::hideText();
  } else {
    QToolTip::showText(help->globalPos(), text, viewport(), visualRect(index));
  }
  return true;
}

QtDialog::QtDialog(const DialogTemplate& dialogTemplate, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      template_(dialogTemplate) {
  Build();
}

QWidget* QtDialog::Control(int id) const {
  const auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

void QtDialog::Build() {
  setWindowTitle(ToQString(template_.caption));
  setModal(true);
  const QFont font = DialogFont();
  setFont(font);
  const DialogUnits units = DialogUnitsOf(font);
  const QSize designed(units.X(template_.width), units.Y(template_.height));
  if (template_.resizable) {
    resize(designed);
    setMinimumSize(designed / 2);
    setSizeGripEnabled(true);
  } else {
    setFixedSize(designed);
  }
  const DialogUnitRect* stretched = nullptr;

  QButtonGroup* radioGroup = nullptr;
  for (const ControlTemplate& control : template_.controls) {
    if (control.kind != ControlKind::RadioButton) radioGroup = nullptr;
    const QString text = ToQString(control.text);
    const std::uint32_t style = control.style;
    QWidget* widget = nullptr;
    switch (control.kind) {
      case ControlKind::Label: {
        auto* label = new StaticText(text, this);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        widget = label;
        break;
      }
      case ControlKind::EditBox:
        if (Has(style, ControlStyle::EditMultiLine)) {
          auto* edit = new QPlainTextEdit(text, this);
          edit->setReadOnly(Has(style, ControlStyle::EditReadOnly));
          edit->setVerticalScrollBarPolicy(Has(style, ControlStyle::VScroll) ? Qt::ScrollBarAlwaysOn
                                                                             : Qt::ScrollBarAsNeeded);
          edit->setHorizontalScrollBarPolicy(Has(style, ControlStyle::HScroll) ? Qt::ScrollBarAlwaysOn
                                                                               : Qt::ScrollBarAsNeeded);
          // A horizontal scroll bar means lines are not wrapped.
          if (Has(style, ControlStyle::HScroll)) edit->setLineWrapMode(QPlainTextEdit::NoWrap);
          if (!Has(style, ControlStyle::Border)) edit->setFrameShape(QFrame::NoFrame);
          widget = edit;
        } else {
          auto* edit = new QLineEdit(text, this);
          edit->setReadOnly(Has(style, ControlStyle::EditReadOnly));
          edit->setFrame(Has(style, ControlStyle::Border));
          widget = edit;
        }
        break;
      case ControlKind::PushButton: {
        auto* button = new QPushButton(text, this);
        // Enter is routed by the dialog itself (see keyPressEvent).
        button->setAutoDefault(false);
        if (Has(style, ControlStyle::DefaultButton)) {
          button->setDefault(true);
          defaultButtonId_ = control.id;
        }
        const int id = control.id;
        connect(button, &QPushButton::clicked, this, [this, id, button] { Command(id, button); });
        widget = button;
        break;
      }
      case ControlKind::CheckBox: {
        // An auto check box toggles itself, then tells the dialog.
        auto* box = new QCheckBox(text, this);
        const int id = control.id;
        connect(box, &QCheckBox::clicked, this, [this, id, box] { Command(id, box); });
        widget = box;
        break;
      }
      case ControlKind::RadioButton: {
        // A choice among the radio buttons from the last one with the Group
        // bit; choosing one clears the others, then tells the dialog.
        auto* radio = new QRadioButton(text, this);
        if (radioGroup == nullptr || Has(style, ControlStyle::Group)) {
          radioGroup = new QButtonGroup(this);
          radioGroup->setExclusive(true);
        }
        radioGroup->addButton(radio);
        const int id = control.id;
        connect(radio, &QRadioButton::clicked, this, [this, id, radio] { Command(id, radio); });
        widget = radio;
        break;
      }
      case ControlKind::GroupBox:
        widget = new QGroupBox(text, this);
        widget->setFocusPolicy(Qt::NoFocus);
        break;
      case ControlKind::ProgressBar: {
        auto* bar = new QProgressBar(this);
        bar->setTextVisible(false);
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setProperty("low", 0);
        bar->setProperty("high", 100);
        bar->setProperty("position", 0);
        widget = bar;
        break;
      }
      case ControlKind::ListView: {
        auto* list = new ReportList(*this, control.id, this);
        list->setRootIsDecorated(false);
        list->setItemsExpandable(false);
        list->setUniformRowHeights(true);
        list->setSortingEnabled(false);
        list->setColumnCount(0);
        list->setSelectionMode(Has(style, ControlStyle::ListSingleSelection)
                                   ? QAbstractItemView::SingleSelection
                                   : QAbstractItemView::ExtendedSelection);
        list->setSelectionBehavior(QAbstractItemView::SelectRows);
        list->header()->setStretchLastSection(false);
        list->header()->setSectionsMovable(false);
        // Without a sorting header the column headers are not buttons.
        list->header()->setSectionsClickable(!Has(style, ControlStyle::ListNoSortHeader));
        list->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        if (Has(control.exStyle, ControlExStyle::ClientEdge)) list->setFrameShadow(QFrame::Sunken);
        widget = list;
        break;
      }
    }
    if (control.kind != ControlKind::Label && control.kind != ControlKind::GroupBox &&
        control.kind != ControlKind::ProgressBar) {
      widget->setFocusPolicy(FocusPolicyFor(control));
    } else {
      widget->setFocusPolicy(Qt::NoFocus);
    }
    int width = units.X(control.rect.width);
    const int height = units.Y(control.rect.height);
    // The substitute fonts' glyphs can run a few pixels wider than the face
    // the layout was made for; a one-line label then keeps its whole text
    // instead of wrapping its last characters out of sight.
    if (control.kind == ControlKind::Label && !text.isEmpty() && height < 2 * units.charHeight) {
      width = std::max(width, QFontMetrics(font).horizontalAdvance(text) + 1);
    }
    // The same for a check box: its box, the gap and its whole text.
    if (control.kind == ControlKind::CheckBox || control.kind == ControlKind::RadioButton) {
      width = std::max(width, widget->sizeHint().width());
    }
    widget->setGeometry(units.X(control.rect.x), units.Y(control.rect.y), width, height);
    if (control.id != kNoControlId) controls_[control.id] = widget;

    if (template_.resizable) {
      // The list or text box takes the size change; what lies below it
      // keeps to the bottom edge, buttons to the right one, labels widen.
      Anchor anchor = Anchor::Fixed;
      const bool area = control.kind == ControlKind::ListView ||
                        (control.kind == ControlKind::EditBox && Has(style, ControlStyle::EditMultiLine));
      if (area && stretched == nullptr) {
        anchor = Anchor::Stretch;
        stretched = &control.rect;
      } else if (stretched != nullptr && control.rect.y >= stretched->y + stretched->height) {
        anchor = control.kind == ControlKind::PushButton ? Anchor::BottomRight : Anchor::BottomWide;
      }
      anchored_.push_back({widget, widget->geometry(), anchor});
    }
  }
  designedSize_ = designed;
  SpaceLabelsFromTheirFields(units);
}

void QtDialog::SpaceLabelsFromTheirFields(const DialogUnits& units) {
  // A label whose text ran wider than its template rectangle would touch
  // the field right of it on its line: the field starts a little later and
  // keeps its right edge.
  const int gap = units.X(3);
  for (const ControlTemplate& label : template_.controls) {
    if (label.kind != ControlKind::Label || label.text[0] == u'\0') continue;
    const int labelRight =
        units.X(label.rect.x) + QFontMetrics(font()).horizontalAdvance(ToQString(label.text));
    for (const ControlTemplate& field : template_.controls) {
      const bool sameLine =
          field.rect.y < label.rect.y + label.rect.height && label.rect.y < field.rect.y + field.rect.height;
      if (&field == &label || !sameLine || field.rect.x < label.rect.x + label.rect.width) continue;
      QWidget* widget = Control(field.id);
      if (widget == nullptr || widget->x() >= labelRight + gap) continue;
      const int shift = labelRight + gap - widget->x();
      widget->setGeometry(widget->x() + shift, widget->y(), std::max(1, widget->width() - shift),
                          widget->height());
    }
  }
}

void QtDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  const int dw = width() - designedSize_.width();
  const int dh = height() - designedSize_.height();
  for (const AnchoredControl& control : anchored_) {
    QRect rect = control.designed;
    switch (control.anchor) {
      case Anchor::Fixed:
        break;
      case Anchor::Stretch:
        rect.setSize(rect.size() + QSize(dw, dh));
        break;
      case Anchor::BottomRight:
        rect.translate(dw, dh);
        break;
      case Anchor::BottomWide:
        rect.translate(0, dh);
        rect.setWidth(std::max(1, rect.width() + dw));
        break;
    }
    control.widget->setGeometry(rect);
  }
}

std::intptr_t QtDialog::Route(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  return DialogProcedure(HandleOf(this), message, wParam, lParam);
}

void QtDialog::Command(int id, QWidget* control) {
  Route(WM_COMMAND, MakeWParam(static_cast<std::uint16_t>(id), BN_CLICKED),
        reinterpret_cast<std::intptr_t>(HandleOf(control)));
}

void QtDialog::EndWith(int result) {
  ended_ = true;
  endResult_ = result;
  QDialog::done(result);
}

void QtDialog::FocusFirstTabStop() {
  for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (child->focusPolicy() == Qt::StrongFocus && child->isEnabled()) {
      child->setFocus(Qt::OtherFocusReason);
      return;
    }
  }
}

void QtDialog::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
      // A focused push button takes Enter itself; otherwise Enter is the
      // default button's command, or OK when there is none.
      if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && button->isEnabled()) {
        button->click();
        return;
      }
      Command(defaultButtonId_, Control(defaultButtonId_));
      return;
    }
    case Qt::Key_Escape:
      Command(IDCANCEL, nullptr);
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

// QDialog turns Enter and the close box into accept and reject; here they are
// the OK and Cancel commands, and only the handlers decide about closing.
void QtDialog::accept() { Command(IDOK, nullptr); }
void QtDialog::reject() { Command(IDCANCEL, nullptr); }

DialogBase* BoundDialog(WindowHandle window) {
  QtDialog* dialog = DialogOf(window);
  return dialog ? dialog->bound : nullptr;
}

void BindDialog(WindowHandle window, DialogBase* dialog) {
  if (QtDialog* qtDialog = DialogOf(window)) qtDialog->bound = dialog;
}

std::intptr_t DialogBase::RunModal(WindowHandle parent) {
  const DialogTemplate* dialogTemplate = FindDialogTemplate(resourceId);
  if (dialogTemplate == nullptr || QApplication::instance() == nullptr) return -1;

  QtDialog dialog(*dialogTemplate, WidgetOf(parent));
  const WindowHandle handle = HandleOf(&dialog);
  // As on Windows, the font message comes before initialisation and so
  // reaches no handler.
  DialogProcedure(handle, WM_SETFONT, 0, 0);
  if (DialogProcedure(handle, WM_INITDIALOG, 0, reinterpret_cast<std::intptr_t>(this)) != 0) {
    dialog.FocusFirstTabStop();
  }

  std::intptr_t result = 0;
  if (dialog.Ended()) {
    result = dialog.EndResult();
  } else {
    if (const QScreen* screen = dialog.screen()) {
      // A dialog the user may resize shrinks to fit a small screen, so that
      // its buttons stay in reach.
      if (dialogTemplate->resizable) {
        // Before the window is shown the window manager has not told its
        // frame yet; then the style's title bar and frame stand in for it.
        QSize decoration = dialog.frameGeometry().size() - dialog.size();
        if (decoration.isNull()) {
          const int frameWidth = dialog.style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
          decoration =
              QSize(2 * frameWidth, dialog.style()->pixelMetric(QStyle::PM_TitleBarHeight) + frameWidth);
        }
        dialog.resize(dialog.size().boundedTo(screen->availableGeometry().size() - decoration));
      }
      QRect frame = dialog.frameGeometry();
      frame.moveCenter(screen->availableGeometry().center());
      dialog.move(frame.topLeft());
    }
    if (CurrentDialogObserver() != nullptr) {
      QTimer::singleShot(0, &dialog, [this] {
        if (DialogObserver* observer = CurrentDialogObserver()) observer->DialogShown(*this);
      });
    }
    result = dialog.exec();
  }
  window = nullptr;
  return result;
}

WindowHandle DialogBase::Item(int controlId) const {
  const QtDialog* dialog = DialogOf(window);
  return dialog ? HandleOf(dialog->Control(controlId)) : nullptr;
}

std::intptr_t DialogBase::SendToDialog(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  QtDialog* dialog = DialogOf(window);
  if (dialog == nullptr) return 0;
  if (QThread::currentThread() == dialog->thread()) return dialog->Route(message, wParam, lParam);
  // A blocking queued call waits for the dialog thread; it is released (with
  // no answer) should the dialog go away before handling it.
  std::intptr_t result = 0;
  QMetaObject::invokeMethod(
      dialog, [dialog, message, wParam, lParam] { return dialog->Route(message, wParam, lParam); },
      Qt::BlockingQueuedConnection, &result);
  return result;
}

void DialogBase::PostToDialog(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  QtDialog* dialog = DialogOf(window);
  if (dialog == nullptr) return;
  QMetaObject::invokeMethod(
      dialog, [dialog, message, wParam, lParam] { dialog->Route(message, wParam, lParam); },
      Qt::QueuedConnection);
}

void DialogBase::EndModal(std::intptr_t result) {
  if (QtDialog* dialog = DialogOf(window)) dialog->EndWith(static_cast<int>(result));
}
