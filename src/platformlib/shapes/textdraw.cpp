// Font files and text drawing.
#include "platformlib/shapes/textdraw.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platformlib/gfx/gfxdisplay.h"
#include "platformlib/core/memclass.h"
#include "platformlib/gfx/pixels.h"
#include "platformlib/shapes/shapes.h"
#include "platformlib/gfx/windowdesc.h"

TextState textstate;

namespace {

constexpr int kWorkBytes = 4160;
constexpr int kMaxChars = 256;

// The box grown by the measuring blitter.
int32_t boxminx, boxminy, boxmaxx, boxmaxy;


int imagebits(const uint8_t* image) { return shapetypedepth(image[0]) == 4 ? 4 : 1; }

bool jisfont() { return textstate.reader == nextcharjis; }

void measureglyph(int32_t x, int32_t y, const uint8_t*, int32_t, int32_t, int32_t width, int32_t height, int32_t) {
  boxminx = std::min(boxminx, x);
  boxminy = std::min(boxminy, y);
  boxmaxx = std::max(boxmaxx, x + width);
  boxmaxy = std::max(boxmaxy, y + height);
}

// The glyph's premultiplied ramp colour v as 0xAARRGGBB.
inline uint32_t rampargb(int v) {
  const uint8_t* e = textstate.work + 4 * v;
  return (static_cast<uint32_t>(e[3]) << 24) | (e[2] << 16) | (e[1] << 8) | e[0];
}

void buildtextblendtable() {
  uint8_t* table = textstate.work + 64;
  for (int j = 0; j < 16; ++j) {
    const uint8_t* e = textstate.work + 4 * j;
    const uint32_t a = e[3];
    for (int p = 0; p < 256; ++p) {
      if (!a) {
        table[j * 256 + p] = static_cast<uint8_t>(p);
        continue;
      }
      const uint32_t pc = CurrentPalette[p];
      auto ch = [&](int shift, uint8_t ramp) {
        return std::min<uint32_t>(255, ((pc >> shift) & 0xFF) * (255 - a) / 255 + ramp);
      };
      const uint32_t c = 0xFF000000u | (ch(16, e[2]) << 16) | (ch(8, e[1]) << 8) | ch(0, e[0]);
      table[j * 256 + p] = static_cast<uint8_t>(rgbpixel(c));
    }
  }
}

void buildtextramp(uint32_t foreground) {
  const uint32_t c = getargb(foreground);
  const uint32_t r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
  for (int i = 0; i < 16; ++i) {
    uint8_t* e = textstate.work + 4 * i;
    e[0] = static_cast<uint8_t>(i * b / 15);
    e[1] = static_cast<uint8_t>(i * g / 15);
    e[2] = static_cast<uint8_t>(i * r / 15);
    e[3] = static_cast<uint8_t>(i * 255 / 15);
  }
  if (CurrentWindow.depth <= 8) buildtextblendtable();
}

void textformat(char* buffer, const char* format, va_list args) {
  std::vsnprintf(buffer, kMaxChars, format, args);  // bounded: long results are cut, never overrun
}

bool refusejis(const char* file, const char* function) {
  if (!jisfont()) return false;
  ABORTCONTEXT(file, function);
  abortmessage("text function - THIS FUNCTION DOES NOT SUPPORT JIS STRINGS.\n");
  return true;
}

}  // namespace

GlyphEntry readglyph(const uint8_t* e) {
  GlyphEntry g;
  g.code = shaperead16(e);
  g.width = e[2];
  g.height = e[3];
  g.x = shaperead16(e + 4);
  g.y = shaperead16(e + 6);
  g.advance = static_cast<int8_t>(e[8]);
  g.xoffset = static_cast<int8_t>(e[9]);
  g.yoffset = static_cast<int8_t>(e[10]);
  return g;
}

