#include "ui/templates.h"

#include <array>

namespace {

namespace S = ControlStyle;

constexpr std::uint32_t kFrame = DialogStyle::Popup | DialogStyle::Caption | DialogStyle::SysMenu |
                                 DialogStyle::ModalFrame | DialogStyle::SetFont | DialogStyle::Center;
constexpr char16_t kFontName[] = u"MS UI Gothic";
constexpr int kFontPoints = 9;

// The folder boxes show a path chosen with the browser; the user cannot type
// into them, and Tab skips them.
constexpr std::uint32_t kFolderBox = S::EditReadOnly | S::EditAutoHScroll | S::Border;
constexpr std::uint32_t kOptionBox = S::AutoCheckBox | S::TabStop;

constexpr std::array kMainControls{
    ControlTemplate{kNoControlId, ControlKind::Label, u"入力フォルダ:", {6, 9, 42, 9}, S::Group},
    ControlTemplate{1004, ControlKind::EditBox, u"", {51, 8, 174, 12}, kFolderBox},
    ControlTemplate{1006, ControlKind::PushButton, u"参照", {228, 6, 30, 15}, S::TabStop},
    ControlTemplate{kNoControlId, ControlKind::Label, u"出力フォルダ:", {6, 30, 42, 9}, S::Group},
    ControlTemplate{1005, ControlKind::EditBox, u"", {51, 27, 174, 12}, kFolderBox},
    ControlTemplate{1007, ControlKind::PushButton, u"参照", {228, 26, 30, 15}, S::TabStop},
    ControlTemplate{kNoControlId, ControlKind::GroupBox, u"オプション", {9, 48, 249, 108}, 0},
    ControlTemplate{
        1000, ControlKind::CheckBox, u"サブフォルダも検索対象とする", {21, 63, 156, 12}, kOptionBox},
    ControlTemplate{1001,
                    ControlKind::CheckBox,
                    u"サウンドの圧縮（WaveからOggVorbisへの変換）",
                    {21, 81, 156, 12},
                    kOptionBox},
    ControlTemplate{1002,
                    ControlKind::CheckBox,
                    u"イメージの圧縮（BitmapからPNGへの変換）",
                    {21, 99, 156, 12},
                    kOptionBox},
    ControlTemplate{1008, ControlKind::CheckBox, u"BMSの修復を試みる", {21, 117, 156, 12}, kOptionBox},
    ControlTemplate{
        1009, ControlKind::CheckBox, u"BMSファイルの内容は変更しない", {21, 135, 156, 12}, kOptionBox},
    // Not the default button: Enter must not start a run.
    ControlTemplate{1003, ControlKind::PushButton, u"開始", {207, 162, 51, 18}, S::TabStop},
};

constexpr std::array kProgressControls{
    ControlTemplate{1007, ControlKind::Label, u"", {12, 8, 236, 16}, 0},
    ControlTemplate{1009, ControlKind::Label, u"", {12, 26, 236, 12}, 0},
    ControlTemplate{1008, ControlKind::ProgressBar, u"", {12, 44, 236, 12}, 0},
    ControlTemplate{2, ControlKind::PushButton, u"キャンセル", {104, 64, 50, 16}, S::TabStop},
};

constexpr std::array kResultControls{
    // Lines stay in run order (no sorting header) and several may be selected.
    ControlTemplate{1005,
                    ControlKind::ListView,
                    u"",
                    {6, 6, 486, 228},
                    S::ListReport | S::ListNoSortHeader | S::TabStop,
                    ControlExStyle::ClientEdge},
    // Two lines for the byte totals of the run, left of the button.
    ControlTemplate{1006, ControlKind::Label, u"", {6, 240, 432, 20}, 0},
    ControlTemplate{2, ControlKind::PushButton, u"閉じる", {444, 240, 48, 18}, S::DefaultButton | S::TabStop},
};

constexpr std::array kErrorListControls{
    ControlTemplate{1007,
                    ControlKind::EditBox,
                    u"",
                    {1, 1, 318, 178},
                    S::EditMultiLine | S::EditReadOnly | S::Border | S::VScroll | S::HScroll | S::TabStop},
};

constexpr std::array kTemplates{
    DialogTemplate{kMainDialogId, u"Hoshibako 1.10", 263, 186, kFrame, kFontName, kFontPoints, kMainControls},
    DialogTemplate{kProgressDialogId, u"変換中.....", 259, 88, kFrame, kFontName, kFontPoints,
                   kProgressControls},
    DialogTemplate{kResultDialogId, u"処理結果", 498, 263, kFrame, kFontName, kFontPoints, kResultControls,
                   true},
    // Wide enough for a name with the reason it failed.
    DialogTemplate{kErrorListDialogId, u"エラーファイル一覧", 320, 180, kFrame, kFontName, kFontPoints,
                   kErrorListControls, true},
};

}  // namespace

const DialogTemplate* FindDialogTemplate(int resourceId) {
  for (const DialogTemplate& dialog : kTemplates) {
    if (dialog.resourceId == resourceId) return &dialog;
  }
  return nullptr;
}
