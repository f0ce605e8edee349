// Window creation and selection, and the dirty-rectangle zones.
#include "platformlib/gfx/windowdesc.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platformlib/gfx/gfxdisplay.h"
#include "platformlib/core/memclass.h"
#include "platformlib/gfx/pixels.h"
#include "platformlib/gfx/rowspace.h"
#include "platformlib/gfx/videowin.h"

WindowDesc CurrentWindow;
WindowDesc DisplayWindow;
WindowDesc SecondPage;
int32_t windowallocfailures = 0;

namespace {

// Column offsets use the depth rounded up to even (15 counts as 16, 0 as 8); 1-bit rows pack 8 a byte.
int columnstep(int depth) {
  if (depth == 0) return 8;
  if (depth == 1) return 1;
  return (depth + 1) & ~1;
}

// Where drawing goes while a surface cannot be locked: 8 x 8 pixels in the display's depth, kept outside the
// library's memory so that it never dangles.
WindowDesc scratchwindow() {
  static uint8_t pixels[8 * 8 * 4];
  static int32_t rows[8], cols[8];
  int depth = gfxstate().depth ? gfxstate().depth : 8;
  if (!depthshapetype(depth)) depth = 8;
  WindowDesc w;
  initwindowfields(&w, 8, 8, depth, windowrowbytes(8, depth), pixels);
  for (int i = 0; i < 8; ++i) {
    rows[i] = i * w.rowbytes;
    cols[i] = (i * columnstep(depth)) >> 3;
  }
  w.rows = rows;
  w.cols = cols;
  return w;
}

}  // namespace

uint8_t depthshapetype(int depth) {
  switch (depth) {
    case 1: return 0x79;
    case 4: return 0x7A;
    case 8: return 0x7B;
    case 15: return 0x7E;
    case 16: return 0x78;
    case 24: return 0x7F;
    case 32: return 0x7D;
    default: return 0;
  }
}

int32_t windowrowbytes(int32_t width, int depth) {
  const int bits = depth == 15 ? 16 : depth;
  return static_cast<int32_t>((static_cast<int64_t>(width) * bits + 7) / 8);
}

void initwindowfields(WindowDesc* window, int32_t width, int32_t height, int depth, int32_t rowbytes, uint8_t* pixels) {
  *window = WindowDesc{};
  window->signature = kWindowSignature;
  window->width = width;
  window->height = height;
  window->maxx = width;
  window->maxy = height;
  window->depth = static_cast<uint8_t>(depth);
  window->shapetype = depthshapetype(depth);
  window->rowbytes = rowbytes;
  window->pixels = pixels;
}

int32_t* makecolumntable(int depth, int32_t width) { return makerow(0, columnstep(depth), 3, width); }

WindowDesc* createwindowadra(int32_t width, int32_t height, int depth, int abortflag) {
  if (depth == 0) depth = gfxstate().depth ? gfxstate().depth : 8;
  if (width < 0 || width > kMaxWindowWidth || height < 0 || height > kMaxWindowHeight) {
    if (abortflag) {
      ABORTCONTEXT("win\\window.c", "createwindowadra");
      abortmessage("createwindow - INVALID WINDOW DIMENSIONS\nrequested: %dx%dx%d maximum: %dx%d\n", width, height,
                   depth, kMaxWindowWidth, kMaxWindowHeight);
    }
    return nullptr;
  }
  const uint8_t type = depthshapetype(depth);
  if (!type) {
    if (abortflag) {
      ABORTCONTEXT("win\\window.c", "createwindowadra");
      abortmessage("createwindow - INVALID DEPTH\nrequested: %dx%dx%d BPP MUST BE 1,4,8,15,16,24,OR 32\n", width,
                   height, depth);
    }
    return nullptr;
  }
  const int32_t rowbytes = windowrowbytes(width, depth);
  const int64_t bytes = static_cast<int64_t>(rowbytes) * height + static_cast<int64_t>(sizeof(WindowDesc)) + kShapeHeaderBytes;
  char name[48];
  std::snprintf(name, sizeof name, "%dx%dx%d", width, height, depth);
  void* block = nullptr;
  {
    AbortQuiet quiet;  // the window code reports its own out-of-memory text
    block = reservememadr(name, static_cast<int>(bytes), 0);
  }
  if (!block) {
    ++windowallocfailures;
    if (abortflag) {
      ABORTCONTEXT("win\\window.c", "createwindowadra");
      abortmessage("createwindowadr - OUT OF MEMORY\nrequested: %dx%dx%d bytes: %d available: %d\n", width, height, depth,
                   static_cast<int>(bytes), largestmem(0));
    }
    return nullptr;
  }
  auto* w = static_cast<WindowDesc*>(block);
  std::memset(w, 0, sizeof(WindowDesc) + kShapeHeaderBytes);
  uint8_t* header = reinterpret_cast<uint8_t*>(w) + sizeof(WindowDesc);
  header[0] = type;
  header[4] = static_cast<uint8_t>(width);
  header[5] = static_cast<uint8_t>(width >> 8);
  header[6] = static_cast<uint8_t>(height);
  header[7] = static_cast<uint8_t>(height >> 8);
  initwindowfields(w, width, height, depth, rowbytes, header + kShapeHeaderBytes);
  w->shape = header;
  if (!rowspaceready()) {
    purgememadr(block);
    if (abortflag) {
      ABORTCONTEXT("win\\window.c", "createwindowadra");
      abortmessage(
          "createwindow - ROW TABLE MANAGER NOT INITIALIZED\ncall initrow or initgraphics first.  requested: %dx%dx%d.\n",
          width, height, depth);
    }
    return nullptr;
  }
  w->rows = makerow(0, rowbytes, 0, height);
  w->cols = makecolumntable(depth, width);
  if (!w->rows || !w->cols) {
    removerow(w->rows);
    removerow(w->cols);
    purgememadr(block);
    if (abortflag) {
      ABORTCONTEXT("win\\window.c", "createwindowblock");
      abortmessage("createwindowblock - OUT OF ROW SPACE\nrequested: %dx%d\n", width, height);
    }
    return nullptr;
  }
  return w;
}

