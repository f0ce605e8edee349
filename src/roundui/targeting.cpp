#include "roundui/targeting.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "course/terrain.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "framework/ui/inputstate.h"
#include "golf/ballflight.h"
#include "golf/ballmath.h"
#include "golf/ballstate.h"
#include "golf/launch.h"
#include "golf/playerinfo.h"
#include "golf/predict.h"
#include "mmsystem.h"
#include "roundui/clubbar.h"
#include "roundui/clubs.h"
#include "roundui/gameui.h"
#include "roundui/powermeter.h"
#include "roundui/replay.h"
#include "roundui/uitext.h"
#include "scene/golfview.h"
#include "windows.h"

using namespace ballmath;

Vector3 AimPoint{};
tagArrowStruct LandingMarkers[2];
uint8_t LastLandingState[25] = {0, 0, 0, 1};
TargetingArcEventHandler* CurrentTargetingHandler = nullptr;

namespace {

constexpr float kTwoPi = 6.2831853f;
constexpr float kPi = 3.14159265f;
constexpr float kHalfDegree = 0.0087266f;
constexpr float kTurnThreshold = 0.015f;

struct KindColour {
  uint16_t rgb555;
  uint8_t opacity;  // 0..127
};
KindColour ColourOf(uint8_t kind) {
  switch (kind) {
    case kArcFlight: return {0x4200, 0x40};
    case kArcHazard: return {0x7000, 0x7F};
    case 3: return {0x5280, 0x20};
    case kArcReplay: return {0x01E0, 0x40};
    case kArcSecond: return {0x7BEF, 0x7F};
    default: return {0, 0};
  }
}

uint16_t Blend(uint16_t under, uint8_t kind) {
  const KindColour c = ColourOf(kind);
  const int r = (c.rgb555 >> 10) & 31, g = ((c.rgb555 >> 5) & 31) * 2 + 1, b = c.rgb555 & 31;
  const int ur = under >> 11, ug = (under >> 5) & 63, ub = under & 31;
  const int a = c.opacity;
  const int nr = ur + (r - ur) * a / 127, ng = ug + (g - ug) * a / 127, nb = ub + (b - ub) * a / 127;
  return static_cast<uint16_t>((nr << 11) | (ng << 5) | nb);
}

// Fills the polygon (even-odd rule, pixel centres) blending the kind's colour in.
void FillPolygon(Pixels16& t, const int32_t* xs, const int32_t* ys, int n, uint8_t kind) {
  int32_t minY = ys[0], maxY = ys[0];
  for (int i = 1; i < n; ++i) minY = std::min(minY, ys[i]), maxY = std::max(maxY, ys[i]);
  minY = std::max(minY, 0);
  maxY = std::min(maxY, t.height - 1);
  for (int32_t y = minY; y <= maxY; ++y) {
    const float cy = static_cast<float>(y) + 0.5f;
    float cross[8];
    int count = 0;
    for (int i = 0; i < n && count < 8; ++i) {
      const int j = (i + 1) % n;
      const float y0 = static_cast<float>(ys[i]), y1 = static_cast<float>(ys[j]);
      if ((cy >= y0 && cy < y1) || (cy >= y1 && cy < y0))
        cross[count++] = static_cast<float>(xs[i]) + (cy - y0) / (y1 - y0) * static_cast<float>(xs[j] - xs[i]);
    }
    std::sort(cross, cross + count);
    for (int k = 0; k + 1 < count; k += 2) {
      const int32_t x0 = std::max(static_cast<int32_t>(std::ceil(cross[k] - 0.5f)), 0);
      const int32_t x1 = std::min(static_cast<int32_t>(std::ceil(cross[k + 1] - 0.5f)) - 1, t.width - 1);
      for (int32_t x = x0; x <= x1; ++x) t.At(x, y) = Blend(t.At(x, y), kind);
    }
  }
}

bool IsHazardSurface(const TargetingArcEventHandler* h, uint8_t surface) {
  const uint8_t cls = surface & 0xF0;
  return surface == 0x90 || cls == 0x90 || cls == h->hazardCodes[0] || cls == h->hazardCodes[1];
}

bool BallHazard(const BallState& b) {
  return b.Flag(kBallFlagWater) || b.Flag(kBallFlagOutOfBounds) || b.Flag(kBallFlagOverWater);
}

float GroundLength(const Vector3& ball, const Vector3& aim) {
  const float dx = aim.x - ball.x, dy = aim.y - ball.y;
  return std::sqrt(dx * dx + dy * dy);
}

float AimAngle(const Vector3& ball, const Vector3& aim) {
  float a = std::atan2(aim.y - ball.y, aim.x - ball.x);
  while (a < 0.0f) a += kTwoPi;
  return a;
}

Vector3 AimFrom(const Vector3& ball, float angle, float length, float height) {
  return Vector3{ball.x + length * std::cos(angle), ball.y + length * std::sin(angle), height};
}

playerInfo_s* Golfer() { return ActiveGolferRecord; }

bool PersonPlays() { return Golfer() && (Golfer()->flags & kGolferFlag5) != 0; }

// Launches a copy of the golfer's ball as the real shot would go, toward the aim.
BallState LaunchCopy(TargetingArcEventHandler* h, int autoClub, float power) {
  playerInfo_s* g = Golfer();
  BallState copy;
  BallStateCopy(&copy, &g->ball);
  ShotAimPoint = AimPoint;
  if (power == 0.0f && h->useMeterPower && PowerMeter) power = PowerMeter->power;
  BallLaunch(&copy, autoClub, 0, 0, power);
  BallFlightStart(&copy);
  return copy;
}

// Steps the copy until it first meets the ground, at most the step limit; false when it never did.
bool StepToContact(BallState* b) {
  for (int i = 0; i < kArcStepLimit; ++i) {
    BallStep(b, kArcStepSeconds);
    if (BallFirstContact(b)) return true;
  }
  return false;
}

void ProjectMarker(TargetingArcEventHandler* h, tagArrowStruct& m, const Vector3& p) {
  ScreenPixel px;
  const float depth = h->View().ProjectToScreen(p, &px);
  m.point = p;
  m.x = px.x;
  m.y = px.y;
  m.depth = ArcDepthKey(depth);
}

}  // namespace

