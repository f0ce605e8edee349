#include "scene/golfdraw.h"

#include <algorithm>
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
#include "scene/render3d.h"
#include "scene/water.h"
#include "mmsystem.h"
#include "windows.h"

namespace {

GolfViewImages gImages;
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
  *ball = golfer->ball.position;
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

// Through the render module: the hole into its back buffer, read back as the view image; the interface's pixels
// (overlay bit 15 clear) laid over it from the display buffer; then the page is shown.
bool DrawThroughModule(TGolfView& view, const Image16& display) {
  if (!vortellive.module || !vortellive.window || vortellive.window(2) != 1) return false;
  DrawHoleHardware(view, &view.focusPoint);
  if (vortellive.readrect) vortellive.readrect(0, 0, gImages.width, gImages.height, gImages.view.data());
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

bool DrawMainGolfView() {
  Vector3 ball, target;
  if (!MainViewPlacement(&ball, &target)) return false;
  ImageRecord* drawn = DrawnImage();
  WindowDesc* window = drawn ? drawn->window : nullptr;
  if (!DisplayMgr().open || !window || window->depth != 16 || !window->pixels) return false;
  PrepareCourseOnce();
  SizeGolfViewImages(window->width, window->height);
  const Image16 display{reinterpret_cast<uint16_t*>(window->pixels), window->width, window->height,
                        window->rowbytes / 2};

  TGolfView& view = MainView;
  CurrentMainView = &view;
  const bool hardware = gRenderStart.hardwareActive != 0;
  const int32_t rect[4] = {0, 0, gImages.width, gImages.height};
  view.SetViewport(rect, nullptr, 0, hardware ? 0 : 1);
  PlaceViewBehind(view, ball, target);
  // Through the module the animations are pictures of the scene, drawn with it each time they move.
  if (AnimationList().sceneMode != (hardware ? 1 : 0)) AnimationList().SetSceneMode(hardware ? 1 : 0);
  if (hardware) return DrawThroughModule(view, display);
  const int32_t w = gImages.width, h = gImages.height;
  const Surface16 s{gImages.view.data(), w, 0, 0, w, h}, depth{gImages.depth.data(), w, 0, 0, w, h};
  DrawHoleSoftware(view, s, &view.focusPoint, &depth);
  // The water reflects what stands above it; its waves move on from the reflected picture every 33 ms.
  DrawWaterReflection(s, depth, 2);
  gImages.background = gImages.view;
  StepWaterAnimation(timeGetTime(), {s, depth, {gImages.background.data(), w, 0, 0, w, h}}, {});
  // The golfer's grid over the ground: drawn each frame, its putting lines computed once a lie.
  DrawGridOverlay(view, {s, depth, false}, GetGridModeForLie(), target, nullptr, false);
  CopyViewThroughOverlay(gImages, display);
  AddDirtyRect(MARect{drawn->left, drawn->top, drawn->right, drawn->bottom});
  return true;
}
