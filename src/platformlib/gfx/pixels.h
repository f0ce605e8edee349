// Pixel access in the current window, colour values (0xAARRGGBB) and the palette.
#pragma once

#include <cstdint>

struct WindowDesc;

extern uint32_t CurrentPalette[256];
extern uint8_t* InverseColourTable;  // 32768 entries, or null until the colour tables install one
extern uint8_t UsableEntries[256];
extern uint8_t IndexRemap[256];

void writepixel(int32_t x, int32_t y, uint32_t value);
uint32_t readpixel(int32_t x, int32_t y);
void xorpixel(int32_t x, int32_t y, uint32_t value);
uint32_t getargb(uint32_t value);
// The colour rules of 15- and 16-bit pixels, the only ones in the library. The pixel 0 is the colour key and
// reads as ARGB 0 (transparent black); other pixels read opaque. In plain mode only the colour value 0 becomes
// the 15-bit pixel 0 (every other colour, opaque black included, sets bit 15) and 16-bit pixels take the
// channels alone. In alpha mode an alpha below 0x40 gives the key 0, and an opaque colour that would come out
// as 0 becomes 1 (16 bits) or keeps bit 15 (15 bits), so it is not taken for the key.
uint32_t argbfrom565(uint32_t p);
uint32_t argbfrom555(uint32_t p);
uint32_t argbto565(uint32_t c, int alphamode);
uint32_t argbto555(uint32_t c, int alphamode);
uint32_t rgbpixel(uint32_t colour);
int nearestcolour(uint32_t colour);
void rgbtopixels(int first, int count, const uint8_t* triples);
void fillrect(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t value);
void drawline(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t value);

void setpalette(int first, int count, const uint8_t* triples);
void setpalette32(int first, int count, const uint32_t* entries);
void getpalette(int first, int count, uint8_t* triples);
void getpalette32(int first, int count, uint32_t* entries);
void vgapalette(int first, int count, const uint8_t* triples);
void getvgapalette();
void updatepalette(WindowDesc* window, int first, int count);
