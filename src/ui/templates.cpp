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
constexpr std::uint32_t kChoice = S::AutoRadioButton | S::TabStop;

constexpr std::array kMainControls{
    ControlTemplate{kNoControlId, ControlKind::Label, u"入力フォルダ:", {6, 9, 42, 9}, S::Group},
    ControlTemplate{1004, ControlKind::EditBox, u"", {51, 8, 174, 12}, kFolderBox},
    ControlTemplate{1006, ControlKind::PushButton, u"参照", {228, 6, 30, 15}, S::TabStop},
    ControlTemplate{kNoControlId, ControlKind::Label, u"出力フォルダ:", {6, 30, 42, 9}, S::Group},
    ControlTemplate{1005, ControlKind::EditBox, u"", {51, 27, 174, 12}, kFolderBox},
    ControlTemplate{1007, ControlKind::PushButton, u"参照", {228, 26, 30, 15}, S::TabStop},
    ControlTemplate{kNoControlId, ControlKind::GroupBox, u"オプション", {9, 48, 249, 157}, 0},
    ControlTemplate{
        1000, ControlKind::CheckBox, u"サブフォルダも検索対象とする", {21, 63, 156, 12}, kOptionBox},
    ControlTemplate{1001,
                    ControlKind::CheckBox,
                    u"サウンドの圧縮（WaveからOggVorbisへの変換）",
                    {21, 79, 156, 12},
                    kOptionBox},
    // The sound format, under the sound box it belongs to.
    ControlTemplate{1013, ControlKind::RadioButton, u"Ogg Vorbis", {33, 93, 60, 12}, kChoice | S::Group},
    ControlTemplate{1014, ControlKind::RadioButton, u"FLAC（可逆）", {99, 93, 72, 12}, kChoice},
    // The Group bit ends the format choice.
    ControlTemplate{1002,
                    ControlKind::CheckBox,
                    u"イメージの圧縮（BitmapからPNGへの変換）",
                    {21, 109, 156, 12},
                    kOptionBox | S::Group},
    ControlTemplate{1008, ControlKind::CheckBox, u"BMSの修復を試みる", {21, 125, 156, 12}, kOptionBox},
    ControlTemplate{
        1009, ControlKind::CheckBox, u"BMSファイルの内容は変更しない", {21, 141, 156, 12}, kOptionBox},
    ControlTemplate{1010,
                    ControlKind::CheckBox,
                    u"譜面ファイルを変更しない（スコア・難易度表を保つ）",
                    {21, 157, 228, 12},
                    kOptionBox},
    ControlTemplate{
        1011, ControlKind::CheckBox, u"変更されたファイルだけ処理する", {21, 173, 228, 12}, kOptionBox},
    ControlTemplate{1012, ControlKind::CheckBox, u"変換後に参照を確認する", {21, 189, 228, 12}, kOptionBox},
    // Not the default button: Enter must not start a run.
    ControlTemplate{1003, ControlKind::PushButton, u"開始", {207, 211, 51, 18}, S::TabStop},
};

// No default button and no tab stop: the Enter that started the run, pressed
// once more, must not reach キャンセル. Escape and a click still cancel.
constexpr std::array kProgressControls{
    ControlTemplate{1007, ControlKind::Label, u"", {12, 8, 236, 16}, 0},
    ControlTemplate{1009, ControlKind::Label, u"", {12, 26, 236, 12}, 0},
    ControlTemplate{1008, ControlKind::ProgressBar, u"", {12, 44, 236, 12}, 0},
    ControlTemplate{2, ControlKind::PushButton, u"キャンセル", {104, 64, 50, 16}, 0},
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
    DialogTemplate{kMainDialogId, u"Hoshibako 1.10", 263, 235, kFrame, kFontName, kFontPoints, kMainControls},
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
