// The display through DirectDraw. Surface locks hold the main thread's critical section, so the window
// thread's painting waits for the frame to be finished.
#include "platformlib/display/windisplay.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platformlib/display/displaymode.h"
#include "platformlib/gfx/gfxdisplay.h"
#include "platformlib/display/mainwindow.h"
#include "platformlib/core/memclass.h"
#include "platformlib/core/timer.h"
#include "platformlib/gfx/videowin.h"
#include "platformlib/gfx/windowdesc.h"

int ddrawdebuglevel = 0;
std::atomic<const char*> ddrawresult{nullptr};

namespace {

WinDisplay display;

#define DDLOG(level, ...) debugmessage(&ddrawdebuglevel, level, __VA_ARGS__)

CRITICAL_SECTION* mainsection() {
  initmainthread();
  return mainthread.section;
}

void fail(const char* text) { ddrawresult = text; }

uint8_t depthofformat(const DDPIXELFORMAT& pf) {
  const DWORD bits = pf.dwRGBBitCount;
  if (bits == 16) return static_cast<uint8_t>(std::popcount(pf.dwRBitMask | pf.dwGBitMask | pf.dwBBitMask));
  return static_cast<uint8_t>(bits);
}

int bytesof(int depth) { return depth <= 8 ? 1 : (depth + 7) / 8; }

void copycapabilities(WinDisplay* d) {
  DDCAPS hal{}, hel{};
  hal.dwSize = hel.dwSize = sizeof(DDCAPS);
  const HRESULT hr = d->ddraw->GetCaps(&hal, &hel);
  DDLOG(1, "[DDRAW] GetCaps (HAL=%08x, HEL=%08x) (err %d)\n", static_cast<unsigned>(hal.dwCaps),
        static_cast<unsigned>(hel.dwCaps), static_cast<int>(hr));
  const DWORD c = hal.dwCaps;
  uint32_t caps = 0;
  if (c & DDCAPS_BANKSWITCHED) caps |= DCAP_BANKSWITCHED;
  if (c & DDCAPS_VBI) caps |= DCAP_VBI;
  if (c & DDCAPS_3D) caps |= DCAP_3D;
  if (!((c & DDCAPS_3D) && (c & DDCAPS_ALIGNBOUNDARYDEST))) {
    if (c & DDCAPS_BLT) caps |= DCAP_BLT;
    if (c & DDCAPS_BLTCOLORFILL) caps |= DCAP_BLTCOLORFILL;
    if (c & DDCAPS_BLTSTRETCH) caps |= DCAP_BLTSTRETCH;
    if (c & DDCAPS_CANBLTSYSMEM) caps |= DCAP_BLTSYSMEM;
  }
  if ((c & DDCAPS_COLORKEYHWASSIST) && (hal.dwCKeyCaps & DDCKEYCAPS_SRCBLT)) caps |= DCAP_SRCCOLORKEY;
  if (hal.ddsCaps.dwCaps & DDSCAPS_FLIP) caps |= DCAP_FLIP;
  d->caps = caps;
  d->canflip = (caps & DCAP_FLIP) ? 1 : 0;
  d->bankswitched = (caps & DCAP_BANKSWITCHED) ? 1 : 0;
}

// ---- the mode list -----------------------------------------------------------------------------------------------------

struct EnumContext {
  WinDisplay* display;
  bool filling;
  int32_t count;
  int32_t room;
  uint32_t depths;
  bool lied;
};

void fillmodeentry(WinDisplay* d, DisplayModeEntry* e, const DDSURFACEDESC& desc) {
  e->width = desc.dwWidth;
  e->height = desc.dwHeight;
  e->refresh = (desc.dwFlags & DDSD_REFRESHRATE) ? desc.dwRefreshRate : 0;
  e->flags = d->caps & ~(MODE_ALPHADEPTH | MODE_ZDEPTH | MODE_MODEX | DCAP_FLIP);
  if (desc.dwFlags & DDSD_ALPHABITDEPTH) e->flags |= MODE_ALPHADEPTH;
  if (desc.dwFlags & DDSD_ZBUFFERBITDEPTH) e->flags |= MODE_ZDEPTH;
  if (desc.ddsCaps.dwCaps & DDSCAPS_MODEX) e->flags |= MODE_MODEX;
  if (d->canflip) e->flags |= DCAP_FLIP;
  e->pages = static_cast<uint16_t>(1 + desc.dwBackBufferCount);
  e->bits = static_cast<uint8_t>(desc.ddpfPixelFormat.dwRGBBitCount);
  e->depth = depthofformat(desc.ddpfPixelFormat);
}

HRESULT enumdisplaymodecallback(LPDDSURFACEDESC desc, LPVOID context) {
  auto* c = static_cast<EnumContext*>(context);
  const uint8_t depth = depthofformat(desc->ddpfPixelFormat);
  DDLOG(2, "[DDRAW] %c %4dx%4dx%2d(%2d) [%4d] %1d pg %c%c 4cc=%08x\n", ' ', static_cast<int>(desc->dwWidth),
        static_cast<int>(desc->dwHeight), static_cast<int>(desc->ddpfPixelFormat.dwRGBBitCount), depth,
        static_cast<int>(desc->lPitch), static_cast<int>(1 + desc->dwBackBufferCount),
        (desc->ddsCaps.dwCaps & DDSCAPS_MODEX) ? 'X' : 'N', (desc->ddsCaps.dwCaps & DDSCAPS_FLIP) ? 'F' : 'D',
        static_cast<unsigned>(desc->ddpfPixelFormat.dwFourCC));
  switch (depth) {
    case 8: c->depths |= 0x01; break;
    case 15: c->depths |= 0x02; break;
    case 16: c->depths |= 0x04; break;
    case 24: c->depths |= 0x08; break;
    case 32: c->depths |= 0x10; break;
    default: break;
  }
  if (!c->filling) {
    ++c->count;
    return DDENUMRET_OK;
  }
  if (c->count >= c->room) {
    DDLOG(1, "[DDRAW] DirectDraw lied too badly about the number of modes, must abort search.\n");
    c->lied = true;
    return DDENUMRET_CANCEL;
  }
  fillmodeentry(c->display, &c->display->modes[c->count++], *desc);
  return DDENUMRET_OK;
}

void freemodes(WinDisplay* d) {
  if (d->modes) purgememadr(d->modes);
  d->modes = nullptr;
  d->modecount = 0;
}

// ---- surfaces ---------------------------------------------------------------------------------------------------------

bool isprimary(const WinDisplay* d, IDirectDrawSurface* s) { return s && s == d->primary; }

// Where the display's pixels start inside a locked surface: the primary shows the display at the client
// origin (windowed) or centred inside a larger mode.
void displayoffset(const WinDisplay* d, IDirectDrawSurface* s, int32_t* x, int32_t* y) {
  *x = *y = 0;
  if (!isprimary(d, s)) return;
  if (d->fullscreen) {
    *x = d->originx;
    *y = d->originy;
  } else {
    *x = std::max(0, d->winx);
    *y = std::max(0, d->winy);
  }
}

void offsetclientrect(const WinDisplay* d, IDirectDrawSurface* s, RECT* r) {
  int32_t x, y;
  displayoffset(d, s, &x, &y);
  r->left += x;
  r->right += x;
  r->top += y;
  r->bottom += y;
}

void resetpalette(WinDisplay* d) {
  if (!d->palette) return;
  const HRESULT a = d->palette->SetEntries(0, 0, 256, d->entries);
  DDLOG(1, "[DDRAW] reset palette entries (%d)\n", static_cast<int>(a));
  if (d->primary && d->depth <= 8) {
    const HRESULT b = d->primary->SetPalette(d->palette);
    DDLOG(1, "[DDRAW] reset palette (%d)\n", static_cast<int>(b));
  }
}

// Locks with recovery of lost surfaces. Called with the main thread's section held.
HRESULT restorewinsurface(WinDisplay* d, IDirectDrawSurface*& s, DDSURFACEDESC* desc) {
  HRESULT hr = s->Lock(nullptr, desc, DDLOCK_WAIT, nullptr);
  if (hr != DDERR_SURFACELOST) return hr;
  DDLOG(1, "[DDRAW] SURFACE LOST, RESTORING\n");
  s->Restore();
  if (d->primary && d->primary != s && d->primary->IsLost() == DDERR_SURFACELOST) d->primary->Restore();
  if (d->back && d->back != s && d->back->IsLost() == DDERR_SURFACELOST) d->back->Restore();
  if (s->IsLost() == DDERR_SURFACELOST) return DDERR_SURFACELOST;
  hr = s->Lock(nullptr, desc, DDLOCK_WAIT, nullptr);
  DDLOG(1, "[DDRAW] relock = %x\n", static_cast<unsigned>(hr));
  if (FAILED(hr)) {
    DDLOG(1, "[DDRAW] restore failed, reiniting\n");
    const bool wasprimary = s == d->primary, wasback = s == d->back;
    leavecritical(mainsection());
    reinitgraphics();
    entercritical(mainsection());
    // The old surfaces are gone: lock the new one in the same role, if there is one.
    s = wasprimary ? d->primary : wasback ? d->back : nullptr;
    hr = s ? s->Lock(nullptr, desc, DDLOCK_WAIT, nullptr) : DDERR_SURFACELOST;
    DDLOG(1, "[DDRAW] reinit lock = %x\n", static_cast<unsigned>(hr));
    if (FAILED(hr)) return hr;
  }
  if (d->fullscreen && !mainwindowactive() && d->window) SetForegroundWindow(d->window);
  resetpalette(d);
  DDLOG(1, "[DDRAW] restore done\n");
  if (repaintcount) repaintcount();
  return hr;
}

IDirectDrawSurface* makeprimarysurface(WinDisplay* d, DWORD memory) {
  IDirectDrawSurface* s = nullptr;
  const int backbuffers = d->surfacepages - 1;
  const DWORD other = memory == DDSCAPS_VIDEOMEMORY ? DDSCAPS_SYSTEMMEMORY : DDSCAPS_VIDEOMEMORY;
  DDLOG(1, "[DDRAW] trying for requested backsurface\n");
  s = makesurface(backbuffers, nullptr, DDSCAPS_PRIMARYSURFACE | memory);
  if (!s) {
    DDLOG(1, "[DDRAW] trying for any backsurface\n");
    s = makesurface(backbuffers, nullptr, DDSCAPS_PRIMARYSURFACE);
  }
  if (!s) {
    DDLOG(1, "[DDRAW] trying for other kind of backsurface\n");
    s = makesurface(backbuffers, nullptr, DDSCAPS_PRIMARYSURFACE | other);
  }
  if (!s && backbuffers > 0) {
    DDLOG(1, "[DDRAW] trying for nonflipping surface\n");
    d->surfacepages = 1;
    s = makesurface(0, nullptr, DDSCAPS_PRIMARYSURFACE);
  }
  return s;
}

void removedisplaywindows(WinDisplay* d) {
  if (d->primarywindow) removevideowindow(d->primarywindow);
  if (d->backwindow) removevideowindow(d->backwindow);
  d->primarywindow = d->backwindow = nullptr;
  if (d->librarywindow) {
    removewindow(d->librarywindow);
    d->librarywindow = nullptr;
    std::memset(&SecondPage, 0, sizeof SecondPage);
  }
}

}  // namespace

