// The in-round interface's art: every shape file of "ui.viv" and the loose files beside it, drawn here as 8-bit
// frames over one palette (a colour cube, greys, a few translucent panel colours, 255 transparent). Frames are
// laid out around the screen's bottom-right pixel, where the shot controls are anchored: each frame's hot spot
// is the anchor's offset from the frame's top-left corner, so a frame drawn with its hot spot on the anchor lands
// in its place. The 800 x 600 set is the 640 x 480 set scaled by 1.25.
#include "roundui.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <utility>
#include <vector>

#include "course/roster.h"
#include "datapack/datapack.h"
#include "movieenc.h"
#include "menus.h"
#include "psffont.h"
#include "scene/balltexels.h"
#include "shapewriter.h"

namespace fs = std::filesystem;

namespace mkdemo {
namespace {

constexpr uint8_t kClear = 255;
constexpr uint8_t kPanel = 248, kPanelLight = 249, kPanelEdge = 250, kShade = 251;
// The meter's centre up and left of the anchor at 640 x 480 (the shot controls place it there too).
constexpr int kMeterX = 150, kMeterY = 78;

struct Rgb {
  int r, g, b;
};

// The shared palette: 216 cube colours, 32 greys, translucent panel colours, transparent.
shapetools::Clut Palette() {
  shapetools::Clut clut;
  clut.type = 0x2A;
  clut.entries.assign(256, 0);
  for (int i = 0; i < 216; ++i) {
    const uint32_t r = (i / 36) * 51, g = (i / 6 % 6) * 51, b = (i % 6) * 51;
    clut.entries[static_cast<size_t>(i)] = 0xFF000000u | r << 16 | g << 8 | b;
  }
  for (int i = 0; i < 32; ++i) {
    const uint32_t v = static_cast<uint32_t>(i * 255 / 31);
    clut.entries[static_cast<size_t>(216 + i)] = 0xFF000000u | v << 16 | v << 8 | v;
  }
  clut.entries[kPanel] = 0xB0142032;
  clut.entries[kPanelLight] = 0xB0283C5A;
  clut.entries[kPanelEdge] = 0xE08CA0C8;
  clut.entries[kShade] = 0x80000000;
  clut.entries[252] = clut.entries[253] = clut.entries[254] = 0xFF000000;
  clut.entries[kClear] = 0;
  return clut;
}

uint8_t Index(Rgb c) {
  const auto level = [](int v) { return std::clamp((v + 25) / 51, 0, 5); };
  if (c.r == c.g && c.g == c.b) return static_cast<uint8_t>(216 + std::clamp(c.r * 31 / 255, 0, 31));
  return static_cast<uint8_t>(level(c.r) * 36 + level(c.g) * 6 + level(c.b));
}

class Art {
 public:
  Art(int w, int h) : w_(std::max(1, w)), h_(std::max(1, h)), px_(static_cast<size_t>(w_) * h_, kClear) {}
  int W() const { return w_; }
  int H() const { return h_; }
  uint8_t At(int x, int y) const { return px_[static_cast<size_t>(y) * w_ + x]; }
  void Set(int x, int y, uint8_t i) {
    if (x >= 0 && y >= 0 && x < w_ && y < h_) px_[static_cast<size_t>(y) * w_ + x] = i;
  }
  void Box(int l, int t, int r, int b, uint8_t i) {
    for (int y = t; y < b; ++y)
      for (int x = l; x < r; ++x) Set(x, y, i);
  }
  void Frame(int l, int t, int r, int b, int width, uint8_t i) {
    Box(l, t, r, t + width, i);
    Box(l, b - width, r, b, i);
    Box(l, t, l + width, b, i);
    Box(r - width, t, r, b, i);
  }
  // A filled ring (inner 0: a disc) around (cx, cy).
  void Ring(float cx, float cy, float outer, float inner, uint8_t i) {
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) {
        const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy);
        if (d <= outer && d >= inner) Set(x, y, i);
      }
  }
  void Line(float x0, float y0, float x1, float y1, float width, uint8_t i) {
    const int steps = static_cast<int>(std::hypot(x1 - x0, y1 - y0) * 2) + 1;
    for (int s = 0; s <= steps; ++s) {
      const float t = static_cast<float>(s) / steps;
      const float x = x0 + (x1 - x0) * t, y = y0 + (y1 - y0) * t;
      for (int dy = static_cast<int>(-width); dy <= static_cast<int>(width); ++dy)
        for (int dx = static_cast<int>(-width); dx <= static_cast<int>(width); ++dx)
          if (dx * dx + dy * dy <= width * width) Set(static_cast<int>(x) + dx, static_cast<int>(y) + dy, i);
    }
  }
  void Text(const shapetools::Font& font, const std::string& text, int x, int y, uint8_t i) {
    for (char ch : text)
      for (const shapetools::Glyph& g : font.glyphs) {
        if (g.code != static_cast<uint8_t>(ch)) continue;
        for (int gy = 0; gy < g.height; ++gy)
          for (int gx = 0; gx < g.width; ++gx)
            if (g.pixels[static_cast<size_t>(gy * g.width + gx)]) Set(x + gx, y + gy, i);
        x += g.advance;
        break;
      }
  }
  static int TextWidth(const shapetools::Font& font, const std::string& text) {
    int w = 0;
    for (char ch : text)
      for (const shapetools::Glyph& g : font.glyphs)
        if (g.code == static_cast<uint8_t>(ch)) {
          w += g.advance;
          break;
        }
    return w;
  }
  void CentredText(const shapetools::Font& font, const std::string& text, uint8_t i) {
    const int th = font.glyphs.empty() ? 0 : font.glyphs.front().height;
    Text(font, text, (w_ - TextWidth(font, text)) / 2, (h_ - th) / 2, i);
  }
  // The frame with its hot spot (the anchor's offset from its top-left corner).
  shapetools::Image Image(int cx, int cy) const {
    shapetools::Image image;
    image.type = 0x7B;
    image.width = w_;
    image.height = h_;
    image.centrex = cx;
    image.centrey = cy;
    image.pixels.assign(px_.begin(), px_.end());
    image.records.push_back(Palette());
    return image;
  }

