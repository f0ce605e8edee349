// The hole scene drawn by the software path into a 16-bit picture: sky colour, the horizon strip and the ground
// below it, then the terrain cells and the objects in painter's order (far to near), coarser cells beyond the
// view's detail distances, the pin and its flag; objects near the golfer are left out.
#pragma once

#include <cstdint>

#include "scene/golfview.h"
#include "scene/swtri.h"

struct HoleDrawStats {
  int32_t quads = 0;
  int32_t objects = 0;
  int32_t skipped = 0;  // objects or surfaces without an image
};

// `golfer`: the ground point objects are hidden around (null: none).
HoleDrawStats DrawHoleSoftware(TGolfView& view, const Surface16& target, const Vector3* golfer);

// The tee, fairway and green cameras of the loaded hole (0, 1, 2) placed on `view`.
bool PlaceHoleCamera(TGolfView& view, int camera);
