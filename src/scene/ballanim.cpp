#include "scene/ballanim.h"

#include <algorithm>
#include <cmath>

#include "course/terrain.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "platformlib/shapes/shapes.h"
#include "scene/movieanim.h"
#include "scene/render3d.h"
#include "scene/scenesprite.h"

GroundStarter StartGroundMovieAt = nullptr;

namespace {

constexpr MARect kNoRect{-1, -1, -1, -1};
constexpr uint8_t kLieGreen = 7, kLieFringe = 11, kLieSand = 2, kLieWater = 5, kLieRough = 3, kLieHeavyRough = 4;

int32_t Round(float v) { return static_cast<int32_t>(v + 0.5f); }

bool Inside(const MARect& r, const MARect& clip) {
  return r.left > clip.left && r.top > clip.top && r.right < clip.right && r.bottom < clip.bottom;
}

MARect ViewRect(const TGolfView& v) {
  return MARect{v.viewLeft, v.viewTop, v.viewLeft + v.viewWidth, v.viewTop + v.viewHeight};
}

}  // namespace

bool OnPuttingSurface(uint8_t lie) {
  const uint8_t l = lie & 0x0F;
  return l == kLieGreen || l == kLieFringe;
}

float BallPixelSize(const TGolfView& view, const Vector3& point) {
  ScreenPointF a, b;
  view.ProjectToScreenFloat(point, &a);
  view.ProjectToScreenFloat(Vector3{point.x, point.y, point.z + 1.0f}, &b);
  const float size = std::fabs(a.y - b.y) * kBallRadius * 2.0f;
  return std::min(size, 16.0f);
}

int BallSpriteNumber(float size) { return std::clamp(static_cast<int>(size + 0.5f), 1, 16); }

const BallTexelRow& BallTexels(float size, bool inRough) {
  const int k = std::clamp(Round(std::clamp(size, 1.0f, 16.0f)) - 1, 0, 15);
  return inRough ? kBallRoughTexels[k] : kBallTexels[k];
}

MARect BallSpriteRect(float x, float y, float s) {
  s = std::clamp(s, 1.0f, 16.0f);
  return MARect{Round(x - s), Round(y - s), Round(x + s), Round(y + s)};
}

MARect HardwareBallRect(float x, float y, float s, bool inRough, MARect* texels) {
  s = std::clamp(s, 1.0f, 16.0f);
  const BallTexelRow& t = BallTexels(s, inRough);
  const auto left = static_cast<int32_t>(x - s + 0.5f + static_cast<float>(t.dx));
  const auto top = static_cast<int32_t>(y - s + 0.5f + static_cast<float>(t.dy));
  if (texels) *texels = MARect{t.c0, t.r0, t.c1 + 1, t.r1 + 1};
  return MARect{left, top, left + t.c1 - t.c0 + 1, top + t.r1 - t.r0 + 1};
}

BallStreak BuildBallStreak(const TGolfView& view, const Vector3& ball, const Vector3& earlier, float size,
                           bool longTail) {
  BallStreak streak;
  if (ball.x == earlier.x && ball.y == earlier.y && ball.z == earlier.z) return streak;
  view.ProjectToScreenFloat(ball, &streak.s);
  if (!(streak.s.Z > 0.0f)) return streak;
  view.ProjectToScreenFloat(earlier, &streak.p);
  if (!(streak.p.Z > 0.0f)) {
    // Depth is linear along the segment: the tail ends just in front of the eye's plane.
    const float t = streak.s.Z / (streak.s.Z - streak.p.Z + 0.001f) * 0.99f;
    const Vector3 cut{ball.x + (earlier.x - ball.x) * t, ball.y + (earlier.y - ball.y) * t,
                      ball.z + (earlier.z - ball.z) * t};
    view.ProjectToScreenFloat(cut, &streak.p);
  }
  const float dx = streak.s.x - streak.p.x, dy = streak.s.y - streak.p.y;
  const float length = std::hypot(dx, dy);
  const float w = std::max(size * 0.5f, 1.0f);
  // Across the direction of travel on the screen (any across when the tail is seen end on).
  const float nx = length > 0.0f ? -dy / length : 1.0f, ny = length > 0.0f ? dx / length : 0.0f;
  streak.a = ScreenPointF{streak.s.x + w * nx, streak.s.y + w * ny, streak.s.Z};
  streak.b = ScreenPointF{streak.s.x - w * nx, streak.s.y - w * ny, streak.s.Z};
  streak.tailColour = 0x00808080u;
  streak.headColour = longTail ? 0xC0FFFFFFu : 0x80FFFFFFu;
  streak.sideColour = longTail ? 0x10FFFFFFu : 0x20FFFFFFu;
  streak.built = true;
  return streak;
}

