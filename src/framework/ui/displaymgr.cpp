#include "framework/ui/displaymgr.h"

#include <algorithm>
#include <cstring>

#include "framework/ui/mousepointer.h"
#include "framework/core/services.h"
#include "platformlib/gfx/pixels.h"
#include "platformlib/gfx/windowdesc.h"
#include "windows.h"

namespace {

DisplayManager manager;

constexpr int32_t kZoneCapacity = 1000;

void NoErase() {}

int BytesPerPixel(int depth) {
  switch (depth) {
    case 8: return 1;
    case 15: case 16: return 2;
    case 24: return 3;
    case 32: return 4;
    default: return 0;
  }
}

uint8_t* PixelAt(const WindowDesc* w, int32_t x, int32_t y) {
  return w->pixels + static_cast<intptr_t>(y) * w->rowbytes + static_cast<intptr_t>(x) * BytesPerPixel(w->depth);
}

// The palette an 8-bit window's indexes go through: the image record's when the window belongs to one.
const uint8_t (*PaletteOf(const WindowDesc* w))[4] {
  if (w == manager.display.window) return manager.display.palette;
  for (ImageRecord& image : manager.buffers)
    if (image.window == w) return image.palette;
  return nullptr;
}

uint32_t ReadColour(const WindowDesc* w, const uint8_t* p, const uint8_t (*palette)[4]) {
  switch (w->depth) {
    case 8: {
      if (palette) return 0xFF000000u | palette[*p][0] << 16 | palette[*p][1] << 8 | palette[*p][2];
      return CurrentPalette[*p] | 0xFF000000u;
    }
    case 15: return argbfrom555(p[0] | p[1] << 8);
    case 16: return argbfrom565(p[0] | p[1] << 8);
    case 24: return 0xFF000000u | p[2] << 16 | p[1] << 8 | p[0];
    default: return static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16 | p[3] << 24);
  }
}

int NearestIndex(uint32_t colour, const uint8_t (*palette)[4]) {
  if (!palette) return nearestcolour(colour);
  int best = 0;
  int32_t bestDistance = INT32_MAX;
  const int32_t r = (colour >> 16) & 255, g = (colour >> 8) & 255, b = colour & 255;
  for (int i = 0; i < 256; ++i) {
    const int32_t dr = r - palette[i][0], dg = g - palette[i][1], db = b - palette[i][2];
    const int32_t d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) bestDistance = d, best = i;
  }
  return best;
}

void WriteColour(const WindowDesc* w, uint8_t* p, uint32_t c, const uint8_t (*palette)[4]) {
  const uint32_t r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
  switch (w->depth) {
    case 8: *p = static_cast<uint8_t>(NearestIndex(c, palette)); break;
    case 15:
    case 16: {
      const uint32_t v = w->depth == 15 ? argbto555(c, 0) : argbto565(c, 0);
      p[0] = static_cast<uint8_t>(v), p[1] = static_cast<uint8_t>(v >> 8);
      break;
    }
    case 24: p[0] = static_cast<uint8_t>(b), p[1] = static_cast<uint8_t>(g), p[2] = static_cast<uint8_t>(r); break;
    default:
      p[0] = static_cast<uint8_t>(c), p[1] = static_cast<uint8_t>(c >> 8), p[2] = static_cast<uint8_t>(c >> 16);
      p[3] = static_cast<uint8_t>(c >> 24);
  }
}

// A window over a display surface: a DirectDraw surface, or a page of the render module.
bool OnSurface(const WindowDesc* w) { return w && (w->surface || w->page != 0); }

// The display window's pixels are only valid while it is locked, which making it the drawing window does.
struct DisplayLock {
  WindowDesc saved;
  bool needed;
  explicit DisplayLock(const WindowDesc* a, const WindowDesc* b) {
    savecurrentwindow(&saved);
    const WindowDesc* surfaceWindow = OnSurface(a) ? a : (OnSurface(b) ? b : nullptr);
    needed = surfaceWindow != nullptr;
    if (needed) setwindow(const_cast<WindowDesc*>(surfaceWindow));
  }
  ~DisplayLock() {
    if (needed) restorecurrentwindow(&saved);
  }
};

