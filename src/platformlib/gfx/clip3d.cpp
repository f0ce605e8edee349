// One static clip volume and work store: the module is used from the drawing thread only.
#include "platformlib/gfx/clip3d.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int kSlots = 100;
constexpr int kBatchIndices = 2000;

float vleft = 0, vtop = 0, vright = 0, vbottom = 0, nearq = 0, farq = 0;
int32_t clipmode = 0;
uint8_t clipmask = 0xFF;
VortelVertex slots[kSlots];
uint32_t batch[kBatchIndices];

inline uint8_t outcode(const VortelVertex& v) {
  uint8_t c = 0;
  if (!std::signbit(v.q)) {
    if (v.q >= nearq) c |= kClipNear;
    if (v.y < vtop)
      c |= kClipAbove;
    else if (v.y > vbottom)
      c |= kClipBelow;
    if (v.x < vleft)
      c |= kClipLeft;
    else if (v.x > vright)
      c |= kClipRight;
  } else {
    c = kClipNear;
    if (v.y < vtop)
      c |= kClipBelow;
    else if (v.y > vbottom)
      c |= kClipAbove;
    if (v.x < vleft)
      c |= kClipRight;
    else if (v.x > vright)
      c |= kClipLeft;
  }
  return c;
}

inline uint8_t strictybits(float y) { return y < vtop ? kClipAbove : (y > vbottom ? kClipBelow : 0); }
inline uint8_t strictxbits(float x) { return x < vleft ? kClipLeft : (x > vright ? kClipRight : 0); }

// Channels extrapolated past an edge's end can leave 0..255; they are clamped before packing.
inline uint32_t channel(uint32_t s, uint32_t e, float t) {
  const double d = (static_cast<double>(s) - static_cast<double>(e)) * static_cast<double>(t);
  const double v = static_cast<double>(s) - std::trunc(d);
  return static_cast<uint32_t>(std::clamp(v, 0.0, 255.0));
}

// Alpha is worked on where it stands (alpha x 2^24); only its top byte is kept.
inline uint32_t alphabyte(uint32_t s, uint32_t e, float t) {
  const double as = static_cast<double>(s & 0xFF000000u), ae = static_cast<double>(e & 0xFF000000u);
  const double v = as - std::trunc((as - ae) * static_cast<double>(t));
  return static_cast<uint32_t>(std::clamp(v, 0.0, 4278190080.0)) & 0xFF000000u;
}

uint32_t newcolour(uint32_t s, uint32_t e, float t) {
  switch (clipmode) {
    case 2: return 0xFF000000u + channel(s & 0xFF, e & 0xFF, t) * 0x010101u;
    case 3:
      return (channel(s >> 24, e >> 24, t) << 24) | (channel((s >> 16) & 0xFF, (e >> 16) & 0xFF, t) << 16) |
             (channel((s >> 8) & 0xFF, (e >> 8) & 0xFF, t) << 8) | channel(s & 0xFF, e & 0xFF, t);
    case 4: return alphabyte(s, e, t) | (s & 0x00FFFFFFu);
    case 6: return alphabyte(s, e, t) | (channel(s & 0xFF, e & 0xFF, t) * 0x010101u);
    default: return s;  // 0 and 5: the earlier vertex's colour
  }
}

inline float lerp(float s, float e, float t) { return s - (s - e) * t; }

struct WorkList {
  int slot[kSlots];
  uint8_t code[kSlots];
  int count;
};

enum class Plane { Near, Far, Below, Above, Left, Right };

int nextslot = 3;

