#include "course/courseload.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <strings.h>

#include "course/coursetext.h"
#include "course/holedata.h"
#include "framework/core/bigfileio.h"
#include "platformlib/core/byteorder.h"
#include "platformlib/shapes/shapes.h"

namespace {

constexpr size_t kTextMax = 65536;
constexpr size_t kShapesMax = 64u << 20;
constexpr int kMaxArchives = 8;
constexpr int kMaxSkyImages = 16;
constexpr int kMaxGalleryCameras = 16;
constexpr int32_t kMaxImageSide = 2048;

const char* const kLieNames[16] = {"None",  "Fairway", "Sand", "Rough",    "Heavy Rough", "Water",
                                   "Tee",   "Green",   "Bunker", "OB",     "Cartpath",    "Fringe",
                                   "E.S.H.", "Fairway", "Fairway", "Fairway"};

LoadedCourse g_course;

bool entryName(const std::string& w) { return w.size() == 4 && IsPlainName(w, 4, false); }

int32_t fixed(double v) { return static_cast<int32_t>(std::lround(v * 65536.0)); }

// Keys that may appear once; `repeat` lists those that may come again.
struct KeyOnce {
  std::vector<std::string> seen;
  bool first(const std::string& key) {
    if (std::find(seen.begin(), seen.end(), key) != seen.end()) return false;
    seen.push_back(key);
    return true;
  }
};

bool wholeWord(const std::string& w, int64_t min, int64_t max, int& out) {
  int64_t v = 0;
  if (!ParseWhole(w, min, max, v)) return false;
  out = static_cast<int>(v);
  return true;
}

}  // namespace

// ---- parsers ----------------------------------------------------------------------------------------------------

bool ParseScoreCard(const uint8_t* data, size_t size, int holes, CourseCard& out, std::string& error) {
  std::vector<TextLine> lines;
  if (!ReadTextLines(data, size, kTextMax, "SCRCARD 1", lines, error)) return false;
  if (holes < 1 || holes > kCourseHoles) {
    error = "the course has no holes";
    return false;
  }
  CourseCard card;
  bool listed[kCourseHoles] = {}, rating = false, course = false;
  for (const TextLine& l : lines) {
    const std::string& key = l.words[0];
    if (key == "course") {
      if (course || l.words.size() != 2 || !IsPlainName(l.words[1], 63, false))
        return error = LineError(l, "course must be given once, as the folder's name"), false;
      course = true;
    } else if (key == "hole") {
      int n = 0, par = 0, index = 0;
      if (l.words.size() != 8 || !wholeWord(l.words[1], 1, holes, n))
        return error = LineError(l, "hole must be: hole <1-" + std::to_string(holes) + "> <par> <index> and 4 yardages"),
               false;
      if (listed[n - 1]) return error = LineError(l, "hole " + std::to_string(n) + " given twice"), false;
      if (!wholeWord(l.words[2], 3, 6, par)) return error = LineError(l, "par must be 3 to 6"), false;
      if (!wholeWord(l.words[3], 1, kCourseHoles, index)) return error = LineError(l, "stroke index must be 1 to 18"), false;
      for (int k = 0; k < 4; ++k) {
        int yards = 0;
        if (!wholeWord(l.words[4 + static_cast<size_t>(k)], 0, 999, yards))
          return error = LineError(l, "yardages must be 0 to 999"), false;
        card.yards[k][n - 1] = yards;
      }
      listed[n - 1] = true;
      card.par[n - 1] = par;
      card.strokeIndex[n - 1] = index;
    } else if (key == "rating") {
      if (rating || l.words.size() != 5) return error = LineError(l, "rating must be given once, with 4 values"), false;
      for (int k = 0; k < 4; ++k) {
        double v = 0;
        if (!ParseDecimal(l.words[1 + static_cast<size_t>(k)], 0.0, 99.9, v))
          return error = LineError(l, "ratings must be 0.0 to 99.9"), false;
        card.ratings[k] = fixed(v);
      }
      rating = true;
    } else {
      return error = LineError(l, "unknown key \"" + key.substr(0, 32) + "\""), false;
    }
  }
  for (int h = 0; h < holes; ++h) {
    if (!listed[h]) return error = "hole " + std::to_string(h + 1) + " is missing", false;
    for (int k = 0; k < h; ++k)
      if (card.strokeIndex[k] == card.strokeIndex[h])
        return error = "holes " + std::to_string(k + 1) + " and " + std::to_string(h + 1) + " share a stroke index",
               false;
  }
  out = card;
  return true;
}

