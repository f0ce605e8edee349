#include "holes.h"

#include <algorithm>
#include <cmath>

namespace mkdemo {
namespace {

constexpr uint8_t kTeeCodes[4] = {80, 81, 82, 91};
constexpr uint8_t kFirstPinCode = 83;
constexpr uint32_t kWidth = 160;
constexpr double kBackTeeRow = 24;
constexpr int kBorder = 3;  // out of bounds round the grid

struct Pt {
  double x = 0, y = 0;
};
Pt operator+(Pt a, Pt b) { return {a.x + b.x, a.y + b.y}; }
Pt operator-(Pt a, Pt b) { return {a.x - b.x, a.y - b.y}; }
Pt operator*(Pt a, double k) { return {a.x * k, a.y * k}; }
double dot(Pt a, Pt b) { return a.x * b.x + a.y * b.y; }
double len(Pt a) { return std::sqrt(dot(a, a)); }
Pt unit(Pt a) { return a * (1.0 / len(a)); }
Pt across(Pt u) { return {u.y, -u.x}; }

// Deterministic lattice noise: the same bytes on every run and every machine.
uint32_t hash3(int32_t x, int32_t y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return h ^ (h >> 16);
}
double lattice(int32_t x, int32_t y, uint32_t seed) { return (hash3(x, y, seed) & 0xFFFF) / 32767.5 - 1.0; }
double smooth(double t) { return t * t * (3.0 - 2.0 * t); }
double valueNoise(double x, double y, double scale, uint32_t seed) {
  const double fx = x / scale, fy = y / scale;
  const double ix = std::floor(fx), iy = std::floor(fy);
  const int32_t x0 = static_cast<int32_t>(ix), y0 = static_cast<int32_t>(iy);
  const double tx = smooth(fx - ix), ty = smooth(fy - iy);
  const double a = lattice(x0, y0, seed), b = lattice(x0 + 1, y0, seed);
  const double c = lattice(x0, y0 + 1, seed), d = lattice(x0 + 1, y0 + 1, seed);
  return (a + (b - a) * tx) * (1 - ty) + (c + (d - c) * tx) * ty;
}
double ground(double x, double y, uint32_t seed, double amplitude) {
  return amplitude * (valueNoise(x, y, 80, seed) + 0.33 * valueNoise(x, y, 36, seed + 1) +
                      0.12 * valueNoise(x, y, 14, seed + 2));
}

struct Random {
  uint32_t state;
  uint32_t next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  }
  int below(int n) { return static_cast<int>(next() % static_cast<uint32_t>(n)); }
};

// An ellipse in the frame of direction u: `ra` along u, `rb` across it.
struct Blob {
  Pt centre, u{0, 1};
  double ra = 1, rb = 1;
  uint8_t surface = kBunker;
  double level = 0;  // water: the level of its surface
  // Normalised radius: below 1 inside.
  double at(Pt p) const {
    const Pt d = p - centre;
    const double a = dot(d, u) / ra, b = dot(d, across(u)) / rb;
    return std::sqrt(a * a + b * b);
  }
};

struct Line {
  std::vector<Pt> points;
  double length() const {
    double s = 0;
    for (size_t i = 1; i < points.size(); ++i) s += len(points[i] - points[i - 1]);
    return s;
  }
  Pt pointAt(double s) const {
    for (size_t i = 1; i < points.size(); ++i) {
      const double l = len(points[i] - points[i - 1]);
      if (s <= l || i + 1 == points.size()) return points[i - 1] + unit(points[i] - points[i - 1]) * s;
      s -= l;
    }
    return points.back();
  }
  Pt directionAt(double s) const {
    for (size_t i = 1; i < points.size(); ++i) {
      const double l = len(points[i] - points[i - 1]);
      if (s <= l || i + 1 == points.size()) return unit(points[i] - points[i - 1]);
      s -= l;
    }
    return {0, 1};
  }
  // Distance to the line and the length along it of the nearest point.
  double distance(Pt p, double* along) const {
    double best = 1e30, start = 0;
    for (size_t i = 1; i < points.size(); ++i) {
      const Pt a = points[i - 1], d = points[i] - a;
      const double l = len(d);
      double t = dot(p - a, d) / (l * l);
      if (i == 1) t = std::min(t, 1.0);
      else if (i + 1 == points.size()) t = std::max(t, 0.0);
      else t = std::clamp(t, 0.0, 1.0);
      const double dist = len(p - (a + d * t));
      if (dist < best) {
        best = dist;
        *along = start + t * l;
      }
      start += l;
    }
    return best;
  }
};

uint32_t roundUp8(double v) { return (static_cast<uint32_t>(std::ceil(v)) + 7u) & ~7u; }

class Builder {
 public:
  Builder(uint32_t width, uint32_t depth, uint32_t seed) : seed_(seed), rnd_{seed * 2654435761u + 17u} {
    hole_ = holewriter::FlatHole(width, depth, kHeavyRough);
    hole_.version = 12;
  }