int checkfontfile(const void* font, size_t length, const char** error) {
  auto fail = [&](const char* text) {
    if (error) *error = text;
    return 0;
  };
  const auto* f = static_cast<const uint8_t*>(font);
  if (!f || length < 34) return fail("file shorter than its header");
  if (std::memcmp(f, "FNT", 3) != 0) return fail("no font signature");
  const uint32_t count = shaperead16(f + 10);
  const uint32_t table = shaperead32(f + 20);
  const uint32_t image = shaperead32(f + 28);
  if (table > length || (length - table) / kGlyphEntryBytes < count) return fail("glyph table outside the file");
  if (image > length || length - image < 16) return fail("glyph image outside the file");
  const uint8_t* shape = f + image;
  const int depth = shapetypedepth(shape[0]);
  if ((depth != 1 && depth != 4) || (shape[0] & kShapePacked)) return fail("glyph image is not 1 or 4 bits a pixel");
  const int64_t imagewidth = shapewidth(shape), imageheight = shapeheight(shape);
  const int64_t rowbytes = (imagewidth * depth + 7) / 8;
  if (rowbytes * imageheight > static_cast<int64_t>(length - image - 16)) return fail("glyph image pixels run past the end");
  for (uint32_t i = 0; i < count; ++i) {
    const GlyphEntry g = readglyph(f + table + i * kGlyphEntryBytes);
    if (g.x + g.width > imagewidth || g.y + g.height > imageheight) return fail("glyph rectangle outside the image");
    if ((depth == 1 && (g.x & 7)) || (depth == 4 && (g.x & 1))) return fail("glyph does not start on a byte");
  }
  return 1;
}

void inittextstate() {
  static bool registered = false;
  freetextdraw();  // a work buffer from before is given back, never dropped
  std::memset(&textstate, 0, sizeof textstate);
  if (!registered) {
    registered = true;
    std::atexit(freetextdraw);
  }
}

void setfont(const void* fontaddress) {
  const auto* f = static_cast<const uint8_t*>(fontaddress);
  if (!f || std::memcmp(f, "FNT", 3) != 0) {
    ABORTCONTEXT("font\\textset.c", "setfont");
    char found[5] = {0, 0, 0, 0, 0};
    if (f) std::memcpy(found, f, 4);
    abortmessage("setfont - UNRECOGNIZED FONT SIGNATURE.\nFOUND %4.4s. SIGNATURE SHOULD BE FNTx\n", found);
    return;
  }
  TextState& t = textstate;
  t.font = f;
  t.fontx = static_cast<int8_t>(f[16]);
  t.fonty = static_cast<int8_t>(f[17]);
  t.above = static_cast<int8_t>(f[18]);
  t.below = static_cast<int8_t>(f[19]);
  t.lineheight = t.above + t.below;
  t.glyphcount = shaperead16(f + 10);
  t.glyphs = f + shaperead32(f + 20);
  t.image = f + shaperead32(f + 28);
  t.fontlevel = 100;
  t.blend = 1;
  t.bits = imagebits(t.image);
  t.rowbytes = (t.bits * shapewidth(t.image) + 7) / 8;
  t.reader = ((f[14] & 3) == 2 || t.glyphcount > 255 || shaperead16(f + 32) > 255) ? nextcharjis : nextchar;
  t.foreground = t.background = 0;
  std::memset(t.ramp, 0, sizeof t.ramp);
  inittextdraw();
}

void inittextdraw() {
  TextState& t = textstate;
  if (!t.work) {
    t.work = static_cast<uint8_t*>(reservememadr("fontdraw", kWorkBytes, 0));
    t.worksize = t.work ? kWorkBytes : 0;
    if (t.work) std::memset(t.work, 0, kWorkBytes);
  }
  applytextcolours();
  if (t.bits == 1)
    t.blitter = fortext1;
  else
    t.blitter = t.blend ? blitglyph4blend : blitglyph4;
}

void freetextdraw() {
  if (textstate.work && memstarted()) purgememadr(textstate.work);
  textstate.work = nullptr;
  textstate.worksize = 0;
  textstate.blitter = nullptr;
}

void applytextcolours() {
  if (textstate.blend && textstate.bits == 4 && textstate.work) buildtextramp(textstate.foreground);
}

void textcolour(uint32_t foreground, uint32_t background) {
  const int depth = CurrentWindow.depth;
  if (depth == 8 && foreground >= 256) {
    ABORTCONTEXT("font\\textcol.c", "textcolour");
    abortmessage("textcolour - INVALID COLOUR INDEX.\nCURRENT WINDOW BPP %d. REQUESTED TEXTCOLOUR(0x%x,0x%x).\n", depth,
                 foreground, background);
    return;
  }
  TextState& t = textstate;
  t.foreground = foreground;
  t.background = background;
  const uint32_t f = getargb(foreground), b = getargb(background);
  for (uint32_t i = 0; i < 16; ++i) {
    uint32_t c = (16 * i) << 24;
    for (int shift = 0; shift <= 16; shift += 8)
      c |= ((((15 - i) * ((b >> shift) & 0xFF) + i * ((f >> shift) & 0xFF)) >> 4) & 0xFF) << shift;
    t.ramp[i] = rgbpixel(c);
  }
  applytextcolours();
}

