// The hardware frame's calls against the recording module: the background cleared first, one quad call for every
// record and one quad mesh for every batch, one flush of the interface for every flush of the buffers, which the frame's drawing
// cost forces more than once on a whole hole; an animation's picture in scene mode drawn with the hole.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "course/terrain.h"
#include "demohole.h"
#include "holeview.h"
#include "framework/core/memmgr.h"
#include "framework/core/services.h"
#include "platformlib/gfx/vortel.h"
#include "platformlib/shapes/shapes.h"
#include "scene/animlist.h"
#include "scene/ballanim.h"
#include "scene/golferanim.h"
#include "scene/gridoverlay.h"
#include "scene/holedraw3d.h"
#include "scene/movieanim.h"
#include "scene/render3d.h"
#include "scene/scenesprite.h"
#include "shapewriter.h"
#include "windows.h"

namespace {

class HardwareFrameTest : public DemoHoleTest {
 protected:
  void TearDown() override {
    RemoveAllAnimations();
    AnimationList() = TAnimationList{};
    TakeQueuedSceneSprites();
    TakeQueuedSceneTriangles();
    ForgetHardwareHoleTextures();
    if (vortellive.module) VORTEL_closedll();
  }
  static TGolfView CameraView(const char* camera) {
    TGolfView view;
    holeview::SetUpView(view, 640, 480, holeview::CameraByName(camera));
    return view;
  }
  // The open recording module's probes: the number of calls it took, each call as text, and its controls.
  struct Recorder {
    int (*count)() = ModuleProc<int (*)()>(vortellive.module, "recordmodule_count");
    const char* (*call)(int) = ModuleProc<const char* (*)(int)>(vortellive.module, "recordmodule_call");
    void (*control)(const char*, intptr_t) =
        ModuleProc<void (*)(const char*, intptr_t)>(vortellive.module, "recordmodule_control");
  };
};

TEST_F(HardwareFrameTest, CallsOfAFrameAgainstTheRecordingModule) {
  ASSERT_TRUE(loaded_);
  ASSERT_EQ(VORTEL_opendll("recordmodule"), 1);
  const auto [count, call, control] = Recorder{};
  ASSERT_TRUE(count && call && control);
  for (const char* camera : {"tee", "green"}) {
    SCOPED_TRACE(camera);
    control("reset", 0);
    TGolfView view;
    holeview::SetUpView(view, 640, 480, holeview::CameraByName(camera));
    const HardwareFrameStats stats = DrawHoleHardware(view, &view.focusPoint);
    std::vector<std::string> calls;
    for (int i = 0; i < count(); ++i) calls.emplace_back(call(i));
    auto number = [&](const std::string& name) {
      return static_cast<int32_t>(std::count(calls.begin(), calls.end(), name));
    };
    const auto first = [&](const std::string& name) { return std::find(calls.begin(), calls.end(), name); };
    EXPECT_EQ(number("clearwindow"), 1);
    EXPECT_LT(first("clearwindow"), first("drawquad"));
    // The ground below the horizon is one record; each batch is one quad mesh; a cell record is a quad or two
    // triangles. This module keeps no textures, so composed tiles and shadow masks are left out, whole-cell shadows
    // drawn.
    EXPECT_GT(stats.tiles, 100);
    EXPECT_GT(stats.shadows, 100);
    EXPECT_EQ(stats.drawnTiles, 0);
    EXPECT_GT(stats.drawnShadows, 0);
    EXPECT_LT(stats.drawnShadows, stats.shadows);
    EXPECT_EQ(number("drawquad") + number("drawtri") / 2,
              stats.horizonPieces + stats.loneQuads + stats.sprites + stats.flags + stats.skyQuads + stats.waterMarkers +
                  stats.drawnTiles + stats.drawnShadows);
    int32_t meshes = 0, meshQuads = 0;
    for (const std::string& c : calls)
      if (c.rfind("drawquadmesh ", 0) == 0) ++meshes, meshQuads += std::stoi(c.substr(13));
    EXPECT_EQ(meshes, stats.batches);
    EXPECT_EQ(meshQuads, stats.batchedQuads);
    EXPECT_EQ(number("flushwindow"), stats.flushes);
    // The cost budget flushes whenever it is reached: a flush holds at most the budget and one more record (the
    // flag's the dearest), and the end flushes once more.
    const int64_t cost = 144LL * stats.batchedQuads + 128LL * (stats.sprites + stats.flags + stats.loneQuads + 1) +
                         33792LL * stats.flags + (128LL + 256LL) * (stats.tiles + stats.shadows);
    const int64_t budget = SceneRecordBuffer::kCostBudget, dearest = 33792 + 128;
    EXPECT_GE(stats.flushes, (cost - budget) / (budget + dearest) + 1);
    EXPECT_LE(stats.flushes, cost / budget + 1);
    EXPECT_GT(stats.flushes, 1);
    EXPECT_GE(stats.batches * static_cast<int32_t>(kTextureBatchQuads), stats.batchedQuads);
    EXPECT_EQ(stats.loneQuads, 0);
    EXPECT_EQ(HardwareRecordBuffer().position, 0u);  // the last flush emptied the buffer
    if (std::string(camera) == "green") {
      EXPECT_EQ(stats.flags, 1);
    }
  }
  // While the flag animation waves on the pin, the pin's own flag is left out.
  HoleFlagAnimated = true;
  TGolfView green = CameraView("green");
  const HardwareFrameStats animated = DrawHoleHardware(green, &green.focusPoint);
  HoleFlagAnimated = false;
  EXPECT_EQ(animated.flags, 0);
  EXPECT_GT(animated.sprites, 0);
}

// The adaptive steps: cells lower than the tile step keep their plain texture; shadows on cells lower than the
// decal step darken the whole cell (drawn here, where the soft mask tiles find no texture).
TEST_F(HardwareFrameTest, AdaptiveStepsKeepLowCellsPlainAndTheirShadowsWhole) {
  ASSERT_TRUE(loaded_);
  ASSERT_EQ(VORTEL_opendll("recordmodule"), 1);
  struct Case {
    int32_t tileStep, decalStep;
    bool tiles, allShadowsWhole;
  };
  const AdaptiveDetail saved = gAdaptive;
  for (const Case& c : {Case{1, 1, true, false}, Case{100000, 1, false, false}, Case{1, 100000, true, true}}) {
    SCOPED_TRACE(std::to_string(c.tileStep) + " " + std::to_string(c.decalStep));
    TGolfView view;
    holeview::SetUpView(view, 640, 480, holeview::CameraByName("tee"));
    gAdaptive.stepWhole[0] = c.tileStep, gAdaptive.stepWhole[1] = c.decalStep;
    const HardwareFrameStats stats = DrawHoleHardware(view, &view.focusPoint);
    EXPECT_EQ(stats.tiles > 0, c.tiles);
    EXPECT_GT(stats.shadows, 100);
    EXPECT_EQ(stats.drawnShadows == stats.shadows, c.allShadowsWhole);
  }
  gAdaptive = saved;
}

// A 16-bit picture w x h, its hot spot at its foot.
std::vector<uint8_t> TallSprite(int32_t w, int32_t h) {
  shapetools::Image image;
  image.type = 0x78;
  image.width = w, image.height = h;
  image.centrex = w / 2, image.centrey = h;
  image.pixels.assign(static_cast<size_t>(w) * h, 0x07E0);
  return shapetools::shapefile({{"fr01", image}});
}

TEST_F(HardwareFrameTest, AMovieInSceneModeIsDrawnWithTheHoleInTwoPieces) {
  ASSERT_TRUE(loaded_);
  ASSERT_EQ(VORTEL_opendll("recordmodule"), 1);
  const auto [count, call, control] = Recorder{};
  ASSERT_TRUE(count && call && control);
  TGolfView view;
  holeview::SetUpView(view, 640, 480, holeview::CameraByName("tee"));
  const std::vector<uint8_t> bytes = TallSprite(300, 600);
  const MemHandle handle = MemAllocHandle(bytes.size(), 0);
  ASSERT_NE(handle, 0);
  std::memcpy(MemLock(handle), bytes.data(), bytes.size());
  MemUnlock(handle);
  TShapeMovie movie;
  ASSERT_EQ(movie.OpenHandle(handle), 0);
  TMovieAnimation a;
  Vector3 at = view.focusPoint;
  ASSERT_EQ(a.Place(&movie, 0, &view, at.x, at.y, at.z), 0);
  ASSERT_EQ(AddAnimation(2, &a, 0, 0, 0), 0);

  auto frame = [&](int scene) {
    AnimationList().SetSceneMode(scene);
    control("reset", 0);
    const HardwareFrameStats stats = DrawHoleHardware(view, &view.focusPoint);
    std::vector<std::string> calls;
    for (int i = 0; i < count(); ++i) calls.emplace_back(call(i));
    const int32_t quads = static_cast<int32_t>(std::count(calls.begin(), calls.end(), "drawquad"));
    const int32_t spriteImages = static_cast<int32_t>(std::count(calls.begin(), calls.end(), "talloc 256 256 3 0"));
    return std::make_tuple(stats,
                           quads - (stats.horizonPieces + stats.loneQuads + stats.sprites + stats.flags + stats.skyQuads +
                                    stats.waterMarkers),
                           spriteImages);
  };
  // Outside scene mode the animation draws itself over the picture, not in the scene.
  auto [plain, plainExtra, plainImages] = frame(0);
  EXPECT_EQ(plain.animationSprites, 0);
  EXPECT_EQ(plainExtra, 0);
  EXPECT_EQ(plainImages, 0);
  // In scene mode its 300 x 600 frame goes through both 256 x 256 sprite images: two quads.
  auto [scene, sceneExtra, sceneImages] = frame(1);
  EXPECT_EQ(scene.animationSprites, 1);
  EXPECT_EQ(sceneExtra, 2);
  EXPECT_EQ(sceneImages, 2);
  EXPECT_TRUE(TakeQueuedSceneSprites().empty());
  RemoveAllAnimations();
}

// The green caddie: made from its image set at the target, drawn with the hole on the hardware path, reloaded only
// for another digit, gone when its set is missing and when the hole changes.
TEST_F(HardwareFrameTest, TheGreenCaddieStandsAtTheTargetAndGoesWithTheHole) {
  ASSERT_TRUE(loaded_);
  EXPECT_EQ(TGreenCaddieAnimation::FileName(3, false, false), "c3f.fsh");
  EXPECT_EQ(TGreenCaddieAnimation::FileName(0, true, true), "c0bpip.fsh");
  ASSERT_EQ(VORTEL_opendll("recordmodule"), 1);
  TGolfView view;
  holeview::SetUpView(view, 640, 480, holeview::CameraByName("green"));
  Vector3 pin;
  ASSERT_TRUE(PinGroundPoint(&pin));
  TGreenCaddieAnimation* c = CreateGreenCaddie("\\DATA", &view, 0, false, false, pin);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(GreenCaddie(false, false), c);
  EXPECT_EQ(c->behindEye, 0);
  EXPECT_GT(c->scale, 0);
  // Placed again with the same digit: the same instance, its movie kept.
  const uint8_t* first = c->movie.FrameRef(1);
  EXPECT_EQ(CreateGreenCaddie("\\DATA", &view, 0, false, false, pin), c);
  EXPECT_EQ(c->movie.FrameRef(1), first);
  ASSERT_EQ(AddAnimation(2, c, 0, 0, 0), 0);
  AnimationList().SetSceneMode(1);
  EXPECT_EQ(DrawHoleHardware(view, &view.focusPoint).animationSprites, 1);
  AnimationList().SetSceneMode(0);
  // A digit without images: no caddie for that view and side.
  EXPECT_EQ(CreateGreenCaddie("\\DATA", &view, 7, false, false, pin), nullptr);
  EXPECT_EQ(GreenCaddie(false, false), nullptr);
  ASSERT_NE(CreateGreenCaddie("\\DATA", &view, 0, true, false, pin), nullptr);
  FreeGreenCaddieAnimations();
  EXPECT_EQ(GreenCaddie(true, false), nullptr);
  for (int i = 0; i < TAnimationList::kEntries; ++i) EXPECT_EQ(AnimationList().entries[i].animation, nullptr);
}

// The round's share of a ball flying 30 yards a second away from the tee: the recorded flight, the meter's swing and
// the ball textures (image 1 the ball, image 2 its shadow: a grey disc, clear round it).
class FlyingBallRound : public RoundInterfaceProvider {
 public:
  FlyingBallRound(const Vector3& from, const Vector3& direction) : from_(from), direction_(direction) {
    shapetools::Image image;
    image.type = 0x78;
    image.width = image.height = 64;
    image.pixels.assign(64 * 64, 0xFFFF);
    shapetools::Image shadow = image;
    shadow.width = shadow.height = 16;
    shadow.pixels.assign(16 * 16, 0);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x)
        if (std::hypot(x + 0.5f - 8.0f, y + 0.5f - 8.0f) < 8.0f) shadow.pixels[static_cast<size_t>(y) * 16 + x] = 0xA514;
    const std::vector<uint8_t> file = shapetools::shapefile({{"none", image}, {"ball", image}, {"shad", shadow}});
    textures_ = MemAllocHandle(file.size(), 0);
    std::memcpy(MemLock(textures_), file.data(), file.size());
    MemUnlock(textures_);
  }
  ~FlyingBallRound() override { MemFreeHandle(textures_); }
  Vector3 At(uint32_t ms) const {
    const float t = static_cast<float>(ms) * 0.03f;
    return Vector3{from_.x + direction_.x * t, from_.y + direction_.y * t, from_.z + 5.0f};
  }
  bool SampleShotReplay(uint32_t elapsed, float* p, uint8_t* event, bool* ended) override {
    const Vector3 at = At(elapsed);
    p[0] = at.x, p[1] = at.y, p[2] = at.z;
    std::memset(event, 0, kBallEventBytes);
    event[kBallFlagMoving] = 1;
    *ended = false;
    return true;
  }
  bool MeterSwing(float* power, float* curve) override {
    *power = power_, *curve = curve_;
    return meter_;
  }
  MemHandle GameUIShape(uint32_t n) override { return n == 4 ? textures_ : 0; }
  bool meter_ = true;
  float power_ = 1.0f, curve_ = 0.0f;

