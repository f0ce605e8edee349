// What the shape benchmarks share: the library started once, and shapes made in library memory.
#pragma once

#include <cstring>
#include <vector>

#include "platformlib/core/memclass.h"
#include "platformlib/gfx/pixels.h"
#include "platformlib/gfx/rowspace.h"
#include "platformlib/shapes/textdraw.h"
#include "shapewriter.h"

namespace benchshapes {

inline void Start() {
  static bool started = false;
  if (started) return;
  started = true;
  initmem(1 << 26);
  rowspacesize = 1 << 16;
  initrow();
  inittextstate();
  for (int i = 0; i < 256; ++i) CurrentPalette[i] = 0xFF000000u | (i << 16) | ((255 - i) << 8) | (i / 2);
}

// A w x h shape of `type` whose pixel (x, y) is value(x, y), in library memory.
template <class F>
uint8_t* Shape(uint8_t type, int w, int h, F value) {
  Start();
  shapetools::Image image;
  image.type = type;
  image.width = w;
  image.height = h;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.pixels.push_back(value(x, y));
  const std::vector<uint8_t> bytes = shapetools::shapebytes(image);
  auto* p = static_cast<uint8_t*>(reservememadr("bench", static_cast<int>(bytes.size()), 0));
  std::memcpy(p, bytes.data(), bytes.size());
  return p;
}

}  // namespace benchshapes
