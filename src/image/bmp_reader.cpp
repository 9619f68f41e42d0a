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

// Reads the file into `bytes` with one read. A refusal when it cannot be
// read or is larger than any bitmap this reader accepts.
BitmapRefusal ReadWholeFile(std::FILE* file, std::vector<std::uint8_t>& bytes) {
  if (std::fseek(file, 0, SEEK_END) != 0) return BitmapRefusal::CannotOpen;
  const long length = std::ftell(file);
  if (length < 0) return BitmapRefusal::CannotOpen;
  if (static_cast<std::uint64_t>(length) > kMaxBitmapFileBytes) return BitmapRefusal::FileTooLarge;
  if (std::fseek(file, 0, SEEK_SET) != 0) return BitmapRefusal::CannotOpen;
  bytes.resize(static_cast<std::size_t>(length));
  if (!bytes.empty() && std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
    return BitmapRefusal::CannotOpen;
  }
  return BitmapRefusal::None;
}

}  // namespace

bool ReadBitmapFile(const std::u16string& source, BitmapInfo& info, std::vector<std::uint8_t>& colorTable,
                    std::vector<std::uint8_t>& pixels) {
  BitmapRefusal refusal = BitmapRefusal::None;
  BitmapInfo declared;
  return ReadBitmapFile(source, info, colorTable, pixels, refusal, declared);
}

bool ReadBitmapFile(const std::u16string& source, BitmapInfo& info, std::vector<std::uint8_t>& colorTable,
                    std::vector<std::uint8_t>& pixels, BitmapRefusal& refusal, BitmapInfo& declared) {
  std::FILE* file = OpenFile(source, "rb");
  if (file == nullptr) {
    refusal = BitmapRefusal::CannotOpen;
    return false;
  }
  std::vector<std::uint8_t> bytes;
  refusal = ReadWholeFile(file, bytes);
  std::fclose(file);
  if (refusal != BitmapRefusal::None) return false;
  refusal = ParseBitmap(bytes, info, colorTable, pixels, &declared);
  return refusal == BitmapRefusal::None;
}
