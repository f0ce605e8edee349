#include "scene/skydome.h"

#include <algorithm>
#include <cmath>

#include "course/angle.h"
#include "course/holedata.h"
#include "course/scenedata.h"
#include "course/terrain.h"
#include "framework/core/services.h"
#include "platformlib/gfx/fixtrig.h"
#include "scene/holedraw.h"
#include "scene/horizon.h"
#include "scene/render3d.h"

namespace {

std::unique_ptr<SkyCylinder> gTop, gBottom, gHorizonBand;

constexpr float kFar = 300.0f, kNear = 290.0f;

void SinCos(int32_t angle, float* s, float* c) {
  int32_t si = 0, co = 0;
  fixsincos(angle & 0xFFFF, &si, &co);
  *s = static_cast<float>(si) / 65536.0f;
  *c = static_cast<float>(co) / 65536.0f;
}

int32_t Wrap(int64_t a) { return static_cast<int32_t>(((a % 65536) + 65536) % 65536); }

// Outcode of a screen point against the rectangle: 1 right, 2 left, 4 below, 8 above.
int Outcode(float x, float y, const int32_t r[4]) {
  return (x > static_cast<float>(r[2]) ? 1 : 0) | (x < static_cast<float>(r[0]) ? 2 : 0) |
         (y > static_cast<float>(r[3]) ? 4 : 0) | (y < static_cast<float>(r[1]) ? 8 : 0);
}

int16_t Clamp16(float v) { return static_cast<int16_t>(std::clamp(v, -16000.0f, 16000.0f)); }

std::array<uint16_t, 256> CoursePalette565() {
  std::array<uint16_t, 256> p{};
  const CourseSceneData& course = CurrentCourseScene();
  for (size_t i = 0; i < 256; ++i) p[i] = To565(course.palette[i]);
  return p;
}

// The image of a sky panel (`second`: the second part of a horizon piece).
const CourseImage* BandImage(SkyBand band, size_t index, bool second) {
  const CourseSceneData& course = CurrentCourseScene();
  if (band == SkyBand::Horizon) {
    const HorizonPanel& p = course.horizon[index];
    return second ? &p.second : &p.image;
  }
  const std::vector<SkyImage>& images = band == SkyBand::Top ? course.skyTop : course.skyBottom;
  return &images[index].image;
}

}  // namespace

float SkyProjectionScale(float viewScale, int32_t viewWidth, int32_t screenWidth, int sizeSetting) {
  float t = ProjectionScaleByResolution[std::clamp(sizeSetting, 0, 4)], k = 20.0f;
  if (screenWidth > 0 && viewWidth != screenWidth) {
    const float f = static_cast<float>(viewWidth) / static_cast<float>(screenWidth);
    t *= f;
    k = std::max(1.0f, k * f);
  }
  return (viewScale - t) / k + t;
}