bool Usable(const WindowDesc* w) { return w && w->signature == kWindowSignature && BytesPerPixel(w->depth); }

void RemoveBuffer(ImageRecord& image) {
  if (image.window) removewindow(image.window);
  if (image.depthWindow) removewindow(image.depthWindow);
  image.window = nullptr;
  image.depthWindow = nullptr;
}

void ClearWindow(WindowDesc* w) {
  if (!w || !w->pixels) return;
  for (int32_t y = 0; y < w->height; ++y) std::memset(PixelAt(w, 0, y), 0, static_cast<size_t>(w->rowbytes));
}

void CopyRect(const MARect& r) {
  ImageRecord* back = DrawnImage();
  if (!back || !back->window) return;
  CopyWindowArea(manager.display.window, r.left, r.top, back->window, r.left, r.top, r.right - r.left,
                 r.bottom - r.top);
}

// Whether rows can be copied byte for byte: same depth, and for 8-bit windows the same palette.
bool SameFormat(const WindowDesc* a, const WindowDesc* b) {
  return a->depth == b->depth && (a->depth != 8 || PaletteOf(a) == PaletteOf(b) || !PaletteOf(b));
}

void CopyPixel(const WindowDesc* to, uint8_t* dp, const WindowDesc* from, const uint8_t* sp, bool same) {
  if (same)
    std::memcpy(dp, sp, static_cast<size_t>(BytesPerPixel(from->depth)));
  else
    WriteColour(to, dp, ReadColour(from, sp, PaletteOf(from)), PaletteOf(to));
}

// Nearest-sample stretch of `from` in the source onto `to` in the destination, clipped to the destination;
// source samples outside the source are skipped.
void StretchWindowArea(WindowDesc* destination, const MARect& to, const WindowDesc* source, const MARect& from) {
  DisplayLock lock(destination, source);
  if (!destination->pixels || !source->pixels) return;
  const int32_t tw = to.right - to.left, th = to.bottom - to.top;
  const int32_t fw = from.right - from.left, fh = from.bottom - from.top;
  const bool same = SameFormat(destination, source);
  for (int32_t y = std::max(0, -to.top); y < th && to.top + y < destination->height; ++y) {
    const int32_t sy = from.top + static_cast<int32_t>(static_cast<int64_t>(y) * fh / th);
    if (sy < 0 || sy >= source->height) continue;
    for (int32_t x = std::max(0, -to.left); x < tw && to.left + x < destination->width; ++x) {
      const int32_t sx = from.left + static_cast<int32_t>(static_cast<int64_t>(x) * fw / tw);
      if (sx < 0 || sx >= source->width) continue;
      CopyPixel(destination, PixelAt(destination, to.left + x, to.top + y), source, PixelAt(source, sx, sy), same);
    }
  }
}

int32_t ScreenWidth() { return manager.display.right - manager.display.left; }
int32_t ScreenHeight() { return manager.display.bottom - manager.display.top; }

void RunTransition(int32_t transition) {
  const int32_t width = ScreenWidth(), height = ScreenHeight();
  if (transition == kTransitionBlinds) {
    for (int32_t pass = 0; pass < 8; ++pass) {
      for (int32_t y = pass; y < height; y += 8) CopyRect(MARect{0, y, width, y + 1});
      Sleep(50);
    }
  } else if (transition == kTransitionWipe) {
    const int32_t strip = std::max(width * 20 / 200, 1);
    for (int32_t x = 0; x < width; x += strip) {
      CopyRect(MARect{x, 0, std::min(x + strip, width), height});
      Sleep(20);
    }
  } else {
    MARect whole{0, 0, width, height};
    BlitImage(&manager.display, whole, DrawnImage(), whole);
  }
}

}  // namespace

