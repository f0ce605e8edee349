// The power meter: positions and power, a swing run by scripted keys on the virtual clock, the Pro swing, and
// the shot a swing becomes (mishits, direction error).
#include <gtest/gtest.h>

#include <cmath>

#include "framework/core/services.h"
#include "golf/launch.h"
#include "golf/playerinfo.h"
#include "golf/predict.h"
#include "roundui/powermeter.h"
#include "roundui_fixture.h"
#include "windows.h"
#include "winapi/testing.h"

namespace {

namespace wt = winapi::testing;

class MeterTest : public roundtest::VirtualClockTest {
 protected:
  void SetUp() override {
    VirtualClockTest::SetUp();
    golfer_.bag = 0x1FFFFF;
    golfer_.currentClub = 0;
    golfer_.ball.position = Vector3{0.0f, 0.0f, 0.0f};
    golfer_.ball.lie = 1;
    ActiveGolferRecord = &golfer_;
    ShotAimPoint = Vector3{0.0f, 200.0f, 0.0f};
    ShotRiskValue = 0;
    GuideSwitch = false;
    Svc().scene->SeedRandom15(7);
    meter_.computeShot = [this](TPowerMeterUI* m) {
      computed_++;
      ComputeShotFromSwing(m, &golfer_.ball, &golfer_, Vector3{0.0f, -10.0f, 2.0f});
    };
  }
  void TearDown() override {
    ActiveGolferRecord = nullptr;
    GuideSwitch = false;
    VirtualClockTest::TearDown();
  }
  playerInfo_s golfer_;
  TPowerMeterUI meter_;
  int computed_ = 0;
};

TEST_F(MeterTest, PositionsAndPower) {
  const struct {
    float power;
    bool big;
    int32_t pos;
  } cases[] = {{1.0f, false, 32760}, {0.5f, false, 16380}, {0.0f, false, 0}, {1.05f, false, 40950},
               {1.025f, false, 36764}, {1.09f, true, 40950}, {0.333f, false, 10738}};
  for (const auto& c : cases) {
    meter_.bigAllowance = c.big;
    EXPECT_EQ(meter_.PowerToMeterPos(c.power), c.pos) << c.power;
    EXPECT_EQ(meter_.PowerToMeterPos(c.power) % kMeterDegree, 0);
  }
  meter_.bigAllowance = false;
  EXPECT_FLOAT_EQ(meter_.MeterPosToPower(0x8000), 1.0f);
  EXPECT_FLOAT_EQ(meter_.MeterPosToPower(0x4000), 0.5f);
  EXPECT_FLOAT_EQ(meter_.MeterPosToPower(0xA000), 1.05f);
  EXPECT_FLOAT_EQ(meter_.MeterPosToPower(0xC000), 1.05f);
  // 1.2 clamps to 1.05, whose position is cut to 225 whole degrees.
  meter_.SetPower(1.2f);
  EXPECT_EQ(meter_.powerPreset, 40950);
  EXPECT_FLOAT_EQ(meter_.power, 1.0f + 8182.0f / 8192.0f * 0.05f);
  meter_.bigAllowance = true;
  meter_.SetPower(1.2f);
  EXPECT_FLOAT_EQ(meter_.power, 1.0f + 8182.0f / 8192.0f * 0.09f);
  meter_.SetPower(-1.0f);
  EXPECT_EQ(meter_.power, 0.0f);
  meter_.state = kMeterRising;
  meter_.SetPower(0.7f);
  EXPECT_EQ(meter_.power, 0.0f);  // refused during a swing
}

TEST_F(MeterTest, MarksAndPresses) {
  struct Case {
    int8_t state;
    int32_t needle;
    int32_t powerMarkBefore;
    int8_t stateAfter;
    int32_t powerMark, accuracyMark;
  };
  const Case cases[] = {
      {kMeterRising, 0, kMeterNone, kMeterRising, kMeterNone, kMeterNone},          // at or below 0: ignored
      {kMeterRising, 0x4000 + 100, kMeterNone, kMeterStopping, 16380, kMeterNone},  // cut to whole degrees
      {kMeterStopping, 0x5000, kMeterNone, kMeterStopping, 20384, kMeterNone},
      {kMeterReturning, 0x2000, 0x8000, kMeterReturning, 0x8000, kMeterNone},         // above the window
      {kMeterReturning, 100, 0x8000, kMeterFollow, 0x8000, 0},                        // within a degree: perfect
      {kMeterReturning, -400, 0x8000, kMeterFollow, 0x8000, -400},
      {kMeterBackswing, -300, kMeterNone, kMeterBackswing, kMeterNone, kMeterNone},
  };
  for (const Case& c : cases) {
    meter_.state = c.state;
    meter_.needle = c.needle;
    meter_.powerMark = c.powerMarkBefore;
    meter_.accuracyMark = kMeterNone;
    meter_.SwingPress();
    EXPECT_EQ(meter_.state, c.stateAfter) << c.needle;
    EXPECT_EQ(meter_.powerMark, c.powerMark) << c.needle;
    EXPECT_EQ(meter_.accuracyMark, c.accuracyMark) << c.needle;
  }
  // A press past full power speeds the return.
  meter_.state = kMeterRising;
  meter_.needle = 0x8200;
  meter_.returnTarget = 0x313B1;
  meter_.SetPowerMark();
  EXPECT_EQ(meter_.returnTarget, static_cast<uint32_t>(0x313B1 * 0.82f));
}

TEST_F(MeterTest, NeedleMovesOnlyOnWholeDegrees) {
  meter_.needle = 0;
  EXPECT_FALSE(meter_.MoveNeedleUp(181));
  EXPECT_EQ(meter_.needle, 0);
  EXPECT_TRUE(meter_.MoveNeedleUp(182));
  EXPECT_EQ(meter_.needle, 182);
  meter_.needle = 0x9F00;
  EXPECT_TRUE(meter_.MoveNeedleUp(0xB60));
  EXPECT_EQ(meter_.needle, kMeterTop);
  meter_.needle = -0x1900;
  EXPECT_TRUE(meter_.MoveNeedleDown(0xB60));
  EXPECT_EQ(meter_.needle, -kMeterWindow);
}

// Three presses of the space bar at these times after the swing starts (the first press starts it).
struct SwingRun {
  int32_t powerMark, accuracyMark;
  uint32_t ms;
};

SwingRun ScriptedSwing(TPowerMeterUI& meter, uint32_t powerAt, uint32_t accuracyAt) {
  std::vector<wt::ScriptedEvent> script;
  for (uint32_t at : {powerAt, accuracyAt}) {
    auto press = wt::ScriptPress(at, VK_SPACE, 30);
    script.insert(script.end(), press.begin(), press.end());
  }
  wt::StartInputScript(script, 1);
  const uint32_t start = GetTickCount();
  meter.RunSwing(false);
  wt::StopInputScript();
  return {meter.powerMark, meter.accuracyMark, GetTickCount() - start};
}

TEST_F(MeterTest, ScriptedThreeClickSwing) {
  const SwingRun first = ScriptedSwing(meter_, 1350, 1900);
  EXPECT_EQ(computed_, 1);
  EXPECT_EQ(meter_.state, kMeterIdle);
  EXPECT_GT(first.powerMark, 0x6000);
  EXPECT_LT(first.powerMark, kMeterTop);
  EXPECT_EQ(first.powerMark % kMeterDegree, 0);
  EXPECT_NE(first.accuracyMark, kMeterNone);
  // The same script gives the same swing.
  const SwingRun again = ScriptedSwing(meter_, 1350, 1900);
  EXPECT_EQ(again.powerMark, first.powerMark);
  EXPECT_EQ(again.accuracyMark, first.accuracyMark);
  EXPECT_EQ(again.ms, first.ms);
  // A later power press gives more power; no accuracy press leaves the full deflection.
  const SwingRun late = ScriptedSwing(meter_, 1450, 60000);
  EXPECT_GT(late.powerMark, first.powerMark);
  EXPECT_EQ(late.accuracyMark, -kMeterWindow);
  // The set-up values come back after the swing.
  EXPECT_EQ(meter_.power, 1.0f);
}

TEST_F(MeterTest, NoPowerPressStopsAtTheTop) {
  const SwingRun run = ScriptedSwing(meter_, 60000, 60000);
  EXPECT_EQ(run.powerMark, kMeterTop);
  EXPECT_EQ(run.accuracyMark, -kMeterWindow);
  EXPECT_LT(run.ms, 10000u);
}

TEST_F(MeterTest, ASwingEndsOnAVirtualClockThatNothingMoves) {
  meter_.RunSwing(false);
  EXPECT_EQ(meter_.state, kMeterIdle);
  EXPECT_EQ(meter_.powerMark, kMeterTop);
  EXPECT_EQ(meter_.accuracyMark, -kMeterWindow);
  EXPECT_EQ(computed_, 1);
}

TEST_F(MeterTest, ProSwingByScriptedPointer) {
  meter_.proSwing = true;
  const int cx = GetSystemMetrics(SM_CXSCREEN) / 2, cy = GetSystemMetrics(SM_CYSCREEN) / 2;
  auto run = [&](int pull, int push) {
    std::vector<wt::ScriptedEvent> script;
    // Back (down) for 300 ms, then forward (up) fast; every sample is re-centred.
    for (uint32_t t = 5; t < 300; t += 5) script.push_back(wt::ScriptPointer(t, cx, cy + pull));
    for (uint32_t t = 300; t < 900; t += 5) script.push_back(wt::ScriptPointer(t, cx, cy - push));
    wt::StartInputScript(script, 1);
    meter_.RunSwing(false);
    wt::StopInputScript();
    return meter_.powerMark;
  };
  const int32_t soft = run(30, 60);
  EXPECT_EQ(meter_.accuracyMark, 0);
  EXPECT_EQ(meter_.state, kMeterIdle);
  const int32_t hard = run(30, 200);
  EXPECT_GT(hard, soft);
  EXPECT_EQ(run(30, 60), soft);
  EXPECT_EQ(computed_, 3);
}

// An 8-bit frame of w x h pixels of colour index `index`, hot spot in its middle, with a 32-bit colour table.
std::vector<uint8_t> ArtFrame(int w, int h, uint8_t index, uint32_t colour) {
  const uint32_t clutAt = 16 + static_cast<uint32_t>(w * h);
  std::vector<uint8_t> f(clutAt + 16 + 256 * 4, 0);
  const uint32_t word = 0x7Bu | (clutAt << 8);
  for (int i = 0; i < 4; ++i) f[i] = static_cast<uint8_t>(word >> (8 * i));
  f[4] = static_cast<uint8_t>(w), f[6] = static_cast<uint8_t>(h), f[8] = static_cast<uint8_t>(w / 2), f[10] = static_cast<uint8_t>(h / 2);
  for (int i = 0; i < w * h; ++i) f[16 + i] = (i % w) < w / 2 ? index : 255;  // the right half transparent
  uint8_t* clut = &f[clutAt];
  clut[0] = 0x2A;
  clut[5] = 1;  // 256 entries
  clut[6] = 1;
  for (int i = 0; i < 4; ++i) clut[16 + 4 * index + i] = static_cast<uint8_t>(colour >> (8 * i));
  return f;
}

TEST_F(MeterTest, ArtFramesColourTheArc) {
  const std::vector<uint8_t> plain = ArtFrame(120, 120, 7, 0xFF102030), lit = ArtFrame(120, 120, 9, 0xFFF0E0D0);
  meter_.Layout(60, 60, 54);
  meter_.UseArt(plain.data(), lit.data());
  std::vector<uint16_t> pixels(120 * 120, 0);
  Pixels16 t{pixels.data(), 120, 120, 120};
  meter_.Paint(t);
  // Left half (opaque art): the plain colour on the rising side; the idle band lies to the lower right, where
  // the art is transparent and the meter's own highlight shows.
  EXPECT_EQ(pixels[60 * 120 + 20], Rgb565(0x102030));
  EXPECT_NE(pixels[60 * 120 + 100], Rgb565(0x102030));
  meter_.state = kMeterRising;
  meter_.needle = 0x6000;
  meter_.Paint(t);
  EXPECT_EQ(pixels[60 * 120 + 20], Rgb565(0xF0E0D0));  // behind the rising needle: the highlighted art
  meter_.UseArt(nullptr, nullptr);
}

TEST_F(MeterTest, ProSwingIconFrames) {
  meter_.proSwing = true;
  struct Case {
    int iconClass;
    int8_t state;
    int32_t needle;
    int frame;
  };
  const Case cases[] = {{5, kMeterIdle, 0, 1},           {5, kMeterBackswing, -6553, 24}, {5, kMeterBackswing, 0, 1},
                        {5, kMeterRising, -3276, 28},    {4, kMeterRising, 0, 26},         {7, kMeterFollow, 0, 46},
                        {3, kMeterBackswing, -3276, 8}};
  for (const Case& c : cases) {
    meter_.iconClass = c.iconClass;
    meter_.state = c.state;
    meter_.needle = c.needle;
    EXPECT_EQ(meter_.ProSwingIconFrame(), c.frame) << c.iconClass << " " << int(c.state);
  }
}

// ---- the shot ---------------------------------------------------------------------------------------------------

float Heading(const BallState& b) { return std::atan2(b.velocity.x, b.velocity.y); }

TEST_F(MeterTest, PerfectSwingLaunchesAtFullPowerWithTheSetUpCurve) {
  GuideSwitch = true;  // no random aim deviation
  meter_.curve = 10.0f;
  meter_.powerMark = 0x8000;
  meter_.accuracyMark = 0;
  ComputeShotFromSwing(&meter_, &golfer_.ball, &golfer_, Vector3{0.0f, -10.0f, 2.0f});
  EXPECT_EQ(meter_.mishit, 0);
  EXPECT_EQ(meter_.finalPower, 1.0f);
  EXPECT_EQ(meter_.finalCurve, 10.0f);
  EXPECT_EQ(meter_.shotFactorA, 1.0f);
  EXPECT_EQ(meter_.shotFactorB, 1.0f);
  EXPECT_NEAR(Heading(golfer_.ball), 0.0f, 1e-5f);
}

TEST_F(MeterTest, DirectionErrorTable) {
  GuideSwitch = true;
  struct Case {
    int club;
    int setting;
    int32_t accuracy;
    float expected;  // heading change in radians
  };
  // The eye 10 yd behind a 200 yd target: D > 50, g = 5 degrees x 80 / D.
  const float D = std::sqrt(210.0f * 210.0f + 4.0f);
  const float g = 0.0872665f * 80.0f / D;
  const float a = 1000.0f / 6553.0f;
  const Case cases[] = {
      {0, 0, 1000, a * 0.5f * g},          // risk 0: x 8/16
      {0, 0, -1000, -a * 0.5f * g},
      {0, 1, 1000, a * 0.5f * 0.8f * 0.85f * g},
      {0, 2, 1000, a * 0.5f * 0.5f * 0.7f * g},
      {20, 0, 1000, a * 1.5f * g},         // the putter: no risk scale, 1.5 times larger
  };
  for (const Case& c : cases) {
    golfer_.currentClub = static_cast<uint8_t>(c.club);
    golfer_.shotType = c.club == 20 ? 7 : 0;
    meter_.distanceSetting = c.setting;
    meter_.curve = 0.0f;
    meter_.powerMark = 0x8000;
    meter_.accuracyMark = 0;
    ComputeShotFromSwing(&meter_, &golfer_.ball, &golfer_, Vector3{0.0f, -10.0f, 2.0f});
    const float straight = Heading(golfer_.ball);
    meter_.accuracyMark = c.accuracy;
    ComputeShotFromSwing(&meter_, &golfer_.ball, &golfer_, Vector3{0.0f, -10.0f, 2.0f});
    float turned = Heading(golfer_.ball) - straight;
    if (turned > 3.14159f) turned -= 6.2831853f;
    if (turned < -3.14159f) turned += 6.2831853f;
    EXPECT_NEAR(turned, c.expected, 1e-4f) << c.club << " " << c.setting << " " << c.accuracy;
  }
}

TEST_F(MeterTest, MishitTable) {
  struct Case {
    int club;
    bool computer;
    int32_t power, accuracy;
    bool alwaysMishit;   // every draw mishits
    bool neverMishit;    // no draw mishits
  };
  const Case cases[] = {
      {0, false, 0x8000, 0, false, true},          // perfect
      {0, false, 0x8000, -0x1400, true, false},    // beyond 27 degrees
      {20, false, 0xA000, -0x1000, false, true},   // a putt never mishits within 27 degrees
      {0, true, 0xA000, -0x1000, false, true},     // nor a computer golfer
      {0, false, 0xA000, -0x1000, false, false},   // overswing and a poor strike: sometimes
  };
  for (const Case& c : cases) {
    golfer_.currentClub = static_cast<uint8_t>(c.club);
    golfer_.shotType = c.club == 20 ? 7 : 0;
    meter_.computer = c.computer;
    int mishits = 0, factorsMoved = 0;
    for (int i = 0; i < 60; ++i) {
      meter_.powerMark = c.power;
      meter_.accuracyMark = c.accuracy;
      ComputeShotFromSwing(&meter_, &golfer_.ball, &golfer_, Vector3{0.0f, -10.0f, 2.0f});
      mishits += meter_.mishit;
      if (meter_.shotFactorA != 1.0f || meter_.shotFactorB != 1.0f) ++factorsMoved;
    }
    if (c.alwaysMishit) {
      EXPECT_EQ(mishits, 60) << c.power;
    }
    if (c.neverMishit) {
      EXPECT_EQ(mishits, 0) << c.power;
      EXPECT_EQ(factorsMoved, 0);
    }
    if (!c.alwaysMishit && !c.neverMishit) {
      EXPECT_GT(mishits, 0);
      EXPECT_LT(mishits, 60);
      EXPECT_GT(factorsMoved, 0);
    }
  }
}

}  // namespace
