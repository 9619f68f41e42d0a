// Run-length decoders for 8-bit and 4-bit bitmaps.
//
// The stream is a sequence of two-byte items, a count and a value. A count
// above 0 is an encoded run; a count of 0 is an escape: value 0 ends the line,
// 1 ends the bitmap, 2 is a delta (two more bytes: right, up), and 3 or more
// is an absolute run of that many pixels stored literally and padded to an
// even number of bytes.
//
// Runs are bounded by the end of the output, not by the row: a run past the
// width spills into the following bytes, and the next row starts over at its
// own offset. Output offsets are kept clamped to the end of the output, so no
// amount of delta or run data can move them past it.

#include "image/rle_decoders.h"

#include <algorithm>
#include <cstring>

#include "util/byte_cursor.h"

namespace {

std::uint64_t RleStride(std::int32_t width, unsigned bitsPerPixel) {
  return (static_cast<std::uint64_t>(width) * bitsPerPixel + 31) / 32 * 4;
}

// The offset `distance` bytes further on, or `end` if that lies beyond it.
std::uint64_t Advance(std::uint64_t position, std::uint64_t distance, std::uint64_t end) {
  return distance >= end - position ? end : position + distance;
}

// Encoders commonly put an end of line after a run that already filled its
// row. Every row end therefore also consumes an end of line that follows it
// directly, so such a pair (or two ends of line in a row) ends one row only
// and the data after it goes into the very next row.
void SkipTrailingEndOfLine(ByteCursor& in) {
  std::uint8_t first = 0;
  std::uint8_t second = 0;
  if (in.PeekPair(first, second) && first == 0 && second == 0) in.Skip(2);
}

// The output window of one decode: the buffer, its usable end and the row
// stride of the decoder's own depth. When the header's bit count does not
// match the compression, that stride differs from the buffer's, and the end
// is cut to the buffer.
struct Output {
  std::uint8_t* bytes;
  std::uint64_t end;
  std::uint64_t stride;
};

bool OpenOutput(std::span<std::uint8_t> pixels, std::int32_t width, std::int32_t height,
                unsigned bitsPerPixel, Output& output) {
  // With no frame or no buffer there is nothing to write (and an empty
  // buffer has no address to write through).
  if (width <= 0 || height <= 0 || pixels.empty()) return false;
  output.bytes = pixels.data();
  output.stride = RleStride(width, bitsPerPixel);
  output.end = std::min<std::uint64_t>(output.stride * static_cast<std::uint64_t>(height), pixels.size());
  if (output.end > 0) std::memset(output.bytes, 0, static_cast<std::size_t>(output.end));
  return true;
}

// Copies up to `wanted` literal bytes, as far as the output has room. The
// input advances only by the bytes copied. False when the stream ended first.
bool CopyLiteral(ByteCursor& in, const Output& out, std::uint64_t& position, std::uint64_t wanted,
                 std::uint64_t& copied) {
  copied = std::min(wanted, out.end - position);
  const std::uint64_t available = std::min<std::uint64_t>(copied, in.Remaining());
  in.Read(out.bytes + position, static_cast<std::size_t>(available));
  position += available;
  return available == copied;
}

// One command of a run-length stream: a run of `count` pixels of `value`,
// the end of a line or of the bitmap, a move by (dx, dy), or an absolute run
// of `value` literal pixels that follow.
enum class Command { Run, EndOfLine, EndOfBitmap, Delta, Absolute, Truncated };

struct Step {
  Command command = Command::Truncated;
  std::uint8_t count = 0;
  std::uint8_t value = 0;
  std::uint8_t dx = 0;
  std::uint8_t dy = 0;
};

Step NextStep(ByteCursor& in) {
  Step step;
  if (!in.ReadU8(step.count) || !in.ReadU8(step.value)) return step;
  if (step.count > 0) {
    step.command = Command::Run;
  } else if (step.value == 0) {
    step.command = Command::EndOfLine;
  } else if (step.value == 1) {
    step.command = Command::EndOfBitmap;
  } else if (step.value == 2) {
    if (in.ReadU8(step.dx) && in.ReadU8(step.dy)) step.command = Command::Delta;
  } else {
    step.command = Command::Absolute;
  }
  return step;
}

// Walks the stream row by row for one depth's painter, which writes the
// pixels of runs, moves and absolute runs at its position (false from
// Absolute when the stream ended inside it).
template <typename Painter>
void DecodeRows(ByteCursor& in, const Output& out, std::int32_t width, std::int32_t height,
                Painter& painter) {
  for (std::int64_t row = 0; row < height; ++row) {
    painter.StartRow(std::min(static_cast<std::uint64_t>(row) * out.stride, out.end));
    std::int64_t x = 0;
    bool endOfBitmap = false;
    for (;;) {
      const Step step = NextStep(in);
      if (step.command == Command::Truncated) return;
      if (step.command == Command::EndOfLine) break;
      if (step.command == Command::EndOfBitmap) {
        endOfBitmap = true;
        break;
      }
      if (step.command == Command::Run) {
        x += step.count;
        painter.Run(step.count, step.value);
      } else if (step.command == Command::Delta) {
        row += step.dy;
        x += step.dx;
        painter.Move(step.dx, step.dy);
      } else {
        x += step.value;
        if (!painter.Absolute(in, step.value)) return;
      }
      if (x >= width) break;
    }
    SkipTrailingEndOfLine(in);
    if (endOfBitmap || painter.position >= out.end) return;
  }
}

// One byte a pixel.
struct Painter8 {
  const Output& out;
  std::uint64_t position = 0;

