#include "util/whole_file.h"

#include <cstdio>

#include "util/file_system.h"

namespace {

WholeFileRead ReadOpenFile(std::FILE* file, std::uint64_t maxBytes,
                           const std::function<void*(std::size_t size)>& allocate) {
  if (std::fseek(file, 0, SEEK_END) != 0) return WholeFileRead::CannotRead;
  const long measured = std::ftell(file);
  if (measured < 0) return WholeFileRead::CannotRead;
  if (static_cast<std::uint64_t>(measured) > maxBytes) return WholeFileRead::TooLarge;
  if (std::fseek(file, 0, SEEK_SET) != 0) return WholeFileRead::CannotRead;
  const auto size = static_cast<std::size_t>(measured);
  void* memory = allocate(size);
  if (memory == nullptr) return WholeFileRead::TooLarge;
  if (size > 0 && std::fread(memory, 1, size, file) != size) return WholeFileRead::CannotRead;
  return std::fgetc(file) == EOF && std::ferror(file) == 0 ? WholeFileRead::Read : WholeFileRead::CannotRead;
}

}  // namespace

WholeFileRead ReadWholeFile(const std::u16string& path, std::uint64_t maxBytes,
                            const std::function<void*(std::size_t size)>& allocate) {
  std::FILE* file = OpenFile(path, "rb");
  if (file == nullptr) return WholeFileRead::CannotRead;
  const WholeFileRead result = ReadOpenFile(file, maxBytes, allocate);
  std::fclose(file);
  return result;
}

bool ReadWholeFile(const std::u16string& path, std::uint64_t maxBytes, std::string& bytes) {
  return ReadWholeFile(path, maxBytes, [&bytes](std::size_t size) -> void* {
           bytes.resize(size);
           return bytes.data();
         }) == WholeFileRead::Read;
}
