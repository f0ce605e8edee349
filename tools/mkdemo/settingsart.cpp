#include "settingsart.h"

#include <cmath>

#include "canvas.h"
#include "frontart.h"

namespace mkdemo {
namespace {

// A mode's logo: a badge in the mode's colour with a small flag and the mode's short name, its hot spot at its
// middle.
std::vector<uint8_t> ModeLogo(const shapetools::Font& font, const std::string& caption, Rgb tint) {
  constexpr int kW = 150, kH = 110;
  Canvas c(kW, kH, {0, 0, 0});
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const double dx = (x - kW / 2.0) / (kW / 2.0), dy = (y - kH / 2.0) / (kH / 2.0);
      const double d = dx * dx + dy * dy;
      if (d < 1.0) c.Set(x, y, {static_cast<int>(tint.r * (1.1 - d * 0.5)), static_cast<int>(tint.g * (1.1 - d * 0.5)),
                                static_cast<int>(tint.b * (1.1 - d * 0.5))});
      else if (d < 1.12) c.Set(x, y, {235, 225, 170});
    }
  c.Box(73, 14, 76, 50, {230, 230, 230});
  c.Box(76, 14, 94, 24, {220, 40, 40});
  c.Box(60, 50, 90, 54, {30, 110, 40});
  const int tw = Canvas::TextWidth(font, caption, 1);
  c.Text(font, caption, (kW - tw) / 2, 64, 1, {250, 250, 240});
  shapetools::Image image = c.Shape();
  image.centrex = kW / 2;
  image.centrey = kH / 2;
  return shapetools::shapefile({{"logo", image}});
}

}  // namespace

std::vector<datapack::BigEntry> GameModeArt(const shapetools::Font& font) {
  struct Logo {
    const char* name;
    const char* caption;
    Rgb tint;
  };
  static const Logo kLogos[] = {
      {"logoprac.fsh", "PRACTICE", {60, 140, 80}},    {"logostro.fsh", "STROKE", {50, 90, 170}},
      {"logotour.fsh", "TOURNAMENT", {150, 120, 40}}, {"logoskin.fsh", "SKINS", {150, 60, 60}},
      {"logoshoo.fsh", "SHOOT-OUT", {120, 60, 150}},  {"logomatc.fsh", "MATCH", {40, 130, 140}},
      {"logo4bal.fsh", "FOUR BALL", {170, 90, 40}},   {"logofour.fsh", "FOURSOMES", {90, 110, 50}},
      {"logodriv.fsh", "RANGE", {70, 70, 90}},
  };
  std::vector<datapack::BigEntry> entries;
  for (const Logo& logo : kLogos) entries.push_back({logo.name, ModeLogo(font, logo.caption, logo.tint)});
  return entries;
}

std::vector<datapack::BigEntry> SettingsDialogArt(const shapetools::Font& font) {
  return {{"btnplay.fsh", ThreeLookButton(font, "PLAY", 90, 30)}, {"btnok.fsh", ThreeLookButton(font, "OK", 90, 30)}};
}

}  // namespace mkdemo