 private:
  int w_, h_;
  std::vector<uint8_t> px_;
};

std::vector<uint8_t> File(const std::vector<shapetools::Image>& frames) {
  std::vector<std::pair<std::string, shapetools::Image>> named;
  for (size_t i = 0; i < frames.size(); ++i) {
    char name[24];
    std::snprintf(name, sizeof name, "%04u", static_cast<unsigned>(i));
    named.emplace_back(name, frames[i]);
  }
  return shapetools::shapefile(named);
}

struct Set {
  float s;
  const shapetools::Font& font;
  int S(float v) const { return static_cast<int>(std::lround(v * s)); }
};

// Small round sprites: balls, shadows, rough.
std::vector<uint8_t> Balls(const Set& k, Rgb colour, uint8_t shade) {
  std::vector<shapetools::Image> frames;
  // Image n - 1 for a ball n pixels across, n = 1 to 16.
  for (int n = 1; n <= 16; ++n) {
    Art a(n, n);
    a.Ring(n / 2.0f, n / 2.0f, n / 2.0f + 0.25f, 0, shade ? shade : Index(colour));
    frames.push_back(a.Image(n / 2, n / 2));
  }
  (void)k;
  return File(frames);
}

// The hardware balls: image 0 gives the textures' palette, image 1 the 64 x 64 ball texture with a ball of each
// size where the texel table puts it (the rough's half hidden by blades of grass), image 2 the 16 x 16 shadow,
// a grey disc the drawing darkens.
std::vector<uint8_t> HardwareBalls() {
  Art palette(1, 1);
  palette.Set(0, 0, Index({255, 255, 255}));
  Art balls(kBallTextureSide, kBallTextureSide);
  const uint8_t white = Index({230, 230, 230}), grass = Index({102, 153, 51});
  for (int rough = 0; rough < 2; ++rough)
    for (const BallTexelRow& t : rough ? kBallRoughTexels : kBallTexels) {
      const float w = static_cast<float>(t.c1 - t.c0 + 1), h = static_cast<float>(t.r1 - t.r0 + 1);
      const float d = std::min(w, h);
      Art one(t.c1 - t.c0 + 1, t.r1 - t.r0 + 1);
      one.Ring(w / 2.0f, h - d / 2.0f, d / 2.0f + 0.25f, 0, white);
      if (rough)
        for (int x = 0; x < one.W(); x += 2) one.Line(static_cast<float>(x), h, static_cast<float>(x) + 0.5f, h * 0.45f, 0.4f, grass);
      for (int y = 0; y < one.H(); ++y)
        for (int x = 0; x < one.W(); ++x)
          if (const uint8_t i = one.At(x, y); i != kClear) balls.Set(t.c0 + x, t.r0 + y, i);
    }
  Art shadow(16, 16);
  shadow.Ring(8.0f, 8.0f, 8.0f, 0, Index({160, 160, 160}));
  return File({palette.Image(0, 0), balls.Image(0, 0), shadow.Image(8, 8)});
}

// The panel behind the shot controls: 0 and 1 the full panel, 2 the reduced strip.
std::vector<uint8_t> Panel(const Set& k) {
  std::vector<shapetools::Image> frames;
  const int w = k.S(344), h = k.S(156);
  for (int f = 0; f < 2; ++f) {
    Art a(w, h);
    a.Box(0, 0, w, h, kPanel);
    a.Frame(0, 0, w, h, 2, kPanelEdge);
    frames.push_back(a.Image(w - 1, h - 1));
  }
  Art reduced(w, k.S(40));
  reduced.Box(0, 0, w, reduced.H(), kPanel);
  reduced.Frame(0, 0, w, reduced.H(), 2, kPanelEdge);
  frames.push_back(reduced.Image(w - 1, reduced.H() - 1));
  return File(frames);
}

// The meter around the start button: frames 0-9 by risk level, in the body's, the highlight's or the charge's tint.
std::vector<uint8_t> Meter(const Set& k, int kind) {
  std::vector<shapetools::Image> frames;
  const int side = k.S(128);
  const float c = side / 2.0f, outer = k.S(62), inner = k.S(24);
  for (int risk = 0; risk < 10; ++risk) {
    Art a(side, side);
    const Rgb base = kind == 0 ? Rgb{60, 70, 90} : kind == 1 ? Rgb{255, 204, 0} : Rgb{255, 60, 0};
    a.Ring(c, c, outer, inner, Index(base));
    a.Ring(c, c, outer, outer - k.S(3), Index(kind == 0 ? Rgb{200, 200, 200} : Rgb{255, 255, 255}));
    // The risk shows as a red zone growing past full power.
    const float zone = 0.05f + risk * 0.03f;
    for (int i = 0; i < 40; ++i) {
      const float t = 3.14159f / 2 - (i / 40.0f) * zone * 6.283f;
      a.Line(c + inner * std::cos(t), c - inner * std::sin(t), c + (outer - k.S(4)) * std::cos(t),
             c - (outer - k.S(4)) * std::sin(t), 1, Index(kind == 0 ? Rgb{153, 51, 51} : Rgb{255, 0, 0}));
    }
    for (int tick = 0; tick <= 8; ++tick) {
      const float t = -3.14159f / 2 - tick * 3.14159f / 8;
      a.Line(c + (outer - k.S(9)) * std::cos(t), c - (outer - k.S(9)) * std::sin(t), c + (outer - k.S(3)) * std::cos(t),
             c - (outer - k.S(3)) * std::sin(t), 1, Index({255, 255, 255}));
    }
    // The meter samples its art around its own centre.
    frames.push_back(a.Image(side / 2, side / 2));
  }
  return File(frames);
}

