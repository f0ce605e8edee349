// The memory-backed display that serves until the real display code installs its own operations.
#include "platformlib/gfx/gfxdisplay.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "platformlib/core/memclass.h"

namespace {

GfxDisplayState state;
GfxDisplayHooks hooks;
CRITICAL_SECTION* displaysection = nullptr;
std::map<intptr_t, intptr_t> messagehandlers;
HWND fakemainwindow = nullptr;
uint8_t* lockedbits = nullptr;

int memlock(void* surface, uint8_t** pixels, int32_t* pitch) {
  GfxMemSurface* s = gfxmemsurface(surface);
  if (!s) return 0;
  lockedbits = s->bits;
  if (pixels) *pixels = s->bits;
  if (pitch) *pitch = s->pitch;
  state.surfacelocked = 1;
  return 1;
}
void memunlock() {
  lockedbits = nullptr;
  state.surfacelocked = 0;
}
int memrelock() { return 1; }

int bytesperpixel(int depth) { return depth == 15 ? 2 : (depth + 7) / 8; }

// Clips a copy of width x height at (dx, dy) from (sx, sy) against both surfaces.
bool clipcopy(const GfxMemSurface& d, int32_t& dx, int32_t& dy, const GfxMemSurface& s, int32_t& sx, int32_t& sy,
              int32_t& w, int32_t& h) {
  if (sx < 0) { w += sx; dx -= sx; sx = 0; }
  if (sy < 0) { h += sy; dy -= sy; sy = 0; }
  if (dx < 0) { w += dx; sx -= dx; dx = 0; }
  if (dy < 0) { h += dy; sy -= dy; dy = 0; }
  w = std::min({w, s.width - sx, d.width - dx});
  h = std::min({h, s.height - sy, d.height - dy});
  return w > 0 && h > 0;
}

int memblit(void* destination, int32_t dx, int32_t dy, void* source, int32_t sx, int32_t sy, int32_t w, int32_t h,
            uint32_t flags) {
  GfxMemSurface* d = gfxmemsurface(destination);
  GfxMemSurface* s = gfxmemsurface(source);
  if (!d || !s || d->depth != s->depth) return 0;
  if (!clipcopy(*d, dx, dy, *s, sx, sy, w, h)) return 1;
  const int bpp = bytesperpixel(d->depth);
  for (int32_t row = 0; row < h; ++row) {
    uint8_t* dp = d->bits + static_cast<ptrdiff_t>(dy + row) * d->pitch + dx * bpp;
    const uint8_t* sp = s->bits + static_cast<ptrdiff_t>(sy + row) * s->pitch + sx * bpp;
    if (!(flags & kBlitTransparent)) {
      std::memmove(dp, sp, static_cast<size_t>(w * bpp));
      continue;
    }
    static const uint8_t zero[4] = {0, 0, 0, 0};
    for (int32_t i = 0; i < w; ++i)  // colour key 0
      if (std::memcmp(sp + i * bpp, zero, static_cast<size_t>(bpp)) != 0) std::memcpy(dp + i * bpp, sp + i * bpp, static_cast<size_t>(bpp));
  }
  return 1;
}

int memstretch(void* destination, int32_t dx, int32_t dy, int32_t dw, int32_t dh, void* source, int32_t sx, int32_t sy,
               int32_t sw, int32_t sh, uint32_t flags) {
  GfxMemSurface* d = gfxmemsurface(destination);
  GfxMemSurface* s = gfxmemsurface(source);
  if (!d || !s || d->depth != s->depth || dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return 0;
  const int bpp = bytesperpixel(d->depth);
  for (int32_t y = 0; y < dh; ++y) {
    const int32_t ty = dy + y, fy = sy + static_cast<int32_t>(static_cast<int64_t>(y) * sh / dh);
    if (ty < 0 || ty >= d->height || fy < 0 || fy >= s->height) continue;
    for (int32_t x = 0; x < dw; ++x) {
      const int32_t tx = dx + x, fx = sx + static_cast<int32_t>(static_cast<int64_t>(x) * sw / dw);
      if (tx < 0 || tx >= d->width || fx < 0 || fx >= s->width) continue;
      const uint8_t* sp = s->bits + static_cast<ptrdiff_t>(fy) * s->pitch + fx * bpp;
      bool key = (flags & kBlitTransparent) != 0;
      for (int k = 0; key && k < bpp; ++k) key = sp[k] == 0;
      if (!key) std::memcpy(d->bits + static_cast<ptrdiff_t>(ty) * d->pitch + tx * bpp, sp, static_cast<size_t>(bpp));
    }
  }
  return 1;
}

int memfill(void* destination, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
  GfxMemSurface* d = gfxmemsurface(destination);
  if (!d) return 0;
  const int bpp = bytesperpixel(d->depth);
  for (int32_t row = std::max(0, y); row < std::min(d->height, y + h); ++row)
    for (int32_t col = std::max(0, x); col < std::min(d->width, x + w); ++col)
      std::memcpy(d->bits + static_cast<ptrdiff_t>(row) * d->pitch + col * bpp, &colour, static_cast<size_t>(bpp));
  return 1;
}

void* memmake(int32_t width, int32_t height, int depth, uint32_t) {
  if (width <= 0 || height <= 0) return nullptr;
  if (depth == 0) depth = state.depth ? state.depth : 8;
  auto* s = new GfxMemSurface{width, height, 0, depth, nullptr};
  s->pitch = (width * bytesperpixel(depth) + 3) & ~3;
  s->bits = new uint8_t[static_cast<size_t>(s->pitch) * static_cast<size_t>(height)]();
  return s;
}

void memrelease(void* surface) {
  GfxMemSurface* s = gfxmemsurface(surface);
  if (!s) return;
  delete[] s->bits;
  delete s;
}

int memdescribe(void* surface, int32_t* width, int32_t* height, int32_t* pitch, int* depth) {
  GfxMemSurface* s = gfxmemsurface(surface);
  if (!s) return 0;
  if (width) *width = s->width;
  if (height) *height = s->height;
  if (pitch) *pitch = s->pitch;
  if (depth) *depth = s->depth;
  return 1;
}

void mempresent() {}
int memsetwinpalette(WindowDesc*, int, int count, const uint32_t* entries, uint32_t* held) {
  std::memcpy(held, entries, sizeof(uint32_t) * static_cast<size_t>(count));
  return 1;
}
int memopenmain(int32_t, int32_t, int) {
  fakemainwindow = reinterpret_cast<HWND>(static_cast<intptr_t>(0x1000));
  return 1;
}
void memclosemain() { fakemainwindow = nullptr; }
HWND memmainhandle() { return fakemainwindow; }
int memismainthread() { return 1; }
void memminimise() {}
intptr_t memsethandler(intptr_t message, intptr_t handler) {
  if (handler)
    messagehandlers[message] = handler;
  else
    messagehandlers.erase(message);
  return 1;
}
intptr_t memgethandler(intptr_t message) {
  auto it = messagehandlers.find(message);
  return it == messagehandlers.end() ? 0 : it->second;
}
int memsetddraw(void* object) {
  state.ddraw = object;
  ++state.ddrawchanges;
  return 1;
}
void memnotify(int) {}
uint32_t memvideocaps() { return 0; }
void* memyuy2(int32_t width, int32_t height, int) { return memmake(width, height, 16, 0); }
int memlost(void*) { return 0; }
int memrestore(void*) { return 0; }
int memtofront(void*, const GfxRect*, const GfxRect*) { return 0; }
int memoverlay(void*, const GfxRect*, const GfxRect*, uint32_t) { return 0; }
void memtoscreen(int32_t*, int32_t*) {}

void installdefaults() {
  hooks = GfxDisplayHooks{};
  hooks.locksurface = memlock;
  hooks.unlocksurface = memunlock;
  hooks.relocksurface = memrelock;
  hooks.blit = memblit;
  hooks.stretchblit = memstretch;
  hooks.fill = memfill;
  hooks.makesurface = memmake;
  hooks.releasesurface = memrelease;
  hooks.describesurface = memdescribe;
  hooks.present = mempresent;
  hooks.setwinpalette = memsetwinpalette;
  hooks.videocaps = memvideocaps;
  hooks.makeyuy2surface = memyuy2;
  hooks.surfacelost = memlost;
  hooks.restoresurface = memrestore;
  hooks.blittofront = memtofront;
  hooks.showoverlay = memoverlay;
  hooks.clienttoscreen = memtoscreen;
  hooks.openmainwindow = memopenmain;
  hooks.closemainwindow = memclosemain;
  hooks.getmainwindowhandle = memmainhandle;
  hooks.ismainwindowthread = memismainthread;
  hooks.minimisemainwindow = memminimise;
  hooks.setmessagehandler = memsethandler;
  hooks.getmessagehandler = memgethandler;
  hooks.setddraw = memsetddraw;
  hooks.notifydisplaychange = memnotify;
}

struct Init {
  Init() { installdefaults(); }
} init;

}  // namespace

void (*closegraphicshook)() = nullptr;
int (*initgraphicshook)(int32_t, int32_t, int32_t) = nullptr;
int (*lockwindowhook)(WindowDesc*) = nullptr;
void (*pagefliphook)() = nullptr;

GfxDisplayState& gfxstate() { return state; }
GfxDisplayHooks& gfxhooks() { return hooks; }

void gfxresetdisplay() {
  state = GfxDisplayState{};
  installdefaults();
  closegraphicshook = nullptr;
  initgraphicshook = nullptr;
  lockwindowhook = nullptr;
  pagefliphook = nullptr;
  messagehandlers.clear();
  fakemainwindow = nullptr;
  lockedbits = nullptr;
}

CRITICAL_SECTION* gfxdisplaysection() {
  if (!displaysection) displaysection = getcriticalsection();
  return displaysection;
}

// A surface handle of the default display is the record itself.
GfxMemSurface* gfxmemsurface(void* surface) { return static_cast<GfxMemSurface*>(surface); }
