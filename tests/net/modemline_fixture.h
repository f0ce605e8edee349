// A test on the stand-in's telephone line: a folder of its own for the numbers and the registry, one data modem at
// 115,200 baud, the answering line under 5550141, and a call that rings 2 s before it counts as unanswered.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "framework/core/registry.h"
#include "winapi/tapi/modemline.h"
#include "winapi/testing.h"
#include "winapi_registry.h"

namespace nettest {

class ModemLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    folder = std::filesystem::temp_directory_path() / ("modemline_" + std::to_string(getpid()) + "_" + name);
    std::filesystem::create_directories(folder);
    registry = (folder / "registry.txt").string();
    winapi::registry::UseFile(registry);
    setenv("WINAPI_MODEM_FOLDER", folder.c_str(), 1);
    setenv("WINAPI_MODEM_NUMBER", "5550141", 1);
    setenv("WINAPI_MODEM_BAUD", "115200", 1);
    setenv("WINAPI_MODEM_RING_MS", "2000", 1);
    unsetenv("WINAPI_MODEM_LINES");
    unsetenv("WINAPI_MODEM_FAULT");
    settings = winapi::tapi::LineSettings::FromEnvironment();
  }
  void TearDown() override {
    for (const char* v : {"WINAPI_MODEM_FOLDER", "WINAPI_MODEM_NUMBER", "WINAPI_MODEM_BAUD", "WINAPI_MODEM_RING_MS",
                          "WINAPI_MODEM_LINES", "WINAPI_MODEM_FAULT"})
      unsetenv(v);
    winapi::testing::ClearFailures();
    winapi::registry::UseFile("");
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
  static void ChooseLine(DWORD device) { RegistryMgr("Modem", true).WriteValue("LineDevice", device); }

  std::filesystem::path folder;
  std::string registry;
  winapi::tapi::LineSettings settings;
};

}  // namespace nettest