  holewriter::HoleDescription& hole() { return hole_; }
  Random& random() { return rnd_; }

  size_t index(Pt p) const {
    const double c = std::clamp(std::round(p.x), 0.0, hole_.width - 1.0);
    const double r = std::clamp(std::round(p.y), 0.0, hole_.depth - 1.0);
    return hole_.index(static_cast<uint32_t>(c), static_cast<uint32_t>(r));
  }

  template <typename F>
  void forEach(F f) {
    for (uint32_t r = 0; r < hole_.depth; ++r)
      for (uint32_t c = 0; c < hole_.width; ++c) f(Pt{static_cast<double>(c), static_cast<double>(r)}, hole_.index(c, r));
  }

  void setSurface(size_t i, uint8_t s) { hole_.surfaces[i] = static_cast<uint8_t>(s << 4); }
  uint8_t surface(size_t i) const { return hole_.surfaces[i] >> 4; }

  void baseHeights(double amplitude, double rise) {
    forEach([&](Pt p, size_t i) { hole_.heights[i] = static_cast<float>(ground(p.x, p.y, seed_, amplitude) + rise * p.y); });
  }

  void outOfBounds() {
    forEach([&](Pt p, size_t i) {
      if (p.x < kBorder || p.y < kBorder || p.x >= hole_.width - kBorder || p.y >= hole_.depth - kBorder)
        setSurface(i, kOutOfBounds);
    });
  }

  // Levels the ground inside `weight` (1 = level, 0 = untouched) towards `target`.
  template <typename W, typename T>
  void level(W weight, T target) {
    forEach([&](Pt p, size_t i) {
      const double w = weight(p);
      if (w > 0) hole_.heights[i] = static_cast<float>(hole_.heights[i] * (1 - w) + target(p) * w);
    });
  }

  // Water: flat at a level below the ground it covers, with banks rising to the ground round it.
  void water(Blob blob) {
    double lowest = 1e30;
    forEach([&](Pt p, size_t i) {
      if (blob.at(p) < 1) lowest = std::min(lowest, static_cast<double>(hole_.heights[i]));
    });
    if (lowest > 1e29) return;
    blob.level = lowest - 0.4;
    const double narrow = std::min(blob.ra, blob.rb);
    forEach([&](Pt p, size_t i) {
      const double s = blob.at(p);
      const uint8_t was = surface(i);
      if (was == kTee || was == kGreen || was == kFringe || was == kOutOfBounds) return;
      if (s < 1) {
        setSurface(i, kWaterSurface);
        hole_.heights[i] = static_cast<float>(blob.level);
      } else if (s < 1 + 5 / narrow) {
        const double cap = blob.level + 0.3 + (s - 1) * narrow * 0.45;
        hole_.heights[i] = static_cast<float>(std::min(static_cast<double>(hole_.heights[i]), cap));
      }
    });
  }