void settextxy(int32_t x, int32_t y) {
  textstate.x = x;
  textstate.y = y;
}
void settextblend(int on) {
  textstate.blend = on;
  inittextdraw();
}
int gettextblend() { return textstate.blend; }
int32_t textheight() { return textstate.lineheight; }

uint32_t nextchar(const uint8_t** cursor) { return *(*cursor)++; }

uint32_t jisfullwidth(uint8_t c) {
  static const uint16_t table[96] = {
      0x8140, 0x8149, 0x8167, 0x8194, 0x8190, 0x8193, 0x8195, 0x8166, 0x8169, 0x816A, 0x8196, 0x817B, 0x8143, 0x817C,
      0x8144, 0x815E, 0x824F, 0x8250, 0x8251, 0x8252, 0x8253, 0x8254, 0x8255, 0x8256, 0x8257, 0x8258, 0x8146, 0x8147,
      0x8183, 0x8181, 0x8184, 0x8148, 0x8197, 0x8260, 0x8261, 0x8262, 0x8263, 0x8264, 0x8265, 0x8266, 0x8267, 0x8268,
      0x8269, 0x826A, 0x826B, 0x826C, 0x826D, 0x826E, 0x826F, 0x8270, 0x8271, 0x8272, 0x8273, 0x8274, 0x8275, 0x8276,
      0x8277, 0x8278, 0x8279, 0x816D, 0x815F, 0x816E, 0x81AA, 0x8151, 0x8165, 0x8281, 0x8282, 0x8283, 0x8284, 0x8285,
      0x8286, 0x8287, 0x8288, 0x8289, 0x828A, 0x828B, 0x828C, 0x828D, 0x828E, 0x828F, 0x8290, 0x8291, 0x8292, 0x8293,
      0x8294, 0x8295, 0x8296, 0x8297, 0x8298, 0x8299, 0x829A, 0x816F, 0x8162, 0x8170, 0x8160, 0x81A6,
  };
  return (c >= 32 && c < 128) ? table[c - 32] : c;
}

uint32_t nextcharjis(const uint8_t** cursor) {
  const uint8_t b = *(*cursor)++;
  if (b & 0x80) {
    const uint8_t second = **cursor;
    if (!second) return b;  // a lead byte at the very end: never read past the terminator
    ++*cursor;
    return b * 256u + second;
  }
  return (b >= 32 && b <= 127) ? jisfullwidth(b) : b;
}

const uint8_t* findglyph(uint32_t code) {
  const uint8_t* base = textstate.glyphs;
  uint32_t n = static_cast<uint32_t>(textstate.glyphcount);
  while (n) {
    const uint8_t* middle = base + (n / 2) * kGlyphEntryBytes;
    const uint32_t c = shaperead16(middle);
    if (c == code) return middle;
    if (code > c) {
      base = middle + kGlyphEntryBytes;
      --n;
    }
    n /= 2;
  }
  return nullptr;
}

const uint8_t* getcharacter(uint32_t code) {
  if (textstate.fontlevel < 100) {
    ABORTCONTEXT("font\\textfor.c", "getcharacter");
    abortmessage("fortext - font not set or font version incorrect\n");
    return nullptr;
  }
  if (code >= 32 && code - 32 < static_cast<uint32_t>(textstate.glyphcount)) {
    const uint8_t* e = textstate.glyphs + (code - 32) * kGlyphEntryBytes;
    if (shaperead16(e) == code) return e;
  }
  return findglyph(code);
}

