#include "scene/cammount.h"

#include <algorithm>
#include <cmath>

#include "course/angle.h"
#include "course/terrain.h"
#include "platformlib/gfx/fixtrig.h"
#include "scene/horizon.h"
#include "scene/random.h"

namespace {

CameraShot gShot;
int gReverseVariant = 0;
int16_t gPopupHeadingOffset = 0;


float Sin(int32_t a) { return static_cast<float>(fixsin(a & 0xFFFF)) / 65536.0f; }
float Cos(int32_t a) { return static_cast<float>(fixcos(a & 0xFFFF)) / 65536.0f; }
int32_t Wrap(int32_t a) { return a & 0xFFFF; }
float Distance3(const Vector3& a, const Vector3& b) {
  return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}
uint8_t HighNibble(uint8_t s) { return static_cast<uint8_t>(s & 0xF0); }
bool IsGreenSurface(uint8_t s) { return HighNibble(s) == 0x70 || HighNibble(s) == 0xB0; }

// The screen row of a point in a view (float, the viewport's top included).
float RowOf(const TGolfView& v, const Vector3& p) {
  ScreenPointF s;
  v.ProjectToScreenFloat(p, &s);
  return s.y;
}
void MoveCentreY(TGolfView& v, float by) {
  v.centreYf += by;
  v.centreY = static_cast<int32_t>(std::lround(v.centreYf));
}

}  // namespace

CameraShot& CurrentCameraShot() { return gShot; }
int& ReverseBallVariant() { return gReverseVariant; }

int CameraShot::HighestFrame() const {
  int best = 0;
  float height = 0.0f;
  for (size_t n = 0; n < frames.size(); ++n)
    if (frames[n].z > height) height = frames[n].z, best = static_cast<int>(n);
  return best;
}

double CameraShot::FrameFraction(int n) const {
  if (frames.size() < 2) return 0.0;
  return static_cast<double>(n) / static_cast<double>(frames.size() - 1);
}

Vector3 CameraShot::LastFrame() const { return frames.empty() ? rest : frames.back(); }

float CameraShot::MaxRiseAboveLine(float start, float slope) const {
  float rise = 0.0f;
  for (size_t n = 0; n < frames.size(); ++n)
    rise = std::max(rise, frames[n].z - (start + slope * static_cast<float>(FrameFraction(static_cast<int>(n)))));
  return rise;
}

bool CameraShot::FrameNear(const Vector3& p, float tolerance, int* frame) const {
  for (size_t n = 0; n < frames.size(); ++n) {
    const Vector3& f = frames[n];
    if (std::fabs(f.x - p.x) <= tolerance && std::fabs(f.y - p.y) <= tolerance && std::fabs(f.z - p.z) <= tolerance) {
      *frame = static_cast<int>(n);
      return true;
    }
  }
  return false;
}

bool CameraShot::IsWaterLike(uint8_t surface) const {
  const uint8_t s = HighNibble(surface);
  return s == 0x90 || s == extraWater[0] || s == extraWater[1];
}

int32_t ViewTurnForShotState(int state) {
  switch (state) {
    case 0: case 1: case 2: case 3: case 17: case 19: case 20: case 21: case 22: case 23: case 24: case 25:
      return 4550;
    default:
      return 0;
  }
}

int ScreenLayoutFor(int32_t width) { return width <= 640 ? 0 : (width <= 800 ? 1 : 2); }

void PipWindowCorner(int32_t width, int32_t height, int32_t* left, int32_t* top) {
  static constexpr int32_t kLeft[3] = {440, 562, 600}, kTop[3] = {164, 205, 205};
  const int layout = ScreenLayoutFor(width);
  *left = std::max(0, std::min(kLeft[layout], width - width * 40 / 100));
  *top = std::max(0, std::min(kTop[layout], height - height * 40 / 100));
}

int32_t HeadingBetween(const Vector3& a, const Vector3& b) { return ViewHeadingToward(a, b); }

Vector3 OffsetPointOnHeading(float distance, int32_t heading, const Vector3& p) {
  return {p.x + distance * Sin(heading), p.y + distance * Cos(heading), p.z};
}

Vector3 ViewLookPoint(const TGolfView& view) { return {view.cameraX, view.cameraZ, view.heightTerm}; }

// ---- the base ----