WinDisplay& windisplay() { return display; }

int createwindisplay(WinDisplay* d) {
  d = displayrecord(d);
  mainsection();
  IDirectDraw* first = nullptr;
  HRESULT hr = E_FAIL;
  const bool emulation = (displayoptions & DISPLAY_EMULATION) != 0;
  if (!emulation) {
    DDLOG(1, "[DDRAW] create default HAL\n");
    hr = DirectDrawCreate(nullptr, &first, nullptr);
    ++d->createcount;
    DDLOG(1, "[DDRAW] DirectDrawCreate(%x) = 0x%08x, count = %d, err = %d\n", 0u, static_cast<unsigned>(hr),
          static_cast<int>(d->createcount), static_cast<int>(hr));
  }
  if (emulation || FAILED(hr)) {
    DDLOG(1, "[DDRAW] create HEL\n");
    hr = DirectDrawCreate(DDCREATE_EMULATIONONLY, &first, nullptr);
    ++d->createcount;
    DDLOG(1, "[DDRAW] DirectDrawCreate(%x) = 0x%08x, count = %d, err = %d\n", 2u, static_cast<unsigned>(hr),
          static_cast<int>(d->createcount), static_cast<int>(hr));
    if (FAILED(hr)) {
      fail("FAILED DirectDrawCreate");
      return 0;
    }
  }
  void* second = nullptr;
  hr = first->QueryInterface(IID_IDirectDraw2, &second);
  first->Release();
  DDLOG(1, "[DDRAW] Query for DirectDraw2, err = %d\n", static_cast<int>(hr));
  if (FAILED(hr) || !second) {
    fail("FAILED TO ACQUIRE DDRAW2 INTERFACE");
    return 0;
  }
  d->ddraw = static_cast<IDirectDraw2*>(second);
  copycapabilities(d);
  gfxstate().ddraw = d->ddraw;
  ++gfxstate().ddrawchanges;
  return 1;
}

