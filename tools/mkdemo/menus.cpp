// The front end's art: menu backgrounds (".dct"), button and animation shapes in "menus.viv", and the dialog
// panels of "gamedlog.viv" for each screen size. All of it is drawn here from gradients, frames and the
// Terminus face.
#include "menus.h"

#include "canvas.h"
#include "frontart.h"
#include "settingsart.h"

#include <cmath>
#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "datapack/datapack.h"
#include "movieenc.h"
#include "psffont.h"
#include "shapewriter.h"

namespace fs = std::filesystem;

namespace mkdemo {
namespace {

// A background of 800 x 600: a sky-to-grass gradient, a title bar and a framed panel.
struct Panel {
  int l, t, r, b;
};

std::vector<uint8_t> Background(const shapetools::Font& font, const std::string& caption, Rgb tint,
                                const std::vector<Panel>& panels) {
  Canvas c(800, 600, {0, 0, 0});
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) {
      const double t = y / 600.0, wave = std::sin(x / 60.0 + y / 90.0) * 8;
      c.Set(x, y, {static_cast<int>(tint.r * (1 - t) + 20 * t + wave), static_cast<int>(tint.g * (1 - t) + 90 * t + wave),
                   static_cast<int>(tint.b * (1 - t) + 40 * t)});
    }
  c.Box(0, 40, 800, 100, {16, 40, 70});
  c.Frame(0, 40, 800, 100, 2, {180, 200, 230});
  c.Text(font, caption, 20, 112, 2, {230, 230, 240});
  for (const Panel& p : panels) {
    c.Box(p.l, p.t, p.r, p.b, {20, 36, 60});
    c.Frame(p.l, p.t, p.r, p.b, 3, {150, 170, 200});
  }
  return movietools::encodedct(c.Rgb24().data(), 800, 600, 12);
}

// A button of three frames (normal, highlight, pressed): a rounded plate with its caption.
std::vector<uint8_t> Button(const shapetools::Font& font, const std::string& caption, int w, int h, Rgb base) {
  std::vector<std::pair<std::string, shapetools::Image>> frames;
  const Rgb looks[] = {base, {base.r + 50, base.g + 50, base.b + 20}, {base.r - 40, base.g - 40, base.b - 40}};
  for (int k = 0; k < 3; ++k) {
    Canvas c(w, h, looks[k]);
    c.Frame(0, 0, w, h, 2, k == 1 ? Rgb{255, 255, 120} : Rgb{230, 230, 240});
    c.RoundCorners();
    const int tw = Canvas::TextWidth(font, caption, 1);
    c.Text(font, caption, (w - tw) / 2 + (k == 2), h / 2 - 8 + (k == 2), 1, {250, 250, 250});
    char name[16];
    std::snprintf(name, sizeof name, "fr%02d", k);
    frames.emplace_back(name, c.Shape());
  }
  return shapetools::shapefile(frames);
}

// The menu animation: a ball rolling round a small green, a few frames.
std::vector<uint8_t> Vex() {
  std::vector<std::pair<std::string, shapetools::Image>> frames;
  for (int k = 0; k < 8; ++k) {
    Canvas c(48, 48, {0, 0, 0});
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 48; ++x)
        if ((x - 24) * (x - 24) + (y - 24) * (y - 24) < 22 * 22) c.Set(x, y, {40, 150, 60});
    const double a = k * M_PI / 4;
    const int bx = 24 + static_cast<int>(14 * std::cos(a)), by = 24 + static_cast<int>(14 * std::sin(a));
    c.Box(bx - 3, by - 3, bx + 3, by + 3, {250, 250, 250});
    c.Box(22, 10, 24, 26, {200, 200, 200});
    c.Box(24, 10, 32, 15, {220, 40, 40});
    char name[16];
    std::snprintf(name, sizeof name, "fr%02d", k);
    frames.emplace_back(name, c.Shape());
  }
  return shapetools::shapefile(frames);
}

