#include "scene/golferanim.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "framework/core/paths.h"
#include "framework/core/services.h"
#include "scene/ballanim.h"

// ---- the golfer -------------------------------------------------------------------------------------------------

int TGolferAnimation::PlaceSwing(TShapeMovie* movie, TGolfView* v, const Vector3& ball, int32_t impact, int32_t hold,
                                 int32_t height) {
  impactFrame = impact;
  holdFrame = hold;
  figureHeight = height > 0 ? height : 0x300000;
  impactFired = 0;
  const int result = Place(movie, 0, v, ball.x, ball.y, ball.z);
  if (result == 0 && quickGolfer) frameCount = 1;
  return result;
}

int TGolferAnimation::IsFrameDue(uint32_t now) {
  // Held on its hold frame while the ball is still flying.
  if (holdFrame > 0 && frameCounter >= holdFrame && ballAnimation && ballAnimation->IsFinished() == 0) return 0;
  return TMovieAnimation::IsFrameDue(now);
}

int TGolferAnimation::Update(int* finished, uint32_t now) {
  if (hidden) {
    *finished = IsFinished();
    return 0;
  }
  const int result = TMovieAnimation::Update(finished, now);
  if (result) return result;
  if (!impactFired && (quickGolfer || frameCounter >= impactFrame)) {
    impactFired = 1;
    if (groundAnimation) groundAnimation->held = 0;
    if (onImpact) onImpact(now);
  }
  return 0;
}

void TGolferAnimation::UpdateScreenPlacement() {
  TMovieAnimation::UpdateScreenPlacement();
  if (behindEye || !view) return;
  const float expected = static_cast<float>(figureHeight) / 65536.0f * 2.0f;
  ScreenPointF top;
  view->ProjectToScreenFloat(Vector3{world.x, world.y, world.z + 2.0f}, &top);
  const float pixels = std::fabs(top.y - screenY);
  // The figure stands on the ground under it: drawn as if a little nearer, so the turf at its feet stays behind.
  const float nearer = std::max(1.0f, depth - 2.5f);
  if (pixels < 4.0f || expected <= 0.0f) {
    behindEye = 1;
    return;
  }
  depthValue = MovieDepthValue(nearer, view->viewWidth == Facts().screenWidth);
  sceneDepth = nearer;
  scale = static_cast<int32_t>(std::min(pixels / expected, 64.0f) * 65536.0f);
}

// ---- the flag ---------------------------------------------------------------------------------------------------

int FlagDirectionForWind(uint16_t windDirection, int32_t viewHeading, int windClass) {
  if (windClass == 0) return 0;
  const uint16_t a = static_cast<uint16_t>(windDirection - static_cast<uint16_t>(viewHeading));
  if (a < 0x1000 || a >= 0xF000) return 1;
  if (a < 0x3000) return 5;
  if (a < 0x5000) return 2;
  if (a < 0x7000) return 5;
  if (a < 0x9000) return 3;
  if (a < 0xB000) return 6;
  if (a < 0xD000) return 4;
  return 6;
}

int32_t FlagFrameRate(int windClass) { return windClass == 0 ? 0x20000 : windClass == 2 ? 0xC0000 : 0xA0000; }

int TFlagAnimation::SetWind(TShapeMovie* const movies[7], TGolfView* v, const Vector3& pinTop, uint16_t windDirection,
                            int windClass) {
  previousDirection = direction;
  direction = FlagDirectionForWind(windDirection, v ? v->heading : 0, windClass);
  TShapeMovie* movie = movies[direction];
  if (!movie || movie->frameCount <= 0) movie = movies[0];
  const int result = Place(movie, 0, v, pinTop.x, pinTop.y, pinTop.z);
  if (result) return result;
  SetFrameDuration(FlagFrameRate(windClass));
  return 0;
}

int TFlagAnimation::IsFrameDue(uint32_t now) {
  if (held || frameCount <= 0) return 0;
  // The cloth loops: at its last frame it starts again.
  if (frameCounter >= frameCount) {
    frameCounter = 1;
    lastFrameTime = now;
    return 0;
  }
  return TMovieAnimation::IsFrameDue(now);
}

int TFlagAnimation::Update(int* finished, uint32_t now) {
  if (frameCounter >= frameCount && frameCount > 1) {
    const uint32_t ms = static_cast<uint32_t>(std::max(frameTime >> 16, 1));
    if (now - lastFrameTime >= ms) {
      frameCounter = 1;
      lastFrameTime = now;
    }
  }
  const int result = TMovieAnimation::Update(finished, now);
  *finished = 0;
  return result;
}

