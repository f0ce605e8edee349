#include "scene/golfview.h"

#include <cmath>

#include "course/angle.h"
#include "course/terrain.h"
#include "framework/core/services.h"
#include "platformlib/gfx/fixtrig.h"
#include "scene/random.h"
#include "scene/render3d.h"

const float PresetLookDistance[3] = {6.9f, 3.72f, 14.9f};
const float PresetEyeHeight[3] = {2.453f, 1.6f, 5.96f};
const float ProjectionScaleByResolution[5] = {850.0f, 1062.5f, 1360.0f, 1700.0f, 2125.0f};

TGolfView MainView, FollowView, PipView, SpareView;
TGolfView* CurrentMainView = &MainView;
TGolfView* CurrentPipView = &PipView;
DepthBand DepthBands[4];
int32_t HoleMinDetailDistance[3] = {0, 0, 0};
bool DepthOverride = false;

namespace {

struct DetailLevel {
  int32_t multiplier;
  float minimum[3];
};
constexpr DetailLevel kDetailLevels[4] = {
    {19660, {0.0f, 0.0f, 22.0f}},
    {32768, {0.0f, 14.0f, 22.0f}},
    {45875, {14.0f, 22.0f, 36.0f}},
    {65536, {20.0f, 30.0f, 50.0f}},
};

void SinCos(int32_t angle, float* s, float* c) {
  int32_t si = 0, co = 0;
  fixsincos(angle & 0xFFFF, &si, &co);
  *s = static_cast<float>(si) / 65536.0f;
  *c = static_cast<float>(co) / 65536.0f;
}

int32_t TerrainDetail() {
  const int32_t t = GraphicsPref(kPrefTerrainDetail);
  return t < 0 ? 0 : (t > 3 ? 3 : t);
}

int32_t ToFixed(float v) { return static_cast<int32_t>(v * 65536.0f); }

}  // namespace

TGolfView::TGolfView() {
  viewWidth = Facts().screenWidth;
  viewHeight = Facts().screenHeight;
  ResetScreenCentre();
}

ViewPoint TGolfView::WorldToCamera(const Vector3& p) const {
  return {right - backC * p.x + backS * p.y, p.z - heightTerm, depth - backS * p.x - backC * p.y};
}

ViewPoint TGolfView::Perspective(const ViewPoint& q) const {
  const float k = projectionScale / q.Z;
  return {q.X * k, q.Y * k, q.Z};
}

ViewPoint TGolfView::InversePerspective(const ViewPoint& q) const {
  const float k = q.Z / projectionScale;
  return {q.X * k, q.Y * k, q.Z};
}

ScreenPixel TGolfView::ToScreen(const ViewPoint& q) const {
  if (q.Z <= 0.0f) return {-2000, -2000};
  return {static_cast<int32_t>(std::lround(centreXf + q.X)) + viewLeft,
          static_cast<int32_t>(std::lround(centreYf - q.Y)) + viewTop};
}

float TGolfView::ProjectToScreen(const Vector3& p, ScreenPixel* out) const {
  const ViewPoint q = WorldToCamera(p);
  if (q.Z <= 0.0f) {
    *out = {400, 2000};
    return q.Z;
  }
  *out = ToScreen(Perspective(q));
  return q.Z;
}

void TGolfView::ProjectToScreenFloat(const Vector3& p, ScreenPointF* out) const {
  const ViewPoint q = WorldToCamera(p);
  out->Z = q.Z;
  if (q.Z <= 0.0f) {
    out->x = out->y = -2000.0f;
    return;
  }
  const float k = projectionScale / q.Z;
  out->x = centreXf + q.X * k + static_cast<float>(viewLeft);
  out->y = centreYf - q.Y * k + static_cast<float>(viewTop);
}

Vector3 TGolfView::OffsetToWorld(const ViewPoint& q) const {
  return {cameraX - backC * q.X - backS * q.Z, cameraZ + backS * q.X - backC * q.Z, q.Y + heightTerm};
}