void fortext(const char* string) {
  if (!string) {
    ABORTCONTEXT("font\\textfor.c", "fortext");
    abortmessage("fortext - STRING IS NULL\n");
    return;
  }
  TextState& t = textstate;
  if (t.fontlevel < 100) {
    getcharacter(0);  // reports the missing font
    return;
  }
  if (!t.blitter) inittextdraw();
  int32_t penx = t.x + t.fontx, peny = t.y + t.fonty;
  const int32_t linestart = penx;
  const uint8_t* space = getcharacter(32);
  const int32_t spaceadvance = space ? readglyph(space).advance : 0;
  const int32_t imagewidth = shapewidth(t.image), imageheight = shapeheight(t.image);
  const uint8_t* pixels = t.image + 16;
  const auto* cursor = reinterpret_cast<const uint8_t*>(string);
  for (;;) {
    const uint32_t code = t.reader(&cursor);
    if (code == 0) break;
    if (code == 10) {
      peny += t.lineheight;
      penx = linestart;
      continue;
    }
    if (code <= 32) {
      penx += spaceadvance;
      continue;
    }
    const uint8_t* entry = getcharacter(code);
    if (!entry) continue;
    const GlyphEntry g = readglyph(entry);
    // A glyph rectangle is cut to the image so that a damaged table never reads outside it.
    const int32_t w = std::min<int32_t>(g.width, std::max<int32_t>(0, imagewidth - g.x));
    const int32_t h = std::min<int32_t>(g.height, std::max<int32_t>(0, imageheight - g.y));
    if (w > 0 && h > 0 && t.blitter)
      t.blitter(penx + g.xoffset, peny + g.yoffset, pixels, g.x, g.y, w, h, t.rowbytes);
    penx += g.advance;
  }
  t.x = penx - t.fontx;
  t.y = peny - t.fonty;
}

void fortextxy(const char* string, int32_t x, int32_t y) {
  settextxy(x, y);
  fortext(string);
}

int32_t textnpixels(const char* string, int32_t n) {
  if (!string) {
    ABORTCONTEXT("font\\textpix.c", "textnpixels");
    abortmessage("textnpixels - STRING IS NULL\n");
    return 0;
  }
  if (textstate.fontlevel < 100) {
    getcharacter(0);
    return 0;
  }
  int32_t width = 0;
  const auto* cursor = reinterpret_cast<const uint8_t*>(string);
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t code = textstate.reader(&cursor);
    if (!code) break;
    if (const uint8_t* e = getcharacter(code)) width += readglyph(e).advance;
  }
  return width;
}

int32_t textpixels(const char* string) { return textnpixels(string, kMaxChars); }

void textextent(const char* string, int32_t n, int32_t* x, int32_t* y, int32_t* width, int32_t* height) {
  TextState& t = textstate;
  if (n > kMaxChars) n = kMaxChars;
  if (n < 0) n = 0;
  const int32_t savedx = t.x, savedy = t.y;
  t.x = 0;
  t.y = 0;
  boxminx = boxminy = boxmaxx = boxmaxy = 0;
  char copy[kMaxChars + 1];
  int32_t length = 0;
  if (string)
    while (length < n && string[length]) {
      copy[length] = string[length];
      ++length;
    }
  copy[length] = 0;
  if (length && t.fontlevel >= 100) {
    if (!t.blitter) inittextdraw();
    const GlyphBlitter saved = t.blitter;
    t.blitter = measureglyph;
    fortext(copy);
    t.blitter = saved;
  }
  const int32_t penx = t.x;
  t.x = savedx;
  t.y = savedy;
  if (x) *x = boxminx;
  if (y) *y = boxminy;
  if (width) *width = std::max(boxmaxx - boxminx, penx);
  if (height) *height = boxmaxy - boxminy;
}

void textextent(const char* string, int32_t* x, int32_t* y, int32_t* width, int32_t* height) {
  textextent(string, kMaxChars, x, y, width, height);
}

void fortextbox(const char* string) {
  int32_t bx = 0, by = 0, bw = 0, bh = 0;
  textextent(string, kMaxChars, &bx, &by, &bw, &bh);
  fillrect(textstate.x + bx, textstate.y + by, bw, bh, textstate.background);
  fortext(string);
}

void fortextboxxy(const char* string, int32_t x, int32_t y) {
  settextxy(x, y);
  fortextbox(string);
}

void movftxy(int32_t x, int32_t y, const char* format, ...) {
  if (refusejis("font\\textmovf.c", "movftxy")) return;
  char buffer[kMaxChars];
  va_list args;
  va_start(args, format);
  textformat(buffer, format, args);
  va_end(args);
  fortextboxxy(buffer, x, y);
}

void centertext(const char* string, int32_t y) {
  const int32_t display = gfxstate().width ? gfxstate().width : CurrentWindow.width;
  const int32_t savedx = textstate.x, savedy = textstate.y;
  fortextxy(string, (display - textpixels(string)) / 2, y);
  textstate.x = savedx;
  textstate.y = savedy;
}

void centerftext(int32_t y, const char* format, ...) {
  if (refusejis("font\\textcen.c", "centerftext")) return;
  char buffer[kMaxChars];
  va_list args;
  va_start(args, format);
  textformat(buffer, format, args);
  va_end(args);
  centertext(buffer, y);
}

