// Binding a render module by name, the version handshake, and graphics opened through the module.
#include "platformlib/gfx/vortel.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platformlib/gfx/gfxdisplay.h"
#include "platformlib/core/memclass.h"
#include "platformlib/gfx/rowspace.h"
#include "platformlib/core/timer.h"
#include "platformlib/gfx/videowin.h"
#include "platformlib/gfx/windowdesc.h"

// The registry stand-in may be linked or not; flushing is only a courtesy to other programs.
LONG RegFlushKey(HKEY key) __attribute__((weak));

const char* const VortelEntryNames[kVortelEntries] = {
    "_VORTEL_about@0",          "_VORTEL_is@0",           "_VORTEL_init@0",          "_VORTEL_restore@0",
    "_VORTEL_selectdisplay@4",  "_VORTEL_setvideomode@12", "_VORTEL_talloc@20",       "_VORTEL_tupdate@12",
    "_VORTEL_treset@0",         "_VORTEL_window@4",       "_VORTEL_clearwindow@0",   "_VORTEL_flushwindow@0",
    "_VORTEL_pageflip@0",       "_VORTEL_idle@0",         "_VORTEL_sync@4",          "_VORTEL_clip@16",
    "_VORTEL_setstate@8",       "_VORTEL_settexture@4",   "_VORTEL_lockwindow@0",    "_VORTEL_unlockwindow@4",
    "_VORTEL_readrect@20",      "_VORTEL_writerect@20",   "_VORTEL_drawquad@16",     "_VORTEL_drawquadmesh@12",
    "_VORTEL_drawtri@12",       "_VORTEL_drawtrimesh@12", "_VORTEL_drawtristrip@8",  "_VORTEL_drawtrifan@8",
    "_VORTEL_drawline@8",       "_VORTEL_drawlinemesh@12", "_VORTEL_drawlinestrip@8", "_VORTEL_drawpoint@4",
    "_VORTEL_drawpointstrip@8", "_VORTEL_drawpointmesh@12",
};

VortelDriver vortellive{};
VortelDriver vorteldrivers[8]{};
int vortelslot = 0;
WindowDesc* savedcurrentwindow = nullptr;

