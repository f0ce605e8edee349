#include "scene/movieanim.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "platformlib/shapes/shapes.h"
#include "scene/scenesprite.h"

namespace {

constexpr MARect kNoRect{-1, -1, -1, -1};

}  // namespace

const uint16_t* ShapeEntryPalette16(const uint8_t* file, const uint8_t* entry, uint16_t buffer[256]) {
  if (getshapeclut(entry) || !file) return getclut16ptr(entry, buffer);
  const uint8_t* pal = findshape(file, "!pal");
  if (pal && iscluttype(pal[0])) {
    // The shared palette is read as if it were attached to this entry.
    uint16_t count = static_cast<uint16_t>(std::min(256, shapewidth(pal)));
    if (pal[0] == 0x29) {
      for (int i = 0; i < count; ++i) buffer[i] = shaperead16(pal + 16 + 2 * i);
      return buffer;
    }
  }
  return getclut16ptr(entry, buffer);
}

MARect DrawShapeSprite16(const uint8_t* file, const uint8_t* entry, const AnimationSurfaces& s, const MARect& clip,
                         int32_t x, int32_t y, int32_t scale, uint16_t depthValue, bool shade) {
  if (!entry || !s.screen.pixels || scale <= 0) return kNoRect;
  const int depthBits = shapetypedepth(entry[0] & 0x7F);
  if ((entry[0] & 0x80) || (depthBits != 8 && depthBits != 16)) return kNoRect;
  const int32_t iw = shapewidth(entry), ih = shapeheight(entry);
  if (iw <= 0 || ih <= 0) return kNoRect;
  const int64_t w = (static_cast<int64_t>(iw) * scale + 0x8000) >> 16, h = (static_cast<int64_t>(ih) * scale + 0x8000) >> 16;
  if (w <= 0 || h <= 0) return kNoRect;
  const int64_t left = x - ((static_cast<int64_t>(shapecentrex(entry)) * scale) >> 16);
  const int64_t top = y - ((static_cast<int64_t>(shapecentrey(entry)) * scale) >> 16);
  MARect r{static_cast<int32_t>(std::clamp<int64_t>(left, -100000, 100000)),
           static_cast<int32_t>(std::clamp<int64_t>(top, -100000, 100000)),
           static_cast<int32_t>(std::clamp<int64_t>(left + w, -100000, 100000)),
           static_cast<int32_t>(std::clamp<int64_t>(top + h, -100000, 100000))};
  MARect bounds = clip;
  const MARect screen{0, 0, s.screen.width, s.screen.height};
  IntersectRect(&bounds, &screen);
  IntersectRect(&r, &bounds);
  if (r.right <= r.left || r.bottom <= r.top) return kNoRect;
  uint16_t palette[256];
  const uint16_t* colours = depthBits == 8 ? ShapeEntryPalette16(file, entry, palette) : nullptr;
  const int32_t rowBytes = shaperowbytes(entry);
  const uint8_t* pixels = shapepixels(entry);
  const bool test = s.depth && depthValue != 0;
  for (int32_t py = r.top; py < r.bottom; ++py) {
    const int32_t sy = static_cast<int32_t>(std::min<int64_t>(ih - 1, (py - top) * ih / h));
    const uint8_t* row = pixels + static_cast<size_t>(sy) * rowBytes;
    uint16_t* out = s.screen.pixels + static_cast<size_t>(py) * s.screen.pitch;
    const uint16_t* z = test ? s.depth + static_cast<size_t>(py) * s.screen.pitch : nullptr;
    for (int32_t px = r.left; px < r.right; ++px) {
      if (z && z[px] < depthValue) continue;
      const int32_t sx = static_cast<int32_t>(std::min<int64_t>(iw - 1, (px - left) * iw / w));
      const bool clear = depthBits == 8 ? row[sx] == 0xFF : shaperead16(row + 2 * sx) == 0;
      if (clear) continue;
      if (shade) out[px] = static_cast<uint16_t>((out[px] >> 1) & 0x7BEF);
      else out[px] = depthBits == 8 ? colours[row[sx]] : static_cast<uint16_t>(shaperead16(row + 2 * sx));
    }
  }
  return r;
}

