#include "util/whole_file.h"

#include <cstdio>

#include "util/file_system.h"

bool ReadWholeFile(const std::u16string& path, std::uint64_t maxBytes,
                   const std::function<void*(std::size_t size)>& allocate) {
  std::FILE* file = OpenFile(path, "rb");
  if (file == nullptr) return false;
  bool ok = false;
  if (std::fseek(file, 0, SEEK_END) == 0) {
    const long measured = std::ftell(file);
    if (measured >= 0 && static_cast<std::uint64_t>(measured) <= maxBytes &&
        std::fseek(file, 0, SEEK_SET) == 0) {
      const auto size = static_cast<std::size_t>(measured);
      void* memory = allocate(size);
      ok = memory != nullptr && (size == 0 || std::fread(memory, 1, size, file) == size) &&
           std::fgetc(file) == EOF && std::ferror(file) == 0;
    }
  }
  std::fclose(file);
  return ok;
}

bool ReadWholeFile(const std::u16string& path, std::uint64_t maxBytes, std::string& bytes) {
  return ReadWholeFile(path, maxBytes, [&bytes](std::size_t size) -> void* {
    bytes.resize(size);
    return bytes.data();
  });
}
