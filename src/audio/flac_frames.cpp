#include "audio/flac_frames.h"

#include <cstring>

namespace {

std::uint32_t RotateLeft(std::uint32_t value, int bits) { return value << bits | value >> (32 - bits); }

// Header checksum: CRC-8, polynomial x^8 + x^2 + x + 1, starting at 0.
std::uint8_t Crc8(std::span<const std::uint8_t> bytes) {
  unsigned crc = 0;
  for (const std::uint8_t byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80) ? (crc << 1 ^ 0x07) & 0xFF : crc << 1 & 0xFF;
  }
  return static_cast<std::uint8_t>(crc);
}

// Frame checksum: CRC-16, polynomial x^16 + x^15 + x^2 + 1, starting at 0,
// over everything before it.
std::uint16_t Crc16(std::span<const std::uint8_t> bytes) {
  unsigned crc = 0;
  for (const std::uint8_t byte : bytes) {
    crc ^= unsigned{byte} << 8;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) ? (crc << 1 ^ 0x8005) & 0xFFFF : crc << 1 & 0xFFFF;
  }
  return static_cast<std::uint16_t>(crc);
}

// The frame number in the header, coded as UTF-8 extended to 31 bits.
void PutCodedNumber(std::vector<std::uint8_t>& out, std::uint32_t value) {
  if (value < 0x80) {
    out.push_back(static_cast<std::uint8_t>(value));
    return;
  }
  int continuation = 1;
  while (continuation < 5 && value >= (1u << (5 * continuation + 6))) ++continuation;
  const unsigned lead = (0xFF00u >> (continuation + 1)) & 0xFF;
  out.push_back(static_cast<std::uint8_t>(lead | value >> (6 * continuation)));
  for (int i = continuation - 1; i >= 0; --i)
    out.push_back(static_cast<std::uint8_t>(0x80 | (value >> (6 * i) & 0x3F)));
}

// The length of a coded number from its first byte; 0 when it is no lead byte.
std::size_t CodedNumberLength(std::uint8_t first) {
  if ((first & 0x80) == 0) return 1;
  std::size_t ones = 0;
  while (ones < 8 && (first & (0x80 >> ones)) != 0) ++ones;
  return ones >= 2 && ones <= 7 ? ones : 0;
}

}  // namespace

Md5::Md5() : state_{0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476} {}

