#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The pieces that let two encoders each write half of one FLAC stream: an
// MD5 of the samples, frame renumbering, and the stream information fields
// that cover the whole stream.

// RFC 1321 MD5, fed in pieces.
class Md5 {
 public:
  Md5();
  void Update(std::span<const std::uint8_t> bytes);
  // The digest; the object is spent afterwards.
  void Finish(std::uint8_t digest[16]);

 private:
  void Block(const std::uint8_t* block);
  std::uint32_t state_[4];
  std::uint64_t length_ = 0;
  std::uint8_t buffer_[64] = {};
};

// Appends `frame` (one whole frame of a fixed-block-size stream) to `out`
// with `number` as its frame number, its header and frame checksums made
// anew. False when the bytes are not such a frame.
bool AppendRenumberedFrame(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> frame,
                           std::uint32_t number);

// Writes the whole stream's figures into the STREAMINFO block at the start
// of `stream`: the smallest and largest frame size, the sample count and the
// MD5 signature. False when `stream` does not start with one.
bool PatchStreamInfo(std::vector<std::uint8_t>& stream, std::uint32_t minFrameBytes,
                     std::uint32_t maxFrameBytes, std::uint64_t totalSamples, const std::uint8_t md5[16]);
