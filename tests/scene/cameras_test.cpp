// The shot's cameras: the choice of a kind from the golfer's view options, the mount lists built for a kind, where
// the mounts place their views and how the transitions move them on the clock.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "course/terrain.h"
#include "framework/core/preferencevalues.h"
#include "framework/core/utils.h"
#include "framework/core/services.h"
#include "golf/ballstate.h"
#include "scene/ballanim.h"
#include "scene/cammount.h"
#include "scene/camkinds.h"
#include "scene/movingcam.h"
#include "scene/random.h"
#include "scene/shotanim.h"

namespace {

// A flat fairway 400 x 400 round the origin; a shot from (0, -100) toward (0, 100) with a flight 30 high.
class CameraTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InitTerrainGrid(400, 400));
    for (size_t n = 0; n < CurrentTerrain().cellCount(); ++n) TerrainCell(n)[2] = 0x10;
    CameraRotation() = CameraRotations{};
    ActiveMovingCamera = nullptr;
    CameraShotSampler = nullptr;
    CameraViewPainter = nullptr;
    savedDetail_ = GraphicsPreferences[kPrefTerrainDetail];
    HoleMinDetailDistance[0] = 0;
    Shot(false);
    const int32_t rect[4] = {0, 0, 640, 480};
    MainView.SetViewport(rect, nullptr, 0, 1);
    MainView.focusPoint = shot().rest;
    MainView.SetHeading(ViewHeadingToward(shot().rest, shot().goal));
  }
  void TearDown() override {
    GraphicsPreferences[kPrefTerrainDetail] = savedDetail_;
    FullMovingCamera().Finish();
    PipMovingCamera().Finish();
    FreeHoleTerrain();
  }
  static CameraShot& shot() { return CurrentCameraShot(); }
  int32_t savedDetail_ = 0;
  // The recorded flight: a parabola from rest to `end` in 41 frames; holed ends at the goal.
  static void Shot(bool holed, float speed = 70.0f) {
    CameraShot& s = shot();
    s = CameraShot{};
    s.rest = {0.0f, -100.0f, 0.0f};
    s.goal = {0.0f, 100.0f, 0.0f};
    s.aim = s.goal;
    const Vector3 end = holed ? s.goal : Vector3{20.0f, 60.0f, 0.0f};
    s.frames.clear();
    for (int n = 0; n <= 40; ++n) {
      const float f = n / 40.0f;
      s.frames.push_back({s.rest.x + (end.x - s.rest.x) * f, s.rest.y + (end.y - s.rest.y) * f, 120.0f * f * (1 - f)});
    }
    s.final = end;
    s.ball = s.rest;
    s.launchSpeed = speed;
    s.screenWidth = 640, s.screenHeight = 480;
  }
  static void FlyTo(float f) {
    CameraShot& s = shot();
    const int n = static_cast<int>(std::lround(f * 40.0f));
    s.ball = s.frames[static_cast<size_t>(std::clamp(n, 0, 40))];
    s.fraction = f;
  }
};

bool SameView(const TGolfView& a, const TGolfView& b) {
  return a.focusPoint.x == b.focusPoint.x && a.focusPoint.y == b.focusPoint.y && a.focusPoint.z == b.focusPoint.z &&
         a.cameraX == b.cameraX && a.cameraZ == b.cameraZ && a.heightTerm == b.heightTerm && a.heading == b.heading &&
         a.projectionScale == b.projectionScale && a.centreX == b.centreX && a.centreY == b.centreY &&
         a.centreYf == b.centreYf && a.viewLeft == b.viewLeft && a.viewTop == b.viewTop && a.viewWidth == b.viewWidth &&
         a.viewHeight == b.viewHeight && a.eyeHeightOffset == b.eyeHeightOffset && a.lookDistance == b.lookDistance;
}

// ---- kinds ----