int accesswindisplay(WinDisplay* d) {
  d = displayrecord(d);
  if (!d->ddraw) {
    fail("DIRECTDRAW IS NOT INITIALIZED");
    return 0;
  }
  if (!d->window) {
    fail("GDI WINDOW DOES NOT EXIST.");
    return 0;
  }
  HRESULT hr;
  if (!d->fullscreen) {
    DDLOG(1, "[DDRAW] about to set windowed cooperative level\n");
    hr = d->ddraw->SetCooperativeLevel(d->window, DDSCL_NORMAL);
  } else {
    DDLOG(1, "[DDRAW] about to set fullscreen cooperative level\n");
    hr = d->ddraw->SetCooperativeLevel(
        d->window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | (d->modexwanted ? DDSCL_ALLOWMODEX : 0));
  }
  DDLOG(1, "[DDRAW] have set cooperative level (err = %d)\n", static_cast<int>(hr));
  if (FAILED(hr)) {
    fail("FAILED TO SetCooperativeLevel");
    return 0;
  }
  EnumContext c{d, false, 0, 0, 0, false};
  DDLOG(1, "[DDRAW] Counting DDraw modes: ");
  hr = d->ddraw->EnumDisplayModes(DDEDM_REFRESHRATES, nullptr, &c, enumdisplaymodecallback);
  DDLOG(1, "%d modes\n", static_cast<int>(c.count));
  if (FAILED(hr)) {
    fail("COULD NOT ENUMERATE DISPLAY MODES");
    return 0;
  }
  freemodes(d);
  const int32_t room = std::max<int32_t>(c.count, 16);
  d->modes = static_cast<DisplayModeEntry*>(
      reservememadr("DDRAWMODES", room * static_cast<int>(sizeof(DisplayModeEntry)), 0));
  if (!d->modes) {
    fail("FAILED TO ALLOCATE MEMORY FOR MODE LIST");
    return 0;
  }
  std::memset(d->modes, 0, sizeof(DisplayModeEntry) * static_cast<size_t>(room));
  c = EnumContext{d, true, 0, room, 0, false};
  hr = d->ddraw->EnumDisplayModes(DDEDM_REFRESHRATES, nullptr, &c, enumdisplaymodecallback);
  d->modecount = c.count;
  DDLOG(1, "[DDRAW] enumdisplaymodes %d modes, defaults %04x, err = %d\n", static_cast<int>(c.count),
        static_cast<unsigned>(c.depths), static_cast<int>(hr));
  d->paletteversion = 0x300;
  d->palettecount = 256;
  if (!d->fullscreen && !d->clipper) {
    if (SUCCEEDED(d->ddraw->CreateClipper(0, &d->clipper, nullptr))) d->clipper->SetHWnd(0, d->window);
  }
  return 1;
}