int SkyCylinder::Init(int32_t w) {
  const CourseSceneData& course = CurrentCourseScene();
  panels_.clear();
  const size_t topImages = course.skyTop.size();
  if (band_ == SkyBand::Horizon) {
    for (int k = 0; k < std::min(course.horizonCount, kHorizonPanels); ++k) {
      const HorizonPanel& h = course.horizon[static_cast<size_t>(k)];
      if (!h.image.present()) continue;
      panels_.push_back({BandImage(band_, static_cast<size_t>(k), false), 0, 0, 0, k, false, {}, {}, {}, {}, false});
      if (h.second.present())
        panels_.push_back({BandImage(band_, static_cast<size_t>(k), true), 0, 0, 0, k, true, {}, {}, {}, {}, false});
    }
    for (size_t i = 0; i < panels_.size(); ++i) panels_[i].textureId = 50 + static_cast<int32_t>(i);
  } else {
    const std::vector<SkyImage>& images = band_ == SkyBand::Top ? course.skyTop : course.skyBottom;
    if (images.empty() || topImages == 0) return 2;
    size_t count = static_cast<size_t>(std::max(0, w) / 256);
    count = (count + topImages - 1) / topImages * topImages;
    if (count == 0) count = topImages;
    for (size_t i = 0; i < count; ++i) {
      const size_t image = i % images.size();
      const int32_t index = static_cast<int32_t>(band_ == SkyBand::Top ? image : topImages + image);
      panels_.push_back({&images[image].image, 0, 0, 74 + index, index, false, {}, {}, {}, {}, false});
    }
  }
  totalWidth_ = 0;
  for (const SkyPanel& p : panels_) totalWidth_ += p.image->width();
  if (panels_.empty() || totalWidth_ <= 0) {
    panels_.clear();
    return 2;
  }
  // Angles in proportion to the images' widths, turned so that the first panel starts at 0.
  int64_t sum = 0;
  for (SkyPanel& p : panels_) {
    p.start = static_cast<int32_t>(sum * 65536 / totalWidth_);
    sum += p.image->width();
    p.end = static_cast<int32_t>(sum * 65536 / totalWidth_);
  }
  const int32_t turn = panels_[0].start;
  for (SkyPanel& p : panels_) p.start = Wrap(p.start - turn), p.end = Wrap(p.end - turn);
  const TerrainGrid& g = CurrentTerrain();
  const float R = static_cast<float>(std::max(g.width, g.depth));
  switch (band_) {
    case SkyBand::Top: SetEdges(8194, 12744, R + kNear, R + kFar); break;
    case SkyBand::Bottom: SetEdges(12744, 16384, R + kFar, R + kFar); break;
    case SkyBand::Horizon: SetEdges(14564, 16384, R + kFar, R + kFar); break;
  }
  return 0;
}

void SkyCylinder::SetEdges(float upperAngle, float lowerAngle, float upperDistance, float lowerDistance) {
  upperDistance_ = upperDistance;
  lowerDistance_ = lowerDistance;
  lowerAngle_ = lowerAngle;
  SinCos(static_cast<int32_t>(std::lround(lowerAngle)), &lowerSin_, &lowerCos_);
  lowerRadius_ = lowerDistance * lowerSin_;
  upperAngle_ = upperAngle;
  SinCos(static_cast<int32_t>(std::lround(upperAngle)), &upperSin_, &upperCos_);
  upperRadius_ = upperDistance * upperSin_;
}

int SkyCylinder::FindPanelAtAngle(int32_t angle) const {
  for (size_t i = 0; i < panels_.size(); ++i) {
    const SkyPanel& p = panels_[i];
    if (p.start <= p.end ? (angle >= p.start && angle < p.end) : (angle >= p.start || angle < p.end))
      return static_cast<int>(i);
  }
  return 0;
}

void SkyCylinder::RingPointsAtAngle(int32_t angle, Vector3* upper, Vector3* lower) const {
  float s = 0, c = 0;
  SinCos(Wrap(-static_cast<int64_t>(angle) - 16384), &s, &c);
  *upper = {upperRadius_ * c, upperRadius_ * s, upperDistance_ * upperCos_};
  *lower = {lowerRadius_ * c, lowerRadius_ * s, lowerDistance_ * lowerCos_};
}

void SkyCylinder::SetHorizonUpperEdge(float depth) {
  const float v = std::min(depth / 6.0f + 100.0f, 1500.0f);
  SetEdges(static_cast<float>(16384 - AngleFromXY(100.0f, v)), lowerAngle_, upperDistance_, lowerDistance_);
}

void SkyCylinder::ProjectPanelStart(int index, const TGolfView& view) {
  SkyPanel& p = panels_[static_cast<size_t>(index)];
  Vector3 upper, lower;
  RingPointsAtAngle(p.start, &upper, &lower);
  view.ProjectToScreenFloat(upper, &p.upper);
  view.ProjectToScreenFloat(lower, &p.lower);
  if (reflected) Mirror(view, upper, lower, p.lower, &p.mirrorUpper, &p.mirrorLower);
  p.projected = true;
}

