// The front end as the program runs it: the installed providers, the demo installation's art and fonts, an
// 800 x 600 display, and mouse and keys sent through the program's window procedure.
#pragma once

#include <gtest/gtest.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include "course/catalogue.h"
#include "course/install.h"
#include "course/roster.h"
#include "framework/core/errors.h"
#include "demo.h"
#include "framework/ui/displaymgr.h"
#include "app/gameapp.h"
#include "framework/ui/inputstate.h"
#include "framework/core/services.h"
#include "frontend/frontend.h"
#include "frontend/install.h"
#include "frontend/calibration.h"
#include "frontend/cameradialogs.h"
#include "frontend/golfereditor.h"
#include "frontend/highlights.h"
#include "frontend/options3d.h"
#include "frontend/rangemenu.h"
#include "scene/render3d.h"
#include "course/savedfiles.h"
#include "frontend/screens.h"
#include "frontend/textbutton.h"
#include "golf/game.h"
#include "golf/golferfile.h"
#include "golf/game.h"
#include "golf/install.h"
#include "platformlib/core/memclass.h"
#include "platformlib/gfx/rowspace.h"
#include "platformlib/gfx/windowdesc.h"
#include "winapi/testing.h"
#include "winapi_registry.h"
#include "support/demo_installation.h"
#include "support/golden.h"

namespace {

constexpr int kW = 800, kH = 600;

std::string& Installation() { return DemoInstallation("teebox_frontend", 2); }

// The drawn buffer at a quarter of its size (each pixel the mean of a 4 x 4 block), as a golden picture.
d3dtest::Picture Shrunk() {
  ImageRecord* drawn = DrawnImage();
  d3dtest::Picture p;
  if (!drawn || !drawn->window) return p;
  WindowDesc* w = drawn->window;
  p.width = kW / 4;
  p.height = kH / 4;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      uint32_t r = 0, g = 0, b = 0;
      for (int dy = 0; dy < 4; ++dy)
        for (int dx = 0; dx < 4; ++dx) {
          const uint16_t px = reinterpret_cast<const uint16_t*>(w->pixels + (4 * y + dy) * w->rowbytes)[4 * x + dx];
          r += ((px >> 11) & 31) * 255 / 31;
          g += ((px >> 5) & 63) * 255 / 63;
          b += (px & 31) * 255 / 31;
        }
      p.rgb.push_back((r / 16) << 16 | (g / 16) << 8 | (b / 16));
    }
  return p;
}

}  // namespace

