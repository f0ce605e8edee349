// Windows for drawing tests: made cleared to 0, read back pixel by pixel, removed when done.
#pragma once

#include <cstdint>
#include <vector>

#include "platformlib/gfx/pixels.h"
#include "platformlib/gfx/windowdesc.h"

class TestWindows {
 public:
  ~TestWindows() { RemoveAll(); }
  WindowDesc* Make(int w, int h, int depth) {
    WindowDesc* window = createwindowadra(w, h, depth, 1);
    made_.push_back(window);
    setwindow(window);
    fillrect(0, 0, w, h, 0);
    releasewindow();
    return window;
  }
  static uint32_t Px(WindowDesc* w, int x, int y) {
    setwindow(w);
    const uint32_t v = readpixel(x, y);
    releasewindow();
    return v;
  }
  static int Painted(WindowDesc* w) {
    int n = 0;
    for (int y = 0; y < w->height; ++y)
      for (int x = 0; x < w->width; ++x) n += Px(w, x, y) != 0;
    return n;
  }
  void RemoveAll() {
    releasewindow();
    for (WindowDesc* w : made_) removewindow(w);
    made_.clear();
  }

 private:
  std::vector<WindowDesc*> made_;
};
