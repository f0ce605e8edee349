#include "shapewriter.h"

#include "datapack/datapack.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace shapetools {

namespace {

void put16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  out[at] = static_cast<uint8_t>(v);
  out[at + 1] = static_cast<uint8_t>(v >> 8);
}
void put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

int depthof(uint8_t type) {
  switch (type) {
    case 0x7B: case 0x41: return 8;
    case 0x7A: case 0x40: return 4;
    case 0x79: case 0x44: return 1;
    case 0x7E: case 0x42: case 0x78: case 0x6D: return 16;
    case 0x7F: case 0x43: return 24;
    case 0x7D: return 32;
    default: return 0;
  }
}

std::vector<uint8_t> clutbytes(const Clut& clut) {
  size_t entry = 4;
  if (clut.type == 0x22 || clut.type == 0x24) entry = 3;
  if (clut.type == 0x23 || clut.type == 0x29 || clut.type == 0x2D) entry = 2;
  const size_t count = clut.type == 0x23 ? 256 : clut.entries.size();
  std::vector<uint8_t> out(16 + (count * entry + 3) / 4 * 4, 0);
  out[0] = clut.type;
  put16(out, 4, static_cast<uint32_t>(clut.entries.size()));
  for (size_t i = 0; i < clut.entries.size() && i < count; ++i) {
    const uint32_t v = clut.entries[i];
    const size_t at = 16 + i * entry;
    if (entry == 3) {
      out[at] = static_cast<uint8_t>(v >> 16);  // red first
      out[at + 1] = static_cast<uint8_t>(v >> 8);
      out[at + 2] = static_cast<uint8_t>(v);
    } else if (entry == 2) {
      put16(out, at, v);
    } else {
      put32(out, at, v);
    }
  }
  return out;
}

}  // namespace

int32_t rowbytes(uint8_t type, int32_t width) {
  const int bits = depthof(type);
  if (type == 0x7B) return width;
  if (type >= 0x40 && type <= 0x4F) return (width * bits + 15) / 16 * 2;
  return (width * bits + 7) / 8;
}

std::vector<uint8_t> shapebytes(const Image& image) {
  const int32_t row = rowbytes(image.type, image.width);
  const int bits = depthof(image.type);
  size_t pixelbytes = static_cast<size_t>(row) * image.height;
  std::vector<uint8_t> out(16 + (pixelbytes + 3) / 4 * 4, 0);
  out[0] = image.type;
  put16(out, 4, image.width);
  put16(out, 6, image.height);
  put16(out, 8, static_cast<uint32_t>(image.centrex));
  put16(out, 10, static_cast<uint32_t>(image.centrey));
  put16(out, 12, static_cast<uint32_t>(image.posx) & 0xFFF);
  put16(out, 14, static_cast<uint32_t>(image.posy) & 0xFFF);
  for (int32_t y = 0; y < image.height; ++y)
    for (int32_t x = 0; x < image.width; ++x) {
      const size_t i = static_cast<size_t>(y) * image.width + x;
      const uint32_t v = i < image.pixels.size() ? image.pixels[i] : 0;
      uint8_t* r = out.data() + 16 + static_cast<size_t>(y) * row;
      switch (bits) {
        case 1: if (v & 1) r[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7)); break;
        case 4: r[x >> 1] |= static_cast<uint8_t>((v & 15) << ((x & 1) ? 4 : 0)); break;
        case 8: r[x] = static_cast<uint8_t>(v); break;
        case 16: r[2 * x] = static_cast<uint8_t>(v); r[2 * x + 1] = static_cast<uint8_t>(v >> 8); break;
        case 24: r[3 * x] = static_cast<uint8_t>(v); r[3 * x + 1] = static_cast<uint8_t>(v >> 8); r[3 * x + 2] = static_cast<uint8_t>(v >> 16); break;
        case 32: for (int k = 0; k < 4; ++k) r[4 * x + k] = static_cast<uint8_t>(v >> (8 * k)); break;
        default: break;
      }
    }
  if (image.pack) {
    const std::vector<uint8_t> rows(out.begin() + 16, out.begin() + 16 + static_cast<long>(pixelbytes));
    std::vector<uint8_t> packed = datapack::pack(image.pack, rows);
    while (packed.size() % 4) packed.push_back(0);
    out.resize(16);
    out.insert(out.end(), packed.begin(), packed.end());
    out[0] = static_cast<uint8_t>(image.type | 0x80);
  }
  size_t previous = 0;
  for (const Clut& clut : image.records) {
    const size_t at = out.size();
    const std::vector<uint8_t> rec = clutbytes(clut);
    out.insert(out.end(), rec.begin(), rec.end());
    const uint32_t distance = static_cast<uint32_t>(at - previous);
    out[previous + 1] = static_cast<uint8_t>(distance);
    out[previous + 2] = static_cast<uint8_t>(distance >> 8);
    out[previous + 3] = static_cast<uint8_t>(distance >> 16);
    previous = at;
  }
  return out;
}

