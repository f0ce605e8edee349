// Polygon filling, affine texture mapping, their shared clipping, edge lists and chain walk.
#include "platformlib/shapes/polygon.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <vector>

#include "platformlib/core/memclass.h"
#include "platformlib/gfx/pixels.h"
#include "platformlib/shapes/shapes.h"
#include "platformlib/gfx/windowdesc.h"

float reciprocaltable[1024];
EdgeRecord* edgetable = nullptr;

namespace {

constexpr int kClipPoints = 64;

// A point with its texture coordinates (16.16), carried through the clip stages.
struct ClipPoint {
  int32_t x, y, u, v;
};

EdgeRecord edges[kEdgeRecords];
ClipPoint clipbuffers[4][kClipPoints];
bool reciprocalsbuilt = false;
const uint8_t* const* remaptables = nullptr;

// The row-table space: the shift tables from word 0, the general table behind them. Directory entry s gives
// the position of the table for rows of 2^s bytes: 0 not built yet, -1 none (256 and 512 bytes use the
// general table).
int32_t rowtablespace[kRowTableSpace];
int32_t rowtabledirectory[10] = {0, 0, 0, 0, 0, 0, 0, 0, -1, -1};
int32_t shiftwords = 0;
int32_t generalrowbytes = 0;  // the general table's row length and entry count (0: not built)
int32_t generalcount = 0;

void buildshifttables() {
  int32_t used = 0, excess = 0;
  for (int s = 0; s < 10; ++s) {
    if (rowtabledirectory[s] != 0) continue;
    const int32_t entries = 4 * (1 << s) + 2;
    if (used + 1 + entries + 1 > kShiftTableWords) {  // keep room for the terminating word
      rowtabledirectory[s] = -1;
      excess += 1 + entries;
      continue;
    }
    rowtablespace[used] = 0;
    for (int32_t j = 0; j < entries; ++j) rowtablespace[used + 1 + j] = j << s;
    rowtabledirectory[s] = used + 1;
    used += 1 + entries;
  }
  rowtablespace[used++] = 0;
  if (excess) {
    ABORTCONTEXT("win\\linpoly.c", "initlinpoly");
    abortmessage("linpoly - LIBRARY ERROR, ROWTABLESPACE NEEDS TO BE LARGER (NEED %d MORE).\n", static_cast<int>(excess));
  }
  shiftwords = used;
}


// 1/n from the table, or computed where the table ends (edges and spans longer than 1023).
inline double reciprocal(int32_t n) {
  if (n > 0 && n < 1024) return reciprocaltable[n];
  return n > 0 ? 1.0 / n : 1.0;
}

inline int32_t lerp16(int32_t a, int32_t b, int64_t t) {
  return static_cast<int32_t>(a + ((static_cast<int64_t>(b - a) * t + 32768) >> 16));
}

// One Sutherland-Hodgman stage against a line of one axis. `keep` says whether a coordinate is inside.
template <typename Inside>
int clipstage(const ClipPoint* in, int count, ClipPoint* out, bool xaxis, int32_t line, Inside inside) {
  int n = 0;
  auto coord = [&](const ClipPoint& p) { return xaxis ? p.x : p.y; };
  auto emit = [&](const ClipPoint& p) {
    if (n < kClipPoints) out[n++] = p;
  };
  auto cross = [&](const ClipPoint& p, const ClipPoint& q) {
    const int64_t t = (static_cast<int64_t>(line - coord(p)) << 16) / (coord(q) - coord(p));
    ClipPoint r;
    if (xaxis) {
      r.x = line;
      r.y = lerp16(p.y, q.y, t);
    } else {
      r.y = line;
      r.x = lerp16(p.x, q.x, t);
    }
    r.u = lerp16(p.u, q.u, t);
    r.v = lerp16(p.v, q.v, t);
    return r;
  };
  for (int i = 0; i < count; ++i) {
    const ClipPoint& p = in[i];
    const ClipPoint& q = in[(i + 1) % count];
    const bool pin = inside(coord(p)), qin = inside(coord(q));
    if (pin) emit(p);
    if (pin != qin) {
      const ClipPoint r = pin ? cross(p, q) : cross(q, p);
      const ClipPoint& inner = pin ? p : q;
      if (r.x != inner.x || r.y != inner.y) emit(r);  // an intersection on the inside end is that point itself
    }
  }
  return n;
}

// Clips the points to the current window; returns the count (fewer than 3: nothing left) and the list.
int clippolygon(const ClipPoint* points, int count, const ClipPoint** result) {
  const WindowDesc& w = CurrentWindow;
  int32_t minx = points[0].x, maxx = points[0].x, miny = points[0].y, maxy = points[0].y;
  for (int i = 1; i < count; ++i) {
    minx = std::min(minx, points[i].x), maxx = std::max(maxx, points[i].x);
    miny = std::min(miny, points[i].y), maxy = std::max(maxy, points[i].y);
  }
  const ClipPoint* list = points;
  int n = count;
  if (minx < w.minx) {
    n = clipstage(list, n, clipbuffers[0], true, w.minx, [&](int32_t c) { return c >= w.minx; });
    list = clipbuffers[0];
    if (n < 3) return 0;
  }
  if (maxx >= w.maxx) {
    n = clipstage(list, n, clipbuffers[1], true, w.maxx, [&](int32_t c) { return c < w.maxx; });
    list = clipbuffers[1];
    if (n < 3) return 0;
  }
  if (miny < w.miny) {
    n = clipstage(list, n, clipbuffers[2], false, w.miny, [&](int32_t c) { return c >= w.miny; });
    list = clipbuffers[2];
    if (n < 3) return 0;
  }
  if (maxy >= w.maxy) {
    n = clipstage(list, n, clipbuffers[3], false, w.maxy, [&](int32_t c) { return c < w.maxy; });
    list = clipbuffers[3];
    if (n < 3) return 0;
  }
  *result = list;
  return n;
}

// Bounding box reject and orientation; false when the polygon cannot touch the clip rectangle.
bool prepare(const ClipPoint* p, int count, int& orientation) {
  const WindowDesc& w = CurrentWindow;
  int32_t minx = p[0].x, maxx = p[0].x, miny = p[0].y, maxy = p[0].y;
  for (int i = 1; i < count; ++i) {
    minx = std::min(minx, p[i].x), maxx = std::max(maxx, p[i].x);
    miny = std::min(miny, p[i].y), maxy = std::max(maxy, p[i].y);
  }
  if (miny >= w.maxy || maxy < w.miny || minx >= w.maxx || maxx < w.minx) return false;
  if (orientation == 0)
    for (int i = 0; i + 2 < count; ++i) {
      const ClipPoint &a = p[i], &b = p[i + 1], &c = p[i + 2];
      const int64_t cross = static_cast<int64_t>(c.y - b.y) * (a.x - b.x) - static_cast<int64_t>(c.x - b.x) * (a.y - b.y);
      if (cross) {
        orientation = cross > 0 ? 1 : -1;
        break;
      }
    }
  return true;
}

int topvertex(const ClipPoint* p, int count) {
  int top = 0;
  for (int i = 1; i < count; ++i)
    if (p[i].y < p[top].y) top = i;
  return top;
}

// Edge i runs from point i - 1 to point i.
void buildedges(const ClipPoint* p, int count) {
  for (int i = 0; i < count; ++i) {
    const ClipPoint* a = &p[(i + count - 1) % count];
    const ClipPoint* b = &p[i];
    if (a->y > b->y) std::swap(a, b);
    EdgeRecord& e = edges[i];
    e = EdgeRecord{};
    e.rows = b->y - a->y;
    e.firstrow = a->y;
    if (!e.rows) continue;
    const double r = reciprocal(e.rows);
    e.x = a->x * 65536;
    e.slope = static_cast<int32_t>(std::lround(static_cast<double>(b->x - a->x) * 65536.0 * r));
    e.u = a->u;
    e.v = a->v;
    e.du = static_cast<float>((static_cast<double>(b->u) - a->u) * r);
    e.dv = static_cast<float>((static_cast<double>(b->v) - a->v) * r);
  }
}

inline int32_t floorfix(int32_t x) { return x >> 16; }

// The chain walk shared by both kinds; `row` draws one row from the two current edges.
template <typename Row>
int walk(int count, int top, int32_t y, int orientation, Row row) {
  int a = top, b = (top + 1) % count;
  if (orientation < 0) std::swap(a, b);
  const int stepa = orientation < 0 ? 1 : count - 1, stepb = orientation < 0 ? count - 1 : 1;
  for (int guard = 0; guard < 4 * kClipPoints + 4096; ++guard) {
    while (edges[a].rows <= 0) {
      a = (a + stepa) % count;
      if (a == b) return 1;
      if (edges[a].rows > 0 && edges[a].firstrow < y) return -1;
    }
    while (edges[b].rows <= 0) {
      b = (b + stepb) % count;
      if (b == a) return 1;
      if (edges[b].rows > 0 && edges[b].firstrow < y) return -1;
    }
    const int32_t n = std::min(edges[a].rows, edges[b].rows);
    edges[a].rows -= n;
    edges[b].rows -= n;
    for (int32_t i = 0; i < n; ++i, ++y) {
      row(y, edges[a], edges[b]);
      edges[a].x += edges[a].slope;
      edges[b].x += edges[b].slope;
      edges[a].u += edges[a].du, edges[a].v += edges[a].dv;
      edges[b].u += edges[b].du, edges[b].v += edges[b].dv;
    }
  }
  return -1;
}

void fillspan(uint8_t* p, int32_t n, uint32_t colour, int kind, int depth) {
  if (kind == 0 && depth == 8) {
    std::memset(p, static_cast<int>(colour & 0xFF), static_cast<size_t>(n));
    return;
  }
  if (kind == 0 && (depth == 15 || depth == 16)) {
    const uint16_t v = static_cast<uint16_t>(colour);
    for (int32_t i = 0; i < n; ++i) std::memcpy(p + 2 * i, &v, 2);
    return;
  }
  for (int32_t i = 0; i < n; ++i) {
    switch (depth) {
      case 8: p[i] = kind ? darkenbytes[p[i]] : static_cast<uint8_t>(colour); break;
      case 15: shapewrite16(p + 2 * i, kind ? (shaperead16(p + 2 * i) >> 1) & 0x3DEF : colour); break;
      case 16: shapewrite16(p + 2 * i, kind ? (shaperead16(p + 2 * i) >> 1) & 0x7BEF : colour); break;
      case 32: {
        uint32_t v;
        std::memcpy(&v, p + 4 * i, 4);
        v = kind ? (v >> 1) & 0x7F7F7F7F : colour;
        std::memcpy(p + 4 * i, &v, 4);
        break;
      }
      default: return;
    }
  }
}

ClipPoint toclip(const PolyPoint& p, const PolyPoint* t) { return ClipPoint{p.x, p.y, t ? t->x : 0, t ? t->y : 0}; }

}  // namespace