  void bunker(const Blob& blob) {
    forEach([&](Pt p, size_t i) {
      const double s = blob.at(p);
      if (s >= 1) return;
      const uint8_t was = surface(i);
      if (was == kTee || was == kGreen || was == kWaterSurface || was == kOutOfBounds) return;
      setSurface(i, blob.surface);
      hole_.heights[i] -= static_cast<float>(0.6 * (1 - s * s));
    });
  }

  // Trees and bushes on a jittered grid, only where heavy rough surrounds them.
  void plantObjects(int spacing, int clearance) {
    const int w = static_cast<int>(hole_.width), d = static_cast<int>(hole_.depth);
    for (int y = kBorder + clearance; y < d - kBorder - clearance; y += spacing)
      for (int x = kBorder + clearance; x < w - kBorder - clearance; x += spacing) {
        const int cx = std::min(x + rnd_.below(spacing / 2 + 1), w - 1), cy = std::min(y + rnd_.below(spacing / 2 + 1), d - 1);
        const bool plant = rnd_.below(3) != 0;
        const int kind = rnd_.below(10);
        if (!plant) continue;
        bool clear = true;
        for (int j = -clearance; j <= clearance && clear; ++j)
          for (int i = -clearance; i <= clearance && clear; ++i) {
            const int px = cx + i, py = cy + j;
            if (px < 0 || py < 0 || px >= w || py >= d) continue;
            const size_t at = hole_.index(static_cast<uint32_t>(px), static_cast<uint32_t>(py));
            if (surface(at) != kHeavyRough || hole_.codes[at] != 0) clear = false;
          }
        if (!clear) continue;
        const size_t at = hole_.index(static_cast<uint32_t>(cx), static_cast<uint32_t>(cy));
        hole_.codes[at] = kind < 7 ? static_cast<uint8_t>(kFirstTreeCode + kind % kTreeKinds)
                                   : static_cast<uint8_t>(kFirstBushCode + kind % kBushKinds);
      }
  }

  // One building (a greenkeeper's hut) in the first open stretch of heavy rough from the grid's far corner.
  void placeBuilding() {
    const int w = static_cast<int>(hole_.width), d = static_cast<int>(hole_.depth), clear = 4;
    for (int y = d - kBorder - clear - 1; y > kBorder + clear; --y)
      for (int x = kBorder + clear; x < w - kBorder - clear; ++x) {
        bool open = true;
        for (int j = -clear; j <= clear && open; ++j)
          for (int i = -clear; i <= clear && open; ++i) {
            const size_t at = hole_.index(static_cast<uint32_t>(x + i), static_cast<uint32_t>(y + j));
            open = surface(at) == kHeavyRough && hole_.codes[at] == 0;
          }
        if (!open) continue;
        hole_.codes[hole_.index(static_cast<uint32_t>(x), static_cast<uint32_t>(y))] = kBuildingCode;
        return;
      }
  }

  void marker(Pt p, uint8_t code, uint32_t* headerSlot) {
    const size_t i = index(p);
    hole_.codes[i] = code;
    *headerSlot = static_cast<uint32_t>(i);
  }

  // The shade of each cell's first corner from the slope towards a light in the south-west.
  void shade() {
    const uint32_t w = hole_.width, d = hole_.depth;
    for (uint32_t r = 0; r < d; ++r)
      for (uint32_t c = 0; c < w; ++c) {
        const size_t i = hole_.index(c, r);
        const double dx = hole_.heights[hole_.index(std::min(c + 1, w - 1), r)] - hole_.heights[hole_.index(c ? c - 1 : 0, r)];
        const double dy = hole_.heights[hole_.index(c, std::min(r + 1, d - 1))] - hole_.heights[hole_.index(c, r ? r - 1 : 0)];
        const int light = static_cast<int>(std::lround(9.0 - (dx * 0.6 + dy * 0.8) * 4.0));
        hole_.surfaces[i] = static_cast<uint8_t>((hole_.surfaces[i] & 0xF0) | std::clamp(light, 2, 15));
      }
  }