class ScreensTest : public ::testing::Test {
 protected:
  static void TearDownTestSuite() { RemoveDemoInstallation(); }
  void SetUp() override {
    ASSERT_NE(Installation()[0], '!') << Installation();
    winapi::testing::Reset();
    winapi::testing::UseVirtualClock(true, 10000);
    winapi::testing::SetVirtualWaitGrace(0);
    winapi::testing::MapDrive('C', Installation());
    // A registry of the process's own: test programs run side by side, and a setting one test stores (the 3D
    // options, the last game) must not reach a picture another draws.
    winapi::registry::UseFile(Installation() + "/registry.txt");
    if (!memstarted()) initmem();
    rowspacesize = 65536;
    initrow();
    ResetServices();
    ResetGameApp();
    InstallCourseServices();
    InstallGolfServices();
    InstallFrontEndServices();
    Facts() = SharedFacts{};
    Facts().screenWidth = kW;
    Facts().screenHeight = kH;
    Facts().fontFolder = "C:\\DATA\\FONTS";
    DataFolders& f = Folders();
    f = DataFolders{};
    PathSetDirectory(&f.root, "\\");
    std::strcpy(f.root.drive, "c:");
    f.menus = f.root;
    PathAppend(&f.menus, "DATA");
    f.ui800 = f.menus;
    f.players = f.root;
    PathAppend(&f.players, "Players");
    PathAppend(&f.menus, "MENUS");
    PathAppend(&f.ui800, "UI800");
    f.ui640 = f.ui1024 = f.ui800;
    Facts().sizeSetting = 1;
    // A second course and a user golfer beside the demo's.
    std::filesystem::create_directories(Installation() + "/DATA/COURSES/MARSHDALE");
    std::string pairs;
    for (int h = 1; h <= 18; ++h) pairs += std::to_string(h) + " 4\n";
    std::ofstream(Installation() + "/DATA/COURSES/MARSHDALE/COURSE.DAT")
        << "COURSE 1\nfolder MARSHDALE\ntitle Marshdale^Heath\ndescription\n18 72\n1 0\n" << pairs
        << "\nAbout\nWindy heath holes.\nBring a coat.\n";
    std::ofstream(Installation() + "/DATA/COURSES/MARSHDALE/practice.dat") << "PRACTICE 1\n" << pairs;
    std::filesystem::create_directories(Installation() + "/Players");
    {
      playerInfo_s golfer;
      std::snprintf(golfer.name, sizeof golfer.name, "Wren");
      golfer.model = 2;
      SaveGolferFile("C:\\Players", golfer);
    }
    SetCourseListRoots("C:\\", "");
    CreateCourseList();
    BuildCourseList();
    InputReset();
    display_ = createwindowadra(kW, kH, 16, 1);
    ASSERT_NE(display_, nullptr);
    DisplayWindow = *display_;
    ASSERT_EQ(DisplayManagerInit(MARect{0, 0, kW, kH}, 16), 1);
    SetAppActive();
    // The queue window the golf and fire messages go to.
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "FrontEndTestQueue";
    RegisterClassA(&wc);
    window_ = CreateWindowExA(0, "FrontEndTestQueue", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    Facts().queueWindow = window_;
    Loop().queueWindow = window_;
    ASSERT_EQ(Svc().game->CreateGame(kModeStroke), 1);
    CurrentGame()->courseName = "SEDGEFEN";
    CurrentScreen = nullptr;
    Drain();
  }
  void TearDown() override {
    Svc().frontEnd->DeleteCurrentScreen();
    DeleteCurrentGame();
    FreeCourseList();
    DisplayManagerClose();
    releasewindow();
    removewindow(display_);
    ResetServices();
    Drain();
    DestroyWindow(window_);
  }
  void Drain() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  // The main loop's passes: queued messages through the window procedure (golf messages kept aside), then idle.
  void Pump(int passes = 3) {
    for (int i = 0; i < passes; ++i) {
      MSG m;
      while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == 0x700) {
          golf_.push_back(static_cast<uint32_t>(m.wParam));
          continue;
        }
        // A dialog a fire opens reads the answers queued for it.
        if (m.message == WM_CONTROL_FIRE) {
          for (char c : answers_) PostMessageA(nullptr, WM_CHAR, static_cast<WPARAM>(c), 0);
          answers_.clear();
        }
        QueueWindowProc(nullptr, m.message, m.wParam, m.lParam);
      }
      MainLoopIdle();
    }
  }
  void Click(int x, int y) {
    SetCursorPos(x, y);
    Pump(1);
    QueueWindowProc(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    Pump(1);
    QueueWindowProc(nullptr, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }
  void Key(char c) { QueueWindowProc(nullptr, WM_CHAR, static_cast<WPARAM>(static_cast<uint8_t>(c)), 0); }
  void TakePart(int slot, const char* name) {
    TPlayer* p = CurrentGame()->players->GetPlayer(slot);
    p->flags |= kGolferTakesPart;
    std::snprintf(p->name, sizeof p->name, "%s", name);
  }
  // Answers the next dialog with a key: posted now, read by the dialog's loop.
  void Answer(char c) { answers_.push_back(c); }
  WindowDesc* display_ = nullptr;
  HWND window_ = nullptr;
  std::string answers_;
  std::vector<uint32_t> golf_;
};
