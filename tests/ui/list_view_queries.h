#pragma once

// What the dialog tests read back from a result table. The program itself
// only fills the list; these read the backend's native widget (Qt: the
// tree widget, Win32: the LVM_ messages).

#include <cstdint>
#include <string>

#include "ui/controls.h"

int ListItemCount(const ListView& list);
int ListColumnCount(const ListView& list);
std::u16string ListColumnHeader(const ListView& list, int column);
int ListColumnWidth(const ListView& list, int column);
std::u16string ListItemText(const ListView& list, int item, int subItem);
std::uint32_t ListExtendedStyle(const ListView& list);
void SelectListItem(const ListView& list, int item, bool selected);
