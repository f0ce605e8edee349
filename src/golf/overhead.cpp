// The collision list of a live shot and the overhead view's game side.
#include "golf/overhead.h"

#include <algorithm>
#include <cmath>

#include "course/terrain.h"
#include "golf/game.h"

namespace {
std::vector<CollisionPoint>& list() {
  static std::vector<CollisionPoint> points;
  return points;
}
}  // namespace

void CollisionListClear() { list().clear(); }

bool CollisionListAdd(float x, float y, float z, int32_t value) {
  if (list().size() >= kCollisionListSize) return false;
  list().push_back(CollisionPoint{Vector3{x, y, z}, value});
  return true;
}

const std::vector<CollisionPoint>& CollisionList() { return list(); }

void CollisionListFromShot(const BallState& from, const BallState& rest, int club, bool teeShot) {
  CollisionListClear();
  // A divot from the fairway and the rough; not from the tee, the green, the fringe or with the putter.
  const uint8_t lie = static_cast<uint8_t>((from.lie & 0x0F) << 4);
  if (!teeShot && club != kPutter && (lie == 0x10 || lie == 0x30 || lie == 0x40))
    CollisionListAdd(from.position.x, from.position.y, from.position.z, 0);
  const int n = std::min<int>(rest.Flag(kBallFlagStepCount), kBallStepListSize);
  for (int i = 0; i < n; ++i) {
    const BallStepEntry& e = rest.stepList[i];
    if (e.key < 0) continue;
    CollisionListAdd(e.position.x, e.position.y, e.position.z, e.kind);
  }
}

bool TOverhead::Project(const Vector3& world, int32_t* x, int32_t* y) const {
  const TerrainGrid& g = CurrentTerrain();
  if (g.width == 0 || g.depth == 0 || width_ <= 0 || height_ <= 0) return false;
  // Grid column i = originX - x runs left to right, row j = y + originY from the bottom up.
  const float u = (g.originX - world.x) / static_cast<float>(g.width);
  const float v = (world.y + g.originY) / static_cast<float>(g.depth);
  if (!(u >= 0.0f && u < 1.0f && v >= 0.0f && v < 1.0f)) return false;
  if (x) *x = static_cast<int32_t>(u * static_cast<float>(width_));
  if (y) *y = height_ - 1 - static_cast<int32_t>(v * static_cast<float>(height_));
  return true;
}

std::vector<TOverhead::Mark> TOverhead::Marks(const TGame& game) const {
  std::vector<Mark> marks;
  for (int s = 0; game.players && s < TPlayerList::kSlots; ++s) {
    const TPlayer* p = game.players->GetPlayer(s);
    if (!p || !(p->flags & kGolferTakesPart) || (p->flags & kGolferOut) || p->holedOut) continue;
    Mark m;
    m.slot = s;
    if (Project(p->ball.position, &m.x, &m.y)) marks.push_back(m);
  }
  Mark pin;
  pin.slot = 4;
  if (Project(game.pinPosition, &pin.x, &pin.y)) marks.push_back(pin);
  return marks;
}