std::vector<uint8_t> shapefile(const std::vector<std::pair<std::string, Image>>& shapes, const char* magic,
                               const char* directory) {
  std::vector<uint8_t> out(16 + 8 * shapes.size(), 0);
  std::memcpy(out.data(), magic, 4);
  put32(out, 8, static_cast<uint32_t>(shapes.size()));
  std::memcpy(out.data() + 12, directory, 4);
  while (out.size() % 4) out.push_back(0);
  for (size_t i = 0; i < shapes.size(); ++i) {
    char name[4] = {' ', ' ', ' ', ' '};
    std::memcpy(name, shapes[i].first.data(), std::min<size_t>(4, shapes[i].first.size()));
    std::memcpy(out.data() + 16 + 8 * i, name, 4);
    put32(out, 16 + 8 * i + 4, static_cast<uint32_t>(out.size()));
    const std::vector<uint8_t> bytes = shapebytes(shapes[i].second);
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  put32(out, 4, static_cast<uint32_t>(out.size()));
  return out;
}

std::vector<uint8_t> fontfile(const Font& font) {
  std::vector<Glyph> glyphs = font.glyphs;
  std::sort(glyphs.begin(), glyphs.end(), [](const Glyph& a, const Glyph& b) { return a.code < b.code; });
  // Glyph image: every glyph side by side on one strip, each starting on a byte (8 pixels for 1-bit, 2 for 4-bit).
  const int align = font.bits == 1 ? 8 : 2;
  int32_t imagewidth = 0, imageheight = 1;
  std::vector<int32_t> xs;
  for (const Glyph& g : glyphs) {
    xs.push_back(imagewidth);
    imagewidth += (g.width + align - 1) / align * align;
    imageheight = std::max(imageheight, g.height);
  }
  if (imagewidth == 0) imagewidth = align;
  const int32_t row = (imagewidth * font.bits + 7) / 8;
  const size_t tableat = 40;
  const size_t imageat = (tableat + 11 * glyphs.size() + 3) / 4 * 4;
  std::vector<uint8_t> out(imageat + 16 + static_cast<size_t>(row) * imageheight, 0);
  std::memcpy(out.data(), "FNT1", 4);
  put16(out, 10, static_cast<uint32_t>(glyphs.size()));
  out[14] = font.jis ? 2 : 0;
  out[16] = static_cast<uint8_t>(font.xoffset);
  out[17] = static_cast<uint8_t>(font.yoffset);
  out[18] = static_cast<uint8_t>(font.above);
  out[19] = static_cast<uint8_t>(font.below);
  put32(out, 20, static_cast<uint32_t>(tableat));
  put32(out, 28, static_cast<uint32_t>(imageat));
  put16(out, 32, glyphs.empty() ? 0 : glyphs.back().code);
  uint8_t* image = out.data() + imageat;
  image[0] = font.bits == 1 ? 0x79 : 0x7A;
  image[4] = static_cast<uint8_t>(imagewidth);
  image[5] = static_cast<uint8_t>(imagewidth >> 8);
  image[6] = static_cast<uint8_t>(imageheight);
  image[7] = static_cast<uint8_t>(imageheight >> 8);
  for (size_t i = 0; i < glyphs.size(); ++i) {
    const Glyph& g = glyphs[i];
    uint8_t* e = out.data() + tableat + 11 * i;
    e[0] = static_cast<uint8_t>(g.code);
    e[1] = static_cast<uint8_t>(g.code >> 8);
    e[2] = static_cast<uint8_t>(g.width);
    e[3] = static_cast<uint8_t>(g.height);
    e[4] = static_cast<uint8_t>(xs[i]);
    e[5] = static_cast<uint8_t>(xs[i] >> 8);
    e[6] = e[7] = 0;
    e[8] = static_cast<uint8_t>(g.advance);
    e[9] = static_cast<uint8_t>(g.xoffset);
    e[10] = static_cast<uint8_t>(g.yoffset);
    for (int32_t y = 0; y < g.height; ++y)
      for (int32_t x = 0; x < g.width; ++x) {
        const size_t k = static_cast<size_t>(y) * g.width + x;
        const uint8_t v = k < g.pixels.size() ? g.pixels[k] : 0;
        if (!v) continue;
        const int32_t px = xs[i] + x;
        uint8_t* r = image + 16 + static_cast<size_t>(y) * row;
        if (font.bits == 1)
          r[px >> 3] |= static_cast<uint8_t>(0x80 >> (px & 7));
        else
          r[px >> 1] |= static_cast<uint8_t>((v & 15) << ((px & 1) ? 0 : 4));
      }
  }
  return out;
}

bool writefile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(f);
}

std::vector<uint8_t> readfile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

}  // namespace shapetools
