#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ui/window_messages.h"

// Operations on the controls of a dialog, addressed by the handles that
// DialogBase::Item gives. Each backend implements them (Win32: GetDlgItem
// handles with SetWindowTextW, BM_SETCHECK, EnableWindow, SetFocus,
// PBM_SETRANGE32 / PBM_SETPOS, the LVM_ messages). A null handle is ignored,
// and the queries answer as for an empty, unchecked, disabled control.

void SetControlText(WindowHandle control, const std::u16string& text);
// At most maxUnits units of the text (the edit boxes are read into a buffer
// of 1024, so 1023 by default). A multi-line edit box gives its line ends
// as "\r\n".
std::u16string ControlText(WindowHandle control, std::size_t maxUnits = 1023);

void SetChecked(WindowHandle control, bool checked);
bool IsChecked(WindowHandle control);

void EnableControl(WindowHandle control, bool enabled);
bool IsControlEnabled(WindowHandle control);

void FocusControl(WindowHandle control);
// True when the control is the one its dialog gives the keyboard focus to.
bool HasFocus(WindowHandle control);

// A progress bar: range low..high, position clamped into it. A range whose
// high bound is not above the low one shows an empty bar.
void SetProgressRange(WindowHandle control, int low, int high);
void SetProgressPosition(WindowHandle control, int position);
int ProgressLow(WindowHandle control);
int ProgressHigh(WindowHandle control);
int ProgressPosition(WindowHandle control);

// Extended list-view styles: selecting a line highlights all of its cells;
// hovering over a line asks the dialog for its tip (LVN_GETINFOTIPW).
inline constexpr std::uint32_t kListViewFullRowSelect = 0x20;
inline constexpr std::uint32_t kListViewInfoTip = 0x400;

// A report-view list control: lines (items) of cells (sub-items 1..n after
// the item's own text).
class ListView {
 public:
  ListView() = default;
  explicit ListView(WindowHandle control) : window(control) {}

  WindowHandle window = nullptr;

  // Left-aligned column with a header text and a width in pixels of the
  // 96-dpi layout (the backend widens it as the dialog font grows); column
  // `index` shows sub-item `subItem`. Returns the new column's index or -1.
  int InsertColumn(int index, const std::u16string& header, int width, int subItem);
  // A new line at `index` whose first cell is `text`. Returns its index or -1.
  int InsertItem(int index, const std::u16string& text);
  bool SetItemText(int item, int subItem, const std::u16string& text);
  // The first selected line in list order, or -1.
  int FirstSelectedItem() const;
  // Replaces all extended style bits.
  void SetExtendedStyle(std::uint32_t style);

  // The pixels a cell of the column has for its text (the column's width
  // less the cell's padding), and the pixels a text takes in the list's
  // font: together they tell whether a cell shows its text whole.
  int CellTextWidth(int column) const;
  int TextWidth(const std::u16string& text) const;

  // From now on, Enter while a line is selected reaches the dialog as the
  // list's NM_RETURN notification instead of pressing the default button;
  // with no line selected Enter keeps its usual meaning.
  void ReportEnterKey();
};

// Message boxes: the icon and button bits and the answers have the Win32
// values.
inline constexpr std::uint32_t kMessageBoxOk = 0x00;
inline constexpr std::uint32_t kMessageBoxYesNo = 0x04;
inline constexpr std::uint32_t kMessageBoxIconError = 0x10;
inline constexpr std::uint32_t kMessageBoxIconQuestion = 0x20;
inline constexpr std::uint32_t kMessageBoxIconWarning = 0x30;
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;

// Shows a message box owned by `owner` (may be null) and returns the answer.
int ShowMessageBox(WindowHandle owner, const std::u16string& text, const std::u16string& caption,
                   std::uint32_t style);

// Lets the user choose a folder: the chooser is owned by `owner`, shows
// `title` and starts at `initialFolder`. True with `chosen` set when a folder
// was chosen; false when the user cancelled or no chooser could be shown.
bool BrowseForFolder(WindowHandle owner, const std::u16string& title, const std::u16string& initialFolder,
                     std::u16string& chosen);

// The two seams above can be replaced (tests answer message boxes and choose
// folders without a person). Each setter returns the previous function; an
// empty function restores the platform's own.
using MessageBoxFunction = std::function<int(WindowHandle owner, const std::u16string& text,
                                             const std::u16string& caption, std::uint32_t style)>;
using FolderBrowserFunction =
    std::function<bool(WindowHandle owner, const std::u16string& title, const std::u16string& initialFolder,
                       std::u16string& chosen)>;
MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function);
FolderBrowserFunction SetFolderBrowserFunction(FolderBrowserFunction function);

// The platform's own message box and folder chooser (the defaults of the
// seams), implemented by the backend.
int PlatformMessageBox(WindowHandle owner, const std::u16string& text, const std::u16string& caption,
                       std::uint32_t style);
bool PlatformBrowseForFolder(WindowHandle owner, const std::u16string& title,
                             const std::u16string& initialFolder, std::u16string& chosen);
