// The replay buffer: recording limits, sampling with skipped events, looking aside, and readers after the
// store is freed.
#include <gtest/gtest.h>

#include "golf/ballflight.h"
#include "golf/launch.h"
#include "roundui/replay.h"
#include "support/ground.h"
#include "mmsystem.h"
#include "winapi/testing.h"

namespace {

class ReplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    winapi::testing::UseVirtualClock(true, 5000);
    ResetReplayBuffer();
  }
  void TearDown() override {
    ResetReplayBuffer();
    winapi::testing::Reset();
  }
  // A flight: frame n at time 20 n, height rising then falling, events on chosen frames.
  static void Record(int frames, const std::vector<std::pair<int, int>>& events = {}) {
    ASSERT_EQ(StartReplayRecording(0), 0);
    for (int n = 0; n < frames; ++n) {
      const Vector3 p{static_cast<float>(n), 0.0f, static_cast<float>(n * (frames - 1 - n))};
      const Vector3 v{1.0f, 0.0f, static_cast<float>(n)};
      BallEventRecord e;
      for (const auto& [frame, byte] : events)
        if (frame == n) e.bytes[byte] = static_cast<uint8_t>(byte + 1);
      AppendReplayFrame(static_cast<uint32_t>(20 * n), &p, &e, &v);
    }
    StopReplayRecording(static_cast<uint32_t>(20 * (frames - 1)));
  }
};

TEST_F(ReplayTest, RecordingKeepsAThousandFrames) {
  Record(1001);
  EXPECT_EQ(GetReplayFrameCount(), kReplayCapacity);
  EXPECT_EQ(GetReplayFrame(999)->position.x, 999.0f);
  // A running recording is not restarted.
  ASSERT_EQ(StartReplayRecording(0), 0);
  ASSERT_EQ(StartReplayRecording(77), 0);
  EXPECT_EQ(GetReplayFrameCount(), 0);
  const Vector3 p{1, 2, 3};
  AppendReplayFrame(100, &p, nullptr, nullptr);
  EXPECT_EQ(GetReplayFrame(0)->time, 100u);
  EXPECT_EQ(GetReplayFrame(0)->motion.x, 1.0f);  // no vector given: the old one stays
}

TEST_F(ReplayTest, SamplingCarriesEventsOfSkippedFrames) {
  Record(11, {{3, kReplayContactByte}, {4, kReplayHazardByte}, {4, kBallFlagWater}, {8, kReplayContactByte}});
  StartReplayPlayback();
  const uint32_t t0 = timeGetTime();
  struct Case {
    uint32_t at;       // ms after the start of playback
    int frame;
    bool contact, hazard;
    float x;           // interpolated position
  };
  const Case cases[] = {
      {0, 0, false, false, 0.0f},    {10, 0, false, false, 0.5f},  {95, 4, true, true, 4.75f},
      {90, 4, false, true, 4.5f},    // never backwards; frame 4 itself holds the hazard
      {150, 7, false, false, 7.5f},  {199, 9, true, false, 9.95f}, {200, 10, false, false, 10.0f},
      {5000, 10, false, false, 10.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.at);
    SampleReplayAtTime(t0 + c.at);
    EXPECT_EQ(GetReplayCurrentFrame(), c.frame);
    EXPECT_EQ(GetPlaybackEvent()[kReplayContactByte] != 0, c.contact);
    EXPECT_EQ(GetPlaybackEvent()[kReplayHazardByte] != 0, c.hazard);
    EXPECT_FLOAT_EQ(GetPlaybackBallPos()->x, c.x);
  }
  EXPECT_EQ(GetPlaybackEvent()[kBallFlagWater], 0);
  EXPECT_TRUE(IsReplayBallFalling());
  EXPECT_EQ(GetReplayEndTime(), t0 + 200);
}

TEST_F(ReplayTest, ClockBeforeStartAndNotPlaying) {
  Record(11);
  StartReplayPlayback();
  const uint32_t t0 = timeGetTime();
  SampleReplayAtTime(t0 - 100);
  EXPECT_EQ(GetReplayCurrentFrame(), 0);
  SampleReplayAtTime(t0 + 50);
  EXPECT_EQ(GetReplayCurrentFrame(), 2);
  SetReplayPlaying(false);
  SampleReplayAtTime(t0 + 120);
  EXPECT_EQ(GetReplayCurrentFrame(), 0);
  SampleReplayAtTime(t0 + 300);
  EXPECT_EQ(GetReplayCurrentFrame(), 10);
  EXPECT_EQ(GetReplayEndTime(), 0xFFFFFFFFu);
  EXPECT_EQ(GetPlaybackFrameClock(), 0u);
  Vector3 out{9, 9, 9};
  StepReplayPosition(&out, 40);
  EXPECT_EQ(out.x, 0.0f);
}

TEST_F(ReplayTest, BeforeTheFirstRecordedStepTheBallIsAtThatStep) {
  // The ball physics records its first step some milliseconds after the recording starts.
  ASSERT_EQ(StartReplayRecording(0), 0);
  const Vector3 points[3] = {{1.3f, -118.4f, 0.8f}, {2.3f, -117.4f, 1.8f}, {3.3f, -116.4f, 2.3f}};
  for (int n = 0; n < 3; ++n) AppendReplayFrame(static_cast<uint32_t>(10 + 20 * n), &points[n], nullptr, nullptr);
  StopReplayRecording(50);
  StartReplayPlayback();
  const uint32_t t0 = timeGetTime();
  const struct {
    uint32_t at;
    float x, y;
  } cases[] = {{0, 1.3f, -118.4f}, {9, 1.3f, -118.4f}, {10, 1.3f, -118.4f}, {20, 1.8f, -117.9f}, {50, 3.3f, -116.4f}};
  for (const auto& c : cases) {
    SampleReplayAtTime(t0 + c.at);
    EXPECT_FLOAT_EQ(GetPlaybackBallPos()->x, c.x) << c.at;
    EXPECT_FLOAT_EQ(GetPlaybackBallPos()->y, c.y) << c.at;
  }
}

