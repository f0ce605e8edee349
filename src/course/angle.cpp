#include "course/angle.h"

#include <cmath>
#include <cstdlib>

namespace {

struct AtanTable {
  int32_t v[257];
  AtanTable() {
    const double unitsPerRadian = 65536.0 / (2.0 * 3.14159265358979323846);
    for (int i = 0; i <= 256; ++i) v[i] = static_cast<int32_t>(std::lround(std::atan(i / 256.0) * unitsPerRadian));
  }
};

const AtanTable& atanTable() {
  static const AtanTable table;
  return table;
}

}  // namespace

int32_t FixAtan2(int32_t dx, int32_t dy) {
  const bool xNeg = dx < 0, yNeg = dy < 0;
  const uint32_t ax = xNeg ? 0u - static_cast<uint32_t>(dx) : static_cast<uint32_t>(dx);
  const uint32_t ay = yNeg ? 0u - static_cast<uint32_t>(dy) : static_cast<uint32_t>(dy);
  int32_t base;
  bool swapped = false;
  if (ax == ay) {
    base = 0x2000;
  } else {
    uint32_t small = ay, large = ax;
    if (ax > ay) {
      swapped = true;
    } else {
      small = ax;
      large = ay;
    }
    const uint64_t r = (static_cast<uint64_t>(small) << 32) / large;
    const uint32_t k = static_cast<uint32_t>(r >> 24);
    const int64_t t = static_cast<int64_t>((r >> 8) & 0xFFFF);
    const int32_t* tab = atanTable().v;
    base = tab[k] + static_cast<int32_t>(((tab[k + 1] - tab[k]) * t) >> 16);
  }
  if (!xNeg && !yNeg) return swapped ? 0x4000 - base : base;
  if (!xNeg && yNeg) return swapped ? 0x4000 + base : 0x8000 - base;
  if (xNeg && !yNeg) return swapped ? base - 0x4000 : -base;
  return swapped ? -0x4000 - base : base - 0x8000;
}

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
