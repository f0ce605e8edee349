// The animation list and the animations over the hole: list places, the due test, finish and removal, the
// depth-tested erase; frame advance with the rest carried, skip requests, depth values and frame times; the ball's
// sizes, texels and marker; the golfer's impact; the flag's cloth by the wind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "framework/core/services.h"
#include "scene/animlist.h"
#include "scene/ballanim.h"
#include "scene/golferanim.h"
#include "scene/movieanim.h"

namespace {

// Counts what the list asks of it; due and finished as the test sets them.
struct Probe : TGolfAnimation {
  int due = 0, finished = 0, updates = 0, erases = 0, removed = 0;
  int IsFrameDue(uint32_t) override { return due; }
  int IsFinished() override { return finished; }
  int Update(int* f, uint32_t) override {
    ++updates;
    *f = finished;
    return 0;
  }
  int Erase() override { return ++erases, 0; }
  void OnRemove() override { ++removed; }
};

class AnimationListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveAllAnimations();
    AnimationList() = TAnimationList{};
    Facts().appActive = 1;
  }
  void TearDown() override {
    RemoveAllAnimations();
    AnimationList() = TAnimationList{};
    AnimSurfaces() = AnimationSurfaces{};
  }
  static int EntryOf(const TGolfAnimation* a) {
    for (int i = 0; i < TAnimationList::kEntries; ++i)
      if (AnimationList().entries[i].animation == a) return i;
    return -1;
  }
};

TEST_F(AnimationListTest, PlacesAreFrontGeneralAndBackEntries) {
  Probe fixed[4];
  const struct {
    int place, entry;
  } cases[] = {{0, 0}, {1, 1}, {3, 14}, {4, 15}};
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(AddAnimation(cases[i].place, &fixed[i], 0, 0, 0), 0);
    EXPECT_EQ(EntryOf(&fixed[i]), cases[i].entry) << cases[i].place;
  }
  // General places fill 2..13 in order; the thirteenth finds the list full.
  Probe general[13];
  for (int i = 0; i < 12; ++i) {
    ASSERT_EQ(AddAnimation(2, &general[i], 0, 0, 0), 0);
    EXPECT_EQ(EntryOf(&general[i]), 2 + i);
  }
  EXPECT_EQ(AddAnimation(2, &general[12], 0, 0, 0), TAnimationList::kListFull);
  EXPECT_EQ(EntryOf(&general[12]), -1);
  // An animation already listed is not listed twice; a removed one frees its entry for the next.
  EXPECT_EQ(AddAnimation(2, &general[0], 0, 0, 0), 0);
  RemoveAnimation(&general[3]);
  EXPECT_EQ(general[3].removed, 1);
  ASSERT_EQ(AddAnimation(2, &general[12], 0, 0, 1), 0);
  EXPECT_EQ(EntryOf(&general[12]), 5);
  EXPECT_EQ(general[12].held, 1);
  RemoveAllAnimations();
}

TEST_F(AnimationListTest, APassRunsOnlyWhenAFrameIsDueAndDropsWhatFinished) {
  Probe a, b;
  ASSERT_EQ(AddAnimation(2, &a, 1, 1, 0), 0);
  ASSERT_EQ(AddAnimation(2, &b, 0, 0, 0), 0);
  // The first pass always runs; later ones only when something is due.
  EXPECT_EQ(UpdateAnimationList(100), 0);
  EXPECT_EQ(a.updates, 1);
  EXPECT_EQ(a.erases, 1);
  UpdateAnimationList(140);
  EXPECT_EQ(a.updates, 1);
  b.due = 1;
  UpdateAnimationList(180);
  EXPECT_EQ(a.updates, 2);
  EXPECT_EQ(b.updates, 2);
  EXPECT_TRUE(AnyAnimationRunning());
  // A finished animation is erased and dropped by its entry's rules; the other stays however it ends.
  a.finished = 1;
  b.finished = 1;
  b.due = 0;
  a.due = 1;
  UpdateAnimationList(220);  // a finished one is not due
  EXPECT_EQ(a.updates, 2);
  AnimationList().lastUpdateTime = 0;
  UpdateAnimationList(260);
  EXPECT_EQ(a.erases, 4);  // before the pass and when it finished
  EXPECT_EQ(EntryOf(&a), -1);
  EXPECT_EQ(EntryOf(&b), 3);
  EXPECT_FALSE(AnyAnimationRunning());
  RemoveFinishedAnimations(true);
  EXPECT_EQ(EntryOf(&b), -1);
  EXPECT_EQ(b.removed, 1);
  // Nothing runs while the program is in the background or paused.
  Probe c;
  c.due = 1;
  AddAnimation(2, &c, 0, 0, 0);
  Facts().appActive = 0;
  UpdateAnimationList(300);
  Facts().appActive = 1;
  SetAnimationsPaused(true);
  UpdateAnimationList(340);
  SetAnimationsPaused(false);
  EXPECT_EQ(c.updates, 0);
  RemoveAllAnimations();
}

