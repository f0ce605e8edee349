// Graphics: single pictures kept in shape files as the shape "grfx" (with an optional palette "!pal" for
// 8-bit pictures), loaded into memory handles, locked for drawing and drawn onto windows at a hot spot,
// clipped, scaled or blended. Packed pixels are unpacked on demand into the round's shared unpack cache.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/core/memmgr.h"
#include "framework/core/paths.h"
#include "platformlib/gfx/gfxdisplay.h"

struct WindowDesc;

struct GraphicRecord {
  int32_t width, height;
  int32_t hotx, hoty;      // the picture's centre: subtracted from the drawing position
  int32_t posx, posy;      // the stored 12-bit position
  int32_t headerflags;     // 1 when the stored position word carried bit 14
  int32_t transparent;     // non-zero: pixels of value 0 are not drawn
  uint8_t storage;         // 0 pixels stored plain, 4 stored packed
  MemHandle extra[2];      // further handles released with the record
  uint16_t type;           // 1 once loaded
  uint16_t depth;          // bits per pixel of the picture's type
  MemHandle pixelHandle;   // the picture as loaded (possibly packed), its palette behind it
  MemHandle unpackHandle;  // an unpacked copy, or the shared cache while a draw uses it
  MemHandle paletteHandle; // a palette of its own (optional)
  int32_t cacheOwned;      // the unpack handle belongs to the cache: never freed with the record
  uint8_t* shape;          // while locked: the shape header, then the pixels
  uint8_t* palette;        // while locked: the palette record of an 8-bit picture
  MemHandle lockedHandle;  // what GfxLock locked
};
using GfxRecord = GraphicRecord;

// Load flags.
constexpr uint32_t kGfxUnpackNow = 0x20;

// 0; 7 when the shape file cannot be loaded (or is damaged); 1 when it has no "grfx" shape; 4 when a handle
// cannot be locked; 2 when memory runs out; 12 for a packed layout whose size cannot be told.
int GfxLoad(GraphicRecord* record, PathRecord* folder, const char* name, uint32_t flags, uint16_t memflags);
void GfxFree(GraphicRecord* record);
void GfxFreeAndDelete(GraphicRecord** record);
int GfxLock(GraphicRecord* record);
void GfxUnlock(GraphicRecord* record);
// Unpacks packed pixels into a new unpack handle: 0 (also when nothing is packed), 4, or 2.
int GfxUnpack(GraphicRecord* record, uint16_t memflags);
void GfxFreePixels(GraphicRecord* record);

// Unpacks a packed shape (whose data extends `extent` bytes from its header) into `*cache`; when that handle
// is missing or too small a new one of the needed size replaces it in `*cache` (the old handle is not freed).
// 0; 2 no memory; 4 cannot lock; 1 damaged packed data.
int GfxUnpackToCache(const uint8_t* shape, size_t extent, MemHandle* cache, uint16_t memflags);
// Bytes of a palette record (header and entries).
int32_t GfxPaletteBytes(const uint8_t* record);

// ---- drawing ---------------------------------------------------------------------------------------------
// Rectangles (GfxRect of the library: right and bottom exclusive); all four -1 when nothing was drawn.

void GfxDrawAtHotSpot(GraphicRecord* graphic, WindowDesc* target, int32_t x, int32_t y);
// Returns 0, or the lock status (4) when a packed graphic could not be unpacked.
int GfxDrawClipped(GraphicRecord* graphic, WindowDesc* target, int32_t x, int32_t y, GfxRect* covered,
                   const GfxRect* clip);
void GfxDrawScaled(GraphicRecord* graphic, WindowDesc* target, const GfxRect& destination);
int GfxDrawScaledClipped(GraphicRecord* graphic, WindowDesc* target, GfxRect* covered, int32_t width, int32_t height,
                         int32_t x, int32_t y, const GfxRect* clip);
// The wrappers: lock, unpack through the cache when packed, draw at x, y (scaled to width x height when
// `scaled`), unlock. The target's clip applies. 0 or 4.
int GfxDraw(GraphicRecord* graphic, WindowDesc* target, int32_t x, int32_t y, int32_t width, int32_t height,
            bool scaled);

// Blended draws through the scratch images (scale in 16.16). 0, or 4 when nothing could be drawn.
int GfxDrawBlended(GraphicRecord* graphic, WindowDesc* target, int32_t x, int32_t y, int32_t scale,
                   GfxRect* covered, const GfxRect* clip);
int GfxDrawSilhouette(GraphicRecord* graphic, WindowDesc* target, int32_t x, int32_t y, int32_t scale,
                      uint32_t colour, GfxRect* covered, const GfxRect* clip);
int GfxDrawBlendedScaled(GraphicRecord* graphic, WindowDesc* target, int32_t x, int32_t y, int32_t width,
                         int32_t height, GfxRect* covered, const GfxRect* clip);

int GfxInitScratch();
void GfxFreeScratch();
// The font manager's two hooks; they do nothing.
void GfxFontHook4(void*, int32_t, int32_t, int32_t);
void GfxFontHook5(void*, int32_t, int32_t, int32_t, int32_t);

// Counters for tests and measurements: handles made by the unpacking.
extern int32_t GfxUnpackAllocations;
