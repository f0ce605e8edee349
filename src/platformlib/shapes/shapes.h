// Shapes: the library's images (a 16-byte header, rows of pixels, optional attached records such as a
// palette), shape files (a directory of named shapes), type conversion, colour tables and the drawing engine.
// A shape is addressed by the first byte of its header; every field is little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include "platformlib/core/byteorder.h"

#include "platformlib/gfx/pixels.h"

struct WindowDesc;

// ---- header fields ----------------------------------------------------------------------------------------------------
constexpr int kShapeHeader = 16;
constexpr uint8_t kShapePacked = 0x80;

inline uint16_t shaperead16(const uint8_t* p) { return ReadLE16(p); }
inline uint32_t shaperead32(const uint8_t* p) { return ReadLE32(p); }
inline void shapewrite16(uint8_t* p, uint32_t v) { WriteLE16(p, v); }
inline void shapewrite32(uint8_t* p, uint32_t v) { WriteLE32(p, v); }
inline int32_t shapewidth(const uint8_t* s) { return shaperead16(s + 4); }
inline int32_t shapeheight(const uint8_t* s) { return shaperead16(s + 6); }
inline int32_t shapecentrex(const uint8_t* s) { return static_cast<int16_t>(shaperead16(s + 8)); }
inline int32_t shapecentrey(const uint8_t* s) { return static_cast<int16_t>(shaperead16(s + 10)); }
// Stored position: signed 12-bit fields under four flag bits.
inline int32_t shapeposx(const uint8_t* s) { return static_cast<int16_t>(shaperead16(s + 12) << 4) >> 4; }
inline int32_t shapeposy(const uint8_t* s) { return static_cast<int16_t>(shaperead16(s + 14) << 4) >> 4; }
// Signed 24-bit distance to the next attached record (0: none).
inline int32_t shapenext(const uint8_t* s) { return static_cast<int32_t>(static_cast<uint32_t>(shaperead32(s)) & 0xFFFFFF00u) >> 8; }
inline void shapesetnext(uint8_t* s, int32_t offset) {
  s[1] = static_cast<uint8_t>(offset);
  s[2] = static_cast<uint8_t>(offset >> 8);
  s[3] = static_cast<uint8_t>(offset >> 16);
}
inline uint8_t* shapepixels(uint8_t* s) { return s + kShapeHeader; }
inline const uint8_t* shapepixels(const uint8_t* s) { return s + kShapeHeader; }

// Bits per pixel of a type code (low seven bits; 0 = invalid).
int shapetypedepth(uint8_t type);
// Bytes in a row of `width` pixels of a type (packed bit ignored): 8-bit 0x7B rows are the width; the
// 0x40-0x4F family pads rows to 16 bits; every other type takes whole bytes (15-bit pixels count 16 bits).
// Every shape, converted ones included, is laid out by this one rule.
int32_t shapetyperowbytes(uint8_t type, int32_t width);
uint8_t depthcluttype(int entrydepth);
bool iscluttype(uint8_t type);

// ---- shape files ----------------------------------------------------------------------------------------------------
// Checks a loaded shape file of `length` bytes: the size field, the directory, every shape's header and pixels,
// and every record chain must lie inside the file, and no chain may loop. Returns 1, or 0 with `error` (when
// given) naming the first fault. Loaders call it before handing the file to the lookups below.
int checkshapefile(const void* file, size_t length, const char** error = nullptr);
// The same checks for the one shape at `offset` of a file whose first `bound` bytes are present (1 or 0).
int checkshapeentry(const void* file, uint32_t offset, size_t bound, const char** error = nullptr);
uint32_t shapecount(const void* file);
uint8_t* locateshapenum(const void* file, int32_t index);
uint32_t shapenamenum(const void* file, int32_t index, uint32_t* name);
uint8_t* findshape(const void* file, const void* name);
uint8_t* locateshape(const void* file, const void* name);