TEST_F(CameraTest, MainViewChoicesResolveToFullCamerasWithHardwareAndToNoneWithout) {
  struct Case {
    uint32_t main;
    int kind;  // 0: no camera
  };
  const Case cases[] = {{0, 21}, {3, 22}, {7, 34}, {4, 24}, {8, 32}, {9, 33}, {5, 23}, {6, 26}};
  for (const Case& c : cases) {
    shot().viewChoices = c.main << 16;
    shot().hardware = true;
    ChooseKindsForShot(kFullDefaultCam, 0);
    ASSERT_EQ(ActiveMovingCamera, &FullMovingCamera()) << c.main;
    EXPECT_EQ(ActiveMovingCamera->kind, c.kind) << c.main;
    FullMovingCamera().Finish();
    shot().hardware = false;
    ChooseKindsForShot(kFullDefaultCam, 0);
    EXPECT_EQ(ActiveMovingCamera, nullptr) << "no full-screen camera in software, " << c.main;
  }
}

TEST_F(CameraTest, PipChoicesResolveToPipCameras) {
  struct Case {
    uint32_t pip, main;
    int kind;
  };
  const Case cases[] = {{2, 0, 2}, {9, 0, 15}, {1, 0, 4}, {10, 0, 13}, {11, 0, 14}, {4, 0, 3}, {3, 0, 6}, {0, 6, 6},
                        {5, 0, 12}};
  for (const Case& c : cases) {
    shot().viewChoices = c.pip << 12 | c.main << 16;
    ChooseKindsForShot(kPipDefaultCam, 0);
    ASSERT_EQ(ActiveMovingCamera, &PipMovingCamera()) << c.pip;
    EXPECT_EQ(ActiveMovingCamera->kind, c.kind) << c.pip;
    EXPECT_EQ(ActiveMovingCamera->rect[2] - ActiveMovingCamera->rect[0], 256);
    PipMovingCamera().Finish();
  }
}

TEST_F(CameraTest, TheSpecialGolferTossesACoinBetweenStaticAndBallPipCameras) {
  shot().special = true;
  shot().hardware = true;
  for (int up : {0, 1, 2, 3}) {
    RandomUp = static_cast<uint8_t>(up);
    const uint8_t coin = RandomTable[up];
    ChooseKindsForShot(kFullDefaultCam, 0);
    ASSERT_EQ(ActiveMovingCamera, &PipMovingCamera());
    EXPECT_EQ(ActiveMovingCamera->kind, coin & 1 ? kPipBallCam : kPipStaticCam);
    // The ball camera's mount draws its eye distance from the table too.
    EXPECT_EQ(RandomUp, up + (coin & 1 ? 2 : 1));
    PipMovingCamera().Finish();
  }
}

TEST_F(CameraTest, LaunchSpeedLimitsTheVariantsAndSlowShotsRunNoCamera) {
  struct Case {
    float speed;
    int reverse[3], gallery[3];
  };
  const Case cases[] = {{80.0f, {34, 35, 36}, {24, 32, 33}},
                        {60.0f, {34, 35, 36}, {24, 33, 24}},
                        {6.67f, {34, 34, 34}, {24, 24, 24}}};
  for (const Case& c : cases) {
    CameraRotation() = CameraRotations{};
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(NextReverseBallKind(false, c.speed, false), c.reverse[i]) << c.speed << " " << i;
      EXPECT_EQ(NextGalleryKind(false, c.speed), c.gallery[i]) << c.speed << " " << i;
    }
  }
  EXPECT_EQ(NextReverseBallKind(true, 80.0f, true), 15) << "on the green";
  // Kinds that no moving camera serves run none.
  for (int kind : {kPipRotateCam, kPipHolePopupCam, kPipBlimpCam}) {
    ChooseKindsForShot(kind, 0);
    EXPECT_EQ(ActiveMovingCamera, nullptr) << kind;
  }
  shot().launchSpeed = 6.6f;
  shot().viewChoices = 2 << 12;
  ChooseKindsForShot(kPipDefaultCam, 0);
  EXPECT_EQ(ActiveMovingCamera, nullptr);
}

