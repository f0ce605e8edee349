// Records of the Direct3D render module that its callers read (byte layouts fixed by the 3D interface).
#pragma once

#include <cstdint>

// The device capability record (state 403 copies it out), 32-bit words in this order.
struct D3DDeviceInfo {
  int32_t hardware3d;
  int32_t zdepth;
  int32_t renderdepths;
  int32_t zinvideomemory;
  int32_t zpresent;
  int32_t unset;
  int32_t perspective;
  int32_t alphashading;
  int32_t gouraudalpha;
  int32_t alphatextures;
  int32_t modulatealpha;
  int32_t additive;
  int32_t antialias;
  int32_t gouraudcolour;
  int32_t gouraudspecular;
};
static_assert(sizeof(D3DDeviceInfo) == 60, "fifteen words");

// One display-mode entry of the capability record's list (ten words).
struct D3DDisplayMode {
  int32_t width, height, bits, code, one, screens, screensless1, unused[3];
};
static_assert(sizeof(D3DDisplayMode) == 40, "ten words");
