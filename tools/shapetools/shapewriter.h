// Writers of shape files and font files in the library's formats, for tests and the demo-data generator.
// Pixel values are given one per pixel; the writers pack them in each format's own order (shapes: 4-bit
// pixels left in the low nibble; font glyphs: 1-bit pixels left in bit 7, 4-bit pixels left in the high nibble).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace shapetools {

// A palette record: its type code (0x22, 0x23, 0x24, 0x29, 0x2A, 0x2C, 0x2D, 0x2E) and its entries, each given
// as one value: 0x00RRGGBB for the triple types (0..63 per channel for 0x22), the 16-bit word, or the 32-bit word.
struct Clut {
  uint8_t type = 0x24;
  std::vector<uint32_t> entries;
};

struct Image {
  uint8_t type = 0x7B;  // shape type code (bit 7 is never set by this writer)
  int32_t width = 0, height = 0;
  int32_t centrex = 0, centrey = 0;
  int32_t posx = 0, posy = 0;  // stored position (12 bits each)
  // One value per pixel, row by row: an index for 1/4/8-bit types, the 16-bit word, 0x00BBGGRR-less 24-bit
  // colour as 0xRRGGBB, or 0xAARRGGBB.
  std::vector<uint32_t> pixels;
  std::vector<Clut> records;  // attached after the pixels, chained in order
  uint8_t pack = 0;  // a pack code (0x10, 0x30, 0x32, 0x34, 0x46, 0x4A): rows stored packed, bit 7 of the type set
};

int32_t rowbytes(uint8_t type, int32_t width);
// The bytes of one shape: header, rows, and its chained records.
std::vector<uint8_t> shapebytes(const Image& image);
// A shape file: "SHPI" magic, size, count, directory identifier, directory, shapes (each 4-byte aligned).
std::vector<uint8_t> shapefile(const std::vector<std::pair<std::string, Image>>& shapes, const char* magic = "SHPI",
                               const char* directory = "TBOX");

struct Glyph {
  uint16_t code = 0;
  int32_t width = 0, height = 0;
  int8_t advance = 0, xoffset = 0, yoffset = 0;
  std::vector<uint8_t> pixels;  // width x height values: 0/1 for 1-bit fonts, 0..15 for 4-bit fonts
};

struct Font {
  int bits = 1;  // 1 or 4
  int8_t xoffset = 0, yoffset = 0;
  int8_t above = 0, below = 0;  // line height components
  bool jis = false;
  std::vector<Glyph> glyphs;  // any order; written sorted by code
};

std::vector<uint8_t> fontfile(const Font& font);

bool writefile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> readfile(const std::string& path);

}  // namespace shapetools
