// Drives C (hard disk) and D (CD) in a fresh temporary folder, a registry file of the test's own, the virtual
// clock, and every start-up global and neighbour hook back to its default.
#pragma once

#include <filesystem>

#include "framework/appneighbours.h"
#include "framework/gameapp.h"
#include "framework/neighbours.h"
#include "winapi/testing.h"
#include "winapi_files/drive_fixture.h"

class StartupTest : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    winapi::registry::UseFile(root_ + "/registry.txt");
    winapi::testing::UseVirtualClock(true, 100000);
    winapi::testing::SetVirtualWaitGrace(0);
    winapi::testing::SetModuleFileName("C:\\teebox.exe");
    ResetGameApp();
    ResetAppNeighbours();
    ResetNeighbours();
    Folders() = DataFolders{};
  }
  void TearDown() override {
    ResetAppNeighbours();
    ResetNeighbours();
    SetProcessProbe(nullptr);
    SetTeardownObserver(nullptr);
    DriveTest::TearDown();
  }
  void Folder(const std::string& relative) { std::filesystem::create_directories(root_ + "/" + relative); }
};
