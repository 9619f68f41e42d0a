#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "ui/templates.h"
#include "util/unicode.h"

// The compiled resource script must carry the dialog tables exactly: every
// dialog's frame, size, caption and font, and every control's id, class,
// text, rectangle and style in tab order. The tables drive the tests of the
// dialog classes, the resources drive the program on Windows.

namespace {

// A reader over one DLGTEMPLATEEX resource.
class TemplateReader {
 public:
  TemplateReader(const void* data, std::size_t size)
      : base_(static_cast<const unsigned char*>(data)), size_(size) {}

  bool ok() const { return ok_; }
  std::uint16_t Word() { return static_cast<std::uint16_t>(Read(2)); }
  std::uint32_t Dword() { return static_cast<std::uint32_t>(Read(4)); }
  std::int16_t Short() { return static_cast<std::int16_t>(Word()); }
  std::uint8_t Byte() { return static_cast<std::uint8_t>(Read(1)); }

  // A string or an ordinal (0xFFFF followed by a number, given as "#n").
  std::u16string StringOrOrdinal() {
    if (Peek() == 0xFFFF) {
      Word();
      return u"#" + U16(std::to_string(Word()));
    }
    return String();
  }
  std::u16string String() {
    std::u16string text;
    while (ok_) {
      const char16_t c = Word();
      if (c == 0) break;
      text += c;
    }
    return text;
  }
  void AlignToDword() { position_ = (position_ + 3) & ~std::size_t{3}; }
  void Skip(std::size_t bytes) { position_ += bytes; }

 private:
  std::uint16_t Peek() {
    if (position_ + 2 > size_) return 0;
    return static_cast<std::uint16_t>(base_[position_] | base_[position_ + 1] << 8);
  }
  std::uint64_t Read(std::size_t bytes) {
    if (position_ + bytes > size_) {
      ok_ = false;
      return 0;
    }
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < bytes; ++i) value |= std::uint64_t{base_[position_ + i]} << (8 * i);
    position_ += bytes;
    return value;
  }
  const unsigned char* base_;
  std::size_t size_;
  std::size_t position_ = 0;
  bool ok_ = true;
};

struct ExpectedClass {
  std::u16string name;
  std::uint32_t baseStyle;
};

// The window class a control kind is made of and the style bits its class
// adds on top of the table's.
ExpectedClass ClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::Label:
      return {u"STATIC", SS_LEFT};
    case ControlKind::EditBox:
      return {u"EDIT", ES_LEFT};
    case ControlKind::PushButton:
      return {u"BUTTON", BS_PUSHBUTTON};
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
      return {u"BUTTON", 0};
    case ControlKind::GroupBox:
      return {u"BUTTON", BS_GROUPBOX};
    case ControlKind::ProgressBar:
      return {u"MSCTLS_PROGRESS32", 0};
    case ControlKind::ListView:
      return {u"SYSLISTVIEW32", 0};
  }
  return {};
}

std::u16string Upper(std::u16string text) {
  for (char16_t& c : text) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
  }
  return text;
}

class DialogResourceTest : public testing::TestWithParam<int> {};

TEST_P(DialogResourceTest, ResourceMatchesTheTable) {
  const DialogTemplate* table = FindDialogTemplate(GetParam());
  ASSERT_NE(table, nullptr);
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(GetParam()), reinterpret_cast<LPCWSTR>(RT_DIALOG));
  ASSERT_NE(found, nullptr) << "no dialog resource " << GetParam();
  HGLOBAL loaded = LoadResource(nullptr, found);
  ASSERT_NE(loaded, nullptr);
  TemplateReader in(LockResource(loaded), SizeofResource(nullptr, found));

  ASSERT_EQ(in.Word(), 1) << "DIALOGEX version";
  ASSERT_EQ(in.Word(), 0xFFFF) << "DIALOGEX signature";
  in.Dword();  // help id
  EXPECT_EQ(in.Dword(), 0u) << "extended dialog style";
  EXPECT_EQ(in.Dword(), table->style);
  const int controlCount = in.Word();
  EXPECT_EQ(in.Short(), 0);
  EXPECT_EQ(in.Short(), 0);
  EXPECT_EQ(in.Short(), table->width);
  EXPECT_EQ(in.Short(), table->height);
  EXPECT_EQ(in.StringOrOrdinal(), u"") << "menu";
  EXPECT_EQ(in.StringOrOrdinal(), u"") << "window class";
  EXPECT_EQ(in.String(), std::u16string(table->caption));
  EXPECT_EQ(in.Word(), table->fontPointSize);
  EXPECT_EQ(in.Word(), 400) << "font weight";
  EXPECT_EQ(in.Byte(), 0) << "italic";
  EXPECT_EQ(in.Byte(), SHIFTJIS_CHARSET);
  EXPECT_EQ(in.String(), std::u16string(table->fontName));

  ASSERT_EQ(controlCount, static_cast<int>(table->controls.size()));
  for (const ControlTemplate& control : table->controls) {
    SCOPED_TRACE(testing::Message() << "control " << control.id << " " << Utf16ToUtf8(control.text));
    in.AlignToDword();
    in.Dword();  // help id
    EXPECT_EQ(in.Dword(), control.exStyle);
    const std::uint32_t style = in.Dword();
    const ExpectedClass expected = ClassOf(control.kind);
    EXPECT_EQ(style, WS_CHILD | WS_VISIBLE | expected.baseStyle | control.style);
    EXPECT_EQ(in.Short(), control.rect.x);
    EXPECT_EQ(in.Short(), control.rect.y);
    EXPECT_EQ(in.Short(), control.rect.width);
    EXPECT_EQ(in.Short(), control.rect.height);
    EXPECT_EQ(static_cast<std::int32_t>(in.Dword()), control.id);
    EXPECT_EQ(Upper(in.StringOrOrdinal()), expected.name);
    EXPECT_EQ(in.StringOrOrdinal(), std::u16string(control.text));
    in.Skip(in.Word());  // creation data
  }
  EXPECT_TRUE(in.ok()) << "resource ended early";
}

