// holeview --play: a computer golfer plays the loaded hole shot after shot. Each shot is chosen by predicting
// candidate swings with the ball physics and keeping the one that comes to rest nearest the pin; the live shot is
// recorded, and the scene's shot animations (swing, ball and shadow along the recording, divot or splash, the
// flag in the wind, the marker on the green) play it back over the hole, drawn in software or through drvd3d.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "course/scenedata.h"
#include "course/terrain.h"
#include "framework/core/bigfileio.h"
#include "framework/core/paths.h"
#include "framework/core/services.h"
#include "golf/ballflight.h"
#include "golf/launch.h"
#include "holeview.h"
#include "platformlib/gfx/vortel.h"
#include "scene/animlist.h"
#include "scene/ballanim.h"
#include "scene/ballcart.h"
#include "scene/golfdraw.h"
#include "scene/golferanim.h"
#include "scene/gridoverlay.h"
#include "scene/movingcam.h"
#include "scene/shotanim.h"
#include "winapi/testing.h"

namespace holeview {
namespace {

constexpr uint32_t kTick = 40;              // ms between drawn frames
constexpr uint32_t kShotLimit = 90000;      // ms a shot's playback may take at most
constexpr float kDeg = 3.14159265f / 180.0f;

struct Frame {
  uint32_t ms = 0;
  Vector3 position{};
  BallEventRecord event;
};
std::vector<Frame> gFrames;

void StartRecording(uint32_t) { gFrames.clear(); }
void AppendFrame(uint32_t ms, const Vector3* p, const BallEventRecord* e, const Vector3*) {
  gFrames.push_back(Frame{ms, *p, *e});
}

// The round's share the scene asks for: the recorded shot and the in-round ball pictures (the software sprites
// and the hardware ball textures).
class PlayRound : public RoundInterfaceProvider {
 public:
  explicit PlayRound(int32_t width) {
    PathRecord ui{};
    PathSetDirectory(&ui, "\\DATA");
    PathAppend(&ui, width >= 800 ? "UI800" : "UI640");
    const bool opened = BigFileOpenArchive(&ui, "ui.viv", nullptr) == 0;
    const char* const names[kShapes] = {"swball.fsh", "swshadow.fsh", "swrough.fsh", nullptr, "hwballs.fsh"};
    for (uint32_t i = 0; i < kShapes; ++i)
      if (names[i]) shapes_[i] = BigFileLoadToHandle(&ui, names[i], 0);
    if (opened) BigFileCloseArchive();
  }
  ~PlayRound() override {
    for (MemHandle h : shapes_)
      if (h) MemFreeHandle(h);
  }
  bool SampleShotReplay(uint32_t elapsed, float* p, uint8_t* event, bool* ended) override {
    if (gFrames.empty()) return false;
    const Frame* f = &gFrames.back();
    for (const Frame& candidate : gFrames)
      if (candidate.ms >= elapsed) {
        f = &candidate;
        break;
      }
    p[0] = f->position.x, p[1] = f->position.y, p[2] = f->position.z;
    std::memcpy(event, f->event.bytes, kBallEventBytes);
    *ended = elapsed >= gFrames.back().ms;
    return true;
  }
  bool ShotReplayFrame(int n, uint32_t* time, float* p, uint8_t* event) override {
    if (n < 0 || static_cast<size_t>(n) >= gFrames.size()) return false;
    const Frame& f = gFrames[static_cast<size_t>(n)];
    *time = f.ms;
    p[0] = f.position.x, p[1] = f.position.y, p[2] = f.position.z;
    std::memcpy(event, f.event.bytes, kBallEventBytes);
    return true;
  }
  MemHandle GameUIShape(uint32_t n) override { return n < kShapes ? shapes_[n] : 0; }

