#include "scene/golfdraw.h"

#include <algorithm>
#include <iterator>
#include <cmath>
#include <string>

#include "course/courseload.h"
#include "course/scenedata.h"
#include "course/terrain.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "golf/game.h"
#include "golf/gridmode.h"
#include "platformlib/gfx/vortel.h"
#include "platformlib/gfx/windowdesc.h"
#include "scene/animlist.h"
#include "scene/gridoverlay.h"
#include "scene/holedraw.h"
#include "scene/holedraw3d.h"
#include "scene/horizon.h"
#include "scene/movieanim.h"
#include "scene/render3d.h"
#include "scene/shotanim.h"
#include "scene/animlist.h"
#include "scene/water.h"
#include "mmsystem.h"
#include "windows.h"

namespace {

GolfViewImages gImages;
std::vector<uint16_t> gInset, gInsetDepth;  // a picture-in-picture camera's picture, the screen's size
std::string gPreparedCourse;  // the course whose horizon tables are made

Image16 AsImage(std::vector<uint16_t>& pixels) {
  if (pixels.empty()) return Image16{nullptr, 0, 0, 0};
  return Image16{pixels.data(), gImages.width, gImages.height, gImages.width};
}

void PrepareCourseOnce() {
  const LoadedCourse& course = CurrentCourse();
  const std::string location = course.loaded ? course.record.location : "";
  if (location == gPreparedCourse) return;
  gPreparedCourse = location;
  gHorizon = HorizonTables{};
  PrepareCourseRenderTables(CurrentCourseScene());
}

}  // namespace

GolfViewImages& GolfViewBuffers() { return gImages; }

void SizeGolfViewImages(int32_t width, int32_t height) {
  width = std::max(width, 0), height = std::max(height, 0);
  if (width == gImages.width && height == gImages.height && !gImages.view.empty()) return;
  gImages.width = width;
  gImages.height = height;
  const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
  gImages.view.assign(n, 0);
  gImages.overlay.assign(n, 0x8000);
  gImages.depth.assign(n, 0);
  gImages.background.assign(n, 0);
}

Image16 GolfViewImage() { return AsImage(gImages.view); }
Image16 GolfViewOverlay() { return AsImage(gImages.overlay); }

void PlaceViewBehind(TGolfView& view, const Vector3& ball, const Vector3& target) {
  view.focusPoint = ball;
  // The camera stands behind the ball, away from the target.
  const bool same = ball.x == target.x && ball.y == target.y;
  view.SetHeading(same ? 0 : ViewHeadingToward(ball, target));
}

bool MainViewPlacement(Vector3* ball, Vector3* target) {
  TGame* game = CurrentGame();
  if (!game || game->holeFile.empty() || CurrentTerrain().width < 2 || !game->players) return false;
  const playerInfo_s* golfer = ActiveGolferRecord;
  if (!golfer || game->players->SlotOf(golfer) >= TPlayerList::kSlots)
    golfer = game->players->GetPlayer(game->state.currentPlayer);
  if (!golfer) return false;
  if (!ShotAnimationsFrom(ball)) *ball = golfer->ball.position;
  *target = game->GetTargetPoint();
  return true;
}

void CopyViewThroughOverlay(const GolfViewImages& images, const Image16& display) {
  const int32_t w = std::min(images.width, display.width), h = std::min(images.height, display.height);
  for (int32_t y = 0; y < h; ++y) {
    const uint16_t* from = images.view.data() + static_cast<size_t>(y) * images.width;
    const uint16_t* mask = images.overlay.data() + static_cast<size_t>(y) * images.width;
    uint16_t* to = display.pixels + static_cast<size_t>(y) * display.pitch;
    for (int32_t x = 0; x < w; ++x)
      if (mask[x] & 0x8000) to[x] = from[x];
  }
}