void TCameraMount::Begin(TGolfView* v) {
  const CameraShot& shot = gShot;
  ballStart = target = shot.ball;
  view = v;
  following = false;
  showPip = carriedPip;
  showFull = carriedFull;
  viewTurn = ViewTurnForShotState(shot.shotState);
  SetViewBlendLength(0);
  frameCount = 0;
  const int32_t W = shot.screenWidth, H = shot.screenHeight;
  if (IsFullView()) {
    limitTop = static_cast<float>(3 * H / 10);
    limitBottom = static_cast<float>(8 * H / 10);
    limit3 = static_cast<float>(4 * H / 70);
    limit4 = static_cast<float>(6 * H / 70);
    value7c = static_cast<float>(6 * H / 20);
    const int32_t rect[4] = {0, 0, W, H};
    const int32_t flag = 0;
    if (v) v->SetViewport(rect, &flag, 0, shot.hardware ? 0 : 1);
  } else {
    const int32_t h = 40 * H / 100;
    int32_t left = 0, top = 0;
    PipWindowCorner(W, H, &left, &top);
    limitTop = static_cast<float>(top + 3 * h / 10);
    limitBottom = static_cast<float>(top + 8 * h / 10);
    limit3 = static_cast<float>(4 * h / 10);
    limit4 = static_cast<float>(6 * h / 10);
    value7c = static_cast<float>(6 * h / 10);
    const int32_t rect[4] = {left, top, left + 40 * W / 100, top + h};
    const int32_t flag = 1;
    if (v) v->SetViewport(rect, &flag, 0, shot.hardware ? 0 : 1);
  }
  startGroundHeight = GetTerrainHeight(shot.rest.x, shot.rest.y);
  endGroundHeight = GetTerrainHeight(shot.final.x, shot.final.y);
  heightDrop = endGroundHeight - startGroundHeight;
}

void TCameraMount::LookAt(const Vector3& a, const Vector3& b) {
  if (!view) return;
  view->SetHeadingAngle(HeadingBetween(a, b));
  view->LookAtGroundPoint(a.x, a.y, a.z);
  lookVector = a;
}

void TCameraMount::UpdateViewTransform() {
  if (!view) return;
  if (kind == kFullBallCam || IsReverseBallKind(kind)) {
    view->ResetScreenCentre();
    view->UpdateTransformWithOffsets();
  } else {
    view->UpdateTransform();
  }
}

void TCameraMount::MoveViewBack(float d) {
  if (!view) return;
  if (kind == kFullBallCam || IsReverseBallKind(kind)) view->MoveBackWithOffsets(d);
  else view->MoveBack(d);
}

int TCameraMount::ViewSideOfHole() const {
  if (!view) return 0;
  const CameraShot& shot = gShot;
  const auto differs = [](int32_t a, int32_t b) { return std::abs(AngleDelta(a, b)) > 0x4000; };
  // The golfer must lie ahead of the view.
  if (differs(HeadingBetween(ViewLookPoint(*view), shot.rest), view->heading)) return 0;
  const bool moved = shot.ball.x != shot.rest.x || shot.ball.y != shot.rest.y;
  const int32_t b = HeadingBetween(shot.rest, moved ? shot.ball : shot.aim);
  return differs(b, view->heading) ? 1 : -1;
}

void TCameraMount::UpdateShowFlags() {
  const int side = ViewSideOfHole();
  showPip = side > 0;
  showFull = side < 0;
}

TCameraMount::ShotLine TCameraMount::GetShotLine(float s, float e) const {
  const CameraShot& shot = gShot;
  ShotLine line;
  line.start = shot.rest;
  line.end = shot.final;
  Vector3 d{line.end.x - line.start.x, line.end.y - line.start.y, 0.0f};
  const Vector3 start = line.start;
  bool changed = false;
  if (e < 1.0f) line.end = {start.x + e * d.x, start.y + e * d.y, line.end.z}, changed = true;
  if (s > 0.0f) line.start = {start.x + s * d.x, start.y + s * d.y, line.start.z}, changed = true;
  if (changed) {
    d = {line.end.x - line.start.x, line.end.y - line.start.y, 0.0f};
    line.length = Distance3(line.start, line.end);
  } else {
    line.length = shot.launchSpeed;
  }
  line.direction = d;
  line.heading = HeadingBetween(line.start, line.end);
  return line;
}

float TCameraMount::ProjectBallRow() const { return view ? RowOf(*view, gShot.ball) : 0.0f; }

// ---- the ball mount ----

void TBallMount::Begin(TGolfView* v) {
  eyeDistance = 2.75f + static_cast<float>(RandomNextByte()) / 512.0f;
  TCameraMount::Begin(v);
  if (kind == kPipBallCam || kind == kFullBallCam) showFull = true, showPip = false;
  SetViewBlendLength(2);
  param40 = 0;
  following = false;
  const CameraShot& shot = gShot;
  const Vector3 landing = shot.LastFrame();
  startGroundHeight = GetTerrainHeight(shot.rest.x, shot.rest.y);
  endGroundHeight = GetTerrainHeight(landing.x, landing.y);
  heightDrop = endGroundHeight - startGroundHeight;
  if (IsReverseBallKind(kind) && view) {
    view->SetHeadingAngle(view->heading + 0x8000);
    view->focusPoint = shot.ball;
    UpdateViewTransform();
    showFull = false;
    showPip = true;
    gReverseVariant = (kind == 15 || kind == 34) ? 0 : (kind == 17 || kind == 36) ? 1 : 2;
  }
}