 private:
  Vector3 from_, direction_;
  MemHandle textures_ = 0;
};

// The streak: two blended triangles behind a ball swung past full power, on every render back end but kind 4; the
// charge's longer tail reaches 100 ms back instead of 70.
TEST_F(HardwareFrameTest, TheStreakIsDrawnOnBackEndsOtherThanKindFour) {
  ASSERT_TRUE(loaded_);
  ASSERT_EQ(VORTEL_opendll("recordmodule"), 1);
  const auto [count, call, control] = Recorder{};
  ASSERT_TRUE(count && call && control);
  TGolfView view = CameraView("tee");
  const Vector3 ahead{-view.backS, -view.backC, 0.0f};
  FlyingBallRound round(view.focusPoint, ahead);
  RoundInterfaceProvider* saved = Svc().round;
  Svc().round = &round;
  const RenderStart savedStart = gRenderStart;
  struct Case {
    const char* name;
    int backEnd;
    bool meter;
    float power, curve;
    uint32_t shotType;
    int grounded, firstContact;
    bool drawn;
  };
  const Case cases[] = {
      {"Glide", 1, true, 1.04f, 0.0f, 0, 0, 0, true},
      {"ATI", 3, true, 1.04f, 0.0f, 1, 0, 0, true},
      {"software module", 7, true, 1.04f, 0.0f, 3, 0, 0, true},
      {"Direct3D", 4, true, 1.04f, 0.0f, 0, 0, 0, false},
      {"full power", 1, true, 1.0f, 0.0f, 0, 0, 0, false},
      {"curved", 1, true, 1.04f, 0.2f, 0, 0, 0, false},
      {"no meter", 1, false, 1.04f, 0.0f, 0, 0, 0, false},
      {"shot type 4", 1, true, 1.04f, 0.0f, 4, 0, 0, false},
      {"on the ground", 1, true, 1.04f, 0.0f, 0, 1, 0, false},
      {"after the first contact", 1, true, 1.04f, 0.0f, 0, 0, 1, false},
  };
  // The hole's own triangles (cells split in two) are the same every frame of the view.
  const auto triangles = [&] {
    int n = 0;
    for (int i = 0; i < count(); ++i) n += std::string(call(i)) == "drawtri";
    return n;
  };
  control("reset", 0);
  DrawHoleHardware(view, &view.focusPoint);
  const int hole = triangles();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    gRenderStart.backEndKind = static_cast<uint8_t>(c.backEnd);
    round.meter_ = c.meter, round.power_ = c.power, round.curve_ = c.curve;
    TBallAnimation ball;
    ball.view = &view;
    ball.playing = 1;
    ball.shotType = c.shotType;
    ball.replayElapsed = 400;
    ball.ball.position = round.At(400);
    ball.ball.flags[kBallFlagMoving - 1] = 1;
    ball.ball.flags[kBallFlagGrounded - 1] = static_cast<uint8_t>(c.grounded);
    ball.ball.flags[kBallFlagFirstContact - 1] = static_cast<uint8_t>(c.firstContact);
    control("reset", 0);
    ball.QueueSceneSprites();
    DrawHoleHardware(view, &view.focusPoint);
    EXPECT_EQ(triangles() - hole, c.drawn ? 2 : 0);
  }
  // The tail's end: where the replay had the ball 70 ms, or on a charge 100 ms, before.
  gRenderStart.backEndKind = 1;
  round.power_ = 1.04f, round.curve_ = 0.0f;
  for (const auto& [longStreak, back] : {std::pair{0, 70u}, {1, 100u}}) {
    TBallAnimation ball;
    ball.view = &view;
    ball.playing = 1;
    ball.longStreak = longStreak;
    ball.replayElapsed = 400;
    ball.ball.position = round.At(400);
    ball.ball.flags[kBallFlagMoving - 1] = 1;
    ball.ball.flags[kBallFlagGrounded - 1] = 0;
    TakeQueuedSceneSprites();
    ball.QueueSceneSprites();
    const std::vector<SceneTriangle> tail = TakeQueuedSceneTriangles();
    ASSERT_EQ(tail.size(), 2u);
    ScreenPointF earlier;
    view.ProjectToScreenFloat(round.At(400 - back), &earlier);
    EXPECT_NEAR(tail[0].x[0], earlier.x, 0.01f) << longStreak;
    EXPECT_NEAR(tail[0].y[0], earlier.y, 0.01f) << longStreak;
    EXPECT_EQ(tail[0].colour[1], longStreak ? 0xC0FFFFFFu : 0x80FFFFFFu);
  }
  gRenderStart = savedStart;
  Svc().round = saved;
}