  // Detail tiles where surfaces meet: a cell shows the surface of its most common differing neighbour (and of a
  // second one as overlay) where a smoothed, slightly noisy field of that neighbour's cells passes one half.
  void borderTiles() {
    const int w = static_cast<int>(hole_.width), d = static_cast<int>(hole_.depth);
    auto at = [&](int c, int r) { return surface(hole_.index(static_cast<uint32_t>(std::clamp(c, 0, w - 1)), static_cast<uint32_t>(std::clamp(r, 0, d - 1)))); };
    for (int r = 0; r < d; ++r)
      for (int c = 0; c < w; ++c) {
        const uint8_t own = at(c, r);
        if (own == kOutOfBounds) continue;
        int count[16] = {};
        for (int j = -1; j <= 1; ++j)
          for (int i = -1; i <= 1; ++i) {
            const uint8_t s = at(c + i, r + j);
            if (s != own && s != kOutOfBounds) ++count[s];
          }
        int first = 0, second = 0;
        for (int s = 1; s < 16; ++s) {
          if (count[s] > count[first]) second = first, first = s;
          else if (count[s] > count[second]) second = s;
        }
        if (first == 0 || count[first] == 0) continue;
        if (count[second] < 2) second = 0;
        auto field = [&](uint8_t other, bool marked[256]) {
          int n = 0;
          for (int sy = 0; sy < 16; ++sy)
            for (int sx = 0; sx < 16; ++sx) {
              // Cell centres lie at whole coordinates + 0.5; the field is bilinear between them.
              const double x = c + (sx + 0.5) / 16.0 - 0.5, y = r + (sy + 0.5) / 16.0 - 0.5;
              const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
              const double tx = x - x0, ty = y - y0;
              auto f = [&](int i, int j) { return at(i, j) == other ? 1.0 : 0.0; };
              const double v = (f(x0, y0) * (1 - tx) + f(x0 + 1, y0) * tx) * (1 - ty) +
                               (f(x0, y0 + 1) * (1 - tx) + f(x0 + 1, y0 + 1) * tx) * ty +
                               0.12 * valueNoise(c * 16.0 + sx, r * 16.0 + sy, 5, seed_ + 9);
              marked[sy * 16 + sx] = v > 0.5;
              n += marked[sy * 16 + sx];
            }
          return n;
        };
        bool primary[256], overlay[256];
        if (field(static_cast<uint8_t>(first), primary) == 0) continue;
        const bool withOverlay = second != 0 && field(static_cast<uint8_t>(second), overlay) > 0;
        holewriter::MaskPair pair{holewriter::AddRunMask(hole_, primary), withOverlay ? holewriter::AddRunMask(hole_, overlay) : 0};
        hole_.maskPairs.push_back(pair);
        hole_.detailTiles.push_back({static_cast<uint8_t>(first), static_cast<uint8_t>(withOverlay ? second : 0),
                                     static_cast<uint16_t>(hole_.maskPairs.size() - 1), 0});
        hole_.tiles[hole_.index(static_cast<uint32_t>(c), static_cast<uint32_t>(r))] = static_cast<uint16_t>(hole_.detailTiles.size());
      }
  }