void TBallMount::Track(TGolfView* v, float t) {
  view = v;
  if (!view) return;
  const CameraShot& shot = gShot;
  const Vector3 rest = shot.rest, ball = shot.ball;
  const int32_t hA = Wrap(HeadingBetween(rest, ball)), hB = Wrap(hA + 0x8000);
  if (!following) following = ball.x != target.x || ball.y != target.y;
  Vector3 look = target;
  int32_t heading = view->heading;
  eyeRise = 0.0f;
  if (following) {
    const float g = heightDrop * t + startGroundHeight;
    const float rise = std::max(ball.z - g, 0.0f);
    const float z = rise / (5.0f * eyeDistance);
    zoomLevel = static_cast<int32_t>(std::lround(6.0f * z + 2.0f));
    look = ball;
    look.z -= rise / 4.0f;
    eyeRise = 5.0f * z;
    heading = hA;
    if (IsReverseBallKind(kind)) {
      int apexFrame = shot.HighestFrame();
      if (apexFrame > 1) apexFrame -= 2;
      const float apex = static_cast<float>(shot.FrameFraction(apexFrame));
      const float a0 = apex - 0.15f, a1 = apex;
      if (gReverseVariant == 0) {
        heading = hB;
      } else if (gReverseVariant == 1) {
        heading = hB + static_cast<int32_t>(std::lround(32768.0f * std::sqrt(std::clamp(t, 0.0f, 1.0f))));
      } else if (t < a0) {
        heading = hB;
      } else if (t > a1) {
        heading = hA;
      } else {
        const float u = std::min((t - a0) / 0.15f, 1.0f);
        const float k = Cos(static_cast<int32_t>(std::lround(32768.0f * u)));
        heading = hB + static_cast<int32_t>(std::lround(32768.0f * (1.0f - k) * 0.5f));
      }
    }
  }
  view->SetHeadingAngle(Wrap(heading));
  const float gLook = GetTerrainHeight(look.x, look.y);
  target = look;
  if (look.z < gLook) look.z = gLook, zoomLevel = 2, eyeRise = 0.0f;
  if (view->viewWidth != gShot.screenWidth) view->SetOffsets(0.0f, 0.0f);
  view->focusPoint = look;
  UpdateViewTransform();
  if (lookVector.z + 1.0f < gLook) lookVector.z = gLook + 1.0f;
  MoveViewBack(-eyeRise);
  // Our views look level: the eye rises with the ball by what the look point was lowered, so the ball stays in
  // the picture a little below the eye.
  if (following && look.z > gLook) view->heightTerm += std::max(ball.z - look.z, 0.0f);
  if (IsReverseBallKind(kind) && following) {
    UpdateShowFlags();
    if (showPip && viewTurn != 0) {
      view->SetHeadingAngle(view->heading + viewTurn);
      view->UpdateTransform();
    }
  }
}

// ---- the static camera ----

namespace {

// The camera `distance` beyond P seen from Q, its eye at `height`, looking back toward Q.
void PlaceCameraBehind(TGolfView& v, const Vector3& p, float distance, float height, const Vector3& q) {
  const Vector3 stand = OffsetPointOnHeading(distance, HeadingBetween(p, q), p);
  v.SetHeadingAngle(HeadingBetween(stand, q));
  v.LookAtGroundPoint(stand.x, stand.y, height);
  v.ResetScreenCentre();
}

}  // namespace

void TStaticCamera::Begin(TGolfView* v) {
  if (!v) return TCameraMount::Begin(v);
  const TGolfView saved = *v;
  TCameraMount::Begin(v);
  if (IsFullView()) *v = saved;
}

void TStaticCamera::Track(TGolfView* v, float) {
  view = v;
  if (!view) return;
  const CameraShot& shot = gShot;
  const Vector3 landing = shot.LastFrame();
  switch (kind) {
    case kPipSnapToLieCam:
    case kFullSnapToLieCam:
      PlaceCameraBehind(*view, landing, 10.0f, landing.z + 3.0f, shot.rest);
      showPip = true, showFull = false;
      break;
    case kPipSnapToPinCam:
    case kFullSnapToPinCam:
      PlaceCameraBehind(*view, landing, 10.0f, landing.z + 3.0f, shot.goal);
      showPip = false, showFull = false;
      break;
    default:
      showPip = false, showFull = true;
      break;
  }
}