TEST_F(AnimationListTest, EraseRestoresTheBackgroundOnlyWhereTheSceneIsNotNearer) {
  std::vector<uint16_t> screen(8 * 4, 0xFFFF), background(8 * 4, 0x1234), depth(8 * 4, 0x9000);
  for (int x = 0; x < 8; ++x) depth[8 + x] = 0x8000;  // row 1: scenery nearer than the sprite
  AnimSurfaces() = AnimationSurfaces{{screen.data(), 8, 4, 8}, {background.data(), 8, 4, 8}, depth.data()};
  RestoreAnimationRect(MARect{2, 0, 6, 3}, 0x8800);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) {
      const bool restored = x >= 2 && x < 6 && y < 3 && y != 1;
      EXPECT_EQ(screen[y * 8 + x], restored ? 0x1234 : 0xFFFF) << x << "," << y;
    }
  // Without a depth test the whole rectangle comes back, clipped to the surfaces.
  RestoreAnimationRect(MARect{-5, -5, 100, 100}, 0);
  for (uint16_t p : screen) EXPECT_EQ(p, 0x1234);
}

// A movie animation with no pictures: its frame counting alone.
struct Counting : TMovieAnimation {
  Counting(int32_t frames, int32_t ms) {
    frameCount = frames;
    frameTime = ms << 16;
  }
};

TEST_F(AnimationListTest, FramesAdvanceByWholeFrameTimesAndCarryTheRest) {
  Counting m(10, 66);
  int finished = 0;
  ASSERT_EQ(m.Update(&finished, 1000), 0);  // the first look starts the clock
  EXPECT_EQ(m.frameCounter, 1);
  EXPECT_EQ(m.IsFrameDue(1065), 0);
  EXPECT_EQ(m.IsFrameDue(1066), 1);
  ASSERT_EQ(m.Update(&finished, 1200), 0);
  EXPECT_EQ(m.frameCounter, 4);             // 200 ms: three frames
  EXPECT_EQ(m.lastFrameTime, 1198u);        // 2 ms carried into the next
  m.Update(&finished, 1264);
  EXPECT_EQ(m.frameCounter, 5);
  EXPECT_EQ(finished, 0);
  // The counter stops at the last frame; a skip request jumps there.
  m.Update(&finished, 5000);
  EXPECT_EQ(m.frameCounter, 10);
  EXPECT_EQ(m.IsFinished(), 1);
  Counting skipped(10, 66);
  AnimationList().skipRequest = 1;
  skipped.Update(&finished, 1000);
  AnimationList().skipRequest = 0;
  EXPECT_EQ(skipped.frameCounter, 10);
  EXPECT_EQ(finished, 1);
}

TEST(MovieAnimation, DepthValuesAndFrameTimes) {
  const struct {
    float depth;
    bool full;
    uint16_t value;
  } depths[] = {{0.0f, true, 0x8000}, {-3.0f, false, 0x8000}, {350.0f, true, 0xFFFE}, {1000.0f, false, 0xFFFE},
                {7.0f, false, 0x028E},  {7.0f, true, 0x828E},  {175.0f, false, 0x4000}};
  for (const auto& c : depths) EXPECT_EQ(MovieDepthValue(c.depth, c.full), c.value) << c.depth << " " << c.full;
  EXPECT_EQ(FrameTimeForRate(15 << 16), 4369067);  // 66.67 ms
  EXPECT_EQ(FrameTimeForRate(0), 0x7FFFFFFF);       // no rate: never due
  // A rate from a file so high that a frame lasts under a millisecond counts as 1 ms (never 0 to divide by).
  EXPECT_EQ(FrameTimeForRate(0x7FFFFFFF), 0x10000);
}

