// holeview --play: a computer golfer plays hole 2 of the demo course shot after shot, each shot's animations
// played back over the hole, in software and through drvd3d.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "demohole.h"
#include "holeview.h"
#include "platformlib/gfx/vortel.h"
#include "scene/gridoverlay.h"
#include "scene/holedraw3d.h"

namespace {

using HolePlayTest = DemoHoleTest;

float ToPin(const Vector3& p) {
  Vector3 pin;
  PinGroundPoint(&pin);
  return std::hypot(p.x - pin.x, p.y - pin.y);
}

TEST_F(HolePlayTest, AComputerGolferPlaysShotAfterShotInBothPaths) {
  ASSERT_TRUE(loaded_);
  for (const bool d3d : {false, true}) {
    SCOPED_TRACE(d3d ? "drvd3d" : "software");
    TGolfView view;
    holeview::SetUpView(view, 640, 480, holeview::CameraByName("tee"));
    if (d3d) {
      std::string error;
      ASSERT_TRUE(holeview::OpenDirect3D(640, 480, 0, error)) << error;
    }
    holeview::Picture picture;
    int midFlightFrames = 0;
    const std::vector<holeview::PlayedShot> played =
        holeview::PlayHole(view, picture, d3d, 3, [&](int, const holeview::PlayedShot& s, const holeview::Picture& p) {
          if (s.inAir) {
            ++midFlightFrames;
            EXPECT_EQ(p.pixels.size(), 640u * 480u);
          }
          return true;
        });
    if (d3d) holeview::CloseDirect3D();
    ASSERT_GE(played.size(), 2u);
    const holeview::PlayedShot& first = played[0];
    EXPECT_FALSE(first.putt);
    EXPECT_TRUE(first.golferSeen);
    EXPECT_TRUE(first.ballFlew);
    EXPECT_GT(first.recordedFrames, 25);
    // The ball is followed to its rest: a frame a recorded step, give or take the swing before it.
    EXPECT_GE(first.drawnFrames * 40, static_cast<int>(first.recordedFrames) * 20);
    EXPECT_LT(ToPin(first.rest), ToPin(first.from) * 0.6f);
    // The caddie attends the pin for the putts only.
    bool putted = false;
    for (const holeview::PlayedShot& s : played) {
      EXPECT_EQ(s.caddieSeen, s.putt);
      putted = putted || s.putt;
    }
    EXPECT_TRUE(putted);
    for (size_t i = 1; i < played.size(); ++i) {
      EXPECT_NEAR(played[i].from.x, played[i - 1].rest.x, 0.01f);
      EXPECT_NEAR(played[i].from.y, played[i - 1].rest.y, 0.01f);
    }
    EXPECT_GT(midFlightFrames, 10);
    if (d3d) {
      EXPECT_GE(first.sprites, 2);  // at least the golfer (or ball) and the flag
    }
  }
}

// The golfer's Main view and PIP choices put their cameras on each shot: the inset drawn in software over the
// picture, a full-screen camera (hardware only) carrying the view drawn after the ball; a full-screen choice without
// the hardware runs no camera.
TEST_F(HolePlayTest, TheChosenCamerasFollowEachShot) {
  ASSERT_TRUE(loaded_);
  struct Case {
    bool d3d;
    uint32_t main, pip;
    const char* kind;  // "" no camera
    const char* firstMount;
    const char* closing;  // the first shot's last mount: the move to the pin
  };
  for (const Case& c : {Case{false, 0, 2, "kPipBallCam", "kPipBallCam", "kPipTransitionPinCam"},
                        Case{false, 0, 4, "kPipTowerCam", "kPipTowerCam", "kPipTransitionPinCam"},
                        Case{false, 3, 0, "", "", ""},
                        Case{true, 3, 0, "kFullBallCam", "kFullBallCam", "kFullTransitionPinCam"}}) {
    SCOPED_TRACE(testing::Message() << (c.d3d ? "drvd3d" : "software") << " main " << c.main << " pip " << c.pip);
    TGolfView view;
    holeview::SetUpView(view, 640, 480, holeview::CameraByName("tee"));
    if (c.d3d) {
      std::string error;
      ASSERT_TRUE(holeview::OpenDirect3D(640, 480, 0, error)) << error;
    }
    holeview::Picture picture;
    bool insetSeen = false;
    const std::vector<holeview::PlayedShot> played = holeview::PlayHole(
        view, picture, c.d3d, 1,
        [&](int, const holeview::PlayedShot& s, const holeview::Picture& p) {
          // The inset's white frame: its top edge at the layout's corner, kept on the screen.
          if (s.inAir && s.airFrames == 20) insetSeen = p.pixels[164 * 640 + 400] == 0xFFFF && p.pixels[164 * 640 + 630] == 0xFFFF;
          return true;
        },
        c.pip << 12 | c.main << 16);
    if (c.d3d) holeview::CloseDirect3D();
    ASSERT_EQ(played.size(), 1u);
    const holeview::PlayedShot& shot = played[0];
    EXPECT_EQ(shot.camera, c.kind);
    const bool pip = c.pip != 0, full = c.d3d && c.main != 0;
    EXPECT_EQ(insetSeen, pip);
    EXPECT_EQ(shot.insetFrames > shot.drawnFrames / 2, pip);
    // A full-screen camera moves the view drawn; otherwise the view stays where the shot was played from.
    if (full) EXPECT_GT(shot.viewMoved, 100.0f);
    else EXPECT_EQ(shot.viewMoved, 0.0f);
    if (*c.kind) {
      ASSERT_GE(shot.mounts.size(), 2u);
      EXPECT_EQ(shot.mounts.front(), c.firstMount);
      EXPECT_EQ(shot.mounts.back(), c.closing);
      // The camera ran to the end of the shot's pass.
      EXPECT_GE(shot.cameraSteps, shot.drawnFrames - 30);
    }
  }
}

}  // namespace