void LookToward(TGolfView& view, const Vector3& point) {
  view.FaceGroundPoint(point);
  // The camera stands back from the focus along the heading's direction; it must stand on the far side from the
  // point, else face the point mirrored through the focus instead.
  const Vector3 f = view.focusPoint;
  if (view.backS * (point.x - f.x) + view.backC * (point.y - f.y) < 0.0f) return;
  view.FaceGroundPoint(Vector3{2.0f * f.x - point.x, 2.0f * f.y - point.y, point.z});
}

uint32_t ArcDepthKey(float cameraDepth) {
  if (cameraDepth <= 0.0f) return 0x8000;
  if (cameraDepth >= 350.0f) return 0xFFFE;
  return ((static_cast<uint32_t>(cameraDepth * 65536.0f) / 700u) & ~1u) | 0x8000u;
}

Vector3 TurnAim(const Vector3& ball, const Vector3& aim, float radians) {
  float a = AimAngle(ball, aim) + radians;
  while (a < 0.0f) a += kTwoPi;
  while (a >= kTwoPi) a -= kTwoPi;
  return AimFrom(ball, a, GroundLength(ball, aim), aim.z);
}

Vector3 StretchAim(const Vector3& ball, const Vector3& aim, float length) {
  return AimFrom(ball, AimAngle(ball, aim), std::max(length, 1.0f), aim.z);
}

// ---- the handler --------------------------------------------------------------------------------------------------

TargetingArcEventHandler::TargetingArcEventHandler() : MA_EventHandler(kHandlerEnabled | kHandlerShown, 0, 0, 0, 0) {
  CurrentTargetingHandler = this;
}

TargetingArcEventHandler::~TargetingArcEventHandler() {
  if (CurrentTargetingHandler == this) CurrentTargetingHandler = nullptr;
}

bool TargetingArcEventHandler::Init() {
  arcReady = drawn = false;
  ArcDelayedRedrawTime = 0;
  segments.clear();
  segments.reserve(kArcSegmentCapacity);
  viewSaved = false;
  return true;
}

TGolfView& TargetingArcEventHandler::View() const { return view ? *view : *CurrentMainView; }

bool TargetingArcEventHandler::Aiming() const {
  return (flags & kHandlerEnabled) && PersonPlays() && (!mayAim || mayAim());
}

