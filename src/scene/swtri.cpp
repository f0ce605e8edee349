#include "scene/swtri.h"

#include <algorithm>
#include <cmath>

#include "scene/random.h"

namespace {

constexpr int kMaxValues = 3;  // light level, u, v

struct Edge {
  int64_t x = 0, dx = 0;
  int64_t value[kMaxValues] = {}, step[kMaxValues] = {};
};

struct Corner {
  int32_t x, y;
  int32_t value[kMaxValues];
};

// Sets an edge from a to b. `floatSteps`: the x step rounded to 1/2048 (the flat routines).
void SetEdge(Edge& e, const Corner& a, const Corner& b, int values, bool floatSteps) {
  int32_t dy = b.y - a.y;
  if (dy <= 0) dy = 1;
  const int32_t dx = b.x - a.x;
  e.x = static_cast<int64_t>(a.x) << 16;
  if (floatSteps) {
    e.dx = static_cast<int64_t>(std::lround(static_cast<double>(dx) / dy * 2048.0)) * 32;
  } else {
    const int64_t r = (int64_t{1} << 31) / (static_cast<int64_t>(dy) << 15);  // 65536 / dy
    e.dx = static_cast<int64_t>(dx) * r;
    for (int i = 0; i < values; ++i) {
      e.value[i] = a.value[i];
      e.step[i] = (static_cast<int64_t>(b.value[i] - a.value[i]) * r + 0x8000) >> 16;
    }
  }
  for (int i = 0; i < values; ++i) e.value[i] = a.value[i];
}

void Advance(Edge& e, int64_t rows, int values) {
  e.x += e.dx * rows;
  for (int i = 0; i < values; ++i) e.value[i] += e.step[i] * rows;
}

// The walk every routine shares; `span(y, left, right, values at left, per-pixel steps)` draws a clipped span.
template <typename Span>
void Walk(const Surface16& s, const TriVertex v[3], const int32_t (*values)[3], int count, bool floatSteps,
          Span span) {
  const int32_t W = s.clipRight - s.clipLeft, H = s.clipBottom - s.clipTop;
  if (W <= 0 || H <= 0) return;
  Corner c[3];
  for (int i = 0; i < 3; ++i) {
    c[i].x = v[i].x - s.clipLeft;
    c[i].y = v[i].y - s.clipTop;
    for (int k = 0; k < count; ++k) c[i].value[k] = values[k][i];
  }
  std::sort(c, c + 3, [](const Corner& a, const Corner& b) { return a.y < b.y; });
  const Corner &top = c[0], &mid = c[1], &bot = c[2];
  if (top.y == bot.y || bot.y <= 0 || top.y > H - 1) return;
  Edge longEdge, shortEdge;
  SetEdge(longEdge, top, bot, count, floatSteps);
  bool onLower = mid.y == top.y || mid.y <= 0;
  if (onLower) {
    SetEdge(shortEdge, mid, bot, count, floatSteps);
  } else {
    SetEdge(shortEdge, top, mid, count, floatSteps);
  }
  int32_t y = top.y;
  if (y < 0) {
    Advance(longEdge, -y, count);
    if (!onLower) Advance(shortEdge, -y, count);
    else if (mid.y < 0) Advance(shortEdge, -mid.y, count);
    y = 0;
  }
  const int32_t last = std::min(bot.y, H - 1);
  for (; y <= last; ++y) {
    if (!onLower && y == mid.y) {
      SetEdge(shortEdge, mid, bot, count, floatSteps);
      onLower = true;
    }
    const Edge* l = &longEdge;
    const Edge* r = &shortEdge;
    if ((r->x >> 16) < (l->x >> 16)) std::swap(l, r);
    const int32_t left = static_cast<int32_t>(l->x >> 16), right = static_cast<int32_t>(r->x >> 16);
    if (left <= W - 1 && right >= 1) {
      int64_t start[kMaxValues] = {}, step[kMaxValues] = {};
      const int64_t pixels = right - left + 1;
      for (int k = 0; k < count; ++k) {
        step[k] = (r->value[k] - l->value[k]) / pixels;
        start[k] = l->value[k];
      }
      int32_t x0 = left;
      if (x0 < 0) {
        for (int k = 0; k < count; ++k) start[k] += step[k] * -x0;
        x0 = 0;
      }
      const int32_t x1 = std::min(right, W - 1);
      span(y + s.clipTop, x0 + s.clipLeft, x1 + s.clipLeft, start, step);
    }
    Advance(longEdge, 1, count);
    Advance(shortEdge, 1, count);
  }
}

uint8_t Texel(const Texture8& t, int64_t u, int64_t v) {
  // Reads stay inside the texture whatever the corners say.
  const int32_t x = std::clamp<int32_t>(static_cast<int32_t>(u >> 16), 0, t.width - 1);
  const int32_t y = std::clamp<int32_t>(static_cast<int32_t>(v >> 16), 0, t.height - 1);
  return t.texels[static_cast<size_t>(y) * t.width + x];
}

uint16_t* Row(const Surface16& s, int32_t y) { return s.pixels + static_cast<size_t>(y) * s.pitch; }

}  // namespace

