// Any failure of the hardware path drops the rest of the movie to software drawing.
#include "platformlib/gfx/videoout.h"

#include <cstring>

#include "platformlib/gfx/gfxdisplay.h"
#include "platformlib/gfx/pixels.h"
#include "platformlib/gfx/windowdesc.h"

void (*blitvideoframehook)(const uint8_t*, int32_t, int32_t, int32_t, int32_t, int) = nullptr;

namespace {

struct VideoOut {
  int32_t x = 0, y = 0, width = 0, height = 0;
  int doublesize = 0;
  int mode = kVideoOutSoftware;
  void* surface = nullptr;
  void* ddrawmadewith = nullptr;  // the DirectDraw object the surface belongs to
  uint32_t changes = 0;           // the DirectDraw change count when the surface was made
  uint32_t moves = 0;             // the main-window move count when the overlay was placed
  bool placed = false;
} out;

void drawinsoftware(const uint8_t* frame) {
  if (!displaywindow()) {
    releasewindow();
    return;
  }
  if (blitvideoframehook) blitvideoframehook(frame, out.x, out.y, out.width, out.height, out.doublesize);
  releasewindow();
}

}  // namespace

int getvideooutmode() { return out.mode; }

void videooutopen(int32_t x, int32_t y, int32_t width, int32_t height, int doublesize, int softwareonly) {
  videooutclose();
  out.x = x;
  out.y = y;
  out.width = width;
  out.height = height;
  out.doublesize = doublesize;
  out.mode = kVideoOutSoftware;
  out.placed = false;
  if (softwareonly) return;
  const uint32_t caps = gfxhooks().videocaps();
  if ((caps & kCapsOverlayFourcc) && (caps & kCapsOverlayStretch))
    out.mode = kVideoOutOverlay;
  else if ((caps & kCapsBltFourcc) && (caps & kCapsBltStretch))
    out.mode = kVideoOutBlit;
}

int videooutshow(const uint8_t* frame) {
  GfxDisplayHooks& hooks = gfxhooks();
  GfxDisplayState& state = gfxstate();
  const int scale = out.doublesize ? 2 : 1;
  bool changed = false;
  if (!out.surface || out.changes != state.ddrawchanges) {
    out.surface = hooks.makeyuy2surface(out.width, out.height, out.mode == kVideoOutOverlay);
    out.ddrawmadewith = state.ddraw;
    out.changes = state.ddrawchanges;
    out.placed = false;
    if (!out.surface) {
      out.mode = kVideoOutSoftware;
      return kVideoFailed;
    }
    changed = true;
  }
  displaywindow();
  if (out.mode == kVideoOutOverlay && (!out.placed || out.moves != state.windowmoves)) {
    out.moves = state.windowmoves;
    out.placed = true;
    changed = true;
    fillrect(out.x, out.y, out.width, out.height * scale, 1);  // the colour key
  }
  releasewindow();
  if (hooks.surfacelost(out.surface)) {
    const int restored = hooks.restoresurface(out.surface);
    if (restored != 0 && restored != kVideoWrongMode) {
      out.mode = kVideoOutSoftware;
      return restored;
    }
  }
  uint8_t* pixels = nullptr;
  int32_t pitch = 0;
  if (!hooks.locksurface(out.surface, &pixels, &pitch)) {
    out.mode = kVideoOutSoftware;
    return kVideoFailed;
  }
  const size_t rowbytes = static_cast<size_t>(out.width / 2) * 4;
  for (int32_t row = 0; row < out.height; ++row)
    std::memcpy(pixels + static_cast<ptrdiff_t>(row) * pitch, frame + rowbytes * static_cast<size_t>(row), rowbytes);
  hooks.unlocksurface();
  if (out.mode == kVideoOutOverlay && !changed) return 0;  // the overlay shows the new contents by itself
  const GfxRect source{0, 0, out.width - 1, out.height - 1};
  // Double size doubles the lines, as the colour-key fill above does.
  int32_t left = out.x, top = out.y;
  int32_t right = out.x + out.width, bottom = out.y + out.height * scale;
  hooks.clienttoscreen(&left, &top);
  hooks.clienttoscreen(&right, &bottom);
  const GfxRect destination{left, top, right, bottom};
  if (out.mode == kVideoOutBlit) {
    const int result = hooks.blittofront(out.surface, &source, &destination);
    if (result != 0 && result != kVideoSurfaceLost) out.mode = kVideoOutSoftware;
    return result == kVideoSurfaceLost ? 0 : result;
  }
  const int result = hooks.showoverlay(out.surface, &source, &destination, 1);
  if (result != 0 && result != kVideoSurfaceLost) out.mode = kVideoOutSoftware;
  return result;
}

void videooutframe(const uint8_t* frame) {
  if (out.mode != kVideoOutSoftware) videooutshow(frame);
  if (out.mode == kVideoOutSoftware) drawinsoftware(frame);
}

void videooutclose() {
  // After a change of the DirectDraw object the surface is already gone with the old one.
  if (out.surface && out.ddrawmadewith == gfxstate().ddraw && out.changes == gfxstate().ddrawchanges)
    gfxhooks().releasesurface(out.surface);
  out.surface = nullptr;
}
