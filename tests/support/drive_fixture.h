// A fresh temporary folder mapped as drive C (and optionally a CD drive) for each test.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "winapi/testing.h"
#include "windows.h"

class DriveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    winapi::testing::Reset();
    char pattern[] = "/tmp/winapi_files_XXXXXX";
    root_ = mkdtemp(pattern);
    std::filesystem::create_directories(root_ + "/c");
    std::filesystem::create_directories(root_ + "/cd");
    winapi::testing::MapDrive('C', root_ + "/c", "HARDDISK");
    winapi::testing::MapDrive('D', root_ + "/cd");
    winapi::testing::SetCdDrive('D', "QV99DISC");
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
  }
  void TearDown() override {
    winapi::testing::Reset();
    std::filesystem::remove_all(root_);
  }
  // Writes a host file below the temporary root.
  void HostFile(const std::string& relative, const std::string& content) {
    std::filesystem::path p = root_ + "/" + relative;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
  }
  std::string HostRead(const std::string& relative) {
    std::ifstream in(root_ + "/" + relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  bool HostExists(const std::string& relative) { return std::filesystem::exists(root_ + "/" + relative); }

  std::string root_;
};