TEST_F(CameraTest, GalleryKindsAreRefusedWithThePutter) {
  shot().putter = true;
  for (int kind : {4, 13, 14, 24, 32, 33}) EXPECT_FALSE(KindAvailable(kind, 0)) << kind;
  EXPECT_TRUE(KindAvailable(kPipBallCam, 0));
  shot().putter = false;
  EXPECT_TRUE(KindAvailable(kPipGalleryCam, 0));
  HoleMinDetailDistance[0] = 20 << 16;
  GraphicsPreferences[kPrefTerrainDetail] = 1;
  EXPECT_FALSE(KindAvailable(kFullAutoCam, 0)) << "the hole's own detail minimums";
  EXPECT_TRUE(KindAvailable(kFullAutoCam, 1));
  HoleMinDetailDistance[0] = 0;
}

TEST_F(CameraTest, TheAutoSequenceRunsItsEightyStepsAndWraps) {
  std::vector<std::pair<int, int>> first;
  for (int step = 0; step < 80; ++step) {
    int a = 0, b = 0;
    NextAutoCamKinds(&a, &b, false);
    first.emplace_back(a, b);
  }
  EXPECT_EQ(first[0], std::make_pair(22, 22));
  EXPECT_EQ(first[1], std::make_pair(24, 22));
  EXPECT_EQ(first[79], std::make_pair(21, 37));
  int a = 0, b = 0;
  NextAutoCamKinds(&a, &b, false);
  EXPECT_EQ(std::make_pair(a, b), first[0]) << "step 80 is step 0";
  SetAutoCamKind(kFullAutoCam);
  NextAutoCamKinds(&a, &b, true);
  EXPECT_EQ(std::make_pair(a, b), first[1]) << "the remembered step, not advanced";
  EXPECT_EQ(CameraRotation().autoStep, 1);
}

// ---- mount lists ----

std::vector<int> ListKinds(const TMountRun& run) {
  std::vector<int> kinds;
  for (int i = 0; run.list && i < run.list->initialCount; ++i) kinds.push_back(run.list->mounts[i]->kind);
  return kinds;
}
std::vector<float> ListEnds(const TMountRun& run) {
  std::vector<float> ends;
  for (int i = 0; run.list && i < run.list->initialCount; ++i) ends.push_back(run.list->mounts[i]->endFraction);
  return ends;
}

TEST_F(CameraTest, AutoKindsSplitAtThreeQuartersOfTheApexAndCloseWithTheMoveToThePin) {
  TGolfView v = MainView;
  TMountRun run;
  CameraRotation().autoStep = 1;  // pair (24, 22)
  run.SelectMounts(&v, kFullAutoCam);
  EXPECT_EQ(ListKinds(run), (std::vector<int>{24, 22, 30}));
  EXPECT_EQ(ListEnds(run), (std::vector<float>{0.75f * 0.5f, 1.0f, 2.0f}));
  CameraRotation().autoStep = 0;  // pair (22, 22)
  run.SelectMounts(&v, kPipAutoCam);
  EXPECT_EQ(ListKinds(run), (std::vector<int>{2, 10}));
  shot().ballOnGreen = true;
  run.SelectMounts(&v, kPipBallCam);
  EXPECT_EQ(ListKinds(run), (std::vector<int>{2})) << "no move to the pin from the green";
}

TEST_F(CameraTest, AHoledShotEndsWithThePopUpAndNoMoveToThePin) {
  Shot(true);
  TGolfView v = MainView;
  TMountRun run;
  run.SelectMounts(&v, kFullBallCam);
  EXPECT_EQ(ListKinds(run), (std::vector<int>{22, 31}));
  run.SelectMounts(&v, kPipTowerCam);
  EXPECT_EQ(ListKinds(run), (std::vector<int>{3, 11}));
  float f = 0;
  ASSERT_TRUE(FindBallCamTarget(&f));
  EXPECT_FLOAT_EQ(ListEnds(run)[0], f);
  EXPECT_GT(f, 0.9f);
}