uint16_t MovieDepthValue(float depth, bool fullView) {
  if (depth >= 350.0f) return 0xFFFE;
  if (!(depth > 0.0f)) return 0x8000;
  const int64_t v = (static_cast<int64_t>(std::lround(static_cast<double>(depth) * 65536.0)) / 700) & ~int64_t{1};
  return static_cast<uint16_t>(v + (fullView ? 0x8000 : 0));
}

int32_t FrameTimeForRate(int32_t rate) {
  if (rate <= 0) return 0x7FFFFFFF;
  const double ms = 1000.0 / (static_cast<double>(rate) / 65536.0);
  const int64_t t = std::llround(ms * 65536.0);
  return static_cast<int32_t>(std::clamp<int64_t>(t, 0x10000, 0x7FFFFFFF));
}

int32_t WorldUnitScale(const TGolfView& view, const Vector3& at, float factor) {
  ScreenPointF a, b;
  view.ProjectToScreenFloat(at, &a);
  view.ProjectToScreenFloat(Vector3{at.x, at.y, at.z + 1.0f}, &b);
  const float perUnit = std::fabs(b.y - a.y);
  return std::max(1, static_cast<int32_t>(std::min(perUnit / 32.0f, 16.0f) * factor * 65536.0f));
}

TMovieAnimation::TMovieAnimation() {
  clip = MARect{0, 0, Facts().screenWidth, Facts().screenHeight};
}

TMovieAnimation::~TMovieAnimation() { TMovieAnimation::ReleaseFrames(); }

void TMovieAnimation::ReleaseFrames() {
  if (frameSource && ownsSource) delete frameSource;
  if (ownsSource) frameSource = nullptr;
}

void TMovieAnimation::ChangeView(TGolfView* oldView, TGolfView* newView) {
  TGolfAnimation::ChangeView(oldView, newView);
  UpdateScreenPlacement();
}

int TMovieAnimation::Place(TShapeMovie* source, uint32_t user, TGolfView* v, float x, float y, float height) {
  view = v;
  world = Vector3{x, y, height};
  behindEye = 0;
  const int32_t sw = Facts().screenWidth, sh = Facts().screenHeight;
  if (!v || v->viewWidth == sw) {
    clip = MARect{0, 0, sw, sh};
  } else {
    clip = MARect{v->viewLeft, v->viewTop, v->viewLeft + sw * 40 / 100, v->viewTop + sh * 40 / 100};
  }
  lastFrameTime = 0;
  drawn = 0;
  if (!source || source->frameCount <= 0) return TShapeMovie::kNoFile;
  frameTime = FrameTimeForRate(static_cast<int32_t>(source->frameTiming));
  frameCount = source->frameCount;
  frameCounter = 1;
  frameSource = source;
  userWord = user;
  UpdateScreenPlacement();
  return 0;
}

int TMovieAnimation::IsFrameDue(uint32_t now) {
  if (linked && !linked->IsFinished()) return 0;
  if (held || frameCounter >= frameCount) return 0;
  const uint32_t elapsed = static_cast<uint32_t>(std::abs(static_cast<int32_t>(now - lastFrameTime)));
  return elapsed >= static_cast<uint32_t>(frameTime >> 16) ? 1 : 0;
}

int TMovieAnimation::Update(int* finished, uint32_t now) {
  screenRect = kNoRect;
  if (AnimationList().skipRequest) frameCounter = frameCount;
  *finished = frameCounter >= frameCount;
  if (!sceneMode && drawn && !done) return 0;
  if ((held && !drawWhileHeld) || hidden) return 0;
  bool advanced = false;
  uint32_t remainder = 0;
  if (!held && frameCounter <= frameCount) {
    uint32_t elapsed;
    if (lastFrameTime == 0) {
      elapsed = 0;
      lastFrameTime = now;
    } else {
      elapsed = static_cast<uint32_t>(std::abs(static_cast<int32_t>(now - lastFrameTime)));
    }
    if (frameCounter < frameCount) {
      const uint32_t ms = std::max<uint32_t>(1, static_cast<uint32_t>(frameTime >> 16));
      const uint32_t n = elapsed / ms;
      remainder = elapsed - n * ms;
      if (n > 0) {
        frameCounter = static_cast<int32_t>(std::min<int64_t>(frameCount, int64_t{frameCounter} + n));
        advanced = true;
      }
    } else {
      *finished = 1;
    }
  }
  if (tracking) UpdateScreenPlacement();
  if (!done && !sceneMode && !behindEye && frameSource) {
    int error = 0;
    const uint8_t* entry = frameSource->FrameRef(frameCounter, &error);
    if (!entry) return error;
    const MARect r = DrawShapeSprite16(frameSource->File(), entry, AnimSurfaces(), clip, screenPosition.x,
                                       screenPosition.y, scale, depthValue);
    screenRect = r;
    drawn = r.right > r.left;
  } else {
    drawn = 0;
  }
  if (advanced && !held) lastFrameTime = now - remainder;
  if (drawn) AddDirtyRect(screenRect);
  return 0;
}