// One clipping stage from `in` to `out`; false when fewer than three vertices remain.
bool clipstage(const WorkList& in, WorkList& out, Plane plane) {
  uint8_t bit = 0;
  float limit = 0;
  switch (plane) {
    case Plane::Near: bit = kClipNear, limit = nearq; break;
    case Plane::Far: bit = kClipFar, limit = farq; break;
    case Plane::Below: bit = kClipBelow, limit = vbottom; break;
    case Plane::Above: bit = kClipAbove, limit = vtop; break;
    case Plane::Left: bit = kClipLeft, limit = vleft; break;
    case Plane::Right: bit = kClipRight, limit = vright; break;
  }
  out.count = 0;
  int si = in.count - 1;
  for (int ei = 0; ei < in.count; si = ei, ++ei) {
    const uint8_t sc = in.code[si], ec = in.code[ei];
    if (!(sc & bit)) {
      out.slot[out.count] = in.slot[si];
      out.code[out.count++] = sc;
    }
    if (((sc ^ ec) & bit) == 0) continue;
    if (nextslot >= kSlots || out.count >= kSlots) return false;  // cannot happen for a triangle
    const VortelVertex& s = slots[in.slot[si]];
    const VortelVertex& e = slots[in.slot[ei]];
    VortelVertex& n = slots[nextslot];
    uint8_t code = 0;
    float t = 0;
    switch (plane) {
      case Plane::Near:
      case Plane::Far:
        t = (s.q - limit) / (s.q - e.q);
        n.x = lerp(s.x, e.x, t);
        n.y = lerp(s.y, e.y, t);
        n.z = plane == Plane::Near ? 0.0f : 1.0f;
        n.q = limit;
        code = kClipNear | strictybits(n.y) | strictxbits(n.x);
        break;
      case Plane::Below:
      case Plane::Above:
        t = (s.y - limit) / (s.y - e.y);
        n.x = lerp(s.x, e.x, t);
        n.y = limit;
        n.z = lerp(s.z, e.z, t);
        n.q = lerp(s.q, e.q, t);
        code = static_cast<uint8_t>((sc & ~(kClipAbove | kClipBelow | kClipLeft | kClipRight)) | bit | strictxbits(n.x));
        break;
      case Plane::Left:
      case Plane::Right:
        t = (s.x - limit) / (s.x - e.x);
        n.x = limit;
        n.y = lerp(s.y, e.y, t);
        n.z = lerp(s.z, e.z, t);
        n.q = lerp(s.q, e.q, t);
        code = static_cast<uint8_t>((sc & ~(kClipLeft | kClipRight)) | bit);
        break;
    }
    n.u = lerp(s.u, e.u, t);
    n.v = lerp(s.v, e.v, t);
    n.colour = newcolour(s.colour, e.colour, t);
    out.slot[out.count] = nextslot++;
    out.code[out.count++] = code;
  }
  return out.count >= 3;
}

uint8_t orcodes(const WorkList& w) {
  uint8_t c = 0;
  for (int i = 0; i < w.count; ++i) c |= w.code[i];
  return c;
}

}  // namespace

void rastersetviewport(float left, float top, float width, float height, float nearlimit, float farlimit) {
  vleft = left;
  vtop = top;
  vright = left + width;
  vbottom = top + height;
  nearq = nearlimit;
  farq = farlimit;
  for (VortelVertex& s : slots) s.specular = 0;
}

void rastersetmode(int32_t mode) {
  clipmode = mode;
  clipmask = mode == 5 ? kClipNear : 0xFF;
}

void clipcode(const VortelVertex* vertex, uint8_t* code) { *code = outcode(*vertex); }

void clipcodenear(const VortelVertex* vertex, uint8_t* code) {
  *code = (std::signbit(vertex->q) || vertex->q >= nearq) ? kClipNear : 0;
}

int rasterclippoly(const VortelVertex** vertices, const uint8_t* codes, uint8_t combined, int count) {
  if (static_cast<uint32_t>(clipmode) == 1 || static_cast<uint32_t>(clipmode) > 6) return -1;
  (void)count;  // always a triangle
  static WorkList a, b;
  a.count = 3;
  for (int i = 0; i < 3; ++i) {
    slots[i] = *vertices[i];
    slots[i].u *= slots[i].q;
    slots[i].v *= slots[i].q;
    a.slot[i] = i;
    a.code[i] = codes[i];
  }
  nextslot = 3;
  WorkList* cur = &a;
  WorkList* other = &b;
  auto stage = [&](Plane p) {
    if (!clipstage(*cur, *other, p)) return false;
    std::swap(cur, other);
    return true;
  };
  if (clipmode == 5) {
    if (!stage(Plane::Near)) return -1;
    uint8_t all = 0xFF;
    for (int i = 0; i < cur->count; ++i) all &= cur->code[i];
    if (all) return 0;
  } else {
    bool ran = false;
    if (combined & kClipNear) {
      if (!stage(Plane::Near)) return -1;
      ran = true;
    }
    if (combined & kClipFar) {
      if (!stage(Plane::Far)) return -1;
      ran = true;
    }
    if (ran) combined = orcodes(*cur);
    ran = false;
    if (combined & kClipBelow) {
      if (!stage(Plane::Below)) return -1;
      ran = true;
    }
    if (combined & kClipAbove) {
      if (!stage(Plane::Above)) return -1;
      ran = true;
    }
    if (ran) combined = orcodes(*cur);
    if ((combined & kClipLeft) && !stage(Plane::Left)) return -1;
    if ((combined & kClipRight) && !stage(Plane::Right)) return -1;
  }
  for (int i = 0; i < cur->count; ++i) {
    VortelVertex& v = slots[cur->slot[i]];
    const float inverse = 1.0f / v.q;
    v.u *= inverse;
    v.v *= inverse;
  }
  uint32_t indices[3 * kSlots];
  const int triangles = cur->count - 2;
  for (int i = 0; i < triangles; ++i) {
    indices[3 * i] = static_cast<uint32_t>(cur->slot[0]);
    indices[3 * i + 1] = static_cast<uint32_t>(cur->slot[i + 1]);
    indices[3 * i + 2] = static_cast<uint32_t>(cur->slot[i + 2]);
  }
  vortellive.drawtrimesh(triangles, slots, indices);
  return 0;
}

