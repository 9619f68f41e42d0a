#include "support/scratch_folder.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

#include "util/unicode.h"

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  std::error_code error;
  const fs::path base = fs::temp_directory_path(error);
  for (int attempt = 0; attempt < 100; ++attempt) {
    path_ = base / ("hoshibako-test-" + std::to_string(random()) + "-" + std::to_string(counter++));
    if (fs::create_directory(path_, error)) return;
  }
  path_.clear();
}

ScratchFolder::~ScratchFolder() {
  if (path_.empty()) return;
  std::error_code error;
  // Tests may leave read-only entries behind; make the tree removable first.
  for (auto it = fs::recursive_directory_iterator(path_, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (!it->is_symlink()) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    }
  }
  fs::remove_all(path_, error);
}

fs::path ScratchFolder::Path(std::string_view relative) const { return path_ / Utf8Path(relative); }

std::u16string ScratchFolder::Text(std::string_view relative) const {
  return relative.empty() ? PathText(path_) : PathText(Path(relative));
}

bool ScratchFolder::Write(std::string_view relative, std::string_view bytes) const {
  return WriteBytes(Path(relative), bytes);
}

bool ScratchFolder::Write(std::string_view relative, const Bytes& bytes) const {
  return WriteBytes(Path(relative), bytes);
}

std::string ScratchFolder::Read(std::string_view relative) const { return ReadBytes(Path(relative)); }

bool ScratchFolder::Exists(std::string_view relative) const {
  std::error_code error;
  return fs::exists(Path(relative), error);
}

std::size_t ScratchFolder::EntryCount() const {
  std::error_code error;
  std::size_t count = 0;
  for (auto it = fs::directory_iterator(path_, error); !error && it != fs::directory_iterator();
       it.increment(error)) {
    ++count;
  }
  return count;
}

std::u16string PathText(const fs::path& path) {
#ifdef _WIN32
  fs::path preferred = path;
  preferred.make_preferred();
  return preferred.u16string();
#else
  return Utf8ToUtf16(path.string());
#endif
}

fs::path Utf8Path(std::string_view utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

bool WriteBytes(const fs::path& path, std::string_view bytes) {
  std::error_code error;
  if (path.has_parent_path()) fs::create_directories(path.parent_path(), error);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

bool WriteBytes(const fs::path& path, const Bytes& bytes) {
  return WriteBytes(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
