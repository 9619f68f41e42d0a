#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// Reads a whole file with one read into the memory `allocate` hands out for
// its size (null refuses it). False when the file cannot be opened or
// measured, is larger than `maxBytes`, cannot be had, or is not read whole
// (one that grew or shrank since it was measured included).
bool ReadWholeFile(const std::u16string& path, std::uint64_t maxBytes,
                   const std::function<void*(std::size_t size)>& allocate);

// The same into a string.
bool ReadWholeFile(const std::u16string& path, std::uint64_t maxBytes, std::string& bytes);
