#include "frontart.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "canvas.h"
#include "course/savedfiles.h"
#include "golf/shotfile.h"
#include "holes.h"
#include "golf/game.h"
#include "golf/playerinfo.h"
#include "menus.h"

namespace fs = std::filesystem;

namespace mkdemo {
namespace {

std::string FrameName(int k) {
  char name[8];
  std::snprintf(name, sizeof name, "fr%02d", k);
  return name;
}

// A rounded plate with a caption; corners transparent.
shapetools::Image Plate(const shapetools::Font& font, const std::string& caption, int w, int h, Rgb base, Rgb edge,
                        Rgb ink) {
  Canvas c(w, h, base);
  c.Frame(0, 0, w, h, 2, edge);
  c.RoundCorners();
  const int tw = Canvas::TextWidth(font, caption, 1);
  c.Text(font, caption, (w - tw) / 2, h / 2 - 8, 1, ink);
  return c.Shape();
}

constexpr Rgb kGrey{70, 70, 80}, kGreyEdge{120, 120, 130}, kGreyInk{150, 150, 150};
constexpr Rgb kBlue{40, 70, 150}, kBlueEdge{210, 220, 240}, kWhite{250, 250, 250};
constexpr Rgb kBright{90, 120, 200}, kYellow{255, 255, 120};

// The three looks of a small button: disabled, normal, highlight.
std::vector<uint8_t> ThreeLooks(const shapetools::Font& font, const std::string& caption, int w, int h) {
  return shapetools::shapefile({{FrameName(0), Plate(font, caption, w, h, kGrey, kGreyEdge, kGreyInk)},
                                {FrameName(1), Plate(font, caption, w, h, kBlue, kBlueEdge, kWhite)},
                                {FrameName(2), Plate(font, caption, w, h, kBright, kYellow, kYellow)}});
}

// A sheet of one look: frame 1 the add arrow, 2 the remove arrow, 3 spare, 4 the set-up button.
std::vector<uint8_t> Sheet(const shapetools::Font& font, Rgb base, Rgb edge, Rgb ink) {
  return shapetools::shapefile({{FrameName(0), Plate(font, ">>", 44, 32, base, edge, ink)},
                                {FrameName(1), Plate(font, "<<", 44, 32, base, edge, ink)},
                                {FrameName(2), Plate(font, "", 44, 32, base, edge, ink)},
                                {FrameName(3), Plate(font, "SET", 44, 32, base, edge, ink)}});
}

// An arrow whose glow runs along it, a few frames.
std::vector<uint8_t> ArrowAnimation(const shapetools::Font& font, const std::string& caption) {
  std::vector<std::pair<std::string, shapetools::Image>> frames;
  for (int k = 0; k < 6; ++k) {
    const int glow = static_cast<int>(40 * std::sin(k * M_PI / 3));
    frames.emplace_back(FrameName(k), Plate(font, caption, 44, 32, {kBlue.r + glow, kBlue.g + glow, kBlue.b + glow},
                                            kBlueEdge, kWhite));
  }
  return shapetools::shapefile(frames);
}

// A wide button: frame 1 still, then frames whose edge pulses (the highlight's animation).
std::vector<uint8_t> PulsingButton(const shapetools::Font& font, const std::string& caption, int w, int h) {
  std::vector<std::pair<std::string, shapetools::Image>> frames;
  frames.emplace_back(FrameName(0), Plate(font, caption, w, h, kBlue, kBlueEdge, kWhite));
  for (int k = 1; k < 8; ++k) {
    const int v = static_cast<int>(60 * std::sin(k * M_PI / 7));
    frames.emplace_back(FrameName(k), Plate(font, caption, w, h, {kBright.r + v / 2, kBright.g + v / 2, kBright.b},
                                            {255, 255, 120 + v}, kYellow));
  }
  return shapetools::shapefile(frames);
}

// Scroll-bar pieces, 12 pixels wide: a groove and a raised thumb.
std::vector<uint8_t> Piece(int height, bool thumb, int part) {
  Canvas c(12, height, thumb ? Rgb{170, 180, 210} : Rgb{30, 40, 70});
  if (thumb) {
    c.Box(0, 0, 1, height, {230, 235, 250});
    c.Box(11, 0, 12, height, {90, 100, 130});
    if (part == 0) c.Box(0, 0, 12, 1, {230, 235, 250});
    if (part == 2) c.Box(0, height - 1, 12, height, {90, 100, 130});
    if (part == 1) c.Box(3, 0, 9, height, {150, 160, 195});
  } else {
    c.Box(0, 0, 1, height, {15, 20, 40});
    c.Box(11, 0, 12, height, {110, 120, 150});
    if (part == 0) c.Box(0, 0, 12, 2, {110, 120, 150});
    if (part == 2) c.Box(0, height - 2, 12, height, {110, 120, 150});
  }
  return shapetools::shapefile({{"grfx", c.Shape()}});
}

// A course's logo: a shield with a flag and the course's name, the hot spot at its top-left.
std::vector<uint8_t> Logo(const shapetools::Font& font, const std::string& name, int seed) {
  const Rgb field{40 + (seed * 37) % 60, 100 + (seed * 53) % 80, 60 + (seed * 29) % 60};
  Canvas c(240, 140, {0, 0, 0});
  for (int y = 0; y < 140; ++y)
    for (int x = 0; x < 240; ++x) {
      const int inset = y > 90 ? (y - 90) * 2 : 0;
      if (x >= 4 + inset && x < 236 - inset) c.Set(x, y, {field.r + y / 6, field.g + y / 5, field.b});
    }
  c.Frame(4, 0, 236, 4, 4, {230, 210, 120});
  c.Box(110, 14, 113, 70, {240, 240, 240});
  c.Box(113, 14, 140, 30, {220, 40, 40});
  for (int x = 70; x < 170; ++x) c.Set(x, 70 + static_cast<int>(4 * std::sin(x / 9.0)), {250, 250, 250});
  const int tw = Canvas::TextWidth(font, name, 1);
  c.Text(font, name, (240 - tw) / 2, 84, 1, {250, 240, 200});
  return shapetools::shapefile({{"logo", c.Shape()}});
}

// The five flight paths of the clubs dialog (low to high), one look per file.
std::vector<uint8_t> Trajectories(Rgb base, Rgb line) {
  std::vector<std::pair<std::string, shapetools::Image>> frames;
  for (int k = 0; k < 5; ++k) {
    Canvas c(44, 22, base);
    c.Frame(0, 0, 44, 22, 1, {150, 170, 210});
    const double apex = 5 + 2.5 * k;
    for (int x = 3; x < 41; ++x) {
      const double t = (x - 3) / 37.0;
      const int y = 19 - static_cast<int>(apex * 4 * t * (1 - t) + 0.5);
      c.Box(x, y, x + 1, y + 2, line);
    }
    frames.emplace_back(FrameName(k), c.Shape());
  }
  return shapetools::shapefile(frames);
}

// The pointer: a white arrow edged in black, its hot spot at the tip.
std::vector<uint8_t> Arrow() {
  Canvas c(14, 22, {0, 0, 0});
  for (int row = 0; row < 17; ++row)
    for (int col = 0; col <= row * 2 / 3 && col < 12; ++col) c.Set(col, row, {250, 250, 250});
  c.Box(4, 15, 7, 21, {250, 250, 250});
  // The edge: every white pixel's dark neighbours.
  Canvas edged = c;
  for (int y = 0; y < 22; ++y)
    for (int x = 0; x < 14; ++x) {
      if (c.Get(x, y).r) continue;
      for (int d = 0; d < 4; ++d) {
        const int nx = x + (d == 0) - (d == 1), ny = y + (d == 2) - (d == 3);
        if (nx >= 0 && ny >= 0 && nx < 14 && ny < 22 && c.Get(nx, ny).r) edged.Set(x, y, {8, 8, 8});
      }
    }
  return shapetools::shapefile({{"grfx", edged.Shape()}});
}

// The busy pointer: a ball going round, eight frames.
std::vector<uint8_t> BusyBall() {
  std::vector<std::pair<std::string, shapetools::Image>> frames;
  for (int k = 0; k < 8; ++k) {
    Canvas c(24, 24, {0, 0, 0});
    const double a = k * M_PI / 4;
    for (int i = 0; i < 8; ++i) {
      const double b = i * M_PI / 4;
      c.Box(11 + static_cast<int>(8 * std::cos(b)), 11 + static_cast<int>(8 * std::sin(b)),
            13 + static_cast<int>(8 * std::cos(b)), 13 + static_cast<int>(8 * std::sin(b)), {90, 110, 150});
    }
    const int bx = 12 + static_cast<int>(8 * std::cos(a)), by = 12 + static_cast<int>(8 * std::sin(a));
    c.Box(bx - 3, by - 3, bx + 3, by + 3, {250, 250, 250});
    frames.emplace_back(FrameName(k), c.Shape());
  }
  return shapetools::shapefile(frames);
}

}  // namespace

shapetools::Font LetteringFont(const std::string& fontFolder) {
  shapetools::Font font;
  std::string error;
  const std::string file = (fs::path(fontFolder) / "Lat15-TerminusBold16.psf.gz").string();
  if (!shapetools::convertpsf(shapetools::readpsffile(file), 1, 1, font, error))
    throw std::runtime_error(file + ": " + error);
  return font;
}

std::vector<datapack::BigEntry> FrontEndArt(const shapetools::Font& font) {
  std::vector<datapack::BigEntry> art;
  art.push_back({"mouseptr.fsh", Arrow()});
  art.push_back({"animwait.fsh", BusyBall()});
  art.push_back({"track-t.fsh", Piece(6, false, 0)});
  art.push_back({"track-m.fsh", Piece(8, false, 1)});
  art.push_back({"track-b.fsh", Piece(6, false, 2)});
  art.push_back({"thumb-t.fsh", Piece(4, true, 0)});
  art.push_back({"thumb-m.fsh", Piece(8, true, 1)});
  art.push_back({"thumb-b.fsh", Piece(4, true, 2)});
  art.push_back({"butdelet.fsh", ThreeLooks(font, "DEL", 44, 32)});
  art.push_back({"golfrs-b.fsh", Sheet(font, kGrey, kGreyEdge, kGreyInk)});
  art.push_back({"golfrs-c.fsh", Sheet(font, kBlue, kBlueEdge, kWhite)});
  art.push_back({"golfrs-e.fsh", Sheet(font, kBright, kYellow, kYellow)});
  art.push_back({"addbanim.fsh", ArrowAnimation(font, ">>")});
  art.push_back({"rembanim.fsh", ArrowAnimation(font, "<<")});
  art.push_back({"butprofl.fsh", PulsingButton(font, "PROFILE", 110, 32)});
  art.push_back({"butsetup.fsh", PulsingButton(font, "NEW GOLFER", 130, 32)});
  art.push_back({"butclubs.fsh", PulsingButton(font, "CLUBS", 100, 32)});
  art.push_back({"traj-b.fsh", Trajectories({20, 36, 70}, {220, 220, 230})});
  art.push_back({"traj-c.fsh", Trajectories({40, 70, 140}, {255, 255, 120})});
  art.push_back({"traj-e.fsh", Trajectories({90, 40, 40}, {255, 255, 255})});
  {
    Canvas panel(522, 333, {22, 40, 78});
    panel.Frame(0, 0, 522, 333, 3, {150, 170, 210});
    panel.Box(20, 44, 500, 270, {14, 26, 52});
    art.push_back({"bgclubs.fsh", shapetools::shapefile({{"grfx", panel.Shape()}})});
  }
  art.push_back({"plus.fsh", ThreeLooks(font, "+", 12, 12)});
  art.push_back({"minus.fsh", ThreeLooks(font, "-", 12, 12)});
  return art;
}

void WriteCourseLogos(const fs::path& courses, const std::string& fontFolder) {
  const shapetools::Font font = LetteringFont(fontFolder);
  int seed = 0;
  for (const auto& entry : fs::directory_iterator(courses)) {
    if (!entry.is_directory() || !fs::exists(entry.path() / "COURSE.DAT")) continue;
    const std::string name = entry.path().filename().string();
    writeBytesTo(entry.path() / "Logo.fsh", Logo(font, name, seed++));
  }
}

void WriteDemoGolfers(const fs::path& players) {
  struct Golfer {
    const char* name;
    uint32_t model;
    uint32_t rounds, holes, strokes, longest, best;
    bool network;
  };
  // GOLFER is this machine's golfer for network play.
  const Golfer golfers[] = {{"Ada Lark", 0, 3, 54, 232, 271, 74, false},
                            {"Tom Reed", 1, 0, 0, 0, 0, 0, false},
                            {"GOLFER", 2, 0, 0, 0, 0, 0, true}};
  fs::create_directories(players);
  for (const Golfer& g : golfers) {
    const fs::path file = players / (std::string(g.name) + ".amt");
    if (fs::exists(file)) continue;
    playerInfo_s record;
    std::snprintf(record.name, sizeof record.name, "%s", g.name);
    record.model = g.model;
    // Golfers of the player's own at the Amateur level, with the first caddie.
    record.flags = g.network ? 0x100 | 0x20 : kGolferTakesPart | 0x20;
    record.SetMulliganRule(1);
    record.SetLevel(1);
    record.option1 = 1;
    record.SetStatistic(kStatRoundsPlayed, g.rounds);
    record.SetStatistic(kStatHolesPlayed, g.holes);
    record.SetStatistic(kStatTotalStrokes, g.strokes);
    record.SetStatistic(kStatLongestDrive, g.longest);
    record.SetStatistic(kStatBestRound, g.best);
    record.flags |= kGolferTaggedForm;
    std::vector<uint8_t> bytes(kTaggedRecordBytes, 0);
    SerialTarget s = SerialTarget::OverMemory(bytes.data(), bytes.size());
    if (!record.WriteToStream(&s)) throw std::runtime_error("cannot write the golfer " + std::string(g.name));
    bytes.resize(static_cast<size_t>(s.cursor - bytes.data()));
    writeBytesTo(file, bytes);
  }
}

std::vector<uint8_t> ThreeLookButton(const shapetools::Font& font, const std::string& caption, int w, int h) {
  return ThreeLooks(font, caption, w, h);
}

void WriteDemoHighlights(const fs::path& folder) {
  // Hole 2 of SEDGEFEN: a drive from the back tee toward the first pin, and a second shot of player 1.
  const GeneratedHole hole = GenerateHole(SedgefenPlans()[1]);
  const holewriter::HoleDescription& t = hole.terrain;
  const auto cellPoint = [&](uint32_t cell) {
    const uint32_t i = cell % t.width, j = cell / t.width;
    const float height = cell < t.heights.size() ? t.heights[cell] : 0.0f;
    return Vector3{static_cast<float>(t.width) * 0.5f - static_cast<float>(i) - 0.5f,
                   static_cast<float>(j) - static_cast<float>(t.depth) * 0.5f + 0.5f, height};
  };
  const Vector3 tee = cellPoint(t.teeStart[0]), pin = cellPoint(t.pins[0]);
  const float dx = pin.x - tee.x, dy = pin.y - tee.y, length = std::max(1.0f, std::hypot(dx, dy));
  struct Shot {
    const char* file;
    const char* caption;
    const char* golfer;
    uint32_t shot, club, surface;
    float speed, rise;
  };
  const Shot shots[] = {{"SHOT0001.DAT", "Reed bed carry", "Ada Lark", 0, 0, 0x10, 62.0f, 18.0f},
                        {"P01S0002.DAT", "P1 Shot02", "Tom Reed", 1, 13, 0x70, 38.0f, 22.0f}};
  for (const Shot& s : shots) {
    const fs::path file = folder / s.file;
    if (fs::exists(file)) continue;
    SavedShot body;
    body.hole = 1;
    body.mode = 0;
    body.shotIndex = s.shot;
    body.restSurface = static_cast<uint8_t>(s.surface);
    body.course = "SEDGEFEN";
    body.holeFile = "C:\\DATA\\COURSES\\SEDGEFEN\\HOLE02.MIS";
    std::snprintf(body.golfer.name, sizeof body.golfer.name, "%s", s.golfer);
    body.golfer.currentClub = static_cast<uint8_t>(s.club);
    body.launched.position = tee;
    body.launched.startPosition = tee;
    body.launched.velocity = {dx / length * s.speed, dy / length * s.speed, s.rise};
    body.pin = pin;
    SavedShotHead head;
    head.fileName = s.file;
    head.caption = s.caption;
    head.course = body.course;
    head.hole = body.hole;
    head.shot = s.shot;
    head.club = s.club;
    head.surface = s.surface;
    head.golfer = s.golfer;
    writeBytesTo(file, EncodeSavedShot(head, EncodeShotBody(body)));
  }
}

}  // namespace mkdemo