DisplayManager& DisplayMgr() { return manager; }
ImageRecord* DisplayImage() { return &manager.display; }
ImageRecord* RoleImage(BufferRole role) {
  const int32_t n = manager.roles[role];
  return n >= 0 && n < 3 ? &manager.buffers[n] : nullptr;
}

void CopyWindowArea(WindowDesc* destination, int32_t dx, int32_t dy, const WindowDesc* source, int32_t sx, int32_t sy,
                    int32_t width, int32_t height) {
  if (!Usable(destination) || !Usable(source) || width <= 0 || height <= 0) return;
  DisplayLock lock(destination, source);
  if (!destination->pixels || !source->pixels) return;
  // Clip to both windows, moving the other corner along.
  if (sx < 0) dx -= sx, width += sx, sx = 0;
  if (sy < 0) dy -= sy, height += sy, sy = 0;
  if (dx < 0) sx -= dx, width += dx, dx = 0;
  if (dy < 0) sy -= dy, height += dy, dy = 0;
  width = std::min({width, source->width - sx, destination->width - dx});
  height = std::min({height, source->height - sy, destination->height - dy});
  if (width <= 0 || height <= 0) return;
  const bool same = SameFormat(destination, source);
  for (int32_t row = 0; row < height; ++row) {
    const uint8_t* from = PixelAt(source, sx, sy + row);
    uint8_t* to = PixelAt(destination, dx, dy + row);
    if (same) {
      std::memmove(to, from, static_cast<size_t>(width) * BytesPerPixel(source->depth));
      continue;
    }
    for (int32_t i = 0; i < width; ++i)
      CopyPixel(destination, to + i * BytesPerPixel(destination->depth), source,
                from + i * BytesPerPixel(source->depth), false);
  }
}

int DisplayManagerInit(const MARect& rect, int depth) {
  if (manager.open) DisplayManagerClose();
  zoneinit(kZoneCapacity, NoErase);
  manager.transition = 0;
  manager.dirty = 0;
  manager.dirtyCount = 0;
  WindowDesc* display = getdisplaywindow();
  if (display->signature != kWindowSignature) {
    OutputDebugStringA("Failed to create display");
    zonefree();
    return 0;
  }
  const int32_t width = rect.right - rect.left, height = rect.bottom - rect.top;
  manager.display.window = display;
  manager.display.left = rect.left, manager.display.top = rect.top;
  manager.display.right = rect.right, manager.display.bottom = rect.bottom;
  for (ImageRecord& image : manager.buffers) {
    image = ImageRecord{};
    image.left = rect.left, image.top = rect.top, image.right = rect.right, image.bottom = rect.bottom;
  }
  for (ImageRecord& image : manager.buffers)
    if (!(image.window = trycreatewindowadr(width, height, depth))) break;
  manager.roles[kRoleDrawn] = 0, manager.roles[kRoleAux] = 1, manager.roles[kRoleErase] = 2;
  ClearWindow(RoleImage(kRoleDrawn)->window);
  ClearWindow(RoleImage(kRoleErase)->window);
  for (BufferRole role : {kRoleDrawn, kRoleAux}) {
    ImageRecord* image = RoleImage(role);
    if (!image->window) continue;
    image->depthWindow = trycreatewindowadr(width, height, 16);
    ClearWindow(image->depthWindow);
  }
  manager.tracking = 1;
  manager.open = 1;
  return 1;
}

void DisplayManagerClose() {
  if (!manager.open) return;
  zonefree();
  for (ImageRecord& image : manager.buffers) RemoveBuffer(image);
  manager.display.window = nullptr;  // the display window itself is the library's
  manager.open = 0;
  manager.tracking = 0;
  manager.dirty = 0;
  manager.dirtyCount = 0;
}