ViewPoint TGolfView::ScreenToGroundPoint(const uint16_t* depthBuffer, int32_t pitch, int32_t x, int32_t y) const {
  ViewPoint out{static_cast<float>(x) - centreXf, centreYf - static_cast<float>(y), 0.0f};
  if (viewWidth <= 0 || viewHeight <= 0) return out;
  x = x < 0 ? 0 : (x >= viewWidth ? viewWidth - 1 : x);
  y = y < 0 ? 0 : (y >= viewHeight ? viewHeight - 1 : y);
  auto at = [&](int32_t row) { return static_cast<int32_t>(depthBuffer[static_cast<size_t>(row) * pitch + x]); };
  const int32_t v = at(y);
  int32_t y0 = y - 1;
  while (y0 >= 0 && at(y0) == v) --y0;
  int32_t y1 = y + 1, v1 = v;
  while (y1 < viewHeight) {
    v1 = at(y1);
    if (v1 != v) break;
    ++y1;
  }
  const int32_t vp = (v + ((v1 - v) / (y1 - y0)) * (y - y0)) & 0x7FFE;
  if (!gRenderStart.hardwareActive) {
    out.Z = static_cast<float>(vp) * 700.0f / 65536.0f;
  } else {
    const float g = static_cast<float>(vp) / 65535.0f - DepthBands[3].near;
    out.Z = g < 0.0f ? 0.0f : g * 1000.0f / DepthBands[3].range;
  }
  return out;
}

void TGolfView::SetHeadingAngle(int32_t angle) {
  while (angle < 0) angle += 65536;
  while (angle > 65535) angle -= 65536;
  heading = angle;
  SinCos(angle, &backS, &backC);
}

void TGolfView::UpdateTransform() {
  cameraX = focusPoint.x + lookDistance * backS;
  cameraZ = focusPoint.y + lookDistance * backC;
  right = backC * cameraX - backS * cameraZ;
  heightTerm = focusPoint.z + eyeHeightOffset;
  depth = backS * cameraX + backC * cameraZ;
}

void TGolfView::UpdateTransformWithOffsets() {
  const float d = lookDistance - backOffset;
  cameraX = focusPoint.x + backS * d - backC * sideOffset;
  cameraZ = focusPoint.y + backC * d + backS * sideOffset;
  right = backC * cameraX - backS * cameraZ;
  depth = backS * cameraX + backC * cameraZ;
  heightTerm = focusPoint.z + eyeHeightOffset - 0.4f * backOffset;
  centreYf += static_cast<float>(viewHeight) * backOffset * 0.032f;
  centreY = static_cast<int32_t>(centreYf);
}

void TGolfView::MoveBack(float d) {
  focusPoint.x -= d * backS;
  focusPoint.y -= d * backC;
  UpdateTransform();
}

void TGolfView::MoveBackWithOffsets(float d) {
  focusPoint.x -= d * backS;
  focusPoint.y -= d * backC;
  ResetScreenCentre();
  UpdateTransformWithOffsets();
}

void TGolfView::MoveSideways(float d) {
  focusPoint.x -= d * backC;
  focusPoint.y += d * backS;
  UpdateTransform();
}

int32_t ViewHeadingToward(const Vector3& from, const Vector3& to) {
  double dx = static_cast<double>(to.x - from.x), dy = static_cast<double>(to.y - from.y);
  if (dx == 0.0 && dy == 0.0) return 0;
  // The view looks along minus its back vector (sin, cos of the heading).
  const double heading = std::atan2(-dx, -dy);
  return static_cast<int32_t>(std::lround(heading * 32768.0 / 3.14159265358979323846)) & 0xFFFF;
}

void TGolfView::FaceGroundPoint(const Vector3& point) {
  SetHeadingAngle(ViewHeadingToward(focusPoint, point));
  UpdateTransform();
}