int setwindisplaymode(WinDisplay* d, int32_t index) {
  d = displayrecord(d);
  DDLOG(1, "[DDRAW] set display mode (%d)\n", static_cast<int>(index));
  if (!d->ddraw) {
    fail("DIRECTDRAW IS NOT INITIALIZED");
    return 0;
  }
  DDSURFACEDESC now{};
  now.dwSize = sizeof now;
  HRESULT hr = d->ddraw->GetDisplayMode(&now);
  DDLOG(1, "[DDRAW] current display mode (err %d) = %d x %d x %d\n", static_cast<int>(hr),
        static_cast<int>(now.dwWidth), static_cast<int>(now.dwHeight),
        static_cast<int>(now.ddpfPixelFormat.dwRGBBitCount));
  if (!d->fullscreen) {
    if (d->window) {
      if (d->winx < -5000 || d->winy < -5000)
        centremainwindow(d->width, d->height);
      else
        placemainwindow(d->winx, d->winy, d->width, d->height);
      int32_t w = d->width, h = d->height;
      getclientsize(&w, &h);
      d->width = w;
      d->height = h;
    }
    d->depth = SUCCEEDED(hr) ? depthofformat(now.ddpfPixelFormat) : 16;
    d->windepth = static_cast<uint8_t>(d->depth);
    d->originx = d->originy = 0;
    d->modeindex = index;
    return 1;
  }
  if (!d->modes || !d->modecount) {
    DDLOG(1, "[DDRAW] ddraw modes not initialized\n");
    return 0;
  }
  uint32_t width, height, bits, refresh;
  int32_t depth;
  DisplayModeEntry* entry = nullptr;
  if (index == -1) {
    DDLOG(1, "[DDRAW] trying for default display mode\n");
    width = 640;
    height = 480;
    bits = 16;
    depth = 16;
    refresh = 0;
  } else {
    if (index < 0 || index >= d->modecount) index = 0;
    entry = &d->modes[index];
    width = entry->width;
    height = entry->height;
    bits = entry->bits;
    depth = entry->depth;
    refresh = entry->refresh;
    DDLOG(1, "[DDRAW] mode parameters = %d x %d x %d\n", static_cast<int>(width), static_cast<int>(height),
          static_cast<int>(bits));
  }
  if (d->palette) {
    std::memset(d->entries, 0, sizeof d->entries);
    d->dirtyfirst = 0;
    d->dirtylast = 255;
  }
  DDLOG(1, "[DDRAW] calling IDirectDraw2_SetDisplayMode... ");
  hr = d->ddraw->SetDisplayMode(width, height, bits, refresh, 0);
  DDLOG(1, "[DDRAW] IDirectDraw2_SetDisplayMode (err=%d)\n", static_cast<int>(hr));
  DDSURFACEDESC got{};
  got.dwSize = sizeof got;
  d->ddraw->GetDisplayMode(&got);
  const int32_t gotdepth = depthofformat(got.ddpfPixelFormat);
  int result;
  if (SUCCEEDED(hr) && gotdepth == depth) {
    result = 1;
    d->width = static_cast<int32_t>(width);
    d->height = static_cast<int32_t>(height);
    d->depth = depth;
    d->windepth = static_cast<uint8_t>(depth);
    d->modeindex = index;
    // A driver that set a larger mode shows the asked one in its middle.
    d->originx = got.dwWidth > width ? static_cast<int32_t>(got.dwWidth - width) / 2 : 0;
    d->originy = got.dwHeight > height ? static_cast<int32_t>(got.dwHeight - height) / 2 : 0;
  } else if (hr == DDERR_NOEXCLUSIVEMODE) {
    result = -1;
  } else {
    result = 0;
    if (entry) entry->flags |= MODEFAILED;
  }
  RegFlushKey(HKEY_CLASSES_ROOT);
  DDLOG(1, "[DDRAW] setdisplaymode requested %dx%dx%d, and got %dx%dx%d\n", static_cast<int>(width),
        static_cast<int>(height), static_cast<int>(bits), static_cast<int>(got.dwWidth),
        static_cast<int>(got.dwHeight), static_cast<int>(got.ddpfPixelFormat.dwRGBBitCount));
  return result;
}

int releasewinsurfaces(WinDisplay* d) {
  d = displayrecord(d);
  entercritical(mainsection());
  DDLOG(1, "[DDRAW] removing previous surfaces & windows\n");
  if (d->locked) unlocksurface();
  removedisplaywindows(d);
  if (d->back) {
    d->back->Release();  // an attached back buffer goes with its primary; our reference goes here
    d->back = nullptr;
  }
  if (d->primary) {
    d->primary->Release();
    d->primary = nullptr;
  }
  d->modexprimary = 0;
  DDLOG(1, "[DDRAW] old video system destroyed\n");
  leavecritical(mainsection());
  return 1;
}