namespace {

// Byte offsets of the 34 entries, in table order.
constexpr size_t kEntryOffsets[kVortelEntries] = {
    offsetof(VortelDriver, about),        offsetof(VortelDriver, is),           offsetof(VortelDriver, init),
    offsetof(VortelDriver, restore),      offsetof(VortelDriver, selectdisplay), offsetof(VortelDriver, setvideomode),
    offsetof(VortelDriver, talloc),       offsetof(VortelDriver, tupdate),      offsetof(VortelDriver, treset),
    offsetof(VortelDriver, window),       offsetof(VortelDriver, clearwindow),  offsetof(VortelDriver, flushwindow),
    offsetof(VortelDriver, pageflip),     offsetof(VortelDriver, idle),         offsetof(VortelDriver, sync),
    offsetof(VortelDriver, clip),         offsetof(VortelDriver, setstate),     offsetof(VortelDriver, settexture),
    offsetof(VortelDriver, lockwindow),   offsetof(VortelDriver, unlockwindow), offsetof(VortelDriver, readrect),
    offsetof(VortelDriver, writerect),    offsetof(VortelDriver, drawquad),     offsetof(VortelDriver, drawquadmesh),
    offsetof(VortelDriver, drawtri),      offsetof(VortelDriver, drawtrimesh),  offsetof(VortelDriver, drawtristrip),
    offsetof(VortelDriver, drawtrifan),   offsetof(VortelDriver, drawline),     offsetof(VortelDriver, drawlinemesh),
    offsetof(VortelDriver, drawlinestrip), offsetof(VortelDriver, drawpoint),   offsetof(VortelDriver, drawpointstrip),
    offsetof(VortelDriver, drawpointmesh),
};

// Entries the library calls without testing them first: a module without one of them is refused.
constexpr size_t kRequired[] = {
    offsetof(VortelDriver, init),       offsetof(VortelDriver, restore),      offsetof(VortelDriver, setvideomode),
    offsetof(VortelDriver, window),     offsetof(VortelDriver, pageflip),     offsetof(VortelDriver, setstate),
    offsetof(VortelDriver, lockwindow), offsetof(VortelDriver, unlockwindow), offsetof(VortelDriver, drawquad),
    offsetof(VortelDriver, drawtri),    offsetof(VortelDriver, drawtrimesh),  offsetof(VortelDriver, drawline),
};

bool entrypresent(const VortelDriver& d, size_t offset) {
  FARPROC p = nullptr;
  std::memcpy(&p, reinterpret_cast<const char*>(&d) + offset, sizeof p);
  return p != nullptr;
}

const char* entryname(size_t offset) {
  for (int i = 0; i < kVortelEntries; ++i)
    if (kEntryOffsets[i] == offset) return VortelEntryNames[i];
  return "?";
}

int maskslot(int n) {
  n &= 15;
  return n >= 8 ? 0 : n;
}

bool halopen = false;
bool halexitregistered = false;
bool fxexitregistered = false;
int fxexitregistrations = 0;
VortelLock* heldlock = nullptr;
WindowDesc* lockedwindow = nullptr;

int idletask() {
  if (vortellive.idle) vortellive.idle();
  return 0;
}

void closehalatexit() { closehal(1); }

CRITICAL_SECTION* closehalonabort() {
  closehal(1);
  abortdisplayhook = nullptr;
  return nullptr;
}

intptr_t svc_runtasks() { return runsystemtasks(0); }
HWND svc_mainwindow() { return gfxhooks().getmainwindowhandle(); }
intptr_t svc_sethandler(intptr_t message, intptr_t handler) { return gfxhooks().setmessagehandler(message, handler); }
intptr_t svc_gethandler(intptr_t message) { return gfxhooks().getmessagehandler(message); }
intptr_t svc_setddraw(void* object) { return gfxhooks().setddraw(object); }
intptr_t svc_lock(intptr_t flag) {
  CRITICAL_SECTION* section = gfxdisplaysection();
  if (flag) {
    if (section) entercritical(section);
    gfxstate().surfacelocked = static_cast<int32_t>(flag);
  } else {
    gfxstate().surfacelocked = 0;
    if (section) leavecritical(section);
  }
  return 0;
}
intptr_t svc_message(int32_t kind, const char* text) {
  if (!text) text = "";
  switch (kind) {
    case 0:
      ABORTCONTEXT("win\\hal.c", "halmessage");
      abortmessage("%s", text);
      break;
    case 1:
      if (debugwritehook) debugwritehook(text);
      break;
    case 2:
      std::printf("%s\n", text);
      std::fflush(stdout);
      break;
    case 3: OutputDebugStringA(text); break;
    default: break;
  }
  return 0;
}
intptr_t svc_notify(int32_t code, intptr_t) {
  if (code == 2) gfxhooks().notifydisplaychange(2);
  return 0;
}

void fxunlockdisplay() {
  vortellive.unlockwindow(heldlock);
  heldlock = nullptr;
  removerow(CurrentWindow.rows);
  removerow(CurrentWindow.cols);
  CurrentWindow.rows = nullptr;
  CurrentWindow.cols = nullptr;
}

}  // namespace

const VortelServices vortelservices = {svc_runtasks, svc_mainwindow, svc_sethandler, svc_gethandler,
                                       svc_setddraw, svc_lock,       svc_message,    svc_notify};

void selectvorteldriver(int n) {
  vortelslot = maskslot(n);
  vortellive = vorteldrivers[vortelslot];
}

void storevorteldriver(int n) { vorteldrivers[maskslot(n)] = vortellive; }

void setbuiltinvorteldriver(const VortelDriver& driver) { vorteldrivers[1] = driver; }

void VORTEL_closedll() {
  const int slot = vortelslot;
  if (vortellive.module) FreeLibrary(vortellive.module);
  vortellive.module = nullptr;
  selectvorteldriver(0);
  storevorteldriver(slot);
}

int VORTEL_opendll(const char* name) {
  if (!name) return 0;
  HMODULE module = LoadLibraryA(name);
  if (!module) {
    char retry[512];
    std::snprintf(retry, sizeof retry, "%sa", name);
    module = LoadLibraryA(retry);
    if (!module) return 0;
  }
  VortelDriver bound{};
  bound.module = module;
  for (int i = 0; i < kVortelEntries; ++i) {
    FARPROC p = GetProcAddress(module, VortelEntryNames[i]);
    std::memcpy(reinterpret_cast<char*>(&bound) + kEntryOffsets[i], &p, sizeof p);
  }
  for (size_t offset : kRequired) {
    if (entrypresent(bound, offset)) continue;
    std::printf("VORTEL_opendll - MODULE %s HAS NO ENTRY %s.\nTHE MODULE IS NOT USED.\n", name, entryname(offset));
    std::fflush(stdout);
    FreeLibrary(module);
    return 0;
  }
  vortellive = bound;
  if (vortellive.setstate) vortellive.setstate(31, kVortelVersion);
  if (!vortellive.about) return 1;
  const intptr_t record = vortellive.about();
  if (!record) return 1;
  int32_t version = 0;
  std::memcpy(&version, reinterpret_cast<const char*>(record) + 8, sizeof version);
  if (version == kVortelVersion) return 1;
  std::printf(
      "VORTEL_opendll - DRIVER VERSION MISMATCH.\nLIBRARY WANTS 104. YOUR MODULE IS %d.\nUSING 103 WILL WORK EXCEPT FOR "
      "ABOUTDISPLAYMODES\n",
      version);
  std::fflush(stdout);
  // A refused module is let go, so nothing can call into it through the table.
  vortellive = VortelDriver{};
  FreeLibrary(module);
  return 0;
}