TEST_F(CameraTest, AListHoldsFiveMountsAndAKindWithoutAMountAddsNothing) {
  TMountRun run;
  for (int kind : {0, 1, 20, 39, 40, 41}) {
    EXPECT_EQ(CreateMountForKind(kind), nullptr) << kind;
    run.AddMount(1.0f, kind);
  }
  ASSERT_NE(run.list, nullptr);
  EXPECT_EQ(run.list->count, 0);
  for (int i = 0; i < 6; ++i) run.AddMount(1.0f, kFullStaticCam);
  EXPECT_EQ(run.list->count, 5);
  EXPECT_EQ(run.list->initialCount, 5);
  EXPECT_EQ(CreateMountForKind(kPipAutoCam)->kind, kPipBallCam);
  EXPECT_EQ(CreateMountForKind(kFullAutoCam)->kind, kFullBallCam);
}

TEST_F(CameraTest, TheListHandsOverAtTheEndFractionWithTheShowFlags) {
  TGolfView v = MainView;
  TMountRun run;
  run.endFraction = 1.0f;
  run.AddMount(0.5f, kPipStaticCam);
  run.AddMount(1.0f, kPipSnapToLieCam);
  run.list->mounts[0]->Begin(&v);
  run.Update(&v, 0.25f);
  EXPECT_EQ(run.list->current, 0);
  run.Update(&v, 0.5f);
  EXPECT_EQ(run.list->current, 1);
  // The fixed camera asked for the full view; the next mount takes that over.
  EXPECT_TRUE(run.list->mounts[1]->carriedFull);
  EXPECT_TRUE(run.list->mounts[1]->showFull);
  EXPECT_FALSE(run.list->mounts[1]->showPip);
  EXPECT_FALSE(run.IsFinished(0.9f));
  run.Update(&v, 1.0f);
  EXPECT_TRUE(run.IsFinished(1.0f));
  run.list->Advance();
  EXPECT_EQ(run.list->count, 1) << "the last mount stays";
}

// ---- placements ----

TEST_F(CameraTest, APipMountOnA480LineScreenHasItsLimitsInsideThePip) {
  TGolfView v = MainView;
  TStaticCamera m;
  m.kind = kPipStaticCam;
  m.Begin(&v);
  int32_t left = 0, top = 0;
  PipWindowCorner(640, 480, &left, &top);
  EXPECT_EQ(v.viewHeight, 192);
  EXPECT_EQ(v.viewTop, top);
  EXPECT_LE(v.viewLeft + v.viewWidth, 640);
  EXPECT_EQ(m.limitTop, top + 57);
  EXPECT_EQ(m.limitBottom, top + 153);
}

TEST_F(CameraTest, AFullScreenStaticCameraLeavesTheViewUnchanged) {
  TGolfView v = MainView;
  v.centreYf = 123.5f, v.viewLeft = 7;
  const TGolfView before = v;
  TStaticCamera m;
  m.kind = kFullStaticCam;
  m.Begin(&v);
  m.Update(&v, 0.5f);
  EXPECT_TRUE(SameView(v, before));
  EXPECT_TRUE(m.IsDone());
}

TEST_F(CameraTest, TheGalleryStandsAtLeastTenAwayAndEightToTwentyBesideTheLine) {
  struct Case {
    int kind;
    float speed;
    Vector3 end;
  };
  const Case cases[] = {{kPipGalleryCam, 70.0f, {20.0f, 60.0f, 0.0f}},
                        {kPipQtrGalleryCam, 70.0f, {0.0f, -95.0f, 0.0f}},
                        {kFull3QtrGalleryCam, 70.0f, {0.0f, 150.0f, 0.0f}}};
  for (const Case& c : cases) {
    shot().final = c.end;
    TGolfView v = MainView;
    TGalleryMount m;
    m.kind = c.kind;
    m.Begin(&v);
    const Vector3 stand = m.lookVector;
    // Distance along the line (toward the aim) and across it.
    const float along = stand.y - shot().rest.y, across = std::fabs(stand.x - shot().rest.x);
    EXPECT_GE(along, 10.0f - 1e-3f) << c.kind;
    EXPECT_GE(across, 8.0f - 1e-3f) << c.kind;
    EXPECT_LE(across, 20.0f + 1e-3f) << c.kind;
    // It looks back at the golfer, who stands on the lower limit of the picture.
    ScreenPixel p;
    v.ProjectToScreen(shot().rest, &p);
    EXPECT_NEAR(p.y, m.limitBottom, 1.0f) << c.kind;
    EXPECT_GT(p.x, v.viewLeft);
    EXPECT_LT(p.x, v.viewLeft + v.viewWidth);
  }
}