// The pitch mark in scene mode: the shadow's disc in black, drawn with the hole each frame; the ground shows round it.
TEST_F(HardwareFrameTest, ThePitchMarkIsTheShadowsDiscInBlack) {
  ASSERT_TRUE(loaded_);
  TGolfView view = CameraView("green");
  Vector3 at{view.focusPoint.x + view.backS * 3.0f, view.focusPoint.y + view.backC * 3.0f, 0.0f};
  at.z = GetTerrainHeight(at.x, at.y);
  FlyingBallRound round(at, Vector3{});
  RoundInterfaceProvider* saved = Svc().round;
  Svc().round = &round;
  TBallAnimation ball;
  ball.view = &view;
  ball.pitchMarked = 1;
  ball.pitchMarkAt = at;
  ScreenPointF p;
  view.ProjectToScreenFloat(at, &p);
  const MARect r = ShadowSpriteRect(p.x, p.y, BallPixelSize(view, at) + 1.0f, true);
  ASSERT_GE(r.right - r.left, 6);
  std::string error;
  ASSERT_TRUE(holeview::OpenDirect3D(640, 480, 0, error)) << error;
  holeview::Picture ground, marked;
  holeview::DrawDirect3D(view, ground);
  ball.QueuePitchMark();
  const HardwareFrameStats stats = holeview::DrawDirect3D(view, marked);
  holeview::CloseDirect3D();
  Svc().round = saved;
  EXPECT_EQ(stats.animationSprites, 1);
  const auto pixel = [](const holeview::Picture& picture, int32_t x, int32_t y) {
    return picture.pixels[static_cast<size_t>(y) * 640 + x];
  };
  const int32_t cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  EXPECT_EQ(pixel(marked, cx, cy), 0) << "black at the middle";
  EXPECT_NE(pixel(ground, cx, cy), 0);
  for (const auto& [x, y] : {std::pair{r.left, r.top}, {r.right - 1, r.top}, {r.left, r.bottom - 1}})
    EXPECT_EQ(pixel(marked, x, y), pixel(ground, x, y)) << "the ground at the corner " << x << "," << y;
}