int setvorteldriver(const char* name) {
  if (!name) return 0;
  std::string chosen = name;
  if (name[0] == '!') {
    chosen = name + 1;
  } else if (const char* env = std::getenv("VORTEL_DRIVERNAME")) {
    chosen = env;
  }
  if (vortelslot == 0) vortelslot = 1;
  if (vortellive.module) VORTEL_closedll();
  return VORTEL_opendll(chosen.c_str());
}

int vortelexitregistrations() { return fxexitregistrations; }

int halisopen() { return halopen ? 1 : 0; }

int openhal(int mode) {
  const int32_t width = gfxstate().width ? gfxstate().width : 640;
  const int32_t height = gfxstate().height ? gfxstate().height : 480;
  if (halopen) return 1;
  gfxdisplaysection();
  GfxDisplayHooks& hooks = gfxhooks();
  if (!hooks.getmainwindowhandle() && !hooks.openmainwindow(width, height, mode == 0 ? 1 : 0)) return 0;
  vortellive.setstate(18, mode);
  vortellive.setstate(25, reinterpret_cast<intptr_t>(hooks.getmainwindowhandle()));
  vortellive.setstate(19, reinterpret_cast<intptr_t>(&vortelservices));
  if (vortellive.init() == 0) {
    hooks.closemainwindow();
    return 0;
  }
  if (vortellive.idle) addsystemtask(idletask, 1);
  if (!halexitregistered) {
    halexitregistered = true;
    std::atexit(closehalatexit);
  }
  abortdisplayhook = closehalonabort;
  halopen = true;
  return 1;
}

int closehal(int closewindow) {
  if (!halopen) return 0;
  if (vortellive.idle) removesystemtask(idletask);
  if (vortellive.restore) vortellive.restore();
  if (closewindow) gfxhooks().closemainwindow();
  halopen = false;
  return 0;
}

int inithal() {
  if (!vortellive.about) {
    ABORTCONTEXT("win\\hal.c", "inithal");
    abortmessage("inithal - MUST SET VORTEL DRIVER BEFORE CALLING INITHAL.\n");
    return 0;
  }
  closegraphicshook = fxclosegraphics;
  initgraphicshook = fxinitgraphics;
  lockwindowhook = fxlockwindow;
  pagefliphook = fxpageflip;
  return 1;
}

void restorehal() {
  if (gfxstate().graphicsinit) {
    ABORTCONTEXT("win\\hal.c", "restorehal");
    abortmessage("restorehal - DO NOT CALL WHILE GRAPHICS INITIALIZED.\n");
    return;
  }
  closegraphicshook = nullptr;
  initgraphicshook = nullptr;
  lockwindowhook = nullptr;
  pagefliphook = nullptr;
}

int32_t vortelmodefor(int32_t width, int32_t height) {
  switch (width) {
    case 320: return 4;
    case 512: return 6;
    case 800: return 2;
    case 960: return 10;
    case 856: return 11;
    case 1024: return 13;
    case 1280: return 14;
    case 1600: return 15;
    default: break;
  }
  if (height == 502) return 17;
  if (height == 822) return 18;
  return 1;
}

int vortelformatdepth(int32_t format) {
  switch (format) {
    case 2: return 8;
    case 3:
    case 11: return 15;
    case 5: return 24;
    case 6: return 32;
    default: return 16;
  }
}

void fxsetdisplaysize(int32_t width, int32_t height, int32_t depth) {
  GfxDisplayState& s = gfxstate();
  s.width = width ? width : 640;
  s.height = height ? height : 480;
  s.depth = depth ? depth : 16;
  s.visiblewidth = s.width - s.leftoffset;
  s.visibleheight = s.height - s.topoffset;
  if (!s.graphicsinit) initrow();
}

