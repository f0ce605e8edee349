// The scene's animation files: the golfer's swing and putt movies with their table, the seven flag cloths, the
// divot, sand and splash movies, the ball seen from above spinning three ways, and the start-up movies.
#include "anim.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <utility>
#include <functional>
#include <vector>

#include "canvas.h"
#include "movieenc.h"
#include "shapewriter.h"

namespace fs = std::filesystem;

namespace mkdemo {
namespace {

constexpr float kPi = 3.14159265f;

// 16-bit frames over a clear background (pixel 0), with lines and discs.
struct Frame16 {
  Canvas c;
  Frame16(int w, int h) : c(w, h, {0, 0, 0}) {}
  void Disc(float cx, float cy, float r, Rgb colour) {
    for (int y = static_cast<int>(cy - r - 1); y <= static_cast<int>(cy + r + 1); ++y)
      for (int x = static_cast<int>(cx - r - 1); x <= static_cast<int>(cx + r + 1); ++x)
        if (std::hypot(x + 0.5f - cx, y + 0.5f - cy) <= r) c.Set(x, y, colour);
  }
  void Line(float x0, float y0, float x1, float y1, float width, Rgb colour) {
    const int steps = static_cast<int>(std::hypot(x1 - x0, y1 - y0) * 2) + 1;
    for (int s = 0; s <= steps; ++s) {
      const float t = static_cast<float>(s) / steps;
      Disc(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, width / 2, colour);
    }
  }
  shapetools::Image Image(int cx, int cy) const {
    shapetools::Image image = c.Shape();
    image.centrex = cx;
    image.centrey = cy;
    return image;
  }
};

std::vector<uint8_t> Movie(const std::vector<shapetools::Image>& frames) {
  std::vector<std::pair<std::string, shapetools::Image>> named;
  for (size_t i = 0; i < frames.size(); ++i) {
    char name[8];
    std::snprintf(name, sizeof name, "%04u", static_cast<unsigned>(i));
    named.emplace_back(name, frames[i]);
  }
  return shapetools::shapefile(named);
}

// The golfer seen from behind the ball, standing left of it; the hot spot is the ball. Arms and club turn about
// the shoulders: `angle` in degrees on the screen (0 right, 90 down).
shapetools::Image GolferFrame(float angle, float bend) {
  constexpr int kW = 112, kH = 120;
  constexpr float kShoulderX = 44, kShoulderY = 40, kArms = 30, kClub = 46;
  Frame16 f(kW, kH);
  const Rgb skin{224, 176, 128}, shirt{40, 90, 200}, trousers{60, 60, 70}, shoe{20, 20, 20}, shaft{200, 200, 210};
  f.Line(44, 72, 35 - bend, 114, 7, trousers);
  f.Line(44, 72, 53 + bend, 114, 7, trousers);
  f.Line(33 - bend, 115, 29 - bend, 116, 5, shoe);
  f.Line(53 + bend, 115, 58 + bend, 116, 5, shoe);
  f.Line(44, 34, 44 + bend, 74, 14, shirt);
  f.Disc(44, 22, 8, skin);
  f.Disc(44, 16, 6, {240, 240, 240});  // cap
  const float a = angle * kPi / 180.0f;
  const float hx = kShoulderX + kArms * std::cos(a), hy = kShoulderY + kArms * std::sin(a);
  const float cx = hx + kClub * std::cos(a), cy = hy + kClub * std::sin(a);
  f.Line(kShoulderX - 5, kShoulderY, hx, hy, 5, shirt);
  f.Line(kShoulderX + 5, kShoulderY, hx, hy, 5, shirt);
  f.Disc(hx, hy, 3, skin);
  f.Line(hx, hy, cx, cy, 2, shaft);
  f.Disc(cx, cy, 3, {80, 80, 90});
  return f.Image(static_cast<int>(kShoulderX + (kArms + kClub) * std::cos(66.0f * kPi / 180.0f)),
                 static_cast<int>(kShoulderY + (kArms + kClub) * std::sin(66.0f * kPi / 180.0f)));
}

// A swing: `back` frames up to the top, `down` frames to the impact (the last of them), then `through` frames.
std::vector<uint8_t> SwingMovie(int back, int down, int through, float top, float finish) {
  constexpr float kAddress = 66.0f;
  std::vector<shapetools::Image> frames;
  for (int i = 0; i < back; ++i) {
    const float t = static_cast<float>(i) / back;
    frames.push_back(GolferFrame(kAddress - top * (1 - std::cos(t * kPi)) / 2, 0));
  }
  for (int i = 1; i <= down; ++i) {
    const float t = static_cast<float>(i) / down;
    frames.push_back(GolferFrame(kAddress - top * (1 - t * t), 2.0f * t));
  }
  for (int i = 1; i <= through; ++i) {
    const float t = static_cast<float>(i) / through;
    frames.push_back(GolferFrame(kAddress + finish * std::sin(t * kPi / 2), 2.0f));
  }
  return Movie(frames);
}

// The cloth on the pin: width and height of its picture, how far it reaches sideways (negative: to the left)
// and how far it hangs down; waving by frame.
std::vector<uint8_t> FlagMovie(float reach, float hang, int frames) {
  std::vector<shapetools::Image> out;
  const int w = static_cast<int>(std::fabs(reach)) + 4, h = static_cast<int>(hang) + 24;
  for (int n = 0; n < frames; ++n) {
    Frame16 f(w, h);
    const float phase = 2.0f * kPi * static_cast<float>(n) / static_cast<float>(frames);
    const int steps = std::max(2, static_cast<int>(std::fabs(reach)));
    for (int s = 0; s <= steps; ++s) {
      const float t = static_cast<float>(s) / steps;
      const float x = (reach < 0 ? w - 2 : 1) + reach * t;
      const float wave = 2.5f * t * std::sin(phase + t * 5.0f);
      const float top = hang * t + wave, depth = 16.0f - 4.0f * t;
      for (int y = 0; y < static_cast<int>(depth); ++y) {
        const bool stripe = (y / 4 + s / 6) % 2 == 0;
        f.c.Set(static_cast<int>(x), static_cast<int>(top) + y + 1,
                stripe ? Rgb{250, 220, 30} : Rgb{230, 40, 30});
      }
    }
    out.push_back(f.Image(reach < 0 ? w - 2 : 1, 1));
  }
  return Movie(out);
}

// Clods, sand or drops thrown up from a point and falling back: the hot spot is the point on the ground.
std::vector<uint8_t> GroundMovie(int frames, int pieces, float spread, float lift, Rgb colour, Rgb second) {
  constexpr int kW = 64, kH = 64;
  std::vector<shapetools::Image> out;
  for (int n = 0; n < frames; ++n) {
    Frame16 f(kW, kH);
    const float t = static_cast<float>(n + 1) / static_cast<float>(frames);
    for (int p = 0; p < pieces; ++p) {
      const float dir = (static_cast<float>(p) / pieces - 0.5f) * spread;
      const float speed = lift * (0.6f + 0.4f * static_cast<float>((p * 7) % 5) / 4.0f);
      const float x = kW / 2 + dir * t * 30.0f;
      const float y = kH - 2 - (speed * t - speed * t * t);
      f.Disc(x, y, p % 3 == 0 ? 2.0f : 1.5f, p % 2 ? colour : second);
    }
    out.push_back(f.Image(kW / 2, kH - 2));
  }
  return Movie(out);
}

// A ball seen from above with a dark seam across it, eight frames: the seam turns about the ball's centre (turn
// +1 or -1: the draw and the fade), or rolls from its near edge to its far one (turn 0: backspin).
std::vector<uint8_t> SpinMovie(int turn) {
  constexpr int kW = 16, kH = 16, kFrames = 8;
  constexpr float kRadius = 6.0f, kC = kW / 2.0f;
  std::vector<shapetools::Image> out;
  for (int n = 0; n < kFrames; ++n) {
    Frame16 f(kW, kH);
    f.Disc(kC, kC, kRadius, {245, 245, 245});
    const float a = 2.0f * kPi * static_cast<float>(n) / kFrames;
    if (turn != 0) {
      const float dx = std::cos(a * static_cast<float>(turn)) * (kRadius - 1), dy = std::sin(a * static_cast<float>(turn)) * (kRadius - 1);
      f.Line(kC - dx, kC - dy, kC + dx, kC + dy, 1.5f, {90, 90, 100});
    } else {
      const float y = kC + std::cos(a) * (kRadius - 1);
      const float half = std::sqrt(std::max(kRadius * kRadius - (y - kC) * (y - kC), 0.0f)) - 1;
      if (half > 0) f.Line(kC - half, y, kC + half, y, 1.5f, {90, 90, 100});
    }
    out.push_back(f.Image(kW / 2, kH / 2));
  }
  return Movie(out);
}

std::vector<uint8_t> RgbFrame(int w, int h, const std::function<void(int, int, uint8_t*)>& paint) {
  std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) paint(x, y, &rgb[(static_cast<size_t>(y) * w + x) * 3]);
  return rgb;
}

// The maker's logo: a gold disc growing on dark blue.
std::vector<uint8_t> LogoMovie() {
  constexpr int kW = 320, kH = 240, kFrames = 24;
  std::vector<std::vector<uint8_t>> frames;
  for (int n = 0; n < kFrames; ++n) {
    const float r = 10.0f + 90.0f * static_cast<float>(n) / (kFrames - 1);
    frames.push_back(RgbFrame(kW, kH, [&](int x, int y, uint8_t* p) {
      const float d = std::hypot(x - kW / 2.0f, y - kH / 2.0f);
      const bool in = d < r, ring = std::fabs(d - r * 0.7f) < 4.0f;
      p[0] = in ? (ring ? 120 : 240) : 20, p[1] = in ? (ring ? 60 : 190) : 30, p[2] = in ? 40 : 90;
    }));
  }
  return movietools::encodemovie(frames, kW, kH, 4, 1500);
}

// The intro: a ball flying over a fairway under the sky.
std::vector<uint8_t> IntroMovie() {
  constexpr int kW = 640, kH = 480, kFrames = 30;
  std::vector<std::vector<uint8_t>> frames;
  for (int n = 0; n < kFrames; ++n) {
    const float t = static_cast<float>(n) / (kFrames - 1);
    const float bx = 60 + 520 * t, by = 400 - 520 * t + 480 * t * t;
    frames.push_back(RgbFrame(kW, kH, [&](int x, int y, uint8_t* p) {
      const bool sky = y < 300;
      const bool stripe = ((x + n * 8) / 40) % 2 == 0;
      if (sky) p[0] = 110, p[1] = static_cast<uint8_t>(160 + y / 10), p[2] = 235;
      else p[0] = 40, p[1] = stripe ? 150 : 130, p[2] = 50;
      if (std::hypot(x - bx, y - by) < 8) p[0] = p[1] = p[2] = 250;
    }));
  }
  return movietools::encodemovie(frames, kW, kH, 4, 1500);
}

// The green caddie: a figure at rest, its club held as a pole, swaying a little (front or back: mirrored lean). The
// game places a caddie by the point 2.0 above where it stands and draws it 32 pixels to the unit: the figure is 64
// rows from its cap to its shoes, its hot spot on the top of the cap.
std::vector<uint8_t> CaddieMovie(bool back) {
  constexpr int kCapTop = 10, kSoles = 117, kBody = 44;
  constexpr float kShrink = 64.0f / static_cast<float>(kSoles - kCapTop);
  std::vector<shapetools::Image> frames;
  for (int n = 0; n < 6; ++n) {
    const float sway = 6.0f * std::sin(2.0f * kPi * static_cast<float>(n) / 6.0f);
    const shapetools::Image whole = GolferFrame(back ? 170.0f - sway : 190.0f + sway, 0);
    shapetools::Image small = whole;
    small.width = static_cast<int32_t>(std::ceil(static_cast<float>(whole.width) * kShrink));
    small.height = static_cast<int32_t>(std::ceil(static_cast<float>(whole.height) * kShrink));
    small.pixels.assign(static_cast<size_t>(small.width) * small.height, 0);
    for (int32_t y = 0; y < small.height; ++y)
      for (int32_t x = 0; x < small.width; ++x) {
        const int32_t sx = std::min(whole.width - 1, static_cast<int32_t>(static_cast<float>(x) / kShrink));
        const int32_t sy = std::min(whole.height - 1, static_cast<int32_t>(static_cast<float>(y) / kShrink));
        small.pixels[static_cast<size_t>(y) * small.width + x] = whole.pixels[static_cast<size_t>(sy) * whole.width + sx];
      }
    small.centrex = static_cast<int32_t>(kBody * kShrink);
    small.centrey = static_cast<int32_t>(kCapTop * kShrink);
    frames.push_back(small);
  }
  return Movie(frames);
}

// The range's ball cart seen side on, facing left (or right, mirrored): a yellow body with its driver under a
// roof, the ball picker's gang of discs trailing behind. Drawn 32 pixels to the world unit, 4 long and 2 high;
// the hot spot is the point 2.0 above the ground under its middle. The four driving frames turn the wheels and
// bob the body; the explosion frames follow.
constexpr int kCartW = 136, kCartH = 72, kCartGround = 70;

shapetools::Image CartFrame(int n, bool left) {
  Frame16 f(kCartW, kCartH);
  const auto X = [left](float x) { return left ? x : kCartW - 1 - x; };
  const float bob = (n % 2) ? 1.0f : 0.0f;
  const Rgb body{235, 200, 30}, dark{40, 40, 45}, cage{150, 150, 160}, skin{224, 176, 128}, shirt{200, 40, 40};
  // Picker gang behind.
  for (int d = 0; d < 4; ++d) f.Disc(X(100 + 9 * d), kCartGround - 7, 6.5f, cage);
  f.Line(X(84), kCartGround - 16, X(126), kCartGround - 10, 2, cage);
  // Body, bonnet and roof on its posts.
  const int l = static_cast<int>(std::min(X(12), X(92))), r = static_cast<int>(std::max(X(12), X(92)));
  f.c.Box(l, kCartGround - 34 - static_cast<int>(bob), r, kCartGround - 16 - static_cast<int>(bob), body);
  f.c.Box(l, kCartGround - 20 - static_cast<int>(bob), r, kCartGround - 18 - static_cast<int>(bob), {60, 120, 40});
  f.Line(X(8), kCartGround - 22 - bob, X(24), kCartGround - 30 - bob, 5, body);
  f.Line(X(38), kCartGround - 34 - bob, X(40), kCartGround - 64 - bob, 3, dark);
  f.Line(X(84), kCartGround - 34 - bob, X(84), kCartGround - 64 - bob, 3, dark);
  f.Line(X(32), kCartGround - 64 - bob, X(90), kCartGround - 64 - bob, 5, {250, 250, 245});
  // The driver.
  f.Line(X(60), kCartGround - 36 - bob, X(60), kCartGround - 50 - bob, 9, shirt);
  f.Disc(X(60), kCartGround - 55 - bob, 5, skin);
  f.Line(X(58), kCartGround - 44 - bob, X(44), kCartGround - 40 - bob, 3, skin);
  f.Disc(X(42), kCartGround - 42 - bob, 4, dark);  // wheel he steers
  // Wheels with a spoke that turns a quarter each frame.
  for (float cx : {26.0f, 78.0f}) {
    const float cy = kCartGround - 9;
    f.Disc(X(cx), cy, 9, dark);
    f.Disc(X(cx), cy, 4, cage);
    const float a = kPi / 2 * static_cast<float>(n) * (left ? -1.0f : 1.0f);
    f.Line(X(cx) - 7 * std::cos(a), cy - 7 * std::sin(a), X(cx) + 7 * std::cos(a), cy + 7 * std::sin(a), 2, {90, 90, 95});
  }
  return f.Image(kCartW / 2, kCartGround - 64);
}

// The blast: a fireball that swells and darkens into smoke, pieces of the cart flung out and falling.
shapetools::Image ExplosionFrame(int n, int frames) {
  constexpr int kW = 176, kH = 150, kGround = 146;
  Frame16 f(kW, kH);
  const float t = static_cast<float>(n + 1) / static_cast<float>(frames);
  const float r = 14.0f + 52.0f * std::sqrt(t);
  const float cy = kGround - 20 - 40 * t;
  const Rgb outer = t < 0.6f ? Rgb{240, 120, 20} : Rgb{90, 80, 75};
  const Rgb inner = t < 0.6f ? Rgb{255, 230, 90} : Rgb{130, 120, 110};
  f.Disc(kW / 2.0f, cy, r, outer);
  f.Disc(kW / 2.0f, cy + r * 0.2f, r * (t < 0.6f ? 0.6f : 0.8f), inner);
  for (int p = 0; p < 10; ++p) {
    const float dir = (static_cast<float>(p) / 9.0f - 0.5f) * 2.6f;
    const float x = kW / 2.0f + std::sin(dir) * (20 + 70 * t);
    const float y = kGround - 20 - std::cos(dir) * 90 * t + 120 * t * t;
    f.Disc(x, std::min(y, kGround - 3.0f), 3.0f, p % 2 ? Rgb{235, 200, 30} : Rgb{40, 40, 45});
  }
  return f.Image(kW / 2, kGround - 64);
}

std::vector<uint8_t> BallCartMovie(bool left) {
  std::vector<shapetools::Image> frames;
  for (int n = 0; n < 4; ++n) frames.push_back(CartFrame(n, left));
  constexpr int kBlast = 10;
  for (int n = 0; n < kBlast; ++n) frames.push_back(ExplosionFrame(n, kBlast));
  return Movie(frames);
}

void Write(const fs::path& path, const std::vector<uint8_t>& bytes) {
  fs::create_directories(path.parent_path());
  if (!shapetools::writefile(path.string(), bytes)) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

void WriteBallCartMovies(const fs::path& range) {
  Write(range / "rbalcart.fsh", BallCartMovie(false));
  Write(range / "lbalcart.fsh", BallCartMovie(true));
}

std::vector<uint8_t> GolferSwingMovie(bool putt) {
  return putt ? SwingMovie(6, 3, 6, 30.0f, 35.0f) : SwingMovie(9, 5, 10, 250.0f, 230.0f);
}

void WriteAnimations(const fs::path& data) {
  const fs::path anim = data / "ANIM", golfer = data / "GOLFER";
  // Calm, then blowing away, right, toward the eye, left, away and right, away and left.
  const std::pair<float, float> cloths[7] = {{6, 18}, {10, 4}, {30, 2}, {12, 10}, {-30, 2}, {22, 3}, {-22, 3}};
  static const char* const kFlags[7] = {"flagsoft.fsh", "flaghn.fsh", "flaghe.fsh", "flaghs.fsh",
                                        "flaghw.fsh",   "flaghne.fsh", "flaghnw.fsh"};
  for (int i = 0; i < 7; ++i) Write(anim / kFlags[i], FlagMovie(cloths[i].first, cloths[i].second, 8));
  Write(anim / "divot.fsh", GroundMovie(8, 6, 1.2f, 30.0f, {110, 80, 40}, {60, 120, 40}));
  Write(anim / "sand.fsh", GroundMovie(10, 24, 2.0f, 44.0f, {230, 210, 150}, {210, 190, 130}));
  Write(anim / "splash.fsh", GroundMovie(10, 28, 1.6f, 52.0f, {200, 230, 255}, {120, 170, 230}));
  Write(anim / "drawspin.fsh", SpinMovie(1));
  Write(anim / "backspin.fsh", SpinMovie(0));
  Write(anim / "fadespin.fsh", SpinMovie(-1));
  Write(golfer / "g01swing.fsh", GolferSwingMovie(false));
  Write(golfer / "g01putt.fsh", GolferSwingMovie(true));
  const std::string table =
      "# movie impact-frame hold-frame figure-height (pixels for 2.0 world units, halved)\n"
      "g01swing.fsh 14 23 48.0\n"
      "g01putt.fsh 9 14 48.0\n";
  Write(golfer / "G01SWING.TAB", std::vector<uint8_t>(table.begin(), table.end()));
  Write(golfer / "c0f.fsh", CaddieMovie(false));
  Write(golfer / "c0b.fsh", CaddieMovie(true));
  Write(data / "MOVIES" / "zqslogo.mad", LogoMovie());
  Write(data / "MOVIES" / "intro.mad", IntroMovie());
}

}  // namespace mkdemo