INSTANTIATE_TEST_SUITE_P(Dialogs, DialogResourceTest,
                         testing::Values(kMainDialogId, kProgressDialogId, kResultDialogId,
                                         kErrorListDialogId),
                         [](const auto& info) { return std::to_string(info.param); });

TEST(ManifestResourceTest, AsksForCommonControlsSix) {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(1), reinterpret_cast<LPCWSTR>(RT_MANIFEST));
  ASSERT_NE(found, nullptr);
  HGLOBAL loaded = LoadResource(nullptr, found);
  const std::string manifest(static_cast<const char*>(LockResource(loaded)), SizeofResource(nullptr, found));
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
}

// The loader finds the DPI settings in the manifest (a wrong namespace
// leaves the process unaware, and Windows stretches the dialogs as bitmaps).
std::wstring Setting(const wchar_t* year, const wchar_t* name) {
  wchar_t value[64] = {};
  const std::wstring space = std::wstring(L"http://schemas.microsoft.com/SMI/") + year + L"/WindowsSettings";
  return QueryActCtxSettingsW(0, nullptr, space.c_str(), name, value, 64, nullptr) ? value : L"<none>";
}

TEST(ManifestResourceTest, DeclaresPerMonitorDpiAwareness) {
  EXPECT_EQ(Setting(L"2016", L"dpiAwareness"), L"PerMonitorV2, PerMonitor");
  EXPECT_EQ(Setting(L"2005", L"dpiAware"), L"true/pm");
}

// Both programs' version information, read back from their files.
TEST(VersionInfoTest, NamesProductVersionAndDescriptionInJapaneseAndEnglish) {
  for (const auto& [file, japanese, english] :
       {std::tuple{HOSHIBAKO_GUI_PATH, "Hoshibako（BMS曲フォルダの圧縮）",
                   "Hoshibako (shrinks BMS song folders)"},
        std::tuple{HOSHIBAKO_CLI_PATH, "Hoshibako コマンドライン版（BMS曲フォルダの圧縮）",
                   "Hoshibako command line (shrinks BMS song folders)"}}) {
    SCOPED_TRACE(file);
    const std::u16string path = u"Z:" + U16(file);
    std::vector<char> block(GetFileVersionInfoSizeW(reinterpret_cast<const wchar_t*>(path.c_str()), nullptr));
    ASSERT_TRUE(!block.empty() && GetFileVersionInfoW(reinterpret_cast<const wchar_t*>(path.c_str()), 0,
                                                      block.size(), block.data()));
    const auto value = [&](const std::wstring& name) -> std::u16string {
      void* found = nullptr;
      UINT size = 0;
      return VerQueryValueW(block.data(), name.c_str(), &found, &size) && size > 0
                 ? static_cast<char16_t*>(found)
                 : u"";
    };
    void* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", &fixed, &size));
    EXPECT_EQ(static_cast<VS_FIXEDFILEINFO*>(fixed)->dwFileVersionMS,
              DWORD{HOSHIBAKO_VERSION_MAJOR} << 16 | HOSHIBAKO_VERSION_MINOR);
    for (const auto& [strings, description] : {std::pair{L"\\StringFileInfo\\041104B0\\", japanese},
                                               std::pair{L"\\StringFileInfo\\040904B0\\", english}}) {
      EXPECT_EQ(value(strings + std::wstring(L"FileDescription")), U16(description));
      EXPECT_EQ(value(strings + std::wstring(L"ProductName")) + u" " +
                    value(strings + std::wstring(L"ProductVersion")),
                U16("Hoshibako " HOSHIBAKO_VERSION_TEXT));
    }
  }
}

// The star box is the program's first icon group, so Explorer shows it for
// the .exe, and it has an image for each size Windows asks for.
TEST(IconResourceTest, StarBoxIsTheFirstIconAtEverySize) {
  LPWSTR first = nullptr;
  EnumResourceNamesW(
      nullptr, reinterpret_cast<LPCWSTR>(RT_GROUP_ICON),
      [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) -> BOOL {
        *reinterpret_cast<LPWSTR*>(found) = name;
        return FALSE;
      },
      reinterpret_cast<LONG_PTR>(&first));
  ASSERT_TRUE(IS_INTRESOURCE(first));
  EXPECT_EQ(reinterpret_cast<ULONG_PTR>(first), 1u);
  for (int size : {16, 24, 32, 48, 256}) {
    SCOPED_TRACE(size);
    auto* icon = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP bitmap{};
    GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, size);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
  }
}

}  // namespace