void TGolfView::LookAtGroundPoint(float x, float z, float minimumHeight) {
  cameraX = x;
  cameraZ = z;
  const float h0 = GetCellAverageHeight(x, z);
  focusPoint.x = x - lookDistance * backS;
  focusPoint.y = z - lookDistance * backC;
  float h = GetCellAverageHeight(focusPoint.x, focusPoint.y);
  if (h < minimumHeight) h = minimumHeight;
  if (h < h0) h = h0;
  focusPoint.z = h;
  right = backC * cameraX - backS * cameraZ;
  depth = backS * cameraX + backC * cameraZ;
  heightTerm = focusPoint.z;
}

void TGolfView::AimAtPoint(const Vector3& target, int32_t angle) {
  const int32_t a = static_cast<int32_t>(AngleFromXY(focusPoint.x - target.x, focusPoint.y - target.y)) - angle;
  const float dx = focusPoint.x - target.x, dy = focusPoint.y - target.y, dz = focusPoint.z - target.z;
  const float r = std::sqrt(dx * dx + dy * dy + dz * dz);
  float s = 0.0f, c = 0.0f;
  SinCos(a, &s, &c);
  focusPoint.x = target.x + r * c;
  focusPoint.y = target.y + r * s;
  focusPoint.z = GetTerrainHeight(focusPoint.x, focusPoint.y);
  SetHeadingAngle(ViewHeadingToward(focusPoint, target));
  UpdateTransform();
}

void TGolfView::ResetScreenCentre() {
  centreX = static_cast<int32_t>(static_cast<uint32_t>(viewWidth) >> 1);
  centreY = static_cast<int32_t>(static_cast<float>(viewHeight) * 0.40333334f);
  centreXf = static_cast<float>(centreX);
  centreYf = static_cast<float>(centreY);
}

void TGolfView::SetScreenCentre(int32_t x, int32_t y) {
  centreX = x;
  centreY = y;
  centreXf = static_cast<float>(x);
  centreYf = static_cast<float>(y);
}

void TGolfView::SetSideOffset(float value) {
  if (value == RandomOffsetMarker) value = -1.5f + (3.0f / 255.0f) * static_cast<float>(RandomNextByte());
  sideOffset = value;
}

void TGolfView::SetBackOffset(float value) {
  if (value == RandomOffsetMarker) value = -7.0f + (7.0f / 255.0f) * static_cast<float>(RandomNextByte());
  backOffset = value;
}

void TGolfView::SetOffsets(float side, float back) {
  if (side == RandomOffsetMarker && back == RandomOffsetMarker) {
    side = -1.5f + (3.0f / 255.0f) * static_cast<float>(RandomTable[RandomUp]);
    back = -7.0f + (7.0f / 255.0f) * static_cast<float>(RandomTable[static_cast<uint8_t>(RandomUp + 1)]);
    RandomUp = static_cast<uint8_t>(RandomUp + 2);
  }
  sideOffset = side;
  backOffset = back;
}