MARect ShadowSpriteRect(float x, float y, float s, bool sceneMode) {
  s = std::clamp(s, 1.0f, 16.0f);
  const int32_t left = Round(x - s / 2), top = Round(y - s / 2);
  const int32_t extra = sceneMode ? 1 : 0;
  return MARect{left, top, static_cast<int32_t>(static_cast<float>(left) + s) + extra,
                static_cast<int32_t>(static_cast<float>(top) + s) + extra};
}

MARect MarkerRect(float x, float y, float s, const MARect& bounds) {
  s = std::max(s, 1.0f);
  MARect r{Round(x - 0.375f * s), Round(y - 0.125f * s), Round(x + 0.375f * s), Round(y + 0.125f * s)};
  if (r.right < bounds.left || r.left >= bounds.right || r.bottom < bounds.top || r.top >= bounds.bottom)
    return kNoRect;
  r.left = std::max(r.left, bounds.left);
  r.top = std::max(r.top, bounds.top);
  r.right = std::min(r.right, bounds.right - 1);
  r.bottom = std::min(r.bottom, bounds.bottom - 1);
  return r;
}

uint16_t MarkerColour(int golfer) {
  static const uint32_t kArgb[4] = {0xFFFFFF50, 0xFFAA0000, 0xFF0000AA, 0xFFFFFFFF};
  const uint32_t c = kArgb[std::clamp(golfer, 0, 3)];
  return static_cast<uint16_t>(((c >> 8) & 0xF800) | ((c >> 5) & 0x07E0) | ((c >> 3) & 0x001F));
}

const uint8_t* BallSpriteFile(int which) {
  // Checked once a file; a handle number can come back for another file, so the memory and size are compared too.
  struct Cached {
    MemHandle handle = 0;
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    const uint8_t* file = nullptr;
  };
  static Cached cached[4];
  if (which < 0 || which > 3) return nullptr;
  const MemHandle h = Svc().round->GameUIShape(static_cast<uint32_t>(which == 3 ? 4 : which));
  const uint8_t* p = h ? static_cast<const uint8_t*>(MemLock(h)) : nullptr;
  if (p) MemUnlock(h);  // the in-round set keeps its files in memory while the round runs
  const size_t size = p ? MemHandleSize(h) : 0;
  Cached& c = cached[which];
  if (h != c.handle || p != c.bytes || size != c.size) {
    c = Cached{h, p, size, p && checkshapefile(p, size) == 1 ? p : nullptr};
  }
  return c.file;
}

void TBallAnimation::ResetBall() {
  playing = 0;
  replayStart = 0;
  landed = pitchMarked = groundStarted = 0;
  wasGrounded = 1;
  for (SpriteRecord& r : sprites) r = SpriteRecord{};
}

void TBallAnimation::StartShot(uint32_t now, const Vector3& from) {
  ResetBall();
  BallStateReset(&ball);
  ball.position = from;
  ball.Flag(kBallFlagGrounded) = 1;
  playing = 1;
  replayStart = now;
}

void TBallAnimation::OnRemove() {
  // `landed` stays: the shot's ball came to rest (the next shot's start clears it).
  playing = 0;
  replayStart = 0;
  pitchMarked = groundStarted = 0;
}

int TBallAnimation::Erase() {
  if (hidden || sceneMode) return 0;
  static const int kOrder[4] = {kShadow, kBall, kFourth, kMarker};
  for (int i : kOrder) {
    SpriteRecord& r = sprites[i];
    if (!r.saved) continue;
    MARect rect = r.rect;
    if (i == kShadow) ++rect.right, ++rect.bottom;
    RestoreAnimationRect(rect, r.depthValue);
    r.saved = 0;
  }
  drawn = 0;
  return 0;
}