int configwindisplay(WinDisplay* d) {
  d = displayrecord(d);
  DDLOG(1, "[DDRAW] configwindisplay\n");
  if (d->locked) {
    ABORTCONTEXT("windisplay.cpp", "configwindisplay");
    abortmessage("initgraphics - CONFIG DISPLAY WHILE SURFACE LOCKED, PLEASE REPORT.\n");
    return 0;
  }
  if (!d->ddraw) {
    fail("DIRECTDRAW IS NOT INITIALIZED");
    return 0;
  }
  entercritical(mainsection());
  releasewinsurfaces(d);
  copycapabilities(d);
  if (d->pages == 0) d->pages = 1;
  if (d->pages > 2) {
    leavecritical(mainsection());
    fail("ONLY 1 OR 2 VIDEO PAGES SUPPORTED.");
    return 0;
  }
  if (d->modexwanted) {
    d->libmem = 0;
    d->sysmem = 1;
    d->pages = 2;
    d->surfacepages = 1;
  }
  if (d->libmem) d->sysmem = d->blitting = 1;
  const bool pageflip = d->surfacepages == 2 && !(!d->canflip && d->bankswitched) &&
                        !((d->sysmem || d->blitting) && !d->modexwanted);
  // The palette: all 256 entries go to the device again.
  if (!d->palette) {
    d->ddraw->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, d->entries, &d->palette, nullptr);
  } else {
    d->palette->SetEntries(0, 0, 256, d->entries);
  }
  d->dirtyfirst = 0;
  d->dirtylast = 255;
  DDLOG(1, "[DDRAW] Requested config: %s, %s\n", pageflip ? "pageflip" : "doublebuffer",
        d->libmem ? "LIBMEM" : pageflip ? "VRAM" : "DRAM");
  d->primary = makeprimarysurface(d, d->sysmem && !pageflip ? DDSCAPS_SYSTEMMEMORY : DDSCAPS_VIDEOMEMORY);
  if (d->primary) {
    DDSCAPS caps{};
    d->primary->GetCaps(&caps);
    d->modexprimary = (caps.dwCaps & DDSCAPS_MODEX) ? 1 : 0;
  }
  if (!d->primary || d->modexprimary) {
    DDLOG(1, "[DDRAW] recreate ModeX primary surface\n");
    if (d->primary) d->primary->Release();
    d->pages = 2;
    d->primary = makeprimarysurface(d, DDSCAPS_SYSTEMMEMORY);
  }
  if (!d->primary) {
    leavecritical(mainsection());
    fail("FAILED TO CREATE PRIMARY SURFACE");
    return 0;
  }
  if (!d->fullscreen && d->clipper) d->primary->SetClipper(d->clipper);
  if (d->modes && d->modeindex >= 0 && d->modeindex < d->modecount) {
    DisplayModeEntry& e = d->modes[d->modeindex];
    e.flags = (e.flags & ~DCAP_FLIP) | (d->surfacepages == 2 ? DCAP_FLIP : 0);
  }
  // The back buffer.
  char backkind = ' ';
  if (d->surfacepages == 2) {
    DDSCAPS caps{DDSCAPS_BACKBUFFER};
    if (SUCCEEDED(d->primary->GetAttachedSurface(&caps, &d->back))) backkind = 'V';
  } else if (!d->libmem && d->pages > 1) {
    if (!d->sysmem && !d->blitting) {
      DDLOG(1, "[DDRAW] make backbuffer VRAM surface\n");
      d->back = makesurface(0, nullptr, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY);
      if (d->back) backkind = 'V';
    }
    if (!d->back) {
      DDLOG(1, "[DDRAW] make backbuffer DRAM surface\n");
      d->back = makesurface(0, nullptr, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY);
      if (d->back) backkind = 'D';
    }
  }
  int32_t pitch = 0;
  getsurfaceinfo(d->primary, nullptr, nullptr, &pitch, nullptr, nullptr);
  d->primarywindow = makevideowindow(d->width, d->height, pitch, d->windepth, -1, nullptr, d->primary);
  if (d->back) {
    int32_t backpitch = 0;
    getsurfaceinfo(d->back, nullptr, nullptr, &backpitch, nullptr, nullptr);
    d->backwindow = makevideowindow(d->width, d->height, backpitch, d->windepth, -2, nullptr, d->back);
  } else if (d->pages == 2) {
    DDLOG(1, "[DDRAW] attempting to use library window\n");
    d->librarywindow = createwindowadr(d->width, d->height, d->windepth);
    if (d->librarywindow) {
      SecondPage = *d->librarywindow;
      backkind = 'L';
    }
  }
  DDLOG(1, "[DDRAW] New video mode: %3dx%3dx%2d(%2d) [%4d] %1dpg %c%c%c%c\n", static_cast<int>(d->width),
        static_cast<int>(d->height), static_cast<int>(d->depth), static_cast<int>(d->windepth),
        static_cast<int>(pitch), static_cast<int>(d->surfacepages), d->modexprimary ? 'X' : ' ', backkind,
        d->blitting ? 'B' : ' ', d->surfacepages == 2 ? 'F' : ' ');
  leavecritical(mainsection());
  if (repaintcount) repaintcount();
  return 1;
}

int disposewindisplay(WinDisplay* d) {
  d = displayrecord(d);
  DDLOG(1, "[DDRAW] disposewindisplay\n");
  entercritical(mainsection());
  releasewinsurfaces(d);
  if (d->palette) d->palette->Release();
  if (d->clipper) d->clipper->Release();
  if (d->ddraw) {
    DDLOG(1, "[DDRAW] direct draw object ...");
    d->ddraw->Release();
    DDLOG(1, "released!\n");
  }
  freemodes(d);
  d->ddraw = nullptr;
  d->clipper = nullptr;
  d->palette = nullptr;
  gfxstate().ddraw = nullptr;
  ++gfxstate().ddrawchanges;
  leavecritical(mainsection());
  return 1;
}

// ---- locking ------------------------------------------------------------------------------------------------------------

