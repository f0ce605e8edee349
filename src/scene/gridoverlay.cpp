#include "scene/gridoverlay.h"

#include <algorithm>
#include <cmath>

#include "course/courseload.h"
#include "course/scenedata.h"
#include "course/terrain.h"
#include "framework/core/services.h"
#include "golf/ballflight.h"
#include "golf/gridmode.h"
#include "golf/launch.h"
#include "golf/playerinfo.h"
#include "scene/holedraw.h"

namespace {

constexpr float kNearLimit = 0.25f;  // grid lines are cut where they come nearer the eye than this
// The software picture keeps one depth per block (its centre's), so the ground under a grid line may lie up to about
// a block's half-diagonal nearer than the line: lines are tested as if that much nearer (in both paths).
constexpr float kDepthSlack = 2.0f;
constexpr Vector3 kSeparator{-1.0f, -1.0f, -1.0f};

// One overlay call's drawing state.
struct GridDrawState {
  GridPictures pictures;
  int32_t clip[4] = {0, 0, 0, 0};  // left, top, right, bottom (exclusive)
  bool firstPass = false, heightColours = false, highlight = false;
  float lowest = 1000000.0f, highest = -1000000.0f;
  uint16_t colour = 0;
};
GridDrawState gState;

TBreakLineCache gBreakLines;

bool IsSeparator(const Vector3& p) { return p.x == -1.0f && p.y == -1.0f && p.z == -1.0f; }

void PlotGridPixel(int32_t x, int32_t y, uint16_t depth) {
  const GridDrawState& s = gState;
  if (x < s.clip[0] || x >= s.clip[2] || y < s.clip[1] || y >= s.clip[3]) return;
  if (s.pictures.depth.pixels[static_cast<size_t>(y) * s.pictures.depth.pitch + x] < depth) return;
  uint16_t& pixel = s.pictures.picture.pixels[static_cast<size_t>(y) * s.pictures.picture.pitch + x];
  if (s.heightColours) {
    pixel = static_cast<uint16_t>(s.colour - ((s.colour & 0xE79C) >> 2) + ((pixel & 0xE79C) >> 2));
  } else {
    pixel = static_cast<uint16_t>(pixel - ((pixel & 0xE79C) >> 2));
    if (s.highlight) pixel |= 0x10;
  }
}

// A screen line, one pixel a step along its longer axis, its depth value going from one end's to the other's. Only
// the part inside the clip rectangle is walked.
void DrawGridLine(float x0, float y0, uint16_t d0, float x1, float y1, uint16_t d1) {
  const GridDrawState& s = gState;
  // The parameter range inside the clip rectangle (Liang-Barsky).
  float t0 = 0.0f, t1 = 1.0f;
  const float dx = x1 - x0, dy = y1 - y0;
  const float p[4] = {-dx, dx, -dy, dy};
  const float q[4] = {x0 - static_cast<float>(s.clip[0]), static_cast<float>(s.clip[2] - 1) - x0,
                      y0 - static_cast<float>(s.clip[1]), static_cast<float>(s.clip[3] - 1) - y0};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0.0f) {
      if (q[i] < 0.0f) return;
      continue;
    }
    const float r = q[i] / p[i];
    if (p[i] < 0.0f) t0 = std::max(t0, r);
    else t1 = std::min(t1, r);
  }
  if (t0 > t1) return;
  const float length = std::max(std::fabs(dx), std::fabs(dy));
  const int steps = static_cast<int>(std::lround(length * (t1 - t0)));
  for (int i = 0; i <= steps; ++i) {
    const float t = steps == 0 ? t0 : t0 + (t1 - t0) * static_cast<float>(i) / static_cast<float>(steps);
    const float d = static_cast<float>(d0) + (static_cast<float>(d1) - static_cast<float>(d0)) * t;
    PlotGridPixel(static_cast<int32_t>(std::lround(x0 + dx * t)), static_cast<int32_t>(std::lround(y0 + dy * t)),
                  static_cast<uint16_t>(d));
  }
}

