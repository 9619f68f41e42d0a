#include "image/bmp_reader.h"

#include <cstdio>

#include "image/bmp_parse.h"
#include "util/file_system.h"
#include "util/path.h"

namespace {

// The whole file is read into memory before it is parsed. An accepted bitmap
// needs at most the pixel bound plus its headers; twice that leaves room for
// run-length streams, which can be longer than the pixels they encode.
constexpr std::uint64_t kMaxBitmapFileBytes = 2 * kMaxBitmapPixelBytes + (1u << 20);

// Reads the file into `bytes` with one read. False when it cannot be read or
// is larger than any bitmap this reader accepts.
bool ReadWholeFile(std::FILE* file, std::vector<std::uint8_t>& bytes) {
  if (std::fseek(file, 0, SEEK_END) != 0) return false;
  const long length = std::ftell(file);
  if (length < 0 || static_cast<std::uint64_t>(length) > kMaxBitmapFileBytes) return false;
  if (std::fseek(file, 0, SEEK_SET) != 0) return false;
  bytes.resize(static_cast<std::size_t>(length));
  return bytes.empty() || std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

}  // namespace

bool ReadBitmapFile(const std::u16string& source, BitmapInfo& info, std::vector<std::uint8_t>& colorTable,
                    std::vector<std::uint8_t>& pixels) {
  std::FILE* file = OpenFile(source, "rb");
  if (file == nullptr) return false;
  std::vector<std::uint8_t> bytes;
  const bool read = ReadWholeFile(file, bytes);
  std::fclose(file);
  return read && ParseBitmap(bytes, info, colorTable, pixels) == BitmapRefusal::None;
}
