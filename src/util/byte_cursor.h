#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

// A read position over bytes that cannot run past their end. Every read
// either delivers all the bytes it asks for or fails and leaves the position
// where it was, so a parser never sees a partial value. Sound files, bitmap
// files and the run-length streams inside bitmaps are read only through this
// type.
class ByteCursor {
 public:
  explicit ByteCursor(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::size_t Position() const { return position_; }
  std::size_t Size() const { return bytes_.size(); }
  std::size_t Remaining() const { return bytes_.size() - position_; }

  bool ReadU8(std::uint8_t& value) {
    if (position_ >= bytes_.size()) return false;
    value = bytes_[position_++];
    return true;
  }

  bool ReadU16(std::uint16_t& value) {
    if (Remaining() < 2) return false;
    value = static_cast<std::uint16_t>(bytes_[position_] | bytes_[position_ + 1] << 8);
    position_ += 2;
    return true;
  }

  bool ReadU32(std::uint32_t& value) {
    if (Remaining() < 4) return false;
    value = static_cast<std::uint32_t>(bytes_[position_]) |
            static_cast<std::uint32_t>(bytes_[position_ + 1]) << 8 |
            static_cast<std::uint32_t>(bytes_[position_ + 2]) << 16 |
            static_cast<std::uint32_t>(bytes_[position_ + 3]) << 24;
    position_ += 4;
    return true;
  }

  bool ReadI32(std::int32_t& value) {
    std::uint32_t raw = 0;
    if (!ReadU32(raw)) return false;
    value = static_cast<std::int32_t>(raw);
    return true;
  }

  // Copies exactly `length` bytes to `out`.
  bool Read(std::uint8_t* out, std::size_t length) {
    if (Remaining() < length) return false;
    if (length > 0) std::memcpy(out, bytes_.data() + position_, length);
    position_ += length;
    return true;
  }

  // The next `length` bytes without copying them.
  bool Take(std::size_t length, std::span<const std::uint8_t>& out) {
    if (Remaining() < length) return false;
    out = bytes_.subspan(position_, length);
    position_ += length;
    return true;
  }

  // Both of the next two bytes, without consuming them.
  bool PeekPair(std::uint8_t& first, std::uint8_t& second) const {
    if (Remaining() < 2) return false;
    first = bytes_[position_];
    second = bytes_[position_ + 1];
    return true;
  }

  bool Skip(std::uint64_t length) {
    if (Remaining() < length) return false;
    position_ += static_cast<std::size_t>(length);
    return true;
  }

  bool SeekTo(std::uint64_t position) {
    if (position > bytes_.size()) return false;
    position_ = static_cast<std::size_t>(position);
    return true;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};
