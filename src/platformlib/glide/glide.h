// The built-in Glide back end: the 34 VORTEL operations carried out on a first-generation Voodoo board through
// glide2x, bound at run time. Without that library it finds no board and reports itself unavailable.
#pragma once

#include <cstdint>

#include "platformlib/gfx/vortel.h"

// Glide's vertex as the triangle, line and point calls take it.
struct GlideVertex {
  float x, y, z;
  float r, g, b;
  float ooz;
  float a;
  float oow;
  struct {
    float sow, tow, oow;
  } tmu[3];
};

// Glide's texture description, as handed to grTexSource and grTexDownloadMipMap.
struct GlideTexInfo {
  int32_t smalllod;
  int32_t largelod;
  int32_t aspect;
  int32_t format;
  const void* data;
};

// What grSstQueryBoards / grSstQueryHardware fill in.
struct GlideHwConfig {
  int32_t boards;
  struct {
    int32_t type;
    int32_t fbram;  // frame-buffer memory in MB
    int32_t fbirev;
    int32_t ntexelfx;
    int32_t sli;  // non-zero: two linked units
    int32_t tmuram;
  } sst[4];
};

// Glide's linear frame-buffer lock description.
struct GlideLfbInfo {
  int32_t size;
  void* ptr;
  uint32_t stride;
  int32_t writemode;
  int32_t origin;
};

// One display mode of the about record: ten words.
struct GlideModeEntry {
  int32_t width, height, bits, format, offered, pages, pagesless1;
  int32_t rest[3];
};

// The about record: word 0 the tag, word 2 the interface version.
struct GlideAbout {
  int32_t tag;
  int32_t size;
  int32_t version;
  char description[32];
  int32_t formats[10];  // by interface texture format 0-9: 1 supported
  int32_t modecount;
  GlideModeEntry modes[17];  // 1-16; 0 unused
  int32_t texturememory;
};

// A texture made by talloc.
struct GlideTexture {
  GlideTexInfo info;
  uint32_t start;
  int32_t mask;
  GlideTexture* next;
};

constexpr int32_t kGlideTag = ('3' << 24) | ('D' << 16) | ('F' << 8) | 'X';
constexpr int kGlideModes = 16;
constexpr int kGlideEntries = 58;
extern const char* const GlideEntryNames[kGlideEntries];

// The back end's table (handle 0, idle empty).
VortelDriver glidedriver();
// Puts the back end's table in driver slot 1.
void installglidedriver();

// Interface texture format -> Glide format; level of detail of a side; aspect-ratio code (-1 when out of range).
int32_t glideformat(int32_t format);
int32_t glidelod(int32_t side);
int32_t glideaspect(int32_t width, int32_t height);
// Score for a Glide version text.
int glideversionscore(const char* version);

// Switches hardware queries by about() on or off (on by default).
void glidesetqueryhardware(bool on);
// Forgets the about record, the textures and the bound library (tests).
void glidereset();
// Whether a Glide window is open.
bool glidewindowopen();
