// The after-shot menu, the result banners and the score card as drawn on a 640 x 480 screen in the demo
// installation's fonts, compared with golden pictures (TEEBOX_UPDATE_GOLDEN=1 rewrites them).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <filesystem>

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
#include "roundui/scorecard.h"
#include "roundui/shotresult.h"
#include "support/demo_installation.h"
#include "support/golden.h"
#include "support/ground.h"
#include "winapi/testing.h"

namespace {

constexpr int kW = 640, kH = 480;

std::string& Installation() { return DemoInstallation("teebox_roundui", 1); }

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

TEST_F(RoundPictures, AfterShotMenuOverTheView) {
  ASSERT_TRUE(balltest::makeGround(60, 300, 0x10));
  ASSERT_EQ(CreateGame(kModeStroke), 1);
  TGame* g = CurrentGame();
  g->roundRunning = 1;
  TPlayer* p = g->players->GetPlayer(0);
  p->flags |= kGolferTakesPart;
  p->SetMulliganRule(1);
  g->hasLastShot = true;
  PlaceBallAt(p, Vector3{0.0f, -100.0f, 0.0f});
  p->ball.position = Vector3{0.0f, 30.0f, 0.0f};
  p->ball.lie = 9;
  p->ball.Flag(kBallFlagOutOfBounds) = 1;
  ASSERT_EQ(CreateAfterShotHandler(), 0);
  BeginAfterShot();
  ASSERT_TRUE(AfterShotMenuShown());
  EXPECT_EQ(AfterShotMenuRows(), "Mulligan, *Rehit, Save shot");
  EXPECT_EQ(ResultBannerTexts(), (std::vector<std::string>{"Out of Bounds: 1 Stroke Penalty"}));
  d3dtest::ExpectGolden(Crop(380, 300, 200, 120), "aftershot_menu", 0, "roundui");
  // The choice takes the menu and the banner off and gives the view back.
  CmdRehit();
  EraseResultBanners();
  const d3dtest::Picture after = Crop(0, 0, kW, kH);
  PaintView();
  const d3dtest::Picture view = Crop(0, 0, kW, kH);
  size_t differ = 0;
  for (size_t i = 0; i < view.rgb.size(); ++i) differ += after.rgb[i] != view.rgb[i];
  EXPECT_EQ(differ, 0u) << "first at " << std::distance(view.rgb.begin(), std::mismatch(view.rgb.begin(), view.rgb.end(), after.rgb.begin()).first);
}

TEST_F(RoundPictures, BannersOneAndTwoLines) {
  ShowResultBanner("Birdie");
  ShowResultBanner("Ada Birchall and Tom Ruskin win the point, two up with three to play");
  EXPECT_EQ(ResultBannersShown(), 2);
  d3dtest::ExpectGolden(Crop(0, 90, kW, 150), "banners", 0, "roundui");
  EraseResultBanners();
  EXPECT_EQ(ResultBannersShown(), 0);
}

TEST_F(RoundPictures, ScoreCardBackNine) {
  CardInput in;
  static const int kPars[9] = {4, 4, 3, 5, 4, 4, 3, 5, 4};
  for (int h = 0; h < 18; ++h) {
    in.course.par[h] = kPars[h % 9];
    in.course.strokeIndex[h] = (h * 7) % 18 + 1;
    in.course.yards[0][h] = 420 + 10 * h;
    in.course.yards[1][h] = 400 + 10 * h;
    in.course.yards[2][h] = 370 + 10 * h;
    in.course.yards[3][h] = 340 + 10 * h;
  }
  in.course.ratings[0] = 74 << 16 | 0x3333;
  in.course.ratings[1] = 72 << 16 | 0x8000;
  in.course.ratings[2] = 70 << 16;
  in.course.ratings[3] = 68 << 16 | 0xCCCC;
  in.frontNine = false;
  in.lastHole = 13;
  const char* names[2] = {"Ada Birchall", "Bartholomew Quill"};
  for (int s = 0; s < 2; ++s) {
    CardGolfer& g = in.golfers[s];
    g.present = true;
    g.name = names[s];
    g.handicap = s == 0 ? 0 : 6;
    for (int h = 0; h <= 13; ++h) g.strokes[h] = static_cast<uint32_t>(kPars[h % 9] + (h + s) % 3 - 1);
  }
  in.golfers[1].strokes[12] = 9 | 0x10000000;
  DrawScorecard(in, 40, 120);
  d3dtest::ExpectGolden(Crop(40, 120, CardWidth(0), CardHeight(0)), "scorecard", 0, "roundui");
}

}  // namespace