// ---- the gallery ----

void TGalleryMount::Begin(TGolfView* v) {
  TCameraMount::Begin(v);
  showPip = true, showFull = false;
  SetViewBlendLength(15);
  const CameraShot& shot = gShot;
  const float part = (kind == 13 || kind == 32) ? 0.25f : (kind == 14 || kind == 33) ? 0.65f : 1.0f;
  const ShotLine line = GetShotLine(0.0f, part);
  ballStart = target = line.start;
  // The spectator stands down the line toward the aim, beside it, looking back at the golfer.
  const float b = static_cast<float>(std::clamp(shot.savedRandom, 0, 255));
  const float d = std::max(((1.1f - 0.9f) / 255.0f * b + 0.9f) * line.length, 10.0f);
  const float s = std::clamp(0.15f * d + 0.1f * shot.MaxRiseAboveLine(startGroundHeight, heightDrop), 8.0f, 20.0f);
  const int32_t h = HeadingBetween(shot.aim, ballStart);  // back vector toward the aim
  const float sx = Sin(h), cz = Cos(h);
  const Vector3 base{target.x + d * sx, target.y + d * cz, 0.0f};
  Vector3 a{base.x - s * cz, base.y + s * sx, 0.0f}, bb{base.x + s * cz, base.y - s * sx, 0.0f};
  a.z = GetCellAverageHeight(a.x, a.y) + 2.0f;
  bb.z = GetCellAverageHeight(bb.x, bb.y) + 2.0f;
  const uint8_t sa = HighNibble(GetCellSurface(a.x, a.y)), sb = HighNibble(GetCellSurface(bb.x, bb.y));
  const auto rough = [&](uint8_t c) { return c == 0x50 || c == HighNibble(shot.extraRough); };
  bool takeB;
  if (sa != 0x10 && sb == 0x10) takeB = true;
  else if (!IsGreenSurface(sa) && IsGreenSurface(sb)) takeB = true;
  else if (shot.IsWaterLike(sa) && !shot.IsWaterLike(sb)) takeB = true;
  else if (rough(sa) && !rough(sb)) takeB = true;
  else takeB = bb.z > a.z + 5.0f;
  lookVector = takeB ? bb : a;
  lookVector.z = std::max(lookVector.z, line.end.z + 2.0f);
  LookAt(lookVector, ballStart);
  if (!view) return;
  const uint32_t top = static_cast<uint32_t>(view->viewTop), height = static_cast<uint32_t>(view->viewHeight);
  limitTop = static_cast<float>(top + 3 * height / 10);
  limitBottom = static_cast<float>(top + 7 * height / 10);
  MoveCentreY(*view, limitBottom - RowOf(*view, shot.ball));
  startCentreY = static_cast<int16_t>(std::lround(view->centreYf - RowOf(*view, shot.ball)));
  rising = true;
  following = false;
}

void TGalleryMount::Track(TGolfView* v, float) {
  view = v;
  if (!view) return;
  Vector3 ball = gShot.ball;
  if (!following) following = ball.x != target.x && ball.y != target.y;
  if (!following) return;
  const float y = RowOf(*view, ball);
  const float mid = std::round((limitTop + limitBottom) * 0.25f);
  if (rising) rising = ball.z >= target.z || !(y < static_cast<float>(startCentreY) + view->centreYf);
  float shift = 0.0f;
  if (y < limitTop) {
    shift = std::round(limitTop - y);
  } else if (y > limitBottom) {
    shift = std::round(limitBottom - y);
  } else if (rising) {
    shift = y < mid ? static_cast<float>(static_cast<int32_t>(mid - y) / 4) : 0.0f;
  } else {
    shift = std::round(limitTop - y);
    const float was = limitTop;
    limitTop = (limitTop + y) * 0.5f;
    if (was > mid) limitTop = std::max(limitTop, mid);
    if (shift != 0.0f) {
      MoveCentreY(*view, shift);
      const float after = RowOf(*view, ball);
      MoveCentreY(*view, -shift);
      if (!(after > y && after >= limitTop)) shift = 0.0f;
    }
  }
  MoveCentreY(*view, shift);
  startCentreY = static_cast<int16_t>(std::lround(view->centreYf - RowOf(*view, ball)));
  ball.z = std::max(ball.z, GetTerrainHeight(ball.x, ball.y));
  LookAt(lookVector, ball);
  target = ball;
}

// ---- the tower ----

float TTowerMount::WantedRow(float rise) const {
  if (towerRise < 0.5f) return limitBottom;
  const float f = std::min(rise / towerRise, 1.0f);
  return static_cast<float>(static_cast<int16_t>(limitBottom * (1.0f - f) + limitTop * f));
}

