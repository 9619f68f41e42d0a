// The message box and the shell's folder browser.

#include <windows.h>
// This uses the types windows.h declares, so it comes after it.
#include <shlobj.h>

#include "ui/controls.h"

namespace {

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

// Selects the initial folder once the browser has finished initialising;
// nothing else is done, and every notification is answered 0.
int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED) SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, data);
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
  const std::wstring start = Wide(initialFolder);
  wchar_t displayName[MAX_PATH] = {};
  BROWSEINFOW info{};
  info.hwndOwner = static_cast<HWND>(owner);
  info.pidlRoot = nullptr;
  info.pszDisplayName = displayName;
  info.lpszTitle = wideTitle.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(start.c_str());
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