  // Each tree casts an elliptical shadow away from the light: cells wholly inside are shaded whole, cells on its
  // edge through a mask. A cell without a border tile gets a tile with no second surface for its shadow.
  void treeShadows() {
    const int w = static_cast<int>(hole_.width), d = static_cast<int>(hole_.depth);
    for (int r = 0; r < d; ++r)
      for (int c = 0; c < w; ++c) {
        const uint8_t code = hole_.codes[hole_.index(static_cast<uint32_t>(c), static_cast<uint32_t>(r))];
        if (code < kFirstTreeCode || code >= kFirstTreeCode + kTreeKinds) continue;
        const double cx = c + 0.5 + 2.2, cy = r + 0.5 + 1.0, ra = 2.6, rb = 1.7;
        for (int j = r - 2; j <= r + 4; ++j)
          for (int i = c - 1; i <= c + 6; ++i) {
            if (i < 0 || j < 0 || i >= w || j >= d) continue;
            bool marked[256];
            int n = 0;
            for (int k = 0; k < 256; ++k) {
              const double x = i + (k % 16 + 0.5) / 16.0 - cx, y = j + (k / 16 + 0.5) / 16.0 - cy;
              marked[k] = (x / ra) * (x / ra) + (y / rb) * (y / rb) < 1.0;
              n += marked[k];
            }
            if (n == 0) continue;
            const size_t cell = hole_.index(static_cast<uint32_t>(i), static_cast<uint32_t>(j));
            if (surface(cell) == kWaterSurface || surface(cell) == kOutOfBounds) continue;
            if (hole_.tiles[cell] == 0) {
              hole_.detailTiles.push_back({0, 0, 0, 0});
              hole_.tiles[cell] = static_cast<uint16_t>(hole_.detailTiles.size());
            }
            holewriter::DetailTile& tile = hole_.detailTiles[hole_.tiles[cell] - 1u];
            if (tile.shadow == 0xFFFFFFFFu) continue;
            tile.shadow = n == 256 ? 0xFFFFFFFFu : holewriter::AddRunMask(hole_, marked);
          }
      }
  }

  void finish() {
    uint32_t bound = 0;
    for (uint8_t c : hole_.codes)
      if (c != 0 && c < 128) bound = std::max<uint32_t>(bound, c + 1u);
    hole_.objectBound = bound;
  }

 private:
  uint32_t seed_;
  Random rnd_;
  holewriter::HoleDescription hole_;
};

// Weight that is 1 inside normalised radius 1 and falls to 0 at `outer`.
double falloff(double s, double outer) {
  if (s <= 1) return 1;
  if (s >= outer) return 0;
  return smooth(1 - (s - 1) / (outer - 1));
}

}  // namespace