bool ParseDiskFile(const uint8_t* data, size_t size, CourseDisk& out, std::string& error) {
  std::vector<TextLine> lines;
  if (!ReadTextLines(data, size, 4096, "DISK 1", lines, error)) return false;
  CourseDisk disk;
  bool label = false;
  for (const TextLine& l : lines) {
    const std::string& key = l.words[0];
    if (key == "label") {
      if (label || l.words.size() != 2 || !IsPlainName(l.words[1], 11, false))
        return error = LineError(l, "label must be given once, 1 to 11 letters, digits, '_' or '-'"), false;
      disk.label = l.words[1];
      label = true;
    } else if (key == "archive") {
      if (l.words.size() != 2 || !IsPlainName(l.words[1], 63, true) || l.words[1][0] == '.')
        return error = LineError(l, "archive must name a file of the course folder"), false;
      if (disk.archives.size() >= kMaxArchives) return error = LineError(l, "more than 8 archives"), false;
      disk.archives.push_back(l.words[1]);
    } else {
      return error = LineError(l, "unknown key \"" + key.substr(0, 32) + "\""), false;
    }
  }
  out = disk;
  return true;
}

bool ParseCourseDescription(const uint8_t* data, size_t size, CourseDescription& out, std::string& error) {
  std::vector<TextLine> lines;
  if (!ReadTextLines(data, size, kTextMax, "COURSEHNF 1", lines, error)) return false;
  CourseDescription d;
  KeyOnce once;
  bool objectSeen[256] = {};
  auto surface = [](const std::string& w, int& v) { return wholeWord(w, 0, 15, v); };
  for (const TextLine& l : lines) {
    const std::string& key = l.words[0];
    const size_t n = l.words.size();
    auto fail = [&](const std::string& why) { return error = LineError(l, why), false; };
    const bool repeatable = key == "texture" || key == "object" || key == "horizon" || key == "skytop" ||
                            key == "skybottom" || key == "lie";
    if (!repeatable && !once.first(key)) return fail(key.substr(0, 32) + " given twice");
    if (key == "shapes") {
      if (n != 2 || !IsPlainName(l.words[1], 63, true)) return fail("shapes must name a file");
      d.shapes = l.words[1];
    } else if (key == "palette") {
      if (n != 2 || !entryName(l.words[1])) return fail("palette must name a 4-character entry");
      d.palette = l.words[1];
    } else if (key == "sky") {
      int dome = 0, keyed = 0;
      if (n != 4 || !wholeWord(l.words[1], 0, 255, d.skyKind) || !wholeWord(l.words[2], 0, 1, dome) ||
          !wholeWord(l.words[3], 0, 1, keyed))
        return fail("sky must be: sky <kind 0-255> <dome 0/1> <keyed 0/1>");
      d.skyDome = dome != 0;
      d.keyedSky = keyed != 0;
    } else if (key == "texture") {
      int index = 0;
      if (n != 3 || !wholeWord(l.words[1], 0, kTerrainTextures - 1, index) || !entryName(l.words[2]))
        return fail("texture must be: texture <0-28> <entry>");
      if (!d.textures[static_cast<size_t>(index)].empty()) return fail("texture " + l.words[1] + " given twice");
      d.textures[static_cast<size_t>(index)] = l.words[2];
    } else if (key == "object") {
      CourseObjectLine o;
      if (n != 8 || !wholeWord(l.words[1], 1, 255, o.type) || !entryName(l.words[2]) ||
          (l.words[3] != "-" && !entryName(l.words[3])) || !ParseDecimal(l.words[4], 0.1, 200.0, o.height) ||
          !wholeWord(l.words[5], 0, 15, o.back) || !wholeWord(l.words[6], 0, 15, o.forward) ||
          !IsPlainName(l.words[7], 31, false))
        return fail("object must be: object <type 1-255> <entry> <alternate or -> <height> <back> <forward> <name>");
      if (objectSeen[o.type]) return fail("object type " + l.words[1] + " given twice");
      objectSeen[o.type] = true;
      o.image = l.words[2];
      if (l.words[3] != "-") o.alternate = l.words[3];
      o.name = l.words[7];
      d.objects.push_back(o);
    } else if (key == "horizon") {
      CourseHorizonLine h;
      if (n != 5 || !entryName(l.words[1]) || (l.words[2] != "-" && !entryName(l.words[2])) ||
          !surface(l.words[3], h.surface) || !wholeWord(l.words[4], 0, 15, h.shade))
        return fail("horizon must be: horizon <entry> <second or -> <surface 0-15> <shade 0-15>");
      if (d.horizon.size() >= kHorizonPanels) return fail("more than 12 horizon pieces");
      h.image = l.words[1];
      if (l.words[2] != "-") h.second = l.words[2];
      d.horizon.push_back(h);
    } else if (key == "skytop" || key == "skybottom") {
      std::vector<std::string>& band = key == "skytop" ? d.skyTop : d.skyBottom;
      if (n != 2 || !entryName(l.words[1])) return fail(key + " must name a 4-character entry");
      if (band.size() >= kMaxSkyImages) return fail("more than 16 " + key + " images");
      band.push_back(l.words[1]);
    } else if (key == "water" || key == "notoutofbounds" || key == "nogrid") {
      int v = 0;
      if (n != 2 || !surface(l.words[1], v)) return fail(key + " must be a surface code 0-15");
      (key == "water" ? d.water : key == "nogrid" ? d.noGrid : d.notOutOfBounds) = v;
    } else if (key == "outofbounds" || key == "waterlike") {
      int* pair = key == "outofbounds" ? d.outOfBounds : d.waterLike;
      if (n != 3 || !surface(l.words[1], pair[0]) || !surface(l.words[2], pair[1]))
        return fail(key + " must be two surface codes 0-15");
    } else if (key == "lie") {
      int code = 0;
      if (n < 3 || !surface(l.words[1], code)) return fail("lie must be: lie <code 0-15> <name>");
      std::string name = l.words[2];
      for (size_t k = 3; k < n; ++k) name += " " + l.words[k];
      if (name.size() > 15) return fail("a lie name is at most 15 characters");
      if (!d.lieNames[static_cast<size_t>(code)].empty()) return fail("lie " + l.words[1] + " given twice");
      d.lieNames[static_cast<size_t>(code)] = name;
    } else if (key == "reflection") {
      if (n != 2 || l.words[1].size() != 6 || l.words[1].find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos)
        return fail("reflection must be 6 hexadecimal digits");
      d.reflection = static_cast<uint32_t>(std::strtoul(l.words[1].c_str(), nullptr, 16));
    } else if (key == "stream") {
      if (n < 2) return fail("stream must name textures 0-28");
      for (size_t k = 1; k < n; ++k) {
        int index = 0;
        if (!wholeWord(l.words[k], 0, kTerrainTextures - 1, index)) return fail("stream must name textures 0-28");
        d.streams[static_cast<size_t>(index)] = true;
      }
    } else if (key == "waterpalettes") {
      if (n != 4 || !entryName(l.words[1]) || !entryName(l.words[2]) || !entryName(l.words[3]))
        return fail("waterpalettes must name three 4-character entries");
      for (size_t k = 0; k < 3; ++k) d.waterPalettes[k] = l.words[k + 1];
    } else if (key == "horizonscale") {
      if (n != 2 || !ParseDecimal(l.words[1], 0.1, 10.0, d.horizonScale)) return fail("horizonscale must be 0.1 to 10");
    } else {
      return fail("unknown key \"" + key.substr(0, 32) + "\"");
    }
  }
  if (d.shapes.empty() || d.palette.empty()) {
    error = d.shapes.empty() ? "no shapes line" : "no palette line";
    return false;
  }
  if (d.skyDome && (d.skyTop.empty() || d.skyBottom.empty())) {
    error = "a sky dome needs skytop and skybottom images";
    return false;
  }
  out = std::move(d);
  return true;
}