void initlinpoly() {
  if (!shiftwords) buildshifttables();
  if (!reciprocalsbuilt) {
    reciprocaltable[0] = 1.0f;
    for (int n = 1; n < 1024; ++n) reciprocaltable[n] = static_cast<float>(1.0L / n);
    reciprocalsbuilt = true;
  }
  edgetable = edges;
}

int32_t linpolyshiftwords() { return shiftwords; }

const int32_t* linpolyrowtable(int32_t rowbytes, int32_t height) {
  if (rowbytes <= 0 || height < 0 || height + 1 > kGeneralTableWords) return nullptr;
  int32_t* table = rowtablespace + kShiftTableWords;
  if (generalrowbytes != rowbytes || generalcount < height + 1) {
    for (int32_t j = 0; j <= height; ++j) table[j] = j * rowbytes;
    generalrowbytes = rowbytes;
    generalcount = height + 1;
  }
  return table;
}

const int32_t* linpolytexture(const uint8_t* texture) {
  if (!shiftwords) initlinpoly();
  const int32_t rowbytes = shaperowbytes(texture), height = shapeheight(texture);
  if (rowbytes > 0 && (rowbytes & (rowbytes - 1)) == 0 && height <= 4 * rowbytes) {
    const int s = std::countr_zero(static_cast<uint32_t>(rowbytes));
    if (s < 10 && rowtabledirectory[s] > 0) return rowtablespace + rowtabledirectory[s];
  }
  return linpolyrowtable(rowbytes, height);
}