void TTowerMount::Begin(TGolfView* v) {
  TCameraMount::Begin(v);
  showPip = true, showFull = false;
  SetViewBlendLength(25);
  const CameraShot& shot = gShot;
  static constexpr float kLayoutScale[3] = {1700.0f, 2125.0f, 2720.0f};
  value88 = kLayoutScale[ScreenLayoutFor(shot.screenWidth)];
  const ShotLine line = GetShotLine(0.0f, 1.0f);
  ballStart = line.start;
  const Vector3 E = line.end;
  const uint8_t r = RandomTable[flagByte++];
  side = (static_cast<float>(r) / 4.0f + 30.0f) * 12.0f / 255.0f;
  // Unit vector from the end toward the start; the camera stands beyond the end, seen from the golfer.
  float ux = line.start.x - E.x, uy = line.start.y - E.y;
  const float len = std::hypot(ux, uy);
  if (len > 0.0f) ux /= len, uy /= len;
  else ux = 0.0f, uy = 1.0f;
  const auto point = [&](float back, bool turned) {
    Vector3 p{E.x - back * ux, E.y - back * uy, 0.0f};
    if (viewTurn != 0) {
      p.x += side * ux, p.y += side * uy;  // along the line toward the golfer
    } else {
      p.x += side * uy, p.y -= side * ux;  // across the line
    }
    if (turned && viewTurn != 0) {
      const float r0 = std::hypot(p.x, p.y);
      const int32_t a = Wrap(static_cast<int32_t>(AngleFromXY(p.y, p.x)) + viewTurn);
      p.x = r0 * Cos(a), p.y = r0 * Sin(a);
    }
    p.z = std::max(GetCellAverageHeight(p.x, p.y) + 7.0f, E.z + 7.0f);
    return p;
  };
  backDistance = 30.0f;
  lookVector = point(backDistance, true);
  const auto allowed = [](uint8_t s) {
    const uint8_t n = HighNibble(s);
    return n == 0x10 || n == 0x70 || n == 0xB0;
  };
  while (side > 0.1f && !allowed(GetTerrainSurface(lookVector.x, lookVector.y))) {
    side = std::max(side - 0.1f, 0.1f);
    lookVector = point(backDistance, true);
  }
  while (shot.IsWaterLike(GetTerrainSurface(lookVector.x, lookVector.y)) && backDistance > 0.5f) {
    backDistance = std::max(backDistance - 0.5f, 0.5f);
    lookVector = point(backDistance, false);
    lookVector.z = GetCellAverageHeight(lookVector.x, lookVector.y) + 7.0f;
  }
  lookVector.z = std::max(lookVector.z, E.z + 7.0f);
  LookAt(lookVector, ballStart);
  if (!view) return;
  value84 = value7c * view->WorldToCamera(ballStart).Z / 2.0f * 1.4f;
  view->SetProjectionScale(value84, 2);
  towerRise = shot.MaxRiseAboveLine(startGroundHeight, heightDrop);
  MoveCentreY(*view, WantedRow(ballStart.z - startGroundHeight) - RowOf(*view, shot.ball));
}

void TTowerMount::Track(TGolfView* v, float t) {
  view = v;
  if (!view) return;
  Vector3 ball = gShot.ball;
  if (!following) following = ball.x != target.x || ball.y != target.y || ball.z != target.z;
  if (following) view->SetProjectionScale(value84 + (value88 - value84) * std::sqrt(std::clamp(t, 0.0f, 1.0f)), 2);
  const float rise = std::max(ball.z - (heightDrop * t + startGroundHeight), 0.0f);
  MoveCentreY(*view, WantedRow(rise) - RowOf(*view, ball));
  ball.z = std::max(ball.z, GetTerrainHeight(ball.x, ball.y));
  LookAt(lookVector, ball);
}

// ---- the hole pop-up ----

void THolePopupMount::Begin(TGolfView* v) {
  TCameraMount::Begin(v);
  param40 = 0;
  gPopupHeadingOffset = 0;
  Update(v, 0.0f);
  UpdateShowFlags();
}

