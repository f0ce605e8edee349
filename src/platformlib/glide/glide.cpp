// The built-in Glide back end. Every Glide entry is bound by name at run time and tested before each call, so
// a library that lacks some of them never makes the back end call through a null pointer.
#include "platformlib/glide/glide.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platformlib/display/mainwindow.h"
#include "windows.h"

const char* const GlideEntryNames[kGlideEntries] = {
    "_grGlideInit@0",          "_grSstQueryHardware@4",  "_grSstQueryBoards@4",      "_grGlideShutdown@0",
    "_grSstSelect@4",          "_grSstWinClose@0",       "_grSstWinOpen@28",         "_grTexCombineFunction@8",
    "_grChromakeyValue@4",     "_grAlphaTestReferenceValue@4", "_grTexDownloadTable@12", "_grRenderBuffer@4",
    "_grBufferClear@12",       "_grBufferSwap@4",        "_grSstStatus@0",           "_grSstVRetraceOn@0",
    "_grSstIdle@0",            "_grSstIsBusy@0",         "_grClipWindow@16",         "_grColorCombine@20",
    "_grAlphaCombine@20",      "_grAlphaBlendFunction@16", "_grCullMode@4",          "_grTexFilterMode@12",
    "_grDitherMode@4",         "_grChromakeyMode@4",     "_grAlphaTestFunction@4",   "_grDepthBufferMode@4",
    "_grDepthBufferFunction@4", "_grDepthMask@4",        "_grFogColorValue@4",       "_grFogMode@4",
    "_grFogTable@4",           "_grLfbLock@24",          "_grLfbUnlock@8",           "_grLfbWriteRegion@32",
    "_grLfbReadRegion@28",     "_grDrawTriangle@12",     "_grDrawLine@8",            "_grDrawPoint@4",
    "_grGammaCorrectionValue@4", "_grDepthBiasLevel@4",  "_grTexMipMapMode@12",      "_grTexCombine@28",
    "_grTexCalcMemRequired@16", "_grTexDownloadMipMap@16", "_grTexMinAddress@4",     "_grTexMaxAddress@4",
    "_grTexSource@16",         "_grTexClampMode@12",     "_grGlideGetVersion@4",     "_grAADrawTriangle@24",
    "_grAADrawLine@8",         "_grHints@8",             "_grTexLodBiasValue@8",     "_grSstScreenWidth@0",
    "_grSstScreenHeight@0",    "_grBufferNumPending@0",
};

