// The message box and the shell's folder browser.

#include <windows.h>
// This uses the types windows.h declares, so it comes after it.
#include <shlobj.h>

#include <string>

#include "ui/controls.h"

namespace {

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

// What the browser's callback works with: the folder to open at and the
// folder the tree last reported as selected.
struct BrowseState {
  std::wstring start;
  std::wstring selected;
};

bool SameFolder(const std::wstring& a, const std::wstring& b) {
  auto trimmed = [](const std::wstring& path) {
    std::size_t size = path.size();
    while (size > 3 && (path[size - 1] == L'\\' || path[size - 1] == L'/')) --size;
    return static_cast<int>(size);
  };
  return CompareStringOrdinal(a.c_str(), trimmed(a), b.c_str(), trimmed(b), TRUE) == CSTR_EQUAL;
}

// Selects the initial folder once the browser has finished initialising;
// every notification is answered 0.
//
// The browser finds the folder by walking its tree from the desktop and
// comparing each level's item with the parsed path's, times included. The
// path is parsed before the tree reads the folders on the way, and reading a
// folder can refresh its access time; the walk then stops short and nothing
// is selected, so the browser would open wherever its tree happens to be
// scrolled. The times are settled after the first walk, so the selection is
// asked for again until the tree reports the folder selected.
int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM item, LPARAM data) {
  auto* state = reinterpret_cast<BrowseState*>(data);
  if (message == BFFM_SELCHANGED) {
    wchar_t path[MAX_PATH] = {};
    const auto* selected = reinterpret_cast<PCIDLIST_ABSOLUTE>(item);
    state->selected = selected != nullptr && SHGetPathFromIDListW(selected, path) ? path : L"";
  } else if (message == BFFM_INITIALIZED && !state->start.empty()) {
    constexpr int kAttempts = 3;
    for (int attempt = 0; attempt < kAttempts && !SameFolder(state->selected, state->start); ++attempt) {
      SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(state->start.c_str()));
    }
  }
  return 0;
}

}  // namespace

int PlatformMessageBox(WindowHandle owner, const std::u16string& text, const std::u16string& caption,
                       std::uint32_t style) {
  return MessageBoxW(static_cast<HWND>(owner), Wide(text).c_str(), Wide(caption).c_str(), style);
}

bool PlatformBrowseForFolder(WindowHandle owner, const std::u16string& title,
                             const std::u16string& initialFolder, std::u16string& chosen) {
  IMalloc* allocator = nullptr;
  if (FAILED(SHGetMalloc(&allocator)) || allocator == nullptr) return false;
  // The new-style browser is an OLE control; the thread needs OLE for it.
  const HRESULT ole = OleInitialize(nullptr);
  const std::wstring wideTitle = Wide(title);
  BrowseState state{Wide(initialFolder), {}};
  wchar_t displayName[MAX_PATH] = {};
  BROWSEINFOW info{};
  info.hwndOwner = static_cast<HWND>(owner);
  info.pidlRoot = nullptr;
  info.pszDisplayName = displayName;
  info.lpszTitle = wideTitle.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(&state);
  PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
  bool picked = false;
  if (item != nullptr) {
    // An item without a file-system path gives the empty string.
    wchar_t path[MAX_PATH] = {};
    SHGetPathFromIDListW(item, path);
    allocator->Free(item);
    chosen.assign(path, path + lstrlenW(path));
    picked = true;
  }
  if (SUCCEEDED(ole)) OleUninitialize();
  allocator->Release();
  return picked;
}