void rastertri(const VortelVertex** vertices, const uint8_t* codes) {
  const uint8_t combined = static_cast<uint8_t>((codes[0] | codes[1] | codes[2]) & clipmask);
  if (!combined) {
    vortellive.drawtri(vertices[0], vertices[1], vertices[2]);
    return;
  }
  rasterclippoly(vertices, codes, combined, 3);
}

namespace {
void quadtriangle(const VortelVertex** v, uint8_t* c) {
  if (c[0] & c[1] & c[2]) return;
  const uint8_t combined = c[0] | c[1] | c[2];
  if (!combined)
    vortellive.drawtri(v[0], v[1], v[2]);
  else
    rasterclippoly(v, c, combined, 3);
}
}  // namespace

void rasterquad(const VortelVertex** v, uint8_t* c) {
  if (!(c[0] | c[1] | c[2] | c[3])) {
    vortellive.drawquad(v[0], v[1], v[2], v[3]);
    return;
  }
  quadtriangle(v, c);
  // Second triangle (a, c, d).
  if (c[0] & c[2] & c[3]) return;
  if (!(c[0] | c[2] | c[3])) {
    vortellive.drawtri(v[0], v[2], v[3]);
    return;
  }
  v[1] = v[2];
  v[2] = v[3];
  c[1] = c[2];
  c[2] = c[3];
  rasterclippoly(v, c, static_cast<uint8_t>(c[0] | c[1] | c[2]), 3);
}

void rastertriclip(const VortelVertex* a, const VortelVertex* b, const VortelVertex* c) {
  uint8_t codes[3] = {outcode(*a), outcode(*b), outcode(*c)};
  if (codes[0] & codes[1] & codes[2]) return;
  const uint8_t combined = codes[0] | codes[1] | codes[2];
  if (!combined) {
    vortellive.drawtri(a, b, c);
    return;
  }
  const VortelVertex* v[3] = {a, b, c};
  rasterclippoly(v, codes, combined, 3);
}

namespace {

// Boundary values count as outside when a moved end point is classified again.
inline uint8_t edgeybits(float y) { return y <= vtop ? kClipAbove : (y >= vbottom ? kClipBelow : 0); }
inline uint8_t edgexbits(float x) { return x <= vleft ? kClipLeft : (x >= vright ? kClipRight : 0); }

constexpr uint8_t kYBits = kClipAbove | kClipBelow;
constexpr uint8_t kXBits = kClipLeft | kClipRight;

// Moves p onto the near plane towards o.
void edgenear(VortelVertex& p, uint8_t& pc, const VortelVertex& o) {
  if (!(pc & kClipNear) || p.q == o.q) return;
  const float t = (p.q - nearq) / (p.q - o.q);
  p.x = lerp(p.x, o.x, t);
  p.y = lerp(p.y, o.y, t);
  p.z = 0.0f;
  p.q = nearq;
  pc = static_cast<uint8_t>((pc & ~(kYBits | kXBits)) | edgeybits(p.y) | edgexbits(p.x));
}

// Moves p onto its x boundary towards o; an edge along the boundary stays where it is.
void edgex(VortelVertex& p, uint8_t& pc, const VortelVertex& o) {
  float limit;
  if (pc & kClipLeft)
    limit = vleft;
  else if (pc & kClipRight)
    limit = vright;
  else
    return;
  if (p.x == o.x) return;
  p.y = p.y - (p.y - o.y) * (p.x - limit) / (p.x - o.x);
  p.x = limit;
  pc = static_cast<uint8_t>((pc & ~kYBits) | edgeybits(p.y));
}

void edgey(VortelVertex& p, uint8_t pc, const VortelVertex& o) {
  float limit;
  if (pc & kClipAbove)
    limit = vtop;
  else if (pc & kClipBelow)
    limit = vbottom;
  else
    return;
  if (p.y == o.y) return;
  p.x = p.x - (p.x - o.x) * (p.y - limit) / (p.y - o.y);
  p.y = limit;
}

}  // namespace

