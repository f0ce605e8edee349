// A private registry file and C: drive per test, exits that throw, and a virtual clock, for the set-up tools.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "regcalls.h"
#include "winapi/testing.h"
#include "windows.h"

namespace setuptest {

namespace fs = std::filesystem;

class SetupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    winapi::testing::Reset();
    setup::UsePlatformRegistry();
    dir = fs::temp_directory_path() / ("teebox-setup-" + std::to_string(getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "drive");
    registryFile = (dir / "registry.txt").string();
    winapi::registry::UseFile(registryFile);
    winapi::testing::MapDrive('C', (dir / "drive").string());
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
    winapi::testing::SetExitHook([](unsigned code) { throw winapi::testing::ExitCalled{code}; });
    winapi::testing::UseVirtualClock(true);
    winapi::testing::SetVirtualWaitGrace(0);
    winapi::testing::TakeMessageBoxes();
  }
  void TearDown() override {
    setup::UsePlatformRegistry();
    winapi::registry::UseFile(registryFile);
    winapi::testing::Reset();
    fs::remove_all(dir);
  }

  // An executable file on drive C.
  void MakeProgram(const std::string& relative, const std::string& script = "#!/bin/sh\nexit 0\n") {
    fs::path p = dir / "drive" / relative;
    fs::create_directories(p.parent_path());
    std::ofstream(p) << script;
    chmod(p.c_str(), 0755);
  }

  // Reads a value below HKEY_LOCAL_MACHINE; false when the key or value is missing.
  static bool ReadValue(const std::string& keyPath, const char* name, DWORD* type, std::vector<BYTE>* data) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    BYTE buffer[512] = {};
    DWORD size = sizeof buffer;
    LONG status = RegQueryValueExA(key, name, nullptr, type, buffer, &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return false;
    data->assign(buffer, buffer + size);
    return true;
  }
  static bool ReadDword(const std::string& keyPath, const char* name, DWORD* value) {
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!ReadValue(keyPath, name, &type, &data) || type != REG_DWORD || data.size() != 4) return false;
    *value = data[0] | (DWORD{data[1]} << 8) | (DWORD{data[2]} << 16) | (DWORD{data[3]} << 24);
    return true;
  }
  static void WriteDword(const std::string& keyPath, const char* name, DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    const BYTE data[4] = {BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)};
    ASSERT_EQ(RegSetValueExA(key, name, 0, REG_DWORD, data, 4), ERROR_SUCCESS);
    RegCloseKey(key);
  }
  static bool KeyExists(const std::string& keyPath) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  }

  fs::path dir;
  std::string registryFile;
};

}  // namespace setuptest