bool ParseGalleryFile(const uint8_t* data, size_t size, GalleryTable& out, std::string& error) {
  std::vector<TextLine> lines;
  if (!ReadTextLines(data, size, kTextMax, "GALLERY 1", lines, error)) return false;
  GalleryTable table;
  for (const TextLine& l : lines) {
    int hole = 0;
    double v[3] = {};
    if (l.words[0] != "camera") return error = LineError(l, "unknown key \"" + l.words[0].substr(0, 32) + "\""), false;
    if (l.words.size() != 5 || !wholeWord(l.words[1], 1, kCourseHoles, hole) ||
        !ParseDecimal(l.words[2], -5000, 5000, v[0]) || !ParseDecimal(l.words[3], -5000, 5000, v[1]) ||
        !ParseDecimal(l.words[4], -5000, 5000, v[2]))
      return error = LineError(l, "camera must be: camera <hole 1-18> <x> <z> <height>"), false;
    std::vector<GalleryCamera>& cams = table[static_cast<size_t>(hole - 1)];
    if (cams.size() >= kMaxGalleryCameras) return error = LineError(l, "more than 16 cameras on a hole"), false;
    cams.push_back({static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])});
  }
  out = std::move(table);
  return true;
}

bool ParseHoleHeaderFile(const uint8_t* data, size_t size, HoleSceneHeader& out, std::string& error) {
  std::vector<TextLine> lines;
  if (!ReadTextLines(data, size, 4096, "HOLEHDR 1", lines, error)) return false;
  HoleSceneHeader h;
  KeyOnce once;
  for (const TextLine& l : lines) {
    const std::string& key = l.words[0];
    const size_t n = l.words.size();
    auto fail = [&](const std::string& why) { return error = LineError(l, why), false; };
    if (!once.first(key)) return fail(key.substr(0, 32) + " given twice");
    if (key == "flags") {
      int v = 0;
      if (n != 2 || !wholeWord(l.words[1], 0, 65535, v)) return fail("flags must be 0 to 65535");
      h.flags = static_cast<uint32_t>(v);
    } else if (key == "ground") {
      int s = 0, shade = 0;
      if (n != 3 || !wholeWord(l.words[1], 0, 15, s) || !wholeWord(l.words[2], 0, 15, shade))
        return fail("ground must be: ground <surface 0-15> <shade 0-15>");
      h.defaultSurface = static_cast<uint16_t>(s << 4);
      h.defaultShade = static_cast<uint8_t>(shade);
    } else if (key == "horizon") {
      double v = 0;
      if (n != 2 || !ParseDecimal(l.words[1], -1000, 1000, v)) return fail("horizon must be -1000 to 1000");
      h.horizonHeight = fixed(v);
    } else if (key == "target") {
      double v[3] = {};
      if (n != 4 || !ParseDecimal(l.words[1], -5000, 5000, v[0]) || !ParseDecimal(l.words[2], -5000, 5000, v[1]) ||
          !ParseDecimal(l.words[3], -5000, 5000, v[2]))
        return fail("target must be: target <x> <z> <height>");
      for (int k = 0; k < 3; ++k) h.target[static_cast<size_t>(k)] = static_cast<float>(v[k]);
    } else if (key == "detail") {
      double v[3] = {};
      if (n != 4 || !ParseDecimal(l.words[1], 0, 10000, v[0]) || !ParseDecimal(l.words[2], 0, 10000, v[1]) ||
          !ParseDecimal(l.words[3], 0, 10000, v[2]))
        return fail("detail must be three distances 0 to 10000");
      for (int k = 0; k < 3; ++k) h.minDetail[static_cast<size_t>(k)] = fixed(v[k]);
    } else if (key == "glint") {
      int v = 0;
      if (n != 2 || !wholeWord(l.words[1], 1, 3, v)) return fail("glint must be a water setting 1 to 3");
      h.glint = static_cast<uint8_t>(v);
    } else if (key == "depthoverride") {
      int v = 0;
      if (n != 2 || !wholeWord(l.words[1], 0, 1, v)) return fail("depthoverride must be 0 or 1");
      h.depthOverride = static_cast<uint32_t>(v);
    } else {
      return fail("unknown key \"" + key.substr(0, 32) + "\"");
    }
  }
  out = h;
  return true;
}