void TargetingArcEventHandler::Layout(BallState*, const Vector3& aim, playerInfo_s*, bool resetShape) {
  hazardWarning = false;
  if (PowerMeter && resetShape) {
    PowerMeter->SetCurve(0.0f);
    PowerMeter->SetTrajectory(0.0f);
  }
  AimPoint = aim;
  DrawTargetingArc(this, 0, 0);
  arcReady = drawn = false;
  lastFollowTime = timeGetTime();
}

void TargetingArcEventHandler::Restart() {
  ArcDelayedRedrawTime = timeGetTime() + 1000;
  FlushInput();
}

std::vector<std::string> TargetingArcEventHandler::TagLines() const {
  static const char* const kLies[16] = {"None",  "Fairway", "Sand",     "Rough",  "Heavy Rough", "Water",
                                        "Tee",   "Green",   "Bunker",   "OB",     "Cartpath",    "Fringe",
                                        "E.S.H.", "Fairway", "Fairway", "Fairway"};
  std::vector<std::string> lines;
  const playerInfo_s* g = Golfer();
  if (!g) return lines;
  const tagArrowStruct& m = LandingMarkers[1].kind ? LandingMarkers[1] : LandingMarkers[0];
  lines.push_back(clubs::ClubLongName(g->currentClub));
  const float dx = m.point.x - g->ball.position.x, dy = m.point.y - g->ball.position.y;
  const int yards = static_cast<int>(std::sqrt(dx * dx + dy * dy));
  char text[64];
  std::snprintf(text, sizeof text, "Shot dist: %dy", yards);
  lines.push_back(text);
  const uint8_t surface = GetTerrainSurface(m.point.x, m.point.y);
  if (!IsHazardSurface(this, surface)) {
    const int feet = static_cast<int>((m.point.z - g->ball.position.z) * 3.0f);
    std::snprintf(text, sizeof text, "%d' %s", std::abs(feet), feet >= 0 ? "up" : "down");
    lines.push_back(text);
  }
  lines.push_back(kLies[surface >> 4]);
  return lines;
}

void TargetingArcEventHandler::Paint(Pixels16& t) {
  if (!arcReady || !(flags & kHandlerShown) || !PersonPlays()) return;
  drawn = true;
  const bool putter = Golfer()->currentClub == clubs::kPutter;
  if (putter) {
    // The putting target: rings around the aim on the green, and a small pin.
    const tagArrowStruct& m = LandingMarkers[0];
    for (int32_t dy = -8; dy <= 8; ++dy)
      for (int32_t dx = -16; dx <= 16; ++dx) {
        const int32_t e = dx * dx + 4 * dy * dy;
        if (e <= 256 && (e >= 196 || e <= 36)) t.Put(m.x + dx, m.y + dy, (e <= 36) ? 0xF800 : 0xFFFF);
      }
    for (int32_t y = m.y - 20; y <= m.y; ++y) t.Put(m.x, y, 0xFFFF);
    for (int32_t y = m.y - 20; y < m.y - 14; ++y)
      for (int32_t x = m.x + 1; x < m.x + 8; ++x) t.Put(x, y, 0xF800);
    puttTargetDrawn = true;
  }
  for (int i = static_cast<int>(segments.size()) - 1; i >= 0; --i) {
    const ArcSegment& s = segments[static_cast<size_t>(i)];
    FillPolygon(t, s.x, s.y, 4, s.kind);
  }
  for (int i = putter ? 1 : 0; i < 2; ++i) {
    tagArrowStruct& m = LandingMarkers[i];
    if (!m.kind) continue;
    // An arrow pointing down with its tip on the landing point.
    const int32_t tri1x[3] = {m.x - 6, m.x, m.x + 7}, tri1y[3] = {m.y - 22, m.y, m.y - 22};
    m.left = m.x - 6, m.top = m.y - 22, m.right = m.left + 13, m.bottom = m.top + 22;
    if (m.right < 0 || m.bottom < 0 || m.left >= t.width || m.top >= t.height) continue;
    FillPolygon(t, tri1x, tri1y, 3, m.kind);
  }
  if (ArcDelayedRedrawTime) {
    // The tag: a framed box beside the marker, a row per line.
    const tagArrowStruct& m = LandingMarkers[1].kind ? LandingMarkers[1] : LandingMarkers[0];
    const std::vector<std::string> lines = TagLines();
    const int rows = static_cast<int>(lines.size());
    // The block is as wide as its widest line and a font height a row, so that lines never overlap.
    int32_t w = 80;
    tagLineHeight = 10;
    if (StandardFonts[0]) {
      FontSelect(StandardFonts[0], nullptr, kAlignLeft, 0, 0, 0, 0);
      tagLineHeight = std::max(FontHeight(), 1);
      w = 0;
      for (const std::string& line : lines) w = std::max(w, FontStringWidth(line.c_str(), 0));
    }
    const int32_t h = rows * tagLineHeight;
    int32_t x = m.x + 8, y = m.y - 80;
    x = std::max(std::min(x, t.width - 6 - 4 - w), 10);
    y = std::max(std::min(y, t.height - 6 - 4 - h), 10);
    tagLeft = x - 4, tagTop = y - 4, tagRight = x + w + 4, tagBottom = y + h + 7;
    for (int32_t yy = tagTop; yy < tagBottom; ++yy)
      for (int32_t xx = tagLeft; xx < tagRight; ++xx) {
        if (!t.Inside(xx, yy)) continue;
        const bool edge = yy == tagTop || xx == tagLeft || yy == tagBottom - 1 || xx == tagRight - 1;
        t.At(xx, yy) = edge ? 0x0000 : static_cast<uint16_t>((t.At(xx, yy) >> 1) & 0x7BEF);
      }
    // Without the tag font each line shows as a bar.
    if (!StandardFonts[0])
      for (int r = 0; r < rows; ++r)
        for (int32_t xx = x; xx < x + 40 + 8 * r % 32; ++xx) t.Put(xx, y + r * 10 + 4, 0xFFFF);
  }
}