void THolePopupMount::Track(TGolfView* v, float) {
  view = v;
  if (!view) return;
  const CameraShot& shot = gShot;
  const Vector3 goal = shot.goal, ball = shot.ball;
  if (param40 == 0) {
    if ((shot.golferState & 0x0F) != 7) return;
    param40 = 1;
    ballAtStart = ball;
    targetDistance = Distance3(ball, goal);
  }
  // A ball already at the goal when the wait ends has no distance to close: the camera stands at its nearest.
  const float ratio = targetDistance > 0.0f ? Distance3(ball, goal) / targetDistance : 0.0f;
  const int32_t toRest = HeadingBetween(shot.rest, goal);
  const bool sameSide = std::abs(AngleDelta(toRest, HeadingBetween(ViewLookPoint(*view), goal))) <= 0x4000;
  float distance = 3.5f + (sameSide ? ratio * ratio : ratio) * targetDistance;
  candidatesTried = 0;
  for (int n = 0; n < 50; ++n, distance += 0.1f) {
    ++candidatesTried;
    Vector3 p = OffsetPointOnHeading(distance, toRest, goal);
    if (shot.IsWaterLike(GetTerrainSurface(p.x, p.y))) break;
    p.z = std::max(GetCellAverageHeight(p.x, p.y), GetCellAverageHeight(goal.x, goal.y)) + 0.75f;
    view->SetHeadingAngle(HeadingBetween(p, goal) + gPopupHeadingOffset);
    view->LookAtGroundPoint(p.x, p.y, p.z);
    view->ResetScreenCentre();
    ScreenPixel g;
    view->ProjectToScreen(goal, &g);
    MoveCentreY(*view, 0.6666667f * static_cast<float>(view->viewHeight) - static_cast<float>(g.y));
    lookVector = p;
    ScreenPixel b;
    view->ProjectToScreen(ball, &b);
    if (b.x >= view->viewLeft && b.x < view->viewLeft + view->viewWidth && b.y >= view->viewTop &&
        b.y < view->viewTop + view->viewHeight - view->viewHeight / 4)
      break;
  }
}

// ---- the transitions ----

int32_t AngleDelta(int32_t a, int32_t b) {
  int32_t d = Wrap(b) - Wrap(a);
  if (d > 32768) d -= 65536;
  if (d < -32768) d += 65536;
  return d;
}

float TTransitionMount::Ease(float t) {
  return (1.0f - Cos(static_cast<int32_t>(std::lround(t * 32768.0f)))) / 2.0f;
}

void TTransitionMount::SetDuration(float seconds) {
  duration = static_cast<uint32_t>(std::lround(std::max(seconds, 0.0f) * 1000.0f));
}

void TTransitionMount::BeginKeepingView(TGolfView* v) {
  if (v) {
    const TGolfView saved = *v;
    TCameraMount::Begin(v);
    *v = saved;
    startView = currentView = *v;
  } else {
    TCameraMount::Begin(v);
  }
  progress = 0.0f;
  startTick = endTick = elapsed = 0;
  frameTick = 0;
  checkSkip = true;
  skip = false;
  duration = 2000;
}

void TTransitionMount::Begin(TGolfView* v) { BeginKeepingView(v); }

void TTransitionMount::SetEndView(const TGolfView& v) {
  endView = v;
  if (!checkSkip) return;
  const Vector3 a = ViewLookPoint(startView), b = ViewLookPoint(endView);
  skip = Distance3(a, b) < 2.0f || (IsGreenSurface(GetTerrainSurface(a.x, a.y)) && IsGreenSurface(GetTerrainSurface(b.x, b.y)));
}

void TTransitionMount::Track(TGolfView* v, float) {
  view = v;
  const uint32_t now = gShot.now;
  currentView = startView;
  if (frameTick == 0) startTick = now, endTick = now + duration;
  frameTick = now ? now : 1;
  elapsed = now - startTick;
  // A transition of no length is over at once.
  progress = duration == 0 ? 1.0f : static_cast<float>(elapsed) / static_cast<float>(duration);
  if (skip) {
    progress = 1.0f;
    return;
  }
  progress = std::min(progress, 1.0f);
  const float e = Ease(progress);
  currentView.SetProjectionScale(startView.projectionScale, 2);
  const int32_t d = AngleDelta(startView.heading, endView.heading);
  if (orbit && std::abs(d) > 0x2000) {
    OrbitStep(e);
  } else {
    currentView.SetHeadingAngle(Wrap(startView.heading + static_cast<int32_t>(std::lround(d * e))));
    const Vector3 a = ViewLookPoint(startView), b = ViewLookPoint(endView);
    Vector3 p{a.x + (b.x - a.x) * e, a.y + (b.y - a.y) * e, a.z + (b.z - a.z) * e};
    p.z = std::max(p.z, GetTerrainHeight(p.x, p.y) + 2.0f);
    currentView.LookAtGroundPoint(p.x, p.y, p.z);
  }
  const float cx = startView.centreXf + (endView.centreXf - startView.centreXf) * e;
  const float cy = startView.centreYf + (endView.centreYf - startView.centreYf) * e;
  currentView.SetScreenCentre(static_cast<int32_t>(std::lround(cx)), static_cast<int32_t>(std::lround(cy)));
  currentView.centreXf = cx, currentView.centreYf = cy;
  if (v) *v = currentView;
  view = v;
  UpdateShowFlags();
}