TEST_F(CameraTest, TheTowerSearchKeepsItsLimitsOnWaterAndBadGround) {
  // Everything but the tee is water: the side search ends at 0.1 and the back distance at 0.5.
  for (size_t n = 0; n < CurrentTerrain().cellCount(); ++n) TerrainCell(n)[2] = 0x90;
  TGolfView v = MainView;
  TTowerMount m;
  m.kind = kFullTowerCam;
  m.Begin(&v);
  EXPECT_FLOAT_EQ(m.side, 0.1f);
  EXPECT_FLOAT_EQ(m.backDistance, 0.5f);
  // On fairway it stands 30 beyond the end, looking back at the golfer, and zooms out over the flight.
  for (size_t n = 0; n < CurrentTerrain().cellCount(); ++n) TerrainCell(n)[2] = 0x10;
  TGolfView w = MainView;
  TTowerMount t;
  t.kind = kFullTowerCam;
  t.Begin(&w);
  EXPECT_FLOAT_EQ(t.backDistance, 30.0f);
  EXPECT_GE(t.lookVector.z, 7.0f);
  const float startScale = w.projectionScale;
  EXPECT_GT(startScale, t.value88);
  FlyTo(0.5f);
  t.Update(&w, 0.5f);
  EXPECT_LT(w.projectionScale, startScale);
  FlyTo(1.0f);
  t.Update(&w, 1.0f);
  EXPECT_NEAR(w.projectionScale, t.value88, 0.01f);
}

TEST_F(CameraTest, TheBallMountFollowsTheBallAndRisesWithIt) {
  TGolfView v = MainView;
  TBallMount m;
  m.kind = kPipBallCam;
  m.Begin(&v);
  const int32_t heading = v.heading;
  m.Update(&v, 0.0f);
  EXPECT_FALSE(m.following);
  EXPECT_EQ(v.heading, heading) << "before the ball moves the view keeps its heading";
  FlyTo(0.5f);
  m.Update(&v, 0.5f);
  EXPECT_TRUE(m.following);
  EXPECT_GT(m.eyeRise, 0.0f);
  ScreenPixel p;
  v.ProjectToScreen(shot().ball, &p);
  EXPECT_GT(p.x, v.viewLeft);
  EXPECT_LT(p.x, v.viewLeft + v.viewWidth);
  EXPECT_GT(p.y, v.viewTop);
  EXPECT_LT(p.y, v.viewTop + v.viewHeight);
  // A ball below the interpolated ground: no rise, level 2.
  shot().ball.z = -1.0f;
  shot().ball.x += 1.0f;
  m.Update(&v, 0.5f);
  EXPECT_EQ(m.zoomLevel, 2);
  EXPECT_EQ(m.eyeRise, 0.0f);
}

TEST_F(CameraTest, ThePopUpWithTheBallAtTheGoalClosesIn) {
  Shot(true);
  TGolfView v = MainView;
  THolePopupMount m;
  m.kind = kFullHolePopupCam;
  m.Begin(&v);
  EXPECT_EQ(m.param40, 0);
  FlyTo(1.0f);
  shot().golferState = 7;
  m.Update(&v, 1.0f);
  EXPECT_EQ(m.param40, 1);
  EXPECT_EQ(m.targetDistance, 0.0f);
  EXPECT_TRUE(std::isfinite(v.cameraX));
  EXPECT_NEAR(std::hypot(m.lookVector.x - shot().goal.x, m.lookVector.y - shot().goal.y), 3.5f, 0.01f);
  ScreenPixel g;
  v.ProjectToScreen(shot().goal, &g);
  EXPECT_NEAR(g.y, 0.6666667f * 480.0f, 1.0f) << "the goal two thirds down the screen";
}

