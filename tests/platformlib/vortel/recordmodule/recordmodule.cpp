// A render module for tests: every entry point records its call and arguments. Tests read the record and
// steer the module through the extra exports at the end (report another version, refuse a call, call one of
// the library services it was handed).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platformlib/gfx/vortel.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::vector<std::string> calls;
std::map<std::string, int> refused;
intptr_t setstateResult = 0;  // what setstate answers
int32_t version = kVortelVersion;
bool noabout = false;
const VortelServices* services = nullptr;

struct About {
  int32_t tag, size, version;
  int32_t rest[29];
} about{0x44334435, 128, kVortelVersion, {}};

std::vector<uint16_t> frame;
// The depths of the vertices drawn in quad meshes, and the last fog table handed over.
float nearestZ = 2.0f, farthestZ = -1.0f;
uint8_t fogTable[64]{};
void seen(const VortelVertex& v) { nearestZ = std::min(nearestZ, v.z), farthestZ = std::max(farthestZ, v.z); }
VortelLock lock{};
int32_t width = 640, height = 480;

void record(const char* name, std::initializer_list<intptr_t> args = {}) {
  std::string line = name;
  for (intptr_t a : args) line += " " + std::to_string(a);
  calls.push_back(line);
}
bool refuses(const char* name) { return refused.count(name) != 0; }

}  // namespace

EXPORT intptr_t VORTEL_about() {
  record("about");
  if (noabout) return 0;
  about.version = version;
  return reinterpret_cast<intptr_t>(&about);
}
EXPORT intptr_t VORTEL_is() { record("is"); return refuses("is") ? 0 : 80; }
EXPORT intptr_t VORTEL_init() { record("init"); return refuses("init") ? 0 : 1; }
EXPORT intptr_t VORTEL_restore() { record("restore"); return 1; }
EXPORT int32_t VORTEL_selectdisplay(int32_t d) { record("selectdisplay", {d}); return 1; }
EXPORT int32_t VORTEL_setvideomode(int32_t mode, int32_t pages, int32_t third) {
  record("setvideomode", {mode, pages, third});
  struct Size {
    int32_t mode, w, h;
  };
  static const Size sizes[] = {{1, 640, 480},  {2, 800, 600},   {4, 320, 240},   {6, 512, 384},  {10, 960, 720},
                               {11, 856, 480}, {13, 1024, 768}, {14, 1280, 1024}, {15, 1600, 1200}};
  width = 640, height = 480;
  for (const Size& s : sizes)
    if (s.mode == mode) width = s.w, height = s.h;
  frame.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  return refuses("setvideomode") ? 0 : 1;
}
EXPORT intptr_t VORTEL_talloc(int32_t w, int32_t h, int32_t f, intptr_t p, intptr_t) { record("talloc", {w, h, f, p}); return 0; }
EXPORT intptr_t VORTEL_tupdate(intptr_t t, const void*, const void*) { record("tupdate", {t}); return t; }
EXPORT intptr_t VORTEL_treset() { record("treset"); return 1; }
EXPORT int32_t VORTEL_window(int32_t s) { record("window", {s}); return 1; }
EXPORT intptr_t VORTEL_clearwindow() { record("clearwindow"); return 1; }
EXPORT intptr_t VORTEL_flushwindow() { record("flushwindow"); return 1; }
EXPORT intptr_t VORTEL_pageflip() { record("pageflip"); return 1; }
EXPORT void VORTEL_idle() { record("idle"); }
EXPORT int32_t VORTEL_sync(int32_t) { record("sync"); return 0; }
EXPORT int32_t VORTEL_clip(int32_t x, int32_t y, int32_t w, int32_t h) { record("clip", {x, y, w, h}); return 1; }
EXPORT intptr_t VORTEL_setstate(int32_t state, intptr_t value) {
  record("setstate", {state, value});
  if (state == 19) services = reinterpret_cast<const VortelServices*>(value);
  if (state == 105 && value) std::memcpy(fogTable, reinterpret_cast<const void*>(value), sizeof fogTable);
  return setstateResult;
}
EXPORT int32_t VORTEL_settexture(intptr_t t) { record("settexture", {t}); return 1; }
EXPORT VortelLock* VORTEL_lockwindow() {
  record("lockwindow");
  if (refuses("lockwindow")) return nullptr;
  if (frame.empty()) frame.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  lock = VortelLock{reinterpret_cast<uint8_t*>(frame.data()), width * 2, 4, width, height};
  return &lock;
}
EXPORT int32_t VORTEL_unlockwindow(VortelLock* l) { record("unlockwindow", {l == &lock ? 1 : 0}); return 1; }
EXPORT int32_t VORTEL_readrect(int32_t x, int32_t y, int32_t w, int32_t h, void*) { record("readrect", {x, y, w, h}); return 1; }
EXPORT int32_t VORTEL_writerect(int32_t x, int32_t y, int32_t w, int32_t h, void*) { record("writerect", {x, y, w, h}); return 1; }
EXPORT int32_t VORTEL_drawquad(const VortelVertex*, const VortelVertex*, const VortelVertex*, const VortelVertex*) { record("drawquad"); return 1; }
EXPORT int32_t VORTEL_drawquadmesh(int32_t n, const VortelVertex* v, const uint32_t* index) {
  for (int32_t i = 0; i < 4 * n; ++i) seen(v[index[i]]);
  record("drawquadmesh", {n});
  return 1;
}
EXPORT int32_t VORTEL_drawtri(const VortelVertex*, const VortelVertex*, const VortelVertex*) { record("drawtri"); return 1; }
#ifndef RECORDMODULE_PARTIAL
EXPORT int32_t VORTEL_drawtrimesh(int32_t n, const VortelVertex*, const uint32_t*) { record("drawtrimesh", {n}); return 1; }
#endif
EXPORT int32_t VORTEL_drawtristrip(int32_t n, const VortelVertex*) { record("drawtristrip", {n}); return 1; }
EXPORT int32_t VORTEL_drawtrifan(int32_t n, const VortelVertex*) { record("drawtrifan", {n}); return 1; }
EXPORT int32_t VORTEL_drawline(const VortelVertex*, const VortelVertex*) { record("drawline"); return 1; }
EXPORT int32_t VORTEL_drawlinemesh(int32_t n, const VortelVertex*, const uint32_t*) { record("drawlinemesh", {n}); return 1; }
EXPORT int32_t VORTEL_drawlinestrip(int32_t n, const VortelVertex*) { record("drawlinestrip", {n}); return 1; }
EXPORT int32_t VORTEL_drawpoint(const VortelVertex*) { record("drawpoint"); return 1; }
EXPORT int32_t VORTEL_drawpointstrip(int32_t n, const VortelVertex*) { record("drawpointstrip", {n}); return 1; }
EXPORT int32_t VORTEL_drawpointmesh(int32_t n, const VortelVertex*, const uint32_t*) { record("drawpointmesh", {n}); return 1; }

