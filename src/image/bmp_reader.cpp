#include "image/bmp_reader.h"

#include "image/bmp_parse.h"
#include "util/whole_file.h"

namespace {

// The whole file is read into memory before it is parsed. An accepted bitmap
// needs at most the pixel bound plus its headers; twice that leaves room for
// run-length streams, which can be longer than the pixels they encode.
constexpr std::uint64_t kMaxBitmapFileBytes = 2 * kMaxBitmapPixelBytes + (1u << 20);

BitmapRefusal RefusalOf(WholeFileRead read) {
  switch (read) {
    case WholeFileRead::Read:
      return BitmapRefusal::None;
    case WholeFileRead::TooLarge:
      return BitmapRefusal::FileTooLarge;
    case WholeFileRead::CannotRead:
      break;
  }
  return BitmapRefusal::CannotOpen;
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
  std::vector<std::uint8_t> bytes;
  refusal = RefusalOf(ReadWholeFile(source, kMaxBitmapFileBytes, [&bytes](std::size_t size) -> void* {
    bytes.resize(size);
    // An empty file still reads: its parse refuses it.
    return bytes.empty() ? static_cast<void*>(&bytes) : bytes.data();
  }));
  if (refusal != BitmapRefusal::None) return false;
  refusal = ParseBitmap(bytes, info, colorTable, pixels, &declared);
  return refusal == BitmapRefusal::None;
}