// ---- transitions ----

TEST_F(CameraTest, TransitionsMoveOnTheClockStraightOrRoundTheBall) {
  struct Case {
    int32_t turn;
    bool orbits;
  };
  for (const Case c : {Case{0x2000, false}, Case{0x2001, true}}) {
    TGolfView start = MainView, end = MainView;
    start.focusPoint = {0.0f, 0.0f, 0.0f};
    start.SetHeading(0);
    end.focusPoint = {0.0f, 0.0f, 0.0f};
    end.SetHeading(c.turn);
    TTransitionMount m;
    m.kind = kFullTransitionCam;
    shot().now = 1000;
    m.Begin(&start);
    m.SetEndView(end);
    m.orbit = true;
    m.orbitTarget = {0.0f, 0.0f, 0.0f};
    TGolfView v = start;
    m.Update(&v, 1.0f);
    EXPECT_EQ(m.progress, 0.0f);
    shot().now = 2000;
    m.Update(&v, 1.0f);
    EXPECT_FLOAT_EQ(m.progress, 0.5f);
    // Straight: the eye moves along the chord; orbiting: it keeps its distance from the target.
    const float r = std::hypot(v.cameraX, v.cameraZ), r0 = std::hypot(start.cameraX, start.cameraZ);
    if (c.orbits) EXPECT_NEAR(r, r0, 0.05f) << c.turn;
    else EXPECT_LT(r, r0 - 0.05f) << c.turn;
    shot().now = 9000;  // a slow frame at the end lands on the end view
    m.Update(&v, 1.0f);
    EXPECT_FLOAT_EQ(m.progress, 1.0f);
    EXPECT_TRUE(m.IsDone());
    EXPECT_LE(std::abs(AngleDelta(v.heading, end.heading)), 8);
  }
}

TEST_F(CameraTest, ATransitionOfNoLengthOrNoDistanceCompletesAtOnce) {
  TGolfView start = MainView;
  TTransitionMount m;
  m.kind = kPipTransitionCam;
  shot().now = 500;
  m.Begin(&start);
  m.SetEndView(start);
  EXPECT_TRUE(m.skip);
  TGolfView v = start;
  m.Update(&v, 1.0f);
  EXPECT_TRUE(m.IsDone());
  TTransitionMount n;
  n.kind = kPipTransitionCam;
  n.Begin(&start);
  TGolfView far = start;
  far.focusPoint.x += 50.0f;
  far.UpdateTransform();
  n.SetEndView(far);
  n.SetDuration(0.0f);
  n.Update(&v, 1.0f);
  EXPECT_TRUE(n.IsDone());
  EXPECT_FALSE(std::isnan(n.progress));
}

TEST_F(CameraTest, ThePinTransitionBeginsWithoutMovingTheViewAndTimesByTheTurn) {
  TGolfView v = MainView;
  v.SetHeading(0x8000 + v.heading);  // looking back at the tee: a half turn to the pin
  const TGolfView before = v;
  TTransitionPinMount m;
  m.kind = kFullTransitionPinCam;
  m.Begin(&v);
  EXPECT_TRUE(SameView(v, before));
  EXPECT_EQ(m.duration, 1700u);
  EXPECT_TRUE(m.orbit);
}

// ---- frame statistics ----

TEST_F(CameraTest, FrameStatisticsStayFiniteThroughAFrameOfNoTime) {
  ResetCameraFrameStats();
  UpdateCameraFrameStats(1000);
  UpdateCameraFrameStats(1040);  // second frame: the ring fills with 25
  EXPECT_EQ(CameraFrameStats().moved, 2);
  EXPECT_FLOAT_EQ(CameraFrameStats().ringSum, 750.0f);
  UpdateCameraFrameStats(1040);  // no time at all
  EXPECT_TRUE(std::isfinite(CameraFrameStats().ringSum));
  EXPECT_FLOAT_EQ(CameraFrameStats().instant, 1000.0f);
  for (uint32_t t = 1080; t < 1080 + 40 * 40; t += 40) UpdateCameraFrameStats(t);
  EXPECT_NEAR(CameraFrameStats().ringSum / 30.0f, 25.0f, 0.01f);
}

