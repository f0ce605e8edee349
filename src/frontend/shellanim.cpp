#include "frontend/shellanim.h"

#include <algorithm>

#include "framework/core/errors.h"
#include "framework/ui/displaymgr.h"
#include "frontend/menu.h"
#include "mmsystem.h"
#include "platformlib/gfx/windowdesc.h"
#include "platformlib/shapes/shapes.h"

int RectEqual(const MARect& a, const MARect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom ? 1 : 0;
}

void RectCopy(const MARect& from, MARect* to) {
  if (to) *to = from;
}

namespace {
constexpr MARect kNothingDrawn{-1, -1, -1, -1};
}  // namespace

TShellAnimADV::TShellAnimADV(TShapeMovie* movie_, int32_t x_, int32_t y_, uint8_t mode_, int32_t fps, int32_t fixed,
                             uint32_t flags_)
    : movie(movie_), x(x_), y(y_), mode(mode_), framesPerSecond(fps), fixedFrame(fixed), flags(flags_) {
  frameCount_ = movie ? movie->frameCount : 0;
  if (flags & kRunning) {
    flags &= ~kRunning;
    Start();
  }
}

TShellAnimADV::~TShellAnimADV() {
  if ((flags & kOwnsMovie) && movie) delete movie;
}

TShellAnimADV* TShellAnimADV::FromArchiveFile(const char* name, PathRecord* archive, int32_t x, int32_t y, uint8_t mode,
                                              int32_t fps, int32_t fixed, uint32_t flags) {
  auto* m = new TShapeMovie();
  const bool menus = archive == MenuArchive();
  TShellAnimADV* anim;
  if (m->Open(archive, menus ? "menus.viv" : nullptr, name) == TShapeMovie::kOk) {
    anim = new TShellAnimADV(m, x, y, mode, fps, fixed, flags | kOwnsMovie);
  } else {
    delete m;
    anim = new TShellAnimADV(nullptr, x, y, mode, fps, fixed, flags & ~kOwnsMovie);
  }
  return anim;
}

TShellAnimADV* TShellAnimADV::FromFile(const char* name, int32_t x, int32_t y, uint8_t mode, int32_t fps, int32_t fixed,
                                       uint32_t flags) {
  return FromArchiveFile(name, MenuArchive(), x, y, mode, fps, fixed, flags);
}

void TShellAnimADV::Start() {
  if ((flags & kRunning) && !(flags & (kPaused | kStill))) return;
  const uint32_t now = timeGetTime();
  if (flags & kPaused) {
    // A paused picture goes on from the frame it froze at.
    startTime_ += now - lastTime_;
    flags &= ~kPaused;
  } else {
    startTime_ = now;
  }
  lastFrameNumber_ = -1;
  flags &= ~(kStill | kRunning);
  flags |= kRunning;
  lastTime_ = startTime_;
}

void TShellAnimADV::Stop(int erase) {
  if (!(flags & kRunning)) return;
  if (erase) Erase();
  flags &= ~(kRunning | kPaused);
}

void TShellAnimADV::Pause() {
  if (!(flags & kRunning) || (flags & kPaused)) return;
  flags |= kPaused;
  lastTime_ = timeGetTime();
}

bool TShellAnimADV::NeedsNewFrame() const {
  if (!(flags & kRunning) || (flags & (kPaused | kStill)) || frameCount_ <= 1 || fixedFrame) return false;
  const uint32_t elapsed = timeGetTime() - startTime_;
  return static_cast<int64_t>(static_cast<uint64_t>(elapsed) * static_cast<uint32_t>(framesPerSecond) / 1000) !=
         lastFrameNumber_;
}

int TShellAnimADV::Update() {
  if (!NeedsNewFrame()) return 0;
  Erase();
  Draw();
  return 1;
}

