// Drives C (hard disk) and D (CD) in a fresh temporary folder, a registry file of the test's own, the virtual
// clock, every start-up global back to its default, and fakes installed for the providers.
#pragma once

#include <filesystem>

#include "app_fakes.h"
#include "app/gameapp.h"
#include "framework/core/services.h"
#include "winapi/testing.h"
#include "support/drive_fixture.h"

class StartupTest : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    winapi::registry::UseFile(root_ + "/registry.txt");
    winapi::testing::UseVirtualClock(true, 100000);
    winapi::testing::SetVirtualWaitGrace(0);
    winapi::testing::SetModuleFileName("C:\\teebox.exe");
    ResetGameApp();
    InstallServices(fakes_.Installed());
    Folders() = DataFolders{};
  }
  void TearDown() override {
    ResetServices();
    SetProcessProbe(nullptr);
    SetTeardownObserver(nullptr);
    DriveTest::TearDown();
  }
  AppFakes fakes_;

  void Folder(const std::string& relative) { std::filesystem::create_directories(root_ + "/" + relative); }
};