// Two ground points (heights already looked up) drawn as a line: cut at the near limit, projected, depth tested.
void DrawGroundLine(const TGolfView& view, const Vector3& a, const Vector3& b) {
  ViewPoint qa = view.WorldToCamera(a), qb = view.WorldToCamera(b);
  if (qa.Z < kNearLimit && qb.Z < kNearLimit) return;
  auto cut = [](ViewPoint& near, const ViewPoint& far) {
    const float t = (kNearLimit - near.Z) / (far.Z - near.Z);
    near = {near.X + (far.X - near.X) * t, near.Y + (far.Y - near.Y) * t, kNearLimit};
  };
  if (qa.Z < kNearLimit) cut(qa, qb);
  if (qb.Z < kNearLimit) cut(qb, qa);
  const ViewPoint pa = view.Perspective(qa), pb = view.Perspective(qb);
  DrawGridLine(view.centreXf + pa.X + static_cast<float>(view.viewLeft), view.centreYf - pa.Y + static_cast<float>(view.viewTop),
               GridDepthValue(qa.Z), view.centreXf + pb.X + static_cast<float>(view.viewLeft),
               view.centreYf - pb.Y + static_cast<float>(view.viewTop), GridDepthValue(qb.Z));
}

bool IsGridExcluded(const Vector3& p) {
  const uint8_t surface = GetCellSurface(p.x, p.y);
  const uint8_t excluded = CurrentCourseScene().noGridSurface;
  return surface == kSurfaceWater || (excluded != 0 && surface == excluded);
}

void DrawGridSegment(const TGolfView& view, Vector3 from, Vector3 to) {
  if (IsGridExcluded(from) || IsGridExcluded(to)) return;
  from.z = GetTerrainHeight(from.x, from.y);
  to.z = GetTerrainHeight(to.x, to.y);
  GridDrawState& s = gState;
  if (s.firstPass) {
    s.lowest = std::min({s.lowest, from.z, to.z});
    s.highest = std::max({s.highest, from.z, to.z});
    return;
  }
  if (s.heightColours) s.colour = GridHeightColour((from.z + to.z) * 0.5f, s.lowest, s.highest);
  DrawGroundLine(view, from, to);
}

void DrawSegmentInside(const TGolfView& view, const Vector3& a, const Vector3& b) {
  if (IsOutsideHoleBounds(a) && IsOutsideHoleBounds(b)) return;
  DrawGridSegment(view, a, b);
}

// Runs a grid drawing once, or twice with height colours: heights gathered first, then drawn coloured about their
// mean.
template <typename Draw>
void RunGrid(bool heightColours, Draw draw) {
  GridDrawState& s = gState;
  if (heightColours) {
    s.firstPass = true;
    draw();
    s.firstPass = false;
    s.heightColours = true;
  }
  draw();
}

void DrawSquareGrid(const TGolfView& view, float distance, bool far, bool heightColours) {
  const int rows = SquareGridRows(distance, far);
  const Vector3 anchor{view.cameraX, view.cameraZ, 0.0f};
  // Half a unit along the line of view and half a unit across it.
  const Vector3 rowStep{-view.backS * 0.5f, -view.backC * 0.5f, 0.0f};
  const Vector3 columnStep{-view.backC * 0.5f, view.backS * 0.5f, 0.0f};
  auto point = [&](int row, int column) {
    // Far grids space their rows after the 30th two steps apart.
    const float along = static_cast<float>(row <= 30 ? row : 30 + 2 * (row - 30)) - 2.0f;
    const float across = static_cast<float>(column) - 6.0f;
    return Vector3{anchor.x + rowStep.x * along + columnStep.x * across,
                   anchor.y + rowStep.y * along + columnStep.y * across, 0.0f};
  };
  RunGrid(heightColours, [&] {
    for (int r = 0; r < rows; ++r) {
      for (int c = 0; c < 12; ++c) {
        DrawSegmentInside(view, point(r, c), point(r, c + 1));
        DrawSegmentInside(view, point(r, c), point(r + 1, c));
      }
      DrawSegmentInside(view, point(r, 12), point(r + 1, 12));
    }
    for (int c = 0; c < 12; ++c) DrawSegmentInside(view, point(rows, c), point(rows, c + 1));
  });
}

bool PinCentre(Vector3* centre) {
  if (!PinGroundPoint(centre)) return false;
  centre->x -= 0.5f;
  centre->y += 0.5f;
  return true;
}

void DrawCircularGrid(const TGolfView& view) {
  Vector3 centre;
  if (!PinCentre(&centre)) return;
  constexpr int kSpokes = 24, kRadii = 8;
  auto point = [&](int spoke, int radius) {
    const float a = static_cast<float>(spoke) * (15.0f * 3.14159265f / 180.0f);
    return Vector3{centre.x + std::sin(a) * static_cast<float>(radius),
                   centre.y + std::cos(a) * static_cast<float>(radius), 0.0f};
  };
  RunGrid(true, [&] {
    for (int spoke = 0; spoke < kSpokes; ++spoke) {
      const int previous = spoke == 0 ? kSpokes - 1 : spoke - 1;
      for (int r = 2; r <= kRadii; ++r) {
        if (IsOutsideHoleBounds(point(spoke, r - 1)) && IsOutsideHoleBounds(point(spoke, r))) continue;
        DrawGridSegment(view, point(spoke, r - 1), point(spoke, r));
        if (r == 2) DrawGridSegment(view, point(previous, 1), point(spoke, 1));
        DrawGridSegment(view, point(previous, r), point(spoke, r));
      }
    }
  });
}

}  // namespace

