// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "list_view_queries.h"

namespace {

constexpr int kCellBuffer = 1024;

LRESULT Send(const ListView& list, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  return SendMessageW(static_cast<HWND>(list.window), message, wParam, lParam);
}

std::u16string FromBuffer(const wchar_t* text) { return std::u16string(text, text + lstrlenW(text)); }

}  // namespace

int ListItemCount(const ListView& list) {
  return list.window == nullptr ? 0 : static_cast<int>(Send(list, LVM_GETITEMCOUNT));
}

int ListColumnCount(const ListView& list) {
  if (list.window == nullptr) return 0;
  HWND header = reinterpret_cast<HWND>(Send(list, LVM_GETHEADER));
  return header == nullptr ? 0 : static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
}

std::u16string ListColumnHeader(const ListView& list, int column) {
  if (list.window == nullptr) return std::u16string();
  wchar_t buffer[kCellBuffer] = {};
  LVCOLUMNW query{};
  query.mask = LVCF_TEXT;
  query.pszText = buffer;
  query.cchTextMax = kCellBuffer;
  if (!Send(list, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&query))) {
    return std::u16string();
  }
  return FromBuffer(buffer);
}

int ListColumnWidth(const ListView& list, int column) {
  return list.window == nullptr
             ? 0
             : static_cast<int>(Send(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column)));
}

std::u16string ListItemText(const ListView& list, int item, int subItem) {
  if (list.window == nullptr) return std::u16string();
  wchar_t buffer[kCellBuffer] = {};
  LVITEMW query{};
  query.iSubItem = subItem;
  query.pszText = buffer;
  query.cchTextMax = kCellBuffer;
  Send(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&query));
  return FromBuffer(buffer);
}

std::uint32_t ListExtendedStyle(const ListView& list) {
  return list.window == nullptr ? 0 : static_cast<std::uint32_t>(Send(list, LVM_GETEXTENDEDLISTVIEWSTYLE));
}

void SelectListItem(const ListView& list, int item, bool selected) {
  if (list.window == nullptr) return;
  LVITEMW state{};
  state.stateMask = LVIS_SELECTED;
  state.state = selected ? LVIS_SELECTED : 0;
  Send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&state));
}