// ---- test controls -----------------------------------------------------------------------------------------
EXPORT int recordmodule_count() { return static_cast<int>(calls.size()); }
EXPORT const char* recordmodule_call(int i) {
  return i >= 0 && i < static_cast<int>(calls.size()) ? calls[static_cast<size_t>(i)].c_str() : "";
}
// "reset", "version" (value), "noabout" (0/1), "refuse:<entry>" (1 refuse, 0 accept again), "setstate" (what
// setstate answers, 0 after a reset).
EXPORT void recordmodule_control(const char* what, intptr_t value) {
  const std::string w = what;
  if (w == "reset") {
    calls.clear();
    refused.clear();
    version = kVortelVersion;
    noabout = false;
    setstateResult = 0;
    nearestZ = 2.0f, farthestZ = -1.0f;
    std::memset(fogTable, 0, sizeof fogTable);
  } else if (w == "setstate") {
    setstateResult = value;
  } else if (w == "version") {
    version = static_cast<int32_t>(value);
  } else if (w == "noabout") {
    noabout = value != 0;
  } else if (w.rfind("refuse:", 0) == 0) {
    if (value)
      refused[w.substr(7)] = 1;
    else
      refused.erase(w.substr(7));
  }
}
// The nearest and farthest vertex depth of the quad meshes drawn since the last reset (2 and -1 when none was).
EXPORT void recordmodule_depths(float* nearest, float* farthest) { *nearest = nearestZ, *farthest = farthestZ; }
// The last fog table handed over through setstate 105 (all 0 after a reset).
EXPORT const uint8_t* recordmodule_fogtable() { return fogTable; }
// Calls one of the library's services as the module would; -1 when none were handed over.
EXPORT intptr_t recordmodule_service(int slot, intptr_t a, intptr_t b) {
  if (!services) return -1;
  switch (slot) {
    case 0: return services->halruntasks();
    case 1: return reinterpret_cast<intptr_t>(services->getmainwindowhandle());
    case 2: return services->setmessagehandler(a, b);
    case 3: return services->getmessagehandler(a);
    case 4: return services->halsetddraw(reinterpret_cast<void*>(a));
    case 5: return services->hallock(a);
    case 6: return services->halmessage(static_cast<int32_t>(a), reinterpret_cast<const char*>(b));
    case 7: return services->halnotify(static_cast<int32_t>(a), b);
    default: return -1;
  }
}
// The pixel at (x, y) of the module's frame (16 bits a pixel).
EXPORT int recordmodule_pixel(int x, int y) {
  if (x < 0 || y < 0 || x >= width || y >= height || frame.empty()) return -1;
  return frame[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
}