// A golfer's picture: a figure in the colours of the slot, standing on its shadow, the hot spot at its feet.
std::vector<uint8_t> GolferPicture(int slot) {
  const Rgb shirt{60 + (slot * 53) % 180, 60 + (slot * 97) % 180, 60 + (slot * 29) % 180};
  const Rgb trousers{30 + (slot * 41) % 90, 30 + (slot * 17) % 90, 50 + (slot * 71) % 120};
  Canvas c(70, 115, {0, 0, 0});
  for (int y = 0; y < 18; ++y)
    for (int x = 0; x < 18; ++x)
      if ((x - 9) * (x - 9) + (y - 9) * (y - 9) < 72) c.Set(26 + x, 4 + y, {230, 190, 150});
  c.Box(22, 24, 48, 62, shirt);
  c.Box(14, 26, 22, 56, shirt);
  c.Box(48, 26, 56, 56, shirt);
  c.Box(24, 62, 34, 106, trousers);
  c.Box(36, 62, 46, 106, trousers);
  c.Box(20, 106, 34, 112, {40, 30, 20});
  c.Box(36, 106, 50, 112, {40, 30, 20});
  c.Box(55, 20, 57, 100, {200, 200, 210});  // the club
  shapetools::Image image = c.Shape();
  image.centrex = 35;
  image.centrey = 112;
  return shapetools::shapefile({{"grfx", image}});
}

std::vector<uint8_t> Plain(int w, int h, Rgb fill, Rgb frame) {
  Canvas c(w, h, fill);
  c.Frame(0, 0, w, h, 3, frame);
  return shapetools::shapefile({{"grfx", c.Shape()}});
}

}  // namespace

void WriteRangeMenu(const fs::path& range, const std::string& fontFolder) {
  const shapetools::Font font = LetteringFont(fontFolder);
  fs::create_directories(range);
  writeBytesTo(range / "bgpract.dct", Background(font, "", {50, 110, 70}, {{290, 200, 520, 380}}));
}

void writeBytesTo(const fs::path& path, const std::vector<uint8_t>& bytes) {
  if (!shapetools::writefile(path.string(), bytes)) throw std::runtime_error("cannot write " + path.string());
}

