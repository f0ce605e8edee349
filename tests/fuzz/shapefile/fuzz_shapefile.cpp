// Fuzz entry: the input is a shape file. Files that pass the loader's check must be safe to look up, convert
// and draw in every way; files that fail it are never used.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platformlib/core/memclass.h"
#include "platformlib/shapes/polygon.h"
#include "platformlib/gfx/rowspace.h"
#include "platformlib/shapes/shapes.h"
#include "platformlib/gfx/windowdesc.h"
#include "../inversecolours.h"

namespace {

WindowDesc* Windows(int depth) {
  static WindowDesc* windows[33] = {};
  if (!memstarted()) {
    initmem(1 << 24);
    rowspacesize = 14336;
    initrow();
    InstallInverseColours();
  }
  if (!windows[depth]) windows[depth] = createwindowadra(24, 16, depth, 0);
  return windows[depth];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  abortonerror = 0;
  WindowDesc* targets[] = {Windows(8), Windows(16), Windows(32)};
  uint8_t* file = static_cast<uint8_t*>(reservememadr("fuzz", static_cast<int>(size + 8), 0));
  if (!file) return 0;
  if (size) std::memcpy(file, data, size);
  if (checkshapefile(file, size)) {
    const uint32_t count = shapecount(file);
    for (uint32_t i = 0; i < count && i < 16; ++i) {
      uint8_t* shape = locateshapenum(file, static_cast<int32_t>(i));
      uint32_t name = 0;
      shapenamenum(file, static_cast<int32_t>(i), &name);
      if (findshape(file, &name) == nullptr) std::abort();
      getshapeclut(shape);
      if (shape[0] & kShapePacked) continue;
      shapesize(shape);
      uint32_t buffer[256];
      uint16_t buffer16[256];
      getclutptr(shape, buffer);
      getclut16ptr(shape, buffer16);
      getclut16aptr(shape, buffer);
      // Keep the work per input small.
      if (static_cast<int64_t>(shapewidth(shape)) * shapeheight(shape) > 4096) continue;
      if (uint8_t* copy = convertshapedepth(shape, 32)) purgememadr(copy);
      for (WindowDesc* w : targets) {
        if (!w) continue;
        setwindow(w);
        drawshape(shape, -3, 2);
        drawshapetrans(shape, 5, -1);
        drawshapealpha(shape, 1, 1);
        drawshapescaled(shape, -2, 3, 30, -7);
        drawshapescaledex(shape, 4, 4, -9, 5);
        const int32_t corners[] = {0, 0, 20, 3, 18, 14, 2, 12};
        drawshapequadfull(shape, corners);
        drawshapescaledargb(shape, 3, 2, 17, 9);
        const PolyPoint quad[] = {{-5, 1}, {19, -2}, {30, 15}, {2, 11}};
        drawshapepoly(shape, quad, 0, 3);
        fillpolygon(1, 4, quad);
        releasewindow();
      }
    }
  }
  purgememadr(file);
  return 0;
}
