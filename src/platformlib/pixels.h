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