TEST(GolferAnimation, TheImpactFiresOnceAtItsFrameForEitherMovie) {
  for (const int32_t impact : {6, 11}) {  // the full swing's and the putt's
    SCOPED_TRACE(impact);
    TGolferAnimation g;
    g.frameCount = 24;
    g.frameTime = 40 << 16;
    g.impactFrame = impact;
    std::vector<uint32_t> fired;
    g.onImpact = [&](uint32_t now) { fired.push_back(now); };
    int finished = 0;
    for (uint32_t t = 1000; t <= 3000; t += 40) g.Update(&finished, t);
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0], 1000u + 40u * static_cast<uint32_t>(impact - 1));
    EXPECT_EQ(g.frameCounter, 24);
  }
  // A quick golfer strikes at its first look.
  TGolferAnimation quick;
  quick.frameCount = 1;
  quick.quickGolfer = 1;
  int fired = 0, finished = 0;
  quick.onImpact = [&](uint32_t) { ++fired; };
  quick.Update(&finished, 10);
  quick.Update(&finished, 50);
  EXPECT_EQ(fired, 1);
}

TEST(FlagAnimation, TheClothFollowsTheWindAcrossTheView) {
  const struct {
    uint16_t wind;
    int32_t heading;
    int windClass, direction;
  } cases[] = {{0x0000, 0, 1, 1}, {0x0FFF, 0, 1, 1},      {0x1000, 0, 1, 5}, {0x3000, 0, 2, 2}, {0x5000, 0, 1, 5},
               {0x7000, 0, 1, 3}, {0x9000, 0, 1, 6},      {0xB000, 0, 1, 4}, {0xD000, 0, 1, 6}, {0xF000, 0, 1, 1},
               {0x4000, 0, 0, 0}, {0x4000, 0x4000, 1, 1}, {0x0000, 0x4000, 1, 4}};
  for (const auto& c : cases)
    EXPECT_EQ(FlagDirectionForWind(c.wind, c.heading, c.windClass), c.direction) << std::hex << c.wind << " " << c.heading;
  EXPECT_EQ(FlagFrameRate(0), 0x20000);
  EXPECT_EQ(FlagFrameRate(1), 0xA0000);
  EXPECT_EQ(FlagFrameRate(2), 0xC0000);
}

TEST(BallAnimation, SpriteNumbersTexelsAndRectangles) {
  const struct {
    float size;
    int sprite;
  } sizes[] = {{0.0f, 1}, {0.4f, 1}, {1.5f, 2}, {7.49f, 7}, {15.6f, 16}, {40.0f, 16}};
  for (const auto& c : sizes) EXPECT_EQ(BallSpriteNumber(c.size), c.sprite) << c.size;
  // The texel rows grow with the size; the rough's are their own; sizes outside 1..16 take the end rows.
  EXPECT_EQ(BallTexels(1.0f, false).c0, 34);
  EXPECT_EQ(BallTexels(16.0f, false).c1, 15);
  EXPECT_EQ(BallTexels(16.0f, false).dx, 8);
  EXPECT_EQ(BallTexels(0.0f, false).c0, BallTexels(1.0f, false).c0);
  EXPECT_EQ(BallTexels(99.0f, true).c0, BallTexels(16.0f, true).c0);
  EXPECT_NE(BallTexels(5.0f, true).c0, BallTexels(5.0f, false).c0);
  const MARect ball = BallSpriteRect(100.0f, 50.0f, 4.0f);
  EXPECT_EQ(ball.left, 96);
  EXPECT_EQ(ball.bottom, 54);
  const MARect shadow = ShadowSpriteRect(100.0f, 50.0f, 4.0f, true);
  EXPECT_EQ(shadow.left, 98);
  EXPECT_EQ(shadow.right, 103);
  EXPECT_EQ(ShadowSpriteRect(100.0f, 50.0f, 4.0f, false).right, 102);
}

TEST(BallAnimation, TheHardwareBallIsPlacedByItsTexelRow) {
  const struct {
    float size;
    bool rough;
    MARect rect, texels;
  } cases[] = {
      {16.0f, false, {92, 42, 108, 58}, {0, 0, 16, 16}},    // centred by its offset
      {5.0f, true, {96, 47, 103, 52}, {42, 59, 49, 64}},    // the rough row: its own size and offset
      {0.3f, false, {99, 49, 101, 51}, {34, 14, 36, 16}},   // below one pixel counts as one
      {30.0f, false, {92, 42, 108, 58}, {0, 0, 16, 16}},    // above sixteen as sixteen
  };
  for (const auto& c : cases) {
    MARect texels{};
    const MARect r = HardwareBallRect(100.0f, 50.0f, c.size, c.rough, &texels);
    const int got[8] = {r.left, r.top, r.right, r.bottom, texels.left, texels.top, texels.right, texels.bottom};
    const int want[8] = {c.rect.left,   c.rect.top,   c.rect.right,   c.rect.bottom,
                         c.texels.left, c.texels.top, c.texels.right, c.texels.bottom};
    for (int k = 0; k < 8; ++k) EXPECT_EQ(got[k], want[k]) << c.size << (c.rough ? " rough" : "") << " field " << k;
  }
}

