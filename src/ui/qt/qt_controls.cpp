// Control operations on the widgets the Qt builder made from a template.

#include <QAbstractButton>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStyle>
#include <QTreeWidget>
#include <algorithm>

#include "ui/controls.h"
#include "ui/qt/qt_dialog.h"

namespace {

template <typename T>
T* As(WindowHandle control) {
  return control ? dynamic_cast<T*>(WidgetOf(control)) : nullptr;
}

// A multi-line box shows "\r\n" as one line break and hands its text back
// with "\r\n", like a Windows edit control.
QString WithoutCarriageReturns(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

void ShowProgress(QProgressBar& bar) {
  const int low = bar.property("low").toInt();
  const int high = bar.property("high").toInt();
  const int position = bar.property("position").toInt();
  if (high > low) {
    bar.setRange(low, high);
    bar.setValue(position);
  } else {
    // An empty range is an empty bar (Qt would show a busy indicator).
    bar.setRange(0, 1);
    bar.setValue(0);
  }
}

// The padding the item delegate puts around a cell's text, both sides.
int CellMargins(const QTreeWidget& list) {
  return 2 * (list.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &list) + 1);
}

int ClampedPosition(const QProgressBar& bar, int position) {
  const int low = bar.property("low").toInt();
  const int high = bar.property("high").toInt();
  return std::max(low, std::min(position, std::max(low, high)));
}

}  // namespace

void SetControlText(WindowHandle control, const std::u16string& text) {
  if (auto* label = As<QLabel>(control)) {
    label->setText(ToQString(text));
  } else if (auto* line = As<QLineEdit>(control)) {
    line->setText(ToQString(text));
    line->setCursorPosition(0);
  } else if (auto* edit = As<QPlainTextEdit>(control)) {
    edit->setPlainText(WithoutCarriageReturns(ToQString(text)));
  } else if (auto* button = As<QAbstractButton>(control)) {
    button->setText(ToQString(text));
  } else if (QWidget* widget = control ? WidgetOf(control) : nullptr) {
    widget->setWindowTitle(ToQString(text));
  }
}

std::u16string ControlText(WindowHandle control, std::size_t maxUnits) {
  QString text;
  if (auto* label = As<QLabel>(control)) {
    text = label->text();
  } else if (auto* line = As<QLineEdit>(control)) {
    text = line->text();
  } else if (auto* edit = As<QPlainTextEdit>(control)) {
    text = edit->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  } else if (auto* button = As<QAbstractButton>(control)) {
    text = button->text();
  } else if (QWidget* widget = control ? WidgetOf(control) : nullptr) {
    text = widget->windowTitle();
  }
  std::u16string result = FromQString(text);
  if (result.size() > maxUnits) result.resize(maxUnits);
  return result;
}

void SetChecked(WindowHandle control, bool checked) {
  if (auto* button = As<QAbstractButton>(control)) button->setChecked(checked);
}

bool IsChecked(WindowHandle control) {
  auto* button = As<QAbstractButton>(control);
  return button && button->isCheckable() && button->isChecked();
}

void EnableControl(WindowHandle control, bool enabled) {
  if (control) WidgetOf(control)->setEnabled(enabled);
}

bool IsControlEnabled(WindowHandle control) { return control && WidgetOf(control)->isEnabled(); }

void FocusControl(WindowHandle control) {
  if (control) WidgetOf(control)->setFocus(Qt::OtherFocusReason);
}

bool HasFocus(WindowHandle control) {
  if (!control) return false;
  QWidget* widget = WidgetOf(control);
  return widget->window()->focusWidget() == widget;
}

void SetProgressRange(WindowHandle control, int low, int high) {
  auto* bar = As<QProgressBar>(control);
  if (!bar) return;
  bar->setProperty("low", low);
  bar->setProperty("high", high);
  bar->setProperty("position", ClampedPosition(*bar, bar->property("position").toInt()));
  ShowProgress(*bar);
}

void SetProgressPosition(WindowHandle control, int position) {
  auto* bar = As<QProgressBar>(control);
  if (!bar) return;
  bar->setProperty("position", ClampedPosition(*bar, position));
  ShowProgress(*bar);
}

int ProgressLow(WindowHandle control) {
  auto* bar = As<QProgressBar>(control);
  return bar ? bar->property("low").toInt() : 0;
}

int ProgressHigh(WindowHandle control) {
  auto* bar = As<QProgressBar>(control);
  return bar ? bar->property("high").toInt() : 0;
}

int ProgressPosition(WindowHandle control) {
  auto* bar = As<QProgressBar>(control);
  return bar ? bar->property("position").toInt() : 0;
}

int ListView::InsertColumn(int index, const std::u16string& header, int width, int subItem) {
  auto* list = As<ReportList>(window);
  if (!list || index < 0) return -1;
  const int count = list->columnCount();
  const int column = std::min(index, count);
  if (column == count) {
    list->setColumnCount(count + 1);
  } else {
    list->model()->insertColumns(column, 1);
  }
  // Columns show their own sub-item here; the argument only keeps the
  // Windows call's shape.
  static_cast<void>(subItem);
  QTreeWidgetItem* headerItem = list->headerItem();
  headerItem->setText(column, ToQString(header));
  headerItem->setTextAlignment(column, Qt::AlignLeft | Qt::AlignVCenter);
  list->setColumnWidth(column, width);
  return column;
}

int ListView::InsertItem(int index, const std::u16string& text) {
  auto* list = As<ReportList>(window);
  if (!list || index < 0) return -1;
  const int row = std::min(index, list->topLevelItemCount());
  auto* item = new QTreeWidgetItem();
  item->setText(0, ToQString(text));
  list->insertTopLevelItem(row, item);
  return row;
}

bool ListView::SetItemText(int item, int subItem, const std::u16string& text) {
  auto* list = As<ReportList>(window);
  if (!list || item < 0 || subItem < 0 || subItem >= std::max(1, list->columnCount())) return false;
  QTreeWidgetItem* line = list->topLevelItem(item);
  if (!line) return false;
  line->setText(subItem, ToQString(text));
  // The short value columns (all but the first, which holds paths) widen to
  // show their widest cell whole; the status words are the longest of them.
  if (subItem > 0) {
    const int needed = list->fontMetrics().horizontalAdvance(ToQString(text)) + CellMargins(*list);
    if (list->columnWidth(subItem) < needed) list->setColumnWidth(subItem, needed);
  }
  return true;
}

int ListView::FirstSelectedItem() const {
  auto* list = As<ReportList>(window);
  if (!list) return -1;
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    if (list->topLevelItem(i)->isSelected()) return i;
  }
  return -1;
}

void ListView::SetExtendedStyle(std::uint32_t style) {
  auto* list = As<ReportList>(window);
  if (!list) return;
  list->extendedStyle = style;
  // Lines are always selected whole here; the style decides whether the
  // focus frame spans every cell too.
  list->setAllColumnsShowFocus((style & kListViewFullRowSelect) != 0);
}

int ListView::CellTextWidth(int column) const {
  auto* list = As<ReportList>(window);
  if (!list || column < 0 || column >= list->columnCount()) return 0;
  return list->columnWidth(column) - CellMargins(*list);
}

int ListView::TextWidth(const std::u16string& text) const {
  auto* list = As<ReportList>(window);
  return list ? list->fontMetrics().horizontalAdvance(ToQString(text)) : 0;
}

void ListView::ReportEnterKey() {
  if (auto* list = As<ReportList>(window)) list->reportsEnter = true;
}