TBallAnimation::SpritePlan TBallAnimation::PlanSprites(TGolfView& v, bool hardware) const {
  SpritePlan plan;
  if (ball.Flag(kBallFlagHoled)) return plan;
  const MARect clip = ViewRect(v);
  ScreenPointF at;
  v.ProjectToScreenFloat(ball.position, &at);
  if (at.Z <= 0.0f) return plan;
  const bool full = v.viewWidth == Facts().screenWidth;
  const float size = BallPixelSize(v, ball.position);
  uint16_t depthValue = MovieDepthValue(at.Z, full);
  const bool green = OnPuttingSurface(ball.lie);
  if (green) depthValue = depthValue <= 2 ? 1 : static_cast<uint16_t>(depthValue - 2);
  if (green && ball.Flag(kBallFlagGrounded)) {
    const MARect r = MarkerRect(at.x, at.y, size * 2.0f, clip);
    if (r.left < 0 && r.right < 0) return plan;
    plan.marker = true;
    plan.markerRect = r;
    plan.markerColour = MarkerColour(golfer);
    plan.markerDepth = depthValue;
    plan.markerZ = at.Z;
    return plan;
  }
  // The shadow lies on the ground below a ball in the air.
  Vector3 shadowPoint = ball.position;
  if (!ball.Flag(kBallFlagGrounded)) shadowPoint.z = GetTerrainHeight(ball.position.x, ball.position.y);
  ScreenPointF sp;
  v.ProjectToScreenFloat(shadowPoint, &sp);
  const bool rough = ball.Flag(kBallFlagGrounded) &&
                     ((ball.lie & 0x0F) == kLieRough || (ball.lie & 0x0F) == kLieHeavyRough);
  // The hardware path takes its ball and shadow from the ball texture file when the set has it.
  const uint8_t* textures = hardware ? BallSpriteFile(3) : nullptr;
  const uint8_t* ballTexture = textures ? locateshapenum(textures, 1) : nullptr;
  const uint8_t* shadowTexture = textures ? locateshapenum(textures, 2) : nullptr;
  if (sp.Z > 0.0f) {
    const float ss = BallPixelSize(v, shadowPoint);
    const float sx = sp.x - (ss * 0.25f + 1.0f), sy = sp.y + ss * 0.25f;
    if (ballTexture && shadowTexture) {
      const MARect r = ShadowSpriteRect(sx, sy, ss, true);
      if (Inside(r, clip))
        plan.shadow = {textures, shadowTexture, r.left, r.top, sp.Z, MovieDepthValue(sp.Z, full), r, {}, 0xFF505050u};
    } else {
      const MARect r = ShadowSpriteRect(sx, sy, ss, false);
      const uint8_t* file = BallSpriteFile(1);
      const uint8_t* entry = file ? locateshapenum(file, BallSpriteNumber(ss) - 1) : nullptr;
      if (entry && Inside(r, clip))
        plan.shadow = {file, entry, r.left + shapecentrex(entry), r.top + shapecentrey(entry), sp.Z,
                       MovieDepthValue(sp.Z, full)};
    }
  }
  if (ballTexture && shadowTexture) {
    MARect texels;
    const MARect r = HardwareBallRect(at.x, at.y, size, rough, &texels);
    if (Inside(r, clip)) plan.ball = {textures, ballTexture, r.left, r.top, at.Z, depthValue, r, texels, 0xFFFFFFFFu};
    return plan;
  }
  const MARect r = BallSpriteRect(at.x, at.y, size);
  const uint8_t* file = BallSpriteFile(rough ? 2 : 0);
  const uint8_t* entry = file ? locateshapenum(file, BallSpriteNumber(size) - 1) : nullptr;
  if (entry && Inside(r, clip)) {
    // The image is as large as the rectangle, the ball at its middle.
    const int32_t cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
    plan.ball = {file, entry, cx - shapewidth(entry) / 2 + shapecentrex(entry),
                 cy - shapeheight(entry) / 2 + shapecentrey(entry), at.Z, depthValue};
  }
  return plan;
}