GeneratedHole GenerateHole(const HolePlan& plan) {
  const double L = plan.length, dog = plan.par == 3 ? 0 : plan.dogleg;
  const double cx = kWidth / 2.0;
  Line line;
  const Pt tee{cx - 0.5 * dog, kBackTeeRow};
  if (plan.par == 3) {
    line.points = {tee, tee + Pt{0, L}};
  } else {
    const double a1 = 0.6 * L, a2 = 0.4 * L, d2 = 0.4 * dog;
    const Pt bend = tee + Pt{dog, std::sqrt(a1 * a1 - dog * dog)};
    line.points = {tee, bend, bend + Pt{d2, std::sqrt(a2 * a2 - d2 * d2)}};
  }
  const Pt green = line.points.back();
  const Pt gu = line.directionAt(L), gv = across(gu);
  const uint32_t depth = roundUp8(green.y + 40);

  Builder b(kWidth, depth, plan.seed);
  Random& rnd = b.random();
  b.baseHeights(plan.par == 3 ? 2.5 : 3.2, 0.0);

  // Fairway, rough, heavy rough.
  const double fairwayStart = plan.par == 3 ? L - 30 : 95;
  const double phase = rnd.below(628) / 100.0;
  b.forEach([&](Pt p, size_t i) {
    double along = 0;
    const double d = line.distance(p, &along);
    const double half = plan.par == 3 ? 8 : 15 + 3 * std::sin(along * 0.03 + phase);
    if (along >= fairwayStart && along <= L && d < half) b.setSurface(i, kFairway);
    else if (along >= -8 && along <= L + 24 && d < half + 10) b.setSurface(i, kRough);
  });
  b.outOfBounds();

  // Fairway bunkers in the landing area of the long holes.
  if (plan.par >= 4 && plan.bunkers > 2) {
    const double s = std::min(255.0, L - 110);
    const double side = (plan.seed & 1) ? 1 : -1;
    Blob sand{line.pointAt(s) + across(line.directionAt(s)) * (side * 17), line.directionAt(s), 7, 4, kSand};
    b.bunker(sand);
  }

  // The green and its fringe, levelled with a slight tilt towards the front.
  const double ga = plan.par == 3 ? 11 : 12, gb = plan.par == 3 ? 13 : 14;
  Blob greenBlob{green, gu, gb, ga}, fringeBlob{green, gu, gb + 2.5, ga + 2.5};
  const double greenHeight = b.hole().heights[b.index(green)];
  b.level([&](Pt p) { return falloff(fringeBlob.at(p), 1.6); },
          [&](Pt p) { return greenHeight + 0.02 * dot(p - green, gu); });

  // Greenside bunkers: left, right, behind.
  const Pt bunkerSpots[3] = {green + gv * (ga + 6) - gu * 3, green - gv * (ga + 6) - gu * 5, green + gu * (gb + 6)};
  for (int k = 0; k < std::min(plan.bunkers, 3); ++k) {
    Blob bunker{bunkerSpots[k], gu, k == 2 ? 3.5 : 6, k == 2 ? 7 : 3.5, kBunker};
    b.bunker(bunker);
  }
  b.forEach([&](Pt p, size_t i) {
    if (greenBlob.at(p) < 1) b.setSurface(i, kGreen);
    else if (fringeBlob.at(p) < 1 && b.surface(i) != kBunker) b.setSurface(i, kFringe);
  });

  // Tee boxes along the first leg; each is levelled.
  const double offsets3[4] = {0, 10, 20, 34}, offsets[4] = {0, 14, 28, 52};
  const Pt tu = line.directionAt(0), tv = across(tu);
  GeneratedHole out;
  Pt tees[4];
  for (int k = 0; k < 4; ++k) {
    const double off = plan.par == 3 ? offsets3[k] : offsets[k];
    tees[k] = line.pointAt(off);
    out.yards[k] = static_cast<int>(std::lround(L - off));
    const Pt centre = tees[k];
    const double teeHeight = b.hole().heights[b.index(centre)];
    Blob box{centre, tu, 4, 6};
    b.level([&](Pt p) { return falloff(box.at(p), 1.8); }, [&](Pt) { return teeHeight; });
    b.forEach([&](Pt p, size_t i) {
      const Pt d = p - centre;
      if (std::fabs(dot(d, tu)) <= 3.5 && std::fabs(dot(d, tv)) <= 5) b.setSurface(i, kTee);
    });
  }

  // Water.
  const double side = (plan.seed & 2) ? 1 : -1;
  switch (plan.water) {
    case Water::None: break;
    case Water::Side: {
      const double s = L * 0.55;
      b.water(Blob{line.pointAt(s) + across(line.directionAt(s)) * (side * 30), line.directionAt(s), 26, 9, kWaterSurface});
      break;
    }
    case Water::FrontOfGreen: b.water(Blob{green - gu * (gb + 11), gu, 7, ga + 8, kWaterSurface}); break;
    case Water::Creek: {
      // Carried from the tee on a par 4, from the fairway on a par 5.
      const double s = plan.par == 4 ? L * 0.4 : L * 0.62;
      b.water(Blob{line.pointAt(s), line.directionAt(s), 4, 400, kWaterSurface});
      break;
    }
    case Water::BesideGreen: b.water(Blob{green + gv * (side * (ga + 14)), gu, 18, 7, kWaterSurface}); break;
    case Water::Lake: {
      const double s = L * 0.63;
      b.water(Blob{line.pointAt(s) + across(line.directionAt(s)) * (side * 21), line.directionAt(s), 15, 8, kWaterSurface});
      break;
    }
  }

  b.plantObjects(7, 3);
  b.placeBuilding();
  for (int k = 0; k < 4; ++k) b.marker(tees[k], kTeeCodes[k], &b.hole().teeStart[k]);
  const Pt pins[4] = {green + gu * 2 - gv * 3, green - gu * 5 + gv * 4, green + gu * 6 + gv * 2, green - gu * 2 - gv * 6};
  for (int k = 0; k < 4; ++k) b.marker(pins[k], static_cast<uint8_t>(kFirstPinCode + k), &b.hole().pins[k]);
  b.shade();
  if (plan.detail) {
    b.borderTiles();
    b.treeShadows();
  }
  b.finish();
  out.terrain = std::move(b.hole());
  return out;
}

