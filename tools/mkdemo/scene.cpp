#include "scene.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "shapewriter.h"

namespace mkdemo {
namespace {

// Palette layout: 0 black, 14 ramps of 16 shades from entry 16 (one per material), 240-254 fixed colours,
// 255 the colour key.
enum Ramp {
  kRampFairway, kRampSand, kRampRough, kRampHeavy, kRampWater, kRampTee, kRampGreen, kRampBunker, kRampOut,
  kRampPath, kRampFringe, kRampBark, kRampLeaf, kRampSky, kRampCount
};
constexpr uint32_t kRampBase[kRampCount] = {
    0x4E9A3A, 0xC8B27A, 0x3F7A2E, 0x2E5A22, 0x2F5F9A, 0x5AA848, 0x62C050, 0xE0D098,
    0x56683A, 0x8C8C84, 0x55AC44, 0x6A4A2C, 0x2F6A2A, 0x7AAAE8};
constexpr uint8_t kWhite = 240, kRed = 241, kGrey = 242, kHill = 243, kFarHill = 244, kCloud = 245, kKey = 255;

uint8_t rampIndex(int ramp, int shade) { return static_cast<uint8_t>(16 + ramp * 16 + std::clamp(shade, 0, 15)); }

std::vector<uint32_t> palette() {
  std::vector<uint32_t> p(256, 0xFF000000u);
  for (int r = 0; r < kRampCount; ++r)
    for (int k = 0; k < 16; ++k) {
      const double f = 0.62 + 0.76 * k / 15.0;
      uint32_t c = 0xFF000000u;
      for (int shift : {16, 8, 0})
        c |= static_cast<uint32_t>(std::min(255.0, ((kRampBase[r] >> shift) & 0xFF) * f)) << shift;
      p[rampIndex(r, k)] = c;
    }
  p[kWhite] = 0xFFF4F4F0;
  p[kRed] = 0xFFD02020;
  p[kGrey] = 0xFFB8B8B0;
  p[kHill] = 0xFF4A6A48;
  p[kFarHill] = 0xFF7890A0;
  p[kCloud] = 0xFFE8EEF6;
  p[kKey] = 0xFFFF00FF;
  return p;
}

// Lattice noise from an integer hash: the same values on every machine.
uint32_t mix(uint32_t v) {
  v ^= v >> 16;
  v *= 0x7FEB352Du;
  v ^= v >> 15;
  v *= 0x846CA68Bu;
  return v ^ (v >> 16);
}
double lattice(int x, int y, uint32_t seed) {
  return (mix(static_cast<uint32_t>(x) * 73856093u ^ static_cast<uint32_t>(y) * 19349663u ^ seed * 83492791u) & 0xFFFF) /
         65535.0;
}
// Smooth noise of period `period` (wraps, so textures tile), 0..1.
double smooth(int x, int y, int period, int cells, uint32_t seed) {
  const double fx = static_cast<double>(x) * cells / period, fy = static_cast<double>(y) * cells / period;
  const int x0 = static_cast<int>(fx), y0 = static_cast<int>(fy);
  const double tx = fx - x0, ty = fy - y0;
  const auto at = [&](int i, int j) { return lattice(i % cells, j % cells, seed); };
  const double sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
  const double a = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * sx;
  const double b = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * sx;
  return a + (b - a) * sy;
}

shapetools::Image blank(int w, int h, uint8_t fill) {
  shapetools::Image image;
  image.type = 0x7B;
  image.width = w;
  image.height = h;
  image.pixels.assign(static_cast<size_t>(w * h), fill);
  return image;
}
void put(shapetools::Image& image, int x, int y, uint8_t v) {
  if (x >= 0 && y >= 0 && x < image.width && y < image.height) image.pixels[static_cast<size_t>(y * image.width + x)] = v;
}

// A 64 x 64 surface texture: the ramp's middle shades moved by noise; `grain` the fine detail's weight.
shapetools::Image texture(int ramp, uint32_t seed, double grain, bool stripes = false) {
  shapetools::Image image = blank(64, 64, 0);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      double v = 0.6 * smooth(x, y, 64, 4, seed) + grain * (lattice(x, y, seed + 7) - 0.5) +
                 0.25 * smooth(x, y, 64, 16, seed + 3);
      if (stripes) v += 0.18;
      put(image, x, y, rampIndex(ramp, static_cast<int>(v * 10) + 3));
    }
  if (ramp == kRampWater)
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x)
        if (std::sin((x + 2 * y) * 0.3 + 4 * smooth(x, y, 64, 4, seed + 9)) > 0.93) put(image, x, y, rampIndex(ramp, 13));
  return image;
}