namespace {

using V = const GlideVertex*;

// The Glide entries, in the order of GlideEntryNames.
struct Glide {
  void (*GlideInit)();
  int32_t (*SstQueryHardware)(GlideHwConfig*);
  int32_t (*SstQueryBoards)(GlideHwConfig*);
  void (*GlideShutdown)();
  void (*SstSelect)(int32_t);
  void (*SstWinClose)();
  int32_t (*SstWinOpen)(uintptr_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t);
  void (*TexCombineFunction)(int32_t, int32_t);
  void (*ChromakeyValue)(uint32_t);
  void (*AlphaTestReferenceValue)(int32_t);
  void (*TexDownloadTable)(int32_t, int32_t, const void*);
  void (*RenderBuffer)(int32_t);
  void (*BufferClear)(uint32_t, int32_t, int32_t);
  void (*BufferSwap)(int32_t);
  uint32_t (*SstStatus)();
  int32_t (*SstVRetraceOn)();
  void (*SstIdle)();
  int32_t (*SstIsBusy)();
  void (*ClipWindow)(uint32_t, uint32_t, uint32_t, uint32_t);
  void (*ColorCombine)(int32_t, int32_t, int32_t, int32_t, int32_t);
  void (*AlphaCombine)(int32_t, int32_t, int32_t, int32_t, int32_t);
  void (*AlphaBlendFunction)(int32_t, int32_t, int32_t, int32_t);
  void (*CullMode)(int32_t);
  void (*TexFilterMode)(int32_t, int32_t, int32_t);
  void (*DitherMode)(int32_t);
  void (*ChromakeyMode)(int32_t);
  void (*AlphaTestFunction)(int32_t);
  void (*DepthBufferMode)(int32_t);
  void (*DepthBufferFunction)(int32_t);
  void (*DepthMask)(int32_t);
  void (*FogColorValue)(uint32_t);
  void (*FogMode)(int32_t);
  void (*FogTable)(const uint8_t*);
  int32_t (*LfbLock)(int32_t, int32_t, int32_t, int32_t, int32_t, GlideLfbInfo*);
  int32_t (*LfbUnlock)(int32_t, int32_t);
  int32_t (*LfbWriteRegion)(int32_t, uint32_t, uint32_t, int32_t, uint32_t, uint32_t, int32_t, const void*);
  int32_t (*LfbReadRegion)(int32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, void*);
  void (*DrawTriangle)(V, V, V);
  void (*DrawLine)(V, V);
  void (*DrawPoint)(V);
  void (*GammaCorrectionValue)(float);
  void (*DepthBiasLevel)(int32_t);
  void (*TexMipMapMode)(int32_t, int32_t, int32_t);
  void (*TexCombine)(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t);
  uint32_t (*TexCalcMemRequired)(int32_t, int32_t, int32_t, int32_t);
  void (*TexDownloadMipMap)(int32_t, uint32_t, int32_t, const GlideTexInfo*);
  uint32_t (*TexMinAddress)(int32_t);
  uint32_t (*TexMaxAddress)(int32_t);
  void (*TexSource)(int32_t, uint32_t, int32_t, const GlideTexInfo*);
  void (*TexClampMode)(int32_t, int32_t, int32_t);
  void (*GlideGetVersion)(char*);
  void (*AADrawTriangle)(V, V, V, int32_t, int32_t, int32_t);
  void (*AADrawLine)(V, V);
  void (*Hints)(int32_t, uint32_t);
  void (*TexLodBiasValue)(int32_t, float);
  uint32_t (*SstScreenWidth)();
  uint32_t (*SstScreenHeight)();
  int32_t (*BufferNumPending)();
};
static_assert(sizeof(Glide) == kGlideEntries * sizeof(void*), "one pointer per Glide entry");

HMODULE library = nullptr;
Glide gl{};
bool antialiased = false;
bool queryhardware = true;
bool active = false;  // Glide started by init
bool windowopen = false;
bool aboutfilled = false;
GlideAbout aboutrecord{};
GlideHwConfig hw{};
GlideTexture* textures = nullptr;
uint32_t nextfree = 0;
GlideLfbInfo lfb{};
VortelLock lockrecord{};
int32_t currentbuffer = 1;
uint8_t fogtable[64]{};
HANDLE handshake = nullptr;
int32_t handlerresult = 0;
constexpr UINT kModeMessage = 1125;
constexpr DWORD kHandshakeWait = 10000;

// Values the interface stores for the back end.
intptr_t setting3 = 0, openmode = 0, setting103 = 0, setting107 = 0;
HWND mainwindow = nullptr;
HWND (*windowservice)() = nullptr;
intptr_t (*handlerservice)(intptr_t, intptr_t) = nullptr;
intptr_t (*lockservice)(intptr_t) = nullptr;
intptr_t (*messageservice)(int32_t, const char*) = nullptr;

// Calls a Glide entry when it is bound; true when it was.
#define GL(fn, ...) (gl.fn ? (gl.fn(__VA_ARGS__), true) : false)

void unbind() {
  gl = Glide{};
  antialiased = false;
}

int probe() {
  if (library) return 1;
  library = LoadLibraryA("glide2x.dll");
  if (!library) return 0;
  void** entries = reinterpret_cast<void**>(&gl);
  for (int i = 0; i < kGlideEntries; ++i)
    entries[i] = reinterpret_cast<void*>(GetProcAddress(library, GlideEntryNames[i]));
  antialiased = false;
  return 1;
}

void release() {
  if (library) FreeLibrary(library);
  library = nullptr;
  unbind();
}

// Drawing routines the render states switch between.
void tri(V a, V b, V c) {
  if (antialiased && gl.AADrawTriangle)
    gl.AADrawTriangle(a, b, c, 1, 1, 1);
  else if (gl.DrawTriangle)
    gl.DrawTriangle(a, b, c);
}
void line(V a, V b) {
  if (antialiased && gl.AADrawLine)
    gl.AADrawLine(a, b);
  else if (gl.DrawLine)
    gl.DrawLine(a, b);
}

GlideVertex convert(const VortelVertex& v) {
  GlideVertex g{};
  g.x = v.x;
  g.y = v.y;
  g.z = v.z;
  g.a = static_cast<float>((v.colour >> 24) & 0xff);
  g.r = static_cast<float>((v.colour >> 16) & 0xff);
  g.g = static_cast<float>((v.colour >> 8) & 0xff);
  g.b = static_cast<float>(v.colour & 0xff);
  g.ooz = v.z * 65535.0f;
  g.oow = v.q;
  // Texture coordinates over a 256-texel range, divided by w as Glide wants them.
  for (auto& t : g.tmu) {
    t.sow = v.u * 256.0f * v.q;
    t.tow = v.v * 256.0f * v.q;
    t.oow = v.q;
  }
  return g;
}

struct ModeSize {
  int32_t width, height;
};
constexpr ModeSize kModes[kGlideModes + 1] = {{0, 0},     {640, 480},  {800, 600},   {320, 200},  {320, 240},
                                              {400, 256}, {512, 384},  {640, 200},   {640, 350},  {640, 400},
                                              {960, 720}, {856, 480},  {512, 256},   {1024, 768}, {1280, 1024},
                                              {1600, 1200}, {400, 300}};
// Glide's resolution codes for the interface's modes.
constexpr int32_t kGlideRes[kGlideModes + 1] = {0, 7, 8, 0, 1, 2, 3, 4, 5, 6, 9, 10, 11, 12, 13, 14, 15};

void fillmodes(bool withhardware) {
  aboutrecord.modecount = kGlideModes;
  int64_t fb = 0;
  if (withhardware && hw.boards > 0) {
    fb = static_cast<int64_t>(hw.sst[0].fbram) * 1024 * 1024;
    if (hw.sst[0].sli) fb *= 2;
  }
  for (int m = 1; m <= kGlideModes; ++m) {
    GlideModeEntry& e = aboutrecord.modes[m];
    e = GlideModeEntry{};
    e.width = kModes[m].width;
    e.height = kModes[m].height;
    e.bits = 16;
    e.format = 4;
    const int64_t frame = static_cast<int64_t>(e.width) * e.height * 2;
    int64_t pages = fb > 0 ? fb / frame : 0;
    if (pages > 3) pages = 3;
    if (pages >= 1) {
      e.offered = 1;
      e.pages = static_cast<int32_t>(pages);
      e.pagesless1 = e.pages - 1;
    }
  }
}

uint32_t texmin() { return gl.TexMinAddress ? gl.TexMinAddress(0) : 0; }
uint32_t texmax() { return gl.TexMaxAddress ? gl.TexMaxAddress(0) : 0; }
uint32_t round16(uint32_t v) { return (v + 15u) & ~15u; }

void freetextures() {
  while (textures) {
    GlideTexture* next = textures->next;
    delete textures;
    textures = next;
  }
}

int32_t depthbuffering(intptr_t value) {
  if (value == 0) {
    GL(DepthBufferFunction, 7);
    GL(DepthMask, 0);
  } else {
    GL(DepthBufferMode, value == 2 ? 2 : 1);
    GL(DepthBufferFunction, 3);
    GL(DepthMask, 1);
  }
  return 1;
}

// Exponential fog over Glide's 64 table entries.
void fogtablefor(intptr_t mode) {
  const double density = mode == 0 ? 0.0 : 0.25 * static_cast<double>(mode);
  for (int i = 0; i < 64; ++i) {
    const double f = 1.0 - std::exp(-density * i / 8.0);
    fogtable[i] = static_cast<uint8_t>(std::lround(255.0 * f));
  }
}

int32_t fog(intptr_t mode) {
  if (mode == 0) {
    GL(FogMode, 0);
    return 1;
  }
  fogtablefor(mode);
  GL(FogMode, 1);
  GL(FogTable, fogtable);
  return 1;
}

int32_t settexture(intptr_t texture);

void makehandshake() {
  if (handlerservice && !handshake) handshake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
}
void closehandshake() {
  if (handshake) CloseHandle(handshake);
  handshake = nullptr;
}

// --- the 34 operations ---

intptr_t about() {
  if (!aboutfilled) {
    aboutfilled = true;
    aboutrecord.tag = kGlideTag;
    aboutrecord.size = 128;
    aboutrecord.version = kVortelVersion;
    std::snprintf(aboutrecord.description, sizeof aboutrecord.description, "3Dfx Voodoo");
    for (int f : {2, 3, 4, 7, 8}) aboutrecord.formats[f] = 1;
    bool queried = false;
    if (queryhardware && probe()) {
      const bool had = active;
      if (gl.SstQueryBoards && gl.GlideInit && gl.SstQueryHardware) {
        GlideHwConfig boards{};
        gl.SstQueryBoards(&boards);
        if (boards.boards > 0) {
          if (!had) gl.GlideInit();
          if (gl.SstQueryHardware(&hw)) queried = true;
          aboutrecord.texturememory = static_cast<int32_t>(round16(texmax() - texmin()));
          if (!had) GL(GlideShutdown);
        }
      }
      if (!had) release();
    }
    fillmodes(queried);
  }
  return reinterpret_cast<intptr_t>(&aboutrecord);
}

intptr_t is() {
  if (const char* env = std::getenv("VOODOO_IS")) return std::atoi(env);
  if (!probe()) return 0;
  int score = 0;
  if (gl.GlideInit && gl.SstQueryBoards && gl.SstQueryHardware) {
    GlideHwConfig boards{};
    gl.SstQueryBoards(&boards);
    if (boards.boards > 0) {
      // While the back end runs, Glide stays started: asking for the score must not shut it down.
      if (!active) gl.GlideInit();
      GlideHwConfig config{};
      if (gl.SstQueryHardware(&config)) {
        char version[80] = {};
        if (gl.GlideGetVersion) gl.GlideGetVersion(version);
        version[sizeof version - 1] = 0;
        score = glideversionscore(version);
      }
      if (!active) GL(GlideShutdown);
    }
  }
  if (!active) release();
  return score;
}

int32_t selectdisplay(int32_t card);

intptr_t init() {
  if (!probe()) return 0;
  if (!gl.GlideInit || !gl.SstQueryHardware) {
    release();
    return 0;
  }
  gl.GlideInit();
  if (!gl.SstQueryHardware(&hw) || hw.boards <= 0) {
    GL(GlideShutdown);
    release();
    return 0;
  }
  active = true;
  selectdisplay(0);
  fillmodes(true);
  aboutrecord.texturememory = static_cast<int32_t>(round16(texmax() - texmin()));
  nextfree = texmin();
  return 1;
}

int32_t setvideomode(int32_t mode, int32_t second, int32_t third);

intptr_t restore() {
  if (active) {
    if (windowopen) setvideomode(0, 0, 0);
    handlerservice = nullptr;
    closehandshake();
    GL(GlideShutdown);
    freetextures();
    release();
    active = false;
  }
  return 1;
}

int32_t selectdisplay(int32_t card) {
  GL(SstSelect, card);
  return 1;
}

// Closes any Glide window and opens one for the mode (0 only closes).
int32_t openwindow(int32_t mode) {
  if (windowopen) {
    GL(SstWinClose);
    windowopen = false;
  }
  if (mode <= 0) return 1;
  if (mode > kGlideModes || !gl.SstWinOpen) return 0;
  // 16-bit colour, ARGB order, origin upper left, two colour buffers and one auxiliary buffer.
  if (!gl.SstWinOpen(reinterpret_cast<uintptr_t>(mainwindow), kGlideRes[mode], 0, 0, 0, 2, 1)) return 0;
  windowopen = true;
  currentbuffer = 1;
  return 1;
}

// Runs on the main window's thread: Glide wants its window opened there.
int modehandler(WinDisplay*, HWND, UINT, WPARAM first, LPARAM, LRESULT* result) {
  handlerresult = openwindow(static_cast<int32_t>(first));
  if (result) *result = handlerresult;
  if (handshake) SetEvent(handshake);
  return 1;
}

int32_t setvideomode(int32_t mode, int32_t second, int32_t third) {
  if (windowservice) mainwindow = windowservice();
  if (mainwindow) SetForegroundWindow(mainwindow);
  // On the window's own thread a posted message could never be answered while we wait: open directly.
  const bool onwindowthread = mainwindow && GetWindowThreadProcessId(mainwindow, nullptr) == GetCurrentThreadId();
  if (!handlerservice || !handshake || !mainwindow || onwindowthread) return openwindow(mode);
  handlerservice(kModeMessage, reinterpret_cast<intptr_t>(&modehandler));
  for (int round = 0; round < 2; ++round) {
    handlerresult = 0;
    ResetEvent(handshake);
    if (!PostMessageA(mainwindow, kModeMessage, static_cast<WPARAM>(mode), static_cast<LPARAM>(third) * 256 + second))
      return 0;
    // A window thread that never answers must not hang the game for good.
    if (WaitForSingleObject(handshake, kHandshakeWait) != WAIT_OBJECT_0) return 0;
    if (windowopen || mode <= 0 || setting3 != 0) break;
  }
  return handlerresult;
}

intptr_t talloc(int32_t width, int32_t height, int32_t format, intptr_t /*palette*/, intptr_t miplevels) {
  const int32_t largeside = width > height ? width : height;
  const int32_t large = glidelod(largeside);
  const int32_t aspect = glideaspect(width, height);
  if (large < 0 || aspect < 0) return 0;
  int32_t small = large + static_cast<int32_t>(miplevels > 0 ? miplevels : 0);
  if (small > 8) small = 8;
  GlideTexInfo info{small, large, aspect, glideformat(format), nullptr};
  if (!gl.TexCalcMemRequired) return 0;
  const uint32_t need = gl.TexCalcMemRequired(small, large, aspect, info.format);
  const uint32_t min = texmin();
  const uint32_t max = round16(texmax());
  if (nextfree < min) nextfree = min;
  uint64_t start = nextfree;
  constexpr uint64_t bank = 2u * 1024 * 1024;
  if (need > 0 && (start - min) / bank != (start + need - 1 - min) / bank) start = min + ((start - min) / bank + 1) * bank;
  if (start > max || max - start < need) return 0;
  auto* t = new GlideTexture{info, static_cast<uint32_t>(start), 3, textures};
  textures = t;
  nextfree = static_cast<uint32_t>(start + need);
  return reinterpret_cast<intptr_t>(t);
}

intptr_t tupdate(intptr_t texture, const void* pixels, const void* palette) {
  auto* t = reinterpret_cast<GlideTexture*>(texture);
  if (!t) return 0;
  if (pixels) {
    t->info.data = pixels;
    GL(TexDownloadMipMap, 0, t->start, 3, &t->info);
  }
  if (palette) GL(TexDownloadTable, 0, 2, palette);  // the NCC-free palette table
  return 1;
}

intptr_t treset() {
  nextfree = texmin();
  freetextures();
  return 1;
}

int32_t window(int32_t surface) {
  // Surface 1 is the front buffer, 2 the back buffer; 0 returns drawing to the back buffer.
  currentbuffer = surface == 1 ? 0 : 1;
  GL(RenderBuffer, currentbuffer);
  return 1;
}

intptr_t clearwindow() {
  GL(BufferClear, 0, 0, 0xffff);
  return 1;
}
intptr_t flushwindow() { return 1; }
intptr_t pageflip() {
  if (gl.BufferNumPending) gl.BufferNumPending();
  GL(BufferSwap, 1);
  return 1;
}

int32_t sync(int32_t wait) {
  GL(SstIdle);
  int32_t busy = gl.SstIsBusy ? gl.SstIsBusy() : 0;
  if (wait && gl.SstVRetraceOn) busy = gl.SstVRetraceOn();
  if (gl.SstStatus) gl.SstStatus();
  return busy;
}

int32_t clip(int32_t x, int32_t y, int32_t width, int32_t height) {
  if (width < 0 || height < 0 || x < 0 || y < 0) return 0;
  GL(ClipWindow, static_cast<uint32_t>(x), static_cast<uint32_t>(y), static_cast<uint32_t>(x + width),
     static_cast<uint32_t>(y + height));
  return 1;
}

intptr_t setstate(int32_t state, intptr_t value) {
  switch (state) {
    case 1: return settexture(value);
    case 2: GL(CullMode, static_cast<int32_t>(value)); return 1;
    case 3: setting3 = value; return 1;
    case 4: return depthbuffering(value);
    case 5: GL(DitherMode, value ? 2 : 0); return 1;
    case 6:
      // 0 colour only; otherwise the texture modulated by the iterated colour.
      if (value == 0) {
        GL(ColorCombine, 1, 0, 0, 2, 0);
        GL(AlphaCombine, 1, 0, 0, 1, 0);
      } else {
        GL(ColorCombine, 3, 1, 2, 1, 0);
        GL(AlphaCombine, 3, 1, 1, 1, 0);
      }
      return 1;
    case 7: GL(TexFilterMode, 0, value ? 1 : 0, value ? 1 : 0); return 1;
    case 8: GL(TexLodBiasValue, 0, static_cast<float>(value) / 4.0f); return 1;
    case 9: antialiased = value != 0; return 1;
    case 10:
      GL(ChromakeyMode, value ? 1 : 0);
      GL(AlphaTestFunction, value ? 4 : 7);
      return 1;
    case 11: GL(TexMipMapMode, 0, value ? 1 : 0, 0); return 1;
    case 12: GL(ChromakeyValue, static_cast<uint32_t>(value)); return 1;
    case 13: GL(TexClampMode, 0, value ? 1 : 0, value ? 1 : 0); return 1;
    case 14: return fog(value ? 1 : 0);
    case 15: GL(FogColorValue, static_cast<uint32_t>(value)); return 1;
    case 18: openmode = value; return 1;
    case 19: {
      const auto* services = reinterpret_cast<const VortelServices*>(value);
      windowservice = services ? services->getmainwindowhandle : nullptr;
      handlerservice = services ? services->setmessagehandler : nullptr;
      lockservice = services ? services->hallock : nullptr;
      messageservice = services ? services->halmessage : nullptr;
      makehandshake();
      return 1;
    }
    case 21:
      if (value < 0 || value > 8 || value == 3 || value == 5 || value == 6 || value == 7) return 0;
      return fog(value);
    case 24:
    case 102: GL(DepthBiasLevel, static_cast<int32_t>(value)); return 1;
    case 25: mainwindow = reinterpret_cast<HWND>(value); return 1;
    case 26: messageservice = reinterpret_cast<intptr_t (*)(int32_t, const char*)>(value); return 1;
    case 27:
      handlerservice = reinterpret_cast<intptr_t (*)(intptr_t, intptr_t)>(value);
      makehandshake();
      return 1;
    case 28: lockservice = reinterpret_cast<intptr_t (*)(intptr_t)>(value); return 1;
    case 101: GL(GammaCorrectionValue, static_cast<float>(value) / 100.0f); return 1;
    case 103: setting103 = value; return 1;
    case 107: setting107 = value; return 1;
    case 104:
      if (value < 0 || value > 2) return 0;
      if (value == 0)
        GL(AlphaBlendFunction, 1, 5, 1, 0);  // source alpha, one minus source alpha
      else if (value == 1)
        GL(AlphaBlendFunction, 1, 4, 1, 0);  // additive
      else
        GL(AlphaBlendFunction, 4, 0, 4, 0);  // opaque
      return 1;
    case 105: return fog(value);
    case 106: GL(DepthMask, value ? 1 : 0); return 1;
    default: return 0;
  }
}

int32_t settexture(intptr_t texture) {
  const auto* t = reinterpret_cast<const GlideTexture*>(texture);
  if (!t) {
    GL(ColorCombine, 1, 0, 0, 2, 0);
    GL(AlphaCombine, 1, 0, 0, 1, 0);
    return 1;
  }
  GL(TexSource, 0, t->start, t->mask, &t->info);
  GL(ColorCombine, 3, 1, 2, 1, 0);
  GL(AlphaCombine, 3, 1, 1, 1, 0);
  return 1;
}

VortelLock* lockwindow() {
  if (!gl.LfbLock) return nullptr;
  lfb = GlideLfbInfo{};
  lfb.size = sizeof lfb;
  if (!gl.LfbLock(1, currentbuffer, 0, 0, 0, &lfb) || !lfb.ptr) return nullptr;
  lockrecord.pixels = static_cast<uint8_t*>(lfb.ptr);
  lockrecord.pitch = static_cast<int32_t>(lfb.stride);
  lockrecord.format = 4;
  lockrecord.width = gl.SstScreenWidth ? static_cast<int32_t>(gl.SstScreenWidth()) : 0;
  lockrecord.height = gl.SstScreenHeight ? static_cast<int32_t>(gl.SstScreenHeight()) : 0;
  return &lockrecord;
}

int32_t unlockwindow(VortelLock* lock) {
  if (!lock) return 0;
  GL(LfbUnlock, 1, currentbuffer);
  return 1;
}

int32_t readrect(int32_t x, int32_t y, int32_t width, int32_t height, void* buffer) {
  if (!buffer || x < 0 || y < 0 || width <= 0 || height <= 0 || !gl.LfbReadRegion) return 0;
  return gl.LfbReadRegion(currentbuffer, static_cast<uint32_t>(x), static_cast<uint32_t>(y),
                          static_cast<uint32_t>(width), static_cast<uint32_t>(height),
                          static_cast<uint32_t>(width) * 2, buffer);
}

int32_t writerect(int32_t x, int32_t y, int32_t width, int32_t height, void* buffer) {
  if (!buffer || x < 0 || y < 0 || width <= 0 || height <= 0 || !gl.LfbWriteRegion) return 0;
  return gl.LfbWriteRegion(currentbuffer, static_cast<uint32_t>(x), static_cast<uint32_t>(y), 0,
                           static_cast<uint32_t>(width), static_cast<uint32_t>(height), width * 2, buffer);
}

int32_t drawtri(const VortelVertex* a, const VortelVertex* b, const VortelVertex* c) {
  if (!a || !b || !c) return 0;
  const GlideVertex ga = convert(*a), gb = convert(*b), gc = convert(*c);
  tri(&ga, &gb, &gc);
  return 1;
}

int32_t drawquad(const VortelVertex* a, const VortelVertex* b, const VortelVertex* c, const VortelVertex* d) {
  if (!a || !b || !c || !d) return 0;
  const GlideVertex ga = convert(*a), gb = convert(*b), gc = convert(*c), gd = convert(*d);
  tri(&ga, &gb, &gc);
  tri(&ga, &gc, &gd);
  return 1;
}

int32_t drawquadmesh(int32_t count, const VortelVertex* v, const uint32_t* index) {
  if (count <= 0 || !v || !index) return 0;
  for (int32_t i = 0; i < count; ++i, index += 4) drawquad(&v[index[0]], &v[index[1]], &v[index[2]], &v[index[3]]);
  return 1;
}

int32_t drawtrimesh(int32_t count, const VortelVertex* v, const uint32_t* index) {
  if (count <= 0 || !v || !index) return 0;
  for (int32_t i = 0; i < count; ++i, index += 3) drawtri(&v[index[0]], &v[index[1]], &v[index[2]]);
  return 1;
}

int32_t drawtristrip(int32_t count, const VortelVertex* v) {
  if (count < 3 || !v) return 0;
  for (int32_t i = 2; i < count; ++i)
    if (i % 2 == 0)
      drawtri(&v[i - 2], &v[i - 1], &v[i]);
    else
      drawtri(&v[i - 1], &v[i - 2], &v[i]);
  return 1;
}

int32_t drawtrifan(int32_t count, const VortelVertex* v) {
  if (count < 3 || !v) return 0;
  for (int32_t i = 2; i < count; ++i) drawtri(&v[0], &v[i - 1], &v[i]);
  return 1;
}

int32_t drawline(const VortelVertex* a, const VortelVertex* b) {
  if (!a || !b) return 0;
  const GlideVertex ga = convert(*a), gb = convert(*b);
  line(&ga, &gb);
  return 1;
}

int32_t drawlinemesh(int32_t count, const VortelVertex* v, const uint32_t* index) {
  if (count <= 0 || !v || !index) return 0;
  for (int32_t i = 0; i < count; ++i, index += 2) drawline(&v[index[0]], &v[index[1]]);
  return 1;
}

int32_t drawlinestrip(int32_t count, const VortelVertex* v) {
  if (count < 2 || !v) return 0;
  for (int32_t i = 1; i < count; ++i) drawline(&v[i - 1], &v[i]);
  return 1;
}

int32_t drawpoint(const VortelVertex* a) {
  if (!a) return 0;
  const GlideVertex g = convert(*a);
  GL(DrawPoint, &g);
  return 1;
}

int32_t drawpointstrip(int32_t count, const VortelVertex* v) {
  if (count <= 0 || !v) return 0;
  for (int32_t i = 0; i < count; ++i) drawpoint(&v[i]);
  return 1;
}

int32_t drawpointmesh(int32_t count, const VortelVertex* v, const uint32_t* index) {
  if (count <= 0 || !v || !index) return 0;
  for (int32_t i = 0; i < count; ++i) drawpoint(&v[index[i]]);
  return 1;
}

}  // namespace

