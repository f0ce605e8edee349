// A 640 x 480 16-bit screen over the demo installation's fonts and in-round art, with a banded stand-in for the
// 3D view, for the pictures of the in-round interface (compared with golden pictures; TEEBOX_UPDATE_GOLDEN=1
// rewrites them).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "framework/ui/inputstate.h"
#include "golf/gameflow.h"
#include "golf/golfmsg.h"
#include "platformlib/core/memclass.h"
#include "platformlib/gfx/gfxdisplay.h"
#include "platformlib/gfx/rowspace.h"
#include "platformlib/gfx/windowdesc.h"
#include "roundui/aftershot.h"
#include "roundui/gameui.h"
#include "roundui/scorecard.h"
#include "roundui/shotclock.h"
#include "roundui/shotresult.h"
#include "roundui/uishapes.h"
#include "app/gameapp.h"
#include "support/demo_installation.h"
#include "support/golden.h"
#include "support/ground.h"
#include "winapi/testing.h"

namespace roundtest {

constexpr int kW = 640, kH = 480;

inline std::string& Installation() { return DemoInstallation("teebox_roundui", 1); }

class RoundPictures : public ::testing::Test {
 protected:
  static void TearDownTestSuite() { RemoveDemoInstallation(); }
  void SetUp() override {
    ASSERT_NE(Installation()[0], '!') << Installation();
    winapi::testing::Reset();
    winapi::testing::UseVirtualClock(true, 10000);
    winapi::testing::SetVirtualWaitGrace(0);
    winapi::testing::MapDrive('C', Installation());
    if (!memstarted()) initmem();
    gfxresetdisplay();
    rowspacesize = 65536;
    initrow();
    releasewindow();
    ResetServices();
    Facts() = SharedFacts{};
    Facts().screenWidth = kW;
    Facts().screenHeight = kH;
    Facts().fontFolder = "C:\\DATA\\FONTS";
    InputReset();
    display_ = createwindowadra(kW, kH, 16, 1);
    ASSERT_NE(display_, nullptr);
    DisplayWindow = *display_;
    ASSERT_EQ(DisplayManagerInit(MARect{0, 0, kW, kH}, 16), 1);
    PaintView();
  }
  void TearDown() override {
    DestroyAfterShotHandler();
    FreeScoreCardFont();
    DeleteCurrentGame();
    FontResetState();
    DisplayManagerClose();
    releasewindow();
    DisplayWindow = WindowDesc{};
    removewindow(display_);
    ResetServices();
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
    winapi::testing::Reset();
  }
  // A stand-in for the 3D view: sky over grass, in bands, so that the panels' darkening shows.
  void PaintView() {
    WindowDesc* w = DrawnImage()->window;
    for (int32_t y = 0; y < kH; ++y) {
      auto* px = reinterpret_cast<uint16_t*>(w->pixels + y * w->rowbytes);
      for (int32_t x = 0; x < kW; ++x) {
        const uint32_t r = y < 200 ? 90 + y / 4 : 40 + (x / 40 % 2) * 16, g = y < 200 ? 150 + y / 4 : 140 + (y / 30 % 2) * 20,
                       b = y < 200 ? 230 : 50;
        px[x] = static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
      }
    }
  }
  static d3dtest::Picture Crop(int32_t x0, int32_t y0, int32_t width, int32_t height) {
    const WindowDesc* w = DrawnImage()->window;
    d3dtest::Picture p;
    p.width = width;
    p.height = height;
    for (int32_t y = y0; y < y0 + height; ++y)
      for (int32_t x = x0; x < x0 + width; ++x) {
        const uint16_t px = reinterpret_cast<const uint16_t*>(w->pixels + y * w->rowbytes)[x];
        p.rgb.push_back((((px >> 11) & 31) * 255 / 31) << 16 | (((px >> 5) & 63) * 255 / 63) << 8 | ((px & 31) * 255 / 31));
      }
    return p;
  }
  WindowDesc* display_ = nullptr;
};

// Every screen size's art folder at the demo's 640 x 480 art (the dialog archive and "ui.viv").
inline void UseDemoArtFolders() {
  DataFolders& f = Folders();
  f = DataFolders{};
  std::strcpy(f.ui640.drive, "c:");
  PathSetDirectory(&f.ui640, "|DATA|UI640");
  f.ui800 = f.ui1024 = f.ui640;
}

// The window golf messages are posted to (GolfMainWindow) for a test, and what was posted to it since.
inline void MakeGolfWindow() {
  WNDCLASSA cls{};
  cls.lpfnWndProc = DefWindowProcA;
  cls.lpszClassName = "RoundTestGolf";
  RegisterClassA(&cls);
  GolfMainWindow = CreateWindowExA(0, "RoundTestGolf", "golf", 0, 0, 0, 8, 8, nullptr, nullptr, nullptr, nullptr);
}
inline void DestroyGolfWindow() {
  DestroyWindow(GolfMainWindow);
  GolfMainWindow = nullptr;
}
inline std::vector<uint32_t> PostedGolfMessages() {
  std::vector<uint32_t> ids;
  MSG m{};
  while (PeekMessageA(&m, GolfMainWindow, 0, 0, PM_REMOVE))
    if (m.message == kGolfWindowMessage) ids.push_back(static_cast<uint32_t>(m.wParam));
  return ids;
}

}  // namespace roundtest