std::vector<uint8_t> StartButton(const Set& k) {
  static const char* const kLabels[8] = {"", "", "", "BUMP", "CHIP", "FULL", "PITCH", "PUTT"};
  std::vector<shapetools::Image> frames;
  const int side = k.S(44);
  for (int f = 0; f < 8; ++f) {
    Art a(side, side);
    const Rgb fill = f == 1 ? Rgb{0, 102, 51} : f == 2 ? Rgb{0, 153, 51} : Rgb{204, 153, 0};
    a.Ring(side / 2.0f, side / 2.0f, side / 2.0f, 0, Index(fill));
    a.Ring(side / 2.0f, side / 2.0f, side / 2.0f, side / 2.0f - 2, Index({255, 255, 255}));
    if (f >= 3) a.CentredText(k.font, kLabels[f], Index({0, 0, 0}));
    frames.push_back(a.Image(side / 2 + k.S(kMeterX), side / 2 + k.S(kMeterY)));
  }
  return File(frames);
}

// A club swinging in the start button: `count` frames of the shaft turning back and through.
std::vector<uint8_t> ClubIcon(const Set& k, int count, float reach) {
  std::vector<shapetools::Image> frames;
  const int side = k.S(40);
  const float c = side / 2.0f;
  for (int f = 0; f < count; ++f) {
    Art a(side, side);
    const float t = -1.6f + 3.2f * f / std::max(1, count - 1);
    const float x = c + std::sin(t) * c * reach, y = c + std::cos(t) * c * reach;
    a.Line(c, k.S(4), x, y, 1, Index({230, 230, 230}));
    a.Ring(x, y, k.S(3), 0, Index({153, 153, 153}));
    frames.push_back(a.Image(side / 2 + k.S(kMeterX), side / 2 + k.S(kMeterY)));
  }
  return File(frames);
}

// The club bar: 1 its background, 2-7 the handle's faces (closed 2-4, open 5-7), 8 and 11 the step arrows at the
// caption's edges (9, 10, 12, 13 their pressed and lit faces), 14-17 the lit group buttons, 18-21 the group buttons
// putter, wedge, iron, wood; 0 a copy of 1.
std::vector<uint8_t> ClubSelect(const Set& k) {
  std::vector<shapetools::Image> frames(22);
  const int barW = k.S(108), barH = k.S(28), left = k.S(338), top = k.S(34);
  Art bar(barW, barH);
  bar.Box(0, 0, barW, barH, kPanelLight);
  bar.Frame(0, 0, barW, barH, 1, kPanelEdge);
  frames[0] = frames[1] = bar.Image(left, top);
  const int handleW = k.S(18);
  for (int f = 2; f <= 7; ++f) {
    Art a(handleW, barH);
    const int state = (f - 2) % 3;
    a.Box(0, 0, handleW, barH, Index(state == 0 ? Rgb{51, 102, 153} : state == 1 ? Rgb{102, 153, 204} : Rgb{204, 204, 255}));
    const bool open = f >= 5;
    const float cx = handleW / 2.0f, cy = barH / 2.0f, d = k.S(5);
    for (int i = 0; i <= d; ++i)  // an arrow up (opens) or down (closes)
      a.Box(static_cast<int>(cx - i), static_cast<int>(open ? cy - d / 2 + i : cy + d / 2 - i),
            static_cast<int>(cx + i + 1), static_cast<int>(open ? cy - d / 2 + i + 1 : cy + d / 2 - i + 1),
            Index({255, 255, 255}));
    frames[static_cast<size_t>(f)] = a.Image(k.S(248), top);
  }
  const int arrowW = k.S(14);
  for (int side = 0; side < 2; ++side)
    for (int face = 0; face < 3; ++face) {
      Art a(arrowW, barH);
      a.Box(0, 0, arrowW, barH, Index(face == 0 ? Rgb{51, 102, 153} : face == 1 ? Rgb{204, 204, 255} : Rgb{102, 153, 204}));
      const float cy = barH / 2.0f, half = k.S(5);
      for (int i = 0; i <= half; ++i) {
        const int x = side == 0 ? k.S(4) + i : arrowW - k.S(4) - i - 1;
        a.Box(x, static_cast<int>(cy - i), x + 1, static_cast<int>(cy + i + 1), Index({255, 255, 255}));
      }
      frames[static_cast<size_t>(side == 0 ? 8 + face : 11 + face)] = a.Image(side == 0 ? left : k.S(262), top);
    }
  static const char* const kGroups[4] = {"PUTT", "WEDGE", "IRON", "WOOD"};
  for (int g = 0; g < 4; ++g)
    for (int lit = 0; lit < 2; ++lit) {
      Art a(k.S(40), k.S(18));
      a.Box(0, 0, a.W(), a.H(), Index(lit ? Rgb{204, 204, 102} : Rgb{51, 102, 153}));
      a.Frame(0, 0, a.W(), a.H(), 1, Index({255, 255, 255}));
      a.CentredText(k.font, kGroups[g], Index(lit ? Rgb{0, 0, 0} : Rgb{255, 255, 255}));
      frames[static_cast<size_t>(lit ? 14 + g : 18 + g)] = a.Image(0, 0);
    }
  return File(frames);
}

