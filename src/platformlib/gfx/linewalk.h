// The Bresenham walk shared by the plain and the exclusive-or line: from the first end towards the second,
// which is not plotted, so that the segments of a polyline do not overlap at their shared points.
#pragma once

#include <cstdint>
#include <cstdlib>

template <class Plot>
void walkline(int32_t x0, int32_t y0, int32_t x1, int32_t y1, Plot plot) {
  const int32_t dx = 2 * std::abs(x1 - x0), dy = 2 * std::abs(y1 - y0);
  const int32_t sx = x1 >= x0 ? 1 : -1, sy = y1 >= y0 ? 1 : -1;
  int32_t x = x0, y = y0;
  if (dy < dx) {
    int32_t e = dy - dx / 2;
    while (x != x1) {
      plot(x, y);
      if (e >= 0) {
        y += sy;
        e -= dx;
      }
      e += dy;
      x += sx;
    }
  } else {
    int32_t e = dx - dy / 2;
    while (y != y1) {
      plot(x, y);
      if (e >= 0) {
        x += sx;
        e -= dy;
      }
      e += dx;
      y += sy;
    }
  }
}
