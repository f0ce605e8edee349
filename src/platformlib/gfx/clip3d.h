// Clipping of projected 3D primitives against the viewport and the near limit before the render module
// draws them. Trivially visible primitives go straight to the module; the others are clipped in screen space
// and submitted as one indexed fan each.
#pragma once

#include <cstdint>

#include "platformlib/gfx/vortel.h"

constexpr uint8_t kClipNear = 0x01;
constexpr uint8_t kClipFar = 0x02;
constexpr uint8_t kClipAbove = 0x04;
constexpr uint8_t kClipBelow = 0x08;
constexpr uint8_t kClipLeft = 0x10;
constexpr uint8_t kClipRight = 0x20;

void rastersetviewport(float left, float top, float width, float height, float nearlimit, float farlimit);
void rastersetmode(int32_t mode);
void clipcode(const VortelVertex* vertex, uint8_t* code);
// Writes kClipNear when q is negative or at least the near limit, else 0.
void clipcodenear(const VortelVertex* vertex, uint8_t* code);
void rastertri(const VortelVertex** vertices, const uint8_t* codes);
// Rewrites the caller's arrays to (a, c, d) when the second triangle needs clipping.
void rasterquad(const VortelVertex** vertices, uint8_t* codes);
void rastertriclip(const VortelVertex* a, const VortelVertex* b, const VortelVertex* c);
void rasterclipedge(const VortelVertex* a, const VortelVertex* b, uint8_t codea, uint8_t codeb);
// 0: submitted (or, with mode 5, rejected at the end); -1: nothing drawn.
int rasterclippoly(const VortelVertex** vertices, const uint8_t* codes, uint8_t combined, int count);

// Mesh forms over a vertex array with one code byte per vertex.
void rasterlinemesh(int32_t count, const VortelVertex* vertices, const uint32_t* pairs, const uint8_t* codes);
void rastertrimesh(int32_t count, const VortelVertex* vertices, const uint32_t* triples, const uint8_t* codes);
void rasterquadmesh(int32_t count, const VortelVertex* vertices, const uint32_t* quads, const uint8_t* codes);
void rasterquadclip(const VortelVertex* a, const VortelVertex* b, const VortelVertex* c, const VortelVertex* d);
void rastertrimeshbatch(int32_t count, const VortelVertex* vertices, const uint32_t* triples, const uint8_t* codes);
void rasterquadmeshbatch(int32_t count, const VortelVertex* vertices, const uint32_t* quads, const uint8_t* codes);

// The work slots (for checks: what a submitted fan's indices refer to).
const VortelVertex* rasterworkslots();