void Md5::Block(const std::uint8_t* block) {
  static constexpr std::uint32_t kSines[64] = {
      0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
      0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
      0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
      0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
      0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
      0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
      0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
      0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
  static constexpr int kShifts[16] = {7, 12, 17, 22, 5, 9, 14, 20, 4, 11, 16, 23, 6, 10, 15, 21};
  std::uint32_t words[16];
  for (int i = 0; i < 16; ++i) {
    words[i] = std::uint32_t{block[i * 4]} | std::uint32_t{block[i * 4 + 1]} << 8 |
               std::uint32_t{block[i * 4 + 2]} << 16 | std::uint32_t{block[i * 4 + 3]} << 24;
  }
  std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  for (int i = 0; i < 64; ++i) {
    std::uint32_t f;
    int g;
    const int round = i / 16;
    if (round == 0) {
      f = (b & c) | (~b & d);
      g = i;
    } else if (round == 1) {
      f = (d & b) | (~d & c);
      g = (5 * i + 1) % 16;
    } else if (round == 2) {
      f = b ^ c ^ d;
      g = (3 * i + 5) % 16;
    } else {
      f = c ^ (b | ~d);
      g = (7 * i) % 16;
    }
    const std::uint32_t next = b + RotateLeft(a + f + kSines[i] + words[g], kShifts[round * 4 + i % 4]);
    a = d;
    d = c;
    c = b;
    b = next;
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
}

void Md5::Update(std::span<const std::uint8_t> bytes) {
  std::size_t held = length_ % 64;
  length_ += bytes.size();
  std::size_t at = 0;
  if (held != 0) {
    const std::size_t take = std::min(64 - held, bytes.size());
    std::memcpy(buffer_ + held, bytes.data(), take);
    at = take;
    if (held + take < 64) return;
    Block(buffer_);
  }
  for (; at + 64 <= bytes.size(); at += 64) Block(bytes.data() + at);
  std::memcpy(buffer_, bytes.data() + at, bytes.size() - at);
}

void Md5::Finish(std::uint8_t digest[16]) {
  const std::uint64_t bits = length_ * 8;
  std::uint8_t tail[72] = {0x80};
  const std::size_t pad = (length_ % 64 < 56 ? 56 : 120) - length_ % 64;
  for (int i = 0; i < 8; ++i) tail[pad + i] = static_cast<std::uint8_t>(bits >> (8 * i));
  Update(std::span<const std::uint8_t>(tail, pad + 8));
  for (int i = 0; i < 16; ++i) digest[i] = static_cast<std::uint8_t>(state_[i / 4] >> (8 * (i % 4)));
}

bool AppendRenumberedFrame(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> frame,
                           std::uint32_t number) {
  // Sync code 0xFFF8 (fixed block size), then block size and rate codes,
  // channels and depth, the coded number, the optional block size (codes 6
  // and 7) and rate (codes 12 to 14) fields, and the header's CRC-8.
  if (frame.size() < 8 || frame[0] != 0xFF || frame[1] != 0xF8) return false;
  const std::size_t numberLength = CodedNumberLength(frame[4]);
  const unsigned blockCode = frame[2] >> 4;
  const unsigned rateCode = frame[2] & 0x0F;
  const std::size_t extra = (blockCode == 6   ? 1
                             : blockCode == 7 ? 2
                                              : 0) +
                            (rateCode == 12                     ? 1
                             : rateCode == 13 || rateCode == 14 ? 2
                                                                : 0);
  const std::size_t bodyStart = 4 + numberLength + extra + 1;
  if (numberLength == 0 || frame.size() < bodyStart + 2) return false;
  const std::size_t headerStart = out.size();
  out.insert(out.end(), frame.begin(), frame.begin() + 4);
  PutCodedNumber(out, number);
  out.insert(out.end(), frame.begin() + 4 + numberLength, frame.begin() + 4 + numberLength + extra);
  out.push_back(Crc8(std::span<const std::uint8_t>(out.data() + headerStart, out.size() - headerStart)));
  out.insert(out.end(), frame.begin() + bodyStart, frame.end() - 2);
  const std::uint16_t crc =
      Crc16(std::span<const std::uint8_t>(out.data() + headerStart, out.size() - headerStart));
  out.push_back(static_cast<std::uint8_t>(crc >> 8));
  out.push_back(static_cast<std::uint8_t>(crc));
  return true;
}

bool PatchStreamInfo(std::vector<std::uint8_t>& stream, std::uint32_t minFrameBytes,
                     std::uint32_t maxFrameBytes, std::uint64_t totalSamples, const std::uint8_t md5[16]) {
  // "fLaC", a block header of type 0 (STREAMINFO), then its 34 bytes: block
  // sizes (2 + 2), frame sizes (3 + 3), rate, channels, depth and the 36-bit
  // sample count (8 together), and the MD5 signature (16).
  if (stream.size() < 42 || std::memcmp(stream.data(), "fLaC", 4) != 0 || (stream[4] & 0x7F) != 0)
    return false;
  std::uint8_t* info = stream.data() + 8;
  for (int i = 0; i < 3; ++i) {
    info[4 + i] = static_cast<std::uint8_t>(minFrameBytes >> (16 - 8 * i));
    info[7 + i] = static_cast<std::uint8_t>(maxFrameBytes >> (16 - 8 * i));
  }
  info[13] = static_cast<std::uint8_t>((info[13] & 0xF0) | (totalSamples >> 32 & 0x0F));
  for (int i = 0; i < 4; ++i) info[14 + i] = static_cast<std::uint8_t>(totalSamples >> (24 - 8 * i));
  std::memcpy(info + 18, md5, 16);
  return true;
}