void SkyCylinder::Mirror(const TGolfView& view, Vector3 upper, Vector3 lower, const ScreenPointF& direct,
                         ScreenPointF* mirrorUpper, ScreenPointF* mirrorLower) const {
  upper.z = waterLevel - upper.z;
  lower.z = waterLevel - lower.z;
  view.ProjectToScreenFloat(lower, mirrorLower);
  view.ProjectToScreenFloat(upper, mirrorUpper);
  // The reflection never rises above what it reflects; the upper point moves down with it.
  if (mirrorLower->y < direct.y) {
    mirrorUpper->y += direct.y - mirrorLower->y;
    mirrorLower->y = direct.y;
  }
}

void SkyCylinder::SearchVisible(int k, const TGolfView& view, const int32_t rect[4]) {
  const int n = static_cast<int>(panels_.size());
  const float left = static_cast<float>(rect[0]), right = static_cast<float>(rect[2]);
  ProjectPanelStart(k, view);
  int first = k;
  for (;;) {
    const SkyPanel& p = panels_[static_cast<size_t>(first)];
    if (p.upper.x < left && p.lower.x < left) break;
    const int previous = first == 0 ? n - 1 : first - 1;
    if (previous == k) break;
    first = previous;
    ProjectPanelStart(first, view);
  }
  int end = k;
  for (;;) {
    end = end + 1 == n ? 0 : end + 1;
    if (end == first) break;
    ProjectPanelStart(end, view);
    const SkyPanel& p = panels_[static_cast<size_t>(end)];
    if (p.upper.x > right && p.lower.x > right) break;
  }
  first_ = first;
  end_ = end;
}

void SkyCylinder::UpdateVisiblePanels(const TGolfView& view, const int32_t rect[4]) {
  for (SkyPanel& p : panels_) p.projected = false, p.upper = p.lower = p.mirrorUpper = p.mirrorLower = {};
  if (panels_.empty()) return;
  if (band_ == SkyBand::Horizon) {
    LayOutHorizon(view, rect);
    return;
  }
  SearchVisible(FindPanelAtAngle(view.heading & 0xFFFF), view, rect);
}

void SkyCylinder::LayOutHorizon(const TGolfView& view, const int32_t rect[4]) {
  const int n = static_cast<int>(panels_.size());
  const int32_t h = view.heading & 0xFFFF;
  Vector3 upper, lower;
  RingPointsAtAngle(h, &upper, &lower);
  ScreenPointF L, U;
  view.ProjectToScreenFloat(lower, &L);
  SetHorizonUpperEdge(L.Z);
  RingPointsAtAngle(h, &upper, &lower);
  view.ProjectToScreenFloat(lower, &L);
  view.ProjectToScreenFloat(upper, &U);
  ScreenPointF ML, MU;
  if (reflected) Mirror(view, upper, lower, L, &MU, &ML);
  const float scale = (L.y - U.y) / 256.0f;
  // The band is as tall as the tallest horizon image at that scale, so the images keep their shape.
  const int32_t tallest = CurrentCourseScene().tallestHorizon;
  if (tallest > 0 && tallest < 256) {
    const float e = (L.y - U.y) * static_cast<float>(tallest) / 256.0f;
    U.y = L.y - e;
    MU.y = ML.y + e;
  }
  const int k = FindPanelAtAngle(h);
  auto place = [&](int index, float xUpper, float xLower) {
    SkyPanel& p = panels_[static_cast<size_t>(index)];
    p.upper = {xUpper, U.y, U.Z};
    p.lower = {xLower, L.y, L.Z};
    if (reflected) p.mirrorUpper = {xUpper, MU.y, U.Z}, p.mirrorLower = {xLower, ML.y, L.Z};
    p.projected = true;
  };
  const SkyPanel& pk = panels_[static_cast<size_t>(k)];
  const float span = static_cast<float>(Wrap(pk.end - pk.start) ? Wrap(pk.end - pk.start) : 65536);
  const float fromStart = static_cast<float>(Wrap(h - pk.start)), toEnd = static_cast<float>(Wrap(pk.end - h));
  const float widthK = static_cast<float>(pk.image->width()) * scale;
  place(k, U.x - fromStart * widthK / span, L.x - fromStart * widthK / span);
  const float left = static_cast<float>(rect[0]), right = static_cast<float>(rect[2]);
  int first = k;
  for (;;) {
    const SkyPanel& p = panels_[static_cast<size_t>(first)];
    if (p.upper.x < left && p.lower.x < left) break;
    const int previous = first == 0 ? n - 1 : first - 1;
    if (previous == k) break;
    const float w = static_cast<float>(panels_[static_cast<size_t>(previous)].image->width()) * scale;
    place(previous, p.upper.x - w, p.lower.x - w);
    first = previous;
  }
  float xu = U.x + toEnd * widthK / span, xl = L.x + toEnd * widthK / span;
  int end = k;
  for (;;) {
    end = end + 1 == n ? 0 : end + 1;
    if (end == first) break;
    place(end, xu, xl);
    const float w = static_cast<float>(panels_[static_cast<size_t>(end)].image->width()) * scale;
    xu += w, xl += w;
    const SkyPanel& p = panels_[static_cast<size_t>(end)];
    if (p.upper.x > right && p.lower.x > right) break;
  }
  first_ = first;
  end_ = end;
}

