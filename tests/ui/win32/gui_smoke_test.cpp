#include <gtest/gtest.h>
#include <windows.h>
// This uses the types windows.h declares, so it comes after it.
#include <commctrl.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "image/bmp_to_png_converter.h"
#include "list_view_queries.h"
#include "support/bmp_writer.h"
#include "support/held_threads.h"
#include "support/scratch_folder.h"
#include "support/wav_writer.h"
#include "ui/controls.h"
#include "ui/main_dialog.h"
#include "ui/program.h"
#include "ui/progress_dialog.h"
#include "ui/result_dialog.h"
#include "ui/templates.h"
#include "util/file_system.h"
#include "util/path.h"
#include "util/unicode.h"

// The whole program on a real Win32 desktop (Wine under Xvfb in CI): the
// main dialog opens, a run over a generated tree goes through the progress
// dialog, the result dialog shows the rows and the error list its file.
// Every dialog is saved as a PNG screenshot for a person to look at.

namespace {

std::wstring W(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }
HWND Hwnd(WindowHandle handle) { return static_cast<HWND>(handle); }

bool WriteFileBytes(const std::u16string& path, std::string_view bytes) {
  HANDLE file =
      CreateFileW(W(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
  CloseHandle(file);
  return ok;
}

bool WriteFileBytes(const std::u16string& path, const Bytes& bytes) {
  return WriteFileBytes(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// An 8-bit mono RIFF WAVE of a ramp, 22050 frames a second.
Bytes WaveBytes(std::uint32_t frames) {
  Bytes samples;
  for (std::uint32_t i = 0; i < frames; ++i)
    samples.push_back(static_cast<std::uint8_t>(128 + (i % 64) - 32));
  return WaveFile(Pcm(8, 1, 22050), samples);
}

// Hands every dialog shown to a function of the test.
class DialogShownFunction : public DialogObserver {
 public:
  explicit DialogShownFunction(std::function<void(DialogBase&)> function) : function_(std::move(function)) {}
  void DialogShown(DialogBase& dialog) override { function_(dialog); }

 private:
  std::function<void(DialogBase&)> function_;
};

// Lets the windows paint and the display catch up: only paint messages are
// taken from the queue, so the test's own posted commands stay where they
// are, and every look at the queue lets the display driver flush.
void LetThePaintingFinish() {
  RedrawWindow(nullptr, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 400) {
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageW(&message);
    GdiFlush();
    Sleep(20);
  }
}

// Saves what the screen shows of a window as a PNG under the build folder.
bool SaveScreenshot(HWND window, const std::u16string& folder, const std::u16string& name) {
  LetThePaintingFinish();
  RECT rect;
  if (!GetWindowRect(window, &rect)) return false;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file stores it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  bool ok = bitmap != nullptr;
  if (ok) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) != 0;
    GdiFlush();
    SelectObject(memory, old);
  }
  if (ok) {
    BitmapLayout layout;
    layout.width = width;
    layout.height = height;
    const auto* first = static_cast<const std::uint8_t*>(pixels);
    layout.data.assign(first, first + StrideOf(width, 24) * static_cast<std::size_t>(height));
    const std::u16string bmp = CombinePath(folder, name + u".bmp");
    ok = WriteFileBytes(bmp, BuildBitmap(layout)) &&
         BmpToPngConverter().Convert(bmp, CombinePath(folder, name + u".png"));
    DeleteFileW(W(bmp).c_str());
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

// The screenshot folder as a Windows path (the build tree is on drive Z:).
std::u16string ScreenshotFolder() {
  std::u16string folder = U16(HOSHIBAKO_UI_SCREENSHOTS);
  if (!folder.empty() && folder[0] == u'/') folder = u"Z:" + folder;
  for (char16_t& c : folder) {
    if (c == u'/') c = u'\\';
  }
  return folder;
}

// True when the dialog's font draws every character of the text with a
// glyph of its own: the Japanese texts are legible, not boxes.
bool FontHasGlyphs(HWND dialog, const std::u16string& text) {
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
  HDC dc = GetDC(dialog);
  HGDIOBJ old = SelectObject(dc, font);
  std::vector<WORD> glyphs(text.size());
  const std::wstring wide = W(text);
  const DWORD converted = GetGlyphIndicesW(dc, wide.c_str(), static_cast<int>(wide.size()), glyphs.data(),
                                           GGI_MARK_NONEXISTING_GLYPHS);
  SelectObject(dc, old);
  ReleaseDC(dialog, dc);
  if (converted == GDI_ERROR) return false;
  for (WORD glyph : glyphs) {
    if (glyph == 0xFFFF || glyph == 0) return false;
  }
  return true;
}

struct RecordedBox {
  std::u16string text;
  std::u16string caption;
  std::uint32_t style;
};

class GuiSmokeTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.path().empty());
    root_ = scratch_.Text();
    input_ = CombinePath(root_, u"in");
    output_ = CombinePath(root_, u"out");
    ASSERT_TRUE(CreateDirectoryPath(CombinePath(input_, U16("曲"))));
    ASSERT_TRUE(CreateDirectoryPath(output_));
    ASSERT_TRUE(WriteFileBytes(CombinePath(input_, u"song.bms"),
                               "#TITLE \x83\x65\x83\x58\x83\x67\r\n#WAV01 kick.wav\r\n#BMP01 bg.bmp\r\n"));
    ASSERT_TRUE(WriteFileBytes(CombinePath(input_, u"kick.wav"), WaveBytes(4000)));
    // A minute of sound keeps the worker busy for a while, so the progress
    // dialog is on screen long enough to be looked at.
    ASSERT_TRUE(WriteFileBytes(CombinePath(input_, u"long.wav"), WaveBytes(60 * 22050)));
    const Bytes bitmap = Bitmap24(8, 4, [](std::int32_t x, std::int32_t row) {
      const auto i = static_cast<std::uint32_t>(row * 8 + x);
      return std::uint32_t{0x80} << 16 | (255 - i * 8) << 8 | i * 8;
    });
    ASSERT_TRUE(WriteFileBytes(CombinePath(input_, u"bg.bmp"), bitmap));
    ASSERT_TRUE(WriteFileBytes(CombinePath(input_, u"readme.txt"), "read me\r\n"));
    ASSERT_TRUE(WriteFileBytes(CombinePath(CombinePath(input_, U16("曲")), u"bad.wav"), "not a wave"));
    screenshots_ = ScreenshotFolder();
    ASSERT_TRUE(CreateDirectoryPath(screenshots_));

    GetCurrentDirectoryW(MAX_PATH, savedDirectory_);
    // The run log goes to the current folder.
    ASSERT_TRUE(SetCurrentDirectoryW(W(root_).c_str()));
  }

  void TearDown() override {
    SetCurrentDirectoryW(savedDirectory_);
    SetDialogObserver(nullptr);
    SetMessageBoxFunction(nullptr);
    SetFolderBrowserFunction(nullptr);
  }

  void Shoot(DialogBase& dialog, const char16_t* name) {
    EXPECT_TRUE(SaveScreenshot(Hwnd(dialog.window), screenshots_, name)) << Utf16ToUtf8(name);
  }

  ScratchFolder scratch_;
  std::u16string root_, input_, output_, screenshots_;
  wchar_t savedDirectory_[MAX_PATH] = {};
};

TEST_F(GuiSmokeTest, MainDialogRunsAJobThroughProgressToResults) {
  std::vector<RecordedBox> boxes;
  SetMessageBoxFunction(
      [&](WindowHandle, const std::u16string& text, const std::u16string& caption, std::uint32_t style) {
        boxes.push_back({text, caption, style});
        return kAnswerOk;
      });
  std::vector<std::u16string> browserStarts;
  SetFolderBrowserFunction([&](WindowHandle owner, const std::u16string& title, const std::u16string& initial,
                               std::u16string& chosen) {
    EXPECT_NE(owner, nullptr);
    browserStarts.push_back(initial);
    chosen = title == U16("入力フォルダ") ? input_ : output_;
    return true;
  });

  std::vector<int> shown;
  bool mainStillOpenAfterEnter = false;
  bool fontHasJapaneseGlyphs = false;
  bool mainHasIcon = false;
  bool focusOnInputBrowse = false;
  std::u16string inputText, outputText;
  std::vector<std::vector<std::u16string>> rows;
  std::vector<std::u16string> errorListTexts;
  bool progressHadRange = false;

  DialogShownFunction observer([&](DialogBase& dialog) {
    shown.push_back(dialog.resourceId);
    HWND window = Hwnd(dialog.window);
    switch (dialog.resourceId) {
      case kMainDialogId: {
        // The star box on the title bar, at the small and the large size.
        mainHasIcon = SendMessageW(window, WM_GETICON, ICON_SMALL, 0) != 0 &&
                      SendMessageW(window, WM_GETICON, ICON_BIG, 0) != 0;
        fontHasJapaneseGlyphs =
            FontHasGlyphs(window, U16("入力フォルダ参照サブフォルダも検索対象とする開始"));
        // Enter is the OK command, which never closes the main dialog.
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        mainStillOpenAfterEnter = IsWindow(window) && IsWindowVisible(window);
        // Start without folders: a warning, and the focus on the input browse button.
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(MainDialogIds::Start, BN_CLICKED), 0);
        focusOnInputBrowse = HasFocus(dialog.Item(MainDialogIds::BrowseInput));
        for (int id : {MainDialogIds::IncludeSubfolders, MainDialogIds::CompressSound,
                       MainDialogIds::CompressImages}) {
          SendMessageW(Hwnd(dialog.Item(id)), BM_CLICK, 0, 0);
        }
        SendMessageW(Hwnd(dialog.Item(MainDialogIds::BrowseInput)), BM_CLICK, 0, 0);
        SendMessageW(Hwnd(dialog.Item(MainDialogIds::BrowseOutput)), BM_CLICK, 0, 0);
        inputText = ControlText(dialog.Item(MainDialogIds::InputFolder));
        outputText = ControlText(dialog.Item(MainDialogIds::OutputFolder));
        Shoot(dialog, u"main");
        // The run: progress and result dialogs open inside this call.
        SendMessageW(Hwnd(dialog.Item(MainDialogIds::Start)), BM_CLICK, 0, 0);
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        break;
      }
      case kProgressDialogId:
        Shoot(dialog, u"progress");
        progressHadRange = ProgressHigh(dialog.Item(1008)) >= 1;
        break;
      case kResultDialogId: {
        ListView list(dialog.Item(ResultDialogIds::Table));
        for (int item = 0; item < ListItemCount(list); ++item) {
          std::vector<std::u16string> cells;
          for (int cell = 0; cell < ListColumnCount(list); ++cell)
            cells.push_back(ListItemText(list, item, cell));
          rows.push_back(cells);
        }
        Shoot(dialog, u"result");
        // A double-click on the folder with the failed file lists it.
        SelectListItem(list, 1, true);
        NMHDR header{};
        header.hwndFrom = Hwnd(list.window);
        header.idFrom = ResultDialogIds::Table;
        header.code = NM_DBLCLK;
        SendMessageW(window, WM_NOTIFY, ResultDialogIds::Table, reinterpret_cast<LPARAM>(&header));
        // Enter in the table with the line still selected lists it again
        // instead of pressing "閉じる".
        FocusControl(list.window);
        PostMessageW(Hwnd(list.window), WM_KEYDOWN, VK_RETURN, 0);
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        break;
      }
      case kErrorListDialogId:
        errorListTexts.push_back(ControlText(dialog.Item(ResultDialogIds::ErrorText)));
        Shoot(dialog, u"errors");
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        break;
      default:
        break;
    }
  });
  SetDialogObserver(&observer);

  int argc = 0;
  char* argv[] = {nullptr};
  ASSERT_TRUE(OpenUserInterface(argc, argv)) << "the rich-edit library is missing";
  {
    MainDialog dialog;
    EXPECT_EQ(dialog.RunModal(nullptr), IDCANCEL);
    EXPECT_EQ(dialog.window, nullptr);
  }
  CloseUserInterface();

  EXPECT_EQ(shown, (std::vector<int>{kMainDialogId, kProgressDialogId, kResultDialogId, kErrorListDialogId,
                                     kErrorListDialogId}));
  EXPECT_TRUE(fontHasJapaneseGlyphs) << "the dialog font has no Japanese glyphs";
  EXPECT_TRUE(mainHasIcon) << "the main dialog shows no icon on its title bar";
  EXPECT_TRUE(mainStillOpenAfterEnter);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, U16("入力フォルダを選択してください。"));
  EXPECT_EQ(boxes[0].caption, u"Hoshibako");
  EXPECT_EQ(boxes[0].style, static_cast<std::uint32_t>(MB_ICONWARNING));
  EXPECT_TRUE(focusOnInputBrowse);
  EXPECT_EQ(inputText, input_);
  EXPECT_EQ(outputText, output_);
  ASSERT_EQ(browserStarts.size(), 2u);
  EXPECT_FALSE(browserStarts[0].empty());
  EXPECT_TRUE(progressHadRange);

  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (std::vector<std::u16string>{input_, u"OK", u"1", u"2", u"1", u"1", u"0"}));
  EXPECT_EQ(rows[1], (std::vector<std::u16string>{CombinePath(input_, U16("曲")), U16("エラーあり"), u"0",
                                                  u"0", u"0", u"0", u"1"}));
  // The failed file with its reason, and the copy kept under its name.
  const std::u16string errorList =
      U16("bad.wav — WAVファイルではありません\r\n\r\n変換せずにコピーしたファイル:\r\n  bad.wav\r\n");
  EXPECT_EQ(errorListTexts, (std::vector<std::u16string>{errorList, errorList}));

  for (const char16_t* name : {u"song.bms", u"kick.ogg", u"long.ogg", u"bg.png", u"readme.txt"}) {
    EXPECT_GT(FileSize(CombinePath(output_, name)), 0) << Utf16ToUtf8(name);
  }
  EXPECT_GT(FileSize(CombinePath(root_, u"hoshibako.log")), 0);
}

