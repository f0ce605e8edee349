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

}  // namespace
