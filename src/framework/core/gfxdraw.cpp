// Drawing of graphic records: routine choice, the unpack cache, hot-spot and clip arithmetic, blended draws.
#include <algorithm>
#include <cstring>

#include "framework/core/errors.h"
#include "framework/core/gfxrecord.h"
#include "framework/core/objectimage.h"
#include "framework/core/registry.h"
#include "framework/core/services.h"
#include "platformlib/shapes/shapes.h"
#include "platformlib/gfx/windowdesc.h"

namespace {

ObjectImage* scratch[2] = {nullptr, nullptr};
bool scratchMissingLogged = false;

bool ArgbPalette(const uint8_t* palette) {
  return palette && (palette[0] == 0x2A || palette[0] == 0x2C || palette[0] == 0x2E);
}

// Draws a locked, unpacked shape with the routine the window and the graphic call for.
void DrawShapeInto(WindowDesc* target, const uint8_t* shape, const uint8_t* palette, int depth, bool transparent,
                   int32_t x, int32_t y, int32_t width, int32_t height, bool scaled) {
  if (!setwindow(target)) return;
  const bool alpha = target->depth > 8 && (depth == 32 || ArgbPalette(palette));
  if (scaled) {
    if (alpha)
      drawshapescaledargb(shape, x, y, width, height);
    else if (transparent)
      drawshapescaled(shape, x, y, width, height);
    else
      drawshapescaledex(shape, x, y, width, height);
  } else {
    if (alpha)
      drawshapealpha(shape, x, y);
    else if (transparent)
      drawshapetrans(shape, x, y);
    else
      drawshape(shape, x, y);
  }
  releasewindow();
}

int DrawLocked(GraphicRecord* g, WindowDesc* target, int32_t x, int32_t y, int32_t width, int32_t height,
               bool scaled) {
  if (!(g->shape[0] & kShapePacked)) {
    DrawShapeInto(target, g->shape, g->palette, g->depth, g->transparent != 0, x, y, width, height, scaled);
    return ERR_NONE;
  }
  // Packed: unpack into the round's shared cache when there is one, else into a copy for this draw.
  const size_t extent = MemHandleSize(g->lockedHandle);
  MemHandle handle = SharedUnpackCache;
  const bool shared = handle != 0;
  int status = GfxUnpackToCache(g->shape, extent, &handle, shared ? 0x200 : 8);
  if (status != ERR_NONE) return ERR_BADHANDLE;
  if (shared && handle != SharedUnpackCache) {
    // Too small for this graphic: the larger block becomes the cache.
    MemFreeHandle(SharedUnpackCache);
    SharedUnpackCache = handle;
  }
  uint8_t* savedShape = g->shape;
  uint8_t* savedPalette = g->palette;
  const MemHandle savedLock = g->lockedHandle;
  const MemHandle savedUnpack = g->unpackHandle;
  g->shape = nullptr;
  g->palette = nullptr;
  g->lockedHandle = 0;
  g->unpackHandle = handle;
  status = GfxLock(g);
  if (status == ERR_NONE) {
    DrawShapeInto(target, g->shape, g->palette, g->depth, g->transparent != 0, x, y, width, height, scaled);
    GfxUnlock(g);
  }
  g->shape = savedShape;
  g->palette = savedPalette;
  g->lockedHandle = savedLock;
  g->unpackHandle = savedUnpack;
  if (!shared) MemFreeHandle(handle);
  return status;
}

GfxRect Nothing() { return GfxRect{-1, -1, -1, -1}; }

// The drawn rectangle cut by the clip (the whole target when none) and by the target itself.
bool Intersect(const WindowDesc* target, const GfxRect& drawn, const GfxRect* clip, GfxRect* out) {
  GfxRect c = clip ? *clip : GfxRect{0, 0, target->width, target->height};
  c.left = std::max(c.left, 0);
  c.top = std::max(c.top, 0);
  c.right = std::min(c.right, target->width);
  c.bottom = std::min(c.bottom, target->height);
  GfxRect r{std::max(drawn.left, c.left), std::max(drawn.top, c.top), std::min(drawn.right, c.right),
            std::min(drawn.bottom, c.bottom)};
  if (r.left >= r.right || r.top >= r.bottom) return false;
  *out = r;
  return true;
}

int32_t ScaledOffset(int32_t hot, int32_t size, int32_t scaledSize) {
  return size ? static_cast<int32_t>(static_cast<int64_t>(hot) * scaledSize / size) : 0;
}

// Where a graphic drawn at width x height with its hot spot scaled in proportion lands, cut by the clip.
// False when nothing would be drawn (not loaded, empty, or wholly outside).
bool PlaceScaled(const GraphicRecord* g, const WindowDesc* target, int32_t x, int32_t y, int32_t width,
                 int32_t height, const GfxRect* clip, int32_t* left, int32_t* top, GfxRect* area) {
  if (!g || !target || g->type != 1 || width <= 0 || height <= 0 || g->width <= 0 || g->height <= 0) return false;
  *left = x - ScaledOffset(g->hotx, g->width, width);
  *top = y - ScaledOffset(g->hoty, g->height, height);
  return Intersect(target, GfxRect{*left, *top, *left + width, *top + height}, clip, area);
}

// The blended draws' size: width rounded, height truncated (16.16 scale).
void ScaleSize(const GraphicRecord* g, int32_t scale, int32_t* width, int32_t* height) {
  *width = static_cast<int32_t>((static_cast<int64_t>(g->width) * scale + 0x8000) >> 16);
  *height = static_cast<int32_t>((static_cast<int64_t>(g->height) * scale) >> 16);
}

// Makes every pixel of a 32-bit image that is not 0 opaque (level 255), or `colour` when silhouetting.
void OpaqueImage(ObjectImage* image, bool silhouette, uint32_t colour) {
  uint8_t* pixels = shapepixels(image->shape);
  const int32_t rowbytes = shaperowbytes(image->shape);
  for (int32_t y = 0; y < image->height; ++y) {
    uint8_t* row = pixels + static_cast<size_t>(y) * rowbytes;
    for (int32_t x = 0; x < image->width; ++x) {
      uint8_t* p = row + 4 * x;
      const uint32_t v = shaperead32(p);
      if (v == 0) continue;
      shapewrite32(p, silhouette ? (colour | 0xFF000000u) : (v | 0xFF000000u));
    }
  }
}

int BlendThrough(GraphicRecord* g, ObjectImage* image, WindowDesc* target, int32_t x, int32_t y, int32_t width,
                 int32_t height, GfxRect* covered, const GfxRect* clip, bool silhouette, uint32_t colour) {
  if (covered) *covered = Nothing();
  int32_t left, top;
  GfxRect area;
  if (!PlaceScaled(g, target, x, y, width, height, clip, &left, &top, &area)) return ERR_NONE;
  if (!image) {
    // Every blended draw would fail the same way; say so once instead of silently drawing nothing.
    if (!scratchMissingLogged) WriteLogLine("Blended drawing skipped: no scratch image");
    scratchMissingLogged = true;
    return ERR_BADHANDLE;
  }
  if (!ResizeObjectImage(image, width, height)) return ERR_BADHANDLE;
  setwindow(image->window);
  clearclip(0);
  releasewindow();
  const int32_t transparent = g->transparent;
  g->transparent = 0;
  const int status = GfxDraw(g, image->window, 0, 0, width, height, true);
  g->transparent = transparent;
  if (status != ERR_NONE) return status;
  OpaqueImage(image, silhouette, colour);
  setwindowclip(target, area.left, area.top, area.right, area.bottom);
  DrawShapeInto(target, image->shape, nullptr, 32, true, left, top, 0, 0, false);
  resetwindowclip(target);
  if (covered) *covered = area;
  return ERR_NONE;
}

ObjectImage* Scratch() { return scratch[1] ? scratch[1] : scratch[0]; }

}  // namespace

