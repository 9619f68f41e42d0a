// Memory running out in the middle of a script: the std::bad_alloc passes
// through the rewriter to the walk, which catches it. On the way it must not
// crash, and it must close every file it opened (the sanitizer build also
// sees any leaked memory).
//
// This program replaces the global operator new: armed with a count, it
// lets that many allocations succeed and fails every one after them.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>

#include "bms/script_rewriter.h"
#include "scratch_folder_test.h"

namespace {

// Allocations left before they fail; negative: none fails.
std::atomic<long long> allocationsLeft{-1};

}  // namespace

void* operator new(std::size_t size) {
  const long long left = allocationsLeft.load(std::memory_order_relaxed);
  if (left == 0) throw std::bad_alloc();
  if (left > 0) allocationsLeft.store(left - 1, std::memory_order_relaxed);
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}

// The memory comes from malloc above; GCC pairs operator delete with the
// library's operator new and would warn about the free. The array forms
// call these two.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

// The open descriptors of this process, or -1 where they cannot be counted
// (under Wine the folder exists, but lists the descriptors of Wine itself).
long OpenDescriptors() {
#if defined(__linux__)
  std::error_code error;
  std::filesystem::directory_iterator entries("/proc/self/fd", error);
  if (error) return -1;
  long count = 0;
  for (auto it = entries; it != std::filesystem::directory_iterator(); it.increment(error)) ++count;
  return count;
#else
  return -1;
#endif
}

using AllocationFailureTest = ScratchFolderTest;

// Fails the first allocation, then the second, and so on, until the rewrite
// gets through; after each failure no file is left open.
TEST_F(AllocationFailureTest, EveryFailurePointClosesTheFiles) {
  WriteBytes(u"in.bms", "#TITLE \x83\x5C\r\n#wav01  kick.wav\n#BMP01 bg.bmp\r\n#00111:0101\r\n");
  const std::string expected = "#TITLE \x83\x5C\r\n#WAV01 kick.ogg\r\n#BMP01 bg.png\r\n#00111:0101\r\n";
  const std::u16string source = Path(u"in.bms");
  const std::u16string destination = Path(u"out.bms");
  ScriptRewriter rewriter;
  rewriter.renaming = ReferenceRenaming::For(CompressSound | CompressImages);
  rewriter.repair = true;
  const long before = OpenDescriptors();

  long long failures = 0;
  for (long long allowed = 0;; ++allowed) {
    ASSERT_LT(allowed, 100000) << "the rewrite never got through";
    bool threw = false;
    bool copied = false;
    allocationsLeft = allowed;
    try {
      copied = rewriter.Rewrite(source, destination);
    } catch (const std::bad_alloc&) {
      threw = true;
    }
    allocationsLeft = -1;
    EXPECT_EQ(OpenDescriptors(), before) << "after " << allowed << " allocations";
    if (!threw) {
      EXPECT_TRUE(copied);
      EXPECT_EQ(ReadBytes(u"out.bms"), expected);
      break;
    }
    ++failures;
  }
  EXPECT_GT(failures, 0) << "no allocation was ever failed";
}

}  // namespace
