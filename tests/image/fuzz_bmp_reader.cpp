// Fuzz target for the bitmap reader and both run-length decoders. The reader
// is given the input as a whole file; the decoders are also called directly
// with a frame and an output buffer size taken from the first input bytes, so
// that frames larger and smaller than the buffer are both explored.

#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "image/bmp_parse.h"
#include "image/rle_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);

  BitmapInfo info;
  std::vector<std::uint8_t> table;
  std::vector<std::uint8_t> pixels;
  if (ParseBitmap(input, info, table, pixels) == BitmapRefusal::None) {
    // What the converter relies on.
    const std::size_t stride = static_cast<std::size_t>(info.rowStride);
    if (info.width <= 0 || info.height <= 0 || stride % 4 != 0 ||
        stride * static_cast<std::size_t>(info.height) != pixels.size() || info.imageSize != pixels.size() ||
        stride * 8 < static_cast<std::size_t>(info.width) * info.bitCount) {
      std::abort();
    }
    if (info.bitCount <= 8) {
      if (table.size() != std::size_t{info.colorsUsed} * 4 || info.colorsUsed == 0 ||
          info.colorsUsed > (1u << info.bitCount)) {
        std::abort();
      }
    } else if (!table.empty()) {
      std::abort();
    }
  }

  if (size >= 4) {
    const std::int32_t width = 1 + data[0] % 96;
    const std::int32_t height = 1 + data[1] % 32;
    const std::size_t bufferSize = (std::size_t{data[2]} << 8 | data[3]) % 4096;
    // Exactly sized, so that any access past the end is reported.
    std::vector<std::uint8_t> output(bufferSize);
    const std::vector<std::uint8_t> stream(data + 4, data + size);
    DecodeRle8(output, stream, width, height);
    DecodeRle4(output, stream, width, height);
  }
  return 0;
}