// ---- loading ----------------------------------------------------------------------------------------------------

namespace {

struct Refused {
  std::string why;
};

bool onDisk(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Whether the archive `big` holds `path` (asked by its last component); with `out` the entry is read into it.
// The archive that was current before is current again afterwards.
bool archiveHolds(const std::string& big, const std::string& path, std::vector<uint8_t>* out) {
  if (!onDisk(big)) return false;
  const bool had = BigFileCurrentArchive() != nullptr;
  const bool opened = BigFileOpenArchive(nullptr, big.c_str(), nullptr) == 0;
  bool holds = false;
  if (opened) {
    HANDLE entry = BigFileOpenEntry(nullptr, path.c_str());
    holds = entry == kArchiveEntryHandle;
    if (entry) BigFileClose(entry);
    if (holds && out) holds = BigFileLoadBytes(nullptr, path.c_str(), *out);
  }
  if (opened || had) BigFileCloseArchive();
  return holds;
}

// A file of the course folder: loose, else from the first of the course's archives that holds it. False when
// neither has it; an archive that will not open is skipped.
bool readCourseFile(const std::string& location, const CourseDisk& disk, const std::string& name,
                    std::vector<uint8_t>& out) {
  const std::string path = location + "\\" + name;
  out.clear();
  if (onDisk(path)) return BigFileLoadBytes(nullptr, path.c_str(), out);
  for (const std::string& archive : disk.archives)
    if (archiveHolds(location + "\\" + archive, path, &out)) return true;
  return false;
}

uint16_t to565(uint32_t argb, int level) {
  const double f = 0.30 + 0.70 * level / (kLightLevels - 1);
  const auto channel = [&](int shift, int bits) {
    const double v = ((argb >> shift) & 0xFF) * f;
    return static_cast<uint32_t>(std::min(255.0, v)) >> (8 - bits);
  };
  return static_cast<uint16_t>(channel(16, 5) << 11 | channel(8, 6) << 5 | channel(0, 5));
}

// An 8-bit entry of the shape file as an image with the course palette chained after its rows.
CourseImage makeImage(const uint8_t* file, const std::string& name, const std::array<uint32_t, 256>& palette,
                      int32_t side = 0) {
  const uint8_t* s = findshape(file, name.c_str());
  if (!s) throw Refused{"no image \"" + name + "\""};
  if (s[0] != 0x7B) throw Refused{"image \"" + name + "\" is not an unpacked 8-bit shape"};
  const int32_t w = shapewidth(s), h = shapeheight(s);
  if (w < 1 || h < 1 || w > kMaxImageSide || h > kMaxImageSide) throw Refused{"image \"" + name + "\" has a bad size"};
  if (side && (w != side || h != side))
    throw Refused{"image \"" + name + "\" must be " + std::to_string(side) + " x " + std::to_string(side)};
  const size_t pixels = static_cast<size_t>(w) * static_cast<size_t>(h);
  const size_t rows = (pixels + 3) / 4 * 4;
  CourseImage image;
  image.shape.assign(16 + rows + 16 + 1024, 0);
  std::memcpy(image.shape.data(), s, 16);
  std::memcpy(image.shape.data() + 16, s + 16, pixels);
  shapesetnext(image.shape.data(), static_cast<int32_t>(16 + rows));
  uint8_t* clut = image.shape.data() + 16 + rows;
  clut[0] = 0x2A;
  WriteLE16(clut + 4, 256);
  WriteLE16(clut + 6, 1);
  for (size_t i = 0; i < 256; ++i) WriteLE32(clut + 16 + i * 4, palette[i]);
  return image;
}

CourseSceneData buildScene(const CourseDescription& d, const std::vector<uint8_t>& shapes, const std::string& folder) {
  const char* why = nullptr;
  if (!checkshapefile(shapes.data(), shapes.size(), &why)) throw Refused{d.shapes + ": " + (why ? why : "damaged")};
  const uint8_t* file = shapes.data();
  CourseSceneData scene;
  scene.folder = folder;
  const uint8_t* pal = findshape(file, d.palette.c_str());
  const uint8_t* clut = pal ? getshapeclut(pal) : nullptr;
  if (!clut || clut[0] != 0x2A || ReadLE16(clut + 4) != 256) throw Refused{"palette \"" + d.palette + "\" has no 256-entry 32-bit palette"};
  for (size_t i = 0; i < 256; ++i) scene.palette[i] = ReadLE32(clut + 16 + i * 4);
  for (int l = 0; l < kLightLevels; ++l) {
    for (size_t c = 0; c < 256; ++c) scene.lightTables[static_cast<size_t>(l)][c] = to565(scene.palette[c], l);
    const uint32_t grey = static_cast<uint32_t>(std::lround(255 * (0.30 + 0.70 * l / (kLightLevels - 1))));
    scene.shadeColours[static_cast<size_t>(l)] = 0xFF000000u | grey << 16 | grey << 8 | grey;
  }
  for (size_t t = 0; t < kTerrainTextures; ++t)
    if (!d.textures[t].empty()) {
      scene.textures[t].image = makeImage(file, d.textures[t], scene.palette, 64);
      scene.textures[t].wholeImage = d.streams[t] ? 0 : 1;
    }
  for (size_t k = 0; k < 3; ++k) {
    // Without water palettes the water takes the light tables of its three settings.
    static constexpr int kLevels[3] = {4, 6, 8};
    scene.waterPalettes[k] = scene.lightTables[static_cast<size_t>(kLevels[k])];
    if (d.waterPalettes[k].empty()) continue;
    const uint8_t* shape = findshape(file, d.waterPalettes[k].c_str());
    const uint8_t* water = shape ? getshapeclut(shape) : nullptr;
    if (!water || water[0] != 0x2A || ReadLE16(water + 4) != 256)
      throw Refused{"water palette \"" + d.waterPalettes[k] + "\" has no 256-entry 32-bit palette"};
    for (size_t c = 0; c < 256; ++c) scene.waterPalettes[k][c] = to565(ReadLE32(water + 16 + c * 4), kLightLevels - 1);
  }
  for (const CourseObjectLine& o : d.objects) {
    ObjectType& type = scene.objectTypes[static_cast<size_t>(o.type)];
    type.present = true;
    type.image = makeImage(file, o.image, scene.palette);
    if (!o.alternate.empty()) type.alternate = makeImage(file, o.alternate, scene.palette);
    type.worldHeight = fixed(o.height);
    type.widthFactor = static_cast<int32_t>(int64_t{type.image.width()} * 65536 / type.image.height());
    type.hotSpotFactor =
        static_cast<int32_t>(int64_t{shapecentrex(type.image.data())} * 65536 / type.image.width());
    type.leftExtent = static_cast<uint8_t>(o.back);
    type.rightExtent = static_cast<uint8_t>(o.forward);
    type.name = o.name;
  }
  for (const CourseHorizonLine& h : d.horizon) {
    HorizonPanel& p = scene.horizon[static_cast<size_t>(scene.horizonCount++)];
    p.image = makeImage(file, h.image, scene.palette);
    if (!h.second.empty()) p.second = makeImage(file, h.second, scene.palette);
    p.surface = static_cast<uint8_t>(h.surface << 4);
    p.shade = static_cast<uint8_t>(h.shade);
    scene.tallestHorizon = std::max({scene.tallestHorizon, p.image.height(), p.second.height()});
  }
  for (const std::string& e : d.skyTop) scene.skyTop.push_back({makeImage(file, e, scene.palette), nullptr});
  for (const std::string& e : d.skyBottom) scene.skyBottom.push_back({makeImage(file, e, scene.palette), nullptr});
  scene.skyKind = static_cast<uint8_t>(d.skyKind);
  scene.skyDome = d.skyDome;
  scene.keyedSky = d.keyedSky;
  scene.horizonScale = static_cast<float>(d.horizonScale);
  scene.waterReflection = 0xFF000000u | d.reflection;
  scene.secondWater = static_cast<uint8_t>(d.water << 4);
  scene.outOfBounds[0] = static_cast<uint8_t>(d.outOfBounds[0] << 4);
  scene.outOfBounds[1] = static_cast<uint8_t>(d.outOfBounds[1] << 4);
  scene.notOutOfBounds = static_cast<uint8_t>(d.notOutOfBounds << 4);
  scene.noGridSurface = static_cast<uint8_t>(d.noGrid << 4);
  scene.waterLike[0] = static_cast<uint8_t>(d.waterLike[0] << 4);
  scene.waterLike[1] = static_cast<uint8_t>(d.waterLike[1] << 4);
  for (size_t k = 0; k < 16; ++k) scene.lieNames[k] = d.lieNames[k].empty() ? kLieNames[k] : d.lieNames[k];
  scene.loaded = true;
  return scene;
}

// The hole number of a hole-data base name ending in "HOLEnn"; 0 when it does not.
int holeNumberOf(const std::string& base) {
  const size_t slash = base.find_last_of("\\/");
  const std::string name = slash == std::string::npos ? base : base.substr(slash + 1);
  if (name.size() != 6 || strncasecmp(name.c_str(), "HOLE", 4) != 0) return 0;
  int64_t n = 0;
  return ParseWhole(name.substr(4), 1, kCourseHoles, n) ? static_cast<int>(n) : 0;
}

}  // namespace

bool ReadCourseCard(const CourseRecord& record, CourseCard* out) {
  const std::string location = record.location;
  if (location.empty()) return false;
  std::vector<uint8_t> bytes;
  std::string why;
  CourseDisk disk;
  const std::string diskFile = location + "\\DISK.DAT";
  if (BigFileLoadBytes(nullptr, diskFile.c_str(), bytes) && !ParseDiskFile(bytes.data(), bytes.size(), disk, why))
    return false;
  CourseCard card;
  const int holes = std::clamp(static_cast<int>(record.holeCount), 1, kCourseHoles);
  if (!readCourseFile(location, disk, "SCRCARD.ASC", bytes) ||
      !ParseScoreCard(bytes.data(), bytes.size(), holes, card, why))
    return false;
  *out = card;
  return true;
}

int LoadCourse(const CourseRecord& record, std::string* error) {
  std::string where;
  try {
    LoadedCourse course;
    course.record = record;
    course.location = record.location;
    course.holes = std::clamp(static_cast<int>(record.holeCount), 1, kCourseHoles);
    if (course.location.empty()) throw Refused{"the course has no folder"};
    std::vector<uint8_t> bytes;
    std::string why;

    where = course.location + "\\DISK.DAT";
    if (BigFileLoadBytes(nullptr, where.c_str(), bytes) && !ParseDiskFile(bytes.data(), bytes.size(), course.disk, why))
      throw Refused{why};
    where = course.location + "\\SCRCARD.ASC";
    if (readCourseFile(course.location, course.disk, "SCRCARD.ASC", bytes)) {
      if (!ParseScoreCard(bytes.data(), bytes.size(), course.holes, course.card, why)) throw Refused{why};
    } else {
      for (int h = 0; h < kCourseHoles; ++h) course.card.par[h] = 4, course.card.strokeIndex[h] = h + 1;
    }
    where = course.location + "\\gallery.inf";
    if (readCourseFile(course.location, course.disk, "gallery.inf", bytes) &&
        !ParseGalleryFile(bytes.data(), bytes.size(), course.gallery, why))
      throw Refused{why};
    where = course.location + "\\course.hnf";
    CourseSceneData scene;
    if (readCourseFile(course.location, course.disk, "course.hnf", bytes)) {
      CourseDescription description;
      if (!ParseCourseDescription(bytes.data(), bytes.size(), description, why)) throw Refused{why};
      std::vector<uint8_t> shapes;
      if (!readCourseFile(course.location, course.disk, description.shapes, shapes) || shapes.size() > kShapesMax)
        throw Refused{description.shapes + " cannot be read"};
      scene = buildScene(description, shapes, record.folder);
    }
    // Everything read: the course becomes current.
    course.loaded = true;
    g_course = std::move(course);
    CurrentCourseScene() = std::move(scene);
    CurrentHoleScene() = {};
    std::vector<HoleObject>& objects = HoleObjectTable();
    objects.assign(kObjectTypes, {});
    const CourseSceneData& s = CurrentCourseScene();
    for (size_t t = 1; t < kObjectTypes; ++t)
      if (s.objectTypes[t].present) {
        objects[t].shape[0] = static_cast<uint16_t>(t);
        objects[t].footprint[0] = s.objectTypes[t].leftExtent;
        objects[t].footprint[1] = s.objectTypes[t].rightExtent;
      }
    SetCourseWaterSurface(s.secondWater ? static_cast<uint8_t>(s.secondWater >> 4) : 255);
    return kCourseLoadOk;
  } catch (const Refused& r) {
    const std::string text = where + ": " + r.why;
    std::fprintf(stderr, "Course refused: %s\n", text.c_str());
    if (error) *error = text;
  } catch (const std::bad_alloc&) {
    if (error) *error = where + ": out of memory";
  }
  return kCourseLoadFailed;
}

void UnloadCourse() {
  g_course = {};
  CurrentCourseScene() = {};
  CurrentHoleScene() = {};
  HoleObjectTable().clear();
  SetCourseWaterSurface(255);
}

const LoadedCourse& CurrentCourse() { return g_course; }

std::string CourseHoleFile(int hole) {
  if (!g_course.loaded || hole < 0 || hole >= g_course.holes) return {};
  char name[24];
  std::snprintf(name, sizeof name, "HOLE%02d.MIS", hole + 1);
  return g_course.location + "\\" + name;
}

int CoursePar(int hole) {
  if (!g_course.loaded || hole < 0 || hole >= kCourseHoles || g_course.card.par[hole] == 0) return 4;
  return g_course.card.par[hole];
}

int LoadCourseHole(int hole) {
  const std::string file = CourseHoleFile(hole);
  if (file.empty()) return kHoleFileError;
  return LoadHoleData(file);
}

std::string CourseArchiveHolding(const std::string& path) {
  if (!g_course.loaded || g_course.disk.archives.empty() || onDisk(path)) return {};
  const size_t slash = path.find_last_of('\\');
  if (slash == std::string::npos || strcasecmp(path.substr(0, slash).c_str(), g_course.location.c_str()) != 0) return {};
  for (const std::string& archive : g_course.disk.archives) {
    const std::string big = g_course.location + "\\" + archive;
    if (archiveHolds(big, path, nullptr)) return big;
  }
  return {};
}

int LoadHoleSceneData(const std::string& base) {
  HoleSceneData& hole = CurrentHoleScene();
  hole = {};
  hole.hole = holeNumberOf(base);
  std::vector<uint8_t> bytes;
  if (BigFileLoadBytes(nullptr, (base + ".HDR").c_str(), bytes)) {
    std::string why;
    if (!ParseHoleHeaderFile(bytes.data(), bytes.size(), hole.header, why)) {
      std::fprintf(stderr, "Hole refused: %s.HDR: %s\n", base.c_str(), why.c_str());
      hole = {};
      return kHoleFileError;
    }
  }
  const HoleRecord& r = CurrentHoleRecord();
  if (hole.hole > 0) hole.header.pinVertex[static_cast<size_t>(hole.hole - 1)] = r.pins[0];
  hole.header.waterColour = 0;
  const int result = BuildHolePreprocessing(hole);
  hole.loaded = result == kHoleOk;
  return result;
}

const char* StandardLieName(int code) { return kLieNames[code & 15]; }