void setremaptables(const uint8_t* const* tables) { remaptables = tables; }

int drawpolygon(uint32_t colour, int count, const PolyPoint* points, int orientation, int spankind) {
  if (!edgetable) initlinpoly();
  if (!points || count < 3 || count > kMaxPolygonPoints) return 0;
  const WindowDesc& w = CurrentWindow;
  if (!w.pixels || !w.rows || !w.cols) return 0;
  ClipPoint given[kMaxPolygonPoints];
  for (int i = 0; i < count; ++i) given[i] = toclip(points[i], nullptr);
  if (!prepare(given, count, orientation)) return 0;
  const ClipPoint* list = nullptr;
  const int n = clippolygon(given, count, &list);
  if (n < 3) return 0;
  buildedges(list, n);
  const int top = topvertex(list, n);
  const int depth = w.depth;
  return walk(n, top, list[top].y, orientation, [&](int32_t y, const EdgeRecord& a, const EdgeRecord& b) {
    const int32_t ax = floorfix(a.x), bx = floorfix(b.x);
    int32_t left = bx, width = ax - bx;
    if (width < 0) {
      left = ax;
      width = std::max(1, bx - ax);
    }
    if (width <= 0 || y < w.miny || y >= w.maxy) return;
    // The geometry is clipped already; the clamp only guards against rounding at the clip lines.
    const int32_t x0 = std::max(left, w.minx), x1 = std::min(left + width, w.maxx);
    if (x1 > x0) fillspan(w.pixels + w.rows[y] + w.cols[x0], x1 - x0, colour, spankind, depth);
  });
}