TEST_F(ReplayTest, LookingAsideLeavesThePlaybackAlone) {
  Record(11);
  StartReplayPlayback();
  const uint32_t t0 = timeGetTime();
  SampleReplayAtTime(t0 + 100);
  const struct {
    int32_t step;
    float x;
  } cases[] = {{50, 7.5f}, {-30, 3.5f}, {0, 5.0f}, {1000, 10.0f}, {-1000, -45.0f}};  // the walk stops at the ends and runs on along the first step
  for (const auto& c : cases) {
    Vector3 out;
    StepReplayPosition(&out, c.step);
    EXPECT_FLOAT_EQ(out.x, c.x) << c.step;
  }
  EXPECT_EQ(GetReplayCurrentFrame(), 5);
}

TEST_F(ReplayTest, HeightsAndSearches) {
  Record(5);  // heights 0, 3, 4, 3, 0
  EXPECT_EQ(FindReplayHighestFrame(), 2);
  EXPECT_FLOAT_EQ(GetReplayMaxHeight(), 4.0f);
  const float start = 1.0f, slope = 0.0f;
  EXPECT_FLOAT_EQ(ReplayMaxRiseAboveLine(&start, &slope), 3.0f);
  int frame = -1;
  const Vector3 near{3.05f, 0.0f, 2.95f};
  EXPECT_EQ(FindReplayFrameNear(&near, 0.1f, &frame), 1);
  EXPECT_EQ(frame, 3);
  const Vector3 far{30.0f, 0.0f, 0.0f};
  EXPECT_EQ(FindReplayFrameNear(&far, 0.1f, &frame), 0);
  EXPECT_EQ(frame, 3);
  EXPECT_DOUBLE_EQ(ReplayFrameFraction(2), 0.5);
  const int two = 2;
  SetReplayCurrentFrame(&two);
  TruncateReplayAtCurrent();
  EXPECT_EQ(GetReplayFrameCount(), 2);
  SetReplayFrameCount(4);  // a camera restores what it saved
  EXPECT_EQ(GetReplayFrameCount(), 4);
  SetReplayFrameCount(50);
  EXPECT_EQ(GetReplayFrameCount(), 5);
  Record(1);
  EXPECT_EQ(FindReplayHighestFrame(), 0);  // never above the ground
}

TEST_F(ReplayTest, AfterTheStoreIsFreedReadersSeeNoFrames) {
  Record(20);
  StartReplayPlayback();
  FreeReplayBuffer();
  EXPECT_EQ(GetReplayFrameCount(), 0);
  SetReplayFrameCount(20);  // a camera's saved count cannot bring freed frames back
  EXPECT_EQ(GetReplayFrameCount(), 0);
  EXPECT_EQ(GetReplayFrame(5)->position.x, 0.0f);
  EXPECT_EQ(GetLastReplayBallPos()->x, 0.0f);
  EXPECT_EQ(GetLastReplayEvent()[kReplayContactByte], 0);
  EXPECT_EQ(ReplayFrameFraction(3), 0.0);
  EXPECT_EQ(CurrentReplayFraction(), 0.0);
  SampleReplayAtTime(timeGetTime() + 10);
  EXPECT_EQ(GetPlaybackBallPos()->x, 0.0f);
  EXPECT_EQ(FindReplayHighestFrame(), 0);
  // One frame: its fraction is 0 too.
  Record(1);
  EXPECT_EQ(ReplayFrameFraction(0), 0.0);
}

}  // namespace

namespace {

TEST(ReplaySink, TheBallPhysicsRecordsALiveShot) {
  ResetReplayBuffer();
  InstallReplayBuffer();
  ASSERT_TRUE(balltest::makeGround(100, 300, 0x10));
  BallSetWind(0, 0);
  BallClearCup();
  BallState ball;
  BallPlaceAt(&ball, Vector3{0.0f, -100.0f, 0.0f});
  BallLaunchVector(&ball, Vector3{0.0f, 1.0f, 0.0f}, 40.0f, 0.4f, 80.0f, 0.0f);
  BallFlightStart(&ball);
  const int steps = BallRunShot(&ball, kBallStepSeconds, true);
  EXPECT_GT(GetReplayFrameCount(), 10);
  EXPECT_LE(GetReplayFrameCount(), kReplayCapacity);
  EXPECT_LE(GetReplayFrameCount(), steps + 1);
  EXPECT_LE(GetReplayFrame(0)->time, 20u);  // the first step
  EXPECT_EQ(GetReplayDuration(), GetReplayFrame(GetReplayFrameCount() - 1)->time);
  EXPECT_FLOAT_EQ(GetLastReplayBallPos()->y, ball.position.y);
  EXPECT_GT(GetReplayMaxHeight(), 1.0f);
  EXPECT_FALSE(ReplayRecording());
  BallSetReplaySink(BallReplaySink{});
  ResetReplayBuffer();
}

}  // namespace