void SkyCylinder::DrawPanelsSoftware(const Surface16& s, Surface16* waterMask, const int32_t rect[4]) const {
  if (panels_.empty()) return;
  const CourseSceneData& course = CurrentCourseScene();
  const HoleSceneHeader& header = CurrentHoleScene().header;
  static thread_local std::array<uint16_t, 256> palette;
  palette = CoursePalette565();
  const int n = static_cast<int>(panels_.size());
  bool firstDrawn = true;
  for (int i = first_; i != end_; i = i + 1 == n ? 0 : i + 1) {
    const int next = i + 1 == n ? 0 : i + 1;
    const SkyPanel& a = panels_[static_cast<size_t>(i)];
    const SkyPanel& b = panels_[static_cast<size_t>(next)];
    if (!a.projected || !b.projected) continue;
    const TriVertex p[4] = {{Clamp16(a.upper.x), Clamp16(a.upper.y + skyOffset)},
                            {Clamp16(b.upper.x), Clamp16(b.upper.y + skyOffset)},
                            {Clamp16(b.lower.x), Clamp16(b.lower.y + skyOffset)},
                            {Clamp16(a.lower.x), Clamp16(a.lower.y + skyOffset)}};
    int outcode[4], all = 0xF;
    for (int k = 0; k < 4; ++k) all &= outcode[k] = Outcode(p[k].x, p[k].y, rect);
    if (band_ == SkyBand::Horizon) {
      // The ground below the panel, in its surface's texture and shade; water marked in the mask.
      const HorizonPanel& piece = course.horizon[static_cast<size_t>(a.imageIndex)];
      const uint8_t surface = piece.surface ? piece.surface : static_cast<uint8_t>(header.defaultSurface);
      const int shade = piece.surface ? piece.shade : header.defaultShade;
      const int32_t left = std::max<int32_t>(std::min(p[3].x, p[2].x), rect[0]);
      const int32_t right = std::min<int32_t>(std::max(p[3].x, p[2].x), rect[2]);
      const int32_t top = std::max<int32_t>(std::min(p[3].y, p[2].y), rect[1]);
      const TerrainTexture& t = course.textures[static_cast<size_t>(surface >> 4)];
      const std::array<uint16_t, 256>& light = course.LightTable(shade);
      for (int32_t y = top; y < rect[3] && right > left; ++y) {
        uint16_t* row = s.pixels + static_cast<size_t>(y) * s.pitch;
        const uint8_t* texels = t.image.present() ? t.image.pixels() + (y & 63) * 64 : nullptr;
        for (int32_t x = left; x < right; ++x) row[x] = texels ? light[texels[x & 63]] : light[0];
        if (waterMask && IsWaterSurface(surface))
          std::fill(waterMask->pixels + static_cast<size_t>(y) * waterMask->pitch + left,
                    waterMask->pixels + static_cast<size_t>(y) * waterMask->pitch + right, static_cast<uint16_t>(0xFFFF));
      }
    }
    const CourseImage& image = *a.image;
    const int32_t w = image.width(), h = image.height();
    const Texture8 t{image.pixels(), w, h};
    const int32_t u[4] = {0, (w - 1) << 16, (w - 1) << 16, 0}, v[4] = {0, 0, (h - 1) << 16, (h - 1) << 16};
    Surface16 clipped = s;
    clipped.clipLeft = std::max(s.clipLeft, rect[0]), clipped.clipTop = std::max(s.clipTop, rect[1]);
    clipped.clipRight = std::min(s.clipRight, rect[2]), clipped.clipBottom = std::min(s.clipBottom, rect[3]);
    if (all == 0) {
      const TriVertex t1[3] = {p[0], p[1], p[2]}, t2[3] = {p[0], p[2], p[3]};
      const int32_t u1[3] = {u[0], u[1], u[2]}, v1[3] = {v[0], v[1], v[2]};
      const int32_t u2[3] = {u[0], u[2], u[3]}, v2[3] = {v[0], v[2], v[3]};
      const int mode = band_ == SkyBand::Horizon ? 2 : 0;
      MapTriangle16(clipped, t1, t, u1, v1, palette.data(), mode);
      MapTriangle16(clipped, t2, t, u2, v2, palette.data(), mode);
    }
    if (band_ == SkyBand::Top) DrawCapSoftware(clipped, a, p, outcode, rect, firstDrawn);
    firstDrawn = false;
  }
}