int locksurface(IDirectDrawSurface* surface, int updatewindow) {
  WinDisplay* d = &display;
  if (d->locked && d->locked == surface) return 1;
  if (d->locked) unlocksurface();
  if (!surface) return 0;
  entercritical(mainsection());
  // A full-screen game in the background draws nothing; the caller skips the frame.
  if (d->fullscreen && (!mainwindowactive() || (d->window && IsIconic(d->window)))) {
    leavecritical(mainsection());
    return 0;
  }
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  const HRESULT hr = restorewinsurface(d, surface, &desc);
  d->locktick = GetTickCount();
  if (FAILED(hr)) {
    if (d->lockfailures++ == 0)
      DDLOG(1, "[DDRAW] locksurface - FAILED TO LOCK SURFACE (%08x)\n", static_cast<unsigned>(hr));
    leavecritical(mainsection());
    return 0;
  }
  if (d->lockfailures) {
    DDLOG(1, "[DDRAW] locksurface - RESTORED\n");
    d->lockfailures = 0;
  }
  int32_t ox, oy;
  displayoffset(d, surface, &ox, &oy);
  d->locked = surface;
  d->lockedpitch = desc.lPitch;
  d->lockedaddress = static_cast<uint8_t*>(desc.lpSurface) + static_cast<ptrdiff_t>(oy) * desc.lPitch +
                     static_cast<ptrdiff_t>(ox) * bytesof(depthofformat(desc.ddpfPixelFormat));
  gfxstate().surfacelocked = 1;
  if (updatewindow) updatevideowindow(nullptr, d->lockedpitch, d->lockedaddress);
  return 1;
}

void unlocksurface() {
  WinDisplay* d = &display;
  if (!d->locked) return;
  d->locked->Unlock(nullptr);
  d->lastlockms = GetTickCount() - d->locktick;
  d->longestlockms = std::max(d->longestlockms, d->lastlockms);
  d->locked = nullptr;
  d->lockedaddress = nullptr;
  gfxstate().surfacelocked = 0;
  leavecritical(mainsection());
}

int relocksurface() {
  WinDisplay* d = &display;
  if (!d->locked) return 0;
  IDirectDrawSurface* surface = d->locked;
  uint8_t* address = d->lockedaddress;
  unlocksurface();  // the window thread may paint now
  if (locksurface(surface, 0) && d->lockedaddress == address) return 1;
  unlocksurface();
  releasewindow();
  DDLOG(1, "relocksurface failed\n");
  return 0;
}

int surfacelocked() { return display.locked ? 1 : 0; }

IDirectDrawSurface* makesurface(int backbuffers, const DDPIXELFORMAT* format, DWORD caps, int32_t width,
                                int32_t height) {
  WinDisplay* d = &display;
  if (format) {
    ABORTCONTEXT("windisplay.cpp", "makesurface");
    abortmessage("makesurface - ALTERNATIVE TEXTURE FORMATS NOT YET SUPPORTED.\n");
    return nullptr;
  }
  if (!d->ddraw) return nullptr;
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = caps;
  if (backbuffers > 0) {
    desc.dwFlags |= DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = static_cast<DWORD>(backbuffers);
    desc.ddsCaps.dwCaps |= DDSCAPS_COMPLEX | DDSCAPS_FLIP;
  }
  if (!(caps & DDSCAPS_PRIMARYSURFACE)) {
    desc.dwFlags |= DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = static_cast<DWORD>(width > 0 ? width : d->width);
    desc.dwHeight = static_cast<DWORD>(height > 0 ? height : d->height);
    if (d->primary) {
      desc.dwFlags |= DDSD_PIXELFORMAT;
      desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
      d->primary->GetPixelFormat(&desc.ddpfPixelFormat);
    }
  }
  DDLOG(1, "[DDRAW] CreateSurface(%dx%dx%d %d pages)\n", static_cast<int>(desc.dwWidth),
        static_cast<int>(desc.dwHeight), static_cast<int>(d->depth), backbuffers + 1);
  IDirectDrawSurface* s = nullptr;
  const HRESULT hr = d->ddraw->CreateSurface(&desc, &s, nullptr);
  if (FAILED(hr) || !s) {
    DDLOG(1, "[DDRAW] CreateSurface err=%x\n", static_cast<unsigned>(hr));
    return nullptr;
  }
  DDLOG(1, "[DDRAW] Surface created\n");
  DDSURFACEDESC probe{};
  probe.dwSize = sizeof probe;
  HRESULT lock = s->Lock(nullptr, &probe, DDLOCK_WAIT, nullptr);
  if (lock == DDERR_SURFACELOST && SUCCEEDED(s->Restore())) lock = s->Lock(nullptr, &probe, DDLOCK_WAIT, nullptr);
  if (FAILED(lock)) {
    DDLOG(1, "[DDRAW] CreateSurface LOCK failure (%x)\n", static_cast<unsigned>(lock));
    if (!d->modexprimary) {
      s->Release();
      return nullptr;
    }
  } else {
    s->Unlock(nullptr);
  }
  DDPIXELFORMAT pf{};
  pf.dwSize = sizeof pf;
  s->GetPixelFormat(&pf);
  DDCOLORKEY key{};
  if (pf.dwRGBBitCount <= 8) {
    key.dwColorSpaceLowValue = key.dwColorSpaceHighValue = 255;
    if (d->palette) s->SetPalette(d->palette);
  }
  s->SetColorKey(DDCKEY_SRCBLT, &key);
  return s;
}

void releasesurface(IDirectDrawSurface* surface) {
  if (!surface) return;
  if (display.locked == surface) unlocksurface();
  surface->Release();
}

void storewinpalette(int first, int count, const uint32_t* colours) {
  WinDisplay* d = &display;
  if (first < 0 || count <= 0 || first >= 256) return;
  count = std::min(count, 256 - first);
  for (int i = 0; i < count; ++i) {
    const uint32_t c = colours[i];
    d->entries[first + i] = PALETTEENTRY{static_cast<BYTE>(c >> 16), static_cast<BYTE>(c >> 8), static_cast<BYTE>(c), 0};
  }
  d->dirtyfirst = static_cast<int16_t>(std::min<int>(d->dirtyfirst, first));
  d->dirtylast = static_cast<int16_t>(std::max<int>(d->dirtylast, first + count - 1));
}