// The visible top-level dialog window of a thread, other than `except`.
HWND FindDialogOfThread(DWORD thread, HWND except) {
  struct Search {
    HWND except;
    HWND found;
  } search{except, nullptr};
  EnumThreadWindows(
      thread,
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (window != s->except && IsWindowVisible(window) && lstrcmpW(name, L"#32770") == 0) {
          s->found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Waits on its own thread until the folder browser of the UI thread is up
// with an item of its tree selected, saves its picture and presses OK, which
// chooses the selected folder. The waits end on the state; the limit only
// stops a broken run from hanging.
struct BrowserCloser {
  DWORD uiThread = 0;
  std::u16string screenshots;
  bool sawBrowser = false;
  bool saved = false;

  static bool WaitFor(const std::function<bool()>& state) {
    for (int check = 0; check < 1200; ++check) {
      if (state()) return true;
      Sleep(50);
    }
    return false;
  }

  static DWORD WINAPI Run(LPVOID data) {
    auto* self = static_cast<BrowserCloser*>(data);
    HWND browser = nullptr;
    self->sawBrowser =
        WaitFor([&] { return (browser = FindDialogOfThread(self->uiThread, nullptr)) != nullptr; });
    if (!self->sawBrowser) return 1;
    HWND tree = FindWindowExW(browser, nullptr, L"SysTreeView32", nullptr);
    WaitFor([&] { return TreeView_GetSelection(tree) != nullptr; });
    self->saved = SaveScreenshot(browser, self->screenshots, u"browser");
    PostMessageW(browser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return 0;
  }
};

TEST_F(GuiSmokeTest, ShellFolderBrowserOpensAtTheInitialFolderAndReturnsIt) {
  int argc = 0;
  char* argv[] = {nullptr};
  ASSERT_TRUE(OpenUserInterface(argc, argv));
  BrowserCloser closer;
  closer.uiThread = GetCurrentThreadId();
  closer.screenshots = screenshots_;
  HANDLE thread = CreateThread(nullptr, 0, BrowserCloser::Run, &closer, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  std::u16string chosen;
  const bool picked = PlatformBrowseForFolder(nullptr, U16("入力フォルダ"), input_, chosen);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  CloseUserInterface();
  ASSERT_TRUE(closer.sawBrowser) << "no folder browser appeared";
  EXPECT_TRUE(closer.saved);
  EXPECT_TRUE(picked);
  EXPECT_EQ(chosen, input_);
}

// A key pressed in a dialog as its modal loop hands it on: to the control
// with the focus, else to the dialog, through the dialog manager.
void PressDialogKey(HWND dialog, WPARAM key) {
  HWND focus = GetFocus();
  MSG message{focus != nullptr && IsChild(dialog, focus) ? focus : dialog, WM_KEYDOWN, key, 1, 0, {}};
  if (!IsDialogMessageW(dialog, &message)) DispatchMessageW(&message);
}

// A thread timer, which the question box's own modal loop serves: presses
// Escape in the box (found by its caption) once it is up.
bool escapePressed = false;
void CALLBACK PressEscapeInTheQuestion(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND box = FindWindowW(L"#32770", L"Hoshibako");
  if (box == nullptr || !IsWindowVisible(box)) return;
  KillTimer(nullptr, timer);
  escapePressed = true;
  PressDialogKey(box, VK_ESCAPE);
}

// Escape at the keep-contents question starts nothing; Enter on 開始 starts
// the run, and Enter once more, before the worker has done anything, does
// not cancel it.
TEST_F(GuiSmokeTest, KeysNeverStartOrStopARunByAccident) {
  SetFolderBrowserFunction(
      [&](WindowHandle, const std::u16string& title, const std::u16string&, std::u16string& chosen) {
        chosen = title == U16("入力フォルダ") ? input_ : output_;
        return true;
      });
  HeldThreads held;
  std::vector<int> shown;
  bool cancelledByEnter = true;
  std::u16string status;
  DialogShownFunction observer([&](DialogBase& dialog) {
    shown.push_back(dialog.resourceId);
    HWND window = Hwnd(dialog.window);
    const auto click = [&](int id) { SendMessageW(Hwnd(dialog.Item(id)), BM_CLICK, 0, 0); };
    if (dialog.resourceId == kMainDialogId) {
      for (int id :
           {MainDialogIds::BrowseInput, MainDialogIds::BrowseOutput, MainDialogIds::KeepBmsUnchanged}) {
        click(id);
      }
      SetTimer(nullptr, 0, 20, PressEscapeInTheQuestion);
      click(MainDialogIds::Start);
      click(MainDialogIds::KeepBmsUnchanged);
      SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(dialog.Item(MainDialogIds::Start)), TRUE);
      PressDialogKey(window, VK_RETURN);  // the whole run happens inside
      PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    } else if (dialog.resourceId == kProgressDialogId) {
      PressDialogKey(window, VK_RETURN);
      cancelledByEnter = static_cast<ProgressDialog&>(dialog).job.cancelRequested;
      held.Release();
    } else {
      status = ListItemText(ListView(dialog.Item(ResultDialogIds::Table)), 0, 1);
      PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
  });
  SetDialogObserver(&observer);

  int argc = 0;
  char* argv[] = {nullptr};
  ASSERT_TRUE(OpenUserInterface(argc, argv));
  {
    MainDialog dialog;
    dialog.RunModal(nullptr);
  }
  CloseUserInterface();

  EXPECT_TRUE(escapePressed) << "no question box appeared";
  // One run only: the one Enter started.
  EXPECT_EQ(shown, (std::vector<int>{kMainDialogId, kProgressDialogId, kResultDialogId}));
  EXPECT_FALSE(cancelledByEnter);
  EXPECT_EQ(status, u"OK");
}

}  // namespace
