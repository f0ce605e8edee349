// Display-mode set-up. DirectDraw calls that change the display run on the main-window thread: the main
// thread posts a request and waits for the status word, running the system tasks meanwhile.
#include "platformlib/display/displaymode.h"

#include <algorithm>
#include <cstring>

#include "platformlib/gfx/gfxdisplay.h"
#include "platformlib/display/mainwindow.h"
#include "platformlib/core/memclass.h"
#include "platformlib/gfx/pixels.h"
#include "platformlib/gfx/rowspace.h"
#include "platformlib/core/timer.h"
#include "platformlib/gfx/videowin.h"
#include "platformlib/display/windisplay.h"
#include "platformlib/gfx/windowdesc.h"

uint8_t displayoptions = DISPLAY_FULLSCREEN | DISPLAY_BLITTING | DISPLAY_NOFLIP;
int displaypages = 2;
std::atomic<int32_t> grfop_pending{0};
int32_t displaydepth = 0, displaypagecount = 0, displaywidth = 0, displayheight = 0, displaymodeindex = 0;
int32_t displayright = 0, displaybottom = 0, displaysurfacepages = 0, displaybankswitched = 0;
int32_t graphicsstate = 0;
int (*initgraphicsreplacement)(int32_t, int32_t, int32_t) = nullptr;
void (*restoregraphicshook)() = nullptr;
int initdebuglevel = 0;

namespace {

#define INITLOG(level, ...) debugmessage(&initdebuglevel, level, __VA_ARGS__)

int32_t requestedwidth = 640, requestedheight = 480, requesteddepth = 16;

struct DefaultPalette {
  uint8_t rgb[256][3];
  DefaultPalette() : rgb{} {
    static const uint8_t vga[16][3] = {{0, 0, 0},      {0, 0, 168},     {0, 168, 0},     {0, 168, 168},
                                       {168, 0, 0},    {168, 0, 168},   {168, 84, 0},    {168, 168, 168},
                                       {84, 84, 84},   {84, 84, 252},   {84, 252, 84},   {84, 252, 252},
                                       {252, 84, 84},  {252, 84, 252},  {252, 252, 84},  {252, 252, 252}};
    static const uint8_t greys[16] = {252, 220, 204, 192, 176, 164, 152, 136, 124, 112, 96, 84, 72, 56, 44, 32};
    for (int i = 0; i < 16; ++i) {
      std::memcpy(rgb[i], vga[i], 3);
      rgb[16 + i][0] = rgb[16 + i][1] = rgb[16 + i][2] = greys[i];
      const uint8_t top = i < 15 ? static_cast<uint8_t>(128 + 8 * i) : 255;
      rgb[240 + i][0] = rgb[240 + i][1] = rgb[240 + i][2] = top;
    }
    // 32..239: a colour cube of six levels a channel (its last eight colours do not fit).
    for (int i = 32; i < 240; ++i) {
      const int n = i - 32;
      rgb[i][0] = static_cast<uint8_t>((n / 36) * 51);
      rgb[i][1] = static_cast<uint8_t>(((n / 6) % 6) * 51);
      rgb[i][2] = static_cast<uint8_t>((n % 6) * 51);
    }
  }
};
const DefaultPalette paletteinit;

WinDisplay& D() { return windisplay(); }

bool onmainthread() { return isthread(nullptr) != 0; }

void abortsend() {
  ABORTCONTEXT("displaymode.cpp", "sendddrawrequest");
  abortmessage("initgraphics - FAILED TO SEND MESSAGE TO WINDOW THREAD.\n");
}

void loaddefaultpalette() {
  uint32_t colours[256];
  for (int i = 0; i < 256; ++i)
    colours[i] = 0xFF000000u | (static_cast<uint32_t>(defaultpalette[i][0]) << 16) |
                 (static_cast<uint32_t>(defaultpalette[i][1]) << 8) | defaultpalette[i][2];
  storewinpalette(0, 256, colours);
  setpalette(0, 256, &defaultpalette[0][0]);
}

}  // namespace

const uint8_t (&defaultpalette)[256][3] = paletteinit.rgb;