// Frames with a caption each, placed by the given hot spot.
std::vector<uint8_t> Captioned(const Set& k, int count, int w, int h, Rgb fill, int hx, int hy, const char* caption) {
  std::vector<shapetools::Image> frames;
  for (int f = 0; f < count; ++f) {
    Art a(k.S(w), k.S(h));
    a.Box(0, 0, a.W(), a.H(), Index({fill.r, fill.g, std::min(255, fill.b + f * 8)}));
    a.Frame(0, 0, a.W(), a.H(), 1, kPanelEdge);
    if (caption && *caption) a.CentredText(k.font, caption, Index({255, 255, 255}));
    frames.push_back(a.Image(k.S(hx), k.S(hy)));
  }
  return File(frames);
}

// Shot-shape buttons 1 lower, 2 draw, 3 cut, 4 backspin around the meter, in the idle, usable or pressed look.
std::vector<uint8_t> SpinButtons(const Set& k, int look) {
  static const float kPlaces[5][2] = {{0, 0}, {-66, 20}, {-56, 52}, {56, 52}, {66, 20}};
  static const char* const kMarks[5] = {"", "v", "<", ">", "^"};
  std::vector<shapetools::Image> frames;
  const int side = k.S(18);
  for (int kind = 0; kind < 5; ++kind) {
    Art a(side, side);
    const Rgb fill = look == 0 ? Rgb{102, 102, 102} : look == 1 ? Rgb{51, 102, 204} : Rgb{255, 204, 0};
    a.Ring(side / 2.0f, side / 2.0f, side / 2.0f, 0, Index(fill));
    a.CentredText(k.font, kMarks[kind], Index({255, 255, 255}));
    // Centre on the meter's centre plus the button's place.
    const int hx = side / 2 + k.S(kMeterX) - k.S(kPlaces[kind][0]), hy = side / 2 + k.S(kMeterY) - k.S(kPlaces[kind][1]);
    frames.push_back(a.Image(hx, hy));
  }
  return File(frames);
}

// The nine pieces of the pop-up box: corners 0-3, top 4, right 5, left 6, bottom 7, centre 8.
std::vector<uint8_t> GridBox(const Set& k) {
  std::vector<shapetools::Image> frames;
  const int t = k.S(6);
  for (int piece = 0; piece < 9; ++piece) {
    Art a(t, t);
    a.Box(0, 0, t, t, piece == 8 ? kPanel : kPanelLight);
    if (piece == 4 || piece <= 1) a.Box(0, 0, t, 1, kPanelEdge);
    if (piece == 7 || piece == 2 || piece == 3) a.Box(0, t - 1, t, t, kPanelEdge);
    if (piece == 6 || piece == 0 || piece == 2) a.Box(0, 0, 1, t, kPanelEdge);
    if (piece == 5 || piece == 1 || piece == 3) a.Box(t - 1, 0, t, t, kPanelEdge);
    frames.push_back(a.Image(0, 0));
  }
  return File(frames);
}

std::vector<uint8_t> TargetMarker(const Set& k) {
  std::vector<shapetools::Image> frames;
  for (int f = 0; f < 4; ++f) {
    const int side = k.S(15 + 2 * f);
    Art a(side, side);
    const float c = side / 2.0f;
    a.Ring(c, c, c, c - 2, Index({255, 255, 0}));
    a.Line(c, 0, c, static_cast<float>(side - 1), 0, Index({255, 255, 0}));
    a.Line(0, c, static_cast<float>(side - 1), c, 0, Index({255, 255, 0}));
    frames.push_back(a.Image(side / 2, side / 2));
  }
  return File(frames);
}

std::vector<uint8_t> SmallPin(const Set& k) {
  std::vector<shapetools::Image> frames;
  for (int f = 0; f < 2; ++f) {
    Art a(k.S(9), k.S(18));
    a.Box(0, 0, 1, a.H(), Index({255, 255, 255}));
    a.Box(1, 0, a.W(), k.S(6), Index(f ? Rgb{255, 255, 0} : Rgb{255, 0, 0}));
    frames.push_back(a.Image(0, a.H() - 1));
  }
  return File(frames);
}

std::vector<uint8_t> Arrow(const Set& k) {
  Art a(k.S(16), k.S(16));
  const int w = a.W();
  for (int y = 0; y < w; ++y) a.Box(w / 2 - y / 2, y, w / 2 + y / 2 + 1, y + 1, Index({255, 0, 0}));
  return File({a.Image(w / 2, w / 2)});
}

// The shot clock: frame 1 the "Shot Clock" label panel, frames 2-7 the face by the golfer's infractions so far
// (grey, then warmer up to red), each hung from the middle of its top edge.
std::vector<uint8_t> ShotClockFace(const Set& k) {
  std::vector<shapetools::Image> frames;
  frames.push_back(Art(1, 1).Image(0, 0));
  Art label(k.S(84), k.S(14));
  label.Box(0, 0, label.W(), label.H(), Index({26, 26, 26}));
  label.Frame(0, 0, label.W(), label.H(), 1, Index({153, 153, 153}));
  frames.push_back(label.Image(label.W() / 2, 0));
  const Rgb faces[6] = {{77, 77, 77}, {102, 102, 51}, {153, 102, 0}, {153, 51, 0}, {153, 0, 0}, {204, 0, 0}};
  for (const Rgb& c : faces) {
    const int side = k.S(46);
    Art a(side, side);
    const float centre = side / 2.0f;
    a.Ring(centre, centre, centre, 0, Index({230, 230, 230}));
    a.Ring(centre, centre, centre - k.S(2), 0, Index(c));
    a.Ring(centre, centre, centre - k.S(7), 0, Index({0, 0, 0}));
    frames.push_back(a.Image(side / 2, 0));
  }
  return File(frames);
}

