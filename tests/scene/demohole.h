// Hole 2 of a demo installation made once for a test suite in a folder of its own, removed after the suite.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "holeview.h"
#include "windows.h"

class DemoHoleTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/teebox_demohole_XXXXXX";
    folder_ = mkdtemp(pattern);
    std::string error;
    loaded_ = holeview::LoadDemoHole(folder_, 2, error);
  }
  static void TearDownTestSuite() { std::filesystem::remove_all(folder_); }
  static inline std::string folder_;
  static inline bool loaded_ = false;
};

// A function a loaded module exports, by name.
template <typename F>
F ModuleProc(HMODULE module, const char* name) {
  FARPROC p = GetProcAddress(module, name);
  F f;
  std::memcpy(&f, &p, sizeof f);
  return f;
}