namespace {

// Through the render module: the hole into its back buffer, read back as the view image; the golfer's grid drawn
// over it, hidden by nearer scenery through the depth buffer read back too, and written back; the interface's pixels
// (overlay bit 15 clear) laid over it from the display buffer; then the page is shown.
// A camera's view (no `target`) draws no grid, as on the software path.
bool DrawThroughModule(TGolfView& view, const Image16& display, const Vector3* target = nullptr) {
  if (!vortellive.module || !vortellive.window || vortellive.window(2) != 1) return false;
  const HardwareFrameStats stats = DrawHoleHardware(view, &view.focusPoint);
  // A frame that left no water in the key colour (none seen, or reflected by the module) leaves none to move.
  if (stats.waterMarkers == 0) {
    std::fill(std::begin(Water().box), std::end(Water().box), 0);
    std::fill(std::begin(Water().previousBox), std::end(Water().previousBox), 0);
  }
  const int32_t w = gImages.width, h = gImages.height;
  if (vortellive.readrect) vortellive.readrect(0, 0, w, h, gImages.view.data());
  const uint32_t grid = target ? GetGridModeForLie() : kGridOff;
  // The water (drawn in the key colour) and the grid go over the picture read back, against its depth buffer.
  if ((grid != kGridOff || stats.waterMarkers > 0) && vortellive.readrect && vortellive.writerect &&
      vortellive.window(3) == 1) {
    vortellive.readrect(0, 0, w, h, gImages.depth.data());
    MarkLiveDepth(gImages.depth);
    vortellive.window(2);
    const Surface16 s{gImages.view.data(), w, 0, 0, w, h}, depth{gImages.depth.data(), w, 0, 0, w, h};
    if (stats.waterMarkers > 0) {
      MarkWaterPixels(s, depth);
      DrawWaterReflection(s, depth, 2);
      gImages.background = gImages.view;
      StepWaterAnimation(timeGetTime(), {s, depth, {gImages.background.data(), w, 0, 0, w, h}}, {});
    }
    if (grid != kGridOff) DrawGridOverlay(view, {s, depth}, grid, *target, nullptr, false);
    vortellive.writerect(0, 0, w, h, gImages.view.data());
  }
  // The drawn buffer keeps the whole picture, as in software, so the display manager's copies of changed areas
  // between pages show the scene, not what lay under it.
  if (vortellive.readrect) CopyViewThroughOverlay(gImages, display);
  vortellive.window(2);
  if (VortelLock* lock = vortellive.lockwindow ? vortellive.lockwindow() : nullptr) {
    const int32_t w = std::min({gImages.width, display.width, lock->width});
    const int32_t h = std::min({gImages.height, display.height, lock->height});
    for (int32_t y = 0; y < h; ++y) {
      auto* to = reinterpret_cast<uint16_t*>(lock->pixels + static_cast<ptrdiff_t>(y) * lock->pitch);
      const uint16_t* mask = gImages.overlay.data() + static_cast<size_t>(y) * gImages.width;
      const uint16_t* from = display.pixels + static_cast<size_t>(y) * display.pitch;
      for (int32_t x = 0; x < w; ++x)
        if (!(mask[x] & 0x8000)) to[x] = from[x];
    }
    vortellive.unlockwindow(lock);
  }
  if (vortellive.pageflip) vortellive.pageflip();
  return true;
}

}  // namespace

namespace {

// The display buffer when it is a 16-bit picture the scene can draw on (the view images sized to it); null
// otherwise.
ImageRecord* PrepareDisplay(Image16* display) {
  ImageRecord* drawn = DrawnImage();
  WindowDesc* window = drawn ? drawn->window : nullptr;
  if (!DisplayMgr().open || !window || window->depth != 16 || !window->pixels) return nullptr;
  PrepareCourseOnce();
  SizeGolfViewImages(window->width, window->height);
  *display = Image16{reinterpret_cast<uint16_t*>(window->pixels), window->width, window->height, window->rowbytes / 2};
  return drawn;
}

}  // namespace

bool DrawMainGolfView() {
  Vector3 ball, target;
  if (!MainViewPlacement(&ball, &target)) return false;
  Image16 display{nullptr, 0, 0, 0};
  ImageRecord* drawn = PrepareDisplay(&display);
  if (!drawn) return false;

  TGolfView& view = MainView;
  CurrentMainView = &view;
  const bool hardware = gRenderStart.hardwareActive != 0;
  const int32_t rect[4] = {0, 0, gImages.width, gImages.height};
  view.SetViewport(rect, nullptr, 0, hardware ? 0 : 1);
  PlaceViewBehind(view, ball, target);
  // Through the module the animations are pictures of the scene, drawn with it each time they move.
  if (AnimationList().sceneMode != (hardware ? 1 : 0)) AnimationList().SetSceneMode(hardware ? 1 : 0);
  if (hardware) return DrawThroughModule(view, display, &target);
  const int32_t w = gImages.width, h = gImages.height;
  const Surface16 s{gImages.view.data(), w, 0, 0, w, h}, depth{gImages.depth.data(), w, 0, 0, w, h};
  DrawHoleSoftware(view, s, &view.focusPoint, &depth);
  // The water reflects what stands above it; its waves move on from the reflected picture every 33 ms.
  DrawWaterReflection(s, depth, 2);
  gImages.background = gImages.view;
  StepWaterAnimation(timeGetTime(), {s, depth, {gImages.background.data(), w, 0, 0, w, h}}, {});
  // The golfer's grid over the ground: drawn each frame, its putting lines computed once a lie.
  DrawGridOverlay(view, {s, depth}, GetGridModeForLie(), target, nullptr, false);
  CopyViewThroughOverlay(gImages, display);
  AddDirtyRect(MARect{drawn->left, drawn->top, drawn->right, drawn->bottom});
  return true;
}