WindowDesc* createwindowadr(int32_t width, int32_t height, int depth) {
  return createwindowadra(width, height, depth, abortonerror);
}

WindowDesc* trycreatewindowadr(int32_t width, int32_t height, int depth) {
  return createwindowadra(width, height, depth, 0);
}

void removewindow(WindowDesc* window) {
  if (!window) return;
  if (window == &DisplayWindow || window == &SecondPage || window->page == kVideoWindowPage) {
    removevideowindow(window);
    return;
  }
  removerow(window->rows);
  removerow(window->cols);
  window->signature = 0;
  purgememadr(window);
}

namespace {

// Takes the display lock for a window's surface; a memory window releases any other locked surface.
int lockforwindow(WindowDesc* window) {
  if (lockwindowhook) return lockwindowhook(window);
  GfxDisplayHooks& hooks = gfxhooks();
  if (gfxstate().surfacelocked) hooks.unlocksurface();
  if (!window || !window->surface) return 1;
  uint8_t* pixels = nullptr;
  int32_t pitch = 0;
  if (!hooks.locksurface(window->surface, &pixels, &pitch)) return 0;
  if (window->page == kVideoWindowPage)
    updatevideowindow(window, pitch, pixels);
  else
    window->pixels = pixels;
  return 1;
}

}  // namespace

int setwindow(WindowDesc* window) {
  if (!window) {
    if (lockwindowhook)
      lockwindowhook(nullptr);
    else if (gfxstate().surfacelocked)
      gfxhooks().unlocksurface();
    CurrentWindow = WindowDesc{};
    CurrentWindow.depth = DisplayWindow.depth;
    CurrentWindow.shapetype = DisplayWindow.shapetype;
    CurrentWindow.page = DisplayWindow.page;
    CurrentWindow.cols = DisplayWindow.cols;
    return 1;
  }
  if (!checkwindow(window)) return 0;
  if (!lockforwindow(window)) {
    CurrentWindow = scratchwindow();
    return 0;
  }
  CurrentWindow = *window;
  return 1;
}

void releasewindow() { setwindow(nullptr); }

int displaywindow() {
  if (gfxstate().modex) {
    ABORTCONTEXT("win\\window.c", "displaywindow");
    abortmessage("displaywindow - DOES NOT WORK IN THIS DISPLAY MODE (isdisplaymodex()=%d)\n", gfxstate().modex);
    return 0;
  }
  return setwindow(&DisplayWindow);
}

WindowDesc* getdisplaywindow() { return &DisplayWindow; }
WindowDesc* getsecondpage() { return &SecondPage; }

int surfaceguard() {
  if (!CurrentWindow.surface) return 1;
  if (!lockwindowhook) return gfxhooks().relocksurface();
  WindowDesc saved = CurrentWindow;
  releasewindow();
  return setwindow(&saved);
}

void clearclip(uint32_t colour) {
  const WindowDesc& w = CurrentWindow;
  fillrect(w.minx, w.miny, w.maxx - w.minx, w.maxy - w.miny, colour);
}

void clearclipblack() { clearclip(0); }

void savecurrentwindow(WindowDesc* save) {
  if (save) *save = CurrentWindow;
}

void restorecurrentwindow(const WindowDesc* save) {
  if (!save || save->signature != kWindowSignature) {
    releasewindow();
    return;
  }
  WindowDesc copy = *save;
  setwindow(&copy);
  CurrentWindow.minx = save->minx;  // the saved clip comes back with the window
  CurrentWindow.miny = save->miny;
  CurrentWindow.maxx = save->maxx;
  CurrentWindow.maxy = save->maxy;
}

