// Video windows are moved with the display's surface blitter instead of the processor.
#include "platformlib/gfx/videowin.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platformlib/gfx/gfxdisplay.h"
#include "platformlib/core/memclass.h"
#include "platformlib/gfx/rowspace.h"
#include "platformlib/gfx/windowdesc.h"

int windowchecking = 1;

namespace {

bool isvideowindow(const WindowDesc* w) { return w && w->page == kVideoWindowPage && w->surface; }

bool fixedrecord(const WindowDesc* w) { return w == &DisplayWindow || w == &SecondPage; }

void twovideowindows(const char* function, const char* text) {
  ABORTCONTEXT("win\\vidwin.c", function);
  abortmessage("%s", text);
}

}  // namespace

void initvideowindow(WindowDesc* window, int32_t width, int32_t height, int32_t rowbytes, int depth, uint8_t* pixels,
                     void* surface) {
  if (depth == 0) depth = gfxstate().depth ? gfxstate().depth : 8;
  initwindowfields(window, width, height, depth, rowbytes, pixels);
  window->page = kVideoWindowPage;
  window->surface = surface;
  window->rows = makerow(0, rowbytes, 0, height);
  window->cols = makecolumntable(depth, width);
  if (!window->rows || !window->cols) {
    ABORTCONTEXT("win\\vidwin.c", "initvideowindow");
    abortmessage("makevideowindow - OUT OF ROW SPACE\nrequested: %dx%d\n", width, height);
  }
}

WindowDesc* makevideowindow(int32_t width, int32_t height, int32_t rowbytes, int depth, int which, uint8_t* pixels,
                            void* surface) {
  if (width < 0 || width > 2400 || height < 0 || height > 1600) {
    ABORTCONTEXT("win\\vidwin.c", "makevideowindow");
    abortmessage("makevideowindow - INVALID WINDOW DIMENSIONS\nrequested: %dx%d maximum: %dx%d\n", width, height, 2400,
                 1600);
    return nullptr;
  }
  WindowDesc* w = nullptr;
  if (which == -1) {
    w = &DisplayWindow;
  } else if (which == -2) {
    w = &SecondPage;
  } else {
    {
      AbortQuiet quiet;
      w = static_cast<WindowDesc*>(reservememadr("VIDWIND", sizeof(WindowDesc), 0));
    }
    if (!w) {
      ABORTCONTEXT("win\\vidwin.c", "makevideowindow");
      abortmessage("makevideowindow - OUT OF MEMORY\nrequested: %dx%d available: %d\n", width, height, largestmem(0));
      return nullptr;
    }
  }
  initvideowindow(w, width, height, rowbytes, depth, pixels, surface);
  return w;
}

void updatevideowindow(WindowDesc* window, int32_t rowbytes, uint8_t* pixels) {
  if (!window) window = &CurrentWindow;
  window->pixels = pixels;
  if (rowbytes != window->rowbytes) {
    removerow(window->rows);
    window->rowbytes = rowbytes;
    window->rows = makerow(0, rowbytes, 0, window->height);
    if (!window->rows) {
      ABORTCONTEXT("win\\vidwin.c", "updatevideowindow");
      abortmessage("updatevideowindow - OUT OF ROW SPACE\nrequested: %dx%d\n", window->width, window->height);
    }
  }
  window->minx = std::min(window->minx, window->width);
  window->miny = std::min(window->miny, window->height);
  window->maxx = std::max(window->minx, std::min(window->maxx, window->width));
  window->maxy = std::max(window->miny, std::min(window->maxy, window->height));
}

void removevideowindow(WindowDesc* window) {
  if (!window) return;
  removerow(window->rows);
  removerow(window->cols);
  window->rows = nullptr;
  window->cols = nullptr;
  if (!fixedrecord(window)) {
    window->signature = 0;
    purgememadr(window);
  }
}