namespace {

// Copies the rectangle of `from` onto the display and the animations' clean copy where the overlay gives the pixel
// to the scene.
void CopyRectThroughOverlay(const uint16_t* from, const int32_t r[4], const Image16& display) {
  const Image16 clean = AnimSurfaces().background;
  for (int32_t y = std::max(r[1], 0); y < std::min({r[3], gImages.height, display.height}); ++y) {
    const size_t row = static_cast<size_t>(y) * gImages.width;
    for (int32_t x = std::max(r[0], 0); x < std::min({r[2], gImages.width, display.width}); ++x) {
      if (!(gImages.overlay[row + x] & 0x8000)) continue;
      display.pixels[static_cast<size_t>(y) * display.pitch + x] = from[row + x];
      if (clean.pixels && y < clean.height && x < clean.width) clean.pixels[static_cast<size_t>(y) * clean.pitch + x] = from[row + x];
    }
  }
}

}  // namespace

std::vector<TMovieAnimation*>& InsetFigures() {
  static std::vector<TMovieAnimation*> figures;
  return figures;
}

bool DrawInsetView(TGolfView& view, const Surface16& target, const Surface16& depth, const Vector3& ball) {
  const int32_t w = target.pitch;
  const int32_t r[4] = {std::max(view.viewLeft, target.clipLeft), std::max(view.viewTop, target.clipTop),
                        std::min(view.viewLeft + view.viewWidth, target.clipRight),
                        std::min(view.viewTop + view.viewHeight, target.clipBottom)};
  if (r[2] <= r[0] || r[3] <= r[1]) return false;
  uint16_t* const px = target.pixels;
  const Surface16 s{px, w, r[0], r[1], r[2], r[3]}, d{depth.pixels, depth.pitch, r[0], r[1], r[2], r[3]};
  DrawHoleSoftware(view, s, nullptr, &d);
  const AnimationSurfaces figures{Image16{px, w, target.clipBottom, w}, Image16{nullptr, 0, 0, 0}, depth.pixels};
  for (TMovieAnimation* a : InsetFigures()) a->DrawInView(&view, figures, MARect{r[0], r[1], r[2], r[3]});
  // The ball: a small white mark with a dark rim where nothing nearer hides it.
  ScreenPointF b;
  view.ProjectToScreenFloat(ball, &b);
  const int32_t bx = static_cast<int32_t>(b.x), by = static_cast<int32_t>(b.y);
  for (int32_t dy = -2; dy <= 2 && b.Z > 0.0f; ++dy)
    for (int32_t dx = -2; dx <= 2; ++dx) {
      const int32_t x = bx + dx, y = by + dy;
      if (x < r[0] || x >= r[2] || y < r[1] || y >= r[3] || dx * dx + dy * dy > 5) continue;
      px[static_cast<size_t>(y) * w + x] = dx * dx + dy * dy > 2 ? 0x2104 : 0xFFFF;
    }
  // A one-pixel frame round the inset.
  for (int32_t x = r[0]; x < r[2]; ++x) px[static_cast<size_t>(r[1]) * w + x] = px[static_cast<size_t>(r[3] - 1) * w + x] = 0xFFFF;
  for (int32_t y = r[1]; y < r[3]; ++y) px[static_cast<size_t>(y) * w + r[0]] = px[static_cast<size_t>(y) * w + r[2] - 1] = 0xFFFF;
  return true;
}

bool DrawCameraView(TGolfView& view, bool inset, const Vector3& ball) {
  Image16 display{nullptr, 0, 0, 0};
  ImageRecord* drawn = PrepareDisplay(&display);
  if (!drawn) return false;
  const int32_t w = gImages.width, h = gImages.height;
  const bool hardware = gRenderStart.hardwareActive != 0;
  if (!inset) {
    if (hardware) return DrawThroughModule(view, display);
    const Surface16 s{gImages.view.data(), w, 0, 0, w, h}, depth{gImages.depth.data(), w, 0, 0, w, h};
    DrawHoleSoftware(view, s, &view.focusPoint, &depth);
    DrawWaterReflection(s, depth, 2);
    const int32_t all[4] = {0, 0, w, h};
    CopyRectThroughOverlay(gImages.view.data(), all, display);
    AddDirtyRect(MARect{drawn->left, drawn->top, drawn->right, drawn->bottom});
    return true;
  }
  if (hardware) return false;
  const size_t n = static_cast<size_t>(w) * static_cast<size_t>(h);
  if (gInset.size() != n) gInset.assign(n, 0), gInsetDepth.assign(n, 0);
  const Surface16 all{gInset.data(), w, 0, 0, w, h}, allDepth{gInsetDepth.data(), w, 0, 0, w, h};
  if (!DrawInsetView(view, all, allDepth, ball)) return false;
  const int32_t r[4] = {std::max(view.viewLeft, 0), std::max(view.viewTop, 0),
                        std::min(view.viewLeft + view.viewWidth, w), std::min(view.viewTop + view.viewHeight, h)};
  CopyRectThroughOverlay(gInset.data(), r, display);
  AddDirtyRect(MARect{r[0] + drawn->left, r[1] + drawn->top, r[2] + drawn->left, r[3] + drawn->top});
  return true;
}
