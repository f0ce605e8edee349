#pragma once
#include <cstdint>

// Direction helpers shared by the terrain queries and their callers; the angle is 65536 units a turn,
// 0 along +y and 0x4000 along +x.

// Angle of the integer vector (dx, dy), in -0x8000..0x8000: the platform library's fixed-point arctangent.
int32_t FixAtan2(int32_t dx, int32_t dy);

// Scales both components by one power of two so that small vectors keep their precision.
void ScaleForAngle(float& x, float& y);

// Angle of the vector (x, y), low 16 bits.
uint16_t AngleFromXY(float x, float y);
