#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "support/bytes.h"

// A fresh folder of its own under the system's temporary folder, removed
// again with everything below it (read-only entries too) when the object
// goes. Relative names are UTF-8 and may hold "/".
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // A path below the folder.
  std::filesystem::path Path(std::string_view relative) const;
  // The folder, or a path below it, as the program's UTF-16 text.
  std::u16string Text(std::string_view relative = "") const;

  // Whole files below the folder; a write makes the folders above the file.
  bool Write(std::string_view relative, std::string_view bytes) const;
  bool Write(std::string_view relative, const Bytes& bytes) const;
  std::string Read(std::string_view relative) const;
  bool Exists(std::string_view relative) const;
  // The entries directly in the folder.
  std::size_t EntryCount() const;

 private:
  std::filesystem::path path_;
};

// A path as the program's UTF-16 text, with the platform's separators.
std::u16string PathText(const std::filesystem::path& path);
// A path from UTF-8 text: narrow strings mean the ANSI code page to the
// Windows file system library, so non-ASCII names go through this.
std::filesystem::path Utf8Path(std::string_view utf8);

// Whole-file writes (making the folders above the file) and reads. A read
// of a missing file is empty.
bool WriteBytes(const std::filesystem::path& path, std::string_view bytes);
bool WriteBytes(const std::filesystem::path& path, const Bytes& bytes);
std::string ReadBytes(const std::filesystem::path& path);