// A picture's part laid over a rectangle (the hardware ball): only the part's texels, tinted, through drvd3d.
TEST_F(HardwareFrameTest, APartOfAPictureIsLaidOverItsRectangleTinted) {
  ASSERT_TRUE(loaded_);
  TGolfView view;
  holeview::SetUpView(view, 640, 480, holeview::CameraByName("tee"));
  std::string error;
  ASSERT_TRUE(holeview::OpenDirect3D(640, 480, 0, error)) << error;
  // 64 x 64: the left half red, the right half white.
  shapetools::Image image;
  image.type = 0x78;
  image.width = image.height = 64;
  image.pixels.resize(64 * 64);
  for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = (i % 64) < 32 ? 0xF800 : 0xFFFF;
  const std::vector<uint8_t> file = shapetools::shapefile({{"part", image}});
  SceneSprite sprite;
  sprite.file = file.data(), sprite.entry = locateshapenum(file.data(), 0);
  ASSERT_NE(sprite.entry, nullptr);
  sprite.x = 100.0f, sprite.y = 100.0f, sprite.depth = 0.5f;
  sprite.width = sprite.height = 20.0f;
  sprite.srcLeft = 40, sprite.srcTop = 8, sprite.srcRight = 56, sprite.srcBottom = 24;
  sprite.tint = 0xFF808080u;
  QueueSceneSprite(sprite);
  holeview::Picture picture;
  const HardwareFrameStats stats = holeview::DrawDirect3D(view, picture);
  holeview::CloseDirect3D();
  EXPECT_EQ(stats.animationSprites, 1);
  ASSERT_EQ(picture.pixels.size(), 640u * 480u);
  // White halved: grey across the whole rectangle, no red of the picture's other half.
  for (const auto& [x, y] : {std::pair{101, 101}, {110, 110}, {118, 118}}) {
    const uint16_t c = picture.pixels[static_cast<size_t>(y) * 640 + x];
    const int r = c >> 11, g = (c >> 5) & 63, b = c & 31;
    EXPECT_NEAR(r, 16, 2) << x << "," << y;
    EXPECT_NEAR(g, 32, 4) << x << "," << y;
    EXPECT_NEAR(b, 16, 2) << x << "," << y;
  }
}

}  // namespace

