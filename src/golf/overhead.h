#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "course/vector3.h"

class TGame;
struct BallState;

// The points of the last live shot where something met the ground: the divot where the club took turf
// (value 0), then each contact of the ball in order (value = the contact's kind: 1 bounce, 2 roll, 3 water,
// 4 out of bounds). At most 20; the scene starts its divot and splash movies from them.
struct CollisionPoint {
  Vector3 at{};
  int32_t value = 0;
};
constexpr size_t kCollisionListSize = 20;
void CollisionListClear();
bool CollisionListAdd(float x, float y, float z, int32_t value);  // false when the list is full
const std::vector<CollisionPoint>& CollisionList();
// Fills the list for a shot launched from `from` (its lie, the club, whether it is the hole's first stroke)
// that has come to rest.
void CollisionListFromShot(const BallState& from, const BallState& rest, int club, bool teeShot);

// The overhead view's game side: the hole's ground mapped onto a picture of w x h pixels (the whole grid,
// the tee end at the bottom), and the marks it draws (each golfer's ball in play and the pin).
class TOverhead {
 public:
  struct Mark {
    int slot = 0;  // golfer slot, 4 the pin
    int32_t x = 0, y = 0;
  };
  TOverhead(int32_t width, int32_t height) : width_(width), height_(height) {}
  // Pixel of a world point; false when it lies outside the picture.
  bool Project(const Vector3& world, int32_t* x, int32_t* y) const;
  std::vector<Mark> Marks(const TGame& game) const;

 private:
  int32_t width_, height_;
};