// A tree: trunk and a crown (round, or a cone when `conifer`), foot at the hot spot.
shapetools::Image tree(int w, int h, bool conifer, uint32_t seed) {
  shapetools::Image image = blank(w, h, kKey);
  const int trunk = std::max(2, w / 10), trunkTop = conifer ? h * 3 / 4 : h * 3 / 5;
  for (int y = trunkTop; y < h; ++y)
    for (int x = w / 2 - trunk / 2; x < w / 2 - trunk / 2 + trunk; ++x)
      put(image, x, y, rampIndex(kRampBark, 6 + (x - w / 2)));
  for (int y = 0; y < trunkTop + h / 10; ++y)
    for (int x = 0; x < w; ++x) {
      const double dx = (x - w / 2.0) / (w / 2.0);
      double inside;
      if (conifer) inside = std::fabs(dx) - static_cast<double>(y) / (trunkTop + h / 10);
      else {
        const double dy = (y - trunkTop / 2.0) / (trunkTop / 2.0 + 1);
        inside = dx * dx + dy * dy - 1;
      }
      inside += 0.25 * (lattice(x / 3, y / 3, seed) - 0.5);
      if (inside < 0) put(image, x, y, rampIndex(kRampLeaf, static_cast<int>(4 + 8 * lattice(x / 2, y / 2, seed + 1) - 3 * dx)));
    }
  image.centrex = w / 2;
  image.centrey = h - 1;
  return image;
}

shapetools::Image bush(int w, int h, uint32_t seed) {
  shapetools::Image image = blank(w, h, kKey);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double dx = (x - w / 2.0) / (w / 2.0), dy = (y - h) / static_cast<double>(h);
      if (dx * dx + dy * dy + 0.3 * (lattice(x / 2, y / 2, seed) - 0.5) < 1)
        put(image, x, y, rampIndex(kRampLeaf, static_cast<int>(6 + 7 * lattice(x, y, seed + 2))));
    }
  image.centrex = w / 2;
  image.centrey = h - 1;
  return image;
}

// A hut: walls with a door and a window under a pitched roof.
shapetools::Image hut() {
  shapetools::Image image = blank(48, 40, kKey);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 48; ++x) {
      const int roofEdge = std::abs(x - 24) * 16 / 24;
      if (y < 16 && y >= roofEdge && x >= 1 && x < 47) put(image, x, y, rampIndex(kRampPath, 3 + (x < 24 ? 2 : 0)));
      else if (y >= 16 && x >= 4 && x < 44) {
        const bool door = x >= 20 && x < 28 && y >= 26, window = x >= 8 && x < 15 && y >= 21 && y < 28;
        put(image, x, y, door ? rampIndex(kRampBark, 4) : window ? kGrey : rampIndex(kRampBark, 11 + (y % 4 == 0 ? -2 : 0)));
      }
    }
  image.centrex = 24;
  image.centrey = 39;
  return image;
}

// The pin (a white pole) and the waving flag on its pole.
shapetools::Image pole(bool flag) {
  shapetools::Image image = blank(flag ? 20 : 4, 56, kKey);
  for (int y = 0; y < 56; ++y) put(image, 1, y, kWhite), put(image, 2, y, kGrey);
  if (flag)
    for (int y = 1; y < 13; ++y)
      for (int x = 3; x < 3 + 16 - std::abs(y - 7) / 2; ++x) put(image, x, y, kRed);
  image.centrex = 1;
  image.centrey = 55;
  return image;
}

// The course palette blended half way towards a water tint.
std::vector<uint32_t> waterPalette(uint32_t tint) {
  std::vector<uint32_t> p = palette();
  for (uint32_t& c : p) {
    uint32_t out = 0xFF000000u;
    for (int shift : {16, 8, 0}) out |= ((((c >> shift) & 0xFF) + ((tint >> shift) & 0xFF)) / 2) << shift;
    c = out;
  }
  return p;
}