int fxinitgraphics(int32_t width, int32_t height, int32_t depth) {
  if (!memstarted()) {
    ABORTCONTEXT("win\\hal.c", "fxinitgraphics");
    abortmessage("initgraphics - INITMEM REQUIRED BEFORE INITGRAPHICS\n");
    return 0;
  }
  if (width == 0) width = 640;
  if (width == -1) width = 1024;
  if (height == 0) height = 480;
  if (height == -1) height = 768;
  if (depth == 0 || depth == -1 || depth == 15) depth = 16;
  fxsetdisplaysize(width, height, depth);
  GfxDisplayState& s = gfxstate();
  if (!s.graphicsinit) {
    if (!openhal((s.options & 1) ? 0 : 1)) return 0;
    if (!fxexitregistered) {  // once, however often graphics are opened
      fxexitregistered = true;
      ++fxexitregistrations;
      std::atexit(fxclosegraphics);
    }
    abortdisplayhook = fxabortdisplay;
  }
  vortellive.setvideomode(vortelmodefor(width, height), 2, 1);
  for (WindowDesc* w : {&DisplayWindow, &SecondPage}) {
    removerow(w->rows);
    removerow(w->cols);
    w->rows = nullptr;
    w->cols = nullptr;
  }
  if (savedcurrentwindow) {
    removewindow(savedcurrentwindow);
    savedcurrentwindow = nullptr;
  }
  s.graphicsinit = 1;
  fxmakedisplaywindow(1, nullptr, &DisplayWindow);
  if (s.pages > 1) fxmakedisplaywindow(2, nullptr, &SecondPage);
  s.width = DisplayWindow.width;
  s.height = DisplayWindow.height;
  s.depth = DisplayWindow.depth;
  if (RegFlushKey) RegFlushKey(HKEY_CLASSES_ROOT);
  return 1;
}

void fxmakedisplaywindow(int surface, void* handle, WindowDesc* window) {
  if (surface == 0 || !window) return;
  if (surface == 255) {
    int32_t w = 0, h = 0, pitch = 0;
    int depth = 0;
    if (gfxhooks().describesurface(handle, &w, &h, &pitch, &depth))
      initvideowindow(window, w, h, pitch, depth, nullptr, handle);
    return;
  }
  vortellive.window(surface);
  if (VortelLock* lock = vortellive.lockwindow()) {
    window->pixels = lock->pixels;
    window->rowbytes = lock->pitch;
    window->width = lock->width;
    window->height = lock->height;
    window->depth = static_cast<uint8_t>(vortelformatdepth(lock->format));
    vortellive.unlockwindow(lock);
  }
  vortellive.window(0);
  window->signature = kWindowSignature;
  window->minx = 0;
  window->miny = 0;
  window->maxx = window->width;
  window->maxy = window->height;
  window->page = static_cast<uint8_t>(surface);
  window->shapetype = depthshapetype(window->depth);
  window->surface = handle;
  window->rows = makerow(0, window->rowbytes, 0, window->height);
  window->cols = makecolumntable(window->depth, window->width);
}

int fxlocksurface(WindowDesc* window, int surface) {
  vortellive.window(surface);
  heldlock = vortellive.lockwindow();
  if (!heldlock) return 0;
  window->pixels = heldlock->pixels;
  window->rowbytes = heldlock->pitch;
  lockedwindow = window;
  return 1;
}

void fxunlock() {
  if (lockedwindow) {
    vortellive.unlockwindow(heldlock);
    heldlock = nullptr;
    lockedwindow = nullptr;
  } else if (heldlock) {
    fxunlockdisplay();
  }
}

int fxlockwindow(WindowDesc* window) {
  if (heldlock) fxunlock();
  if (gfxstate().surfacelocked) gfxhooks().unlocksurface();
  if (!window) return 1;
  if (window->page != 0 && window->page != kVideoWindowPage) return fxlocksurface(window, window->page);
  if (window->surface) {
    uint8_t* pixels = nullptr;
    int32_t pitch = 0;
    if (!gfxhooks().locksurface(window->surface, &pixels, &pitch)) return 0;
    window->pixels = pixels;
    return 1;
  }
  return 1;
}

void fxpageflip() {
  fxunlock();
  vortellive.pageflip();
}

void fxclosegraphics() {
  if (!gfxstate().graphicsinit) return;
  fxlockwindow(nullptr);
  closehal(1);
  gfxstate().graphicsinit = 0;
  abortdisplayhook = nullptr;
}

CRITICAL_SECTION* fxabortdisplay() {
  if (gfxhooks().ismainwindowthread()) {
    fxclosegraphics();
    return nullptr;
  }
  CRITICAL_SECTION* section = gfxdisplaysection();
  if (!section) return nullptr;
  entercritical(section);
  if (gfxhooks().getmainwindowhandle()) gfxhooks().minimisemainwindow();
  return section;
}
