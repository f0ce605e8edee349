// Shapes and palettes turned into texture images of the 3D interface's formats, and shapes analysed and cut.
// A shape is a 16-byte header (type byte, u16 width at byte 4, u16 height at byte 6) followed by its pixels; a
// palette record is a 16-byte header (type 0x29 5-6-5, 0x24 24-bit, 0x2A 32-bit) then 256 entries.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/core/memmgr.h"

uint16_t ShapeWidth(const uint8_t* shape);
uint16_t ShapeHeight(const uint8_t* shape);
// Bit 15 of the palette header's x-position word: colours are straight, not premultiplied.
bool PaletteIsStraight(const uint8_t* record);

void ConvertPalette565ToARGB(const uint8_t* record, uint32_t out[256]);
void ConvertPaletteTo565(const uint8_t* record, uint16_t out[256]);
uint32_t ExpandAlpha565ToARGB(uint32_t entry, bool divide);
void ConvertAlpha565PaletteToARGB(const uint8_t* record, uint32_t out[256]);
void ConvertPalette565ToFormat(const uint8_t* record, uint16_t out[256], int format, bool transparentLast);
void ConvertAlpha565PaletteToFormat(const uint8_t* record, uint16_t out[256], int format, bool transparentLast);
void ConvertARGBPaletteToFormat(const uint8_t* record, uint16_t out[256], int format, bool transparentLast);
void PremultiplyPaletteAlpha(uint8_t* record);

int MostUsedShapeColour(const uint8_t* shape, bool include, uint8_t colour, int* second);
int ShapePixelIsOpaque(const uint8_t* shape, int32_t x, int32_t y);
int ShapeTypeIsImage(const uint8_t* shape);

// Texels of `width` x `height` 8-bit pixels (rows `sourcePitch` bytes apart) through a texel palette into rows
// `pitch` texels apart of a destination holding `pitch` x `rows` texels; texel 255 fills right and below.
void ExpandIndexedTo16(const uint8_t* pixels, int32_t sourcePitch, const uint16_t palette[256], int32_t height,
                       int32_t width, uint16_t* destination, int32_t pitch, int32_t rows);
void MakeIndexAlphaTexture(const uint8_t* pixels, int32_t sourcePitch, int32_t width, int32_t height,
                           const uint32_t palette[256], uint16_t* destination, int mode, int32_t pitch, int32_t rows);
// A new texture image (16-byte header kept from the shape, then side x side texels); empty for formats other than
// 3, 4, 7 and 9. Side 0: the rounded size of the shape. The shape is left untouched.
std::vector<uint8_t> LoadShapeTexture(const uint8_t* shape, const uint8_t* paletteRecord, int side, int format,
                                      bool transparentLast);
// An object image packed into a texture square: a new side x side 8-bit image with the shape (an 8-bit image of
// `size` bytes, its palette record attached) drawn scaled to width x height at the top left, or at the bottom when
// `bottomAlign` and height < side; pixels not drawn hold `fill`; the hot spot scaled with the image; the palette
// record copied after the pixels. Empty for a shape that is not an 8-bit image within `size` or sizes out of range.
std::vector<uint8_t> PackObjectShape(const uint8_t* shape, size_t size, int32_t width, int32_t height, int32_t side,
                                     uint8_t fill, bool bottomAlign);
// 0, or 2 when memory runs out (then neither handle exists).
int SplitShapeImage(const uint8_t* shape, MemHandle* left, MemHandle* right, int32_t splitColumn, int32_t leftHeight,
                    uint8_t fill);
