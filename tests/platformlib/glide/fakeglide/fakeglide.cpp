// A Glide library for tests: every entry records its call and arguments; one board with 4 MB of frame-buffer
// memory and 2 MB of texture memory. Tests steer it through the fake_ exports.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platformlib/glide/glide.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::vector<std::string> calls;
std::string joined;
int32_t boards = 1;
int32_t queryok = 1;
int32_t fbram = 4;
int32_t sli = 0;
uint32_t texmin = 0x200000, texmax = 0x400000;
std::string version = "Glide Version 2.43";
uint16_t frame[640 * 480];

void rec(const char* name, std::initializer_list<long long> args = {}) {
  std::string line = name;
  for (long long a : args) line += " " + std::to_string(a);
  calls.push_back(line);
}
void recv(const char* name, std::initializer_list<const GlideVertex*> vs) {
  std::string line = name;
  for (const GlideVertex* v : vs) {
    char buf[64];
    std::snprintf(buf, sizeof buf, " (%g,%g)", static_cast<double>(v->x), static_cast<double>(v->y));
    line += buf;
  }
  calls.push_back(line);
}
void fill(GlideHwConfig* c) {
  *c = GlideHwConfig{};
  c->boards = boards;
  c->sst[0].fbram = fbram;
  c->sst[0].sli = sli;
  c->sst[0].tmuram = 2;
}

}  // namespace

using V = const GlideVertex*;

