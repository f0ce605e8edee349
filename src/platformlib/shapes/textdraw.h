// Bitmap fonts (.ffn files, used in place) and text drawing into the current window: one current font, a pen
// that advances, 1-bit glyphs in the foreground colour and 4-bit glyphs through a 16-step ramp (solid or
// blended). Single-byte and Shift-JIS strings.
#pragma once

#include <cstddef>
#include <cstdint>

struct GlyphEntry {
  uint16_t code;
  uint8_t width, height;
  uint16_t x, y;  // top-left of the glyph in the glyph image
  int8_t advance, xoffset, yoffset;
};
constexpr int kGlyphEntryBytes = 11;
GlyphEntry readglyph(const uint8_t* entry);

using GlyphBlitter = void (*)(int32_t x, int32_t y, const uint8_t* image, int32_t sx, int32_t sy, int32_t width,
                              int32_t height, int32_t rowbytes);
using CharReader = uint32_t (*)(const uint8_t** cursor);

struct TextState {
  int32_t x, y;  // pen
  int32_t fontx, fonty;
  int32_t bits;   // 1 or 4
  int32_t blend;  // 4-bit glyphs blended over the destination
  int32_t above, below, lineheight;
  uint32_t foreground, background;
  uint32_t ramp[16];  // pixel values of the window depth
  int32_t glyphcount;
  int32_t rowbytes;
  int32_t fontlevel;  // 100 once a font is set
  const uint8_t* font;
  const uint8_t* glyphs;
  const uint8_t* image;  // the glyph image's shape header
  uint8_t* work;         // "fontdraw": 16 premultiplied ramp colours, then the 8-bit blend table
  int32_t worksize;
  GlyphBlitter blitter;
  CharReader reader;
};
extern TextState textstate;

// Checks a font file of `length` bytes before it is used: header, glyph table, glyph image and every glyph
// rectangle must lie inside the file. Returns 1, or 0 with `error` naming the first fault.
int checkfontfile(const void* font, size_t length, const char** error = nullptr);

void setfont(const void* font);
void textcolour(uint32_t foreground, uint32_t background);
void applytextcolours();
void settextxy(int32_t x, int32_t y);
void settextblend(int on);
int gettextblend();
void fortext(const char* string);
void fortextxy(const char* string, int32_t x, int32_t y);
void fortextbox(const char* string);
void fortextboxxy(const char* string, int32_t x, int32_t y);
void movftxy(int32_t x, int32_t y, const char* format, ...) __attribute__((format(printf, 3, 4)));
void centertext(const char* string, int32_t y);
void centerftext(int32_t y, const char* format, ...) __attribute__((format(printf, 2, 3)));
int32_t textnpixels(const char* string, int32_t n);
int32_t textpixels(const char* string);
int32_t textheight();
void textextent(const char* string, int32_t n, int32_t* x, int32_t* y, int32_t* width, int32_t* height);
void textextent(const char* string, int32_t* x, int32_t* y, int32_t* width, int32_t* height);
const uint8_t* getcharacter(uint32_t code);
const uint8_t* findglyph(uint32_t code);
void savetextstate(TextState* buffer);
void restoretextstate(const TextState* buffer);
void inittextdraw();
void freetextdraw();
// Clears the text state and registers (once) the release of the work buffer at exit.
void inittextstate();
// Library start-up of text: inittextstate once, and the keyboard's prompt box drawn through drawpromptface
// (in platformlib_prompt, which links the display unit).
void inittext();

uint32_t nextchar(const uint8_t** cursor);
uint32_t nextcharjis(const uint8_t** cursor);
uint32_t jisfullwidth(uint8_t c);

void fortext1(int32_t x, int32_t y, const uint8_t* image, int32_t sx, int32_t sy, int32_t width, int32_t height,
              int32_t rowbytes);
void blitglyph4(int32_t x, int32_t y, const uint8_t* image, int32_t sx, int32_t sy, int32_t width, int32_t height,
                int32_t rowbytes);
void blitglyph4blend(int32_t x, int32_t y, const uint8_t* image, int32_t sx, int32_t sy, int32_t width, int32_t height,
                     int32_t rowbytes);

// Draws a prompt box's face into the current window (already clipped to the box): filled and outlined, with
// the message centred in the current font. The keyboard's prompt uses it.
void drawpromptface(const char* message, int32_t x, int32_t y, int32_t width, int32_t height);