// One horizon piece: hills under the sky (transparent), far hills behind. A second part is 64 wide and goes on
// where its piece ends.
shapetools::Image horizonPiece(int piece, bool second = false) {
  shapetools::Image image = blank(second ? 64 : 128, 48, kKey);
  for (int x = 0; x < image.width; ++x) {
    const int gx = piece * 128 + x + (second ? 128 : 0);  // continuous across pieces, wraps after 12
    const double far = 18 + 14 * smooth(gx % 1536, 0, 1536, 12, 41);
    const double near = 30 + 12 * smooth(gx % 1536, 5, 1536, 24, 43);
    for (int y = 0; y < 48; ++y) {
      if (y >= near) put(image, x, y, rampIndex(kRampHeavy, 4 + static_cast<int>(4 * lattice(gx, y, 5))));
      else if (y >= far) put(image, x, y, kFarHill);
    }
  }
  return image;
}

// One sky panel: the sky ramp from dark (top) to light, with soft clouds that thin out towards the horizon.
shapetools::Image skyPanel(int panel, bool top) {
  shapetools::Image image = blank(128, 64, 0);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 128; ++x) {
      const int row = top ? y : 64 + y, along = (panel * 128 + x) % 512;
      const double cloud = 0.6 * smooth(along, row * 3, 512, 8, 61) + 0.4 * smooth(along, row * 3, 512, 16, 67) -
                           row / 900.0;
      uint8_t v = rampIndex(kRampSky, 4 + row * 11 / 128);
      if (cloud > 0.66) v = kCloud;
      else if (cloud > 0.61) v = rampIndex(kRampSky, 15);
      put(image, x, y, v);
    }
  return image;
}

std::string entry(char kind, int n) {
  char name[8];
  std::snprintf(name, sizeof name, "%c%03d", kind, n % 1000);
  return name;
}

}  // namespace

CourseScene MakeCourseScene(int skyKind) {
  std::vector<std::pair<std::string, shapetools::Image>> shapes;
  std::string hnf = "COURSEHNF 1\n# The demo course's scene: every image is an entry of course.fsh.\nshapes course.fsh\npalette pal0\n";
  shapetools::Image pal = blank(1, 1, 0);
  pal.records.push_back({0x2A, palette()});
  shapes.push_back({"pal0", pal});
  hnf += "sky " + std::to_string(skyKind) + (skyKind ? " 1" : " 0") + " 0\n";

  // Surface textures 0-15, the stripe alternate 16 and the coarse replacements.
  static const int kSurfaceRamp[16] = {kRampHeavy, kRampFairway, kRampSand, kRampRough, kRampHeavy, kRampWater,
                                       kRampTee, kRampGreen, kRampBunker, kRampOut, kRampPath, kRampFringe,
                                       kRampWater, kRampFairway, kRampFairway, kRampFairway};
  for (int t = 0; t < 29; ++t) {
    if (t == 19) continue;
    int ramp;
    double grain = 0.35;
    bool stripes = false;
    if (t < 16) ramp = kSurfaceRamp[t];
    else if (t <= 18) ramp = kRampFairway, stripes = true, grain = t == 16 ? 0.35 : 0.15;
    else ramp = t <= 22 ? kRampGreen : t <= 25 ? kRampTee : kRampSand, grain = 0.12;
    shapes.push_back({entry('t', t), texture(ramp, static_cast<uint32_t>(100 + t), grain, stripes)});
    hnf += "texture " + std::to_string(t) + " " + entry('t', t) + "\n";
  }

  // Object types: trees 1-6, bushes 7-9, the hut 10, the pin 80 and the flag 92.
  for (int k = 0; k < 6; ++k) {
    const bool conifer = k % 2 == 1;
    const int w = 40 + 8 * (k % 3), h = conifer ? 96 : 80 + 6 * k;
    shapes.push_back({entry('o', k + 1), tree(w, h, conifer, static_cast<uint32_t>(200 + k))});
    char line[128];
    std::snprintf(line, sizeof line, "object %d %s - %d.0 1 1 %s%d\n", k + 1, entry('o', k + 1).c_str(),
                  conifer ? 16 + k : 11 + k, conifer ? "pine" : "oak", k + 1);
    hnf += line;
  }
  for (int k = 0; k < 3; ++k) {
    shapes.push_back({entry('o', k + 7), bush(28 + 6 * k, 18 + 4 * k, static_cast<uint32_t>(300 + k))});
    hnf += "object " + std::to_string(k + 7) + " " + entry('o', k + 7) + " - " + std::to_string(2 + k) +
           ".0 0 0 bush" + std::to_string(k + 1) + "\n";
  }
  shapes.push_back({entry('o', 10), hut()});
  hnf += "object 10 o010 - 4.0 2 2 hut\n";
  shapes.push_back({"o080", pole(false)});
  hnf += "object 80 o080 - 2.5 0 0 pin\n";
  shapes.push_back({"o092", pole(true)});
  hnf += "object 92 o092 - 2.5 0 0 flag\n";

  // The horizon strip: twelve pieces, two of them in two parts; the fourth and fifth look over water.
  for (int p = 0; p < 12; ++p) {
    shapes.push_back({entry('h', p), horizonPiece(p)});
    std::string second = "-";
    if (p == 2 || p == 8) {
      second = entry('h', 100 + p);
      shapes.push_back({second, horizonPiece(p, true)});
    }
    hnf += "horizon " + entry('h', p) + " " + second + " " + (p == 3 || p == 4 ? "5 9" : "4 8") + "\n";
  }
  if (skyKind != 0)
    for (int k = 0; k < 4; ++k) {
      shapes.push_back({entry('s', k), skyPanel(k, true)});
      shapes.push_back({entry('b', k), skyPanel(k, false)});
      hnf += "skytop " + entry('s', k) + "\nskybottom " + entry('b', k) + "\n";
    }
  // Three water palettes for the water settings: clear, grey-green and deep.
  static const uint32_t kWaterTint[3] = {0x90B8D8, 0x6C8C88, 0x385878};
  for (int k = 0; k < 3; ++k) {
    shapetools::Image w = blank(1, 1, 0);
    w.records.push_back({0x2A, waterPalette(kWaterTint[k])});
    shapes.push_back({entry('w', k), w});
  }
  hnf += "waterpalettes w000 w001 w002\nwater 12\nstream 3 4 8\n";
  hnf += "nogrid 5\noutofbounds 9 9\nreflection 305878\nhorizonscale 1.0\n";
  return {shapetools::shapefile(shapes), hnf};
}