EXPORT void grGlideInit() { rec("grGlideInit"); }
EXPORT int32_t grSstQueryHardware(GlideHwConfig* c) { rec("grSstQueryHardware"); fill(c); return queryok; }
EXPORT int32_t grSstQueryBoards(GlideHwConfig* c) { rec("grSstQueryBoards"); fill(c); return 1; }
EXPORT void grGlideShutdown() { rec("grGlideShutdown"); }
EXPORT void grSstSelect(int32_t n) { rec("grSstSelect", {n}); }
EXPORT void grSstWinClose() { rec("grSstWinClose"); }
EXPORT int32_t grSstWinOpen(uintptr_t, int32_t res, int32_t refresh, int32_t cf, int32_t origin, int32_t nc, int32_t na) {
  rec("grSstWinOpen", {res, refresh, cf, origin, nc, na});
  return 1;
}
EXPORT void grTexCombineFunction(int32_t t, int32_t f) { rec("grTexCombineFunction", {t, f}); }
EXPORT void grChromakeyValue(uint32_t v) { rec("grChromakeyValue", {v}); }
EXPORT void grAlphaTestReferenceValue(int32_t v) { rec("grAlphaTestReferenceValue", {v}); }
EXPORT void grTexDownloadTable(int32_t t, int32_t type, const void*) { rec("grTexDownloadTable", {t, type}); }
EXPORT void grRenderBuffer(int32_t b) { rec("grRenderBuffer", {b}); }
EXPORT void grBufferClear(uint32_t c, int32_t a, int32_t d) { rec("grBufferClear", {c, a, d}); }
EXPORT void grBufferSwap(int32_t i) { rec("grBufferSwap", {i}); }
EXPORT uint32_t grSstStatus() { rec("grSstStatus"); return 0; }
EXPORT int32_t grSstVRetraceOn() { rec("grSstVRetraceOn"); return 0; }
EXPORT void grSstIdle() { rec("grSstIdle"); }
EXPORT int32_t grSstIsBusy() { rec("grSstIsBusy"); return 0; }
EXPORT void grClipWindow(uint32_t a, uint32_t b, uint32_t c, uint32_t d) { rec("grClipWindow", {a, b, c, d}); }
EXPORT void grColorCombine(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e) { rec("grColorCombine", {a, b, c, d, e}); }
EXPORT void grAlphaCombine(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e) { rec("grAlphaCombine", {a, b, c, d, e}); }
EXPORT void grAlphaBlendFunction(int32_t a, int32_t b, int32_t c, int32_t d) { rec("grAlphaBlendFunction", {a, b, c, d}); }
EXPORT void grCullMode(int32_t v) { rec("grCullMode", {v}); }
EXPORT void grTexFilterMode(int32_t t, int32_t a, int32_t b) { rec("grTexFilterMode", {t, a, b}); }
EXPORT void grDitherMode(int32_t v) { rec("grDitherMode", {v}); }
EXPORT void grChromakeyMode(int32_t v) { rec("grChromakeyMode", {v}); }
EXPORT void grAlphaTestFunction(int32_t v) { rec("grAlphaTestFunction", {v}); }
EXPORT void grDepthBufferMode(int32_t v) { rec("grDepthBufferMode", {v}); }
EXPORT void grDepthBufferFunction(int32_t v) { rec("grDepthBufferFunction", {v}); }
EXPORT void grDepthMask(int32_t v) { rec("grDepthMask", {v}); }
EXPORT void grFogColorValue(uint32_t v) { rec("grFogColorValue", {v}); }
EXPORT void grFogMode(int32_t v) { rec("grFogMode", {v}); }
EXPORT void grFogTable(const uint8_t* t) { rec("grFogTable", {t[0], t[63]}); }
EXPORT int32_t grLfbLock(int32_t type, int32_t buffer, int32_t wm, int32_t origin, int32_t pipe, GlideLfbInfo* info) {
  rec("grLfbLock", {type, buffer, wm, origin, pipe});
  info->ptr = frame;
  info->stride = 2048;
  return 1;
}
EXPORT int32_t grLfbUnlock(int32_t type, int32_t buffer) { rec("grLfbUnlock", {type, buffer}); return 1; }
EXPORT int32_t grLfbWriteRegion(int32_t b, uint32_t x, uint32_t y, int32_t f, uint32_t w, uint32_t h, int32_t s, const void*) {
  rec("grLfbWriteRegion", {b, x, y, f, w, h, s});
  return 1;
}
EXPORT int32_t grLfbReadRegion(int32_t b, uint32_t x, uint32_t y, uint32_t w, uint32_t h, uint32_t s, void*) {
  rec("grLfbReadRegion", {b, x, y, w, h, s});
  return 1;
}
EXPORT void grDrawTriangle(V a, V b, V c) { recv("grDrawTriangle", {a, b, c}); }
EXPORT void grDrawLine(V a, V b) { recv("grDrawLine", {a, b}); }
EXPORT void grDrawPoint(V a) { recv("grDrawPoint", {a}); }
EXPORT void grGammaCorrectionValue(float v) { rec("grGammaCorrectionValue", {static_cast<long long>(v * 100)}); }
EXPORT void grDepthBiasLevel(int32_t v) { rec("grDepthBiasLevel", {v}); }
EXPORT void grTexMipMapMode(int32_t t, int32_t m, int32_t b) { rec("grTexMipMapMode", {t, m, b}); }
EXPORT void grTexCombine(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f, int32_t g) {
  rec("grTexCombine", {a, b, c, d, e, f, g});
}
// Bytes of a square 16-bit texture from its large level of detail down; other aspects halve per step.
EXPORT uint32_t grTexCalcMemRequired(int32_t small, int32_t large, int32_t aspect, int32_t format) {
  rec("grTexCalcMemRequired", {small, large, aspect, format});
  uint32_t total = 0;
  for (int32_t lod = large; lod <= small; ++lod) {
    const uint32_t side = 256u >> lod;
    uint32_t bytes = side * side * 2;
    const int32_t shift = aspect > 3 ? aspect - 3 : 3 - aspect;
    bytes >>= shift;
    total += bytes < 8 ? 8 : bytes;
  }
  return total;
}
EXPORT void grTexDownloadMipMap(int32_t t, uint32_t start, int32_t eo, const GlideTexInfo* i) {
  rec("grTexDownloadMipMap", {t, start, eo, i->format});
}
EXPORT uint32_t grTexMinAddress(int32_t) { return texmin; }
EXPORT uint32_t grTexMaxAddress(int32_t) { return texmax; }
EXPORT void grTexSource(int32_t t, uint32_t start, int32_t eo, const GlideTexInfo* i) {
  rec("grTexSource", {t, start, eo, i->largelod});
}
EXPORT void grTexClampMode(int32_t t, int32_t s, int32_t u) { rec("grTexClampMode", {t, s, u}); }
EXPORT void grGlideGetVersion(char* out) {
  rec("grGlideGetVersion");
  std::snprintf(out, 80, "%s", version.c_str());
}
EXPORT void grAADrawTriangle(V a, V b, V c, int32_t, int32_t, int32_t) { recv("grAADrawTriangle", {a, b, c}); }
EXPORT void grAADrawLine(V a, V b) { recv("grAADrawLine", {a, b}); }
EXPORT void grHints(int32_t t, uint32_t m) { rec("grHints", {t, m}); }
EXPORT void grTexLodBiasValue(int32_t t, float v) { rec("grTexLodBiasValue", {t, static_cast<long long>(v * 4)}); }
EXPORT uint32_t grSstScreenWidth() { return 640; }
EXPORT uint32_t grSstScreenHeight() { return 480; }
EXPORT int32_t grBufferNumPending() { rec("grBufferNumPending"); return 0; }

// Steering for tests.
EXPORT const char* fake_calls() {
  joined.clear();
  for (const std::string& c : calls) joined += c + "\n";
  return joined.c_str();
}
EXPORT void fake_clear() { calls.clear(); }
EXPORT void fake_setup(int32_t nboards, int32_t ok, int32_t mb, int32_t linked, const char* text) {
  boards = nboards;
  queryok = ok;
  fbram = mb;
  sli = linked;
  version = text;
}
EXPORT void fake_texmemory(uint32_t min, uint32_t max) { texmin = min, texmax = max; }