 private:
  static constexpr uint32_t kShapes = 5;
  MemHandle shapes_[kShapes] = {};
};


float GroundDistance(const Vector3& a, const Vector3& b) { return std::hypot(a.x - b.x, a.y - b.y); }

// A ball at rest at `at` with its lie from the ground.
BallState BallAt(const Vector3& at) {
  BallState b;
  BallStateReset(&b);
  BallPlaceAt(&b, Vector3{at.x, at.y, GetTerrainHeight(at.x, at.y)});
  BallUpdateGround(&b);
  return b;
}

void Launch(BallState* b, const Vector3& toward, float speed, float angle, float spin) {
  BallLaunchVector(b, Vector3{toward.x - b->position.x, toward.y - b->position.y, 0.0f}, speed, angle, spin, 0.0f);
  BallFlightStart(b);
}

struct Swing {
  float speed = 0.0f, angle = 0.0f, spin = 0.0f;
};

// The swing whose predicted rest lies nearest the pin (holed counts as at it).
Swing ChooseSwing(const BallState& ball, const Vector3& pin) {
  const bool putt = OnPuttingSurface(ball.lie);
  std::vector<Swing> candidates;
  if (putt) {
    for (int k = 1; k <= 48; ++k) candidates.push_back({0.25f * static_cast<float>(k), 0.0f, 0.0f});
  } else {
    for (float angle : {12.0f, 20.0f, 30.0f, 42.0f})
      for (int k = 1; k <= 40; ++k) candidates.push_back({2.0f * static_cast<float>(k), angle * kDeg, 50.0f});
  }
  Swing best;
  float bestDistance = 1e30f;
  for (const Swing& s : candidates) {
    BallState trial = ball;
    Launch(&trial, pin, s.speed, s.angle, s.spin);
    BallRunShot(&trial, kBallStepSeconds, false);
    const float d = trial.Flag(kBallFlagHoled) ? 0.0f : GroundDistance(trial.position, pin) +
                                                           (BallIsWaterSurface(static_cast<uint8_t>(trial.lie << 4)) ? 1000.0f : 0.0f);
    if (d < bestDistance) bestDistance = d, best = s;
  }
  return best;
}

// The shot's camera from the golfer's view options, drawn into holeview's picture: a full-screen camera becomes
// the view drawn (through the module), a picture-in-picture camera draws its inset over the software picture and
// its clean copy.
void StartCamera(TGolfView& view, Picture& picture, bool d3d, uint32_t viewChoices, const Vector3& pin,
                 const Swing& swing, bool putt, const BallState& ball, TBallAnimation& ballAnimation, PlayedShot& result) {
  MainView = view;
  ShotCameraStart start;
  start.from = ball.position;
  start.aim = start.goal = pin;
  start.launchSpeed = swing.speed;
  start.putter = putt;
  start.hardware = d3d;
  start.viewChoices = viewChoices;
  start.screenWidth = view.viewWidth;
  start.screenHeight = view.viewHeight;
  start.ball = &ballAnimation;
  TMountedMovingCamera* camera = StartShotCamera(start);
  if (!camera) return;
  result.camera = CameraKindName(camera->kind);
  static std::vector<uint16_t> insetDepth;
  CameraViewPainter = [&view, &picture, d3d, &result](TMountedMovingCamera& c) {
    const int kind = c.run.list && c.run.list->Current() ? c.run.list->Current()->kind : -1;
    if (kind >= 0 && (result.mounts.empty() || result.mounts.back() != CameraKindName(kind)))
      result.mounts.push_back(CameraKindName(kind));
    result.cameraSteps = c.framesDrawn + 1;
    result.cameraMoved = std::max(result.cameraMoved, std::hypot(c.lastEye.x - c.firstEye.x, c.lastEye.y - c.firstEye.y));
    if (!c.pip) {
      if (d3d) view = c.camView;
      return;
    }
    if (d3d || CurrentCameraShot().fraction <= 0.015f) return;
    const int32_t w = picture.width, h = picture.height;
    insetDepth.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
    const Surface16 target{picture.pixels.data(), w, 0, 0, w, h}, depth{insetDepth.data(), w, 0, 0, w, h};
    if (!DrawInsetView(c.camView, target, depth, CurrentCameraShot().ball)) return;
    ++result.insetFrames;
    for (int32_t y = std::max(c.camView.viewTop, 0); y < std::min(c.camView.viewTop + c.camView.viewHeight, h); ++y) {
      const size_t row = static_cast<size_t>(y) * static_cast<size_t>(w);
      const int32_t left = std::max(c.camView.viewLeft, 0), right = std::min(c.camView.viewLeft + c.camView.viewWidth, w);
      std::copy(picture.pixels.begin() + row + left, picture.pixels.begin() + row + right, picture.background.begin() + row + left);
    }
  };
}

}  // namespace

namespace {

// Where the range's shot should meet the cart: a point on its line toward the end it drives to, and how long after
// a shot's animations start the recorded ball first comes within the cart's reach of it (ms; the recording's end
// when it never does).
uint32_t ReachTime(const Vector3& p) {
  for (const Frame& f : gFrames)
    if (std::fabs(f.position.x - p.x) <= 1.5f && std::fabs(f.position.y - p.y) <= 1.8f && f.position.z - p.z <= 1.5f)
      return f.ms;
  return gFrames.empty() ? 0 : gFrames.back().ms;
}

}  // namespace

std::vector<PlayedShot> PlayHole(TGolfView& view, Picture& picture, bool d3d, int maxShots, const FrameShown& shown,
                                 uint32_t viewChoices, bool range) {
  std::vector<PlayedShot> played;
  Vector3 pin;
  if (!PinGroundPoint(&pin)) return played;
  pin.z = GetTerrainHeight(pin.x, pin.y);
  const Vector3 tee = view.focusPoint;
  LoadSceneMovies("\\DATA");
  PlayRound round(view.viewWidth);
  RoundInterfaceProvider* previous = Svc().round;
  Svc().round = &round;
  BallSetReplaySink(BallReplaySink{nullptr, StartRecording, AppendFrame, nullptr});
  // The range's targets have no cups.
  if (range) BallClearCup();
  else BallSetCup(pin);
  BallSetWind(8, 0x3000);
  AnimationList().SetSceneMode(d3d ? 1 : 0);
  PresentSceneAnimations = [] {};  // each frame below draws the scene itself
  const ObjectType& pinType = CurrentCourseScene().objectTypes[kPinObjectType];
  Vector3 pinTop = pin;
  pinTop.z += pinType.present ? static_cast<float>(pinType.worldHeight) / 65536.0f : 2.3f;

  TBallAnimation ballAnimation;
  TGolferAnimation swingAnimation;
  const bool cart = range && LoadBallCart("\\DATA");
  if (cart) PlaceBallCart(&view);
  const CartBallSource cartBall{&ballAnimation, nullptr};
  Vector3 at = tee;
  uint32_t now = 1000;
  uint32_t impactDelay = 0;  // from a shot's start to the ball leaving, found by a silent run of the first swing
  bool delayKnown = false;
  bool go = true;
  for (int shot = 0; shot < maxShots && go; ++shot) {
    BallState ball = BallAt(at);
    PlayedShot result;
    result.from = ball.position;
    result.putt = OnPuttingSurface(ball.lie);
    // One frame: the animations step, the picture is drawn and shown.
    const auto frame = [&]() {
      now += kTick;
      if (winapi::testing::VirtualClockOn()) winapi::testing::AdvanceClock(kTick);
      const int hitsBefore = BallCartHits();
      UpdateAnimationList(now);
      int sprites = 0;
      if (d3d) {
        sprites = DrawDirect3D(view, picture).animationSprites;
        result.sprites = std::max(result.sprites, sprites);
      } else {
        StepWater(picture, now);
      }
      ++result.drawnFrames;
      if (TBallCartAnimation* c = BallCart()) {
        if (BallCartHits() != hitsBefore && BallCartHits() > 0) result.cartHit = BallCartHits();
        result.cartExploding = c->Exploding();
        result.cartBlownUp = result.cartBlownUp || result.cartExploding;
        result.cartDrawn = d3d ? !c->behindEye : c->drawn != 0;
      }
      return sprites;
    };
    const auto drawStill = [&]() {
      if (d3d) return;
      DrawSoftware(view, picture);
      AnimSurfaces() = AnimationSurfaces{{picture.pixels.data(), picture.width, picture.height, picture.width},
                                         {picture.background.data(), picture.width, picture.height, picture.width},
                                         picture.depth.data()};
    };
    Vector3 target = pin;
    Swing swing;
    if (cart) {
      // The shot meets the cart: aimed at a point on its line toward the end it drives to, played when the cart
      // will be there as the ball arrives. Meanwhile the cart drives on its own.
      TBallCartAnimation& c = *BallCart();
      for (int tries = 0; tries < 8 && go; ++tries) {
        const float direction = c.Exploding() || c.velocity.x == 0.0f ? 0.0f : (c.velocity.x > 0.0f ? 1.0f : -1.0f);
        target = Vector3{direction * 41.0f, c.world.y, 0.0f};
        target.z = GetTerrainHeight(target.x, target.y);
        swing = ChooseSwing(ball, target);
        BallState trial = ball;
        Launch(&trial, target, swing.speed, swing.angle, swing.spin);
        BallRunShot(&trial, kBallStepSeconds, true);
        // The cart is to reach the ball where it comes to rest, a moment after it does.
        const Vector3 meet = trial.position;
        if (!delayKnown) {
          // The swing alone, drawn nowhere, until the ball leaves.
          const AnimationSurfaces kept = AnimSurfaces();
          AnimSurfaces() = AnimationSurfaces{};
          ShotAnimationStart dry;
          dry.view = &view, dry.from = ball.position, dry.lie = ball.lie, dry.pinTop = pinTop;
          dry.ball = &ballAnimation, dry.swing = &swingAnimation;
          AnimationList().SetSceneMode(0);
          StartShotAnimations(dry);
          uint32_t t = 0;
          for (; t < 10000 && !ballAnimation.playing; t += kTick) UpdateAnimationList(100000 + t);
          impactDelay = t, delayKnown = true;
          RemoveAllAnimations();
          ballAnimation.ResetBall();
          AnimationList().SetSceneMode(d3d ? 1 : 0);
          AnimSurfaces() = kept;
        }
        const float eyeBack = 18.0f;
        const float toTee = std::hypot(tee.x - target.x, tee.y - target.y);
        PlaceViewBehind(view, Vector3{target.x + (tee.x - target.x) * eyeBack / toTee,
                                      target.y + (tee.y - target.y) * eyeBack / toTee, target.z}, target);
        drawStill();
        AnimationList().SetSceneMode(d3d ? 1 : 0);
        StartBallCart(&view, cartBall, false);
        const float unitsPerMs = TBallCartAnimation::kSpeed * static_cast<float>(TBallCartAnimation::kStepRate >> 16) / 1000.0f;
        const float arrive = direction == 0.0f ? -1.0f : (meet.x - c.world.x) / (direction * unitsPerMs);
        const float wait = arrive - static_cast<float>(impactDelay + ReachTime(meet) + 200);
        // Too late for this crossing: the cart drives to its end and turns (or finishes blowing up) first.
        const float driveFor = wait >= 0.0f ? wait : std::max(arrive, 0.0f) + 600.0f;
        for (float t = 0.0f; t + kTick / 2.0f < driveFor && go; t += kTick) {
          frame();
          go = !shown || shown(shot, result, picture);
        }
        if (wait >= 0.0f) break;
      }
    } else {
      target = pin;
      swing = ChooseSwing(ball, pin);
    }
    if (!go) break;
    BallState live = ball;
    Launch(&live, target, swing.speed, swing.angle, swing.spin);
    BallRunShot(&live, kBallStepSeconds, true);
    result.rest = live.position;
    result.restLie = live.lie;
    result.holed = live.Flag(kBallFlagHoled) != 0;
    result.recordedFrames = static_cast<int>(gFrames.size());

    // Seen from behind the ball, toward the pin (on the range the view that waited for the cart).
    if (!cart) {
      PlaceViewBehind(view, ball.position, pin);
      drawStill();
    }
    ShotAnimationStart start;
    start.view = &view;
    start.from = ball.position;
    start.lie = ball.lie;
    start.putt = result.putt;
    start.pinTop = pinTop;
    start.caddie = true;
    start.pin = pin;
    start.windHeading = 0x3000;
    start.windSpeed = 8;
    start.ball = &ballAnimation;
    start.swing = &swingAnimation;
    StartShotAnimations(start);
    if (cart) StartBallCart(&view, cartBall, false);
    if (viewChoices != 0) StartCamera(view, picture, d3d, viewChoices, target, swing, result.putt, ball, ballAnimation, result);
    AnimationList().SetSceneMode(d3d ? 1 : 0);
    const Vector3 eye = ViewLookPoint(view);
    for (uint32_t t = 0; t < kShotLimit && go; t += kTick) {
      const int sprites = frame();
      const Vector3 drawnEye = ViewLookPoint(view);
      result.viewMoved = std::max(result.viewMoved, std::hypot(drawnEye.x - eye.x, drawnEye.y - eye.y));
      const bool swinging = !swingAnimation.IsFinished() && !swingAnimation.behindEye;
      if (swinging && (d3d ? sprites > 0 : swingAnimation.drawn != 0)) result.golferSeen = true;
      if (const TGreenCaddieAnimation* c = GreenCaddie(false, false); c && !c->behindEye && (d3d || c->drawn)) {
        const auto& entries = AnimationList().entries;
        result.caddieSeen = result.caddieSeen || std::any_of(std::begin(entries), std::end(entries),
                                                             [c](const auto& e) { return e.animation == c; });
      }
      result.inAir = ballAnimation.playing && !ballAnimation.ball.Flag(kBallFlagGrounded);
      if (result.inAir) ++result.airFrames, result.ballFlew = true;
      go = !shown || shown(shot, result, picture);
      if (ballAnimation.landed && !ballAnimation.playing && !AnyAnimationRunning()) break;
    }
    played.push_back(result);
    RemoveAllAnimations();
    CameraViewPainter = nullptr;
    if (!go || result.holed) break;
    at = range ? tee : result.rest;
    if (!range && BallIsWaterSurface(static_cast<uint8_t>(live.lie << 4))) at = ball.position;  // played again from where it was
  }
  RemoveAllAnimations();
  FreeBallCart();
  FullMovingCamera().Finish();
  PipMovingCamera().Finish();
  CameraViewPainter = nullptr;
  CameraShotSampler = nullptr;
  InsetFigures().clear();
  AnimationList().SetSceneMode(0);
  PresentSceneAnimations = nullptr;
  AnimSurfaces() = AnimationSurfaces{};
  BallSetReplaySink(BallReplaySink{});
  BallClearCup();
  Svc().round = previous;
  return played;
}

}  // namespace holeview