int setwinpalette() {
  WinDisplay* d = &display;
  if (d->locked) {
    ABORTCONTEXT("windisplay.cpp", "setwinpalette");
    abortmessage("setwinpalette - SURFACE MAY NOT BE LOCKED DURING SETPALETTE.\n");
    return 0;
  }
  if (d->depth <= 8 && d->palette && d->dirtyfirst <= d->dirtylast && d->dirtyfirst < 256) {
    DDLOG(2, "[DDRAW] setwinpalette\n");
    const int first = std::max<int>(0, d->dirtyfirst), last = std::min<int>(255, d->dirtylast);
    const HRESULT hr = d->palette->SetEntries(0, static_cast<DWORD>(first), static_cast<DWORD>(last - first + 1),
                                              &d->entries[first]);
    DDLOG(2, "[DDRAW] set entries (%d, %d); err=%d\n", first, last, static_cast<int>(hr));
    if (!d->fullscreen) d->palette->GetEntries(0, 0, 256, d->entries);
  }
  d->dirtyfirst = 256;
  d->dirtylast = -1;
  return 1;
}

void getwinpalette(uint32_t* entries) {
  for (int i = 0; i < 256; ++i) {
    const PALETTEENTRY& e = display.entries[i];
    entries[i] = 0xFF000000u | (static_cast<uint32_t>(e.peRed) << 16) | (static_cast<uint32_t>(e.peGreen) << 8) |
                 e.peBlue;
  }
}

int flipwindisplay(int wait) {
  WinDisplay* d = &display;
  if (d->locked) unlocksurface();
  if (!d->primary) return 0;
  entercritical(mainsection());
  HRESULT hr = DD_OK;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (d->surfacepages == 2 && d->back) {
      hr = d->primary->Flip(nullptr, wait ? DDFLIP_WAIT : 0);
    } else if (d->back) {
      RECT src{0, 0, d->width, d->height};
      RECT dst = src;
      offsetclientrect(d, d->primary, &dst);
      hr = d->primary->Blt(&dst, d->back, &src, DDBLT_WAIT, nullptr);
    } else if (d->librarywindow) {
      DDSURFACEDESC desc{};
      desc.dwSize = sizeof desc;
      hr = d->primary->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
      if (SUCCEEDED(hr)) {
        int32_t ox, oy;
        displayoffset(d, d->primary, &ox, &oy);
        const int bpp = bytesof(d->windepth);
        const WindowDesc* w = d->librarywindow;
        for (int32_t row = 0; row < w->height && row + oy < static_cast<int32_t>(desc.dwHeight); ++row) {
          const int32_t n = std::min<int32_t>(w->width, static_cast<int32_t>(desc.dwWidth) - ox);
          if (n > 0)
            std::memcpy(static_cast<uint8_t*>(desc.lpSurface) + static_cast<ptrdiff_t>(row + oy) * desc.lPitch +
                            static_cast<ptrdiff_t>(ox) * bpp,
                        w->pixels + static_cast<ptrdiff_t>(row) * w->rowbytes, static_cast<size_t>(n) * bpp);
        }
        d->primary->Unlock(nullptr);
      }
    }
    if (hr != DDERR_SURFACELOST) break;
    d->primary->Restore();
    if (d->back && d->back->IsLost() == DDERR_SURFACELOST) d->back->Restore();
    resetpalette(d);
  }
  leavecritical(mainsection());
  return SUCCEEDED(hr) ? 1 : 0;
}

int blitsurfacefx(IDirectDrawSurface* destination, RECT* destrect, IDirectDrawSurface* source, RECT* sourcerect,
                  int transparent, uint32_t effects) {
  WinDisplay* d = &display;
  if (!destination) return 0;
  if (d->locked) unlocksurface();
  RECT dst{}, src{};
  RECT* dp = nullptr;
  if (destrect) {
    dst = *destrect;
    offsetclientrect(d, destination, &dst);
    dp = &dst;
  }
  if (sourcerect) {
    src = *sourcerect;
    if (source) offsetclientrect(d, source, &src);
  }
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  DWORD flags = DDBLT_WAIT | (transparent ? DDBLT_KEYSRC : 0);
  if (effects) {
    flags |= DDBLT_DDFX;
    static const DWORD kRotate[4] = {0, DDBLTFX_ROTATE90, DDBLTFX_ROTATE180, DDBLTFX_ROTATE270};
    fx.dwDDFX = kRotate[effects & 3] | ((effects & 4) ? DDBLTFX_MIRRORLEFTRIGHT : 0) |
                ((effects & 8) ? DDBLTFX_MIRRORUPDOWN : 0);
  }
  const HRESULT hr = destination->Blt(dp, source, sourcerect ? &src : nullptr, flags, effects ? &fx : nullptr);
  return SUCCEEDED(hr) ? 1 : 0;
}

int blitsurface(IDirectDrawSurface* destination, RECT* destrect, IDirectDrawSurface* source, RECT* sourcerect,
                int transparent) {
  return blitsurfacefx(destination, destrect, source, sourcerect, transparent, 0);
}

int getsurfaceinfo(IDirectDrawSurface* surface, int32_t* width, int32_t* height, int32_t* pitch, uint8_t** address,
                   int32_t* depth) {
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  const bool ok = surface && SUCCEEDED(surface->GetSurfaceDesc(&desc));
  if (width) *width = ok ? static_cast<int32_t>(desc.dwWidth) : 0;
  if (height) *height = ok ? static_cast<int32_t>(desc.dwHeight) : 0;
  if (pitch) *pitch = ok ? desc.lPitch : 0;
  if (address) *address = ok ? static_cast<uint8_t*>(desc.lpSurface) : nullptr;
  if (depth) *depth = ok ? depthofformat(desc.ddpfPixelFormat) : 0;
  return ok ? 1 : 0;
}