void WriteMenus(const fs::path& data, const std::string& fontFolder) {
  const shapetools::Font font = LetteringFont(fontFolder);
  std::vector<datapack::BigEntry> menus;
  menus.push_back({"bgmain.dct", Background(font, "", {40, 90, 160}, {{120, 145, 510, 320}})});
  menus.push_back({"bgcourse.dct", Background(font, "", {60, 120, 90}, {{440, 128, 770, 286}, {140, 130, 400, 290}, {140, 292, 400, 528}})});
  menus.push_back({"bggolfer.dct", Background(font, "", {90, 70, 140},
                                              {{266, 140, 470, 272}, {266, 322, 470, 456}, {486, 140, 700, 250},
                                               {60, 180, 240, 500}})});
  menus.push_back({"bgcreate.dct", Background(font, "", {70, 90, 140},
                                              {{130, 150, 330, 190}, {140, 292, 560, 440}, {355, 165, 540, 290},
                                               {548, 160, 632, 288}})});
  // The highlights: the list at the top left, the description panel below it.
  menus.push_back({"bghighli.dct", Background(font, "", {120, 70, 60}, {{146, 160, 350, 300}, {150, 382, 430, 566}})});
  // The network screens: the connection's three choices, the configuration's two lists, the lobby's players,
  // games and chat lists with the chat line under them.
  menus.push_back({"bgnetcon.dct", Background(font, "", {50, 80, 130}, {{290, 200, 520, 400}})});
  menus.push_back({"bgconfig.dct", Background(font, "", {60, 80, 120}, {{264, 190, 490, 290}, {264, 344, 790, 444}})});
  menus.push_back({"bgnetgam.dct", Background(font, "", {50, 90, 120},
                                              {{115, 170, 330, 300}, {330, 170, 680, 320}, {115, 354, 555, 470},
                                               {143, 472, 583, 500}})});
  // The modem screen: the phone book, the name and number, the status panel.
  menus.push_back({"bgmodem.dct", Background(font, "", {60, 70, 120},
                                             {{125, 195, 300, 400}, {335, 160, 560, 300}, {128, 432, 348, 502}})});
  // The clubhouse: the Pro Shop and the golfers on the tee, the chat list and its line, the game's description.
  menus.push_back({"bgclubho.dct", Background(font, "", {60, 95, 75},
                                              {{115, 176, 335, 280}, {408, 174, 628, 250}, {115, 354, 485, 440},
                                               {147, 470, 517, 498}, {405, 282, 760, 352}})});
  // The game modes: the logo at the top left, the options below it, the list at the right, the description.
  menus.push_back({"bgmodes.dct", Background(font, "", {70, 100, 130}, {{460, 150, 740, 352}, {90, 258, 470, 380},
                                                                         {150, 386, 496, 560}})});
  for (datapack::BigEntry& entry : GameModeArt(font)) menus.push_back(std::move(entry));
  // The saved games: the score card at the top, the list and the description below it.
  menus.push_back({"bgsaved.dct", Background(font, "", {70, 100, 80},
                                             {{138, 144, 604, 368}, {136, 372, 262, 470}, {268, 372, 596, 470}})});
  menus.push_back({"vex.fsh", Vex()});
  for (int c = 0; c < 4; ++c) {
    char name[24];
    std::snprintf(name, sizeof name, "caddie%02d.fsh", c);
    menus.push_back({name, GolferPicture(30 + 7 * c)});
  }
  menus.push_back({"blueswat.fsh", Plain(64, 32, {30, 60, 140}, {90, 130, 210})});
  // The main menu's buttons step down to the left; each clears the next one.
  menus.push_back({"teeoff.fsh", Button(font, "TEE OFF", 150, 48, {30, 120, 50})});
  menus.push_back({"butgolfr.fsh", Button(font, "GOLFERS", 150, 44, {40, 70, 150})});
  menus.push_back({"butcours.fsh", Button(font, "COURSES", 150, 44, {40, 70, 150})});
  menus.push_back({"butmodes.fsh", Button(font, "GAME MODES", 150, 34, {40, 70, 150})});
  menus.push_back({"butnet.fsh", Button(font, "NETWORK", 150, 34, {40, 70, 150})});
  menus.push_back({"buthost.fsh", Button(font, "HOST", 110, 40, {30, 120, 50})});
  menus.push_back({"butdial.fsh", Button(font, "DIAL", 110, 40, {40, 70, 150})});
  menus.push_back({"butadd.fsh", Button(font, "ADD", 80, 32, {40, 110, 60})});
  menus.push_back({"butminus.fsh", Button(font, "REMOVE", 80, 32, {130, 50, 40})});
  menus.push_back({"btnok.fsh", Button(font, "OK", 80, 32, {40, 110, 60})});
  menus.push_back({"btncance.fsh", Button(font, "CANCEL", 80, 32, {130, 50, 40})});
  menus.push_back({"confirm.fsh", Plain(300, 160, {20, 40, 80}, {160, 180, 220})});
  for (datapack::BigEntry& entry : FrontEndArt(font)) menus.push_back(std::move(entry));
  for (int slot = 0; slot < 26; ++slot) {
    char name[24];
    std::snprintf(name, sizeof name, "golfer%02u.fsh", static_cast<unsigned>(slot));
    menus.push_back({name, GolferPicture(slot)});
  }
  fs::create_directories(data / "MENUS");
  writeBytesTo(data / "MENUS" / "menus.viv", datapack::writebigfile(2, menus));
  for (const char* size : {"UI640", "UI800"}) {
    std::vector<datapack::BigEntry> dialog;
    dialog.push_back({"bkdialog.fsh", Plain(522, 333, {24, 44, 84}, {150, 170, 210})});
    dialog.push_back({"butblue.fsh", Plain(80, 28, {40, 70, 160}, {150, 170, 210})});
    for (datapack::BigEntry& entry : SettingsDialogArt(font)) dialog.push_back(std::move(entry));
    fs::create_directories(data / size);
    writeBytesTo(data / size / "gamedlog.viv", datapack::writebigfile(2, dialog));
    // The score card: its panel with room for the buttons below the card, and the card's frame (5 pixels round
    // the card's cells).
    std::vector<datapack::BigEntry> score;
    score.push_back({"bkdialog.fsh", Plain(560, 310, {24, 44, 84}, {150, 170, 210})});
    score.push_back({"scorebkg.fsh", Plain(461, 218, {12, 58, 28}, {230, 220, 160})});
    writeBytesTo(data / size / "scoredlg.viv", datapack::writebigfile(2, score));
    // The camera dialogs: each its panel and its arrows (disabled, normal and highlight looks).
    const auto arrows = [&](std::initializer_list<std::pair<const char*, const char*>> list) {
      std::vector<datapack::BigEntry> entries;
      entries.push_back({"bkdialog.fsh", Plain(522, 333, {24, 44, 84}, {150, 170, 210})});
      for (const auto& [name, caption] : list) entries.push_back({name, ThreeLookButton(font, caption, 40, 28)});
      return datapack::writebigfile(2, entries);
    };
    writeBytesTo(data / size / "campos.viv", arrows({{"btncalef.fsh", "<-"}, {"btncafor.fsh", "+"}, {"btncabac.fsh", "-"},
                                                     {"btncarig.fsh", "->"}}));
    writeBytesTo(data / size / "rotatevw.viv", arrows({{"btncarol.fsh", "<-"}, {"btncaror.fsh", "->"},
                                                       {"btncabac.fsh", "-"}, {"btncafor.fsh", "+"}}));
  }
}

}  // namespace mkdemo