WindowDesc* videowindowdefadr(int32_t width, int32_t height, int depth, uint32_t surfaceoptions) {
  if (depth != 0 && depth != gfxstate().depth) {
    ABORTCONTEXT("win\\vidwin.c", "videowindowdefadr");
    abortmessage("videowindowdefadr - DEPTHS DIFFERENT THAN THAT OF THE DISPLAY NOT YET SUPPORTED.\n");
    return nullptr;
  }
  GfxDisplayHooks& hooks = gfxhooks();
  void* surface = hooks.makesurface(width, height, depth, surfaceoptions);
  if (!surface) return nullptr;
  int32_t w = 0, h = 0, pitch = 0;
  int d = 0;
  if (!hooks.describesurface(surface, &w, &h, &pitch, &d)) {
    hooks.releasesurface(surface);
    return nullptr;
  }
  WindowDesc* window = nullptr;
  {
    AbortQuiet quiet;
    window = makevideowindow(w, h, pitch, d, 0, nullptr, surface);
  }
  if (!window) hooks.releasesurface(surface);
  return window;
}

void movevideowindow(WindowDesc* source, WindowDesc* destination, int32_t x, int32_t y, int transparent) {
  if (!isvideowindow(source) || !isvideowindow(destination)) {
    twovideowindows("movevideowindow", "movevideowindow - MUST BE CALLED WITH TWO VIDEO WINDOWS");
    return;
  }
  releasewindow();
  int64_t sx = 0, sy = 0, dx = x, dy = y, w = source->width, h = source->height;
  if (dx < destination->minx) {
    sx += destination->minx - dx;
    w -= destination->minx - dx;
    dx = destination->minx;
  }
  if (dy < destination->miny) {
    sy += destination->miny - dy;
    h -= destination->miny - dy;
    dy = destination->miny;
  }
  w = std::min<int64_t>(w, destination->maxx - dx);
  h = std::min<int64_t>(h, destination->maxy - dy);
  if (w <= 0 || h <= 0) return;
  gfxhooks().blit(destination->surface, static_cast<int32_t>(dx), static_cast<int32_t>(dy), source->surface,
                  static_cast<int32_t>(sx), static_cast<int32_t>(sy), static_cast<int32_t>(w), static_cast<int32_t>(h),
                  transparent ? kBlitTransparent : 0);
}

void readvideowindow(WindowDesc* source, WindowDesc* destination, int32_t x, int32_t y) {
  if (!isvideowindow(source) || !isvideowindow(destination)) {
    twovideowindows("readvideowindow", "readvideowindow - MUST BE CALLED WITH TWO VIDEO WINDOWS");
    return;
  }
  releasewindow();
  int64_t sx = x, sy = y, dx = 0, dy = 0, w = destination->width, h = destination->height;
  if (sx < 0) {
    dx -= sx;
    w += sx;
    sx = 0;
  }
  if (sy < 0) {
    dy -= sy;
    h += sy;
    sy = 0;
  }
  w = std::min<int64_t>(w, source->width - sx);
  h = std::min<int64_t>(h, source->height - sy);
  if (w <= 0 || h <= 0) return;
  gfxhooks().blit(destination->surface, static_cast<int32_t>(dx), static_cast<int32_t>(dy), source->surface,
                  static_cast<int32_t>(sx), static_cast<int32_t>(sy), static_cast<int32_t>(w), static_cast<int32_t>(h), 0);
}

void copyvideowindow(WindowDesc* source, int32_t x, int32_t y, int32_t width, int32_t height, WindowDesc* destination,
                     int32_t dx, int32_t dy, int32_t scale, int transparent) {
  if (!isvideowindow(source) || !isvideowindow(destination)) {
    twovideowindows("copyvideowindow", "copyvideowindow - MUST BE CALLED WITH TWO VIDEO WINDOWS");
    return;
  }
  const int64_t dw = (static_cast<int64_t>(width) * scale + 0x8000) >> 16;
  const int64_t dh = (static_cast<int64_t>(height) * scale + 0x8000) >> 16;
  if (width <= 0 || height <= 0 || dw <= 0 || dh <= 0 || dw > INT32_MAX || dh > INT32_MAX) return;
  releasewindow();
  gfxhooks().stretchblit(destination->surface, dx, dy, static_cast<int32_t>(dw), static_cast<int32_t>(dh),
                         source->surface, x, y, width, height, transparent ? kBlitTransparent : 0);
}