void AddDirtyRect(const MARect& rect) {
  const SharedFacts& env = Facts();
  // Also with a hardware display: the menus reach the screen only this way, and in a round the drawn buffer holds
  // the module's picture too, so copying a changed area shows what the module's next page will show.
  if (!manager.tracking || !manager.open || !env.appActive) return;
  ++manager.dirtyCount;
  const int32_t left = std::max(rect.left - 1, 0), top = std::max(rect.top - 1, 0);
  const int32_t right = std::min(rect.right + 1, ScreenWidth()), bottom = std::min(rect.bottom + 1, ScreenHeight());
  if (right <= left || bottom <= top) return;  // wholly off the screen
  zoneaddrect(left, top, right - left, bottom - top);
  manager.dirty = 1;
}

void ClearDirtyRects() {
  if (manager.open) zonereset();
  manager.dirty = 0;
  manager.transition = 0;
  manager.dirtyCount = 0;
}

void SetPendingTransition(int32_t transition) { manager.transition = transition; }

void UpdateScreen() {
  if (!manager.tracking || !manager.open) return;
  MouseSetBusy(0);
  MouseDraw();
  ImageRecord* back = DrawnImage();
  if (manager.dirty && Facts().appActive && back && back->window) {
    setwindow(back->window);
    if (manager.transition) {
      RunTransition(manager.transition);
      manager.transition = 0;
    } else {
      const Zone* zones = nullptr;
      const int32_t n = zonemerge(&zones);
      for (int32_t i = 0; i < n; ++i)
        if (zones[i].x1 <= zones[i].x2 && zones[i].y1 <= zones[i].y2)
          CopyRect(MARect{zones[i].x1, zones[i].y1, zones[i].x2 + 1, zones[i].y2 + 1});
    }
    releasewindow();
    ClearDirtyRects();
  }
  MouseErase();
}

void DisableDirtyRects() { manager.tracking = 0; }
void EnableDirtyRects() { manager.tracking = 1; }

int BlitImage(ImageRecord* destination, const MARect& to, ImageRecord* source, const MARect& from) {
  if (!destination || !source || !Usable(destination->window) || !Usable(source->window)) return 0;
  const int dd = destination->window->depth, sd = source->window->depth;
  if (dd <= 8 && sd <= 8)
    SetDisplayPalette(destination->palette);
  else if (sd <= 8)
    SetDisplayPalette(source->palette);
  else if (dd <= 8)
    SetDisplayPalette(destination->palette);
  const int32_t tw = to.right - to.left, th = to.bottom - to.top;
  const int32_t fw = from.right - from.left, fh = from.bottom - from.top;
  if (tw == fw && th == fh) {
    CopyWindowArea(destination->window, to.left, to.top, source->window, from.left, from.top, tw, th);
    return 0;
  }
  if (tw <= 0 || th <= 0 || fw <= 0 || fh <= 0) return 0;
  StretchWindowArea(destination->window, to, source->window, from);
  return 0;
}

void GetImageSize(const ImageRecord* image, int32_t* width, int32_t* height) {
  if (width) *width = image ? image->right - image->left : 0;
  if (height) *height = image ? image->bottom - image->top : 0;
}
void GetImageOrigin(const ImageRecord* image, int32_t* x, int32_t* y) {
  if (x) *x = image ? image->left : 0;
  if (y) *y = image ? image->top : 0;
}
uint8_t* GetImagePixels(const ImageRecord* image) {
  return image && image->window ? image->window->pixels : nullptr;
}
uint8_t* ImageLockPixels(ImageRecord* image, int32_t* x, int32_t* y) {
  if (!image) return nullptr;
  GetImageOrigin(image, x, y);
  return GetImagePixels(image);
}
int ImageUnlock(ImageRecord* image) { return image ? 0 : 1; }