namespace mkdemo {

void WriteDemoSavedGames(const fs::path& folder) {
  struct Game {
    const char* file;
    int mode;
    int round, hole;  // 0-based: where play goes on
    uint32_t wind, gusts, fairways, rough, greens;
    const char* golfers[2];
  };
  // A stroke-play round half way, a tournament in its second round on the back nine, and a skins game.
  const Game games[] = {{"game0001.dat", kModeStroke, 0, 4, 1, 0, 2, 1, 0, {"Ada Lark", "Tom Reed"}},
                        {"game0002.dat", kModeTournament, 1, 12, 2, 1, 0, 0, 2, {"Ada Lark", nullptr}},
                        {"game0003.dat", kModeSkins, 0, 6, 0, 0, 1, 0, 1, {"Tom Reed", "Ada Lark"}}};
  fs::create_directories(folder);
  // A game of the caller's stays as it was.
  struct Aside {
    std::unique_ptr<TGame> game = TakeCurrentGame();
    ~Aside() {
      DeleteCurrentGame();
      ReplaceCurrentGame(std::move(game));
    }
  } aside;
  for (const Game& d : games) {
    const fs::path file = folder / d.file;
    if (fs::exists(file)) continue;
    if (CreateGame(d.mode) != 1) throw std::runtime_error("cannot make the saved game " + std::string(d.file));
    TGame* g = CurrentGame();
    g->courseName = "SEDGEFEN";
    g->state.firstHole = 0;
    g->state.holeCount = 18;
    g->state.round = static_cast<uint16_t>(d.round);
    g->state.hole = static_cast<uint16_t>(d.hole);
    g->SetOptionField(0, d.wind);
    g->SetOptionField(1, d.gusts);
    g->SetOptionField(2, d.fairways);
    g->SetOptionField(3, d.rough);
    g->SetOptionField(4, d.greens);
    for (int s = 0; s < 2; ++s) {
      if (!d.golfers[s]) continue;
      TPlayer* p = g->players->GetPlayer(s);
      std::snprintf(p->name, sizeof p->name, "%s", d.golfers[s]);
      p->flags = kGolferTakesPart | 0x20;
      // Strokes of the holes played so far, 3 to 6 with a putt or two.
      for (int r = 0; r <= d.round; ++r)
        for (int h = 0; h < (r < d.round ? 18 : d.hole); ++h)
          p->SetHoleScore(r, h, static_cast<uint32_t>(3 + (h * 7 + s * 3 + r) % 4), static_cast<uint32_t>(1 + (h + s) % 2));
    }
    std::vector<uint8_t> state;
    if (SaveGameBytes(state) != 0) throw std::runtime_error("cannot store the saved game " + std::string(d.file));
    DeleteCurrentGame();
    writeBytesTo(file, EncodeSavedGame("Sedgefen", state));
  }
}

}  // namespace mkdemo