int SquareGridRows(float distance, bool far) {
  const int rows = far ? 58 : 29;
  const float reach = std::round(2.0f * distance) + 3.0f;
  return reach < static_cast<float>(rows) ? std::max(0, static_cast<int>(reach)) : rows;
}

uint16_t GridHeightColour(float height, float lowest, float highest) {
  const float mean = (lowest + highest) * 0.5f;
  const bool above = height > mean;
  const float span = std::fabs((above ? highest : lowest) - mean);
  // Flat ground has no span: every height is the mean.
  const float t = span > 0.0f ? std::fabs(height - mean) / span : 0.0f;
  const uint32_t v = static_cast<uint32_t>(std::min(31.0f, std::round(32.0f * t)));
  const uint32_t u = (v >> 2) | (v >> 3);
  if (above) return static_cast<uint16_t>((v << 11) | (u << 6) | u);
  return static_cast<uint16_t>((u << 11) | (u << 6) | v);
}

bool IsOutsideHoleBounds(const Vector3& p) {
  const TerrainGrid& g = CurrentTerrain();
  const float u = g.originX - p.x, v = p.y + g.originY;
  return g.width < 2 || g.depth < 2 || !(u >= 0.0f && v >= 0.0f && u <= static_cast<float>(g.width - 1) &&
                                         v <= static_cast<float>(g.depth - 1));
}

bool PinGroundPoint(Vector3* out) {
  const TerrainGrid& g = CurrentTerrain();
  const HoleSceneData& hole = CurrentHoleScene();
  if (g.width == 0) return false;
  const int holeIndex = hole.hole >= 1 && hole.hole <= kCourseHoles ? hole.hole - 1 : 0;
  const uint32_t pin = hole.header.pinVertex[static_cast<size_t>(holeIndex)];
  GridPointToWorld(static_cast<int32_t>(pin % g.width), static_cast<int32_t>(pin / g.width), out);
  return true;
}

uint16_t GridDepthValue(float z) {
  return SoftwareDepthValue(z - kDepthSlack, true);
}

void DrawGridOverlay(const TGolfView& view, const GridPictures& pictures, uint32_t mode, const Vector3& target,
                     const Vector3* aim, bool force) {
  if (!pictures.picture.pixels || !pictures.depth.pixels || mode == kGridOff) return;
  GridDrawState& s = gState;
  s = GridDrawState{};
  s.pictures = pictures;
  const Surface16& p = pictures.picture;
  s.clip[0] = std::max(p.clipLeft, view.viewLeft);
  s.clip[1] = std::max(p.clipTop, view.viewTop);
  s.clip[2] = std::min(p.clipRight, view.viewLeft + view.viewWidth);
  s.clip[3] = std::min(p.clipBottom, view.viewTop + view.viewHeight);
  if (s.clip[0] >= s.clip[2] || s.clip[1] >= s.clip[3]) return;
  switch (mode) {
    case kGridSquare:
    case kGridGradient: {
      const playerInfo_s* golfer = ActiveGolferRecord;
      if (!golfer) return;
      const Vector3& ball = golfer->ball.position;
      const float distance = std::sqrt((target.x - ball.x) * (target.x - ball.x) +
                                       (target.y - ball.y) * (target.y - ball.y) + (target.z - ball.z) * (target.z - ball.z));
      const uint8_t lie = static_cast<uint8_t>(GetTerrainSurface(ball.x, ball.y) >> 4);
      const bool onGreen = lie == 7 || lie == 11;
      const bool far = distance + 2.0f >= 15.0f && (onGreen || golfer->currentClub == kPutter);
      DrawSquareGrid(view, distance, far, mode == kGridGradient);
      break;
    }
    case kGridCircular: DrawCircularGrid(view); break;
    case kGridPuttingLines:
      gBreakLines.target = aim ? *aim : ShotAimPoint;
      gBreakLines.Draw(view, force);
      break;
    default: break;
  }
}

TBreakLineCache& BreakLineCache() { return gBreakLines; }
void FreeBreakLineBuffer() { gBreakLines.FreeBuffer(); }