int preinitgraphics() {
  if (!memstarted()) {
    ABORTCONTEXT("displaymode.cpp", "preinitgraphics");
    abortmessage("initgraphics - INITMEM REQUIRED BEFORE INITGRAPHICS\n");
    return 0;
  }
  WinDisplay& d = D();
  const uint8_t o = displayoptions;
  d.fullscreen = (o & DISPLAY_FULLSCREEN) ? 1 : 0;
  d.modexwanted = (o & DISPLAY_MODEX) ? 1 : 0;
  if (!d.modexwanted) {
    d.sysmem = (o & DISPLAY_SYSMEM) ? 1 : 0;
    d.blitting = (o & DISPLAY_BLITTING) ? 1 : 0;
    d.libmem = (o & DISPLAY_LIBMEM) ? 1 : 0;
    d.pages = static_cast<uint8_t>(displaypages);
    d.surfacepages = static_cast<uint8_t>(((o & DISPLAY_NOFLIP) || d.libmem) ? 1 : std::clamp(displaypages, 0, 255));
  } else {
    d.libmem = d.sysmem = d.blitting = 0;
    d.pages = 2;
    d.surfacepages = 2;
  }
  d.spare = static_cast<uint32_t>(windowchecking);
  if (graphicsstate != 7) {
    initrow();
    addexitroutine(graphicsexit);
    graphicsstate = 7;
    gfxstate().graphicsstate = 7;
    installwindisplayhooks();
  }
  releasewindow();
  HWND window = getmainwindowhandle();
  return window && (mainwindowstate().fullscreen != 0) != (d.fullscreen != 0);
}

int openlibdisplay(int force) {
  setmessagehandler(WM_LIBINITDDRAW, lib_initgraphics);
  setmessagehandler(WM_LIBSETMODE, lib_setdisplaymode);
  WinDisplay& d = D();
  const bool existed = d.ddraw != nullptr;
  int32_t width = requestedwidth, height = requestedheight;
  if (!existed && d.fullscreen) {
    INITLOG(1, "[INIT] first init fullscreen\n");
    width = 640;
    height = 480;
  }
  const char* text = nullptr;
  if (!existed || force) {
    INITLOG(1, "[INIT] opening window\n");
    if (!openmainwindow(width, height, d.fullscreen)) {
      text = "OPEN";
    } else {
      text = sendddrawrequest(WM_LIBINITDDRAW, 0);
      focuswindisplay();
    }
  }
  if (!text && !existed) loaddefaultpalette();
  if (text) {
    INITLOG(1, "[INIT] initddrawgraphics failed = %s\n", text);
    ddrawresult = text;
    return 0;
  }
  return 1;
}

const char* sendddrawrequest(UINT message, int32_t index) {
  ddrawresult = "SEND";
  grfop_pending = 1;
  releasewindow();
  INITLOG(1, "[INIT] send ddraw request %d %d\n", static_cast<int>(message), static_cast<int>(index));
  if (!sendwinmessage(message, index, 0, 0)) {
    abortsend();
    grfop_pending = 0;
    ddrawresult = "OPEN";
    return ddrawresult;
  }
  INITLOG(1, "[INIT] sent message\n");
  while (grfop_pending.load() != 0) {
    Sleep(1);
    if (onmainthread()) runsystemtasks();
    if (grfop_pending.load() < 0) {
      Sleep(100);
      if (mainwindowactive()) {
        INITLOG(1, "[INIT] postponed, retrying\n");
        grfop_pending = 1;
        focuswindisplay();
        if (!sendwinmessage(message, index, 0, 0)) {
          abortsend();
          grfop_pending = 0;
          ddrawresult = "OPEN";
          break;
        }
      } else {
        INITLOG(2, "[INIT] postponed, waiting\n");
      }
    }
    INITLOG(3, "[INIT] grfop_pending = %d\n", static_cast<int>(grfop_pending.load()));
  }
  const char* text = ddrawresult.load();
  INITLOG(1, "[INIT] message processed (%s)\n", text ? text : "okay");
  return text;
}

int lib_initgraphics(WinDisplay*, HWND window, UINT, WPARAM, LPARAM, LRESULT* result) {
  INITLOG(1, "[INIT] lib_initgraphics\n");
  *result = 0;
  if (!mainwindowstate().active) {
    ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
    grfop_pending = -1;
    return 1;
  }
  if (D().ddraw) disposewindisplay(nullptr);
  if (createwindisplay(nullptr) && accesswindisplay(nullptr)) ddrawresult = nullptr;
  grfop_pending = 0;
  return 1;
}