int GfxDraw(GraphicRecord* g, WindowDesc* target, int32_t x, int32_t y, int32_t width, int32_t height, bool scaled) {
  if (!g || !target) return ERR_NONE;
  if (scaled && (width == 0 || height == 0)) return ERR_NONE;
  if (g->shape) return DrawLocked(g, target, x, y, width, height, scaled);
  // Not locked: lock for this draw (the unpacked copy, when the record has one, is what gets locked).
  const int status = GfxLock(g);
  if (status != ERR_NONE) return status;
  const int drawn = DrawLocked(g, target, x, y, width, height, scaled);
  GfxUnlock(g);
  return drawn;
}

void GfxDrawAtHotSpot(GraphicRecord* g, WindowDesc* target, int32_t x, int32_t y) {
  if (!g || g->type != 1) return;
  GfxDraw(g, target, x - g->hotx, y - g->hoty, 0, 0, false);
}

int GfxDrawClipped(GraphicRecord* g, WindowDesc* target, int32_t x, int32_t y, GfxRect* covered,
                   const GfxRect* clip) {
  if (covered) *covered = Nothing();
  if (!g || !target || g->type != 1 || g->width <= 0 || g->height <= 0) return ERR_NONE;
  const int32_t left = x - g->hotx, top = y - g->hoty;
  GfxRect area;
  if (!Intersect(target, GfxRect{left, top, left + g->width, top + g->height}, clip, &area)) return ERR_NONE;
  setwindowclip(target, area.left, area.top, area.right, area.bottom);
  const int status = GfxDraw(g, target, left, top, 0, 0, false);
  resetwindowclip(target);
  if (covered && status == ERR_NONE) *covered = area;
  return status;
}

