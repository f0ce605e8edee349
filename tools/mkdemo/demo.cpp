#include "demo.h"
#include "sounds.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "anim.h"
#include "course/catalogue.h"
#include "datapack/datapack.h"
#include "holes.h"
#include "holewriter.h"
#include "psffont.h"
#include "frontart.h"
#include "menus.h"
#include "roundui.h"
#include "scene.h"
#include "shapewriter.h"

namespace fs = std::filesystem;

namespace mkdemo {
namespace {

constexpr char kTempPrefix[] = ".mkdemo-tmp-";

struct Failure {
  std::string what;
};

void writeBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  if (!shapetools::writefile(path.string(), bytes)) throw Failure{"cannot write " + path.string()};
}
void writeText(const fs::path& path, const std::string& text) {
  writeBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// The fonts the game loads by name, each converted from the Terminus console font nearest its size.
struct FontPlan {
  const char* name;
  int size;
  bool bold;
};
constexpr FontPlan kFonts[] = {
    {"vavodu12.ffn", 12, false}, {"vavodu14.ffn", 14, false}, {"vex3d-13.ffn", 13, false},
    {"vex3d-14.ffn", 14, false}, {"HAL8b.ffn", 8, true},      {"HAL10b.ffn", 10, true},
    {"HAL12b.ffn", 12, true},    {"Hal13i.ffn", 13, false},   {"Hal18i.ffn", 18, false},
    {"hal24i.ffn", 24, false},   {"arial9.ffn", 9, false},    {"trek13.ffn", 13, true},
    {"trek18.ffn", 18, true},    {"trek24.ffn", 24, true},    {"trek36.ffn", 36, true},
    {"trek45.ffn", 45, true},    {"trek58.ffn", 58, true},    {"trek72.ffn", 72, true},
    {"trek90.ffn", 90, true},    {"digi22.ffn", 22, true},    {"digi28.ffn", 28, true},
    {"digi44.ffn", 44, true},
};

std::string terminusFile(int size, bool bold) {
  static const struct {
    int height;
    const char* suffix;
  } kSizes[] = {{12, "12x6"}, {14, "14"}, {16, "16"}, {18, "18x10"}, {20, "20x10"},
                {22, "22x11"}, {24, "24x12"}, {28, "28x14"}, {32, "32x16"}};
  const char* suffix = kSizes[8].suffix;
  int height = 32;
  for (const auto& s : kSizes)
    if (size <= s.height) {
      suffix = s.suffix;
      height = s.height;
      break;
    }
  // There is no bold face at 12 pixels.
  return std::string("Lat15-Terminus") + (bold && height > 12 ? "Bold" : "") + suffix + ".psf.gz";
}

void writeFonts(const fs::path& fonts, const std::string& source) {
  for (const FontPlan& plan : kFonts) {
    const std::string file = (fs::path(source) / terminusFile(plan.size, plan.bold)).string();
    shapetools::Font font;
    std::string error;
    if (!shapetools::convertpsf(shapetools::readpsffile(file), 1, 1, font, error))
      throw Failure{file + ": " + error +
                    " (the Terminus console fonts come with Debian's console-setup-linux; scripts/deps.sh installs it)"};
    writeBytes(fonts / plan.name, shapetools::fontfile(font));
  }
}

uint16_t rgb565(uint32_t r, uint32_t g, uint32_t b) { return static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3)); }

