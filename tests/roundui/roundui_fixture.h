// A golfer on flat fairway ground with a view behind the ball, for the aiming and arc tests and benchmarks.
#pragma once

#include <cstdint>
#include <vector>

#include "golf/ballflight.h"
#include "golf/ballstate.h"
#include "golf/launch.h"
#include "golf/playerinfo.h"
#include "golf/predict.h"
#include "roundui/pixels16.h"
#include "roundui/powermeter.h"
#include "roundui/targeting.h"
#include "scene/golfview.h"
#include "support/ground.h"
#include "winapi/testing.h"

#include <gtest/gtest.h>

namespace roundtest {

// Tests on the virtual clock, single-threaded (waits never block for other threads).
class VirtualClockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    winapi::testing::Reset();
    winapi::testing::UseVirtualClock(true, 10000);
    winapi::testing::SetVirtualWaitGrace(0);
  }
  void TearDown() override { winapi::testing::Reset(); }
};

struct Picture16 {
  int32_t width, height;
  std::vector<uint16_t> pixels;
  Picture16(int32_t w, int32_t h, uint16_t fill) : width(w), height(h), pixels(static_cast<size_t>(w) * h, fill) {}
  Pixels16 Target() { return Pixels16{pixels.data(), width, height, width}; }
  uint32_t Rgb(int32_t x, int32_t y) const {
    const uint16_t p = pixels[static_cast<size_t>(y) * width + x];
    const uint32_t r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
    return ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
  }
};

struct Hole {
  playerInfo_s golfer;
  TGolfView view;
  TPowerMeterUI meter;
  TargetingArcEventHandler arc;

  // A 400 x 600 yard fairway; the ball 250 yards short of the far end, aimed straight up the hole.
  explicit Hole(int club = 0, float aimYards = 240.0f) {
    balltest::makeGround(400, 600, 0x10);
    golfer.flags = kGolferTakesPart | kGolferFlag5;
    golfer.bag = 0x1FFFFF;
    golfer.currentClub = static_cast<uint8_t>(club);
    golfer.shotType = club == 20 ? 7 : 0;
    golfer.ball.position = Vector3{0.0f, -250.0f, 0.0f};
    golfer.ball.lie = 1;
    ActiveGolferRecord = &golfer;
    ShotMeter = ShotMeterValues{};
    ShotRiskValue = 0;
    GuideSwitch = true;
    BallClearCup();
    BallSetWind(0, 0);
    const int32_t rect[4] = {0, 0, 320, 240};
    view.SetViewport(rect, nullptr, 0, 1);
    view.SetProjectionScale(425.0f, 1);  // the 640-pixel scale halved for the 320-pixel view
    view.focusPoint = golfer.ball.position;
    LookToward(view, Vector3{0.0f, -250.0f + aimYards, 0.0f});
    arc.view = &view;
    arc.screenWidth = 320;
    arc.screenHeight = 240;
    arc.Init();
    AimPoint = Vector3{0.0f, -250.0f + aimYards, 0.0f};
  }
  ~Hole() {
    ActiveGolferRecord = nullptr;
    GuideSwitch = false;
  }
};

}  // namespace roundtest