int lib_setdisplaymode(WinDisplay*, HWND, UINT, WPARAM, LPARAM second, LRESULT* result) {
  INITLOG(1, "[INIT] lib_setdisplaymode\n");
  *result = 0;
  if (!mainwindowstate().active) {
    grfop_pending = -1;
    return 1;
  }
  releasewinsurfaces(nullptr);
  const int32_t index = static_cast<int32_t>(second);
  if (index == -2) {
    ddrawresult = nullptr;
    grfop_pending = 0;
    return 1;
  }
  const int set = setwindisplaymode(nullptr, index);
  if (set <= 0) {
    ddrawresult = set < 0 ? "RETRY" : "MODE";
    grfop_pending = set < 0 ? -1 : 0;
    return 1;
  }
  ddrawresult = nullptr;
  if (configwindisplay(nullptr)) {
    ddrawresult = nullptr;
    grfop_pending = 0;
  } else if (!ddrawresult.load()) {
    ddrawresult = "RETRY";
    grfop_pending = -1;
  } else {
    grfop_pending = 0;
  }
  return 1;
}

int selectddrawmode(WinDisplay* display) {
  WinDisplay& d = *displayrecord(display);
  if (!d.fullscreen) return sendddrawrequest(WM_LIBSETMODE, d.modeindex) == nullptr ? 1 : 0;
  int32_t w = requestedwidth, h = requestedheight, depth = requesteddepth;
  int have = 0;
  INITLOG(1, "[INIT] searching for display mode [%dx%dx%d]\n", static_cast<int>(w), static_cast<int>(h),
          static_cast<int>(depth));
  for (;;) {
    int found = -1;
    for (int32_t i = 0; i < d.modecount; ++i) {
      const DisplayModeEntry& e = d.modes[i];
      INITLOG(2, "[INIT]  ->mode %d of %d [%dx%dx%d]\n", static_cast<int>(i), static_cast<int>(d.modecount),
              static_cast<int>(e.width), static_cast<int>(e.height), static_cast<int>(e.depth));
      if (e.depth != depth || (e.flags & MODEFAILED) || e.width < static_cast<uint32_t>(std::max(w, 0)) ||
          e.height < static_cast<uint32_t>(std::max(h, 0)))
        continue;
      if (found < 0 || e.width - static_cast<uint32_t>(std::max(w, 0)) <
                           d.modes[found].width - static_cast<uint32_t>(std::max(w, 0)))
        found = i;
    }
    INITLOG(1, "[INIT] search result = %d\n", found);
    if (found >= 0) {
      if (!sendddrawrequest(WM_LIBSETMODE, found)) {
        have = 1;
        break;
      }
      d.modes[found].flags |= MODEFAILED;
      continue;
    }
    if (w > 320) {
      INITLOG(1, "[INIT] try smaller\n");
      w -= 200;
      h -= 200;
    } else if (depth == 8) {
      INITLOG(1, "[INIT] attempting default resolution\n");
      have = sendddrawrequest(WM_LIBSETMODE, -1) == nullptr ? 1 : 0;
      break;
    } else {
      INITLOG(1, "[INIT] try 8bit\n");
      w = requestedwidth;
      h = requestedheight;
      depth = 8;
    }
  }
  INITLOG(1, "[INIT] havemode %d\n", have);
  if (!have) INITLOG(1, "[INIT] all video modes failed\n");
  return have;
}

void publishdisplay() {
  WinDisplay& d = D();
  displaydepth = d.windepth ? d.windepth : d.depth;
  displaypagecount = 1 + (d.back || d.librarywindow ? 1 : 0);
  displaywidth = d.width;
  displayheight = d.height;
  displaymodeindex = d.modeindex;
  displayright = d.width - d.originx;
  displaybottom = d.height - d.originy;
  displaysurfacepages = d.surfacepages;
  displaybankswitched = d.bankswitched;
  GfxDisplayState& s = gfxstate();
  s.width = s.visiblewidth = d.width;
  s.height = s.visibleheight = d.height;
  s.depth = displaydepth;
  s.leftoffset = d.originx;
  s.topoffset = d.originy;
  s.pages = displaypagecount;
  s.options = displayoptions;
  s.modex = d.modexprimary;
  s.graphicsstate = graphicsstate;
  releasewindow();
}

