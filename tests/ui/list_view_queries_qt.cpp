#include "list_view_queries.h"
#include "ui/qt/qt_dialog.h"

namespace {

ReportList* Widget(const ListView& list) {
  return list.window ? dynamic_cast<ReportList*>(WidgetOf(list.window)) : nullptr;
}

}  // namespace

int ListItemCount(const ListView& list) {
  const ReportList* widget = Widget(list);
  return widget ? widget->topLevelItemCount() : 0;
}

int ListColumnCount(const ListView& list) {
  const ReportList* widget = Widget(list);
  return widget ? widget->columnCount() : 0;
}

std::u16string ListColumnHeader(const ListView& list, int column) {
  const ReportList* widget = Widget(list);
  if (!widget || column < 0 || column >= widget->columnCount()) return {};
  return FromQString(widget->headerItem()->text(column));
}

int ListColumnWidth(const ListView& list, int column) {
  const ReportList* widget = Widget(list);
  if (!widget || column < 0 || column >= widget->columnCount()) return 0;
  return widget->columnWidth(column);
}

std::u16string ListItemText(const ListView& list, int item, int subItem) {
  const ReportList* widget = Widget(list);
  if (!widget || item < 0 || subItem < 0) return {};
  const QTreeWidgetItem* line = widget->topLevelItem(item);
  return line ? FromQString(line->text(subItem)) : std::u16string();
}

std::uint32_t ListExtendedStyle(const ListView& list) {
  const ReportList* widget = Widget(list);
  return widget ? widget->extendedStyle : 0;
}

void SelectListItem(const ListView& list, int item, bool selected) {
  ReportList* widget = Widget(list);
  if (!widget) return;
  if (QTreeWidgetItem* line = widget->topLevelItem(item)) line->setSelected(selected);
}