// The microphone button: frame 1 not usable (grey), 2 ready (green), 3-11 recording (red, a ring that grows and
// starts again); each placed by its top-left corner.
std::vector<uint8_t> MicButton(const Set& k) {
  std::vector<shapetools::Image> frames;
  const int side = k.S(32);
  const float c = side / 2.0f;
  auto mic = [&](const Rgb& body, int ring) {
    Art a(side, side);
    a.Ring(c, c, c, 0, Index({26, 26, 26}));
    a.Ring(c, c, c, c - k.S(2), Index({200, 200, 200}));
    if (ring > 0) a.Ring(c, c, c - k.S(3) - ring * k.S(1), c - k.S(4) - ring * k.S(1), Index({255, 200, 200}));
    a.Box(static_cast<int>(c) - k.S(4), k.S(7), static_cast<int>(c) + k.S(4), k.S(19), Index(body));
    a.Box(static_cast<int>(c) - k.S(1), k.S(19), static_cast<int>(c) + k.S(1), k.S(24), Index({200, 200, 200}));
    a.Box(static_cast<int>(c) - k.S(6), k.S(24), static_cast<int>(c) + k.S(6), k.S(26), Index({200, 200, 200}));
    frames.push_back(a.Image(0, 0));
  };
  mic({110, 110, 110}, 0);
  mic({40, 180, 60}, 0);
  for (int step = 0; step < 9; ++step) mic({220, 40, 40}, step % 3 + 1);
  return File(frames);
}

// The lie panel: entry 0 its background, 1-9 how the ball sits (higher grass hides more of it), placed at the
// left of the shot controls.
std::vector<uint8_t> LieInfo(const Set& k) {
  std::vector<shapetools::Image> frames;
  Art back(k.S(100), k.S(40));
  back.Box(0, 0, back.W(), back.H(), Index({26, 51, 26}));
  back.Frame(0, 0, back.W(), back.H(), 1, kPanelEdge);
  frames.push_back(back.Image(k.S(338), k.S(82)));
  for (int icon = 1; icon <= 9; ++icon) {
    const int side = k.S(16);
    Art a(side, side);
    const float c = side / 2.0f;
    a.Ring(c, c - 1, c * 0.6f, 0, Index({255, 255, 255}));
    const int grass = side - 2 - (icon - 1) * side / 12;
    for (int x = 1; x < side - 1; x += 2) a.Box(x, grass + (x / 2 % 2), x + 1, side, Index({51, 153, 51}));
    frames.push_back(a.Image(k.S(334), k.S(78)));
  }
  return File(frames);
}

// The distance panel's icons, each drawn from its top-left corner: 1 the pin, 2 the last shot, 3 the target,
// 4 no target (entry 0 is a background the panel does not draw).
std::vector<uint8_t> DistInfo(const Set& k) {
  std::vector<shapetools::Image> frames;
  Art back(k.S(46), k.S(20));
  back.Box(0, 0, back.W(), back.H(), kPanel);
  frames.push_back(back.Image(0, 0));
  const int side = k.S(10);
  for (int icon = 1; icon <= 4; ++icon) {
    Art a(side, side);
    const uint8_t white = Index({255, 255, 255});
    if (icon == 1) {
      a.Box(1, 0, 2, side, white);
      a.Box(2, 0, side - 1, side / 2, Index({255, 0, 0}));
    } else if (icon == 2) {
      a.Ring(side / 2.0f, side / 2.0f, side / 2.0f, side / 2.0f - 1.5f, white);
      a.Ring(side / 2.0f, side / 2.0f, 1.5f, 0, white);
    } else {
      const uint8_t c = icon == 3 ? Index({255, 255, 0}) : Index({128, 128, 128});
      a.Line(0, side / 2.0f, side - 1.0f, side / 2.0f, 0, c);
      a.Line(side / 2.0f, 0, side / 2.0f, side - 1.0f, 0, c);
      a.Ring(side / 2.0f, side / 2.0f, side / 2.0f - 1, side / 2.0f - 2.2f, c);
    }
    frames.push_back(a.Image(0, 0));
  }
  return File(frames);
}

// The safe and aggressive buttons: 1 their background, 2 and 3 "SAFE" plain and chosen, 4 and 5 "AGGR" plain
// and chosen (0 a copy of 1), above the shot-type buttons.
std::vector<uint8_t> AggrSafe(const Set& k) {
  std::vector<shapetools::Image> frames;
  Art back(k.S(84), k.S(20));
  back.Box(0, 0, back.W(), back.H(), kPanelLight);
  back.Frame(0, 0, back.W(), back.H(), 1, kPanelEdge);
  frames.push_back(back.Image(k.S(306), k.S(152)));
  frames.push_back(back.Image(k.S(306), k.S(152)));
  for (int button = 0; button < 2; ++button)
    for (int chosen = 0; chosen < 2; ++chosen) {
      Art a(k.S(38), k.S(16));
      a.Box(0, 0, a.W(), a.H(), Index(chosen ? Rgb{255, 204, 0} : button == 0 ? Rgb{51, 102, 51} : Rgb{153, 51, 51}));
      a.Frame(0, 0, a.W(), a.H(), 1, Index({255, 255, 255}));
      a.CentredText(k.font, button == 0 ? "SAFE" : "AGGR", Index(chosen ? Rgb{0, 0, 0} : Rgb{255, 255, 255}));
      frames.push_back(a.Image(k.S(button == 0 ? 304 : 264), k.S(150)));
    }
  return File(frames);
}