void savetextstate(TextState* buffer) {
  if (buffer) *buffer = textstate;
}

void restoretextstate(const TextState* buffer) {
  if (!buffer) return;
  uint8_t* work = textstate.work;  // the work buffer stays the one this state owns
  textstate = *buffer;
  textstate.work = work;
  textstate.worksize = work ? kWorkBytes : 0;
  applytextcolours();
}

// ---- glyph blitters ---------------------------------------------------------------------------------------------------

namespace {
// The set pixels of a 1-bit glyph's clipped rows in the colour's first Bytes bytes, found a byte at a time.
template <int Bytes>
void fortext1rows(const WindowDesc& w, int32_t x, int32_t y, const uint8_t* image, int32_t sx, int32_t sy,
                  int32_t rowbytes, int32_t x0, int32_t x1, int32_t y0, int32_t y1, uint32_t colour) {
  uint8_t value[4];
  for (int k = 0; k < 4; ++k) value[k] = static_cast<uint8_t>(colour >> (8 * k));
  const int32_t first = sx + x0 - x, last = sx + x1 - x;  // the glyph's bits in the clip
  for (int32_t py = y0; py < y1; ++py) {
    const uint8_t* row = image + static_cast<int64_t>(sy + py - y) * rowbytes;
    uint8_t* d = w.pixels + w.rows[py];
    for (int32_t byte = first >> 3; byte <= (last - 1) >> 3; ++byte) {
      uint32_t b = row[byte];  // bit 7 is the leftmost pixel
      const int32_t lo = byte * 8;
      if (lo < first) b &= 0xFFu >> (first - lo);
      if (lo + 8 > last) b &= (0xFF00u >> (last - lo)) & 0xFF;
      while (b) {
        const int k = __builtin_clz(b) - 24;
        std::memcpy(d + w.cols[x + lo + k - sx], value, Bytes);
        b &= ~(0x80u >> k);
      }
    }
  }
}
}  // namespace

void fortext1(int32_t x, int32_t y, const uint8_t* image, int32_t sx, int32_t sy, int32_t width, int32_t height,
              int32_t rowbytes) {
  const WindowDesc& w = CurrentWindow;
  const int depth = w.depth;
  if (depth != 8 && depth != 15 && depth != 16 && depth != 24 && depth != 32) {
    ABORTCONTEXT("font\\textpc.c", "fortext1");
    abortmessage("fortext1 - BLIT TO %d BPP NOT IMPLEMENTED.\n", depth);
    return;
  }
  const int32_t x0 = std::max(x, w.minx), x1 = std::min(x + width, w.maxx);
  const int32_t y0 = std::max(y, w.miny), y1 = std::min(y + height, w.maxy);
  if (x0 >= x1 || y0 >= y1 || !w.pixels) return;
  const uint32_t colour = textstate.foreground;
  switch (depth) {
    case 8: fortext1rows<1>(w, x, y, image, sx, sy, rowbytes, x0, x1, y0, y1, colour); break;
    case 15: case 16: fortext1rows<2>(w, x, y, image, sx, sy, rowbytes, x0, x1, y0, y1, colour); break;
    case 24: fortext1rows<3>(w, x, y, image, sx, sy, rowbytes, x0, x1, y0, y1, colour); break;
    default: fortext1rows<4>(w, x, y, image, sx, sy, rowbytes, x0, x1, y0, y1, colour); break;
  }
}

namespace {
// 4-bit glyph pixel (high nibble is the left pixel).
inline int glyphnibble(const uint8_t* image, int32_t rowbytes, int32_t sx, int32_t sy, int32_t i, int32_t j) {
  const uint8_t b = image[static_cast<int64_t>(sy + j) * rowbytes + ((sx + i) >> 1)];
  return ((sx + i) & 1) ? (b & 15) : (b >> 4);
}
}  // namespace