// The picture shown while the display changes mode ("load.fsh" in MENUS): "Loading..." in the Terminus face,
// doubled, on a green panel with a light frame.
void writeLoadingPicture(const fs::path& menus, const std::string& source) {
  shapetools::Font font;
  std::string error;
  const std::string file = (fs::path(source) / terminusFile(16, true)).string();
  if (!shapetools::convertpsf(shapetools::readpsffile(file), 1, 1, font, error)) throw Failure{file + ": " + error};
  shapetools::Image picture;
  picture.type = 0x78;
  picture.width = 320;
  picture.height = 96;
  picture.pixels.assign(320 * 96, rgb565(24, 72, 36));
  for (int32_t y = 0; y < picture.height; ++y)
    for (int32_t x = 0; x < picture.width; ++x)
      if (x < 4 || y < 4 || x >= picture.width - 4 || y >= picture.height - 4)
        picture.pixels[static_cast<size_t>(y * picture.width + x)] = rgb565(200, 220, 180);
  const std::string text = "Loading...";
  int32_t pen = (picture.width - static_cast<int32_t>(text.size()) * 16) / 2;
  for (char ch : text) {
    for (const shapetools::Glyph& g : font.glyphs) {
      if (g.code != static_cast<uint8_t>(ch)) continue;
      for (int32_t y = 0; y < g.height * 2; ++y)
        for (int32_t x = 0; x < g.width * 2; ++x)
          if (g.pixels[static_cast<size_t>((y / 2) * g.width + x / 2)])
            picture.pixels[static_cast<size_t>((32 + y) * picture.width + pen + x)] = rgb565(250, 250, 235);
      pen += g.advance * 2;
    }
  }
  writeBytes(menus / "load.fsh", shapetools::shapefile({{"grfx", picture}}));
}

std::string holeName(int number) {
  char name[16];
  std::snprintf(name, sizeof name, "HOLE%02d", number);
  return name;
}

void writeHole(const fs::path& folder, int number, const holewriter::HoleDescription& hole, const std::string& header,
               bool archive) {
  if (archive) {
    writeBytes(folder / (holeName(number) + ".viv"), datapack::writebigfile(2, HoleArchiveEntries(number, hole, header)));
    return;
  }
  for (const holewriter::HoleFile& f : holewriter::EncodeHole(hole)) writeBytes(folder / (holeName(number) + f.extension), f.bytes);
  writeText(folder / (holeName(number) + ".HDR"), header);
}

// Holes ranked by length against the usual length of their par: the longest plays as stroke index 1.
std::vector<int> strokeIndexes(const std::vector<HolePlan>& plans, int count) {
  std::vector<int> order(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) order[static_cast<size_t>(i)] = i;
  auto hardness = [&](int i) {
    const HolePlan& p = plans[static_cast<size_t>(i)];
    return p.length * 1000 / (p.par == 3 ? 160 : p.par == 4 ? 380 : 500);
  };
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return hardness(a) > hardness(b); });
  std::vector<int> index(static_cast<size_t>(count));
  for (int rank = 0; rank < count; ++rank) index[static_cast<size_t>(order[static_cast<size_t>(rank)])] = rank + 1;
  return index;
}

std::string oneDecimal(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", v);
  return text;
}

// The course's scene (course.hnf and the shape file it names) and DISK.DAT; with archives the shape file goes
// into the course archive "<folder>.viv" that DISK.DAT lists.
void writeScene(const fs::path& folder, const std::string& course, int skyKind, bool archives) {
  const CourseScene scene = MakeCourseScene(skyKind);
  writeText(folder / "course.hnf", scene.description);
  if (archives) {
    writeBytes(folder / (course + ".viv"), datapack::writebigfile(2, {{"course.fsh", scene.shapes}}));
    writeText(folder / "DISK.DAT", "DISK 1\narchive " + course + ".viv\n");
  } else {
    writeBytes(folder / "course.fsh", scene.shapes);
    writeText(folder / "DISK.DAT", "DISK 1\n");
  }
}

// The course description the front end reads: the course pairs (holes and par; the hole practice starts on), a
// pair per hole (its number and par) in COURSE.DAT and again in practice.dat, and the blurb.
std::string holePairs(const std::vector<int>& pars) {
  std::string text;
  for (size_t h = 0; h < 18; ++h)
    text += h < pars.size() ? std::to_string(h + 1) + " " + std::to_string(pars[h]) + "\n" : std::string("0 0\n");
  return text;
}