uint8_t* getshapeclut(const uint8_t* shape);
int32_t shapesize(const uint8_t* shape);
int32_t shaperowbytes(const uint8_t* shape);
uint8_t* createshapeadr(int32_t width, int32_t height, int depth, uint32_t memclass);
extern int32_t shapeallocfailures;

// ---- conversion and colour tables ---------------------------------------------------------------------------------------
using RowConverter = void (*)(const uint8_t* source, uint8_t* destination, int count);

int shapetypeindex(uint8_t type);
uint8_t* convertshapetypex(const uint8_t* shape, uint8_t target, int usecurrentpalette, int alphamode);
uint8_t* convertshapetype(const uint8_t* shape, uint8_t target);
uint8_t* convertshapedepth(const uint8_t* shape, int depth);
RowConverter getshapeconverter(const uint8_t* shape, uint8_t target, int alphamode);
const uint32_t* getclutptr(const uint8_t* shape, uint32_t* buffer);
const uint16_t* getclut16ptr(const uint8_t* shape, uint16_t* buffer);
const uint32_t* getclut16aptr(const uint8_t* shape, uint32_t* buffer);

// Single-colour rules shared with the drawing code (the 15- and 16-bit ones are in pixels.h).
uint32_t argbto4444(uint32_t c);
uint32_t argbfrom4444(uint32_t p);

// Palette entry formats.
void argbtotriples6(int count, const uint32_t* source, uint8_t* destination);
void argbtotriples8(int count, const uint32_t* source, uint8_t* destination);
void triples6to8(int count, const uint8_t* source, uint8_t* destination);
void triples8to6(int count, const uint8_t* source, uint8_t* destination);

// ---- drawing engine -------------------------------------------------------------------------------------------------
using RowRoutine = void (*)(const uint8_t* source, uint8_t* destination, int count);
struct DrawRoutineSet {
  RowRoutine depth4, depth8, depth15, depth16, depth24, depth32;
  RowRoutine rowoverride;
  int32_t mode;
  uint8_t target;
};

extern int copymode;  // -1 until the first drawshape; 3 with MMX, else 1
extern DrawRoutineSet plainsets[4];
extern DrawRoutineSet setposset;
extern DrawRoutineSet transparentset;
extern DrawRoutineSet alphaset;
extern uint8_t darkenbytes[256];  // each palette index to its half-bright neighbour (identity until built)

void movdfl(const uint8_t* shape, int32_t x, int32_t y, DrawRoutineSet* set);
void drawshape(const uint8_t* shape, int32_t x, int32_t y);
void drawshapepos(const uint8_t* shape);
void drawshapecentred(const uint8_t* shape, int32_t x, int32_t y);
void drawshapesetpos(uint8_t* shape, int32_t x, int32_t y);
void drawshapetrans(const uint8_t* shape, int32_t x, int32_t y);
void drawshapetranspos(const uint8_t* shape);
void drawshapetranscentred(const uint8_t* shape, int32_t x, int32_t y);
void drawshapealpha(const uint8_t* shape, int32_t x, int32_t y);
void drawshapealphapos(const uint8_t* shape);
void drawshapealphacentred(const uint8_t* shape, int32_t x, int32_t y);
void drawbox(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour);
void fillrectalpha(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour);

void setclip(int32_t minx, int32_t miny, int32_t maxx, int32_t maxy);
void setwindowclip(WindowDesc* window, int32_t minx, int32_t miny, int32_t maxx, int32_t maxy);
void resetclip();
void resetwindowclip(WindowDesc* window);
// A window that draws straight into the pixels of an unpacked shape; free it with removewindow.
WindowDesc* windowfromshape(uint8_t* shape, uint32_t memclass);