void FillTriangle16(const Surface16& s, const TriVertex v[3], uint16_t colour) {
  Walk(s, v, nullptr, 0, true, [&](int32_t y, int32_t x0, int32_t x1, const int64_t*, const int64_t*) {
    std::fill(Row(s, y) + x0, Row(s, y) + x1 + 1, colour);
  });
}

void ShadeTriangle16(const Surface16& s, const TriVertex v[3]) {
  Walk(s, v, nullptr, 0, true, [&](int32_t y, int32_t x0, int32_t x1, const int64_t*, const int64_t*) {
    for (uint16_t* p = Row(s, y) + x0; p <= Row(s, y) + x1; ++p) *p = DarkenQuarter(*p);
  });
}

void MapTriangle16(const Surface16& s, const TriVertex v[3], const Texture8& t, const int32_t u[3],
                   const int32_t vv[3], const uint16_t* colours, int mode) {
  if (!t.texels || t.width <= 0 || t.height <= 0) return;
  const int32_t values[2][3] = {{u[0], u[1], u[2]}, {vv[0], vv[1], vv[2]}};
  Walk(s, v, values, 2, false, [&](int32_t y, int32_t x0, int32_t x1, const int64_t* start, const int64_t* step) {
    int64_t tu = start[0], tv = start[1];
    uint16_t* p = Row(s, y) + x0;
    for (int32_t x = x0; x <= x1; ++x, ++p, tu += step[0], tv += step[1]) {
      const uint8_t texel = Texel(t, tu, tv);
      if (mode == 0) *p = colours[texel];
      else if (mode == 2) {
        if (texel != 0xFF) *p = colours[texel];
      } else if (texel == 0xFE) *p = DarkenQuarter(*p);
      else if (texel == 0xFD) *p = DarkenEighth(*p);
    }
  });
}

void MapTriangleShaded16(const Surface16& s, const TriVertex v[3], const int32_t levels[3], const Texture8& t,
                         const int32_t u[3], const int32_t vv[3], const LightTableSet& lights, bool dither) {
  if (!t.texels || t.width <= 0 || t.height <= 0 || !lights.tables || lights.count <= 0) return;
  const int32_t values[3][3] = {{levels[0], levels[1], levels[2]}, {u[0], u[1], u[2]}, {vv[0], vv[1], vv[2]}};
  Walk(s, v, values, 3, false, [&](int32_t y, int32_t x0, int32_t x1, const int64_t* start, const int64_t* step) {
    int64_t level = start[0], tu = start[1], tv = start[2];
    if (dither) level = std::max<int64_t>(0, level - 0x4000);
    uint16_t* p = Row(s, y) + x0;
    for (int32_t x = x0; x <= x1; ++x, ++p, level += step[0], tu += step[1], tv += step[2]) {
      int64_t l = dither ? (level + 128 * RandomNextByte()) >> 16 : level >> 16;
      l = std::clamp<int64_t>(l, 0, lights.count - 1);
      *p = lights.tables[static_cast<size_t>(l) * 256 + Texel(t, tu, tv)];
    }
  });
}