void blitglyph4(int32_t x, int32_t y, const uint8_t* image, int32_t sx, int32_t sy, int32_t width, int32_t height,
                int32_t rowbytes) {
  const int32_t imagewidth = textstate.image ? shapewidth(textstate.image) : sx + width;
  const int32_t even = std::min((width + 1) & ~1, imagewidth - sx);  // the rounded pair never leaves the image
  const WindowDesc& w = CurrentWindow;
  if ((w.depth == 15 || w.depth == 16) && w.pixels && x >= w.minx && x + even <= w.maxx && y >= w.miny &&
      y + height <= w.maxy) {  // inside the clip: writepixel() without its tests
    for (int32_t j = 0; j < height; ++j) {
      uint8_t* row = w.pixels + w.rows[y + j];
      for (int32_t i = 0; i < even; ++i) {
        const int v = glyphnibble(image, rowbytes, sx, sy, i, j);
        if (!v) continue;
        const uint16_t pixel = static_cast<uint16_t>(textstate.ramp[v]);
        std::memcpy(row + w.cols[x + i], &pixel, 2);
      }
    }
    return;
  }
  for (int32_t j = 0; j < height; ++j)
    for (int32_t i = 0; i < even; ++i) {
      const int v = glyphnibble(image, rowbytes, sx, sy, i, j);
      if (v) writepixel(x + i, y + j, textstate.ramp[v]);
    }
}

void blitglyph4blend(int32_t x, int32_t y, const uint8_t* image, int32_t sx, int32_t sy, int32_t width, int32_t height,
                     int32_t rowbytes) {
  const WindowDesc& w = CurrentWindow;
  if (!textstate.work || !w.pixels) return;
  const bool inside = x >= w.minx && x + width < w.maxx && y >= w.miny && y + height < w.maxy && w.page == 0;
  if (inside && (w.depth == 15 || w.depth == 16 || w.depth == 8)) {
    const uint8_t* table = textstate.work + 64;
    if (w.depth != 8 && (!(sx & 1) || width <= 64)) {  // rows of ramp colours blended at once; nibble 0 has alpha 0
      uint32_t ramp[16];
      std::memcpy(ramp, textstate.work, sizeof ramp);
      uint32_t colours[64];
      for (int32_t j = 0; j < height; ++j) {
        const uint8_t* source = image + static_cast<int64_t>(sy + j) * rowbytes;
        uint8_t* row = w.pixels + w.rows[y + j] + w.cols[x];
        if (!(sx & 1)) {
          blendramprow16(w.depth == 16, ramp, source + sx / 2, row, width);
          continue;
        }
        for (int32_t i = 0; i < width; ++i) {
          const uint8_t b = source[(sx + i) >> 1];
          colours[i] = ramp[((sx + i) & 1) ? (b & 15) : (b >> 4)];
        }
        if (w.depth == 16) blendrow565(reinterpret_cast<const uint8_t*>(colours), row, width);
        else blendrow555(reinterpret_cast<const uint8_t*>(colours), row, width);
      }
      return;
    }
    for (int32_t j = 0; j < height; ++j) {
      uint8_t* row = w.pixels + w.rows[y + j];
      for (int32_t i = 0; i < width; ++i) {
        const int v = glyphnibble(image, rowbytes, sx, sy, i, j);
        if (!v) continue;
        uint8_t* p = row + w.cols[x + i];
        if (w.depth == 8) {
          *p = table[v * 256 + *p];
        } else {
          const uint32_t dest = p[0] | (p[1] << 8);
          const uint32_t out = w.depth == 16 ? blendover565(rampargb(v), dest) : blendover555(rampargb(v), dest);
          p[0] = static_cast<uint8_t>(out);
          p[1] = static_cast<uint8_t>(out >> 8);
        }
      }
    }
    return;
  }
  for (int32_t j = 0; j < height; ++j)
    for (int32_t i = 0; i < width; ++i) {
      const int v = glyphnibble(image, rowbytes, sx, sy, i, j);
      if (v) blendpixel(x + i, y + j, rampargb(v));
    }
}

void drawpromptface(const char* message, int32_t x, int32_t y, int32_t width, int32_t height) {
  const int depth = CurrentWindow.depth;
  const uint32_t white = depth == 8 ? 15 : rgbpixel(0xFFFFFFFF);
  const uint32_t grey = depth == 8 ? 8 : rgbpixel(0xFF404040);
  fillrect(x, y, width, height, grey);
  drawbox(x, y, x + width - 1, y + height - 1, white);
  if (!message || textstate.fontlevel < 100) return;
  textcolour(white, grey);
  const int32_t tx = x + (width - textpixels(message)) / 2;
  const int32_t ty = y + (height - textheight()) / 2 + textstate.above;
  const int32_t savedx = textstate.x, savedy = textstate.y;
  fortextxy(message, tx, ty);
  textstate.x = savedx;
  textstate.y = savedy;
}
