#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Progress messages between the worker and whatever shows progress, counted
// from the first private window message number (1024).
inline constexpr std::uint32_t MSG_START_WORKER = 1025;     // posted by the dialog to itself
inline constexpr std::uint32_t MSG_WORKER_DONE = 1026;      // posted by the worker as its last act
inline constexpr std::uint32_t MSG_FOLDER_POSITION = 1027;  // sent; wParam = position
inline constexpr std::uint32_t MSG_FOLDER_TEXT = 1028;      // sent; lParam = owned text
inline constexpr std::uint32_t MSG_FILE_TEXT = 1029;  // sent; lParam = owned text, wParam = FileProgressParam
inline constexpr std::uint32_t MSG_PREPARE_PROGRESS = 1030;  // sent; count folders, set range

// MSG_FILE_TEXT's wParam: how many of the current folder's files have
// started, this one included, and how many it has, so that a bar can move
// within a folder. Files may start out of listing order; the count only grows.
static_assert(sizeof(std::uintptr_t) >= 8, "the file progress needs a 64-bit parameter");
inline std::uintptr_t FileProgressParam(std::uint32_t started, std::uint32_t total) {
  return (static_cast<std::uintptr_t>(started) << 32) | total;
}
inline std::uint32_t FileProgressStarted(std::uintptr_t wParam) {
  return static_cast<std::uint32_t>(wParam >> 32);
}
inline std::uint32_t FileProgressTotal(std::uintptr_t wParam) { return static_cast<std::uint32_t>(wParam); }

// A message's text travels as a newly allocated string whose ownership passes
// to the receiver: the sender wraps it with TextParam, the receiver takes it
// back with TakeTextParam (and so frees it when done).
inline std::intptr_t TextParam(std::u16string text) {
  return reinterpret_cast<std::intptr_t>(new std::u16string(std::move(text)));
}
inline std::unique_ptr<std::u16string> TakeTextParam(std::intptr_t lParam) {
  return std::unique_ptr<std::u16string>(reinterpret_cast<std::u16string*>(lParam));
}
