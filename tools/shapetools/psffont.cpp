#include "psffont.h"

#include <cstdio>
#include <map>

namespace shapetools {
namespace {

struct Psf {
  int width = 0, height = 0, bytesperrow = 0;
  std::vector<std::vector<uint8_t>> glyphs;
  std::map<uint32_t, int> unicode;  // code point -> glyph
};

std::vector<uint8_t> readallfile(const std::string& path) {
  if (path.size() > 3 && path.compare(path.size() - 3, 3, ".gz") == 0) {
    const std::string command = "gzip -dc '" + path + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {};
    std::vector<uint8_t> out;
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.insert(out.end(), buffer, buffer + n);
    pclose(pipe);
    return out;
  }
  return shapetools::readfile(path);
}

uint32_t le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }

// One UTF-8 sequence; returns the code point and advances, or 0xFFFFFFFF on a malformed byte.
uint32_t utf8(const std::vector<uint8_t>& d, size_t& at) {
  const uint8_t b = d[at++];
  int extra = 0;
  uint32_t c = 0;
  if (b < 0x80) return b;
  if ((b & 0xE0) == 0xC0) extra = 1, c = b & 0x1F;
  else if ((b & 0xF0) == 0xE0) extra = 2, c = b & 0x0F;
  else if ((b & 0xF8) == 0xF0) extra = 3, c = b & 0x07;
  else return 0xFFFFFFFF;
  while (extra-- > 0 && at < d.size()) c = (c << 6) | (d[at++] & 0x3F);
  return c;
}

bool parsepsf(const std::vector<uint8_t>& d, Psf& font, std::string& error) {
  size_t glyphsat = 0, count = 0, charsize = 0;
  bool hastable = false, psf2 = false;
  if (d.size() >= 32 && le32(d.data()) == 0x864AB572u) {
    psf2 = true;
    const uint32_t headersize = le32(d.data() + 8), flags = le32(d.data() + 12);
    count = le32(d.data() + 16);
    charsize = le32(d.data() + 20);
    font.height = static_cast<int>(le32(d.data() + 24));
    font.width = static_cast<int>(le32(d.data() + 28));
    glyphsat = headersize;
    hastable = flags & 1;
  } else if (d.size() >= 4 && d[0] == 0x36 && d[1] == 0x04) {
    count = (d[2] & 1) ? 512 : 256;
    hastable = d[2] & 2;
    charsize = d[3];
    font.height = d[3];
    font.width = 8;
    glyphsat = 4;
  } else {
    error = "not a PSF font";
    return false;
  }
  if (font.width <= 0 || font.width > 64 || font.height <= 0 || font.height > 64 || count == 0 || count > 65536) {
    error = "unsupported glyph size or count";
    return false;
  }
  font.bytesperrow = (font.width + 7) / 8;
  if (charsize < static_cast<size_t>(font.bytesperrow * font.height) || glyphsat + count * charsize > d.size()) {
    error = "glyph data past the end of the file";
    return false;
  }
  for (size_t i = 0; i < count; ++i)
    font.glyphs.emplace_back(d.begin() + static_cast<long>(glyphsat + i * charsize),
                             d.begin() + static_cast<long>(glyphsat + (i + 1) * charsize));
  if (!hastable) {
    for (size_t i = 0; i < count && i < 256; ++i) font.unicode[static_cast<uint32_t>(i)] = static_cast<int>(i);
    return true;
  }
  size_t at = glyphsat + count * charsize;
  for (size_t g = 0; g < count && at < d.size(); ++g) {
    bool sequence = false;
    while (at < d.size()) {
      if (psf2) {
        const uint8_t b = d[at];
        if (b == 0xFF) { ++at; break; }
        if (b == 0xFE) { ++at; sequence = true; continue; }
        const uint32_t c = utf8(d, at);
        if (!sequence && c != 0xFFFFFFFF && !font.unicode.count(c)) font.unicode[c] = static_cast<int>(g);
      } else {
        if (at + 1 >= d.size()) { at = d.size(); break; }
        const uint32_t c = d[at] | (d[at + 1] << 8);
        at += 2;
        if (c == 0xFFFF) break;
        if (c == 0xFFFE) { sequence = true; continue; }
        if (!sequence && !font.unicode.count(c)) font.unicode[c] = static_cast<int>(g);
      }
    }
  }
  return true;
}

bool bit(const Psf& font, int glyph, int x, int y) {
  if (x < 0 || y < 0 || x >= font.width || y >= font.height) return false;
  return font.glyphs[glyph][static_cast<size_t>(y) * font.bytesperrow + (x >> 3)] & (0x80 >> (x & 7));
}

// The base line: one below the lowest set row of 'x' (or of 'H'), else three quarters down.
int baseline(const Psf& font) {
  for (uint32_t probe : {'x', 'H'}) {
    auto it = font.unicode.find(probe);
    if (it == font.unicode.end()) continue;
    for (int y = font.height - 1; y >= 0; --y)
      for (int x = 0; x < font.width; ++x)
        if (bit(font, it->second, x, y)) return y + 1;
  }
  return font.height * 3 / 4;
}

}  // namespace


std::vector<uint8_t> readpsffile(const std::string& path) { return readallfile(path); }

bool convertpsf(const std::vector<uint8_t>& data, int bits, int shrink, Font& font, std::string& error) {
  if ((bits != 1 && bits != 4) || shrink < 1 || shrink > 8 || (bits == 1 && shrink != 1)) {
    error = "unsupported depth or shrink";
    return false;
  }
  Psf psf;
  if (data.empty()) {
    error = "cannot read";
    return false;
  }
  if (!parsepsf(data, psf, error)) return false;
  const int base = baseline(psf);
  font = Font{};
  font.bits = bits;
  font.above = static_cast<int8_t>((base + shrink - 1) / shrink);
  font.below = static_cast<int8_t>((psf.height + shrink - 1) / shrink - font.above);
  // Texts are placed by their top: the pen steps down to the base line the glyphs stand on.
  font.yoffset = font.above;
  const int gw = (psf.width + shrink - 1) / shrink, gh = (psf.height + shrink - 1) / shrink;
  for (uint32_t code = 32; code < 256; ++code) {
    if (code > 126 && code < 160) continue;
    auto it = psf.unicode.find(code);
    if (it == psf.unicode.end()) continue;
    Glyph g;
    g.code = static_cast<uint16_t>(code);
    g.width = gw;
    g.height = gh;
    g.advance = static_cast<int8_t>(gw);
    g.yoffset = static_cast<int8_t>(-font.above);  // the pen stands on the base line
    g.pixels.resize(static_cast<size_t>(gw) * gh);
    for (int y = 0; y < gh; ++y)
      for (int x = 0; x < gw; ++x) {
        int set = 0;
        for (int j = 0; j < shrink; ++j)
          for (int i = 0; i < shrink; ++i) set += bit(psf, it->second, x * shrink + i, y * shrink + j);
        g.pixels[static_cast<size_t>(y) * gw + x] =
            bits == 1 ? static_cast<uint8_t>(set ? 1 : 0) : static_cast<uint8_t>((set * 15 + shrink * shrink / 2) / (shrink * shrink));
      }
    font.glyphs.push_back(std::move(g));
  }
  return true;
}

}  // namespace shapetools