void TTransitionMount::OrbitStep(float e) {
  const Vector3 T = orbitTarget, a = ViewLookPoint(startView), b = ViewLookPoint(endView);
  const float r0 = std::hypot(a.x - T.x, a.y - T.y), r1 = std::hypot(b.x - T.x, b.y - T.y);
  const auto angle = [](float dx, float dy, float r) {
    return r == 0.0f ? 0 : static_cast<int32_t>(AngleFromXY(dx, dy));
  };
  const int32_t a0 = angle(a.x - T.x, a.y - T.y, r0), a1 = angle(b.x - T.x, b.y - T.y, r1);
  const float r = r0 + (r1 - r0) * e;
  const int32_t turned = Wrap(a0 + static_cast<int32_t>(std::lround(AngleDelta(a0, a1) * e)));
  // AngleFromXY(dx, dy) measures from the second axis toward the first: the point is back at (sin, cos).
  Vector3 p{T.x + r * Sin(turned), T.y + r * Cos(turned), a.z + (b.z - a.z) * e};
  p.z = std::max(p.z, GetTerrainHeight(p.x, p.y) + 2.0f);
  currentView.SetHeadingAngle(HeadingBetween(p, T));
  currentView.LookAtGroundPoint(p.x, p.y, p.z);
}

namespace {

// The end view: where a temporary mount of `kind` puts the camera's view after its set-up and one frame; the
// camera's own view is left as it was.
template <typename Mount>
void BeginTowardMount(TTransitionMount& t, TGolfView* v, int kind) {
  t.TTransitionMount::Begin(v);
  if (!v) return;
  TGolfView end = *v;
  Mount mount;
  mount.kind = kind;
  mount.Begin(&end);
  mount.Update(&end, gShot.fraction);
  *v = t.startView;
  t.SetEndView(end);
}

}  // namespace

void TTransitionBallMount::Begin(TGolfView* v) {
  BeginTowardMount<TBallMount>(*this, v, IsFullView() ? kFullBallCam : kPipBallCam);
}

void TTransitionGallMount::Begin(TGolfView* v) {
  BeginTowardMount<TGalleryMount>(*this, v, IsFullView() ? kFullGalleryCam : kPipGalleryCam);
}

void TTransitionPinMount::Begin(TGolfView* v) {
  const CameraShot& shot = gShot;
  TGolfView end = MainView;
  const int32_t W = shot.screenWidth, H = shot.screenHeight;
  const int preset = shot.dynamicCamera ? 1 : 0, kindOfView = shot.hardware ? 0 : 1;
  if (IsFullView()) {
    const int32_t rect[4] = {0, 0, W, H}, flag = 0;
    end.SetViewport(rect, &flag, preset, kindOfView);
  } else {
    int32_t left = 0, top = 0;
    PipWindowCorner(W, H, &left, &top);
    const int32_t rect[4] = {left, top, left + W * 40 / 100, top + H * 40 / 100}, flag = 1;
    end.SetViewport(rect, &flag, preset, kindOfView);
  }
  // Where the golfer's own view will stand for the next shot: behind the ball, facing the pin.
  end.focusPoint = shot.ball;
  const bool same = shot.ball.x == shot.goal.x && shot.ball.y == shot.goal.y;
  end.SetHeading(same ? 0 : ViewHeadingToward(shot.ball, shot.goal));
  TTransitionMount::Begin(v);
  SetEndView(end);
  const int32_t turn = std::abs(AngleDelta(startView.heading, end.heading));
  SetDuration(turn <= 0x2000 ? 0.6f : turn <= 0x4000 ? 0.9f : turn <= 0x8000 ? 1.7f : 2.0f);
  orbitTarget = shot.ball;
  orbit = true;
}

// ---- the factory and the lists ----

std::unique_ptr<TCameraMount> CreateMountForKind(int kind) {
  std::unique_ptr<TCameraMount> m;
  switch (kind) {
    case 2: case 6: case 15: case 16: case 17: case 22: case 26: case 34: case 35: case 36:
      m = std::make_unique<TBallMount>();
      break;
    case 3: case 23: m = std::make_unique<TTowerMount>(); break;
    case 4: case 13: case 14: case 24: case 32: case 33: m = std::make_unique<TGalleryMount>(); break;
    case 5: case 25: m = std::make_unique<TRotateMount>(); break;
    case 7: case 27: m = std::make_unique<TTransitionMount>(); break;
    case 8: case 28: m = std::make_unique<TTransitionBallMount>(); break;
    case 9: case 29: m = std::make_unique<TTransitionGallMount>(); break;
    case 10: case 30: m = std::make_unique<TTransitionPinMount>(); break;
    case 11: case 31: m = std::make_unique<THolePopupMount>(); break;
    case 12: case 18: case 19: case 21: case 37: case 38: m = std::make_unique<TStaticCamera>(); break;
    default: return nullptr;
  }
  m->kind = kind == kPipAutoCam ? kPipBallCam : kind == kFullAutoCam ? kFullBallCam : kind;
  m->enabled = true;
  m->carriedPip = m->carriedFull = false;
  return m;
}