// The zenith above the top band: each panel's image mirrored upward, stretched to the rectangle's top.
void SkyCylinder::DrawCapSoftware(const Surface16& s, const SkyPanel& panel, const TriVertex p[4], const int outcode[4],
                                  const int32_t rect[4], bool firstDrawn) const {
  if ((outcode[0] & outcode[1] & 8) || (outcode[0] & outcode[3] & 1) || (outcode[1] & outcode[2] & 2)) return;
  TriVertex q[4];
  q[3] = p[0];
  if (firstDrawn) q[3].x = static_cast<int16_t>(std::min<int32_t>(p[0].x, rect[0]));
  q[2] = p[1];
  q[0] = {q[3].x, static_cast<int16_t>(std::min<int32_t>(p[0].y - (p[3].y - p[0].y), rect[1]))};
  q[1] = {q[2].x, static_cast<int16_t>(std::min<int32_t>(p[1].y - (p[2].y - p[1].y), rect[1]))};
  const CourseImage& image = *panel.image;
  const int32_t w = image.width(), h = image.height();
  const Texture8 t{image.pixels(), w, h};
  const int32_t u[4] = {0, (w - 1) << 16, (w - 1) << 16, 0}, v[4] = {(h - 1) << 16, (h - 1) << 16, 0, 0};
  const std::array<uint16_t, 256> palette = CoursePalette565();
  const TriVertex t1[3] = {q[0], q[1], q[2]}, t2[3] = {q[0], q[2], q[3]};
  const int32_t u1[3] = {u[0], u[1], u[2]}, v1[3] = {v[0], v[1], v[2]};
  const int32_t u2[3] = {u[0], u[2], u[3]}, v2[3] = {v[0], v[2], v[3]};
  MapTriangle16(s, t1, t, u1, v1, palette.data(), 0);
  MapTriangle16(s, t2, t, u2, v2, palette.data(), 0);
}