  void StartRow(std::uint64_t start) { position = start; }
  void Run(unsigned count, std::uint8_t value) {
    const std::uint64_t written = std::min<std::uint64_t>(count, out.end - position);
    std::memset(out.bytes + position, value, static_cast<std::size_t>(written));
    position += written;
  }
  void Move(unsigned dx, unsigned dy) { position = Advance(position, dy * out.stride + dx, out.end); }
  bool Absolute(ByteCursor& in, unsigned count) {
    std::uint64_t copied = 0;
    if (!CopyLiteral(in, out, position, count, copied)) return false;
    if (count & 1) in.Skip(1);
    return true;
  }
};

// Two pixels a byte. Beside the output offset it keeps a phase: in the high
// phase the next pixel goes into the high nibble of the byte at the offset;
// in the low phase that high nibble is already written and the next pixel
// goes into the low nibble. Every row starts in the high phase.
struct Painter4 {
  const Output& out;
  std::uint64_t position = 0;
  bool low = false;

  void StartRow(std::uint64_t start) {
    position = start;
    low = false;
  }

  // Pixels alternate between the value's high and low nibble.
  void Run(unsigned count, std::uint8_t value) {
    unsigned remaining = count;
    std::uint8_t pattern = value;
    if (low) {
      if (position < out.end) out.bytes[position] |= pattern >> 4;
      position = Advance(position, 1, out.end);
      pattern = static_cast<std::uint8_t>(pattern << 4 | pattern >> 4);
      --remaining;
      low = false;
    }
    const std::uint64_t wanted = (remaining + 1) / 2;
    const std::uint64_t written = std::min(wanted, out.end - position);
    std::memset(out.bytes + position, pattern, static_cast<std::size_t>(written));
    position += written;
    // An odd count leaves the last byte half used: drop its low nibble.
    if ((remaining & 1) && written == wanted) HalfUsed();
  }

  void Move(unsigned dx, unsigned dy) {
    position = Advance(position, dy * out.stride + dx / 2, out.end);
    if (dx & 1) {
      if (low) position = Advance(position, 1, out.end);
      low = !low;
    }
  }

  // An absolute run of n pixels packed two to a byte.
  bool Absolute(ByteCursor& in, unsigned n) {
    const std::uint64_t packed = (n + 1) / 2;
    if (!low) {
      std::uint64_t copied = 0;
      if (!CopyLiteral(in, out, position, packed, copied)) return false;
      if ((n & 1) && copied == packed) HalfUsed();
    } else {
      // Shifted by one nibble: each input byte straddles two output bytes.
      for (std::uint64_t i = 0; i < packed && position < out.end; ++i) {
        std::uint8_t b = 0;
        if (!in.ReadU8(b)) return false;
        out.bytes[position] |= b >> 4;
        if (position + 1 < out.end) out.bytes[position + 1] |= static_cast<std::uint8_t>(b << 4);
        ++position;
      }
      // The last nibble written was the pad nibble of an odd run.
      if ((n & 1) && position < out.end) {
        out.bytes[position] = 0;
        low = false;
      }
    }
    if (packed & 1) in.Skip(1);
    return true;
  }

  void HalfUsed() {
    --position;
    out.bytes[position] &= 0xF0;
    low = true;
  }
};

}  // namespace

void DecodeRle8(std::span<std::uint8_t> pixels, std::span<const std::uint8_t> data, std::int32_t width,
                std::int32_t height) {
  Output out{};
  if (!OpenOutput(pixels, width, height, 8, out)) return;
  ByteCursor in(data);
  Painter8 painter{out};
  DecodeRows(in, out, width, height, painter);
}

void DecodeRle4(std::span<std::uint8_t> pixels, std::span<const std::uint8_t> data, std::int32_t width,
                std::int32_t height) {
  Output out{};
  if (!OpenOutput(pixels, width, height, 4, out)) return;
  ByteCursor in(data);
  Painter4 painter{out};
  DecodeRows(in, out, width, height, painter);
}
