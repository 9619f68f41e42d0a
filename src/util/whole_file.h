#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// How a whole-file read ended.
enum class WholeFileRead {
  Read,
  CannotRead,  // not opened or measured, or not read whole (it grew or shrank meanwhile)
  TooLarge,    // above the caller's bound, or no memory was had for it
};

// Reads a whole file with one read into the memory `allocate` hands out for
// its size (null: no memory for it).
WholeFileRead ReadWholeFile(const std::u16string& path, std::uint64_t maxBytes,
                            const std::function<void*(std::size_t size)>& allocate);

// The same into a string; true when it was read.
bool ReadWholeFile(const std::u16string& path, std::uint64_t maxBytes, std::string& bytes);