void TBreakLineCache::Draw(const TGolfView& view, bool force) {
  Compute(force);
  if (!hasBuffer_) return;
  GridDrawState& s = gState;
  s.highlight = false;
  bool open = false;
  Vector3 last{};
  for (size_t i = 0; i < points_.size(); ++i) {
    s.highlight = static_cast<int>(i) >= centralStart_ && static_cast<int>(i) < centralEnd_;
    Vector3 p = points_[i];
    if (IsSeparator(p)) {
      open = false;
      continue;
    }
    p.z = GetTerrainHeight(p.x, p.y);
    if (open) DrawGroundLine(view, last, p);
    last = p;
    open = true;
  }
  s.highlight = false;
}

bool TBreakLineCache::NeedsUpdate() const {
  const playerInfo_s* golfer = ActiveGolferRecord;
  if (!hasBuffer_ || golfer != golfer_ || !golfer) return true;
  const Vector3& b = golfer->ball.position;
  return b.x != ball_.x || b.y != ball_.y || b.z != ball_.z;
}

bool TBreakLineCache::Prepare() {
  const playerInfo_s* golfer = ActiveGolferRecord;
  if (!golfer) return false;
  if (overflow_ != 0 || !hasBuffer_) {
    FreeBuffer();
    capacity_ = std::max(1, capacity_ + overflow_);
    points_.reserve(static_cast<size_t>(capacity_));
    hasBuffer_ = true;
  }
  golfer_ = golfer;
  ball_ = golfer->ball.position;
  points_.clear();
  overflow_ = 0;
  return true;
}

void TBreakLineCache::AddPoint(const Vector3& p) {
  if (IsOutsideHoleBounds(p)) return;
  if (static_cast<int>(points_.size()) >= capacity_) {
    ++overflow_;
    return;
  }
  if (!points_.empty()) {
    const Vector3& l = points_.back();
    if (std::fabs(p.x - l.x) < 0.0834f && std::fabs(p.y - l.y) < 0.0834f && std::fabs(p.z - l.z) < 0.0834f) return;
  }
  points_.push_back(IsSeparator(p) ? Vector3{p.x, p.y, -1.001f} : p);
}

bool TBreakLineCache::Compute(bool force) {
  for (;;) {
    if (!(force || NeedsUpdate()) || !Prepare()) return false;
    const playerInfo_s* golfer = golfer_;
    const Vector3 start = golfer->ball.position;
    const float dx = target.x - start.x, dy = target.y - start.y;
    const float d = std::sqrt(dx * dx + dy * dy);
    const float heading = d > 0.0f ? std::atan2(dx, dy) : 0.0f;
    float power = Svc().round->MeterPower();
    if (!(power > 0.0f) || !std::isfinite(power)) power = 1.0f;
    // Each putt ends by the longest shot's time: no ball rolls on for ever.
    const int maxSteps = static_cast<int>(kBallMaxShotSeconds / (4.0f * kStepSeconds)) + 1;
    {
      ShotValuesKept kept;
      // The trial putts go where they are aimed: no random aim deviation.
      const bool guide = GuideSwitch;
      GuideSwitch = true;
      for (int k = -4; k <= 4; ++k) {
        if (static_cast<int>(points_.size()) < capacity_) points_.push_back(kSeparator);
        else ++overflow_;
        if (k == 0) centralStart_ = static_cast<int>(points_.size());
        BallState ball;
        BallStateReset(&ball);
        BallStateCopy(&ball, &golfer->ball);
        AddPoint(ball.position);
        const float a = heading + 0.12217305f * static_cast<float>(k);
        ShotAimPoint = {start.x + d * std::sin(a), start.y + d * std::cos(a), target.z};
        BallLaunchTrial(&ball, power);
        BallFlightStart(&ball);
        for (int n = 0; n < maxSteps && BallIsMoving(&ball); ++n) {
          for (int step = 0; step < 4; ++step) BallStep(&ball, kStepSeconds);
          AddPoint(ball.position);
        }
        if (k == 0) centralEnd_ = static_cast<int>(points_.size());
      }
      GuideSwitch = guide;
    }
    if (overflow_ < 9) {
      const int spare = capacity_ - static_cast<int>(points_.size());
      overflow_ = static_cast<int>(points_.size()) > 180 && spare / 2 > 200 ? -(spare / 4) : 0;
      ++computations_;
      return true;
    }
    // Too much was cut: grow and compute again at once.
    golfer_ = nullptr;
    overflow_ += 20;
    force = true;
  }
}

void TBreakLineCache::FreeBuffer() {
  points_.clear();
  points_.shrink_to_fit();
  hasBuffer_ = false;
}
