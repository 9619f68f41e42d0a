#pragma once

#include <cstdint>
#include <span>

// The dialog layouts as data: one table per dialog, controls in tab order,
// rectangles in dialog units. A backend without dialog resources renders
// them with one builder; the Win32 resource script carries the same values.

// Window style bits (the Win32 values).
namespace DialogStyle {
inline constexpr std::uint32_t Popup = 0x80000000;
inline constexpr std::uint32_t Caption = 0x00C00000;
inline constexpr std::uint32_t SysMenu = 0x00080000;
inline constexpr std::uint32_t ModalFrame = 0x00000080;
inline constexpr std::uint32_t SetFont = 0x00000040;
inline constexpr std::uint32_t Center = 0x00000800;
}  // namespace DialogStyle

namespace ControlStyle {
inline constexpr std::uint32_t TabStop = 0x00010000;
inline constexpr std::uint32_t Group = 0x00020000;
inline constexpr std::uint32_t Border = 0x00800000;
inline constexpr std::uint32_t VScroll = 0x00200000;
inline constexpr std::uint32_t HScroll = 0x00100000;
// Edit boxes.
inline constexpr std::uint32_t EditMultiLine = 0x0004;
inline constexpr std::uint32_t EditAutoHScroll = 0x0080;
inline constexpr std::uint32_t EditReadOnly = 0x0800;
// Buttons.
inline constexpr std::uint32_t DefaultButton = 0x0001;
inline constexpr std::uint32_t AutoCheckBox = 0x0003;
// One of a group of choices: the group runs from a control with the Group
// bit to the next control that has it.
inline constexpr std::uint32_t AutoRadioButton = 0x0009;
// List views.
inline constexpr std::uint32_t ListReport = 0x0001;
inline constexpr std::uint32_t ListSingleSelection = 0x0004;
inline constexpr std::uint32_t ListShowSelectionAlways = 0x0008;
inline constexpr std::uint32_t ListNoSortHeader = 0x8000;
}  // namespace ControlStyle

// Extended style bits.
namespace ControlExStyle {
inline constexpr std::uint32_t ClientEdge = 0x00000200;
}  // namespace ControlExStyle

enum class ControlKind {
  Label,  // static text, left-aligned
  EditBox,
  PushButton,
  CheckBox,
  RadioButton,
  GroupBox,
  ProgressBar,
  ListView,  // report view
};

// Controls without an id of their own (labels, group boxes).
inline constexpr int kNoControlId = -1;

struct DialogUnitRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

struct ControlTemplate {
  int id = kNoControlId;
  ControlKind kind = ControlKind::Label;
  const char16_t* text = u"";
  DialogUnitRect rect;
  std::uint32_t style = 0;
  std::uint32_t exStyle = 0;
};

struct DialogTemplate {
  int resourceId = 0;
  const char16_t* caption = u"";
  int width = 0;   // dialog units
  int height = 0;  // dialog units
  std::uint32_t style = 0;
  const char16_t* fontName = u"";
  int fontPointSize = 0;
  std::span<const ControlTemplate> controls;  // in tab order
  // The Qt rendering lets the user resize the dialog (and shrinks it to fit
  // a small screen): its list or text box takes the change, the controls
  // below it keep to the bottom edge.
  bool resizable = false;
};

inline constexpr int kMainDialogId = 129;
inline constexpr int kProgressDialogId = 130;
inline constexpr int kResultDialogId = 131;
inline constexpr int kErrorListDialogId = 140;

// The template of a dialog, or null for an unknown id.
const DialogTemplate* FindDialogTemplate(int resourceId);
