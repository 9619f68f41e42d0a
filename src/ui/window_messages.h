#pragma once

#include <cstdint>

// The window-message vocabulary the dialogs speak. The values are the Win32
// ones, so a Win32 backend passes them through unchanged; another backend
// produces the same messages from its own events.
//
// Each constant is declared only when <windows.h> has not already defined it
// as a macro, so this header and the platform's headers mix in any order.

// Opaque handle of a dialog or of one of its controls: an HWND on Win32, the
// backend's widget elsewhere. Null means "no window".
using WindowHandle = void*;

#ifndef WM_INITDIALOG
inline constexpr std::uint32_t WM_INITDIALOG = 0x0110;
#endif
#ifndef WM_COMMAND
inline constexpr std::uint32_t WM_COMMAND = 0x0111;
#endif
#ifndef WM_NOTIFY
inline constexpr std::uint32_t WM_NOTIFY = 0x004E;
#endif
#ifndef WM_SETFONT
inline constexpr std::uint32_t WM_SETFONT = 0x0030;
#endif
#ifndef WM_USER
inline constexpr std::uint32_t WM_USER = 0x0400;
#endif

// Command ids of the two standard commands: Enter (or the default button)
// and Escape / the close box.
#ifndef IDOK
inline constexpr int IDOK = 1;
#endif
#ifndef IDCANCEL
inline constexpr int IDCANCEL = 2;
#endif

// Notification code of WM_COMMAND from a push button or check box.
#ifndef BN_CLICKED
inline constexpr std::uint32_t BN_CLICKED = 0;
#endif

// WM_NOTIFY code of a double-click in a list view.
#ifndef NM_DBLCLK
inline constexpr std::uint32_t NM_DBLCLK = static_cast<std::uint32_t>(-3);
#endif

// WM_NOTIFY code of Enter in a list view (which asks for Enter only while a
// line is selected; see ListView::ReportEnterKey).
#ifndef NM_RETURN
inline constexpr std::uint32_t NM_RETURN = static_cast<std::uint32_t>(-4);
#endif

// WM_NOTIFY code by which a list view asks for the tip of a line.
#ifndef LVN_GETINFOTIPW
inline constexpr std::uint32_t LVN_GETINFOTIPW = static_cast<std::uint32_t>(-158);
#endif

// The header every WM_NOTIFY carries in its second parameter; the same
// layout as the Win32 NMHDR.
struct NotifyHeader {
  WindowHandle hwndFrom = nullptr;
  std::uintptr_t idFrom = 0;
  std::uint32_t code = 0;
};

// The record of LVN_GETINFOTIPW, laid out as the Win32 NMLVGETINFOTIPW: the
// receiver writes the tip, at most textMax units with its terminating zero,
// into `text`.
struct ListViewInfoTip {
  NotifyHeader header;
  std::uint32_t flags = 0;
  char16_t* text = nullptr;
  int textMax = 0;
  int item = -1;
  int subItem = 0;
  std::intptr_t lParam = 0;
};

// The halves of a message parameter.
inline constexpr std::uint16_t LowWord(std::uintptr_t value) {
  return static_cast<std::uint16_t>(value & 0xFFFF);
}
inline constexpr std::uint16_t HighWord(std::uintptr_t value) {
  return static_cast<std::uint16_t>((value >> 16) & 0xFFFF);
}
inline constexpr std::uintptr_t MakeWParam(std::uint16_t low, std::uint16_t high) {
  return static_cast<std::uintptr_t>(low) | (static_cast<std::uintptr_t>(high) << 16);
}
