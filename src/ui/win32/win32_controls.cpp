// Control operations on Win32: the window messages of the standard and
// common controls, sent to the handles GetDlgItem gives.

// commctrl.h builds on the types of windows.h.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <cstddef>
#include <vector>

#include "ui/controls.h"

// The dialogs read the list's tip request through the portable record.
static_assert(sizeof(ListViewInfoTip) == sizeof(NMLVGETINFOTIPW));
static_assert(offsetof(ListViewInfoTip, text) == offsetof(NMLVGETINFOTIPW, pszText));
static_assert(offsetof(ListViewInfoTip, item) == offsetof(NMLVGETINFOTIPW, iItem));

namespace {

HWND Hwnd(WindowHandle handle) { return static_cast<HWND>(handle); }

LRESULT Send(WindowHandle control, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  return SendMessageW(Hwnd(control), message, wParam, lParam);
}

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

// A cell's text leaves out its padding, six pixels a side.
constexpr int kCellPadding = 12;

// Column widths are pixels of the 96-dpi layout, where the dialog font's
// average character (one horizontal dialog base unit, four dialog units) is
// 6 pixels. The dialog manager sizes everything else by the font, so the
// columns follow it: at 144 dpi the headers grow with their text.
constexpr int kLayoutBaseUnit = 6;

int ScaledToDialogFont(WindowHandle list, int width) {
  HWND dialog = GetParent(Hwnd(list));
  RECT base{0, 0, 4, 8};
  if (dialog == nullptr || !MapDialogRect(dialog, &base) || base.right <= 0) return width;
  return MulDiv(width, base.right, kLayoutBaseUnit);
}

// The list asks the dialog manager for Enter while a line is selected, so
// that Enter reaches it, and tells its dialog NM_RETURN, instead of pressing
// the default button.
constexpr UINT_PTR kEnterSubclassId = 1;

LRESULT CALLBACK WantEnterWhenSelected(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR) {
  if (message == WM_GETDLGCODE && lParam != 0) {
    const MSG* key = reinterpret_cast<const MSG*>(lParam);
    if (key->message == WM_KEYDOWN && key->wParam == VK_RETURN &&
        SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) > 0) {
      return DefSubclassProc(list, message, wParam, lParam) | DLGC_WANTMESSAGE;
    }
  }
  // The list tells its dialog itself, the same way on every comctl32
  // (some send NM_RETURN only with a focused line).
  if (message == WM_KEYDOWN && wParam == VK_RETURN && SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) > 0) {
    NMHDR header{};
    header.hwndFrom = list;
    header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(list));
    header.code = NM_RETURN;
    SendMessageW(GetParent(list), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
    return 0;
  }
  if (message == WM_NCDESTROY) RemoveWindowSubclass(list, WantEnterWhenSelected, kEnterSubclassId);
  return DefSubclassProc(list, message, wParam, lParam);
}

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
  column.cx = ScaledToDialogFont(window, width);
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
  if (Send(window, LVM_SETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&cell)) == 0)
    return false;
  // The short value columns (all but the first, which holds paths) widen to
  // show their widest cell whole; the status words are the longest of them.
  if (subItem > 0) {
    const int needed =
        static_cast<int>(Send(window, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(wide.c_str()))) +
        kCellPadding;
    if (Send(window, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(subItem), 0) < needed) {
      Send(window, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(subItem), MAKELPARAM(needed, 0));
    }
  }
  return true;
}

int ListView::FirstSelectedItem() const {
  if (window == nullptr) return -1;
  return static_cast<int>(Send(window, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void ListView::SetExtendedStyle(std::uint32_t style) {
  // Mask 0: every extended style bit takes the given value.
  if (window != nullptr) Send(window, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style));
}

int ListView::CellTextWidth(int column) const {
  if (window == nullptr) return 0;
  return static_cast<int>(Send(window, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column))) - kCellPadding;
}

int ListView::TextWidth(const std::u16string& text) const {
  if (window == nullptr) return 0;
  const std::wstring wide = Wide(text);
  return static_cast<int>(Send(window, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(wide.c_str())));
}

void ListView::ReportEnterKey() {
  if (window != nullptr) SetWindowSubclass(Hwnd(window), WantEnterWhenSelected, kEnterSubclassId, 0);
}
