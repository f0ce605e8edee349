// Integer angle arithmetic (65536 units a turn, 16.16 sines), line clipping against the current window's
// clip rectangle, and lines drawn by exclusive-or.
#pragma once

#include <cstdint>

// sin(i x 90 degrees / 256) x 65536 for i = 0..256; the sound library's pan law reads it directly.
extern const int32_t quartersine[257];

int32_t fixsin(int32_t angle);
int32_t fixcos(int32_t angle);
void fixsincos(int32_t angle, int32_t* sine, int32_t* cosine);
// Bare lookup for an angle in 1024 steps a turn; only the low 10 bits of the step count.
void sincostable(int32_t step, int32_t* sine, int32_t* cosine);
// Angle of (dx, dy): 0 along +dy, 0x4000 along +dx; range -0x8000 .. 0x8000.
int32_t fixatan2(int32_t dx, int32_t dy);
// The same in 1024 units a turn: -0x200 .. 0x200.
int32_t fixatan2coarse(int32_t dx, int32_t dy);

// Clips the line to the current window's clip rectangle; 1 when some part lies inside (ends rewritten).
int clipline(int32_t* x1, int32_t* y1, int32_t* x2, int32_t* y2);
// Clips the same way against an explicit rectangle (maxima exclusive).
int cliplinerect(int32_t* x1, int32_t* y1, int32_t* x2, int32_t* y2, int32_t minx, int32_t miny, int32_t maxx,
                 int32_t maxy);
void drawlinexor(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t value);
