// Control operations on Win32: the window messages of the standard and
// common controls, sent to the handles GetDlgItem gives.

#include <windows.h>
// commctrl.h needs the types windows.h declares.
#include <commctrl.h>

#include <vector>

#include "ui/controls.h"

namespace {

HWND Hwnd(WindowHandle handle) { return static_cast<HWND>(handle); }

LRESULT Send(WindowHandle control, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  return SendMessageW(Hwnd(control), message, wParam, lParam);
}

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

std::u16string FromBuffer(const wchar_t* text) { return std::u16string(text, text + lstrlenW(text)); }

// Texts read back from a list view are limited to what a cell shows.
constexpr int kCellBuffer = 1024;

}  // namespace

void SetControlText(WindowHandle control, const std::u16string& text) {
  if (control != nullptr) SetWindowTextW(Hwnd(control), Wide(text).c_str());
}

std::u16string ControlText(WindowHandle control, std::size_t maxUnits) {
  if (control == nullptr || maxUnits == 0) return std::u16string();
  std::vector<wchar_t> buffer(maxUnits + 1, L'\0');
  const int length = GetWindowTextW(Hwnd(control), buffer.data(), static_cast<int>(buffer.size()));
  return std::u16string(buffer.data(), buffer.data() + (length > 0 ? length : 0));
}

void SetChecked(WindowHandle control, bool checked) {
  if (control != nullptr) Send(control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool IsChecked(WindowHandle control) {
  return control != nullptr && Send(control, BM_GETCHECK) == BST_CHECKED;
}

void EnableControl(WindowHandle control, bool enabled) {
  if (control != nullptr) EnableWindow(Hwnd(control), enabled ? TRUE : FALSE);
}

bool IsControlEnabled(WindowHandle control) { return control != nullptr && IsWindowEnabled(Hwnd(control)); }

void FocusControl(WindowHandle control) {
  if (control == nullptr) return;
  // Through the dialog manager, so the default-button highlight follows.
  HWND dialog = GetParent(Hwnd(control));
  if (dialog != nullptr) {
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
  } else {
    SetFocus(Hwnd(control));
  }
}

bool HasFocus(WindowHandle control) { return control != nullptr && GetFocus() == Hwnd(control); }

void SetProgressRange(WindowHandle control, int low, int high) {
  if (control != nullptr) Send(control, PBM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
}

void SetProgressPosition(WindowHandle control, int position) {
  if (control != nullptr) Send(control, PBM_SETPOS, static_cast<WPARAM>(position));
}

int ProgressLow(WindowHandle control) {
  return control == nullptr ? 0 : static_cast<int>(Send(control, PBM_GETRANGE, TRUE));
}

int ProgressHigh(WindowHandle control) {
  return control == nullptr ? 0 : static_cast<int>(Send(control, PBM_GETRANGE, FALSE));
}

int ProgressPosition(WindowHandle control) {
  return control == nullptr ? 0 : static_cast<int>(Send(control, PBM_GETPOS));
}

int ListView::InsertColumn(int index, const std::u16string& header, int width, int subItem) {
  if (window == nullptr) return -1;
  std::wstring text = Wide(header);
  LVCOLUMNW column{};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  column.fmt = LVCFMT_LEFT;
  column.cx = width;
  column.pszText = text.data();
  column.cchTextMax = static_cast<int>(text.size());
  column.iSubItem = subItem;
  return static_cast<int>(
      Send(window, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column)));
}

int ListView::InsertItem(int index, const std::u16string& text) {
  if (window == nullptr) return -1;
  std::wstring wide = Wide(text);
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = index;
  item.pszText = wide.data();
  return static_cast<int>(Send(window, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

bool ListView::SetItemText(int item, int subItem, const std::u16string& text) {
  if (window == nullptr) return false;
  std::wstring wide = Wide(text);
  LVITEMW cell{};
  cell.iSubItem = subItem;
  cell.pszText = wide.data();
  return Send(window, LVM_SETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&cell)) != 0;
}

int ListView::FirstSelectedItem() const {
  if (window == nullptr) return -1;
  return static_cast<int>(Send(window, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void ListView::SetExtendedStyle(std::uint32_t style) {
  // Mask 0: every extended style bit takes the given value.
  if (window != nullptr) Send(window, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style));
}

int ListView::ItemCount() const {
  return window == nullptr ? 0 : static_cast<int>(Send(window, LVM_GETITEMCOUNT));
}

int ListView::ColumnCount() const {
  if (window == nullptr) return 0;
  HWND header = reinterpret_cast<HWND>(Send(window, LVM_GETHEADER));
  return header == nullptr ? 0 : static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
}

std::u16string ListView::ColumnHeader(int column) const {
  if (window == nullptr) return std::u16string();
  wchar_t buffer[kCellBuffer] = {};
  LVCOLUMNW query{};
  query.mask = LVCF_TEXT;
  query.pszText = buffer;
  query.cchTextMax = kCellBuffer;
  if (!Send(window, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&query))) {
    return std::u16string();
  }
  return FromBuffer(buffer);
}

int ListView::ColumnWidth(int column) const {
  return window == nullptr ? 0
                           : static_cast<int>(Send(window, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column)));
}

std::u16string ListView::ItemText(int item, int subItem) const {
  if (window == nullptr) return std::u16string();
  wchar_t buffer[kCellBuffer] = {};
  LVITEMW query{};
  query.iSubItem = subItem;
  query.pszText = buffer;
  query.cchTextMax = kCellBuffer;
  Send(window, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&query));
  return FromBuffer(buffer);
}

std::uint32_t ListView::ExtendedStyle() const {
  return window == nullptr ? 0 : static_cast<std::uint32_t>(Send(window, LVM_GETEXTENDEDLISTVIEWSTYLE));
}

void ListView::SelectItem(int item, bool selected) {
  if (window == nullptr) return;
  LVITEMW state{};
  state.stateMask = LVIS_SELECTED;
  state.state = selected ? LVIS_SELECTED : 0;
  Send(window, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&state));
}
