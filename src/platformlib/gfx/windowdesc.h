// Window descriptors: every library drawing routine addresses pixels through one of these. One of them is
// the current drawing window, kept as a copy in a fixed record; the display and its second page have fixed
// records too.
#pragma once

#include <cstdint>

constexpr uint32_t kWindowSignature = 0x57494E44;  // "DNIW" in memory
constexpr uint8_t kVideoWindowPage = 255;
constexpr int32_t kMaxWindowWidth = 16384;
constexpr int32_t kMaxWindowHeight = 8192;
constexpr int kShapeHeaderBytes = 16;

struct WindowDesc {
  uint32_t signature;
  int32_t width, height;
  int32_t minx, miny, maxx, maxy;  // clip rectangle, maxima exclusive
  uint8_t depth;                   // bits per pixel: 1, 4, 8, 15, 16, 24 or 32
  uint8_t shapetype;
  uint8_t page;  // 255 marks a video window; otherwise the render module's surface number (0 = none)
  uint8_t spare;
  uint8_t* shape;   // shape header in front of the pixels (memory windows), else null
  uint8_t* pixels;  // first pixel (for video windows valid only while the surface is locked)
  int32_t rowbytes;
  int32_t* rows;  // byte offset of each row (shared table from the row space)
  int32_t* cols;  // byte offset of each column
  void* surface;  // display surface (null for memory windows)
};

// The fixed records.
extern WindowDesc CurrentWindow;
extern WindowDesc DisplayWindow;
extern WindowDesc SecondPage;
inline WindowDesc& currentwindow() { return CurrentWindow; }

// Shape type code of a pixel depth (0 when the depth has none).
uint8_t depthshapetype(int depth);
// Bytes of one row: the width's bits rounded up to whole bytes (15-bit counts as 16).
int32_t windowrowbytes(int32_t width, int depth);

// Clears a descriptor and fills what every window has: signature, size, full clip, depth and shape type,
// row bytes and first pixel.
void initwindowfields(WindowDesc* window, int32_t width, int32_t height, int depth, int32_t rowbytes, uint8_t* pixels);

WindowDesc* createwindowadra(int32_t width, int32_t height, int depth, int abortflag);
WindowDesc* createwindowadr(int32_t width, int32_t height, int depth);
WindowDesc* trycreatewindowadr(int32_t width, int32_t height, int depth);
// Frees a window made by createwindowadra (its row tables and its block).
void removewindow(WindowDesc* window);

int setwindow(WindowDesc* window);
void releasewindow();
int displaywindow();
WindowDesc* getdisplaywindow();
WindowDesc* getsecondpage();
int surfaceguard();

void clearclip(uint32_t colour);
void clearclipblack();

// The current window is saved and restored around work that must draw elsewhere.
void savecurrentwindow(WindowDesc* save);
void restorecurrentwindow(const WindowDesc* save);

// Zones: dirty rectangles of this frame and the one before, copied to the display at the flip and erased.
struct Zone {
  int32_t x1, y1, x2, y2;  // inclusive corners
};
using ZoneEraseRoutine = void (*)();
void zoneinit(int32_t capacity, ZoneEraseRoutine erase);
void zonefree();
void zonereset();
void zonesetdraw(ZoneEraseRoutine erase);
void zonenew();
void zoneadd(int32_t x, int32_t y);
void zoneaddrect(int32_t x, int32_t y, int32_t width, int32_t height);
void zoneflip();

// Read-only views for the display manager and tests.
int32_t zonecount();
int32_t zoneprevcount();
const Zone* zonelist();
// Merges the zones of both frames into the merge list and returns its count.
int32_t zonemerge(const Zone** merged);
int32_t zoneerasesdue();