void fillvideowindow(WindowDesc* window, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour) {
  if (!isvideowindow(window)) {
    twovideowindows("fillvideowindow", "fillvideowindow - MUST BE CALLED WITH VIDEO WINDOW");
    return;
  }
  const int64_t x0 = std::max<int64_t>(x, window->minx), y0 = std::max<int64_t>(y, window->miny);
  const int64_t x1 = std::min<int64_t>(int64_t{x} + width, window->maxx);
  const int64_t y1 = std::min<int64_t>(int64_t{y} + height, window->maxy);
  if (x0 >= x1 || y0 >= y1) return;
  releasewindow();
  gfxhooks().fill(window->surface, static_cast<int32_t>(x0), static_cast<int32_t>(y0), static_cast<int32_t>(x1 - x0),
                  static_cast<int32_t>(y1 - y0), colour);
}

void pageflip() {
  releasewindow();
  if (pagefliphook) {
    pagefliphook();
    return;
  }
  CRITICAL_SECTION* section = gfxdisplaysection();
  if (section) entercritical(section);
  gfxhooks().present();
  if (section) leavecritical(section);
}

void copyrow8to16transparent(uint16_t* destination, const uint8_t* source, int count, const uint32_t* table) {
  int i = 0;
  while (i < count) {
    // Two opaque pixels on an aligned destination go as one 32-bit store.
    if (i + 1 < count && (reinterpret_cast<uintptr_t>(destination + i) & 3) == 0 && source[i] != 255 &&
        source[i + 1] != 255) {
      const uint32_t pair = (table[source[i]] & 0xFFFF) | (table[source[i + 1]] << 16);
      std::memcpy(destination + i, &pair, 4);
      i += 2;
      continue;
    }
    if (source[i] != 255) destination[i] = static_cast<uint16_t>(table[source[i]]);
    ++i;
  }
}

int checkwindowfield(const WindowDesc* window, int64_t value, const char* name, int64_t min, int64_t max,
                     int hexadecimal) {
  if (value >= min && value <= max) return 1;
  if (!windowchecking) return 0;
  ABORTCONTEXT("win\\vidwin.c", "checkwindowfield");
  const int w = window->width, h = window->height, d = window->depth;
  const unsigned long address = static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window));
  if (min == max) {
    if (hexadecimal)
      abortmessage("checkwindow - BAD WINDOW FIELD '%s'.\nVALUE IS %x.  SHOULD BE %x.  %dx%dx%d @ %lx\n", name,
                   static_cast<unsigned>(value), static_cast<unsigned>(min), w, h, d, address);
    else
      abortmessage("checkwindow - BAD WINDOW FIELD '%s'.\nVALUE IS %d.  SHOULD BE %d.  %dx%dx%d @ %lx\n", name,
                   static_cast<int>(value), static_cast<int>(min), w, h, d, address);
  } else if (hexadecimal) {
    abortmessage("checkwindow - BAD WINDOW FIELD '%s'.\nVALUE IS %x.  SHOULD BE %x..%x.  %dx%dx%d @ %lx\n", name,
                 static_cast<unsigned>(value), static_cast<unsigned>(min), static_cast<unsigned>(max), w, h, d, address);
  } else {
    abortmessage("checkwindow - BAD WINDOW FIELD '%s'.\nVALUE IS %d.  SHOULD BE %d..%d.  %dx%dx%d @ %lx\n", name,
                 static_cast<int>(value), static_cast<int>(min), static_cast<int>(max), w, h, d, address);
  }
  return 0;
}

int checkwindow(const WindowDesc* w) {
  if (!w) return 0;
  int ok = 1;
  ok &= checkwindowfield(w, w->signature, "id", kWindowSignature, kWindowSignature, 1);
  ok &= checkwindowfield(w, w->width, "width", 1, 16384, 0);
  ok &= checkwindowfield(w, w->height, "height", 1, 16384, 0);
  ok &= checkwindowfield(w, w->depth, "bpp", 1, 32, 0);
  ok &= checkwindowfield(w, w->shapetype, "type", 0, 0x7F, 1);
  ok &= checkwindowfield(w, w->minx, "minx", 0, 16384, 0);
  ok &= checkwindowfield(w, w->maxx, "maxx", 0, 16384, 0);
  ok &= checkwindowfield(w, w->miny, "miny", 0, 16384, 0);
  ok &= checkwindowfield(w, w->maxy, "maxy", 0, 16384, 0);
  return ok;
}
