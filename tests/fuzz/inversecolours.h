// 8-bit drawing through an inverse colour table, as once the colour tables install one. Without it every blended
// pixel and every text blend table searches the whole palette, which takes most of an input's time.
#pragma once

#include <cstdint>

#include "platformlib/gfx/pixels.h"

inline void InstallInverseColours() {
  static uint8_t inverse[32768];
  for (uint32_t i = 0; i < 32768; ++i)
    inverse[i] = static_cast<uint8_t>(nearestcolour((i >> 10) << 19 | (i >> 5 & 31) << 11 | (i & 31) << 3));
  InverseColourTable = inverse;
}