VortelDriver glidedriver() {
  VortelDriver d{};
  d.module = nullptr;
  d.about = about;
  d.is = is;
  d.init = init;
  d.restore = restore;
  d.selectdisplay = selectdisplay;
  d.setvideomode = setvideomode;
  d.talloc = talloc;
  d.tupdate = tupdate;
  d.treset = treset;
  d.window = window;
  d.clearwindow = clearwindow;
  d.flushwindow = flushwindow;
  d.pageflip = pageflip;
  d.idle = nullptr;
  d.sync = sync;
  d.clip = clip;
  d.setstate = setstate;
  d.settexture = settexture;
  d.lockwindow = lockwindow;
  d.unlockwindow = unlockwindow;
  d.readrect = readrect;
  d.writerect = writerect;
  d.drawquad = drawquad;
  d.drawquadmesh = drawquadmesh;
  d.drawtri = drawtri;
  d.drawtrimesh = drawtrimesh;
  d.drawtristrip = drawtristrip;
  d.drawtrifan = drawtrifan;
  d.drawline = drawline;
  d.drawlinemesh = drawlinemesh;
  d.drawlinestrip = drawlinestrip;
  d.drawpoint = drawpoint;
  d.drawpointstrip = drawpointstrip;
  d.drawpointmesh = drawpointmesh;
  return d;
}