GeneratedHole GenerateRange() {
  constexpr uint32_t width = 240, depth = 344;
  const double cx = width / 2.0;
  Builder b(width, depth, 4242);
  b.baseHeights(1.0, 0.01);
  b.forEach([&](Pt p, size_t i) {
    if (p.x >= 20 && p.x < width - 20 && p.y >= 30) b.setSurface(i, kFairway);
    else if (p.x >= 12 && p.x < width - 12 && p.y >= 10) b.setSurface(i, kRough);
  });
  b.outOfBounds();
  const Pt targets[4] = {{cx - 40, 114}, {cx + 30, 164}, {cx - 20, 214}, {cx + 35, 274}};
  for (const Pt& t : targets) {
    const double h = b.hole().heights[b.index(t)];
    Blob green{t, {0, 1}, 9, 9}, fringe{t, {0, 1}, 11, 11};
    b.level([&](Pt p) { return falloff(fringe.at(p), 1.5); }, [&](Pt) { return h; });
    b.forEach([&](Pt p, size_t i) {
      if (green.at(p) < 1) b.setSurface(i, kGreen);
      else if (fringe.at(p) < 1) b.setSurface(i, kFringe);
    });
  }
  // One long tee line across the front.
  const double teeHeight = b.hole().heights[b.index({cx, 22})];
  b.level([&](Pt p) { return p.y >= 14 && p.y <= 30 && p.x >= 36 && p.x <= width - 36 ? 1.0 : 0.0; },
          [&](Pt) { return teeHeight; });
  b.forEach([&](Pt p, size_t i) {
    if (p.y >= 17 && p.y <= 27 && p.x >= 40 && p.x < width - 40) b.setSurface(i, kTee);
  });
  b.plantObjects(6, 2);
  GeneratedHole out;
  for (int k = 0; k < 4; ++k) {
    b.marker({cx - 30 + 20 * k, 22}, kTeeCodes[k], &b.hole().teeStart[k]);
    b.marker(targets[k], static_cast<uint8_t>(kFirstPinCode + k), &b.hole().pins[k]);
    out.yards[k] = static_cast<int>(std::lround(targets[k].y - 22));
  }
  b.shade();
  b.finish();
  out.terrain = std::move(b.hole());
  return out;
}

const std::vector<HolePlan>& SedgefenPlans() {
  static const std::vector<HolePlan> plans = {
      {4, 395, 18, Water::None, 2, 101},         {4, 372, -20, Water::Lake, 3, 102, true},
      {3, 168, 0, Water::FrontOfGreen, 2, 103},  {5, 528, 25, Water::None, 3, 104},
      {4, 418, 0, Water::Creek, 2, 105},         {4, 356, -15, Water::Side, 2, 106},
      {3, 192, 0, Water::None, 3, 107},          {4, 405, 20, Water::None, 3, 108},
      {5, 545, -22, Water::BesideGreen, 3, 109}, {4, 386, 10, Water::None, 2, 110},
      {3, 154, 0, Water::FrontOfGreen, 2, 111},  {4, 430, -18, Water::None, 3, 112},
      {5, 512, 20, Water::Creek, 3, 113},        {4, 364, 0, Water::BesideGreen, 2, 114},
      {4, 402, 24, Water::None, 3, 115},         {3, 205, 0, Water::None, 3, 116},
      {4, 440, -12, Water::Side, 2, 117},        {5, 560, 16, Water::None, 3, 118},
  };
  return plans;
}

}  // namespace mkdemo
