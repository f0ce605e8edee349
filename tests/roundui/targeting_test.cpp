// Aiming and the predicted arc: aim steps, the ribbon of a drive, the putt, the flight that never comes down,
// and the aim a mouse click places.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "golf/launch.h"
#include "roundui_fixture.h"
#include "windows.h"
#include "winapi/testing.h"

namespace {

namespace wt = winapi::testing;
using roundtest::Hole;

float Ground(const Vector3& ball, const Vector3& aim) { return std::hypot(aim.x - ball.x, aim.y - ball.y); }

TEST(AimSteps, TurnAndStretchAboutTheBall) {
  const Vector3 ball{10.0f, 20.0f, 1.0f};
  const Vector3 aim{10.0f, 120.0f, 4.0f};
  const struct {
    float radians;
    float length;
    float x, y;
  } cases[] = {
      {0.0087266f, 100.0f, 10.0f - 100.0f * std::sin(0.0087266f), 20.0f + 100.0f * std::cos(0.0087266f)},
      {-0.0087266f, 100.0f, 10.0f + 100.0f * std::sin(0.0087266f), 20.0f + 100.0f * std::cos(0.0087266f)},
      {0.0f, 101.0f, 10.0f, 121.0f},
      {0.0f, 0.2f, 10.0f, 21.0f},  // never under one yard
  };
  for (const auto& c : cases) {
    const Vector3 turned = TurnAim(ball, aim, c.radians);
    const Vector3 p = StretchAim(ball, turned, c.length);
    EXPECT_NEAR(p.x, c.x, 1e-3f);
    EXPECT_NEAR(p.y, c.y, 1e-3f);
    EXPECT_EQ(p.z, 4.0f);
  }
}

using AimKeysTest = roundtest::VirtualClockTest;

TEST_F(AimKeysTest, AKeyStepsOnceATapAndOnTheClockWhileHeld) {
  struct Case {
    uint16_t code;
    int vk;
    uint32_t holdMs;
    float length;  // ground length after the key is released
    float angleDegrees;
  };
  // Up grows the aim by 1 per cent of the distance a pass, down shrinks it by 2 per cent.
  const Case cases[] = {{kKeyUp, VK_UP, 0, 240.0f * 1.01f, 90.0f},
                        {kKeyDown, VK_DOWN, 0, 240.0f * 0.98f, 90.0f},
                        {kKeyLeft, VK_LEFT, 0, 240.0f, 90.5f},
                        {kKeyRight, VK_RIGHT, 0, 240.0f, 89.5f}};
  for (const Case& c : cases) {
    Hole hole;
    hole.arc.OnChar(c.code);  // the key is already up: one pass
    const Vector3 ball = hole.golfer.ball.position;
    EXPECT_NEAR(Ground(ball, AimPoint), c.length, 0.01f) << c.code;
    EXPECT_NEAR(std::atan2(AimPoint.y - ball.y, AimPoint.x - ball.x) * 180.0f / 3.14159265f, c.angleDegrees, 0.001f);
    EXPECT_TRUE(hole.arc.arcReady);
  }
  // Held down: one step every kAimStepMs of the clock while GetAsyncKeyState says it is down, however fast the
  // passes run (each poll moves the clock 1 ms): a short tap is one step, 70 ms are three.
  for (const auto& [holdMs, steps] : {std::pair<uint32_t, int>{5, 1}, {70, 3}}) {
    Hole hole;
    wt::StartInputScript({wt::ScriptKey(0, VK_DOWN, true), wt::ScriptKey(holdMs, VK_DOWN, false)}, 1);
    wt::AdvanceClock(1);
    hole.arc.OnChar(kKeyDown);
    wt::StopInputScript();
    const float length = Ground(hole.golfer.ball.position, AimPoint);
    EXPECT_NEAR(length, 240.0f * std::pow(0.98f, static_cast<float>(steps)), 0.05f) << holdMs;
  }
}

TEST_F(AimKeysTest, ShiftShapesTheShotExceptWithThePutter) {
  for (int club : {0, 20}) {
    Hole hole(club, club == 20 ? 6.0f : 240.0f);
    // Each gesture ends by flushing the input, so Shift goes down again for the second.
    for (uint16_t code : {kKeyLeft, kKeyDown}) {
      keybd_event(VK_SHIFT, 0, 0, 0);
      hole.arc.OnChar(code);
      keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
    }
    EXPECT_EQ(hole.meter.curve, club == 20 ? 0.0f : 2.0f);
    EXPECT_EQ(hole.meter.trajectory, club == 20 ? 0.0f : 2.0f);
    EXPECT_TRUE(hole.arc.arcReady);
  }
}

// Turning the aim asks for the club of the aim's distance, as the golfer's automatic-club option allows: a driver
// aimed at a shorter distance becomes that distance's club on the first tap.
TEST_F(AimKeysTest, TurningTheAimChoosesTheClubForItsDistance) {
  const bool kept = AutoClubEnabled;
  for (bool automatic : {true, false}) {
    AutoClubEnabled = automatic;
    Hole hole(0, 200.0f);
    const int forAim = ChooseClubForAim(&hole.golfer, 200.0f);
    ASSERT_NE(forAim, 0);
    hole.arc.OnChar(kKeyLeft);
    EXPECT_EQ(int(hole.golfer.currentClub), automatic ? forAim : 0) << automatic;
  }
  AutoClubEnabled = kept;
}

// The arc shows the shape set on the meter: a draw lands left of the straight shot, a cut right.
TEST(Arc, TheArcBendsWithTheMetersCurve) {
  float landingX[3];
  const float curves[3] = {0.0f, 25.0f, -25.0f};
  for (int i = 0; i < 3; ++i) {
    Hole hole;
    hole.meter.SetCurve(curves[i]);
    UpdateTargeting(&hole.arc, 0, 0, 0, 0);
    landingX[i] = hole.arc.landing.x;
  }
  EXPECT_LT(landingX[1], landingX[0] - 1.0f);
  EXPECT_GT(landingX[2], landingX[0] + 1.0f);
}

TEST(Arc, ADriveTapersFromTheBallToTheLanding) {
  Hole hole;
  UpdateTargeting(&hole.arc, 0, 0, 0, 0);
  const auto& segs = hole.arc.segments;
  ASSERT_GT(segs.size(), 3u);
  EXPECT_LT(segs.size(), static_cast<size_t>(kArcSegmentCapacity));
  EXPECT_EQ(segs.front().x[1] - segs.front().x[0], 17);   // one pixel and 8 each side
  EXPECT_EQ(segs.back().x[2] - segs.back().x[3], 3);      // never under 1 each side
  for (const ArcSegment& s : segs) EXPECT_EQ(s.kind, kArcFlight);
  EXPECT_EQ(LandingMarkers[0].kind, kArcFlight);
  EXPECT_EQ(LandingMarkers[1].kind, kArcSecond);
  // Full power lands beyond the aimed shot.
  EXPECT_GT(LandingMarkers[0].point.y, LandingMarkers[1].point.y);
  EXPECT_FALSE(hole.arc.hazardWarning);
  EXPECT_FALSE(hole.arc.flewAway);
  EXPECT_EQ(hole.arc.TagLines().front(), "driver");
  // "Unadjusted": only the aimed shot.
  hole.arc.unadjusted = true;
  UpdateTargeting(&hole.arc, 0, 0, 0, 0);
  EXPECT_EQ(LandingMarkers[1].kind, 0);
}

TEST(Arc, AHazardLandingTurnsTheRibbonRed) {
  Hole hole;
  balltest::band(-60.0f, 100.0f, 0x50);  // water where the drive comes down
  hole.arc.hazardCodes[0] = 0x50;
  UpdateTargeting(&hole.arc, 0, 0, 0, 0);
  EXPECT_TRUE(hole.arc.hazardWarning);
  EXPECT_EQ(LandingMarkers[0].kind, kArcHazard);
  // The ribbon is red from where the flight is over the hazard on.
  ASSERT_FALSE(hole.arc.segments.empty());
  EXPECT_EQ(hole.arc.segments.front().kind, kArcFlight);
  EXPECT_EQ(hole.arc.segments.back().kind, kArcHazard);
}

TEST(Arc, AFlightThatNeverComesDownStopsAtTheStepLimit) {
  Hole hole;
  hole.golfer.ball.gravity = Vector3{0.0f, 0.0f, 0.0f};
  int told = 0;
  hole.arc.onFlewAway = [&] { ++told; };
  UpdateTargeting(&hole.arc, 0, 0, 0, 0);
  EXPECT_TRUE(hole.arc.flewAway);
  EXPECT_EQ(told, 1);
  EXPECT_LE(hole.arc.segments.size(), static_cast<size_t>(kArcSegmentCapacity));
  EXPECT_TRUE(hole.arc.arcReady);
}

TEST(Arc, APuttShowsTheTargetAndNoRibbon) {
  Hole hole(20, 5.0f);
  UpdateTargeting(&hole.arc, 0, 0, 0, 0);
  EXPECT_TRUE(hole.arc.segments.empty());
  EXPECT_EQ(LandingMarkers[0].kind, 0);
  EXPECT_EQ(LandingMarkers[1].kind, kArcSecond);
  // 5 yards is 15 feet: the 20-foot scale, 6 yards from the ball.
  EXPECT_NEAR(LandingMarkers[0].point.y - hole.golfer.ball.position.y, 6.0f, 1e-4f);
}

TEST(Arc, TakingThePutterAfterALaidOutDriveLeavesNoRibbon) {
  // The drive's ribbon, seen from behind the ball, stands as a tall column: it must not stay up for the putt.
  Hole hole;
  UpdateTargeting(&hole.arc, 0, 0, 0, 0);
  ASSERT_GT(hole.arc.segments.size(), 3u);
  hole.golfer.currentClub = 20;
  hole.golfer.shotType = 7;
  AimPoint = Vector3{0.0f, -245.0f, 0.0f};
  UpdateTargeting(&hole.arc, 0, 0, 0, 0);
  EXPECT_TRUE(hole.arc.segments.empty());
  EXPECT_FALSE(hole.arc.flewAway);
}

TEST(Arc, AClickedAimIsWhereTheBallFirstLands) {
  Hole hole(10, 150.0f);
  hole.arc.mousePlaced = true;
  UpdateTargeting(&hole.arc, 0, 0, 0, 0);
  hole.arc.mousePlaced = false;
  // The corrected aim makes the aimed shot (marker 1) land on the wanted point 150 yards out.
  const Vector3 ball = hole.golfer.ball.position;
  EXPECT_NEAR(Ground(ball, LandingMarkers[1].point), 150.0f, 0.5f);
}

TEST(Arc, ScreenToGroundFindsTheProjectedPoint) {
  Hole hole;
  const Vector3 p{12.0f, -100.0f, 0.0f};
  ScreenPixel px;
  hole.view.ProjectToScreen(p, &px);
  Vector3 found;
  ASSERT_TRUE(ScreenToGround(hole.view, px.x, px.y, 0.0f, AimPoint, &found));
  // Far off a pixel spans yards along the ground: the point found projects onto the same pixel.
  ScreenPixel back;
  hole.view.ProjectToScreen(found, &back);
  EXPECT_EQ(back.x, px.x);
  EXPECT_EQ(back.y, px.y);
  EXPECT_NEAR(found.x, p.x, 1.0f);
  EXPECT_NEAR(found.y, p.y, 15.0f);
}

}  // namespace

namespace {

TEST(Arc, ANewShotIsLaidOutOnceForAPersonOnly) {
  Hole hole;
  ShotAimPoint = Vector3{0.0f, -30.0f, 0.0f};
  EXPECT_TRUE(hole.arc.FollowShot());
  EXPECT_TRUE(hole.arc.arcReady);
  EXPECT_EQ(AimPoint.y, -30.0f);
  EXPECT_FALSE(hole.arc.FollowShot());  // nothing moved
  hole.golfer.ball.position.y = -200.0f;
  EXPECT_TRUE(hole.arc.FollowShot());
  hole.golfer.flags &= ~kGolferFlag5;  // a computer golfer's shot is not laid out here
  hole.golfer.ball.position.y = -150.0f;
  EXPECT_FALSE(hole.arc.FollowShot());
}

}  // namespace