// ---- the moving camera ----

TEST_F(CameraTest, APipCameraFollowsTheShotToItsEnd) {
  shot().viewChoices = 2 << 12;
  ChooseKindsForShot(kPipDefaultCam, 0);
  TMountedMovingCamera* cam = ActiveMovingCamera;
  ASSERT_EQ(cam, &PipMovingCamera());
  std::vector<float> eyes;
  for (int f = 0; f <= 40; ++f) {
    FlyTo(f / 40.0f);
    int done = 0;
    cam->Update(&done, 1000 + f * 40);
    eyes.push_back(cam->camView.cameraZ);
  }
  EXPECT_GT(eyes.back(), eyes.front() + 100.0f) << "the camera went with the ball";
  // Then the move to the pin, done within two seconds of the clock.
  int done = 0;
  for (int n = 0; n < 60 && !done; ++n) cam->Update(&done, 3000 + n * 40);
  EXPECT_EQ(done, 1);
  EXPECT_EQ(cam->run.list->Current()->kind, kPipTransitionPinCam);
}

// The round's recording as the camera reads it: the flight of Shot() with its event bytes, the holed flag on the
// frames from `holedFrom` on (none when past the end).
class RecordedShot : public RoundInterfaceProvider {
 public:
  explicit RecordedShot(size_t holedFrom) : holedFrom_(holedFrom) {}
  bool ShotReplayFrame(int n, uint32_t* time, float* position3, uint8_t* event25) override {
    const std::vector<Vector3>& frames = CurrentCameraShotCopy().frames;
    if (n < 0 || static_cast<size_t>(n) >= frames.size()) return false;
    *time = static_cast<uint32_t>(n) * 50;
    position3[0] = frames[static_cast<size_t>(n)].x, position3[1] = frames[static_cast<size_t>(n)].y;
    position3[2] = frames[static_cast<size_t>(n)].z;
    std::fill(event25, event25 + kBallEventBytes, uint8_t{0});
    event25[kBallFlagHoled] = static_cast<size_t>(n) >= holedFrom_ ? 1 : 0;
    return true;
  }
  static CameraShot& CurrentCameraShotCopy() {
    static CameraShot copy;
    return copy;
  }

 private:
  size_t holedFrom_;
};

// A ball that stops by the hole passes as near it as a holed one, and both shots end with the pop-up; but only the
// holed ball drops, so only then does the pop-up spring up by the hole.
TEST_F(CameraTest, ThePopUpSpringsUpOnlyWhenTheBallIsHoled) {
  for (const bool holed : {true, false}) {
    SCOPED_TRACE(holed);
    Shot(true);
    // The near miss stops a yard short of the hole.
    if (!holed) shot().frames.back().y -= 1.0f;
    RecordedShot::CurrentCameraShotCopy() = shot();
    RecordedShot round(holed ? 40 : 41);
    Services services;
    services.round = &round;
    ScopedServices scoped(services);
    TBallAnimation ball;
    ShotCameraStart start;
    start.from = shot().rest, start.aim = shot().aim, start.goal = shot().goal;
    start.launchSpeed = 70.0f;
    start.viewChoices = 2 << 12;
    start.ball = &ball;
    TMountedMovingCamera* camera = StartShotCamera(start);
    ASSERT_EQ(camera, &PipMovingCamera());
    ASSERT_EQ(camera->run.list->initialCount, 2);
    EXPECT_EQ(camera->run.list->mounts[1]->kind, kPipHolePopupCam);
    // The replay at its end.
    ball.playing = 1;
    ball.replayStart = 1;
    ball.ball.position = shot().frames.back();
    CameraShotSampler(1 + 40 * 50);
    EXPECT_EQ(shot().fraction, 1.0f);
    EXPECT_EQ(shot().golferState == 7, holed);
    FullMovingCamera().Finish();
    PipMovingCamera().Finish();
    CameraShotSampler = nullptr;
    CameraViewPainter = nullptr;
  }
}

}  // namespace
