#include "ui/controls.h"

#include <utility>

namespace {

MessageBoxFunction& CurrentMessageBox() {
  static MessageBoxFunction function;
  return function;
}

FolderBrowserFunction& CurrentFolderBrowser() {
  static FolderBrowserFunction function;
  return function;
}

}  // namespace

int ShowMessageBox(WindowHandle owner, const std::u16string& text, const std::u16string& caption,
                   std::uint32_t style) {
  const MessageBoxFunction& function = CurrentMessageBox();
  if (function) return function(owner, text, caption, style);
  return PlatformMessageBox(owner, text, caption, style);
}

bool BrowseForFolder(WindowHandle owner, const std::u16string& title, const std::u16string& initialFolder,
                     std::u16string& chosen) {
  const FolderBrowserFunction& function = CurrentFolderBrowser();
  if (function) return function(owner, title, initialFolder, chosen);
  return PlatformBrowseForFolder(owner, title, initialFolder, chosen);
}

MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function) {
  return std::exchange(CurrentMessageBox(), std::move(function));
}

FolderBrowserFunction SetFolderBrowserFunction(FolderBrowserFunction function) {
  return std::exchange(CurrentFolderBrowser(), std::move(function));
}