// The settings art: 1-3 the closed toggle (plain, focused, pressed) and 4-6 the open one, placed at the shot
// controls' top-left corner; 7-21 the settings bar's icon buttons, each centred on its place (0 a copy of 1).
std::vector<uint8_t> SettingsArt(const Set& k) {
  static const char* const kMarks[22] = {"",  "S", "S", "S", "X", "X", "X", "", "", "", "",  "C",
                                         "N", "O", "R", "V", "#", "U", "G", "E", "D", ""};
  std::vector<shapetools::Image> frames;
  const int side = k.S(24);
  for (int f = 0; f < 22; ++f) {
    const int look = f == 0 ? 0 : f <= 6 ? (f - 1) % 3 : 0;
    Art a(side, side);
    a.Box(0, 0, side, side, Index(look == 0 ? Rgb{51, 51, 102} : look == 1 ? Rgb{102, 102, 204} : Rgb{204, 204, 255}));
    a.Frame(0, 0, side, side, 1, kPanelEdge);
    a.CentredText(k.font, kMarks[f], Index({255, 255, 255}));
    frames.push_back(f <= 6 ? a.Image(k.S(338), k.S(150)) : a.Image(side / 2, side / 2));
  }
  return File(frames);
}

// The six shot-type buttons in a row (putt, bump and run, chip, pitch, full, reset), as faces 1-6 of one look:
// 0 normal, 1 focused, 2 pressed or selected. Each face carries its button's place.
std::vector<uint8_t> ShotTypeFaces(const Set& k, int look) {
  static const char* const kMarks[7] = {"", "PT", "BR", "CH", "PI", "FU", "RS"};
  std::vector<shapetools::Image> frames;
  for (int face = 0; face <= 6; ++face) {
    Art a(k.S(19), k.S(18));
    const Rgb fill = look == 0 ? Rgb{51, 102, 153} : look == 1 ? Rgb{102, 153, 204} : Rgb{255, 204, 0};
    a.Box(0, 0, a.W(), a.H(), Index(fill));
    a.Frame(0, 0, a.W(), a.H(), 1, Index({255, 255, 255}));
    a.CentredText(k.font, kMarks[face], Index(look == 2 ? Rgb{0, 0, 0} : Rgb{255, 255, 255}));
    const int n = std::max(face, 1) - 1;
    frames.push_back(a.Image(k.S(338 - 20 * n), k.S(122)));
  }
  return File(frames);
}

// The calibration panel's pictures: image 1 the scale marker, 2-4 the right arrow and 5-7 the left arrow
// (normal, highlight, pressed); image 0 a spare dot.
std::vector<uint8_t> CalibrationArrows(const Set& k) {
  std::vector<shapetools::Image> frames;
  Art dot(k.S(4), k.S(4));
  dot.Box(0, 0, dot.W(), dot.H(), Index({255, 255, 255}));
  frames.push_back(dot.Image(0, 0));
  Art marker(k.S(11), k.S(10));
  for (int y = 0; y < marker.H(); ++y)
    for (int x = 0; x < marker.W(); ++x)
      if (std::abs(2 * x + 1 - marker.W()) <= marker.W() * (marker.H() - y) / marker.H()) marker.Set(x, y, Index({255, 220, 40}));
  frames.push_back(marker.Image(0, 0));
  const Rgb looks[3] = {{60, 90, 150}, {90, 140, 220}, {250, 230, 90}};
  for (int direction = 0; direction < 2; ++direction)
    for (const Rgb& look : looks) {
      Art a(k.S(18), k.S(13));
      a.Box(0, 0, a.W(), a.H(), Index({20, 30, 60}));
      a.Frame(0, 0, a.W(), a.H(), 1, kPanelEdge);
      for (int y = 2; y < a.H() - 2; ++y)
        for (int x = 3; x < a.W() - 3; ++x) {
          const int reach = (a.W() - 6) * (a.H() / 2 - std::abs(2 * y + 1 - a.H()) / 2) / (a.H() / 2);
          if ((direction == 0 ? x - 3 : a.W() - 4 - x) < reach) a.Set(x, y, Index(look));
        }
      frames.push_back(a.Image(0, 0));
    }
  return File(frames);
}

// The swing's fifteen pictures (1-15) beside the calibration steps: a golfer whose club goes back and through;
// image 0 the golfer at address. 149 pixels square at every size.
std::vector<uint8_t> SwingPictures() {
  std::vector<shapetools::Image> frames;
  for (int f = 0; f <= 15; ++f) {
    Art a(149, 149);
    a.Box(0, 0, a.W(), a.H(), Index({30, 60, 40}));
    a.Box(0, 120, a.W(), a.H(), Index({40, 110, 50}));
    const float hx = 74, hy = 40;
    a.Ring(hx, hy, 9, 0, Index({230, 190, 150}));
    a.Line(hx, hy + 9, hx, hy + 50, 3, Index({200, 60, 60}));
    a.Line(hx, hy + 50, hx - 12, 118, 3, Index({40, 40, 90}));
    a.Line(hx, hy + 50, hx + 12, 118, 3, Index({40, 40, 90}));
    // The club turns from address (pointing down) back over the head and through to the finish.
    const float phase = f == 0 ? 0.0f : static_cast<float>(f) / 15.0f;
    const float angle = static_cast<float>(M_PI) * (phase < 0.5f ? -2.4f * phase : -1.2f + 4.4f * (phase - 0.5f));
    const float gx = hx, gy = hy + 30;
    const float cx = gx + 55 * std::sin(angle), cy = gy + 55 * std::cos(angle);
    a.Line(hx, hy + 12, gx, gy, 2, Index({230, 190, 150}));
    a.Line(gx, gy, cx, cy, 1, Index({220, 220, 230}));
    frames.push_back(a.Image(0, 0));
  }
  return File(frames);
}

