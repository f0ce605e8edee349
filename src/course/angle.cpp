#include "course/angle.h"

#include "platformlib/gfx/fixtrig.h"

#include <cmath>
#include <cstdlib>

int32_t FixAtan2(int32_t dx, int32_t dy) { return fixatan2(dx, dy); }

void ScaleForAngle(float& x, float& y) {
  const float a = std::fabs(x), b = std::fabs(y);
  float f = 1.0f;
  if (a < 1 && b < 1) f = 32768.0f;
  else if (a < 8 && b < 8) f = 4096.0f;
  else if (a < 32 && b < 32) f = 1024.0f;
  else if (a < 128 && b < 128) f = 256.0f;
  else if (a < 512 && b < 512) f = 64.0f;
  else if (a < 2048 && b < 2048) f = 16.0f;
  x *= f;
  y *= f;
}

namespace {
int32_t roundToInt(float v) {
  // Ties to even, as the default rounding mode does; out-of-range values saturate.
  const float r = std::nearbyint(v);
  if (!(r > -2147483648.0f)) return INT32_MIN;
  if (r >= 2147483648.0f) return INT32_MAX;
  return static_cast<int32_t>(r);
}
}  // namespace

uint16_t AngleFromXY(float x, float y) {
  ScaleForAngle(x, y);
  return static_cast<uint16_t>(FixAtan2(roundToInt(x), roundToInt(y)));
}