void SetImagePalette(ImageRecord* image, const uint8_t (*palette)[4]) {
  if (image != &manager.display || !palette) return;
  if (palette != manager.display.palette) std::memcpy(manager.display.palette, palette, sizeof manager.display.palette);
  uint8_t triples[256 * 3];
  for (int i = 0; i < 256; ++i)
    for (int c = 0; c < 3; ++c) triples[i * 3 + c] = manager.display.palette[i][c];
  setpalette(0, 256, triples);
}
void SetDisplayPalette(const uint8_t (*palette)[4]) { SetImagePalette(&manager.display, palette); }
uint8_t (*GetImagePalette(ImageRecord* image))[4] { return image ? image->palette : nullptr; }

void LoadPaletteRange(const PaletteRange& range, uint8_t (*palette)[4]) {
  if (!palette) return;
  // Entries outside 0..255 are dropped rather than written past the palette.
  const int32_t first = std::clamp(range.first, 0, 256);
  const int32_t count = range.entries ? std::clamp(range.count, 0, 256 - first) : 0;
  for (int32_t i = 0; i < count; ++i) std::memcpy(palette[first + i], range.entries[i], 4);
  const struct { int index; uint8_t r, g, b; } fixed[] = {{0, 0, 0, 0},       {193, 0, 0, 0},     {194, 255, 255, 255},
                                                         {201, 0, 0, 204},   {206, 176, 220, 196}, {220, 252, 0, 0}};
  for (const auto& f : fixed) {
    palette[f.index][0] = f.r;
    palette[f.index][1] = f.g;
    palette[f.index][2] = f.b;
  }
}

void CopyDepthImage(ImageRecord* destination, const MARect& to, ImageRecord* source, const MARect& from) {
  if (!destination || !source || !destination->depthWindow || !source->depthWindow) return;
  if (to.left != from.left || to.top != from.top || to.right != from.right || to.bottom != from.bottom) return;
  CopyWindowArea(destination->depthWindow, 0, 0, source->depthWindow, 0, 0, source->depthWindow->width,
                 source->depthWindow->height);
}

void SetDepthOverride(const MARect& rect, uint16_t depth) {
  manager.overrideSet = true;
  manager.overrideRect = rect;
  manager.overrideDepth = depth;
}
void ClearDepthOverride() { manager.overrideSet = false; }
int GetDepthOverride(MARect* rect, uint16_t* depth) {
  if (!manager.overrideSet) return 0;
  if (rect) *rect = manager.overrideRect;
  if (depth) *depth = manager.overrideDepth;
  return 1;
}

void BlitRectDepthTest(ImageRecord* destination, ImageRecord* source, const MARect& rect, uint16_t depth) {
  if (!destination || !source) return;
  WindowDesc* to = destination->window;
  const WindowDesc* from = source->window;
  const WindowDesc* z = destination->depthWindow;
  if (!Usable(to) || !Usable(from) || !z || to->depth != 16 || from->depth != 16 || z->depth != 16) return;
  MARect r = rect;
  r.left = std::max({r.left, 0});
  r.top = std::max({r.top, 0});
  r.right = std::min({r.right, to->width, from->width, z->width});
  r.bottom = std::min({r.bottom, to->height, from->height, z->height});
  if (r.right <= r.left || r.bottom <= r.top) return;
  if (manager.overrideSet) {
    const MARect& o = manager.overrideRect;
    const bool overlaps = r.left < o.right && o.left < r.right && r.top < o.bottom && o.top < r.bottom;
    if (overlaps && manager.overrideDepth < depth) depth = 0xFFFF;
  }
  DisplayLock lock(to, from);
  if (!to->pixels || !from->pixels || !z->pixels) return;
  for (int32_t y = r.top; y < r.bottom; ++y)
    for (int32_t x = r.left; x < r.right; ++x) {
      const uint8_t* zp = PixelAt(z, x, y);
      if (static_cast<uint16_t>(zp[0] | zp[1] << 8) >= depth) std::memcpy(PixelAt(to, x, y), PixelAt(from, x, y), 2);
    }
}