namespace {

TEST(FogTable, LevelsForDirect3DAndOtherBackEnds) {
  struct Case {
    int level;
    bool direct3D;
    std::vector<std::pair<int, int>> entries;  // index, value
  };
  const Case cases[] = {
      {0, true, {{0, 0}, {31, 0}, {63, 0}}},
      {1, true, {{0, 0}, {1, 5}, {19, 95}, {20, 100}, {31, 100}, {32, 0}, {62, 0}, {63, 100}}},
      // Start 20, growing by 1.1 and 20: 20, 40, 62, 86, ... up to the ceiling of 180.
      {2, true, {{0, 20}, {1, 40}, {2, 62}, {3, 86}, {31, 180}, {32, 0}, {63, 180}}},
      {3, true, {{0, 40}, {1, 65}, {31, 240}, {63, 240}}},
      {1, false, {{0, 0}, {31, 0}, {32, 0}, {33, 5}, {63, 155}}},
      {2, false, {{32, 0}, {33, 4}, {34, 8}, {63, 240}}},
      {4, true, {{0, 0}, {63, 0}}},
  };
  for (const Case& c : cases) {
    uint8_t table[64];
    std::memset(table, 0xAA, sizeof table);
    MakeFogTable(c.level, c.direct3D, table);
    for (const auto& [index, value] : c.entries)
      EXPECT_EQ(table[index], value) << "level " << c.level << (c.direct3D ? " Direct3D" : " other") << " entry "
                                     << index;
  }
}

TEST_F(HardwareFrameTest, DefaultStatesSendFogOnlyAboveLevelZero) {
  ASSERT_EQ(VORTEL_opendll("recordmodule"), 1);
  const auto [count, call, control] = Recorder{};
  ASSERT_TRUE(count && call && control);
  // Level 2 on a module that turns fog on, and on one that refuses it (the table is then not sent).
  for (const auto& [level, accepted] : {std::pair{0, 1}, {2, 1}, {2, 0}}) {
    control("reset", 0);
    control("setstate", accepted);
    SendDefaultRenderStates(level);
    std::vector<std::string> calls;
    for (int i = 0; i < count(); ++i) calls.emplace_back(call(i));
    ASSERT_GE(calls.size(), 6u);
    const std::vector<std::string> defaults(calls.begin(), calls.begin() + 6);
    EXPECT_EQ(defaults, (std::vector<std::string>{"setstate 7 1", "setstate 5 1", "setstate 6 1", "setstate 11 0",
                                                  "setstate 4 1", "setstate 2 0"}));
    if (level == 0) {
      EXPECT_EQ(calls.size(), 6u);
    } else if (!accepted) {
      ASSERT_EQ(calls.size(), 7u);
      EXPECT_EQ(calls[6], "setstate 21 1");
    } else {
      ASSERT_EQ(calls.size(), 9u);
      EXPECT_EQ(calls[6], "setstate 21 1");
      EXPECT_EQ(calls[7], "setstate 15 " + std::to_string(0xFFD0E0FFu));
      EXPECT_EQ(calls[8].rfind("setstate 105 ", 0), 0u);
    }
  }
}


// The Direct3D fog curve runs near to far over its first half and the module picks an entry by depth: the hole's
// ground must spread over that half, or every pixel takes the same fog.
TEST_F(HardwareFrameTest, TheGroundSpreadsOverTheFogCurveSoDistantGroundIsFoggedMore) {
  ASSERT_TRUE(loaded_);
  ASSERT_EQ(VORTEL_opendll("recordmodule"), 1);
  const auto [count, call, control] = Recorder{};
  const auto depths = ModuleProc<void (*)(float*, float*)>(vortellive.module, "recordmodule_depths");
  const auto fogTable = ModuleProc<const uint8_t* (*)()>(vortellive.module, "recordmodule_fogtable");
  ASSERT_TRUE(control && depths && fogTable);
  const uint8_t kind = gRenderStart.backEndKind;
  gRenderStart.backEndKind = 4;
  control("reset", 0);
  control("setstate", 1);
  SendDefaultRenderStates(3);
  TGolfView view;
  holeview::SetUpView(view, 640, 480, holeview::CameraByName("tee"));
  DrawHoleHardware(view, &view.focusPoint);
  gRenderStart.backEndKind = kind;
  float nearest = 0.0f, farthest = 0.0f;
  depths(&nearest, &farthest);
  // The entry of the 64 that a depth reads (the module expands them over its 256 by depth x 255).
  const auto entry = [](float z) { return static_cast<int>(std::lround(z * 255.0f) * 63 / 255); };
  EXPECT_GE(entry(nearest), 0);
  EXPECT_LT(entry(farthest), 32);  // never into the curve's empty middle
  EXPECT_GE(entry(farthest) - entry(nearest), 8);
  const uint8_t* table = fogTable();
  EXPECT_LT(table[entry(nearest)], table[entry(farthest)]);
  EXPECT_EQ(table[entry(farthest)], 240);  // the far ground as foggy as the sky at the far limit
  EXPECT_EQ(table[63], 240);
}

}  // namespace
