// The grids over the ground that help a golfer read its slope: a square grid along the line of view (plain or
// coloured by height), a circular grid round the pin coloured by height, and putting lines (the paths of nine trial
// putts fanned about the aim). Lines go straight into the finished picture, pixel by pixel, hidden where the
// picture's depth values show nearer scenery.
#pragma once

#include <cstdint>
#include <vector>

#include "course/vector3.h"
#include "scene/golfview.h"
#include "scene/swtri.h"

struct playerInfo_s;

// The picture the grid goes into and its depth values (same size), the software path's (the hardware path's read
// back turned into them).
struct GridPictures {
  Surface16 picture, depth;
};

// Draws the overlay of `mode` (golf/gridmode.h) over the view. `target`: the shot's target (the square grid's
// reach); `aim`: where the putting lines aim (null: the shot's aim point). Nothing without a picture or depth values.
void DrawGridOverlay(const TGolfView& view, const GridPictures& pictures, uint32_t mode, const Vector3& target,
                     const Vector3* aim, bool force);

// Rows of the square grid for the distance to the target: 29 (58 far), at most round(2 distance) + 3.
int SquareGridRows(float distance, bool far);
// The colour of a height between the lowest and highest met: red above the mean, blue at or below it, stronger away
// from it.
uint16_t GridHeightColour(float height, float lowest, float highest);
bool IsOutsideHoleBounds(const Vector3& p);
// The ground point of the loaded hole's pin; false without a hole.
bool PinGroundPoint(Vector3* out);
// The depth value a grid point at camera depth `z` is tested with.
uint16_t GridDepthValue(float z);

// The paths of the nine trial putts, kept while the same golfer's ball stays where it is. A path is a run of ground
// points, each path begun by the separator (-1, -1, -1).
class TBreakLineCache {
 public:
  static constexpr int kInitialCapacity = 360;
  static constexpr float kStepSeconds = 0.01667f;

  // Computes the paths when asked or needed; then draws them, the central putt highlighted.
  void Draw(const TGolfView& view, bool force);
  // False when nothing was computed (the paths are still good, or no golfer or no buffer).
  bool Compute(bool force);
  bool NeedsUpdate() const;
  bool Prepare();
  void AddPoint(const Vector3& p);
  void FreeBuffer();

  Vector3 target{};
  const std::vector<Vector3>& points() const { return points_; }
  int capacity() const { return capacity_; }
  int overflow() const { return overflow_; }
  int centralStart() const { return centralStart_; }
  int centralEnd() const { return centralEnd_; }
  int computations() const { return computations_; }  // completed computations, for the record

 private:
  bool hasBuffer_ = false;
  std::vector<Vector3> points_;
  int capacity_ = kInitialCapacity;
  int overflow_ = 0;
  int centralStart_ = 0, centralEnd_ = 0;
  Vector3 ball_{};
  const playerInfo_s* golfer_ = nullptr;
  int computations_ = 0;
};
TBreakLineCache& BreakLineCache();
void FreeBreakLineBuffer();