void writeDescription(const fs::path& folder, CourseFile course, const std::vector<int>& pars, int practiceHole,
                      const std::string& blurb) {
  int par = 0;
  for (int p : pars) par += p;
  course.description = std::to_string(pars.size()) + " " + std::to_string(par) + "\n" +
                       std::to_string(practiceHole) + " 0\n" + holePairs(pars) + "\nAbout the course\n" + blurb;
  writeText(folder / "COURSE.DAT", FormatCourseFile(course));
  writeText(folder / "practice.dat", "PRACTICE 1\n" + holePairs(pars));
}

void writeSedgefen(const fs::path& courses, int holes, bool archives) {
  const fs::path folder = courses / "SEDGEFEN";
  fs::create_directories(folder);
  writeScene(folder, "SEDGEFEN", 2, archives);
  CourseFile course;
  course.folder = "SEDGEFEN";
  course.title = "Sedgefen^Links among the reed beds";
  course.disc = "SEDGEDSC";
  course.holes = holes;
  const std::vector<HolePlan>& plans = SedgefenPlans();
  std::vector<int> pars;
  for (int h = 0; h < holes; ++h) pars.push_back(plans[static_cast<size_t>(h)].par);
  writeDescription(folder, course, pars, 2,
                   "Sedgefen winds through the reed beds of a tidal marsh: narrow fairways,\n"
                   "wide water and greens that fall away to the creek.\n");

  const std::vector<int> index = strokeIndexes(plans, holes);
  std::string card = "SCRCARD 1\ncourse SEDGEFEN\n# hole par index tournament blue white red\n";
  int par = 0, total[4] = {};
  std::vector<GeneratedHole> generated;
  for (int h = 0; h < holes; ++h) {
    generated.push_back(GenerateHole(plans[static_cast<size_t>(h)]));
    const GeneratedHole& hole = generated.back();
    // Hole 11's pond in front of the green glints.
    writeHole(folder, h + 1, hole.terrain, HoleHeaderText(hole, plans[static_cast<size_t>(h)].par, h == 10 ? 2 : 0),
              archives);
    par += plans[static_cast<size_t>(h)].par;
    card += "hole " + std::to_string(h + 1) + " " + std::to_string(plans[static_cast<size_t>(h)].par) + " " +
            std::to_string(index[static_cast<size_t>(h)]);
    for (int k = 0; k < 4; ++k) {
      card += " " + std::to_string(hole.yards[k]);
      total[k] += hole.yards[k];
    }
    card += "\n";
  }
  // Ratings: par, adjusted by 1 stroke for each 220 yards beyond 90% of 400 yards a hole.
  card += "rating";
  for (int k = 0; k < 4; ++k) card += " " + oneDecimal(par + (total[k] - holes * 360.0) / 220.0);
  card += "\n";
  writeText(folder / "SCRCARD.ASC", card);
  writeText(folder / "gallery.inf", GalleryText(generated));
}

void writeRange(const fs::path& courses, bool archives) {
  const fs::path folder = courses / "RANGE";
  fs::create_directories(folder);
  CourseFile course;
  course.folder = "RANGE";
  course.title = "Driving range";
  course.range = true;
  course.holes = 1;
  writeDescription(folder, course, {4}, 1, "Practise every club from the range's tees.\n");
  writeScene(folder, "RANGE", 0, archives);
  const GeneratedHole range = GenerateRange();
  writeHole(folder, 1, range.terrain, HoleHeaderText(range, 4), archives);
  WriteBallCartMovies(folder);
}