// Premultiplied ARGB over a 5-6-5 or 5-5-5 pixel: alpha below 0x10 keeps the pixel, 0xFC and above writes
// the colour, otherwise each channel is colour + destination x (255 - alpha) / 256.
uint32_t blendover565(uint32_t colour, uint32_t destination);
uint32_t blendover555(uint32_t colour, uint32_t destination);
// The same over a row of n 16-bit pixels from n little-endian ARGB words.
void blendrow565(const uint8_t* colours, uint8_t* pixels, int n);
void blendrow555(const uint8_t* colours, uint8_t* pixels, int n);
// The same of the colours ramp[v] for n 4-bit steps v, two to a byte with the left one high.
void blendramprow16(bool is565, const uint32_t* ramp, const uint8_t* steps, uint8_t* pixels, int n);

// ---- row tables, filtered quads and filtered scaling ------------------------------------------------------------------
constexpr int kShapeRowTable = 1280;
constexpr int kEdgeTable = 1200;
extern int32_t shaperowtable[kShapeRowTable];
void initshaperowtbl(const uint8_t* shape);
int32_t buildtablemin(int32_t* table, int32_t y, int32_t x0, int32_t x1, int32_t rows);
int32_t buildtablemax(int32_t* table, int32_t y, int32_t x0, int32_t x1, int32_t rows);
void buildfixedtablemin(int32_t* table, int32_t y, int32_t start, int32_t end, int32_t xdirection, int32_t rows);
void buildfixedtablemax(int32_t* table, int32_t y, int32_t start, int32_t end, int32_t xdirection, int32_t rows);
// Sub-pixel filter of the texel at `texel` with its right, lower and lower-right neighbours; index is
// (u fraction bits 13-15) + 8 x (v fraction bits 13-15).
uint32_t argbfilter(int index, const uint8_t* texel, int32_t rowbytes);
uint32_t clutfilter(int index, const uint8_t* texel, int32_t rowbytes, const uint32_t* palette);
void drawshapequad(const uint8_t* shape, const int32_t* sourcecorners, const int32_t* destinationcorners);
void drawshapequadfull(const uint8_t* shape, const int32_t* destinationcorners);
void drawshapescaledargb(const uint8_t* shape, int32_t x, int32_t y, int32_t width, int32_t height);
void drawargbspan(const uint8_t* shape, int32_t u, int32_t v, int32_t du, int32_t dv, int32_t x, int32_t y, int32_t count);
void drawclutspan(const uint8_t* shape, int32_t u, int32_t v, int32_t du, int32_t dv, int32_t x, int32_t y, int32_t count);
void blendpixel8(uint8_t* pixel, uint32_t colour);
void blendpixel(int32_t x, int32_t y, uint32_t colour);

// ---- nearest-sample scaling (negative sizes mirror) -------------------------------------------------------------------
void drawshapescaled(const uint8_t* shape, int32_t x, int32_t y, int32_t width, int32_t height);
void drawshapescaledcentred(const uint8_t* shape, int32_t x, int32_t y, int32_t width, int32_t height);
void drawshapescaledpos(const uint8_t* shape, int32_t width, int32_t height);
void drawshapescaledrev(int32_t width, int32_t height, const uint8_t* shape, int32_t x, int32_t y);
void drawshapescaledcentredrev(int32_t width, int32_t height, const uint8_t* shape, int32_t x, int32_t y);
void drawshapescaledposrev(int32_t width, int32_t height, const uint8_t* shape);
void drawshapescaledex(const uint8_t* shape, int32_t x, int32_t y, int32_t width, int32_t height);
void drawshapescaledexcentred(const uint8_t* shape, int32_t x, int32_t y, int32_t width, int32_t height);
void drawshapescaledexpos(const uint8_t* shape, int32_t width, int32_t height);
void drawshapescaledexrev(int32_t width, int32_t height, const uint8_t* shape, int32_t x, int32_t y);
void drawshapescaledexcentredrev(int32_t width, int32_t height, const uint8_t* shape, int32_t x, int32_t y);
void drawshapescaledexposrev(int32_t width, int32_t height, const uint8_t* shape);