int BuildSkyDome() {
  FreeSkyDome();
  const CourseSceneData& course = CurrentCourseScene();
  if (!course.skyDome) return 0;
  const int32_t w = (Facts().screenWidth - 640) * 7 / 2 + 4480;
  try {
    auto make = [](SkyBand band, int32_t width) {
      auto c = std::make_unique<SkyCylinder>(band);
      return c->Init(width) == 0 ? std::move(c) : nullptr;
    };
    gHorizonBand = make(SkyBand::Horizon, 0);
    gTop = make(SkyBand::Top, w);
    gBottom = make(SkyBand::Bottom, w);
  } catch (const std::bad_alloc&) {
    return 2;
  }
  return 0;
}

void FreeSkyDome() {
  gTop.reset();
  gBottom.reset();
  gHorizonBand.reset();
}

bool SkyDomeBuilt() { return gTop || gBottom || gHorizonBand; }

const SkyCylinder* SkyDomeBand(SkyBand band) {
  return band == SkyBand::Top ? gTop.get() : band == SkyBand::Bottom ? gBottom.get() : gHorizonBand.get();
}

void PlaceSkyDome(TGolfView& view, int32_t horizonRow, const int32_t* waterRow, float waterLevel) {
  const int32_t rect[4] = {view.viewLeft, view.viewTop, view.viewLeft + view.viewWidth, view.viewTop + view.viewHeight};
  const float saved = view.projectionScale;
  // Setting a scale resets the adaptive detail; the sky's passing scale must not.
  const AdaptiveDetail adaptive = gAdaptive;
  const int32_t screenWidth = Facts().screenWidth > 0 ? Facts().screenWidth : view.viewWidth;
  view.SetProjectionScale(SkyProjectionScale(saved, view.viewWidth, screenWidth, Facts().sizeSetting), 1);
  // The lower ring at the view's heading lands on the horizon row plus the hole's lift, whatever the camera height.
  float offset = 0.0f, waterOffset = 0.0f;
  {
    const TerrainGrid& g = CurrentTerrain();
    const float R = static_cast<float>(std::max(g.width, g.depth));
    const SkyCylinder* bottom = gBottom.get();
    Vector3 upper, lower;
    if (bottom) bottom->RingPointsAtAngle(view.heading & 0xFFFF, &upper, &lower);
    else {
      float si = 0, co = 0;
      SinCos(Wrap(-static_cast<int64_t>(view.heading & 0xFFFF) - 16384), &si, &co);
      lower = {(R + kFar) * co, (R + kFar) * si, 0.0f};
    }
    ScreenPointF L;
    view.ProjectToScreenFloat(lower, &L);
    const float lift = static_cast<float>(CurrentHoleScene().header.horizonHeight) / 65536.0f *
                       (static_cast<float>(view.viewWidth) / static_cast<float>(screenWidth)) * 3.0f;
    offset = static_cast<float>(horizonRow) + lift - L.y;
    if (IsViewBlendOn()) {
      AddViewBlendSample(offset);
      offset = ViewBlendAverage();
    }
    waterOffset = waterRow ? static_cast<float>(*waterRow) - L.y : 0.0f;
  }
  for (SkyCylinder* band : {gBottom.get(), gTop.get(), gHorizonBand.get()}) {
    if (!band) continue;
    band->skyOffset = offset;
    band->waterSkyOffset = waterOffset;
    band->reflected = waterRow != nullptr;
    band->waterLevel = waterLevel;
    band->UpdateVisiblePanels(view, rect);
  }
  view.SetProjectionScale(saved, 1);
  gAdaptive = adaptive;
}

void DrawSkyDome(TGolfView& view, const Surface16& s, const Surface16* waterMask, int32_t horizonRow) {
  const int32_t rect[4] = {view.viewLeft, view.viewTop, view.viewLeft + view.viewWidth, view.viewTop + view.viewHeight};
  PlaceSkyDome(view, horizonRow);
  Surface16* mask = const_cast<Surface16*>(waterMask);
  for (SkyCylinder* band : {gBottom.get(), gTop.get(), gHorizonBand.get()})
    if (band) band->DrawPanelsSoftware(s, mask, rect);
}