// The modem screen's phone book: format word 512, the count, then 40-byte records (name in 18 bytes, number in
// 22, each zero-terminated within its field).
void writePhoneBook(const fs::path& data) {
  const std::pair<const char*, const char*> entries[] = {
      {"Ada Lark", "555-0101"}, {"Bram Hollis", "555-0102"}, {"Cleo Marsh", "555-0103"}};
  std::vector<uint8_t> bytes{0x00, 0x02, 0, 0, static_cast<uint8_t>(std::size(entries)), 0, 0, 0};
  for (const auto& [name, number] : entries) {
    uint8_t record[40] = {};
    std::memcpy(record, name, std::strlen(name));
    std::memcpy(record + 18, number, std::strlen(number));
    bytes.insert(bytes.end(), record, record + sizeof record);
  }
  writeBytesTo(data / "PHONE.LST", bytes);
}

void writeData(const fs::path& data, const DemoOptions& options) {
  for (const char* f : {"MENUS", "FONTS", "UI", "UI640", "UI800", "GOLFER/SINGLE", "COURSES"})
    fs::create_directories(data / f);
  writeFonts(data / "FONTS", options.fontFolder);
  writeLoadingPicture(data / "MENUS", options.fontFolder);
  WriteMenus(data, options.fontFolder);
  writePhoneBook(data);
  WriteRoundInterface(data, options.fontFolder);
  WriteShotSetupArt(data, options.fontFolder);
  WriteAnimations(data);
  writeSedgefen(data / "COURSES", options.holes, options.archives);
  writeRange(data / "COURSES", options.archives);
  WriteRangeMenu(data / "COURSES" / "RANGE", options.fontFolder);
  WriteCourseLogos(data / "COURSES", options.fontFolder);
  WriteSounds(data);
  if (options.commentary) WriteCommentary(data, options.holes, options.commentaryOnly);
}

// Temporary folders of runs that died; a live run's folder is left to it.
void removeStaleTemporaries(const fs::path& folder) {
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
    const std::string name = e.path().filename().string();
    if (name.rfind(kTempPrefix, 0) != 0) continue;
    const long pid = std::strtol(name.c_str() + std::strlen(kTempPrefix), nullptr, 10);
    if (pid > 0 && pid != getpid() && kill(static_cast<pid_t>(pid), 0) == 0) continue;
    fs::remove_all(e.path(), ec);
  }
}

}  // namespace

std::vector<datapack::BigEntry> HoleArchiveEntries(int number, const holewriter::HoleDescription& hole,
                                                   const std::string& header) {
  const std::string name = holeName(number);
  std::vector<datapack::BigEntry> entries;
  for (holewriter::HoleFile& f : holewriter::EncodeHole(hole)) {
    datapack::Bytes packed = datapack::packbest(f.bytes);
    entries.push_back({name + f.extension, packed.empty() ? std::move(f.bytes) : std::move(packed)});
  }
  entries.push_back({name + ".HDR", datapack::Bytes(header.begin(), header.end())});
  return entries;
}

bool MakeDemoInstallation(const std::string& folderName, const DemoOptions& options, std::string& error) {
  const fs::path folder(folderName);
  const fs::path temporary = folder / (kTempPrefix + std::to_string(getpid()));
  std::error_code ec;
  try {
    fs::create_directories(folder);
    removeStaleTemporaries(folder);
    fs::remove_all(temporary);
    fs::create_directories(temporary);
    writeData(temporary / "DATA", options);
    const fs::path from = temporary / "DATA", to = folder / "DATA";
    if (fs::exists(to)) {
      if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_EXCHANGE) != 0)
        throw Failure{"cannot put the new DATA in place: " + std::string(std::strerror(errno))};
    } else {
      fs::rename(from, to);
    }
    fs::remove_all(temporary);
    WriteDemoGolfers(folder / "Players");
    WriteDemoHighlights(folder);
    WriteDemoSavedGames(folder / "SAVEGAME");
    WriteMusicDisc(folder / "DISC");
  } catch (const Failure& f) {
    error = f.what;
  } catch (const fs::filesystem_error& e) {
    error = e.what();
  } catch (const std::runtime_error& e) {
    error = e.what();
  }
  if (error.empty()) return true;
  fs::remove_all(temporary, ec);
  return false;
}

}  // namespace mkdemo