void rasterclipedge(const VortelVertex* a, const VortelVertex* b, uint8_t codea, uint8_t codeb) {
  if (!codea && !codeb) {
    vortellive.drawline(a, b);
    return;
  }
  VortelVertex pa{a->x, a->y, a->z, a->q, a->colour, a->specular, 0.0f, 0.0f};
  VortelVertex pb{b->x, b->y, b->z, b->q, b->colour, b->specular, 0.0f, 0.0f};
  edgenear(pa, codea, pb);
  if (codea & codeb) return;
  edgenear(pb, codeb, pa);
  if (codea & codeb) return;
  edgex(pa, codea, pb);
  if (codea & codeb) return;
  edgex(pb, codeb, pa);
  if (codea & codeb) return;
  edgey(pa, codea, pb);
  edgey(pb, codeb, pa);
  vortellive.drawline(&pa, &pb);
}

void rasterlinemesh(int32_t count, const VortelVertex* vertices, const uint32_t* pairs, const uint8_t* codes) {
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t ia = pairs[2 * i], ib = pairs[2 * i + 1];
    if (codes[ia] & codes[ib]) continue;
    rasterclipedge(&vertices[ia], &vertices[ib], codes[ia], codes[ib]);
  }
}

void rastertrimesh(int32_t count, const VortelVertex* vertices, const uint32_t* triples, const uint8_t* codes) {
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t* t = triples + 3 * i;
    const uint8_t c[3] = {codes[t[0]], codes[t[1]], codes[t[2]]};
    if (c[0] & c[1] & c[2]) continue;
    const VortelVertex* v[3] = {&vertices[t[0]], &vertices[t[1]], &vertices[t[2]]};
    rastertri(v, c);
  }
}

void rasterquadmesh(int32_t count, const VortelVertex* vertices, const uint32_t* quads, const uint8_t* codes) {
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t* q = quads + 4 * i;
    uint8_t c[4] = {codes[q[0]], codes[q[1]], codes[q[2]], codes[q[3]]};
    if (c[0] & c[1] & c[2] & c[3]) continue;
    const VortelVertex* v[4] = {&vertices[q[0]], &vertices[q[1]], &vertices[q[2]], &vertices[q[3]]};
    rasterquad(v, c);
  }
}

void rasterquadclip(const VortelVertex* a, const VortelVertex* b, const VortelVertex* c, const VortelVertex* d) {
  uint8_t codes[4] = {outcode(*a), outcode(*b), outcode(*c), outcode(*d)};
  if (codes[0] & codes[1] & codes[2] & codes[3]) return;
  const VortelVertex* v[4] = {a, b, c, d};
  rasterquad(v, codes);
}

namespace {

// Batches trivially visible triangles into one drawtrimesh; clipped ones go through the clipper.
class Batcher {
 public:
  Batcher(const VortelVertex* vertices, int flushbeforeclip) : vertices_(vertices), flushbeforeclip_(flushbeforeclip) {}
  ~Batcher() { flush(); }
  Batcher(const Batcher&) = delete;
  Batcher& operator=(const Batcher&) = delete;

  void triangle(uint32_t i0, uint32_t i1, uint32_t i2, const uint8_t* codes) {
    uint8_t c[3] = {codes[i0], codes[i1], codes[i2]};
    if (c[0] & c[1] & c[2]) return;
    const uint8_t combined = static_cast<uint8_t>((c[0] | c[1] | c[2]) & clipmask);
    if (!combined) {
      batch[count_++] = i0;
      batch[count_++] = i1;
      batch[count_++] = i2;
      if (count_ > kBatchIndices - 3) flush();
      return;
    }
    if (count_ / 3 > flushbeforeclip_) flush();
    const VortelVertex* v[3] = {&vertices_[i0], &vertices_[i1], &vertices_[i2]};
    rasterclippoly(v, c, combined, 3);
  }

  void flush() {
    if (count_) vortellive.drawtrimesh(count_ / 3, vertices_, batch);
    count_ = 0;
  }

 private:
  const VortelVertex* vertices_;
  int flushbeforeclip_;
  int count_ = 0;
};

}  // namespace

void rastertrimeshbatch(int32_t count, const VortelVertex* vertices, const uint32_t* triples, const uint8_t* codes) {
  Batcher b(vertices, 200);
  for (int32_t i = 0; i < count; ++i) b.triangle(triples[3 * i], triples[3 * i + 1], triples[3 * i + 2], codes);
}

void rasterquadmeshbatch(int32_t count, const VortelVertex* vertices, const uint32_t* quads, const uint8_t* codes) {
  Batcher b(vertices, 4);
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t* q = quads + 4 * i;
    b.triangle(q[0], q[1], q[2], codes);
    b.triangle(q[0], q[2], q[3], codes);
  }
}

const VortelVertex* rasterworkslots() { return slots; }
