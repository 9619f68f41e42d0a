#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The bytes of a test file, built field by field.
using Bytes = std::vector<std::uint8_t>;

// Little-endian fields, as RIFF and bitmap headers store them.
void PutLe16(Bytes& out, std::uint16_t value);
void PutLe32(Bytes& out, std::uint32_t value);
// Text as its bytes, without a terminator ("RIFF", "BM").
void PutText(Bytes& out, std::string_view text);

// The same bytes in a std::string, for the tests that keep files as text.
std::string AsString(const Bytes& bytes);
bool StartsWith(std::string_view bytes, std::string_view prefix);
