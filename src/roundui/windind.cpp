#include "roundui/windind.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "golf/ballflight.h"
#include "golf/game.h"
#include "golf/wind.h"
#include "mmsystem.h"
#include "platformlib/shapes/shapes.h"
#include "roundui/gameui.h"
#include "roundui/inroundbutton.h"
#include "roundui/roundturn.h"
#include "roundui/shotui.h"
#include "roundui/uishapes.h"
#include "roundui/uitext.h"
#include "scene/golfview.h"

WindIndicatorEventHandler* WindIndicator = nullptr;

namespace {

void ScreenDims(int32_t* w, int32_t* h) {
  static const int32_t kW[5] = {640, 800, 800, 1280, 1280}, kH[5] = {480, 600, 600, 1024, 1024};
  const int i = std::clamp(Facts().sizeSetting, 0, 4);
  *w = kW[i], *h = kH[i];
}

int32_t At(int32_t anchor, double fraction, int32_t size) { return static_cast<int32_t>(anchor - fraction * size); }

}  // namespace

int RoundWindSetting() {
  TGame* g = CurrentGame();
  return g ? static_cast<int>(g->GetOptionField(0)) : 0;
}

int32_t WindRedrawInterval(int windSetting, uint32_t random) {
  return windSetting == 1 ? 66 + static_cast<int32_t>(random % 1666) : 50 + static_cast<int32_t>(random % 666);
}

int WindSectorFor(uint16_t windDirection, int32_t viewHeading, uint32_t random) {
  int64_t d = static_cast<int64_t>(windDirection) - viewHeading + static_cast<int64_t>(random % 4096);
  while (d < 0) d += 65536;
  while (d >= 65536) d -= 65536;
  return static_cast<int>(d / 4096);
}

int GetWindDirectionSector() {
  TGame* g = CurrentGame();
  const uint16_t direction = g ? g->windHeading : 0;
  const TGolfView* view = CurrentMainView ? CurrentMainView : &MainView;
  return WindSectorFor(direction, view->heading, Svc().scene->Random31());
}

std::string WindSpeedLine(int speed) {
  char text[24];
  std::snprintf(text, sizeof text, "%d %s", speed, " mph");
  char line[32];
  std::snprintf(line, sizeof line, "%s %s", text, "");
  return line;
}

WindIndicatorEventHandler::WindIndicatorEventHandler() : MA_EventHandler(0, 0, 11, 0, 0) {}

WindIndicatorEventHandler::~WindIndicatorEventHandler() {
  movie_.Close();
  if (WindIndicator == this) WindIndicator = nullptr;
}

int WindIndicatorEventHandler::Setup(int32_t ax, int32_t ay) {
  int32_t w = 0, h = 0;
  ScreenDims(&w, &h);
  arrowX = At(ax, 0.07, w), arrowY = At(ay, 0.22, h);
  dirty = MARect{At(ax, 0.09, w), At(ay, 0.22, h), At(ax, 0.01, w), At(ay, 0.15, h)};
  // Without the arrows' file the indicator draws only its speed.
  if (PathRecord* folder = GameUIFolder(); folder && movie_.Open(folder, nullptr, "wind.fsh") == TShapeMovie::kOk) {
    for (int n = 0; n < 16; ++n) {
      const uint8_t* f = movie_.FrameRef(n + 1);
      arrows[n] = f && ShapeEntryIsImage(f) ? f : nullptr;
    }
    if (arrows[0]) arrowWidth = shapewidth(arrows[0]), arrowHeight = shapeheight(arrows[0]);
  }
  left = arrowX, top = arrowY, right = arrowX + arrowWidth, bottom = arrowY + arrowHeight;
  interval = WindRedrawInterval(RoundWindSetting(), Svc().scene->Random31());
  nextRedraw = timeGetTime();
  sector = GetWindDirectionSector();
  return 0;
}

int WindIndicatorEventHandler::OnIdle() {
  if (!(flags & kHandlerShown) || InRoundInputSuspended()) return 1;
  TGame* g = CurrentGame();
  const int32_t wind = GetCurrentWind();
  if (g) {
    g->windSpeed = wind;
    BallSetWind(wind, g->windHeading);
  }
  const int setting = RoundWindSetting();
  const uint32_t now = timeGetTime();
  if (setting != 0 && static_cast<int32_t>(now - nextRedraw) >= 0) {
    nextRedraw = now + static_cast<uint32_t>(interval);
    interval = WindRedrawInterval(setting, Svc().scene->Random31());
    sector = GetWindDirectionSector();
    // The arrow sits on the translucent panel: a change is drawn with the whole screen on the next pass.
    if (sector != lastSector || WindSpeedLine(wind) != speedLine) InvalidateRoundView();
  }
  return 1;
}

int WindIndicatorEventHandler::Paint(int) {
  if (!(flags & kHandlerShown)) return 0;
  if (const uint8_t* arrow = arrows[std::clamp(sector, 0, 15)]) DrawUIFrame(arrow, arrowX, arrowY);
  lastSector = sector;
  TGame* g = CurrentGame();
  speedLine = WindSpeedLine(g ? g->windSpeed : 0);
  if (StandardFonts[0]) {
    SelectRoundFont(StandardFonts[0], DrawnImage(), kAlignCentre, 0xFFFFFF, 1);
    FontDrawText(arrowX + arrowWidth / 2, arrowY + arrowHeight, speedLine.c_str());
  }
  AddDirtyRect(dirty);
  return 0;
}

void WindIndicatorEventHandler::Draw(int redrawNow) {
  if (!(flags & kHandlerShown)) return;
  const int setting = RoundWindSetting();
  if (setting == 0) return;
  Paint(setting);
  if (redrawNow) UpdateScreen();
}

void WindIndicatorEventHandler::Erase(int redrawNow) {
  BlitImage(DrawnImage(), dirty, RoleImage(kRoleErase), dirty);
  // The area is marked whatever was drawn last, so no old arrow stays on the screen.
  AddDirtyRect(dirty);
  if (redrawNow) UpdateScreen();
}

int CreateWindIndicator(int32_t anchorX, int32_t anchorY) {
  if (!WindIndicator) {
    auto* w = new (std::nothrow) WindIndicatorEventHandler;
    if (!w) return 2;
    WindIndicator = w;
    return w->Setup(anchorX, anchorY);
  }
  return 0;
}

void RedrawWindIndicator() {
  if (RoundWindSetting() != 0 && WindIndicator) WindIndicator->Paint(RoundWindSetting());
}

void WindIndicatorFollowView() {
  if (WindIndicator) WindIndicator->sector = GetWindDirectionSector();
}

void SetWindIndicatorVisible(int on) {
  // An indicator that could not be built is simply not there.
  if (WindIndicator) WindIndicator->Show(on, 1);
}