void TargetingArcEventHandler::Draw(int) {
  if (!DrawOnDisplayBuffer([](Pixels16& t, void* c) { static_cast<TargetingArcEventHandler*>(c)->Paint(t); }, this))
    return;
  if (ArcDelayedRedrawTime && drawn && StandardFonts[0]) {
    FontSelect(StandardFonts[0], DrawnImage(), kAlignLeft, 0xFFFF, 0, 0, 1);
    const std::vector<std::string> lines = TagLines();
    // Text is placed by its base line.
    const int32_t ascent = SelectedFontAscent();
    for (size_t r = 0; r < lines.size(); ++r)
      FontDrawText(tagLeft + 4, tagTop + 4 + ascent + static_cast<int32_t>(r) * tagLineHeight, lines[r].c_str());
  }
  MarkDisplayDirty(0, 0, screenWidth, screenHeight);
}

void TargetingArcEventHandler::Erase(int) {
  if (arcReady) MarkDisplayDirty(0, 0, screenWidth, screenHeight);
}

int TargetingArcEventHandler::OnKeyDown(uint16_t code) {
  if (code < kKeyLeft || code > kKeyDown) return 0;
  if (!viewSaved) {
    savedHeading = View().heading;
    viewSaved = true;
  }
  return 1;
}

int TargetingArcEventHandler::OnChar(uint16_t code) {
  if (code < kKeyLeft || code > kKeyDown || !Aiming()) return 0;
  OnKeyDown(code);
  playerInfo_s* g = Golfer();
  const int vk = code - kKeySpecial;
  const bool ctrl = (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
  const bool shift = (GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0;
  int passes = 0;
  bool held = false;
  do {
    const uint32_t passStart = timeGetTime();
    const Vector3 ball = g->ball.position;
    const float dx = AimPoint.x - ball.x, dy = AimPoint.y - ball.y, dz = AimPoint.z - ball.z;
    const float d = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (ctrl) {
      if (code == kKeyLeft) TurnViewLeft(this, &View(), 6);
      if (code == kKeyRight) TurnViewRight(this, &View(), 6);
      ReaimAlongView(this, &View());
      UpdateTargeting(this, 0, 1, 0, 1);
      break;
    }
    if (shift) {
      if (PowerMeter && g->currentClub != clubs::kPutter) {
        float curve = PowerMeter->curve, trajectory = PowerMeter->trajectory;
        if (code == kKeyLeft) curve += 2.0f;
        if (code == kKeyRight) curve -= 2.0f;
        if (code == kKeyUp) trajectory -= 2.0f;
        if (code == kKeyDown) trajectory += 2.0f;
        PowerMeter->SetCurve(std::clamp(curve, -50.0f, 50.0f));
        PowerMeter->SetTrajectory(trajectory);
      }
      UpdateTargeting(this, 0, 1, 0, 1);
    } else {
      if (code == kKeyLeft) AimPoint = TurnAim(ball, AimPoint, kHalfDegree);
      if (code == kKeyRight) AimPoint = TurnAim(ball, AimPoint, -kHalfDegree);
      const float length = GroundLength(ball, AimPoint);
      if (code == kKeyUp) AimPoint = StretchAim(ball, AimPoint, length + d / 100.0f);
      if (code == kKeyDown) AimPoint = StretchAim(ball, AimPoint, length - 2.0f * d / 100.0f);
      ArcDelayedRedrawTime = timeGetTime() + 1000;
      UpdateTargeting(this, 1, 1, 0, 1);
    }
    ++passes;
    // A pass takes well under a millisecond here: stepping once per pass would swing the aim by tens of degrees
    // during a short tap, so a held key steps on the clock instead.
    while ((held = (GetAsyncKeyState(vk) & 0x8000) != 0) && timeGetTime() - passStart < kAimStepMs) Sleep(1);
  } while (held);
  Restart();
  return 1;
}

int TargetingArcEventHandler::OnPointerDown(int16_t x, int16_t y, uint8_t buttons) {
  if (!Aiming()) return 0;
  if (x >= keepOutLeft - 15 && y >= keepOutTop - 15 && x < keepOutRight && y < keepOutBottom && keepOutRight > keepOutLeft)
    return 0;
  if (buttons & kButtonRight) return 0;
  playerInfo_s* g = Golfer();
  Vector3 ground;
  if (!ScreenToGround(View(), x, y, g->ball.position.z, AimPoint, &ground)) return 0;
  ground.z = GetTerrainHeight(ground.x, ground.y);
  if (ground.z == -7.0f) ground.z = g->ball.position.z;
  AimPoint = ground;
  ArcDelayedRedrawTime = timeGetTime() + 1000;
  mousePlaced = true;
  const bool shift = (GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0;
  UpdateTargeting(this, shift ? 0 : 1, 0, 0, 1);
  mousePlaced = false;
  POINT last{};
  GetCursorPos(&last);
  while (PollMouseButtons()) {
    POINT now{};
    GetCursorPos(&now);
    if (now.x != last.x || now.y != last.y) {
      RotateAimByPixels(this, now.x - last.x);
      StretchAimByPixels(this, now.y - last.y);
      ArcDelayedRedrawTime = timeGetTime() + 1000;
      const bool s = (GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0;
      UpdateTargeting(this, s ? 0 : 1, 1, 0, 1);
      last = now;
      if (now.x <= 10 || now.y <= 10 || now.x >= screenWidth - 10 || now.y >= screenHeight - 10) {
        SetCursorPos(screenWidth / 2, screenHeight / 2);
        GetCursorPos(&last);
      }
    }
  }
  Restart();
  return 1;
}

bool TargetingArcEventHandler::FollowShot() {
  playerInfo_s* g = Golfer();
  if (!g || !(flags & kHandlerShown) || !PersonPlays()) return false;
  const Vector3 ball = g->ball.position;
  if (ball.x == laidBall.x && ball.y == laidBall.y && ball.z == laidBall.z && ShotAimPoint.x == laidAim.x &&
      ShotAimPoint.y == laidAim.y)
    return false;
  laidBall = ball;
  Layout(&g->ball, ShotAimPoint, g, true);
  UpdateTargeting(this, 0, 0, 0, 1);
  laidAim = ShotAimPoint;
  return true;
}

int TargetingArcEventHandler::OnIdle() {
  FollowShot();
  const uint32_t now = timeGetTime();
  if (ArcDelayedRedrawTime && ArcDelayedRedrawTime < now) {
    ArcDelayedRedrawTime = 0;
    // Without the tag: the screen under it is drawn again when someone draws it.
    if (onChanged) {
      onChanged();
    } else {
      Erase(0);
      Draw(0);
    }
  }
  if (arcReady && (flags & kHandlerShown) && Aiming()) {
    const tagArrowStruct& m = LandingMarkers[1].kind ? LandingMarkers[1] : LandingMarkers[0];
    const int32_t margin = screenWidth / 40;
    const TGolfView& v = View();
    const bool leftOut = m.x < v.viewLeft + margin;
    const bool rightOut = m.x > v.viewLeft + v.viewWidth - margin;
    if (!leftOut && !rightOut) {
      lastFollowTime = now;
    } else if (now - lastFollowTime > 500) {
      LookToward(View(), AimPoint);
      if (leftOut)
        View().TurnBy(2048);
      else
        View().TurnBy(-2048);
      UpdateTargeting(this, 0, 0, 0, 1);
      lastFollowTime = now;
    }
  }
  return 1;
}

// ---- aim helpers ---------------------------------------------------------------------------------------------------

void RotateAimByPixels(TargetingArcEventHandler*, int32_t dx) {
  if (!Golfer()) return;
  AimPoint = TurnAim(Golfer()->ball.position, AimPoint, -static_cast<float>(dx) * (kPi / 180.0f) / 22.0f);
}

void StretchAimByPixels(TargetingArcEventHandler*, int32_t dy) {
  if (!Golfer()) return;
  const Vector3 ball = Golfer()->ball.position;
  const float length = GroundLength(ball, AimPoint);
  AimPoint = StretchAim(ball, AimPoint, length - static_cast<float>(dy) * length / 200.0f);
}

void TurnViewLeft(TargetingArcEventHandler*, TGolfView* view, int steps) { view->TurnBy(-steps * 256); }
void TurnViewRight(TargetingArcEventHandler*, TGolfView* view, int steps) { view->TurnBy(steps * 256); }

bool ReaimAlongView(TargetingArcEventHandler* h, TGolfView* view) {
  if (!Golfer()) return false;
  ScreenPixel px;
  view->ProjectToScreen(h->landing, &px);
  const int32_t shrink = h->screenWidth / 35;
  if (px.x >= view->viewLeft + shrink && px.x < view->viewLeft + view->viewWidth - shrink &&
      px.y >= view->viewTop + shrink && px.y < view->viewTop + view->viewHeight - shrink)
    return false;
  // Straight ahead of the view at the same distance: the view looks from the camera toward the focus.
  const Vector3 ball = Golfer()->ball.position;
  const float angle = std::atan2(-view->backC, -view->backS);
  AimPoint = AimFrom(ball, angle, GroundLength(ball, AimPoint), AimPoint.z);
  h->Layout(&Golfer()->ball, AimPoint, Golfer(), false);
  return true;
}

bool ScreenToGround(const TGolfView& view, int32_t x, int32_t y, float height, const Vector3& start, Vector3* out) {
  // Newton steps on the ground plane: the point whose projection falls on the pixel.
  Vector3 p{start.x, start.y, height};
  for (int i = 0; i < 40; ++i) {
    ScreenPointF s, sx, sy;
    view.ProjectToScreenFloat(p, &s);
    if (s.Z <= 0.0f) return false;
    const float ex = static_cast<float>(x) - s.x, ey = static_cast<float>(y) - s.y;
    if (std::fabs(ex) < 0.05f && std::fabs(ey) < 0.05f) break;
    const float hstep = 0.05f;
    view.ProjectToScreenFloat(Vector3{p.x + hstep, p.y, height}, &sx);
    view.ProjectToScreenFloat(Vector3{p.x, p.y + hstep, height}, &sy);
    const float a = (sx.x - s.x) / hstep, b = (sy.x - s.x) / hstep, c = (sx.y - s.y) / hstep, d = (sy.y - s.y) / hstep;
    const float det = a * d - b * c;
    if (std::fabs(det) < 1e-9f) return false;
    float mx = (d * ex - b * ey) / det, my = (-c * ex + a * ey) / det;
    const float len = std::sqrt(mx * mx + my * my);
    if (len > 50.0f) mx *= 50.0f / len, my *= 50.0f / len;
    p.x += mx;
    p.y += my;
  }
  *out = p;
  return true;
}

// ---- the prediction ------------------------------------------------------------------------------------------------

void DrawTargetingArc(TargetingArcEventHandler* h, int autoClub, int marker) {
  playerInfo_s* g = Golfer();
  if (!g || !h) return;
  const float firstPower = (marker == 0 && !h->unadjusted) ? 1.0f : 0.0f;
  const Vector3 ball = g->ball.position;
  const float meterPower = PowerMeter ? PowerMeter->power : 1.0f;
  const float meterCurve = PowerMeter ? PowerMeter->curve : 0.0f;
  const float meterTrajectory = PowerMeter ? PowerMeter->trajectory : 0.0f;
  tagArrowStruct& m = LandingMarkers[marker];
  BallState copy = LaunchCopy(h, autoClub, firstPower);
  if (g->currentClub == clubs::kPutter) {
    // A putt has no ribbon: an earlier shot's would stand over the green.
    h->segments.clear();
    h->flewAway = false;
    Vector3 p = AimPoint;
    if (!h->unadjusted && marker == 0) {
      static const int kScales[5] = {4, 8, 20, 40, 80};
      int feet = 160;
      for (int s : kScales)
        if (static_cast<float>(s) >= 3.0f * AimDistance) {
          feet = s;
          break;
        }
      const Vector3 dir = unit(sub(AimPoint, ball));
      p = add(ball, scale(dir, static_cast<float>(feet / 3)));
    }
    PredictShot(meterPower, meterCurve, meterTrajectory, &g->ball);
    if (IsHazardSurface(h, GetTerrainSurface(p.x, p.y))) p.z = ball.z;
    ProjectMarker(h, m, p);
    m.kind = marker == 1 ? kArcSecond : 0;
    if (marker == 0) h->landing = p;
    return;
  }
  if (h->mousePlaced || !PersonPlays()) {
    Vector3 wanted{};
    for (int round = 0; round < 7; ++round) {
      BallState probe = LaunchCopy(h, 0, 0.0f);
      StepToContact(&probe);
      if (round == 0) wanted = add(ball, scale(unit(sub(AimPoint, ball)), AimDistance));
      const Vector3 correction = sub(wanted, probe.position);
      AimPoint = add(AimPoint, correction);
      if (length(correction) <= 0.1f) break;
    }
    copy = LaunchCopy(h, 0, firstPower);
  }
  if (!PersonPlays()) return;
  ScreenPixel start;
  h->View().ProjectToScreen(ball, &start);
  PredictShot(meterPower, meterCurve, meterTrajectory, &g->ball);
  copy = LaunchCopy(h, 0, firstPower);
  if (marker == 1) {
    StepToContact(&copy);
    ProjectMarker(h, m, copy.position);
    m.kind = kArcSecond;
    return;
  }
  h->segments.clear();
  h->flewAway = false;
  uint32_t depth = ArcDepthKey(h->View().ProjectToScreen(ball, &start));
  int32_t px = start.x, py = start.y;
  Vector3 lastDir = unit(copy.velocity);
  bool contact = false;
  for (int i = 0; i < kArcStepLimit && !contact; ++i) {
    BallStep(&copy, kArcStepSeconds);
    contact = BallFirstContact(&copy);
    const Vector3 dir = unit(copy.velocity);
    if (length(sub(dir, lastDir)) < kTurnThreshold && !contact) continue;
    lastDir = dir;
    ScreenPixel next;
    const float d = h->View().ProjectToScreen(copy.position, &next);
    if (h->segments.size() < kArcSegmentCapacity) {
      ArcSegment s{};
      s.x[0] = px, s.y[0] = py, s.x[1] = px + 1, s.y[1] = py;
      s.x[2] = next.x + 1, s.y[2] = next.y, s.x[3] = next.x, s.y[3] = next.y;
      if (py >= next.y)
        s.y[0]++, s.y[1]++;
      else
        s.y[2]++, s.y[3]++;
      s.depth = depth;
      s.kind = kArcFlight;
      if (BallHazard(copy)) {
        s.kind = kArcHazard;
        h->hazardWarning = true;
      } else if (IsHazardSurface(h, GetTerrainSurface(copy.position.x, copy.position.y))) {
        s.kind = kArcProvisional;
      }
      h->segments.push_back(s);
    }
    px = next.x, py = next.y;
    depth = ArcDepthKey(d);
  }
  if (!contact) {
    h->flewAway = true;
    if (h->onFlewAway) h->onFlewAway();
  }
  uint8_t finalKind = kArcFlight;
  if (IsHazardSurface(h, GetTerrainSurface(copy.position.x, copy.position.y)) || BallHazard(copy)) {
    finalKind = kArcHazard;
    h->hazardWarning = true;
  }
  // The ribbon narrows from 17 pixels at the ball to 3 at the landing.
  const size_t n = h->segments.size();
  int32_t w = 8 << 16;
  const int32_t drop = n ? static_cast<int32_t>((7 << 16) / static_cast<int32_t>(n)) : 0;
  for (ArcSegment& s : h->segments) {
    const int32_t previous = w >> 16;
    w = std::max(w - drop, 1 << 16);
    const int32_t now = w >> 16;
    s.x[0] -= previous;
    s.x[1] += previous;
    s.x[2] += now;
    s.x[3] -= now;
    if (s.kind == kArcProvisional) s.kind = finalKind;
  }
  ProjectMarker(h, m, copy.position);
  m.kind = finalKind;
  h->landing = copy.position;
  const BallEventRecord e = BallGetEventRecord(&copy);
  std::memcpy(LastLandingState, e.bytes, sizeof LastLandingState);
  h->top = 0;
  h->bottom = h->screenHeight;
}

namespace {

void BuildArcFromReplay(TargetingArcEventHandler* h) {
  playerInfo_s* g = Golfer();
  StartReplayPlayback();
  const uint32_t t0 = GetPlaybackFrameClock();
  h->segments.clear();
  if (g->currentClub == clubs::kPutter) {
    ProjectMarker(h, LandingMarkers[0], AimPoint);
    LandingMarkers[0].kind = kArcReplay;
    return;
  }
  ScreenPixel prev;
  h->View().ProjectToScreen(*GetPlaybackBallPos(), &prev);
  Vector3 last = *GetPlaybackBallPos();
  uint8_t kind = kArcReplay;
  for (uint32_t t = 50; h->segments.size() < kArcSegmentCapacity; t += 50) {
    SampleReplayAtTime(t0 + t);
    last = *GetPlaybackBallPos();
    ScreenPixel next;
    const float d = h->View().ProjectToScreen(last, &next);
    ArcSegment s{};
    s.x[0] = prev.x - 1, s.y[0] = prev.y, s.x[1] = prev.x + 1, s.y[1] = prev.y;
    s.x[2] = next.x + 1, s.y[2] = next.y + 1, s.x[3] = next.x - 1, s.y[3] = next.y + 1;
    s.depth = ArcDepthKey(d);
    s.kind = GetPlaybackEvent()[kReplayHazardByte] ? kArcHazard : kArcReplay;
    if (s.kind == kArcHazard) kind = kArcHazard, h->hazardWarning = true;
    h->segments.push_back(s);
    prev = next;
    if (t >= GetReplayDuration()) break;
  }
  SetReplayPlaying(false);
  ProjectMarker(h, LandingMarkers[0], last);
  LandingMarkers[0].kind = kind;
}

}  // namespace

int UpdateTargeting(TargetingArcEventHandler* h, int autoClub, int, int fromReplay, int redraw) {
  if (!h || !Golfer()) return 0;
  h->hazardWarning = false;
  h->Erase(0);
  LandingMarkers[0].kind = LandingMarkers[1].kind = 0;
  if (fromReplay) {
    BuildArcFromReplay(h);
  } else {
    const Vector3 saved = AimPoint;
    DrawTargetingArc(h, autoClub, 0);
    if (!h->unadjusted) {
      AimPoint = saved;
      DrawTargetingArc(h, 0, 1);
    }
  }
  h->arcReady = true;
  // The lie and distance panels and the club caption tell of the shot the arc now shows (a new turn's ball, another
  // club picked by the prediction).
  UpdateShotInfoPanels(1);
  if (!fromReplay) {
    // The swing launches toward the aim the arc shows.
    ShotAimPoint = AimPoint;
    h->laidAim = AimPoint;
    RefreshClubSelection();
  }
  if (redraw) {
    if (h->onChanged) {
      h->onChanged();
    } else {
      h->Draw(0);
      UpdateDisplay();
    }
  }
  return 0;
}