std::string HoleHeaderText(const GeneratedHole& hole, int par, int glint) {
  const holewriter::HoleDescription& t = hole.terrain;
  const uint32_t pin = t.pins[0];
  const uint32_t column = pin % t.width, row = pin / t.width;
  // World x = origin x - column, z = row - origin z (cell centres: half a cell further).
  const double x = t.width / 2.0 - column - 0.5, z = row + 0.5 - t.depth / 2.0;
  const double height = t.heights.empty() ? 0.0 : t.heights[pin];
  char text[256];
  std::snprintf(text, sizeof text, "HOLEHDR 1\nflags %d\nground 4 8\nhorizon 2.0\ntarget %.1f %.1f %.1f\ndetail 40.0 90.0 180.0\n",
                par >= 4 ? 1 : 0, x, z, height);
  return glint ? text + ("glint " + std::to_string(glint) + "\n") : std::string(text);
}

std::string GalleryText(const std::vector<GeneratedHole>& holes) {
  std::string text = "GALLERY 1\n# hole x z height\n";
  for (size_t h = 0; h < holes.size(); ++h) {
    const holewriter::HoleDescription& t = holes[h].terrain;
    const uint32_t pin = t.pins[0], tee = t.teeStart[0];
    const double px = t.width / 2.0 - pin % t.width, pz = pin / t.width - t.depth / 2.0;
    const double tx = t.width / 2.0 - tee % t.width, tz = tee / t.width - t.depth / 2.0;
    char line[160];
    std::snprintf(line, sizeof line, "camera %zu %.1f %.1f 6.0\ncamera %zu %.1f %.1f 4.0\n", h + 1, px + (px - tx) * 0.08,
                  pz + (pz - tz) * 0.08, h + 1, tx + (px - tx) * 0.55 + 25, tz + (pz - tz) * 0.55);
    text += line;
  }
  return text;
}

}  // namespace mkdemo