void TFlagAnimation::UpdateScreenPlacement() {
  TMovieAnimation::UpdateScreenPlacement();
  if (behindEye || !view || !frameSource) return;
  const MARect r{view->viewLeft, view->viewTop, view->viewLeft + view->viewWidth, view->viewTop + view->viewHeight};
  if (!PointInRect(&r, screenPosition.x, screenPosition.y)) {
    behindEye = 1;
    return;
  }
  ScreenPointF up;
  view->ProjectToScreenFloat(Vector3{world.x, world.y, world.z + 1.0f}, &up);
  const float perUnit = std::fabs(up.y - screenY);
  const uint8_t* first = frameSource->FrameRef(1);
  const int32_t h = first ? (first[6] | first[7] << 8) : 0;
  scale = h > 0 ? std::max(1, static_cast<int32_t>(perUnit * clothHeight / static_cast<float>(h) * 65536.0f)) : 0x10000;
}

// ---- divots, sand and splashes ----------------------------------------------------------------------------------

int TSimpleAnimation::Start(TShapeMovie* movie, int k, TGolfView* v, const Vector3& at, bool startHeld) {
  kind = k;
  const int result = Place(movie, 0, v, at.x, at.y, at.z + kHeightOffset[std::clamp(k % 3, 0, 2)]);
  if (result) return result;
  held = startHeld;
  return 0;
}

void TSimpleAnimation::UpdateScreenPlacement() {
  TMovieAnimation::UpdateScreenPlacement();
  if (behindEye || !view) return;
  ScreenPointF up;
  view->ProjectToScreenFloat(Vector3{world.x, world.y, world.z + 1.0f}, &up);
  const float perUnit = std::fabs(up.y - screenY);
  // Too small to see counts as out of sight; the movies are drawn 32 pixels to the world unit.
  if (perUnit < 2.0f) {
    behindEye = 1;
    return;
  }
  scale = static_cast<int32_t>(std::min(perUnit / 32.0f, 16.0f) * 65536.0f);
}

// ---- the green caddie ---------------------------------------------------------------------------------------

namespace {

std::unique_ptr<TGreenCaddieAnimation> gCaddies[4];

int CaddieSlot(bool back, bool pip) { return (pip ? 2 : 0) + (back ? 1 : 0); }

}  // namespace

std::string TGreenCaddieAnimation::FileName(int digit, bool back, bool pip) {
  char name[24];
  std::snprintf(name, sizeof name, "c%d%s%s.fsh", std::clamp(digit, 0, 9), back ? "b" : "f", pip ? "pip" : "");
  return name;
}

void TGreenCaddieAnimation::UpdateScreenPlacement() {
  if (!view) {
    TMovieAnimation::UpdateScreenPlacement();
    return;
  }
  // Placed by a point 2.0 above where it stands, its depth value 2.0 nearer.
  PlaceByPointAbove(2.0f);
  const bool full = view->viewWidth == Facts().screenWidth;
  depthValue = MovieDepthValue(std::max(0.0f, depth - 2.0f), full);
  if (behindEye) return;
  // Twice as large in the inset.
  scale = WorldUnitScale(*view, world, pip ? 2.0f : 1.0f);
}

TGreenCaddieAnimation* GreenCaddie(bool back, bool pip) { return gCaddies[CaddieSlot(back, pip)].get(); }

TGreenCaddieAnimation* CreateGreenCaddie(const char* dataFolder, TGolfView* v, int digit, bool back, bool pip,
                                         const Vector3& target) {
  std::unique_ptr<TGreenCaddieAnimation>& slot = gCaddies[CaddieSlot(back, pip)];
  if (!slot) slot = std::make_unique<TGreenCaddieAnimation>();
  TGreenCaddieAnimation& c = *slot;
  if (c.digit != digit) {
    RemoveAnimation(&c);
    c.movie.Close();
    PathRecord folder{};
    PathSetDirectory(&folder, dataFolder ? dataFolder : "");
    PathAppend(&folder, "GOLFER");
    if (c.movie.Open(&folder, nullptr, TGreenCaddieAnimation::FileName(digit, back, pip).c_str()) != 0) {
      RemoveAnimation(&c);
      slot.reset();
      return nullptr;
    }
    c.digit = digit;
  }
  c.back = back, c.pip = pip;
  if (c.Place(&c.movie, 0, v, target.x, target.y, target.z) != 0) {
    RemoveAnimation(&c);
    slot.reset();
    return nullptr;
  }
  c.UpdateScreenPlacement();
  return &c;
}

void FreeGreenCaddieAnimations() {
  for (std::unique_ptr<TGreenCaddieAnimation>& c : gCaddies) {
    if (c) RemoveAnimation(c.get());
    c.reset();
  }
}