std::vector<datapack::BigEntry> ShapeSet(const Set& k) {
  std::vector<datapack::BigEntry> e;
  e.push_back({"swball.fsh", Balls(k, {255, 255, 255}, 0)});
  e.push_back({"swshadow.fsh", Balls(k, {0, 0, 0}, kShade)});
  e.push_back({"swrough.fsh", Balls(k, {102, 153, 51}, 0)});
  e.push_back({"hwballs.fsh", HardwareBalls()});
  e.push_back({"redarrow.fsh", Arrow(k)});
  e.push_back({"powerb98.fsh", Meter(k, 0)});
  e.push_back({"powerh98.fsh", Meter(k, 1)});
  e.push_back({"powert98.fsh", Meter(k, 2)});
  e.push_back({"pmback98.fsh", Panel(k)});
  e.push_back({"shtart98.fsh", StartButton(k)});
  e.push_back({"shotdota.fsh", ShotTypeFaces(k, 0)});
  e.push_back({"shotdotb.fsh", ShotTypeFaces(k, 1)});
  e.push_back({"shotdotc.fsh", ShotTypeFaces(k, 2)});
  e.push_back({"lieinf98.fsh", LieInfo(k)});
  e.push_back({"settings.fsh", SettingsArt(k)});
  e.push_back({"clubsel.fsh", ClubSelect(k)});
  e.push_back({"shotclok.fsh", ShotClockFace(k)});
  e.push_back({"micbtn.fsh", MicButton(k)});
  e.push_back({"dstinfui.fsh", DistInfo(k)});
  e.push_back({"ballssbg.fsh", Captioned(k, 2, 60, 60, {204, 204, 204}, 0, 0, "")});
  e.push_back({"bssbutn1.fsh", SpinButtons(k, 0)});
  e.push_back({"bssbutn2.fsh", SpinButtons(k, 1)});
  e.push_back({"bssbutn3.fsh", SpinButtons(k, 2)});
  e.push_back({"aggrsafe.fsh", AggrSafe(k)});
  e.push_back({"zarvotip.fsh", Captioned(k, 8, 32, 32, {153, 102, 0}, 0, 0, "?")});
  e.push_back({"analog.fsh", CalibrationArrows(k)});
  e.push_back({"mcalib.fsh", SwingPictures()});
  e.push_back({"ironicon.fsh", ClubIcon(k, 51, 0.9f)});
  e.push_back({"chipicon.fsh", ClubIcon(k, 56, 0.7f)});
  e.push_back({"putticon.fsh", ClubIcon(k, 46, 0.5f)});
  e.push_back({"gridwind.fsh", GridBox(k)});
  e.push_back({"targetp.fsh", TargetMarker(k)});
  e.push_back({"pinsmall.fsh", SmallPin(k)});
  return e;
}

// The wind indicator's 16 arrows, one a 22.5-degree sector, sector 0 pointing up the screen (away from the
// viewer) and each next one turned a sector to the left; drawn from their top-left corner.
std::vector<uint8_t> WindArrows(const Set& k) {
  std::vector<shapetools::Image> frames;
  const int w = k.S(26), h = k.S(22);
  for (int sector = 0; sector < 16; ++sector) {
    Art a(w, h);
    const float t = sector * 3.14159265f / 8.0f, cx = w / 2.0f, cy = h / 2.0f, r = h / 2.0f - 1.5f;
    const float dx = -std::sin(t), dy = -std::cos(t);
    const float tipX = cx + dx * r, tipY = cy + dy * r, tailX = cx - dx * r, tailY = cy - dy * r;
    const float back = r * 0.45f, side = r * 0.45f;
    for (int outline = 1; outline >= 0; --outline) {
      const uint8_t c = outline ? Index({0, 0, 0}) : Index({255, 255, 255});
      const float width = outline ? 1.6f : 0.6f;
      a.Line(tailX, tailY, tipX, tipY, width, c);
      a.Line(tipX, tipY, tipX - dx * back - dy * side, tipY - dy * back + dx * side, width, c);
      a.Line(tipX, tipY, tipX - dx * back + dy * side, tipY - dy * back - dx * side, width, c);
    }
    frames.push_back(a.Image(0, 0));
  }
  return File(frames);
}

// The hole panel's pieces: the background behind the name lines for one to four golfers, the plate behind the
// golfer's picture and the charge badge, each drawn from its top-left corner.
std::vector<uint8_t> ScoreBackground(const Set& k, int golfers) {
  Art a(k.S(250), k.S(16 + 12 * golfers + 4));
  a.Box(0, 0, a.W(), a.H(), kPanel);
  a.Frame(0, 0, a.W(), a.H(), 1, kPanelEdge);
  a.Box(k.S(26), k.S(14), a.W() - k.S(4), k.S(15), kPanelEdge);
  return File({a.Image(0, 0)});
}
std::vector<uint8_t> TopPiece(const Set& k) {
  Art a(k.S(50), k.S(62));
  a.Box(0, 0, a.W(), a.H(), kPanelLight);
  a.Frame(0, 0, a.W(), a.H(), 2, kPanelEdge);
  return File({a.Image(0, 0)});
}
std::vector<uint8_t> ChargeBadge(const Set& k) {
  Art a(k.S(14), k.S(14));
  a.Ring(a.W() / 2.0f, a.H() / 2.0f, a.W() / 2.0f, 0, Index({255, 51, 0}));
  a.CentredText(k.font, "C", Index({255, 255, 255}));
  return File({a.Image(0, 0)});
}

// A golfer's picture for the hole panel: head and shoulders in the golfer's colours, hot spot at the bottom
// right (where the panel places it).
std::vector<uint8_t> GolferPicture(int variant, Rgb shirt, Rgb cap) {
  Art a(34, 44);
  a.Box(0, 0, a.W(), a.H(), Index({102, 153, 204}));
  a.Ring(17, 47, 16, 0, Index(shirt));
  a.Ring(17, 20, 8 + variant % 2, 0, Index({255, 204, 153}));
  a.Box(9, 10, 26, 14, Index(cap));
  a.Frame(0, 0, a.W(), a.H(), 1, Index({255, 255, 255}));
  return File({a.Image(38, 46)});
}