void TGolfView::SetProjectionScale(float scale, int kind) {
  projectionScale = scale;
  if (kind == 2) return;
  AdaptDetailToFrameRate(kind != 0);
  projectionKind = kind;
  const bool hardware = gRenderStart.hardwareActive != 0;
  const float divisor = hardware && viewWidth == Facts().screenWidth ? 32.0f : 24.0f;
  const int32_t scaled = ToFixed(scale);
  int32_t near = static_cast<int32_t>(static_cast<float>(scaled) / divisor);
  int32_t distances[3] = {near, 2 * near, 4 * near};
  const int32_t level = TerrainDetail();
  if (hardware) {
    int64_t m = kDetailLevels[level].multiplier;
    if (viewWidth < Facts().screenWidth) {
      m *= 2;
    } else if (kind == 0 && gAdaptive.zoom != 1.0f) {
      m = std::lround(static_cast<double>(m) * gAdaptive.zoom);
    }
    if (kind != 0) m = static_cast<int64_t>((static_cast<float>(level) + 2.0f) * 0.5f * 65536.0f);
    for (int32_t& d : distances) {
      const int64_t product = static_cast<int64_t>(d >> 16) * m;
      d = static_cast<int32_t>(((product + 0x8000) >> 16) << 16);
    }
  }
  const bool holeMinimums = HoleMinDetailDistance[0] || HoleMinDetailDistance[1] || HoleMinDetailDistance[2];
  for (int i = 0; i < 3; ++i) {
    const int32_t minimum = holeMinimums && (kind != 0 || level >= 3) ? HoleMinDetailDistance[i]
                                                                      : ToFixed(kDetailLevels[level].minimum[i]);
    if (distances[i] < minimum) distances[i] = minimum;
    detailDistance[i] = distances[i];
  }
  baseDetailDistance =
      kind != 0 && holeMinimums ? detailDistance[0] : static_cast<int32_t>(static_cast<float>(scaled) / 24.0f);
}

void TGolfView::SetViewport(const int32_t rect[4], const int32_t* scaleToWidth, int preset, int kind) {
  preset = preset < 0 ? 0 : (preset > 2 ? 2 : preset);
  eyeHeightOffset = PresetEyeHeight[preset];
  viewLeft = rect[0];
  viewTop = rect[1];
  viewWidth = rect[2] - rect[0];
  viewHeight = rect[3] - rect[1];
  ResetScreenCentre();
  int32_t index = Facts().sizeSetting;
  index = index < 0 ? 0 : (index > 4 ? 4 : index);
  float scale = ProjectionScaleByResolution[index];
  if (scaleToWidth && *scaleToWidth && Facts().screenWidth > 0)
    scale = static_cast<float>(viewWidth) * scale / static_cast<float>(Facts().screenWidth);
  SetProjectionScale(scale, kind);
  lookDistance = PresetLookDistance[preset] * 0.5f * 3.0f;
  halfFieldOfView = static_cast<float>(fixatan2(viewWidth, static_cast<int32_t>(std::lround(2.0f * projectionScale)))) *
                    360.0f / 65536.0f;
  farDistanceFixed = 500 << 16;
  farDistance = 500.0f;
  minObjectHeight = 1;
}

void InitDepthBands() {
  static const float kBands[4][2] = {
      {0.998964f, 0.999764f}, {0.5005f, 0.996f}, {0.498964f, 0.499764f}, {0.0105f, 0.496f}};
  for (int i = 0; i < 4; ++i) {
    DepthBand& b = DepthBands[i];
    b.near = kBands[i][0];
    b.far = kBands[i][1];
    b.range = b.far - b.near;
    b.nearInt = static_cast<int32_t>(std::lround(static_cast<double>(b.near) * 65536.0));
    b.farInt = static_cast<int32_t>(std::lround(static_cast<double>(b.far) * 65536.0));
    b.rangeInt = b.farInt - b.nearInt;
  }
}

float DepthFractionForDistance(float d, int mode, float* reciprocal) {
  float t = d / 1000.0f;
  if (d <= 0.001f) t = 0.0f;
  else if (d > 1000.0f) t = 1.0f;
  const DepthBand& band = DepthBands[mode == 0 || mode == 2 ? 2 : 3];
  float f = band.near + t * band.range;
  if (reciprocal) *reciprocal = f == 0.0f ? 10000000.0f : 1.0f / (f * 65535.0f);
  if (gRenderStart.detectedCardKind == 9) f *= 0.5f;
  return f;
}

uint16_t DepthValueForDistance(float d, int mode) {
  const float f = DepthFractionForDistance(d - 0.75f, mode);
  uint32_t v = static_cast<uint32_t>(static_cast<int64_t>((f - 0.000018f) * 65535.0f));
  if (mode < 2) v |= 0x8000u;
  if (DepthOverride) v &= ~1u;
  return static_cast<uint16_t>(v);
}
