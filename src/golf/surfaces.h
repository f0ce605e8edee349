#pragma once
#include <cstdint>

// How the ground under the ball acts on it, per surface class (the high four bits of a surface byte).
// c0 is the restitution of a bounce, c1 the friction of the impact, c2 the rolling resistance (the
// deceleration of a rolling ball in units of gravity), depth how far the ball sits down in the surface.

struct SurfaceCoefficients {
  float c0 = 0.0f;
  float c1 = 0.0f;
  float c2 = 0.0f;
  float depth = 0.0f;  // yards
  float c4 = 0.0f;
};

constexpr int kSurfaceTableEntries = 17;  // class 16 may be named by a hole's data

// The working table; SurfaceTableReset copies the defaults into it before a hole is loaded.
extern SurfaceCoefficients SurfaceTable[kSurfaceTableEntries];

void SurfaceTableReset();
// Changes one entry by name: "Plank" and "Hazard" without regard to case, "Water" exactly; a class of 17 or
// more, an empty or null name, or any other name changes nothing.
void SurfaceTableSet(int surfaceClass, const char* name);

float SurfaceGetCoefficient(uint8_t surfaceByte);  // c4
float SurfaceBounce(uint8_t surfaceByte);          // c1 times the golfer's setting factor
float SurfaceFriction(uint8_t surfaceByte);        // c0 times the golfer's setting factor

// The active golfer's ground settings (0, 1 or 2; 1 when no golfer is active): greens and fringes, the
// fairway, and the rough (whose value 1 also widens the aim deviation from the rough).
int GreenSetting();
int FairwaySetting();
int RoughSetting();

// Factor on c2 for a rolling ball on the given lie, chosen by the golfer's settings.
float SurfaceRollFactor(int lie);