int drawpolygonp(uint32_t colour, int count, const PolyPoint* const* points, int orientation, int spankind) {
  if (!points || count < 3 || count > kMaxPolygonPoints) return 0;
  PolyPoint local[kMaxPolygonPoints];
  for (int i = 0; i < count; ++i) local[i] = *points[i];
  return drawpolygon(colour, count, local, orientation, spankind);
}

int fillpolygon(uint32_t colour, int count, const PolyPoint* points) { return drawpolygon(colour, count, points, 0, 0); }

int fillpolygonv(uint32_t colour, int count, ...) {
  if (count < 3 || count > kMaxPolygonPoints) return 0;
  PolyPoint local[kMaxPolygonPoints];
  va_list args;
  va_start(args, count);
  for (int i = 0; i < count; ++i) {
    local[i].x = va_arg(args, int32_t);
    local[i].y = va_arg(args, int32_t);
  }
  va_end(args);
  return drawpolygon(colour, count, local, 0, 0);
}

int drawlinpoly(const uint8_t* texture, int count, const PolyPoint* points, const PolyPoint* texturepoints,
                int orientation, int mode) {
  if (!edgetable) initlinpoly();
  if (!texture || !points || !texturepoints || count < 3 || count > kMaxPolygonPoints) return 0;
  const WindowDesc& w = CurrentWindow;
  if (!w.pixels || !w.rows || !w.cols || (texture[0] & kShapePacked)) return 0;
  ClipPoint given[kMaxPolygonPoints];
  for (int i = 0; i < count; ++i) given[i] = toclip(points[i], &texturepoints[i]);
  if (!prepare(given, count, orientation)) return 0;
  const ClipPoint* list = nullptr;
  int n = clippolygon(given, count, &list);
  if (n < 3) return 0;
  int top = topvertex(list, n);
  bool onerow = true;
  for (int i = 1; i < n; ++i) onerow = onerow && list[i].y == list[0].y;
  if (onerow) {
    // All points on one row: the left-most and right-most points make a single span.
    int l = 0, r = 0;
    for (int i = 1; i < n; ++i) {
      if (list[i].x < list[l].x) l = i;
      if (list[i].x > list[r].x) r = i;
    }
    edges[0] = EdgeRecord{static_cast<double>(list[l].u), static_cast<double>(list[l].v), 0, 0, list[l].x * 65536, 0, list[l].y, 1};
    edges[1] = EdgeRecord{static_cast<double>(list[r].u), static_cast<double>(list[r].v), 0, 0, list[r].x * 65536, 0, list[r].y, 1};
    n = 2;
    top = 1;
  } else {
    buildedges(list, n);
  }

  uint8_t* converted = nullptr;
  if (texture[0] != w.shapetype) {
    converted = convertshapetype(texture, w.shapetype);
    if (!converted) return 0;
    texture = converted;
  }
  const int depth = w.depth;
  const int bytes = depth == 8 ? 1 : (depth <= 16 ? 2 : (depth == 24 ? 3 : 4));
  const int32_t tw = shapewidth(texture), th = shapeheight(texture);
  if (tw <= 0 || th <= 0) {
    if (converted) purgememadr(converted);
    return 0;
  }
  // Row offsets of the texture from the row-table space; a texture too tall for it has its own table.
  const int32_t* rowtable = linpolytexture(texture);
  std::vector<int32_t> tall;
  if (!rowtable) {
    const int32_t rowbytes = shaperowbytes(texture);
    tall.resize(static_cast<size_t>(th));
    for (int32_t j = 0; j < th; ++j) tall[j] = j * rowbytes;
    rowtable = tall.data();
  }
  const uint8_t* pixels = texture + 16;
  auto texel = [&](int64_t u, int64_t v) {
    return pixels + rowtable[std::clamp<int64_t>(v >> 16, 0, th - 1)] + std::clamp<int64_t>(u >> 16, 0, tw - 1) * bytes;
  };

  const int result = walk(n, top, list[onerow ? 0 : top].y, orientation, [&](int32_t y, const EdgeRecord& a, const EdgeRecord& b) {
    const EdgeRecord* l = &b;
    const EdgeRecord* r = &a;
    if (floorfix(a.x) < floorfix(b.x)) std::swap(l, r);
    int32_t span = floorfix(r->x) - floorfix(l->x);
    if (onerow && span == 0) span = 1;
    if (span <= 0 || y < w.miny || y >= w.maxy) return;
    const double rc = reciprocal(span);
    const int64_t du = std::llround((r->u - l->u) * rc);
    const int64_t dv = std::llround((r->v - l->v) * rc);
    int64_t u = static_cast<int64_t>(l->u), v = static_cast<int64_t>(l->v);  // wide: no step overflows
    int32_t x = floorfix(l->x);
    if (x < w.minx) {  // rounding at the clip line only
      u += du * (w.minx - x), v += dv * (w.minx - x), span -= w.minx - x, x = w.minx;
    }
    span = std::min(span, w.maxx - x);
    uint8_t* d = w.pixels + w.rows[y] + w.cols[std::max(x, 0)];
    for (int32_t i = 0; i < span; ++i, u += du, v += dv, d += bytes) {
      const uint8_t* t = texel(u, v);
      if (bytes == 1) {
        uint8_t c = *t;
        if (mode >= 4 && mode <= 6) c = IndexRemap[c];
        switch (mode) {
          case 0: case 4: *d = c; break;
          case 1: case 3: case 5: if (c != 255) *d = c; break;
          case 2: case 6: if (c == 254) *d = darkenbytes[*d]; else if (c != 255) *d = c; break;
          case 7: {
            const uint8_t* table = remaptables ? remaptables[c] : nullptr;
            *d = table ? table[*d] : c;
            break;
          }
          default: *d = c; break;
        }
      } else if (bytes == 2) {
        if (mode == 3 && depth == 16) {
          const int64_t tu = std::clamp<int64_t>(u >> 16, 0, tw - 1), tv = std::clamp<int64_t>(v >> 16, 0, th - 1);
          const uint8_t* b = texel(u + (tu < tw - 1 ? 65536 : 0), v);
          const uint8_t* c = texel(u, v + (tv < th - 1 ? 65536 : 0));
          const uint8_t* e = texel(u + (tu < tw - 1 ? 65536 : 0), v + (tv < th - 1 ? 65536 : 0));
          uint32_t q[4] = {argbfrom565(shaperead16(t)), argbfrom565(shaperead16(b)), argbfrom565(shaperead16(c)), argbfrom565(shaperead16(e))};
          uint8_t block[16];
          for (int k = 0; k < 4; ++k) shapewrite32(block + 4 * k, q[k]);
          // a, b side by side; c, d on the next "row" of the 2 x 2 block
          const uint32_t k = argbfilter(static_cast<int>(((u >> 13) & 7) + 8 * ((v >> 13) & 7)), block, 8);
          shapewrite16(d, blendover565(k, shaperead16(d)));
        } else {
          const uint16_t c = shaperead16(t);
          if (mode == 0 || mode == 4 || c) shapewrite16(d, c);
        }
      } else {
        bool zero = true;
        for (int k = 0; k < bytes; ++k) zero = zero && !t[k];
        if (mode == 0 || mode == 4 || !zero) std::memcpy(d, t, static_cast<size_t>(bytes));
      }
    }
  });
  if (converted) purgememadr(converted);
  return result;
}

int drawlinpolyv(const uint8_t* texture, int count, const PolyPoint* const* points, const PolyPoint* texturepoints,
                 int orientation, int mode) {
  if (!points || count < 3 || count > kMaxPolygonPoints) return 0;
  PolyPoint local[kMaxPolygonPoints];
  for (int i = 0; i < count; ++i) local[i] = *points[i];
  return drawlinpoly(texture, count, local, texturepoints, orientation, mode);
}

void drawshapepoly(const uint8_t* shape, const PolyPoint* corners, int orientation, int mode) {
  if (shapewidth(shape) > 32767 || shapeheight(shape) > 32767) return;  // beyond 16.16 texture coordinates
  const int32_t w = shapewidth(shape) * 65536 - 1, h = shapeheight(shape) * 65536 - 1;
  const PolyPoint texture[4] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
  drawlinpoly(shape, 4, corners, texture, orientation, mode);
}