TEST(BallAnimation, TheStreakTrailsTheBallAcrossItsScreenDirection) {
  const int32_t rect[4] = {0, 0, 640, 480};
  TGolfView view;
  view.SetViewport(rect, nullptr, 0, 1);
  view.focusPoint = {100.0f, 50.0f, 3.0f};
  view.SetHeading(0);
  const Vector3 ball{100.0f, 50.0f, 4.0f};
  // A point well behind the eye, whichever way the view looks.
  Vector3 behind{};
  for (const Vector3& d : {Vector3{0, 60, 0}, Vector3{0, -60, 0}, Vector3{60, 0, 0}, Vector3{-60, 0, 0}}) {
    ScreenPointF f;
    view.ProjectToScreenFloat(Vector3{ball.x + d.x, ball.y + d.y, ball.z}, &f);
    if (f.Z < 0.0f) behind = Vector3{ball.x + d.x, ball.y + d.y, ball.z};
  }
  ASSERT_NE(behind.x + behind.y, 0.0f);
  const struct {
    const char* name;
    Vector3 ball, earlier;
    float size;
    bool longTail, built;
  } cases[] = {
      {"moving", ball, {ball.x + 0.3f, ball.y, ball.z - 0.2f}, 6.0f, false, true},
      {"long tail, small ball", ball, {ball.x - 0.2f, ball.y, ball.z - 0.3f}, 0.5f, true, true},
      {"not moved", ball, ball, 6.0f, false, false},
      {"ball behind the eye", behind, ball, 6.0f, false, false},
      {"tail from behind the eye", ball, behind, 6.0f, false, true},
  };
  for (const auto& c : cases) {
    const BallStreak k = BuildBallStreak(view, c.ball, c.earlier, c.size, c.longTail);
    EXPECT_EQ(k.built, c.built) << c.name;
    if (!k.built || !c.built) continue;
    const float w = std::max(c.size * 0.5f, 1.0f);
    EXPECT_NEAR(std::hypot(k.a.x - k.s.x, k.a.y - k.s.y), w, 0.01f) << c.name;
    EXPECT_NEAR(std::hypot(k.b.x - k.s.x, k.b.y - k.s.y), w, 0.01f) << c.name;
    // A and B lie across the tail, on either side of the ball.
    EXPECT_NEAR((k.a.x - k.s.x) * (k.s.x - k.p.x) + (k.a.y - k.s.y) * (k.s.y - k.p.y), 0.0f, 0.01f) << c.name;
    EXPECT_NEAR(k.a.x + k.b.x, 2.0f * k.s.x, 0.01f) << c.name;
    EXPECT_GT(k.p.Z, 0.0f) << c.name;
    EXPECT_EQ(k.tailColour, 0x00808080u);
    EXPECT_EQ(k.headColour, c.longTail ? 0xC0FFFFFFu : 0x80FFFFFFu) << c.name;
    EXPECT_EQ(k.sideColour, c.longTail ? 0x10FFFFFFu : 0x20FFFFFFu) << c.name;
  }
}

TEST(BallAnimation, TheMarkerIsClippedToTheView) {
  const MARect view{0, 0, 640, 480};
  const struct {
    float x, y, size;
    MARect r;
  } cases[] = {
      {320.0f, 240.0f, 8.0f, {317, 239, 323, 241}},  // wholly inside
      {1.0f, 240.0f, 8.0f, {0, 239, 4, 241}},        // its left edge moves onto the view
      {638.0f, 479.0f, 8.0f, {635, 478, 639, 479}},  // right and bottom onto the last column and row
      {-20.0f, 240.0f, 8.0f, {-1, -1, -1, -1}},      // wholly outside
      {320.0f, 500.0f, 8.0f, {-1, -1, -1, -1}},
  };
  for (const auto& c : cases) {
    const MARect r = MarkerRect(c.x, c.y, c.size, view);
    EXPECT_EQ(r.left, c.r.left) << c.x << "," << c.y;
    EXPECT_EQ(r.top, c.r.top) << c.x << "," << c.y;
    EXPECT_EQ(r.right, c.r.right) << c.x << "," << c.y;
    EXPECT_EQ(r.bottom, c.r.bottom) << c.x << "," << c.y;
  }
  EXPECT_NE(MarkerColour(0), MarkerColour(1));
  EXPECT_EQ(MarkerColour(3), 0xFFFF);
  EXPECT_EQ(MarkerColour(9), MarkerColour(3));
}

}  // namespace
