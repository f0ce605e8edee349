#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "ground.h"
#include "golf/ballflight.h"
#include "golf/ballmath.h"
#include "golf/launch.h"
#include "golf/surfaces.h"

namespace {

constexpr float kMphToYps = 1760.0f / 3600.0f;

struct Flight {
  float carry = 0.0f;
  float apex = 0.0f;
  float total = 0.0f;
  int steps = 0;
};

// A measured shot launched along +y from the back of a flat fairway, stepped to rest.
Flight fly(float mph, float degrees, float rpm, float dt = kBallStepSeconds) {
  BallState b;
  BallStateReset(&b);
  const Vector3 start{0.0f, -240.0f, 0.0f};
  BallPlaceAt(&b, start);
  BallLaunchVector(&b, Vector3{0.0f, 1.0f, 0.0f}, mph * kMphToYps, degrees * 3.14159265f / 180.0f, rpm / 60.0f,
                   0.0f);
  BallFlightStart(&b);
  Flight f;
  while (BallIsMoving(&b) && f.steps < 100000) {
    BallStep(&b, dt);
    ++f.steps;
    f.apex = std::max(f.apex, b.position.z);
    if (f.carry == 0.0f && BallFirstContact(&b)) f.carry = b.stepList[0].position.y - start.y;
  }
  f.total = b.position.y - start.y;
  for (int i = 0; i < b.Flag(kBallFlagStepCount); ++i)
    std::printf("  contact %d kind %d y %.1f t %.2f speed %.1f\n", i, b.stepList[i].kind, b.stepList[i].position.y,
                b.stepList[i].time, b.stepList[i].speed);
  std::printf("  roll start %.2f end %.2f\n", b.rollStartTime, b.flightTime);
  return f;
}

class FlatFairway : public ::testing::Test {
 protected:
  void SetUp() override {
    SurfaceTableReset();
    ASSERT_TRUE(balltest::makeGround(60, 520, 0x10));
  }
  void TearDown() override { FreeHoleTerrain(); }
};

TEST_F(FlatFairway, MeasuredTourShots) {
  struct Row {
    const char* name;
    float mph, degrees, rpm, carry, apex;
  };
  const Row rows[] = {
      {"driver", 167.0f, 10.9f, 2686.0f, 275.0f, 32.0f},
      {"7-iron", 120.0f, 16.3f, 7097.0f, 172.0f, 32.0f},
      {"pitching wedge", 102.0f, 24.2f, 9304.0f, 136.0f, 29.0f},
      {"game driver", 72.8f / kMphToYps, 8.0f, 2700.0f, 250.0f, 0.0f},
      {"game 7-iron", 45.6f / kMphToYps, 19.2f, 7040.0f, 147.0f, 0.0f},
      {"game pw", 36.3f / kMphToYps, 24.0f, 8900.0f, 103.0f, 0.0f},
  };
  for (const Row& r : rows) {
    const Flight f = fly(r.mph, r.degrees, r.rpm);
    std::printf("%-15s carry %6.1f yd (measured %5.1f)  apex %5.1f yd (measured %4.1f)  total %6.1f  steps %d\n",
                r.name, f.carry, r.carry, f.apex, r.apex, f.total, f.steps);
  }
}

}  // namespace