void TShellAnimADV::Draw() {
  if (!(flags & kRunning)) return;
  if (fixedFrame) {
    DrawFrame(fixedFrame);
    return;
  }
  if (frameCount_ <= 1 || (flags & kStill)) {
    DrawFrame(1);
    return;
  }
  uint32_t t = lastTime_;
  if (!(flags & kPaused)) {
    t = timeGetTime();
    lastTime_ = t;
  }
  const uint64_t n = static_cast<uint64_t>(t - startTime_) * static_cast<uint32_t>(framesPerSecond) / 1000;
  lastFrameNumber_ = static_cast<int64_t>(n);
  const uint64_t cycles = n / static_cast<uint64_t>(frameCount_);
  int32_t f = static_cast<int32_t>(n % static_cast<uint64_t>(frameCount_));
  switch (mode) {
    case kBackAndForth:
      if (cycles & 1) f = frameCount_ - 1 - f;
      break;
    case kOnceErase:
      if (cycles > 0) {
        Stop(1);
        return;
      }
      break;
    case kOnceHoldLast:
      if (cycles > 0) {
        Pause();
        f = frameCount_ - 1;
      }
      break;
    case kOnceHoldFirst:
      if (cycles > 0) {
        Pause();
        f = 0;
      }
      break;
    default:
      break;
  }
  DrawFrame(f + 1);
}

void TShellAnimADV::FrameSize(int32_t* w, int32_t* h) {
  const uint8_t* shape = movie ? movie->FrameRef(1) : nullptr;
  if (w) *w = shape ? shapewidth(shape) : 0;
  if (h) *h = shape ? shapeheight(shape) : 0;
}

void TShellAnimADV::DrawFrame(int32_t frame) {
  ImageRecord* target = DrawnImage();
  const uint8_t* shape = movie ? movie->FrameRef(frame) : nullptr;
  if (!shape || !target || !target->window) return;
  const int32_t fw = shapewidth(shape), fh = shapeheight(shape);
  MARect r;
  // Straight to the screen: into the window the caller has set (the pointer's), no dirty rectangles.
  const bool own = !(flags & kToScreen);
  if (own && !setwindow(target->window)) return;
  if (width == 0 && height == 0) {
    const int32_t l = x - shapecentrex(shape), t = y - shapecentrey(shape);
    r = MARect{l, t, l + fw, t + fh};
    drawshapetrans(shape, x, y);
  } else {
    if (width == 0) width = fw;
    if (height == 0) height = fh;
    r = MARect{x, y, x + width, y + height};
    drawshapescaled(shape, x, y, width, height);
  }
  if (own) releasewindow();
  // Only what lies on the screen was covered.
  r.left = std::max<int32_t>(r.left, 0);
  r.top = std::max<int32_t>(r.top, 0);
  r.right = std::min<int32_t>(r.right, target->window->width);
  r.bottom = std::min<int32_t>(r.bottom, target->window->height);
  cachedFrame_ = frame;
  if (!(flags & kToScreen) && r.right > r.left && r.bottom > r.top) AddDirtyRect(r);
  flags |= kDrawn;
  frameDrawn = true;
  drawn_ = r;
}

void TShellAnimADV::RestoreBackground(int argument) {
  if (restore_) restore_(restoreData_, drawn_, argument);
}

void TShellAnimADV::Erase() {
  if (!(flags & kRunning) || RectEqual(drawn_, kNothingDrawn)) return;
  if (restore_) {
    RestoreBackground(0);
  } else {
    ImageRecord* background = RoleImage(kRoleErase);
    ImageRecord* drawn = DrawnImage();
    if (background && drawn && drawn_.right > drawn_.left && drawn_.bottom > drawn_.top) {
      const int code = BlitImage(drawn, drawn_, background, drawn_);
      if (code) ShowErrorBox(code, false);
    }
  }
  if (!(flags & kToScreen)) AddDirtyRect(drawn_);
  drawn_ = kNothingDrawn;
}

void TShellAnimADV::SetSize(int32_t w, int32_t h) {
  width = w;
  height = h;
}

void TShellAnimADV::SetPosition(int32_t x_, int32_t y_) {
  x = x_;
  if (y_ != -1) y = y_;
}
