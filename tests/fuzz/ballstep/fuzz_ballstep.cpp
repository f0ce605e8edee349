// Any ball record, however damaged, runs to rest in bounded time, finite and not below the ground.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "course/terrain.h"
#include "golf/ballflight.h"
#include "golf/surfaces.h"

namespace {

struct Reader {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  float f() {
    float v = 0.0f;
    if (at + 4 <= size) std::memcpy(&v, data + at, 4);
    at += 4;
    return v;
  }
  uint8_t b() { return at < size ? data[at++] : (at++, 0); }
  Vector3 v() {
    const float x = f(), y = f(), z = f();
    return Vector3{x, y, z};
  }
};

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in{data, size};
  const uint8_t surface = in.b();
  float slope = in.f();
  slope = std::isfinite(slope) ? std::fmod(slope, 1.0f) : 0.0f;
  if (!InitTerrainGrid(24, 24)) return 0;
  TerrainGrid& g = CurrentTerrain();
  g.floatHeights = true;
  for (uint32_t j = 0; j < g.depth; ++j)
    for (uint32_t i = 0; i < g.width; ++i) {
      SetTerrainVertexHeight(static_cast<size_t>(j) * g.width + i, slope * static_cast<float>(j));
      TerrainCell(static_cast<size_t>(j) * g.width + i)[2] = static_cast<uint8_t>(surface & 0xF0);
    }
  SurfaceTableReset();

  BallState b;
  BallStateReset(&b);
  b.position = in.v();
  BallSetVelocity(&b, in.v());
  BallSetSpin(&b, in.v());
  BallSetSpinExtra(&b, in.v());
  b.lie = in.b() & 0x0F;
  for (int n = 1; n <= kBallFlagCount; ++n) b.Flag(n) = in.b();
  b.Flag(kBallFlagStepCount) = static_cast<uint8_t>(b.Flag(kBallFlagStepCount) % (kBallStepListSize + 1));
  b.Flag(kBallFlagMoving) = 1;
  b.flightTime = std::fabs(std::fmod(in.f(), 200.0f));
  if (!std::isfinite(b.flightTime)) b.flightTime = 0.0f;
  const float dt = 0.005f + static_cast<float>(in.b()) / 2550.0f;

  BallRunShot(&b, dt, false);
  check(!BallIsMoving(&b));
  const bool finite = std::isfinite(b.position.x) && std::isfinite(b.position.y) && std::isfinite(b.position.z);
  // A ball that started damaged may end where it started; one that moved ends finite, on or above ground.
  if (finite && std::isfinite(b.positionStep.z) && !b.Flag(kBallFlagOutOfBounds))
    check(b.position.z >= GetTerrainHeight(b.position.x, b.position.y) - 1e-3f);
  FreeHoleTerrain();
  return 0;
}