bool TMountList::Add(std::unique_ptr<TCameraMount> mount) {
  if (!mount || count >= kMounts || initialCount >= kMounts) return false;
  mount->carriedPip = mount->carriedFull = false;
  mounts[count] = std::move(mount);
  ++count;
  ++initialCount;
  return true;
}

void TMountList::Restart(TGolfView* v) {
  count = initialCount;
  current = 0;
  for (int i = 0; i < count; ++i)
    if (mounts[i]) mounts[i]->Reset();
  if (mounts[0]) mounts[0]->Begin(v);
}

void TMountList::Advance() {
  if (count <= 1) {
    count = 1;
    return;
  }
  TCameraMount* previous = Current();
  --count;
  ++current;
  TCameraMount* next = Current();
  if (!previous || !next) return;
  next->carriedFull = previous->showFull;
  next->carriedPip = previous->showPip;
  next->Begin(previous->view);
}

int TMountList::CheckSwitch(float time) {
  TCameraMount* m = Current();
  if (!m || m->endFraction > time) return 0;
  if (m->IsDone()) {
    Advance();
    return 0;
  }
  return 1;
}

void TMountRun::AddMount(float end, int kind) {
  if (!list) list = std::make_unique<TMountList>();
  std::unique_ptr<TCameraMount> m = CreateMountForKind(kind);
  if (!m) return;
  m->endFraction = end;
  m->stepValue = 8;
  list->Add(std::move(m));
}

bool FindBallCamTarget(float* fraction) {
  const CameraShot& shot = gShot;
  if (shot.launchSpeed < 6.67f) return false;
  const auto within = [](const Vector3& a, const Vector3& b, float t) {
    return std::fabs(a.x - b.x) <= t && std::fabs(a.y - b.y) <= t && std::fabs(a.z - b.z) <= t;
  };
  if (!within(shot.final, shot.goal, 1.5f)) return false;
  int frame = 0;
  if (!shot.FrameNear(shot.goal, 3.0f, &frame)) return false;
  if (fraction) *fraction = static_cast<float>(shot.FrameFraction(frame));
  return true;
}

void TMountRun::SelectMounts(TGolfView* v, int kind) {
  const CameraShot& shot = gShot;
  list = std::make_unique<TMountList>();
  endFraction = 1.0f;
  pastEnd = false;
  float f = 1.0f;
  const bool holeOut = FindBallCamTarget(&f);
  const float endAt = holeOut ? f : 1.0f;
  if (kind != kPipAutoCam && kind != kFullAutoCam) {
    AddMount(endAt, kind);
  } else {
    int first = 0, second = 0;
    NextAutoCamKinds(&first, &second, false);
    if (kind == kPipAutoCam) first = FullToPipKind(first), second = FullToPipKind(second);
    if (!shot.ballOnGreen) {
      const float apexEnd = 0.75f * static_cast<float>(shot.FrameFraction(shot.HighestFrame()));
      if (first == second) {
        AddMount(endAt, first);
      } else {
        AddMount(apexEnd, first);
        AddMount(endAt, second);
      }
    } else {
      AddMount(endAt, NextShortShotKind(kind == kPipAutoCam, shot.launchSpeed));
    }
  }
  if (holeOut) {
    const TCameraMount* first = list->Current();
    AddMount(1.0f, first && first->IsFullView() ? kFullHolePopupCam : kPipHolePopupCam);
  } else if (shot.lastEventByte4 == 0 && !shot.ballOnGreen) {
    // The closing move to the pin is never ended by time.
    AddMount(2.0f, kind > 20 ? kFullTransitionPinCam : kPipTransitionPinCam);
  }
  if (TCameraMount* m = list->Current()) m->Begin(v);
}

void TMountRun::Update(TGolfView* v, float time) {
  if (!list) return;
  list->UpdateCurrent(v, time);
  pastEnd = endFraction <= time;
  if (time != 0.0f) list->CheckSwitch(time);
}

bool TMountRun::IsFinished(float time) const {
  if (pastEnd) {
    TCameraMount* m = list ? list->Current() : nullptr;
    return list && list->count == 1 && m && m->IsDone();
  }
  return endFraction <= time;
}