void TBallAnimation::DrawSprites(TGolfView& v) {
  const AnimationSurfaces& s = AnimSurfaces();
  if (!s.screen.pixels) return;
  const SpritePlan plan = PlanSprites(v);
  const MARect clip = ViewRect(v);
  if (plan.marker) {
    const MARect& r = plan.markerRect;
    for (int32_t y = r.top; y <= r.bottom && y < s.screen.height; ++y)
      for (int32_t x = r.left; x <= r.right && x < s.screen.width; ++x) {
        const size_t i = static_cast<size_t>(y) * s.screen.pitch + x;
        if (!s.depth || s.depth[i] >= plan.markerDepth) s.screen.pixels[i] = plan.markerColour;
      }
    sprites[kMarker] = {MARect{r.left, r.top, r.right + 1, r.bottom + 1}, 1, plan.markerDepth};
    AddDirtyRect(sprites[kMarker].rect);
    return;
  }
  const PlacedSprite* placed[2] = {&plan.shadow, &plan.ball};
  const Sprite slots[2] = {kShadow, kBall};
  for (int k = 0; k < 2; ++k) {
    const PlacedSprite& p = *placed[k];
    if (!p.entry) continue;
    const MARect d = DrawShapeSprite16(p.file, p.entry, s, clip, p.x, p.y, 0x10000, p.depthValue, k == 0);
    if (d.right > d.left) {
      sprites[slots[k]] = {d, 1, p.depthValue};
      AddDirtyRect(d);
    }
  }
}

bool StreakWanted(const StreakShot& shot, const BallState& ball) {
  if (shot.backEnd == 4 || shot.shotType >= 4 || !shot.meter || !(shot.power > 1.0f) || shot.curve != 0.0f)
    return false;
  return !ball.Flag(kBallFlagGrounded) && ball.Flag(kBallFlagMoving) && !ball.Flag(kBallFlagFirstContact);
}

void TBallAnimation::QueueStreak(const SpritePlan& plan) {
  if (!playing || !plan.ball.entry || !view) return;
  StreakShot shot;
  shot.backEnd = gRenderStart.backEndKind;
  shot.shotType = shotType;
  shot.meter = Svc().round->MeterSwing(&shot.power, &shot.curve);
  if (!StreakWanted(shot, ball)) return;
  const uint32_t back = longStreak ? kLongStreakBackMs : kStreakBackMs;
  float p[3];
  uint8_t event[kBallEventBytes];
  bool ended = false;
  if (!Svc().round->SampleShotReplay(replayElapsed > back ? replayElapsed - back : 0, p, event, &ended)) return;
  const BallStreak streak =
      BuildBallStreak(*view, ball.position, Vector3{p[0], p[1], p[2]}, BallPixelSize(*view, ball.position), longStreak);
  if (!streak.built) return;
  // Just behind the ball.
  const float depth = streak.s.Z + 0.01f;
  QueueSceneTriangle({{streak.p.x, streak.s.x, streak.a.x}, {streak.p.y, streak.s.y, streak.a.y},
                      {streak.tailColour, streak.headColour, streak.sideColour}, depth});
  QueueSceneTriangle({{streak.p.x, streak.b.x, streak.s.x}, {streak.p.y, streak.b.y, streak.s.y},
                      {streak.tailColour, streak.sideColour, streak.headColour}, depth});
}

void TBallAnimation::QueuePitchMark() {
  if (!pitchMarked || !view) return;
  ScreenPointF at;
  view->ProjectToScreenFloat(pitchMarkAt, &at);
  if (!(at.Z > 0.0f)) return;
  const float size = BallPixelSize(*view, pitchMarkAt) + 1.0f;
  const MARect r = ShadowSpriteRect(at.x, at.y, size, true);
  if (!Inside(r, ViewRect(*view))) return;
  // The ball textures' shadow, else the software shadow of the mark's size.
  const uint8_t* file = BallSpriteFile(3);
  const uint8_t* entry = file ? locateshapenum(file, 2) : nullptr;
  if (!entry) {
    file = BallSpriteFile(1);
    entry = file ? locateshapenum(file, BallSpriteNumber(size) - 1) : nullptr;
  }
  if (!entry) return;
  SceneSprite mark;
  mark.file = file, mark.entry = entry;
  mark.x = static_cast<float>(r.left), mark.y = static_cast<float>(r.top), mark.depth = at.Z;
  mark.width = static_cast<float>(r.right - r.left), mark.height = static_cast<float>(r.bottom - r.top);
  mark.tint = 0xFF000000u;
  QueueSceneSprite(mark);
}