int isdisplaymodex() { return display.modexprimary; }
IDirectDraw2* getdirectdraw() { return display.ddraw; }
uint32_t getddrawcreatecount() { return display.createcount; }
void getclientsize(int32_t* width, int32_t* height) {
  if (width) *width = mainwindowstate().width;
  if (height) *height = mainwindowstate().height;
}
int surfacelost(IDirectDrawSurface* surface) { return surface && surface->IsLost() == DDERR_SURFACELOST; }
IDirectDrawSurface* getbacksurface() { return display.back; }
void focuswindisplay() {
  if (display.window) SetForegroundWindow(display.window);
}

// ---- the drawing code's display seam ------------------------------------------------------------------------------------

namespace {

IDirectDrawSurface* asurface(void* s) { return static_cast<IDirectDrawSurface*>(s); }

int seamlock(void* surface, uint8_t** pixels, int32_t* pitch) {
  if (!locksurface(asurface(surface), 0)) return 0;
  if (pixels) *pixels = display.lockedaddress;
  if (pitch) *pitch = display.lockedpitch;
  return 1;
}

int seamblit(void* destination, int32_t dx, int32_t dy, void* source, int32_t sx, int32_t sy, int32_t w, int32_t h,
             uint32_t flags) {
  RECT dst{dx, dy, dx + w, dy + h}, src{sx, sy, sx + w, sy + h};
  return blitsurface(asurface(destination), &dst, asurface(source), &src, (flags & kBlitTransparent) != 0);
}

int seamstretch(void* destination, int32_t dx, int32_t dy, int32_t dw, int32_t dh, void* source, int32_t sx,
                int32_t sy, int32_t sw, int32_t sh, uint32_t flags) {
  RECT dst{dx, dy, dx + dw, dy + dh}, src{sx, sy, sx + sw, sy + sh};
  return blitsurface(asurface(destination), &dst, asurface(source), &src, (flags & kBlitTransparent) != 0);
}

int seamfill(void* destination, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
  IDirectDrawSurface* s = asurface(destination);
  if (!s) return 0;
  if (display.locked) unlocksurface();
  RECT r{x, y, x + w, y + h};
  offsetclientrect(&display, s, &r);
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = colour;
  return SUCCEEDED(s->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx)) ? 1 : 0;
}

void* seammake(int32_t width, int32_t height, int, uint32_t options) {
  return makesurface(0, nullptr, DDSCAPS_OFFSCREENPLAIN | (options ? DDSCAPS_SYSTEMMEMORY : 0), width, height);
}

void seamrelease(void* surface) { releasesurface(asurface(surface)); }

int seamdescribe(void* surface, int32_t* width, int32_t* height, int32_t* pitch, int* depth) {
  int32_t d = 0;
  const int ok = getsurfaceinfo(asurface(surface), width, height, pitch, nullptr, &d);
  if (depth) *depth = d;
  return ok;
}

void seampresent() { flipwindisplay(1); }

int seampalette(WindowDesc*, int first, int count, const uint32_t* entries, uint32_t* held) {
  storewinpalette(first, count, entries);
  setwinpalette();
  uint32_t all[256];
  getwinpalette(all);
  for (int i = 0; i < count && first + i < 256; ++i) held[i] = (entries[i] & 0xFF000000u) | (all[first + i] & 0xFFFFFFu);
  return 1;
}

int seamopen(int32_t width, int32_t height, int flag) { return openmainwindow(width, height, flag) ? 1 : 0; }

intptr_t seamsethandler(intptr_t message, intptr_t handler) {
  return setmessagehandler(static_cast<UINT>(message), reinterpret_cast<WinMessageHandler>(handler));
}
intptr_t seamgethandler(intptr_t message) {
  return reinterpret_cast<intptr_t>(getmessagehandler(static_cast<UINT>(message)));
}

// The display keeps a reference of its own to a module's DirectDraw: its disposal releases the object it holds.
int seamsetddraw(void* object) {
  auto* next = static_cast<IDirectDraw2*>(object);
  if (next) next->AddRef();
  if (display.ddraw) display.ddraw->Release();
  display.ddraw = next;
  gfxstate().ddraw = object;
  ++gfxstate().ddrawchanges;
  return 1;
}

void seamnotify(int) {
  if (repaintcount) repaintcount();
}

}  // namespace

void installwindisplayhooks() {
  GfxDisplayHooks& h = gfxhooks();
  h.locksurface = seamlock;
  h.unlocksurface = unlocksurface;
  h.relocksurface = relocksurface;
  h.blit = seamblit;
  h.stretchblit = seamstretch;
  h.fill = seamfill;
  h.makesurface = seammake;
  h.releasesurface = seamrelease;
  h.describesurface = seamdescribe;
  h.present = seampresent;
  h.setwinpalette = seampalette;
  h.openmainwindow = seamopen;
  h.closemainwindow = closemainwindow;
  h.getmainwindowhandle = getmainwindowhandle;
  h.ismainwindowthread = ismainwindowthread;
  h.minimisemainwindow = minimisemainwindow;
  h.setmessagehandler = seamsethandler;
  h.getmessagehandler = seamgethandler;
  h.setddraw = seamsetddraw;
  h.notifydisplaychange = seamnotify;
  surfacelockedhook = surfacelocked;
}