void installglidedriver() { setbuiltinvorteldriver(glidedriver()); }

int32_t glideformat(int32_t format) {
  switch (format) {
    case 2: return 5;
    case 3: return 11;
    case 4: return 10;
    case 7: return 12;
    case 8: return 4;
    case 9: return 14;
    default: return 0;
  }
}

int32_t glidelod(int32_t side) {
  for (int n = 0; n <= 8; ++n)
    if (side == (1 << n)) return 8 - n;
  return -1;
}

int32_t glideaspect(int32_t width, int32_t height) {
  const int32_t lw = glidelod(width), lh = glidelod(height);
  if (lw < 0 || lh < 0) return -1;
  const int32_t code = 3 - ((8 - lw) - (8 - lh));
  return code >= 0 && code <= 6 ? code : -1;
}

int glideversionscore(const char* version) {
  if (!version) return 0;
  while (*version && !std::isdigit(static_cast<unsigned char>(*version))) ++version;
  if (std::strcmp(version, "2.42") < 0) return 90;
  if (std::strcmp(version, "2.5") <= 0) return 100;
  return 95;
}

void glidesetqueryhardware(bool on) { queryhardware = on; }

void glidereset() {
  restore();
  freetextures();
  release();
  active = false;
  windowopen = false;
  aboutfilled = false;
  aboutrecord = GlideAbout{};
  hw = GlideHwConfig{};
  nextfree = 0;
  mainwindow = nullptr;
  windowservice = nullptr;
  handlerservice = nullptr;
  lockservice = nullptr;
  messageservice = nullptr;
  closehandshake();
  setting3 = 0;
}

bool glidewindowopen() { return windowopen; }
