#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/scratch_folder.h"

// A fresh scratch folder per test, with byte-level file access so a test
// states exactly which bytes are on disk.
class ScratchFolderTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(root_.empty()); }

  // The program's form of a path below the folder.
  std::u16string Path(const std::u16string& name) const { return (root_ / name).u16string(); }
  bool Exists(const std::u16string& name) const { return std::filesystem::exists(root_ / name); }

  void WriteBytes(const std::u16string& name, const std::string& bytes) const {
    ASSERT_TRUE(::WriteBytes(root_ / name, bytes));
  }
  std::string ReadBytes(const std::u16string& name) const { return ::ReadBytes(root_ / name); }

  ScratchFolder folder_;
  const std::filesystem::path& root_ = folder_.path();
};