void GfxDrawScaled(GraphicRecord* g, WindowDesc* target, const GfxRect& destination) {
  if (!g || g->type != 1) return;
  GfxDraw(g, target, destination.left, destination.top, destination.right - destination.left,
          destination.bottom - destination.top, true);
}

int GfxDrawScaledClipped(GraphicRecord* g, WindowDesc* target, GfxRect* covered, int32_t width, int32_t height,
                         int32_t x, int32_t y, const GfxRect* clip) {
  if (covered) *covered = Nothing();
  int32_t left, top;
  GfxRect area;
  if (!PlaceScaled(g, target, x, y, width, height, clip, &left, &top, &area)) return ERR_NONE;
  setwindowclip(target, area.left, area.top, area.right, area.bottom);
  const int status = GfxDraw(g, target, left, top, width, height, true);
  resetwindowclip(target);
  if (covered && status == ERR_NONE) *covered = area;
  return status;
}

int GfxDrawBlended(GraphicRecord* g, WindowDesc* target, int32_t x, int32_t y, int32_t scale, GfxRect* covered,
                   const GfxRect* clip) {
  if (covered) *covered = Nothing();
  if (!g || scale <= 0) return ERR_NONE;
  int32_t w, h;
  ScaleSize(g, scale, &w, &h);
  return BlendThrough(g, Scratch(), target, x, y, w, h, covered, clip, false, 0);
}

int GfxDrawSilhouette(GraphicRecord* g, WindowDesc* target, int32_t x, int32_t y, int32_t scale, uint32_t colour,
                      GfxRect* covered, const GfxRect* clip) {
  if (covered) *covered = Nothing();
  if (!g || scale <= 0) return ERR_NONE;
  int32_t w, h;
  ScaleSize(g, scale, &w, &h);
  return BlendThrough(g, Scratch(), target, x, y, w, h, covered, clip, true, colour);
}

int GfxDrawBlendedScaled(GraphicRecord* g, WindowDesc* target, int32_t x, int32_t y, int32_t width, int32_t height,
                         GfxRect* covered, const GfxRect* clip) {
  if (covered) *covered = Nothing();
  if (width <= 0 || height <= 0) return ERR_NONE;
  SceneProvider& scene = *Svc().scene;
  ObjectImage* image = scene.CreateObjectImage(0, 0, 32);
  if (!image) return ERR_MEMORYFULL;
  const int status = BlendThrough(g, image, target, x, y, width, height, covered, clip, false, 0);
  scene.FreeObjectImage(image);
  return status;
}

int GfxInitScratch() {
  SceneProvider& scene = *Svc().scene;
  if (!scratch[0]) scratch[0] = scene.CreateObjectImage(0, 0, 32);
  const SoftwareRenderState n = scene.SoftwareRender();
  const bool skipSecond = n.renderer && n.mode == 4 && n.count <= 0;
  if (!skipSecond && !scratch[1]) scratch[1] = scene.CreateObjectImage(0, 0, 32);
  return scratch[0] ? 1 : 0;
}

void GfxFreeScratch() {
  for (ObjectImage*& image : scratch) {
    if (image) Svc().scene->FreeObjectImage(image);
    image = nullptr;
  }
  scratchMissingLogged = false;
}

void GfxFontHook4(void*, int32_t, int32_t, int32_t) {}
void GfxFontHook5(void*, int32_t, int32_t, int32_t, int32_t) {}
