// Fuzz entry: the input is a font file. Fonts that pass the loader's check must draw and measure any string
// safely in every glyph blitter.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platformlib/core/memclass.h"
#include "platformlib/gfx/rowspace.h"
#include "platformlib/shapes/textdraw.h"
#include "platformlib/gfx/windowdesc.h"
#include "../inversecolours.h"

namespace {

WindowDesc* Windows(int depth) {
  static WindowDesc* windows[33] = {};
  if (!memstarted()) {
    initmem(1 << 22);
    rowspacesize = 14336;
    initrow();
    inittextstate();
    InstallInverseColours();  // the 8-bit blend table is rebuilt at every font and colour change
  }
  if (!windows[depth]) windows[depth] = createwindowadra(40, 20, depth, 0);
  return windows[depth];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  abortonerror = 0;
  WindowDesc* targets[] = {Windows(8), Windows(16), Windows(32)};
  uint8_t* font = static_cast<uint8_t*>(reservememadr("fuzz", static_cast<int>(size + 8), 0));
  if (!font) return 0;
  if (size) std::memcpy(font, data, size);
  if (checkfontfile(font, size)) {
    static const char* strings[] = {"Hello, golf!", "A\nB\tC\x01", "\x88\x9F\x82", "", "~~~~\x7F\xFF"};
    for (WindowDesc* w : targets) {
      if (!w) continue;
      setwindow(w);
      setfont(font);
      textcolour(w->depth == 8 ? 15 : 0xFFFF, 0);
      for (int blend = 0; blend < 2; ++blend) {
        settextblend(blend);
        for (const char* s : strings) {
          fortextxy(s, -4, 10);
          fortextboxxy(s, 3, 3);
          int32_t x, y, wd, h;
          textextent(s, &x, &y, &wd, &h);
          textpixels(s);
        }
      }
      releasewindow();
    }
    inittextstate();  // the font is freed below: it must not stay current
  }
  purgememadr(font);
  return 0;
}
