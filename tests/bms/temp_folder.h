#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

// A fresh folder per test, removed afterwards, with byte-level file access so
// a test states exactly which bytes are on disk.
class TempFolderTest : public testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    root_ = std::filesystem::temp_directory_path() / ("hoshibako-bms-" + std::to_string(random()));
    ASSERT_TRUE(std::filesystem::create_directories(root_));
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  // The program's form of a path below the folder.
  std::u16string Path(const std::u16string& name) const { return (root_ / name).u16string(); }
  bool Exists(const std::u16string& name) const { return std::filesystem::exists(root_ / name); }

  void WriteBytes(const std::u16string& name, const std::string& bytes) const {
    std::ofstream out(root_ / name, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good());
  }
  std::string ReadBytes(const std::u16string& name) const {
    std::ifstream in(root_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::filesystem::path root_;
};