int TMovieAnimation::Erase() {
  if (hidden || sceneMode || done) return 0;
  if (!drawn || !view) return 0;
  RestoreAnimationRect(screenRect, depthValue);
  drawn = 0;
  return 0;
}

void TMovieAnimation::Reset() {
  if (looping) return;
  if (drawn) Erase();
  frameCounter = 1;
  held = 1;
  lastFrameTime = 0;
  int finished = 0;
  Update(&finished, 0);
}

void TMovieAnimation::Refresh(int /*value*/) {
  if (tracking) UpdateScreenPlacement();
}

void TMovieAnimation::QueueSceneSprites() {
  if (hidden || done || !frameSource || !view || (held && !drawWhileHeld)) return;
  UpdateScreenPlacement();
  if (behindEye) return;
  const uint8_t* entry = frameSource->FrameRef(frameCounter);
  if (!entry) return;
  SceneSprite sprite;
  sprite.file = frameSource->File(), sprite.entry = entry;
  sprite.x = static_cast<float>(screenPosition.x), sprite.y = static_cast<float>(screenPosition.y);
  sprite.depth = sceneDepth;
  sprite.scale = static_cast<float>(scale) / 65536.0f;
  sprite.movieFrame = true;
  QueueSceneSprite(sprite);
}

MARect TMovieAnimation::DrawInView(TGolfView* other, const AnimationSurfaces& s, const MARect& within) {
  if (!other || !frameSource || frameSource->frameCount <= 0 || hidden) return MARect{0, 0, 0, 0};
  TGolfView* const ownView = view;
  const int32_t ownScale = scale;
  const uint16_t ownDepthValue = depthValue;
  const float ownX = screenX, ownY = screenY, ownDepth = depth, ownSceneDepth = sceneDepth;
  const ScreenPixel ownPosition = screenPosition;
  const int ownBehind = behindEye;
  view = other;
  UpdateScreenPlacement();
  MARect r{0, 0, 0, 0};
  if (!behindEye)
    if (const uint8_t* entry = frameSource->FrameRef(frameCounter))
      r = DrawShapeSprite16(frameSource->File(), entry, s, within, screenPosition.x, screenPosition.y, scale, depthValue);
  view = ownView, scale = ownScale, depthValue = ownDepthValue;
  screenX = ownX, screenY = ownY, depth = ownDepth, sceneDepth = ownSceneDepth;
  screenPosition = ownPosition, behindEye = ownBehind;
  return r;
}

void TMovieAnimation::UpdateScreenPlacement() {
  if (!view) {
    behindEye = 1;
    return;
  }
  ScreenPointF f;
  view->ProjectToScreenFloat(world, &f);
  depth = sceneDepth = f.Z;
  const bool full = view->viewWidth == Facts().screenWidth;
  if (depth <= 0.0f) {
    behindEye = 1;
    screenX = screenY = 10000.0f;
  } else {
    behindEye = 0;
    screenX = f.x;
    screenY = f.y;
  }
  depthValue = MovieDepthValue(depth, full);
  screenPosition = {static_cast<int32_t>(std::lround(screenX)), static_cast<int32_t>(std::lround(screenY))};
}

void TMovieAnimation::PlaceByPointAbove(float lift) {
  const Vector3 standing = world;
  world.z += lift;
  TMovieAnimation::UpdateScreenPlacement();
  world = standing;
}