// A tip movie: the ball's flight seen from behind, bending left (draw) or right (cut).
std::vector<uint8_t> TipMovie(bool draw) {
  constexpr int kW = 160, kH = 128, kFrames = 24;  // pictures are whole macroblocks
  std::vector<std::vector<uint8_t>> frames;
  for (int f = 0; f < kFrames; ++f) {
    std::vector<uint8_t> rgb(static_cast<size_t>(kW) * kH * 3);
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        uint8_t* p = &rgb[(static_cast<size_t>(y) * kW + x) * 3];
        const bool sky = y < 60;
        p[0] = sky ? 120 : 40, p[1] = sky ? 170 : 140, p[2] = sky ? 230 : 50;
      }
    for (int s = 0; s <= f; ++s) {
      const float t = static_cast<float>(s) / (kFrames - 1);
      const float bend = (draw ? -1.0f : 1.0f) * 40.0f * t * t;
      const int x = static_cast<int>(kW / 2 + bend), y = static_cast<int>(110 - 90 * t + 40 * t * t);
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const int px = x + dx, py = y + dy;
          if (px < 0 || py < 0 || px >= kW || py >= kH) continue;
          uint8_t* p = &rgb[(static_cast<size_t>(py) * kW + px) * 3];
          p[0] = p[1] = p[2] = 255;
        }
    }
    frames.push_back(std::move(rgb));
  }
  return movietools::encodemovie(frames, kW, kH, 4, 1500);  // 15 frames a second
}

}  // namespace

void WriteShotSetupArt(const fs::path& data, const std::string& fontFolder) {
  shapetools::Font font;
  std::string error;
  const std::string file = (fs::path(fontFolder) / "Lat15-Terminus12x6.psf.gz").string();
  if (!shapetools::convertpsf(shapetools::readpsffile(file), 1, 1, font, error)) throw std::runtime_error(file + ": " + error);
  const std::pair<const char*, float> sizes[] = {{"UI640", 1.0f}, {"UI800", 1.25f}};
  for (const auto& [folder, scale] : sizes) {
    const Set k{scale, font};
    fs::create_directories(data / folder);
    writeBytesTo(data / folder / "wind.fsh", WindArrows(k));
    for (int n = 1; n <= 4; ++n)
      writeBytesTo(data / folder / (std::string("scorebg") + static_cast<char>('a' + n - 1) + ".fsh"), ScoreBackground(k, n));
    writeBytesTo(data / folder / "top.fsh", TopPiece(k));
    writeBytesTo(data / folder / "charge.fsh", ChargeBadge(k));
  }
  fs::create_directories(data / "PICS");
  writeBytesTo(data / "PICS" / "sbea.fsh", GolferPicture(0, {51, 102, 204}, {255, 255, 255}));
  writeBytesTo(data / "PICS" / "senior.fsh", GolferPicture(1, {153, 153, 153}, {51, 51, 51}));
  InitGolferRoster();
  for (int slot = 4; slot < 19; ++slot) {
    const RosterSlot* r = GolferRosterSlot(slot);
    if (!r) continue;
    std::string prefix;
    for (int i = 0; i < 2 && r->name[i]; ++i) prefix += static_cast<char>(std::toupper(static_cast<unsigned char>(r->name[i])));
    for (int variant = 1; variant <= 3; ++variant) {
      const Rgb shirt{51 * (slot % 5), 51 * (slot * 2 % 5), 51 * ((slot + variant) % 5)};
      writeBytesTo(data / "PICS" / (prefix + "0" + std::to_string(variant) + ".fsh"),
                   GolferPicture(variant, shirt, {255, 204 - 51 * variant, 0}));
    }
  }
  fs::create_directories(data / "ZARVOTIP");
  writeBytesTo(data / "ZARVOTIP" / "ttip08.mad", TipMovie(true));
  writeBytesTo(data / "ZARVOTIP" / "ttip09.mad", TipMovie(false));
  const std::string drawText =
      "Playing a draw\r\nClose the stance a little: aim the feet right of the target.\r\n"
      "Keep the club face square to the target.\r\nSwing along the line of the feet.\r\n";
  const std::string cutText =
      "Playing a cut shot\r\nOpen the stance a little: aim the feet left of the target.\r\n"
      "Keep the club face square to the target.\r\nSwing along the line of the feet.\r\n";
  writeBytesTo(data / "ZARVOTIP" / "ttip08.dat", std::vector<uint8_t>(drawText.begin(), drawText.end()));
  writeBytesTo(data / "ZARVOTIP" / "ttip09.dat", std::vector<uint8_t>(cutText.begin(), cutText.end()));
}

void WriteRoundInterface(const fs::path& data, const std::string& fontFolder) {
  shapetools::Font font;
  std::string error;
  const std::string file = (fs::path(fontFolder) / "Lat15-Terminus12x6.psf.gz").string();
  if (!shapetools::convertpsf(shapetools::readpsffile(file), 1, 1, font, error)) throw std::runtime_error(file + ": " + error);
  const std::pair<const char*, float> sizes[] = {{"UI640", 1.0f}, {"UI800", 1.25f}};
  for (const auto& [folder, scale] : sizes) {
    const Set k{scale, font};
    std::vector<datapack::BigEntry> entries = ShapeSet(k);
    fs::create_directories(data / folder);
    for (const datapack::BigEntry& e : entries)
      if (e.name == "gridwind.fsh" || e.name == "targetp.fsh" || e.name == "pinsmall.fsh") writeBytesTo(data / folder / e.name, e.data);
    writeBytesTo(data / folder / "ui.viv", datapack::writebigfile(2, entries));
  }
}

}  // namespace mkdemo