void initgraphics(int32_t width, int32_t height, int32_t depth) {
  if (initgraphicsreplacement) {
    initgraphicsreplacement(width, height, depth);
    return;
  }
  if (width == 0) width = 640;
  if (width == -1) width = 1024;
  if (height == 0) height = 480;
  if (height == -1) height = 768;
  if (depth == 0 || depth == -1 || depth == 15) depth = 16;
  for (int pass = 0;; ++pass) {
    preinitgraphics();
    requesteddepth = depth;
    requestedwidth = width;
    requestedheight = height;
    WinDisplay& d = D();
    d.width = width;
    d.height = height;
    d.depth = depth;
    INITLOG(1, "[INIT] requested mode is %dx%dx%d\n", static_cast<int>(width), static_cast<int>(height),
            static_cast<int>(depth));
    if (!openlibdisplay(pass > 0)) {
      graphicsstate = 0;
      gfxstate().graphicsstate = 0;
      return;
    }
    INITLOG(1, "[INIT] select mode which matches %dx%dx%d\n", static_cast<int>(width), static_cast<int>(height),
            static_cast<int>(depth));
    const int selected = selectddrawmode(nullptr);
    INITLOG(1, "[INIT] selectddrawmode return %d\n", selected);
    if (selected) {
      publishdisplay();
      return;
    }
    INITLOG(1, "[INIT] all video modes failed\n");
    if (displayoptions & DISPLAY_EMULATION) {
      graphicsstate = 0;
      gfxstate().graphicsstate = 0;
      return;
    }
    displayoptions |= DISPLAY_EMULATION;
  }
}

int initdefaultgraphics() {
  preinitgraphics();
  if (!openlibdisplay(1)) return 0;
  if (!selectddrawmode(nullptr)) return 0;
  publishdisplay();
  return graphicsstate == 7;
}

int reinitgraphics() {
  closemainwindow();
  return initdefaultgraphics();
}

void restoregraphics() {
  releasewindow();
  if (restoregraphicshook) {
    restoregraphicshook();
    return;
  }
  INITLOG(1, "[INIT] restoring graphics\n");
  if (getmainwindowhandle()) closemainwindow();
  if (graphicsstate == 7) {
    removerowspace();
    graphicsstate = 0;
    gfxstate().graphicsstate = 0;
  }
  INITLOG(1, "[INIT] restore completed\n");
}

void graphicsexit() {
  if (onmainthread()) {
    restoregraphics();
    return;
  }
  // Another thread ends the program: keep the main thread from drawing, and get the window out of the way.
  if (mainthread.section) entercritical(mainthread.section);
  minimisemainwindow();
}

int getdisplaymodecount() {
  if (!D().ddraw) initdefaultgraphics();
  return D().modecount;
}

int getdisplaymode(int32_t index, DisplayModeInfo* info) {
  WinDisplay& d = D();
  if (!info) return 0;
  if (index == -1 && !d.fullscreen) {
    info->width = d.width;
    info->height = d.height;
    info->depth = d.windepth ? d.windepth : d.depth;
    info->shapetype = DisplayWindow.shapetype ? DisplayWindow.shapetype : depthshapetype(info->depth);
    info->flags = (d.bankswitched ? 0x002u : 0u) | (d.modexprimary ? 0x004u : 0u) |
                  (d.surfacepages == 2 && d.canflip ? 0x008u : 0u);
    return 1;
  }
  if (index < 0 || index >= d.modecount || !d.modes) return 0;
  const DisplayModeEntry& e = d.modes[index];
  info->width = static_cast<int32_t>(e.width);
  info->height = static_cast<int32_t>(e.height);
  info->depth = e.depth;
  info->shapetype = depthshapetype(e.depth);
  uint32_t f = 0;
  if (e.flags & DCAP_BANKSWITCHED) f |= 0x002;
  if (e.flags & MODE_MODEX) f |= 0x004;
  if (e.flags & DCAP_FLIP) f |= 0x008;
  if (e.flags & MODE_ZDEPTH) f |= 0x010;
  if (e.flags & DCAP_VBI) f |= 0x800;
  if (!(e.flags & MODE_MODEX)) {
    if (e.flags & DCAP_BLTSYSMEM) f |= 0x020;
    if (e.flags & DCAP_BLT) f |= 0x040;
    if (e.flags & DCAP_BLTCOLORFILL) f |= 0x080;
    if (e.flags & DCAP_BLTSTRETCH) f |= 0x100;
    if (e.flags & DCAP_SRCCOLORKEY) f |= 0x200;
    if (e.flags & DCAP_3D) f |= 0x400;
  }
  info->flags = f;
  return 1;
}
