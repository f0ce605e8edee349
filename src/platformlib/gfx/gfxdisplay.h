// The narrow seam between the drawing code (windows, zones, video windows, the render-module loader) and the
// display: the display's size and state, the surface operations and the main window. The display code fills
// these in when it starts; until then a memory-backed display serves, which is also what tests use.
#pragma once

#include <cstdint>

#include "windows.h"

struct WindowDesc;

struct GfxDisplayState {
  int32_t width = 0, height = 0, depth = 0;  // the library's current display size and depth
  int32_t visiblewidth = 0, visibleheight = 0;
  int32_t leftoffset = 0, topoffset = 0;
  int32_t pages = 1;
  uint32_t options = 0;       // display options (bit 0: full screen)
  int32_t graphicsinit = 0;   // the graphics-initialised word
  int32_t graphicsstate = 0;  // 7 once graphics are started
  int32_t surfacelocked = 0;  // set while a display surface is locked
  int32_t modex = 0;          // the primary is a mode-X surface
  uint32_t ddrawchanges = 0;  // counts every change of the DirectDraw object
  uint32_t windowmoves = 0;   // counts moves of the main window
  void* ddraw = nullptr;      // the library's IDirectDraw2 interface (opaque here)
};

// Blit flag: the source's colour key is transparent.
constexpr uint32_t kBlitTransparent = 0x10;

struct GfxRect {
  int32_t left, top, right, bottom;
};

// What the display hardware offers for movie output (videocaps).
constexpr uint32_t kCapsOverlayFourcc = 0x1;
constexpr uint32_t kCapsOverlayStretch = 0x2;
constexpr uint32_t kCapsBltFourcc = 0x4;
constexpr uint32_t kCapsBltStretch = 0x8;
// Results of the movie-output surface operations besides 0 (success).
constexpr int kVideoSurfaceLost = 1;
constexpr int kVideoWrongMode = 2;
constexpr int kVideoFailed = 3;

struct GfxDisplayHooks {
  // Surfaces. A surface is an opaque handle; lock gives the first pixel and the pitch.
  int (*locksurface)(void* surface, uint8_t** pixels, int32_t* pitch);  // 1 locked
  void (*unlocksurface)();
  int (*relocksurface)();  // lets the window thread paint; 1 when the lock is back
  int (*blit)(void* destination, int32_t dx, int32_t dy, void* source, int32_t sx, int32_t sy, int32_t width,
              int32_t height, uint32_t flags);
  int (*stretchblit)(void* destination, int32_t dx, int32_t dy, int32_t dwidth, int32_t dheight, void* source,
                     int32_t sx, int32_t sy, int32_t swidth, int32_t sheight, uint32_t flags);
  int (*fill)(void* destination, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour);
  void* (*makesurface)(int32_t width, int32_t height, int depth, uint32_t options);
  void (*releasesurface)(void* surface);
  int (*describesurface)(void* surface, int32_t* width, int32_t* height, int32_t* pitch, int* depth);
  // Shows the finished frame when no render module does it.
  void (*present)();
  // 1 when the display kept the entries and `held` has what it now holds (no fixed palette).
  int (*setwinpalette)(WindowDesc* window, int first, int count, const uint32_t* entries, uint32_t* held);
  // Movie output: capabilities, a YUY2 surface (overlay or off-screen plain, in video memory), lost-surface
  // handling, and showing it on the front surface by blit or as an overlay keyed on a destination colour.
  uint32_t (*videocaps)();
  void* (*makeyuy2surface)(int32_t width, int32_t height, int overlay);
  int (*surfacelost)(void* surface);      // 1 when lost
  int (*restoresurface)(void* surface);   // 0 or kVideoWrongMode / kVideoFailed
  int (*blittofront)(void* surface, const GfxRect* source, const GfxRect* destination);  // 0, kVideoSurfaceLost, kVideoFailed
  int (*showoverlay)(void* surface, const GfxRect* source, const GfxRect* destination, uint32_t colourkey);
  void (*clienttoscreen)(int32_t* x, int32_t* y);
  // The main window.
  int (*openmainwindow)(int32_t width, int32_t height, int flag);
  void (*closemainwindow)();
  HWND (*getmainwindowhandle)();
  int (*ismainwindowthread)();
  void (*minimisemainwindow)();
  // Window-message handlers of the main window (handlers are opaque procedure addresses here).
  intptr_t (*setmessagehandler)(intptr_t message, intptr_t handler);
  intptr_t (*getmessagehandler)(intptr_t message);
  // Takes the render module's DirectDraw object as the library's interface (null: lets it go); 1 on success.
  int (*setddraw)(void* object);
  // Runs the display-change callback that the main-window code registered, if any.
  void (*notifydisplaychange)(int reason);
};

// The library's graphics hooks; null means the display's own path. A render module installs them.
extern void (*closegraphicshook)();
extern int (*initgraphicshook)(int32_t width, int32_t height, int32_t depth);
extern int (*lockwindowhook)(WindowDesc* window);  // null window: release
extern void (*pagefliphook)();

GfxDisplayState& gfxstate();
GfxDisplayHooks& gfxhooks();
// Restores the memory-backed display and clears the state (tests, and the display's own shut-down).
void gfxresetdisplay();

// The display critical section (shared by the page flip and the render module's display lock).
CRITICAL_SECTION* gfxdisplaysection();

// Memory-backed surfaces of the default display (also handy for tests).
struct GfxMemSurface {
  int32_t width, height, pitch;
  int depth;
  uint8_t* bits;
};
GfxMemSurface* gfxmemsurface(void* surface);