void TBallAnimation::QueueSceneSprites() {
  if (hidden || !view) return;
  QueuePitchMark();
  const SpritePlan plan = PlanSprites(*view, true);
  if (plan.marker) {
    const MARect& r = plan.markerRect;
    SceneSprite m;
    m.x = static_cast<float>(r.left), m.y = static_cast<float>(r.top), m.depth = plan.markerZ;
    m.width = static_cast<float>(r.right + 1 - r.left), m.height = static_cast<float>(r.bottom + 1 - r.top);
    m.colour = plan.markerColour;
    QueueSceneSprite(m);
    return;
  }
  QueueStreak(plan);
  for (const PlacedSprite* p : {&plan.shadow, &plan.ball}) {
    if (!p->entry) continue;
    SceneSprite sprite;
    sprite.file = p->file, sprite.entry = p->entry;
    sprite.x = static_cast<float>(p->x), sprite.y = static_cast<float>(p->y), sprite.depth = p->depth;
    if (p->rect.right > p->rect.left) {
      sprite.width = static_cast<float>(p->rect.right - p->rect.left);
      sprite.height = static_cast<float>(p->rect.bottom - p->rect.top);
      sprite.srcLeft = p->texels.left, sprite.srcTop = p->texels.top;
      sprite.srcRight = p->texels.right, sprite.srcBottom = p->texels.bottom;
      sprite.tint = p->tint;
    }
    QueueSceneSprite(sprite);
  }
}

int TBallAnimation::Update(int* finished, uint32_t now) {
  *finished = 0;
  if (hidden) return 0;
  Erase();
  if (playing) {
    if (replayStart == 0) replayStart = now;
    ReplaySample sample;
    bool ended = false;
    const uint32_t elapsed = now - replayStart;
    replayElapsed = elapsed;
    float p[3];
    if (Svc().round->SampleShotReplay(AnimationList().skipRequest ? 0xFFFFFFFFu : elapsed, p, sample.event, &ended)) {
      ball.position = Vector3{p[0], p[1], p[2]};
      BallEventRecord e;
      std::copy(sample.event, sample.event + kBallEventBytes, e.bytes);
      BallSetEventRecord(&ball, e);
    } else {
      ended = true;
    }
    const bool grounded = ball.Flag(kBallFlagGrounded) != 0;
    if (grounded && !wasGrounded && !groundStarted) {
      groundStarted = 1;
      const uint8_t lie = ball.lie & 0x0F;
      if (StartGroundMovieAt && (lie == kLieWater || ball.Flag(kBallFlagWater))) StartGroundMovieAt(2, ball.position);
      else if (StartGroundMovieAt && lie == kLieSand) StartGroundMovieAt(1, ball.position);
    }
    if (grounded && !wasGrounded && !pitchMarked && !putter && OnPuttingSurface(ball.lie) && view) {
      // The pitch mark stays on the green: drawn into the picture and into the background it is restored from.
      pitchMarked = 1;
      pitchMarkAt = ball.position;
      ScreenPointF at;
      view->ProjectToScreenFloat(ball.position, &at);
      const float size = BallPixelSize(*view, ball.position) + 1.0f;
      // In scene mode the hole is drawn afresh each frame: the mark goes with it (QueuePitchMark).
      if (at.Z > 0.0f && !sceneMode) {
        const MARect r = ShadowSpriteRect(at.x, at.y, size, false);
        AnimationSurfaces s = AnimSurfaces();
        for (int pass = 0; pass < 2; ++pass) {
          const Image16& img = pass == 0 ? s.screen : s.background;
          if (!img.pixels) continue;
          for (int32_t y = std::max(r.top, 0); y < std::min(r.bottom, img.height); ++y) {
            // Rounded: the first and last rows are a pixel shorter at each end.
            const int32_t edge = (y == r.top || y == r.bottom - 1) ? 1 : 0;
            for (int32_t x = std::max(r.left + edge, 0); x < std::min(r.right - edge, img.width); ++x)
              img.pixels[static_cast<size_t>(y) * img.pitch + x] = 0;
          }
        }
        AddDirtyRect(r);
      }
    }
    wasGrounded = grounded;
    if (ended) {
      landed = 1;
      OnRemove();
    }
  }
  // In scene mode the ball is a picture of the scene (QueueSceneSprites), drawn with it.
  if (view && !sceneMode) DrawSprites(*view);
  lastFrameTime = now;
  *finished = IsFinished();
  return 0;
}