// ---- zones ---------------------------------------------------------------------------------------------------

namespace {

Zone* zoneblock = nullptr;
int32_t zonecapacity = 0;
Zone* listthis = nullptr;
Zone* listprev = nullptr;
Zone* listmerge = nullptr;
int32_t countthis = 0, countprev = 0, countmerge = 0;
Zone* building = nullptr;
ZoneEraseRoutine eraseroutine = clearclipblack;
int32_t erasesdue = 0;
bool exitregistered = false;
bool frameoverflowed = false;  // this frame's zones no longer fit: one zone covers everything

// What a frame becomes when it has more zones than the lists hold.
constexpr Zone kEverything{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};

bool notready(const char* function, const char* text) {
  if (zoneblock) return false;
  ABORTCONTEXT("win\\zone.c", function);
  abortmessage("%s", text);
  return true;
}

bool emptyzone(const Zone& z) { return z.x1 > z.x2 || z.y1 > z.y2; }

// When the merge list is full it becomes the bounding rectangle of everything, so nothing is ever lost.
bool mergeoverflowed = false;

// The parts of R cut around E overlap nothing before E (R did not), so their search goes on after E.
void mergeinsert(const Zone& r, int32_t from = 0) {
  if (emptyzone(r) || mergeoverflowed) return;
  for (int32_t i = from; i < countmerge; ++i) {
    const Zone& e = listmerge[i];
    const int32_t ix1 = std::max(r.x1, e.x1), iy1 = std::max(r.y1, e.y1);
    const int32_t ix2 = std::min(r.x2, e.x2), iy2 = std::min(r.y2, e.y2);
    if (!(ix1 < ix2 && iy1 < iy2)) continue;
    const Zone ecopy = e;
    // Cut lines a pixel outside E; 64-bit so that the extreme corners cannot wrap.
    const auto clampi = [](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
    const Zone above{r.x1, r.y1, r.x2, std::min(r.y2, clampi(int64_t{ecopy.y1} - 1))};
    const Zone below{r.x1, std::max(r.y1, clampi(int64_t{ecopy.y2} + 1)), r.x2, r.y2};
    const Zone left{r.x1, r.y1, std::min(r.x2, clampi(int64_t{ecopy.x1} - 1)), r.y2};
    const Zone right{std::max(r.x1, clampi(int64_t{ecopy.x2} + 1)), r.y1, r.x2, r.y2};
    if (ecopy.y1 > r.y1) mergeinsert(above, i + 1);
    if (ecopy.y2 < r.y2) mergeinsert(below, i + 1);
    if (ecopy.x1 > r.x1) mergeinsert(left, i + 1);
    if (ecopy.x2 < r.x2) mergeinsert(right, i + 1);
    return;
  }
  if (countmerge >= zonecapacity) {
    mergeoverflowed = true;
    return;
  }
  listmerge[countmerge++] = r;
}

void mergebounds() {
  Zone b{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  for (const Zone* list : {listprev, listthis}) {
    const int32_t n = list == listprev ? countprev : countthis;
    for (int32_t i = 0; i < n; ++i) {
      if (emptyzone(list[i])) continue;
      b.x1 = std::min(b.x1, list[i].x1);
      b.y1 = std::min(b.y1, list[i].y1);
      b.x2 = std::max(b.x2, list[i].x2);
      b.y2 = std::max(b.y2, list[i].y2);
    }
  }
  countmerge = 0;
  if (!emptyzone(b)) listmerge[countmerge++] = b;
}

// Sets a window's clip to a zone, kept inside the window.
void cliptozone(WindowDesc& w, const Zone& z) {
  w.minx = std::clamp(z.x1, 0, w.width);
  w.miny = std::clamp(z.y1, 0, w.height);
  w.maxx = static_cast<int32_t>(std::clamp<int64_t>(int64_t{z.x2} + 1, w.minx, w.width));
  w.maxy = static_cast<int32_t>(std::clamp<int64_t>(int64_t{z.y2} + 1, w.miny, w.height));
}

}  // namespace

void zoneinit(int32_t capacity, ZoneEraseRoutine erase) {
  if (zoneblock) {
    purgememadr(zoneblock);
    zoneblock = nullptr;
  } else if (!exitregistered) {
    exitregistered = true;
    std::atexit(zonefree);
  }
  if (capacity < 1) capacity = 1;
  char name[32];
  std::snprintf(name, sizeof name, "ZQZone %d", capacity);
  zoneblock = static_cast<Zone*>(reservememadr(name, static_cast<int>(3 * sizeof(Zone) * static_cast<size_t>(capacity)), 0));
  if (!zoneblock) return;
  zonecapacity = capacity;
  zonesetdraw(erase);
  zonereset();
  erasesdue = 2;
  zonenew();
  zoneaddrect(0, 0, INT32_MAX, INT32_MAX);
}

void zonefree() {
  if (zoneblock) purgememadr(zoneblock);
  zoneblock = nullptr;
  zonecapacity = 0;
  countthis = countprev = countmerge = 0;
  building = nullptr;
}

void zonereset() {
  countthis = countprev = countmerge = 0;
  frameoverflowed = false;
  if (zoneblock) {
    listthis = zoneblock;
    listprev = zoneblock + zonecapacity;
    listmerge = zoneblock + 2 * zonecapacity;
  }
  building = nullptr;
  erasesdue = 0;
}

void zonesetdraw(ZoneEraseRoutine erase) { eraseroutine = erase ? erase : clearclipblack; }

void zonenew() {
  if (notready("zonenew", "zonenew - ZONE MANAGER NOT INITIALIZED.  MUST CALL zoneinit().\n")) return;
  if (frameoverflowed || countthis >= zonecapacity) {
    // Full: the frame becomes one zone over everything, and later zones of the frame fold into it.
    listthis[0] = kEverything;
    countthis = 1;
    building = &listthis[0];
    frameoverflowed = true;
    return;
  }
  listthis[countthis] = Zone{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  building = &listthis[countthis++];
}

void zoneadd(int32_t x, int32_t y) {
  if (notready("zoneadd", "zoneadd - ZONE MANAGER NOT INITIALIZED.  MUST CALL zoneinit().\n")) return;
  if (!building) zonenew();
  building->x1 = std::min(building->x1, x);
  building->y1 = std::min(building->y1, y);
  building->x2 = std::max(building->x2, x);
  building->y2 = std::max(building->y2, y);
}

void zoneaddrect(int32_t x, int32_t y, int32_t width, int32_t height) {
  zonenew();
  if (!zoneblock) return;
  zoneadd(x, y);
  const auto last = [](int32_t v, int32_t extent) {
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t{v} + extent - 1, INT32_MIN, INT32_MAX));
  };
  zoneadd(last(x, width), last(y, height));
}

int32_t zonemerge(const Zone** merged) {
  countmerge = 0;
  mergeoverflowed = false;
  if (zoneblock) {
    for (int32_t i = 0; i < countprev; ++i) mergeinsert(listprev[i]);
    for (int32_t i = 0; i < countthis; ++i) mergeinsert(listthis[i]);
    if (mergeoverflowed) mergebounds();
  }
  if (merged) *merged = listmerge;
  return countmerge;
}

void zoneflip() {
  if (notready("zoneflip", "zoneflip - ZONE MANAGER NOT INITIALIZED.  MUST CALL zoneinit().\n")) return;
  if (CurrentWindow.page == kVideoWindowPage && CurrentWindow.surface) {
    WindowDesc saved;
    savecurrentwindow(&saved);
    const Zone* merged = nullptr;
    const int32_t n = zonemerge(&merged);
    const WindowDesc displayclip = DisplayWindow;
    for (int32_t i = 0; i < n; ++i) {
      cliptozone(DisplayWindow, merged[i]);
      movevideowindow(&SecondPage, &DisplayWindow, 0, 0, 0);
    }
    DisplayWindow.minx = displayclip.minx;
    DisplayWindow.miny = displayclip.miny;
    DisplayWindow.maxx = displayclip.maxx;
    DisplayWindow.maxy = displayclip.maxy;
    restorecurrentwindow(&saved);
  }
  const int32_t minx = CurrentWindow.minx, miny = CurrentWindow.miny, maxx = CurrentWindow.maxx, maxy = CurrentWindow.maxy;
  if (erasesdue > 0) {
    eraseroutine();
    --erasesdue;
  } else {
    for (int32_t i = 0; i < countthis; ++i) {
      if (emptyzone(listthis[i])) continue;
      WindowDesc& w = CurrentWindow;
      cliptozone(w, listthis[i]);
      // Keep inside the clip that was in force.
      w.minx = std::max(w.minx, minx);
      w.miny = std::max(w.miny, miny);
      w.maxx = std::max(w.minx, std::min(w.maxx, maxx));
      w.maxy = std::max(w.miny, std::min(w.maxy, maxy));
      eraseroutine();
    }
    CurrentWindow.minx = minx;
    CurrentWindow.miny = miny;
    CurrentWindow.maxx = maxx;
    CurrentWindow.maxy = maxy;
  }
  std::swap(listthis, listprev);
  countprev = countthis;
  countthis = 0;
  building = nullptr;
  frameoverflowed = false;
}

int32_t zonecount() { return countthis; }
int32_t zoneprevcount() { return countprev; }
const Zone* zonelist() { return listthis; }
int32_t zoneerasesdue() { return erasesdue; }
