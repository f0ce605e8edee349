// Course loading: the current course's folder files (DISK.DAT, course.hnf, gallery.inf, SCRCARD.ASC and the
// shape file course.hnf names) into the course record and the scene records (scenedata.h), and its holes (the
// hole-data files, the per-hole header file HOLEnn.HDR, the preprocessing). Formats in docs/formats.md.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "course/catalogue.h"
#include "course/scenedata.h"

// ---- SCRCARD.ASC: the course record the score card and the interface read --------------------------------------
// Ratings are 16.16 (tournament, blue, white, red); per hole (index 0-17) the yards from the four tee sets, the
// par and the handicap stroke index.
struct CourseCard {
  int32_t ratings[4] = {};
  int32_t yards[4][kCourseHoles] = {};
  int32_t par[kCourseHoles] = {};
  int32_t strokeIndex[kCourseHoles] = {};
};
static_assert(sizeof(CourseCard) == 16 + 6 * 72);

// `holes` holes (1-18) must each be listed once; stroke indexes must differ.
bool ParseScoreCard(const uint8_t* data, size_t size, int holes, CourseCard& out, std::string& error);

// ---- DISK.DAT: the course's archives ------------------------------------------------------------------------------
struct CourseDisk {
  std::string label;                  // volume label of the disc carrying the course (empty: none)
  std::vector<std::string> archives;  // big files in the course folder, searched in order
};
bool ParseDiskFile(const uint8_t* data, size_t size, CourseDisk& out, std::string& error);

// ---- course.hnf: the scene description ----------------------------------------------------------------------------
struct CourseObjectLine {
  int type = 0;
  std::string image, alternate;  // entry names in the shapes file; alternate empty: none
  double height = 0;             // yards
  int back = 0, forward = 0;     // extents in cells
  std::string name;
};
struct CourseHorizonLine {
  std::string image, second;
  int surface = 0, shade = 8;
};
struct CourseDescription {
  std::string shapes;   // the shape file holding every image
  std::string palette;  // the entry whose palette record is the course palette
  int skyKind = 2;
  bool skyDome = false, keyedSky = false;
  std::array<std::string, kTerrainTextures> textures;  // entry names, empty: none
  std::vector<CourseObjectLine> objects;
  std::vector<CourseHorizonLine> horizon;
  std::vector<std::string> skyTop, skyBottom;
  int water = 0, outOfBounds[2] = {}, notOutOfBounds = 0, noGrid = 0, waterLike[2] = {};
  std::array<std::string, 16> lieNames;  // empty: the standard name
  uint32_t reflection = 0x305878;
  double horizonScale = 1.0;
  std::array<bool, kTerrainTextures> streams{};  // textures read as texel streams
  std::array<std::string, 3> waterPalettes;      // entries whose palette records colour the water; empty: none
};
bool ParseCourseDescription(const uint8_t* data, size_t size, CourseDescription& out, std::string& error);

// ---- gallery.inf: the gallery cameras of each hole ----------------------------------------------------------------
struct GalleryCamera {
  float x = 0, z = 0, height = 0;
};
using GalleryTable = std::array<std::vector<GalleryCamera>, kCourseHoles>;
bool ParseGalleryFile(const uint8_t* data, size_t size, GalleryTable& out, std::string& error);

// ---- HOLEnn.HDR: the hole header values ---------------------------------------------------------------------------
bool ParseHoleHeaderFile(const uint8_t* data, size_t size, HoleSceneHeader& out, std::string& error);

// ---- the current course -------------------------------------------------------------------------------------------
struct LoadedCourse {
  bool loaded = false;
  CourseRecord record{};    // as the catalogue lists it
  std::string location;     // the folder as a Windows path, "C:\DATA\COURSES\SEDGEFEN"
  int holes = 18;
  CourseCard card;
  CourseDisk disk;
  GalleryTable gallery;
};

constexpr int kCourseLoadOk = 0;
constexpr int kCourseLoadFailed = 2;

// Loads the course of the record: every file is checked before anything current changes, so a refused course
// leaves the previous one loaded. 0, or 2 with the reason (file: reason) in `error` and on standard error.
int LoadCourse(const CourseRecord& record, std::string* error = nullptr);
void UnloadCourse();
// The score card of an installed course without loading the course (a game shown before it is played): false when
// the course has no readable card.
bool ReadCourseCard(const CourseRecord& record, CourseCard* out);
const LoadedCourse& CurrentCourse();

// The hole-data file of hole `hole` (0-17) of the current course as a Windows path; "" without a course or
// past its holes.
std::string CourseHoleFile(int hole);
int CoursePar(int hole);  // 4 without a course
// The game's own name of a surface code (0-15), before a course renames it.
const char* StandardLieName(int code);

// Loads hole `hole` (0-17) of the current course: the hole-data files (loose, in HOLEnn.viv, or in one of the
// course's archives), HOLEnn.HDR, and the preprocessing. The hole loader's results (0 loaded).
int LoadCourseHole(int hole);

// For the hole loader: the course archive (full path) that holds `path`, a file of the current course's folder
// that is not on disk; "" when none does.
std::string CourseArchiveHolding(const std::string& path);
// For the hole loader, once the hole-data files of `base` ("C:\...\HOLE02") are in: reads base.HDR (optional;
// a damaged one refuses the hole) into the hole's scene record and builds the preprocessing. The hole loader's
// results.
int LoadHoleSceneData(const std::string& base);
