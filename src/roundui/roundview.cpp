#include "roundui/roundview.h"

#include <algorithm>

#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "golf/game.h"
#include "golf/player.h"
#include "platformlib/gfx/windowdesc.h"
#include "roundui/windind.h"
#include "scene/golfview.h"

namespace {

constexpr uint16_t Rgb565(int r, int g, int b) {
  return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

void FillRow(WindowDesc* w, int32_t y, int32_t x0, int32_t x1, uint16_t colour) {
  if (y < 0 || y >= w->height) return;
  auto* row = reinterpret_cast<uint16_t*>(w->pixels + static_cast<size_t>(y) * w->rowbytes);
  for (int32_t x = std::max(0, x0); x < std::min(w->width, x1); ++x) row[x] = colour;
}

void Dot(WindowDesc* w, const Vector3& at, int32_t radius, uint16_t colour) {
  ScreenPixel p;
  if (MainView.ProjectToScreen(at, &p) <= 0.0f) return;
  for (int32_t dy = -radius; dy <= radius; ++dy)
    for (int32_t dx = -radius; dx <= radius; ++dx)
      if (dx * dx + dy * dy <= radius * radius) FillRow(w, p.y + dy, p.x + dx, p.x + dx + 1, colour);
}

// Sky above the horizon, ground below, the pin with its flag and every golfer's ball still on the hole.
void DrawFlatView(WindowDesc* w) {
  const int32_t horizon = std::clamp(MainView.centreY, 0, w->height);
  for (int32_t y = 0; y < horizon; ++y) {
    const int shade = horizon ? y * 80 / horizon : 0;
    FillRow(w, y, 0, w->width, Rgb565(90 + shade, 150 + shade / 2, 235));
  }
  for (int32_t y = horizon; y < w->height; ++y) {
    const int shade = (y - horizon) * 60 / std::max(1, w->height - horizon);
    FillRow(w, y, 0, w->width, Rgb565(40 + shade / 2, 120 + shade, 50));
  }
  TGame* g = CurrentGame();
  if (!g) return;
  ScreenPixel foot, tip;
  const Vector3 pin = g->pinPosition;
  if (MainView.ProjectToScreen(pin, &foot) > 0.0f && MainView.ProjectToScreen(Vector3{pin.x, pin.y, pin.z + 2.5f}, &tip) > 0.0f) {
    for (int32_t y = std::min(tip.y, foot.y); y <= std::max(tip.y, foot.y); ++y) FillRow(w, y, foot.x, foot.x + 1, Rgb565(250, 250, 250));
    for (int32_t y = tip.y; y < tip.y + 4; ++y) FillRow(w, y, tip.x + 1, tip.x + 7, Rgb565(230, 30, 30));
  }
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    TPlayer* p = g->players->GetPlayer(s);
    if (!p || !(p->flags & kGolferTakesPart) || p->holedOut) continue;
    Dot(w, p->ball.position, s == g->state.currentPlayer ? 3 : 2, Rgb565(255, 255, 255));
  }
}

}  // namespace

void SetUpShotView(const Vector3& ball, const Vector3& aim) {
  const int32_t rect[4] = {0, 0, Facts().screenWidth, Facts().screenHeight};
  MainView.SetViewport(rect, nullptr, 0, 1);
  MainView.focusPoint = ball;
  Vector3 target = aim;
  if (target.x == ball.x && target.y == ball.y) target.y += 1.0f;
  MainView.FaceGroundPoint(target);
  CurrentMainView = &MainView;
  // The arrow was last taken from whatever view came before (the previous shot's, or none).
  WindIndicatorFollowView();
}

void DrawRoundView() {
  ImageRecord* screen = DrawnImage();
  if (!screen || !screen->window) return;
  const MARect whole{0, 0, Facts().screenWidth, Facts().screenHeight};
  if (!Svc().scene->DrawGolfView() && screen->window->depth == 16 && screen->window->pixels) DrawFlatView(screen->window);
  BlitImage(RoleImage(kRoleErase), whole, screen, whole);
  AddDirtyRect(whole);
}

void DrawShotStartView(const Vector3& from) {
  // The view stands where the shot was played while it plays back; it is drawn once and kept as the background.
  playerInfo_s* golfer = ActiveGolferRecord;
  const Vector3 rest = golfer ? golfer->ball.position : Vector3{};
  if (golfer) golfer->ball.position = from;
  DrawRoundView();
  if (golfer) golfer->ball.position = rest;
}

MARect DrawReplayBall(const Vector3& ball, const Vector3& from, const MARect* previous) {
  ImageRecord* screen = DrawnImage();
  if (!screen || !screen->window || screen->window->depth != 16 || !screen->window->pixels) return MARect{};
  if (!previous) {
    DrawShotStartView(from);
  } else if (previous->right > previous->left) {
    BlitImage(screen, *previous, RoleImage(kRoleErase), *previous);
    AddDirtyRect(*previous);
  }
  ScreenPixel p;
  if (MainView.ProjectToScreen(ball, &p) <= 0.0f) return MARect{};
  constexpr int32_t kRadius = 3;
  Dot(screen->window, ball, kRadius, Rgb565(255, 255, 255));
  const MARect r{std::max(0, p.x - kRadius), std::max(0, p.y - kRadius), std::min(screen->window->width, p.x + kRadius + 1),
                 std::min(screen->window->height, p.y + kRadius + 1)};
  if (r.right > r.left && r.bottom > r.top) AddDirtyRect(r);
  return r.right > r.left && r.bottom > r.top ? r : MARect{};
}
