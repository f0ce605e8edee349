// The Direct3D render module: the 34 entry points of the 3D interface over DirectDraw and Direct3D. All state
// is static; every entry point runs on the game's main thread except the three display handlers, which run on
// the library's window thread while the main thread waits for them.
#include "drvd3d/drvd3d.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "d3d.h"
#include "ddraw.h"
#include "platformlib/gfx/vortel.h"
#include "windows.h"
#include "winapi_user.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr UINT kInitDisplay = 1124, kSetDisplay = 1125, kKillDisplay = 1128;

// ---- capability record ----------------------------------------------------------------------------------------
uint8_t about[128];
int32_t d3dtexturetypes[10] = {0, 0, 0, 0, 0, 0, 0, 0, 0, -1};
int32_t d3dcluttypes[6] = {0, 0, 0, 0, 5, -1};
D3DDisplayMode d3ddisplaymodes[30];
int32_t nGNumModes = 0;

void PutWord(int offset, int32_t value) { std::memcpy(about + offset, &value, 4); }
int32_t GetWord(int offset) {
  int32_t v;
  std::memcpy(&v, about + offset, 4);
  return v;
}

// ---- devices, objects, state -------------------------------------------------------------------------------------
GUID D3Dguids[10];
GUID* pGD3Dguids[10];
char acaGD3DDeviceNames[10][32];
int nGNumCards = 0;
int nGCurrentCard = -1;
GUID* pCurrD3DCardGUID = nullptr;
int32_t d3dstatus = 0;
DWORD d3dcooperativelevel = 0;
int32_t d3ddesktopmode = 0;
HWND d3dwindow = nullptr;
DWORD maxvramavail = 0;
int hardware3d = 0;
int nGDeviceType = 3;
HANDLE handshake = nullptr;
constexpr UINT kHandled[3] = {kInitDisplay, kSetDisplay, kKillDisplay};
intptr_t savedHandlers[3] = {};
bool handlersSaved = false;
bool viaWindowThread = false;
VortelServices services{};
bool haveServices = false;

LPDIRECTDRAW2 d3dddraw = nullptr;
LPDIRECT3D2 d3d = nullptr;
LPDIRECT3DDEVICE2 device = nullptr;
LPDIRECT3DVIEWPORT2 viewport = nullptr;
LPDIRECT3DMATERIAL2 background = nullptr;
D3DMATERIALHANDLE backgroundHandle = 0;
LPDIRECTDRAWSURFACE zbuffer = nullptr;
LPDIRECTDRAWSURFACE2 zbuffer2 = nullptr;
LPDIRECTDRAWSURFACE d3dprimary = nullptr;
LPDIRECTDRAWSURFACE d3dback = nullptr;
LPDIRECTDRAWSURFACE2 d3dsurface[8] = {};
LPDIRECTDRAWSURFACE2 d3dcurrentwindow = nullptr;
bool d3dalive = false;
bool zpresent = false;
D3DDeviceInfo sGD3DDeviceInfo{};
int32_t nGD3DWidth = 0, nGD3DHeight = 0;
int32_t nGWinX = 0, nGWinY = 0, nGWinW = 0, nGWinH = 0;
bool bGIn3DScene = false;
bool userlock = false;
LPDIRECTDRAWSURFACE2 lockedsurface = nullptr;
VortelLock lockinfo{};
int aborting = 0;

// ---- render state and fog ----------------------------------------------------------------------------------------
uint8_t ucaGFogTable256[256];
uint8_t* ucpGFogTable = ucaGFogTable256;
uint8_t ucaGFogTable64[64];
float nGFogDensity = 0.5f;
uint32_t nGFogColour = 0xFFFFFF;
float nGZBias = 0.0f;

// ---- textures -------------------------------------------------------------------------------------------------------
struct D3DTextureFormat {
  DDSURFACEDESC desc;
  int palettised, red, green, blue, palettebits, alpha;
};
D3DTextureFormat aGTextureFormat[32];
int nGnumTextureFormats = 0;
int nGtexturemodeconversion[11];
const int nGbytesppixel[11] = {0, 1, 1, 2, 2, 3, 4, 2, 1, 2, 2};

struct D3DTextureRec {
  int32_t width, height, bytes, devformat, format;
  intptr_t paletteflag;
  D3DTEXTUREHANDLE handle;
  D3DTextureRec* next;
  int32_t zero;
  int32_t transparent;
  LPDIRECTDRAWSURFACE3 source;
  LPDIRECT3DTEXTURE2 sourcetexture;
  LPDIRECTDRAWSURFACE3 video;
  LPDIRECT3DTEXTURE2 videotexture;
  LPDIRECTDRAWPALETTE palette;
  DDSURFACEDESC sourcedesc;
  int32_t entries;
};
D3DTextureRec* d3dprev = nullptr;
D3DTextureRec* tpGFirstNonTransTexture = nullptr;
int nGTextureRamFull = 0;

// ---- batch ------------------------------------------------------------------------------------------------------------
D3DTLVERTEX trivertexstore[253];
D3DTLVERTEX* vpGtrivertexcache = trivertexstore;
int nGverticespercache = 253;
int nGnumtriverts = 0;
WORD wpGtriindexcache[8104];
int nGnumtriindices = 0;
constexpr DWORD dwGRenderFlags = D3DDP_DONOTCLIP | D3DDP_DONOTUPDATEEXTENTS;
WORD fanindices[104];

template <typename T>
void ReleaseOf(T*& object) {
  if (object) object->Release();
  object = nullptr;
}

void D3D_abortmessage(const char* format, ...);
intptr_t Restore();
int D3D_endrender();
int D3D_flushtricache();

// ---- set-up ------------------------------------------------------------------------------------------------------------
BOOL D3D_deviceenum(GUID* guid, LPSTR description, LPSTR, LPVOID context) {
  if (nGNumCards >= 10) return DDENUMRET_CANCEL;  // the list holds ten devices
  const int i = nGNumCards++;
  if (guid) {
    D3Dguids[i] = *guid;
    pGD3Dguids[i] = &D3Dguids[i];
  } else {
    pGD3Dguids[i] = nullptr;
  }
  std::memset(acaGD3DDeviceNames[i], 0, 32);
  if (description) std::strncpy(acaGD3DDeviceNames[i], description, 31);
  if (context && *static_cast<int*>(context) == i) pCurrD3DCardGUID = pGD3Dguids[i];
  return DDENUMRET_OK;
}

int D3D_enumdisplaycards() {
  nGNumCards = 0;
  pCurrD3DCardGUID = nullptr;
  int wanted = -1;
  DirectDrawEnumerateA(D3D_deviceenum, &wanted);
  return nGNumCards;
}

int D3D_calcddrawtype(const DDPIXELFORMAT& pf) {
  const DWORD bits = pf.dwRGBBitCount;
  if (bits == 16 && pf.dwRBitMask == 0x7C00 && pf.dwGBitMask == 0x03E0 && pf.dwBBitMask == 0x1F) return 3;
  if (bits == 16 && pf.dwRBitMask == 0xF800 && pf.dwGBitMask == 0x07E0 && pf.dwBBitMask == 0x1F) return 4;
  if (bits == 16 && pf.dwRBitMask == 0x0F00 && pf.dwGBitMask == 0xF0 && pf.dwBBitMask == 0xF &&
      pf.dwRGBAlphaBitMask == 0xF000)
    return 7;
  if (bits == 24 && pf.dwRBitMask == 0xFF0000 && pf.dwGBitMask == 0xFF00 && pf.dwBBitMask == 0xFF) return 5;
  if (bits == 32 && pf.dwRBitMask == 0xFF0000 && pf.dwGBitMask == 0xFF00 && pf.dwBBitMask == 0xFF) return 6;
  return 0;
}

void FillMode(D3DDisplayMode* m, int32_t w, int32_t h, int32_t bits, int32_t code) {
  *m = D3DDisplayMode{};
  m->width = w, m->height = h, m->bits = code == 3 ? 15 : bits, m->code = code, m->one = 1;
  const int64_t bpp = (m->bits == 15 || m->bits == 16) ? 2 : bits / 8;
  const int64_t size = static_cast<int64_t>(w) * h * (bpp ? bpp : 1);
  m->screens = size ? static_cast<int32_t>(maxvramavail / size) : 0;
  m->screensless1 = m->screens - 1;
}

HRESULT ModeEnum(LPDDSURFACEDESC desc, LPVOID) {
  const int code = D3D_calcddrawtype(desc->ddpfPixelFormat);
  if (!code) return DDENUMRET_OK;
  const int32_t w = static_cast<int32_t>(desc->dwWidth), h = static_cast<int32_t>(desc->dwHeight);
  const int32_t bits = static_cast<int32_t>(desc->ddpfPixelFormat.dwRGBBitCount);
  int slot;
  if (w == 640 && h == 480 && bits == 16) slot = 1;
  else if (w == 800 && h == 600 && bits == 16) slot = 2;
  else slot = nGNumModes++;
  FillMode(&d3ddisplaymodes[slot], w, h, bits, code);
  PutWord(60, nGNumModes);
  return nGNumModes >= 30 ? DDENUMRET_CANCEL : DDENUMRET_OK;
}

void D3D_releasesurfaces() {
  for (auto*& s : d3dsurface) ReleaseOf(s);
  d3dcurrentwindow = nullptr;
  ReleaseOf(d3dback);
  ReleaseOf(d3dprimary);
}

DWORD CooperativeLevel() {
  d3dcooperativelevel &= ~static_cast<DWORD>(DDSCL_FULLSCREEN | DDSCL_NORMAL | DDSCL_EXCLUSIVE);
  d3dcooperativelevel |= d3ddesktopmode ? DDSCL_NORMAL : (DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE);
  return d3dcooperativelevel;
}

// Creates DirectDraw and the display-mode list (on the window thread, or on the caller's without one).
void InitDisplay() {
  LPDIRECTDRAW first = nullptr;
  d3dstatus = DirectDrawCreate(pCurrD3DCardGUID, &first, nullptr);
  if (d3dstatus != DD_OK) return;
  d3dstatus = first->QueryInterface(IID_IDirectDraw2, reinterpret_cast<LPVOID*>(&d3dddraw));
  if (d3dstatus == DD_OK && haveServices && services.halsetddraw) services.halsetddraw(first);
  first->Release();
  if (d3dstatus != DD_OK) return;
  winapi::d3d::Install();
  d3dstatus = d3dddraw->SetCooperativeLevel(d3dwindow, CooperativeLevel());
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  LPDIRECTDRAWSURFACE primary = nullptr;
  DDCAPS hal{}, hel{};
  hal.dwSize = hel.dwSize = sizeof(DDCAPS);
  DDSURFACEDESC pdesc{};
  pdesc.dwSize = sizeof pdesc;
  if (d3dddraw->CreateSurface(&desc, &primary, nullptr) == DD_OK) {
    primary->GetSurfaceDesc(&pdesc);
    primary->Release();
  } else {
    std::printf("*** FAILURE in creating primary surface***\n");
  }
  d3dddraw->GetCaps(&hal, &hel);
  DDSCAPS caps{DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM};
  DWORD total = 0, free = 0;
  if (d3dddraw->GetAvailableVidMem(&caps, &total, &free) == DD_OK)
    maxvramavail = total + static_cast<DWORD>(pdesc.lPitch) * pdesc.dwHeight;
  else
    maxvramavail = 0x200000;
  caps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_LOCALVIDMEM;
  if (d3dddraw->GetAvailableVidMem(&caps, &total, &free) == DD_OK) {
    PutWord(112, static_cast<int32_t>(total));
    PutWord(116, 3);
  } else {
    PutWord(112, 0);
    PutWord(116, 0);
  }
  caps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_NONLOCALVIDMEM;
  if (d3dddraw->GetAvailableVidMem(&caps, &total, &free) == DD_OK && total) PutWord(116, GetWord(116) + 0x8000);
  hardware3d = (hal.dwCaps & DDCAPS_3D) ? 1 : 0;
  std::memset(d3ddisplaymodes, 0, sizeof d3ddisplaymodes);
  FillMode(&d3ddisplaymodes[1], 640, 480, 16, 4);
  FillMode(&d3ddisplaymodes[2], 800, 600, 16, 4);
  d3ddisplaymodes[1].screens = 3, d3ddisplaymodes[1].screensless1 = 2;
  d3ddisplaymodes[2].screens = 2, d3ddisplaymodes[2].screensless1 = 1;
  nGNumModes = 3;
  PutWord(60, 3);
  d3dddraw->EnumDisplayModes(0, nullptr, nullptr, ModeEnum);
}

void KillDisplay() {
  D3D_releasesurfaces();
  if (haveServices && services.halsetddraw) services.halsetddraw(nullptr);
  ReleaseOf(d3dddraw);
}

void SetDisplay(int mode, int pages);

int HandlerCommon(LRESULT* result) {
  if (result) *result = d3dstatus;
  if (handshake) SetEvent(handshake);
  return 1;
}
int D3D_initdisplay(void*, HWND, UINT, WPARAM, LPARAM, LRESULT* result) {
  InitDisplay();
  return HandlerCommon(result);
}
int D3D_setdisplay(void*, HWND, UINT, WPARAM first, LPARAM second, LRESULT* result) {
  SetDisplay(static_cast<int>(first), static_cast<int>(second));
  return HandlerCommon(result);
}
int D3D_killdisplay(void*, HWND, UINT, WPARAM, LPARAM, LRESULT* result) {
  KillDisplay();
  return HandlerCommon(result);
}

// Runs a display handler on the window thread and waits for it; when the window cannot take the message
// the handler runs here instead of waiting for ever. The library takes these messages back for its own handlers
// whenever the game opens its display, so the module's handler is put in place for each request (and whatever was
// there before afterwards): else the library's handler answers, the handshake never comes and the game hangs.
void RunOnWindowThread(UINT message, WPARAM first, LPARAM second) {
  if (d3dwindow) SetForegroundWindow(d3dwindow);
  const bool claim = haveServices && services.setmessagehandler && services.getmessagehandler && handlersSaved;
  const intptr_t before = claim ? services.getmessagehandler(message) : 0;
  if (claim) {
    const intptr_t ours = reinterpret_cast<intptr_t>(message == kInitDisplay  ? D3D_initdisplay
                                                     : message == kSetDisplay ? D3D_setdisplay
                                                                              : D3D_killdisplay);
    services.setmessagehandler(message, ours);
  }
  if (d3dwindow && PostMessageA(d3dwindow, message, first, second)) {
    WaitForSingleObject(handshake, INFINITE);
    if (claim) services.setmessagehandler(message, before);
    return;
  }
  if (claim) services.setmessagehandler(message, before);
  LRESULT ignored;
  if (message == kInitDisplay) D3D_initdisplay(nullptr, d3dwindow, message, first, second, &ignored);
  else if (message == kSetDisplay) D3D_setdisplay(nullptr, d3dwindow, message, first, second, &ignored);
  else D3D_killdisplay(nullptr, d3dwindow, message, first, second, &ignored);
}

int32_t D3D_initddrawmessagehandlers() {
  if (!handshake) handshake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  d3dwindow = services.getmainwindowhandle();
  if (!d3dwindow) return d3dstatus = 1400;
  if (services.setmessagehandler) {
    // The library's own handlers of these messages come back when the module lets the display go.
    if (services.getmessagehandler && !handlersSaved) {
      for (int i = 0; i < 3; ++i) savedHandlers[i] = services.getmessagehandler(kHandled[i]);
      handlersSaved = true;
    }
    services.setmessagehandler(kInitDisplay, reinterpret_cast<intptr_t>(D3D_initdisplay));
    services.setmessagehandler(kKillDisplay, reinterpret_cast<intptr_t>(D3D_killdisplay));
    services.setmessagehandler(kSetDisplay, reinterpret_cast<intptr_t>(D3D_setdisplay));
  }
  CooperativeLevel();
  viaWindowThread = true;
  RunOnWindowThread(kInitDisplay, 0, 0);
  return d3dstatus;
}

int32_t D3D_initddrawSA() {
  if (!d3dwindow) return d3dstatus;
  viaWindowThread = false;
  InitDisplay();
  return d3dstatus;
}

int32_t D3D_killddraw() {
  if (!d3dddraw) return 0;
  if (viaWindowThread) {
    RunOnWindowThread(kKillDisplay, 0, 0);
    if (handlersSaved && services.setmessagehandler)
      for (int i = 0; i < 3; ++i) services.setmessagehandler(kHandled[i], savedHandlers[i]);
    handlersSaved = false;
    if (handshake) CloseHandle(handshake);
    handshake = nullptr;
    d3dwindow = nullptr;
  } else {
    KillDisplay();
  }
  return d3dstatus;
}

int32_t SelectDisplay(int32_t index) {
  pCurrD3DCardGUID = nullptr;
  if (d3dddraw) Restore();
  if (index < 0 || index >= nGNumCards) index = 0;
  nGCurrentCard = index;
  pCurrD3DCardGUID = nGNumCards ? pGD3Dguids[index] : nullptr;
  std::memset(about + 76, 0, 32);
  if (nGNumCards) std::memcpy(about + 76, acaGD3DDeviceNames[index], 31);
  if (haveServices && services.getmainwindowhandle) D3D_initddrawmessagehandlers();
  else D3D_initddrawSA();
  const char* type = std::getenv("VORTEL_D3DDEVICETYPE");
  const int value = type ? std::atoi(type) : 3;
  if (value == 3) nGDeviceType = 3;
  return 1;
}

void D3D_initcard() {
  if (nGCurrentCard >= 0) return;
  if (!(haveServices && services.getmainwindowhandle) && !d3dwindow) return;
  if (!nGNumCards) D3D_enumdisplaycards();
  const char* display = std::getenv("VORTEL_DISPLAY");
  SelectDisplay(display ? std::atoi(display) : 0);
}

// ---- textures -------------------------------------------------------------------------------------------------------
int CountBits(DWORD mask) { return __builtin_popcount(mask); }

HRESULT EnumTextureFormatsCallback(LPDDSURFACEDESC desc, LPVOID) {
  if (nGnumTextureFormats >= 32) return D3DENUMRET_CANCEL;
  D3DTextureFormat& f = aGTextureFormat[nGnumTextureFormats++];
  f = D3DTextureFormat{};
  f.desc = *desc;
  const DDPIXELFORMAT& pf = desc->ddpfPixelFormat;
  if (pf.dwFlags & DDPF_PALETTEINDEXED8) f.palettised = 1, f.palettebits = 8;
  else if (pf.dwFlags & DDPF_PALETTEINDEXED4) f.palettised = 1, f.palettebits = 4;
  else {
    f.red = CountBits(pf.dwRBitMask), f.green = CountBits(pf.dwGBitMask), f.blue = CountBits(pf.dwBBitMask);
    if (pf.dwFlags & DDPF_ALPHAPIXELS) f.alpha = CountBits(pf.dwRGBAlphaBitMask);
  }
  return D3DENUMRET_OK;
}

int D3D_gettextureformatmode(int palette, int alpha, int red, int green, int blue) {
  for (int i = 0; i < nGnumTextureFormats; ++i) {
    const D3DTextureFormat& f = aGTextureFormat[i];
    if (palette && f.palettebits == palette) return i;
    if (!palette && !f.palettebits && f.alpha == alpha && f.red == red && f.green == green && f.blue == blue) return i;
  }
  return -1;
}

void D3D_enumtextureformats() {
  nGnumTextureFormats = 0;
  device->EnumTextureFormats(EnumTextureFormatsCallback, nullptr);
  for (int& m : nGtexturemodeconversion) m = -1;
  nGtexturemodeconversion[1] = D3D_gettextureformatmode(4, 0, 0, 0, 0);
  nGtexturemodeconversion[2] = D3D_gettextureformatmode(8, 0, 0, 0, 0);
  nGtexturemodeconversion[3] = D3D_gettextureformatmode(0, 1, 5, 5, 5);
  int type3 = nGtexturemodeconversion[3] >= 0 ? 1 : 0;
  if (nGtexturemodeconversion[3] < 0) {
    nGtexturemodeconversion[3] = D3D_gettextureformatmode(0, 0, 5, 5, 5);
    if (nGtexturemodeconversion[3] >= 0) type3 = 5;
  }
  nGtexturemodeconversion[4] = D3D_gettextureformatmode(0, 0, 5, 6, 5);
  nGtexturemodeconversion[5] = D3D_gettextureformatmode(0, 0, 8, 8, 8);
  nGtexturemodeconversion[6] = D3D_gettextureformatmode(0, 8, 8, 8, 8);
  nGtexturemodeconversion[7] = D3D_gettextureformatmode(0, 4, 4, 4, 4);
  d3dtexturetypes[0] = 0;
  for (int i = 1; i <= 7; ++i) d3dtexturetypes[i] = nGtexturemodeconversion[i] >= 0 ? 1 : 0;
  d3dtexturetypes[3] = type3;
  d3dtexturetypes[8] = 0;
  d3dtexturetypes[9] = -1;
}

void FreeTexture(D3DTextureRec* t) {
  ReleaseOf(t->sourcetexture);
  ReleaseOf(t->source);
  ReleaseOf(t->videotexture);
  ReleaseOf(t->video);
  ReleaseOf(t->palette);
  delete t;
}

intptr_t TReset() {
  if (bGIn3DScene) D3D_endrender();
  for (D3DTextureRec* t = d3dprev; t;) {
    D3DTextureRec* next = t->next;
    FreeTexture(t);
    t = next;
  }
  d3dprev = nullptr;
  tpGFirstNonTransTexture = nullptr;
  nGTextureRamFull = 0;
  return 1;
}

// ---- scenes and the batch ---------------------------------------------------------------------------------------
D3DTEXTUREHANDLE lastTexture = 0;

int D3D_startrender() {
  lastTexture = 0;
  if (userlock) D3D_abortmessage("D3D startrender called in while locked\n");
  return device && device->BeginScene() == D3D_OK ? 1 : 0;
}

bool OpenScene() {
  if (bGIn3DScene) return true;
  if (!D3D_startrender()) return false;
  bGIn3DScene = true;
  return true;
}

int D3D_flushtricache() {
  if (!OpenScene()) {
    nGnumtriverts = nGnumtriindices = 0;
    return 0;
  }
  HRESULT r = D3D_OK;
  if (nGnumtriindices)
    r = device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DVT_TLVERTEX, vpGtrivertexcache,
                                     static_cast<DWORD>(nGnumtriverts), wpGtriindexcache,
                                     static_cast<DWORD>(nGnumtriindices), dwGRenderFlags);
  nGnumtriverts = nGnumtriindices = 0;
  return r == D3D_OK ? 1 : 0;
}

void D3D_checkflushtricache() {
  if (nGnumtriverts) D3D_flushtricache();
}

int D3D_endrender() {
  D3D_checkflushtricache();
  if (!bGIn3DScene) return 1;
  nGZBias = 0.0f;
  device->SetRenderState(D3DRENDERSTATE_TEXTUREHANDLE, 0);
  const HRESULT r = device->EndScene();
  bGIn3DScene = false;
  return r == D3D_OK ? 1 : 0;
}

int D3D_renderstate(D3DRENDERSTATETYPE state, DWORD value) {
  if (!device) return 0;
  if (!OpenScene()) return 0;
  D3D_checkflushtricache();
  return device->SetRenderState(state, value) == D3D_OK ? 1 : 0;
}

int FogIndex(float z) {
  const float scaled = z * 255.0f;
  if (!(scaled > 0.0f)) return 0;  // depths outside 0 .. 1 take the nearest entry
  if (scaled >= 255.0f) return 255;
  return static_cast<int>(std::lround(scaled));
}

void FogAndBias(D3DTLVERTEX* v) {
  v->specular = static_cast<uint32_t>(ucpGFogTable[FogIndex(v->sz)]) << 24;
  v->sz += nGZBias;
}

void AddVertex(const VortelVertex* in) {
  D3DTLVERTEX& v = vpGtrivertexcache[nGnumtriverts];
  std::memcpy(&v, in, sizeof v);
  FogAndBias(&v);
  wpGtriindexcache[nGnumtriindices++] = static_cast<WORD>(nGnumtriverts++);
}

void BatchTriangle(const VortelVertex* a, const VortelVertex* b, const VortelVertex* c) {
  if (!device) return;
  if (nGnumtriverts > nGverticespercache - 3) D3D_flushtricache();
  AddVertex(a), AddVertex(b), AddVertex(c);
}

void BatchQuad(const VortelVertex* a, const VortelVertex* b, const VortelVertex* c, const VortelVertex* d) {
  if (!device) return;
  if (nGnumtriverts > nGverticespercache - 4) D3D_flushtricache();
  const int base = nGnumtriverts;
  for (const VortelVertex* v : {a, b, c, d}) {
    D3DTLVERTEX& slot = vpGtrivertexcache[nGnumtriverts++];
    std::memcpy(&slot, v, sizeof slot);
    FogAndBias(&slot);
  }
  for (int k : {0, 1, 2, 0, 2, 3}) wpGtriindexcache[nGnumtriindices++] = static_cast<WORD>(base + k);
}

int DirectDraw(D3DPRIMITIVETYPE type, const void* vertices, DWORD count) {
  if (!device || !OpenScene()) return 0;
  return device->DrawPrimitive(type, D3DVT_TLVERTEX, const_cast<void*>(vertices), count, dwGRenderFlags) == D3D_OK
             ? 1
             : 0;
}

// ---- Direct3D ------------------------------------------------------------------------------------------------------
void D3D_clearclipregion() { nGWinX = nGWinY = nGWinW = nGWinH = 0; }

void D3D_setdefaultrenderstates() {
  if (device->BeginScene() != D3D_OK) return;
  device->SetCurrentViewport(viewport);
  D3DDEVICEDESC hw{}, hel{};
  hw.dwSize = hel.dwSize = sizeof hw;
  device->GetCaps(&hw, &hel);
  const D3DDEVICEDESC& use = hw.dcmColorModel ? hw : hel;
  const bool modulateAlpha = use.dpcTriCaps.dwTextureBlendCaps & D3DPTBLENDCAPS_MODULATEALPHA;
  const struct {
    D3DRENDERSTATETYPE s;
    DWORD v;
  } defaults[] = {{D3DRENDERSTATE_COLORKEYENABLE, 0},
                  {D3DRENDERSTATE_ALPHABLENDENABLE, 1},
                  {D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA},
                  {D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA},
                  {D3DRENDERSTATE_ALPHATESTENABLE, 1},
                  {D3DRENDERSTATE_ALPHAFUNC, D3DCMP_GREATER},
                  {D3DRENDERSTATE_ZENABLE, 1},
                  {D3DRENDERSTATE_ZWRITEENABLE, 1},
                  {D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL},
                  {D3DRENDERSTATE_TEXTUREPERSPECTIVE, 1},
                  {D3DRENDERSTATE_TEXTUREMAG, D3DFILTER_LINEAR},
                  {D3DRENDERSTATE_TEXTUREMIN, D3DFILTER_LINEAR},
                  {D3DRENDERSTATE_TEXTUREMAPBLEND, modulateAlpha ? DWORD{D3DTBLEND_MODULATEALPHA} : DWORD{D3DTBLEND_MODULATE}},
                  {D3DRENDERSTATE_TEXTUREADDRESS, D3DTADDRESS_CLAMP},
                  {D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD},
                  {D3DRENDERSTATE_FILLMODE, D3DFILL_SOLID},
                  {D3DRENDERSTATE_DITHERENABLE, 0},
                  {D3DRENDERSTATE_SPECULARENABLE, 0},
                  {D3DRENDERSTATE_ANTIALIAS, D3DANTIALIAS_NONE},
                  {D3DRENDERSTATE_FOGENABLE, 0},
                  {D3DRENDERSTATE_FOGCOLOR, 0x010101},
                  {D3DRENDERSTATE_FOGTABLEMODE, D3DFOG_LINEAR},
                  {D3DRENDERSTATE_FOGTABLESTART, 0},
                  {D3DRENDERSTATE_FOGTABLEEND, 1}};
  for (const auto& d : defaults) device->SetRenderState(d.s, d.v);
  device->EndScene();
}

const GUID& DeviceGuid() {
  switch (nGDeviceType) {
    case -1:
    case 3: return IID_IDirect3DHALDevice;
    case 0: return IID_IDirect3DRampDevice;
    case 1: return IID_IDirect3DRGBDevice;
    case 2: return IID_IDirect3DMMXDevice;
  }
  D3D_abortmessage("D3D device type not recognised\n");
  return IID_IDirect3DRGBDevice;
}

int D3D_createdevice() {
  if (device) ReleaseOf(device);
  const GUID& type = DeviceGuid();
  if (!d3dback || d3d->CreateDevice(type, d3dback, &device) != D3D_OK)
    D3D_abortmessage("D3DINIT D3D_createD3D() IDirect3D2_CreateDevice failed .\n");
  return device ? 1 : 0;
}

int D3D_createzbuffer(int32_t width, int32_t height) {
  if (!sGD3DDeviceInfo.zdepth) {
    std::printf("zbuffer depth = 0\n");
    return 0;
  }
  const bool hw = nGDeviceType == 3 || nGDeviceType == -1;
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_ZBUFFERBITDEPTH;
  desc.dwWidth = static_cast<DWORD>(width), desc.dwHeight = static_cast<DWORD>(height);
  desc.dwZBufferBitDepth = static_cast<DWORD>(sGD3DDeviceInfo.zdepth);
  desc.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | (hw ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY);
  HRESULT r = d3dddraw->CreateSurface(&desc, &zbuffer, nullptr);
  if (r != DD_OK) {
    if (r == DDERR_OUTOFMEMORY || r == DDERR_OUTOFVIDEOMEMORY)
      std::printf("There was not enough video memory to create the Z-buffer surface.\nPlease restart the program "
                  "and try another fullscreen mode with less resolution or lower bit depth.\n");
    else
      std::printf("CreateSurface for Z-buffer failed %d.\n", static_cast<int>(r));
    return 0;
  }
  zbuffer->QueryInterface(IID_IDirectDrawSurface2, reinterpret_cast<LPVOID*>(&zbuffer2));
  r = d3dback->AddAttachedSurface(zbuffer);
  if (r != DD_OK) {
    std::printf("AddAttachedBuffer failed for Z-Buffer %d.\n", static_cast<int>(r));
    ReleaseOf(zbuffer2), ReleaseOf(zbuffer);
    return 0;
  }
  DDSURFACEDESC got{};
  got.dwSize = sizeof got;
  r = zbuffer->GetSurfaceDesc(&got);
  if (r != DD_OK) {
    std::printf("Failed to get surface description of Z buffer %d.\n", static_cast<int>(r));
    ReleaseOf(zbuffer2), ReleaseOf(zbuffer);
    return 0;
  }
  sGD3DDeviceInfo.zinvideomemory = (got.ddsCaps.dwCaps & DDSCAPS_VIDEOMEMORY) ? 1 : 0;
  if (hw && !sGD3DDeviceInfo.zinvideomemory) {
    std::printf("Could not fit the Z-buffer in video memory for this hardware device.\n");
    d3dback->DeleteAttachedSurface(0, zbuffer);
    ReleaseOf(zbuffer2), ReleaseOf(zbuffer);
    return 0;
  }
  return 1;
}

void FillDeviceInfo() {
  D3DDEVICEDESC hw{}, hel{};
  hw.dwSize = hel.dwSize = sizeof hw;
  device->GetCaps(&hw, &hel);
  D3DDeviceInfo& i = sGD3DDeviceInfo;
  i = D3DDeviceInfo{};
  i.hardware3d = hardware3d;
  const D3DDEVICEDESC& d = hw.dcmColorModel ? hw : hel;
  const DWORD z = d.dwDeviceZBufferBitDepth;
  i.zdepth = (z & DDBD_32) ? 32 : (z & DDBD_24) ? 24 : (z & DDBD_16) ? 16 : (z & DDBD_8) ? 8 : 0;
  if (!hw.dcmColorModel) {
    i.renderdepths = static_cast<int32_t>(hel.dwDeviceRenderBitDepth);
    i.perspective = (hel.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_PERSPECTIVE) ? 1 : 0;
    return;
  }
  const D3DPRIMCAPS& c = hw.dpcTriCaps;
  i.renderdepths = static_cast<int32_t>(hw.dwDeviceRenderBitDepth);
  i.perspective = (c.dwTextureCaps & D3DPTEXTURECAPS_PERSPECTIVE) ? 1 : 0;
  i.alphashading = (c.dwShadeCaps & (D3DPSHADECAPS_ALPHAFLATBLEND | D3DPSHADECAPS_ALPHAGOURAUDBLEND |
                                     D3DPSHADECAPS_ALPHAPHONGBLEND)) ? 1 : 0;
  i.gouraudalpha = (c.dwShadeCaps & (D3DPSHADECAPS_ALPHAGOURAUDBLEND | D3DPSHADECAPS_ALPHAPHONGBLEND)) ? 1 : 0;
  i.alphatextures = (c.dwTextureCaps & D3DPTEXTURECAPS_ALPHA) ? 1 : 0;
  i.modulatealpha = (c.dwTextureBlendCaps & D3DPTBLENDCAPS_MODULATEALPHA) ? 1 : 0;
  i.gouraudcolour = (c.dwShadeCaps & (D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_COLORPHONGRGB)) ? 1 : 0;
  i.gouraudspecular = (c.dwShadeCaps & (D3DPSHADECAPS_SPECULARGOURAUDRGB | D3DPSHADECAPS_SPECULARPHONGRGB)) ? 1 : 0;
  i.additive = ((c.dwSrcBlendCaps & D3DPBLENDCAPS_SRCALPHA) && (c.dwDestBlendCaps & D3DPBLENDCAPS_ONE) &&
                i.gouraudcolour) ? 1 : 0;
  i.antialias = ((c.dwRasterCaps & D3DPRASTERCAPS_ANTIALIASSORTDEPENDENT) ? 1 : 0) +
                ((c.dwRasterCaps & D3DPRASTERCAPS_ANTIALIASSORTINDEPENDENT) ? 2 : 0);
}

int D3D_createD3D() {
  if (!d3dddraw || d3dddraw->QueryInterface(IID_IDirect3D2, reinterpret_cast<LPVOID*>(&d3d)) != DD_OK) {
    D3D_abortmessage("D3DINIT D3D_createD3D() Creation of IDirect3D2 failed.\nCheck DX5 installed.\n");
    return 0;
  }
  if (!D3D_createdevice()) return 0;
  FillDeviceInfo();
  if (sGD3DDeviceInfo.zdepth && D3D_createzbuffer(nGD3DWidth, nGD3DHeight)) sGD3DDeviceInfo.zpresent = 1;
  zpresent = sGD3DDeviceInfo.zpresent;
  if (!D3D_createdevice()) return 0;
  D3D_enumtextureformats();
  d3d->CreateViewport(&viewport, nullptr);
  device->AddViewport(viewport);
  D3DVIEWPORT2 vp{};
  vp.dwSize = sizeof vp;
  vp.dwWidth = static_cast<DWORD>(nGD3DWidth), vp.dwHeight = static_cast<DWORD>(nGD3DHeight);
  const float aspect = nGD3DWidth ? static_cast<float>(nGD3DHeight) / static_cast<float>(nGD3DWidth) : 1.0f;
  vp.dvClipX = -1.0f, vp.dvClipY = aspect, vp.dvClipWidth = 2.0f, vp.dvClipHeight = 2.0f * aspect;
  vp.dvMinZ = 0.0f, vp.dvMaxZ = 1.0f;
  viewport->SetViewport2(&vp);
  device->SetCurrentViewport(viewport);
  d3d->CreateMaterial(&background, nullptr);
  D3DMATERIAL m{};
  m.dwSize = sizeof m;
  m.dwRampSize = 1;
  background->SetMaterial(&m);
  background->GetHandle(device, &backgroundHandle);
  viewport->SetBackground(backgroundHandle);
  D3D_setdefaultrenderstates();
  D3D_clearclipregion();
  d3dalive = true;
  return 1;
}

void D3D_killD3D() {
  if (d3dalive && bGIn3DScene) D3D_endrender();
  TReset();
  if (zbuffer && d3dback) d3dback->DeleteAttachedSurface(0, zbuffer);
  ReleaseOf(zbuffer2);
  ReleaseOf(zbuffer);
  ReleaseOf(background);
  ReleaseOf(viewport);
  ReleaseOf(device);
  ReleaseOf(d3d);
  d3dalive = false;
  bGIn3DScene = false;
  nGnumtriverts = nGnumtriindices = 0;
}

HRESULT MakeSurface(DDSURFACEDESC* desc, LPDIRECTDRAWSURFACE* out) { return d3dddraw->CreateSurface(desc, out, nullptr); }

void SetDisplay(int mode, int pages) {
  if (mode < 0 || mode >= 30) mode = 1;  // an index past the list takes the standard mode
  const D3DDisplayMode& m = d3ddisplaymodes[mode];
  D3D_killD3D();
  D3D_releasesurfaces();
  nGD3DWidth = m.width, nGD3DHeight = m.height;
  const DWORD bits = m.bits == 15 ? 16 : static_cast<DWORD>(m.bits);
  d3dstatus = 0;
  if (!d3dddraw || !nGD3DWidth || !nGD3DHeight) {
    d3dstatus = DDERR_INVALIDMODE;
    return;
  }
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  if (d3ddesktopmode) {
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    HRESULT r = MakeSurface(&desc, &d3dprimary);
    const char* noRoom = "There was not enough video memory to create the rendering surface.\nTo run this program in a "
                         "window of this size, please adjust your display settings for a smaller desktop area or a "
                         "lower palette size and restart the program.";
    if (r == DDERR_OUTOFMEMORY || r == DDERR_OUTOFVIDEOMEMORY) std::printf("%s", noRoom);
    else if (r != DD_OK) std::printf("CreateSurface for window front buffer failed %8x.\n", static_cast<unsigned>(r));
    if (d3dprimary) d3dprimary->QueryInterface(IID_IDirectDrawSurface2, reinterpret_cast<LPVOID*>(&d3dsurface[1]));
    DDSURFACEDESC back{};
    back.dwSize = sizeof back;
    back.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    back.dwWidth = static_cast<DWORD>(nGD3DWidth), back.dwHeight = static_cast<DWORD>(nGD3DHeight);
    back.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | (nGDeviceType == 3 ? DDSCAPS_VIDEOMEMORY : 0);
    r = MakeSurface(&back, &d3dback);
    if (r == DDERR_OUTOFMEMORY || r == DDERR_OUTOFVIDEOMEMORY) std::printf("%s\n", noRoom);
    else if (r != DD_OK) std::printf("CreateSurface for window back buffer failed %8x.\n", static_cast<unsigned>(r));
    if (r != DD_OK) d3dstatus = r;
  } else {
    HRESULT r = d3dddraw->SetDisplayMode(static_cast<DWORD>(nGD3DWidth), static_cast<DWORD>(nGD3DHeight), bits, 0, 0);
    if (r != DD_OK) d3dstatus = r;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = static_cast<DWORD>(pages > 1 ? pages - 1 : 1);
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE |
                          (hardware3d ? DDSCAPS_VIDEOMEMORY : 0);
    while ((r = MakeSurface(&desc, &d3dprimary)) == DDERR_OUTOFVIDEOMEMORY && desc.dwBackBufferCount >= 2)
      --desc.dwBackBufferCount;
    if (r != DD_OK) d3dstatus = r;
    if (d3dprimary && !d3dback) {
      DDSCAPS caps{DDSCAPS_BACKBUFFER};
      d3dprimary->GetAttachedSurface(&caps, &d3dback);
    }
    if (d3dprimary) d3dprimary->QueryInterface(IID_IDirectDrawSurface2, reinterpret_cast<LPVOID*>(&d3dsurface[1]));
  }
  if (d3dback) d3dback->QueryInterface(IID_IDirectDrawSurface2, reinterpret_cast<LPVOID*>(&d3dsurface[2]));
  if (d3dback) D3D_createD3D();
}

int D3D_clearbackbuffer(int32_t x, int32_t y, int32_t w, int32_t h) {
  if (!viewport) return 0;
  D3DRECT r{x, y, w, h};
  if (w == 0) r = D3DRECT{0, 0, nGD3DWidth, nGD3DHeight};
  return viewport->Clear(1, &r, D3DCLEAR_TARGET | (zpresent ? D3DCLEAR_ZBUFFER : 0)) == D3D_OK ? 1 : 0;
}

int D3D_showbackbuffer() {
  if (!d3dprimary || !d3dback) return 0;
  HRESULT r;
  if (!d3ddesktopmode) {
    r = d3dprimary->Flip(nullptr, DDFLIP_WAIT);
    if (r == DDERR_SURFACELOST) return 0;
    if (r != DD_OK) D3D_abortmessage("D3D Flipping complex display surface failed err %8x \n", static_cast<unsigned>(r));
    return 1;
  }
  RECT client{0, 0, nGD3DWidth, nGD3DHeight};
  if (d3dwindow) {
    GetClientRect(d3dwindow, &client);
    POINT origin{0, 0};
    ClientToScreen(d3dwindow, &origin);
    client.left += origin.x, client.right += origin.x, client.top += origin.y, client.bottom += origin.y;
  }
  RECT source{0, 0, nGD3DWidth, nGD3DHeight};
  r = d3dprimary->Blt(&client, d3dback, &source, DDBLT_WAIT, nullptr);
  if (r == DDERR_SURFACELOST) return 0;
  if (r != DD_OK) D3D_abortmessage("D3D showbackbuffer - error %8x \n", static_cast<unsigned>(r));
  return 1;
}

intptr_t Restore() {
  if (userlock) {
    if (lockedsurface) lockedsurface->Unlock(nullptr);
    userlock = false;
    lockedsurface = nullptr;
    if (haveServices && services.hallock) services.hallock(0);
  }
  D3D_killD3D();
  nGCurrentCard = -1;
  if (viaWindowThread) D3D_killddraw();
  else {
    KillDisplay();
  }
  return 1;
}

void D3D_abortmessage(const char* format, ...) {
  if (aborting) return;
  aborting = 1;
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  OutputDebugStringA(text);
  std::printf("%s", text);
  std::fflush(stdout);
  Restore();
  if (haveServices && services.halmessage) services.halmessage(0, format);
  aborting = 0;
  ExitProcess(0);
}

void FogTable64To256(const uint8_t* curve) {
  for (int j = 0; j < 256; ++j) {
    const float t = static_cast<float>(j) * (1.0f / 255.0f) * 63.0f;
    int k = static_cast<int>(t);
    if (k > 63) k = 63;
    const float f = t - static_cast<float>(k);
    int v = curve[k];
    if (f > 0.0f && k < 63) v = static_cast<int>(static_cast<float>(curve[k]) + static_cast<float>(curve[k + 1] - curve[k]) * f);
    ucaGFogTable256[j] = static_cast<uint8_t>(255 - v);
  }
}

float D3D_FogTableIndexToW(int i) { return std::ldexp(1.0f, 3 + i / 4) / static_cast<float>(8 - i % 4); }

void D3D_FogGenerateExpTable() {
  const double d = nGFogDensity;
  const double scale = 1.0 / (1.0 - std::exp(-d * D3D_FogTableIndexToW(63)));
  for (int i = 0; i < 64; ++i) {
    double f = (1.0 - std::exp(-d * D3D_FogTableIndexToW(i))) * scale;
    f = f < 0 ? 0 : (f > 1 ? 1 : f);
    ucaGFogTable64[i] = static_cast<uint8_t>(f * 255.0);
  }
  FogTable64To256(ucaGFogTable64);
}

int32_t BlendOf(intptr_t value) {
  static const int32_t list[10] = {D3DBLEND_ONE, D3DBLEND_ZERO, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA,
                                   D3DBLEND_DESTALPHA, D3DBLEND_INVDESTALPHA, D3DBLEND_SRCCOLOR,
                                   D3DBLEND_DESTCOLOR, D3DBLEND_INVSRCCOLOR, D3DBLEND_INVDESTCOLOR};
  return list[value];
}

struct Init {
  Init() {
    PutWord(0, 0x44334435);
    PutWord(4, 128);
    PutWord(8, kVortelVersion);
    for (int i = 0; i < 256; ++i) ucaGFogTable256[i] = 255;
    for (int& m : nGtexturemodeconversion) m = -1;  // nothing is supported before a device exists
    for (int i = 1; i <= 34; ++i) fanindices[3 * (i - 1)] = 0, fanindices[3 * (i - 1) + 1] = static_cast<WORD>(i),
                                  fanindices[3 * (i - 1) + 2] = static_cast<WORD>(i + 1);
  }
} init;

}  // namespace

// ---- entry points ---------------------------------------------------------------------------------------------------
EXPORT intptr_t VORTEL_about() {
  about[12] |= 0x0F;
  const int32_t words[] = {8, 256, 1, 8, 256, 1, 0};
  for (int i = 0; i < 7; ++i) PutWord(16 + 4 * i, words[i]);
  PutWord(44, 9);
  PutWord(52, 4);
  // The three list words held 32-bit addresses; a 64-bit address does not fit, so they stay 0 and the lists
  // are reached through drvd3d_lists.
  PutWord(48, 0), PutWord(56, 0), PutWord(64, 0);
  PutWord(60, nGNumModes);
  D3D_initcard();
  return reinterpret_cast<intptr_t>(about);
}

// The lists the capability record names: 0 texture types, 1 palette types, 2 display modes.
EXPORT const void* drvd3d_lists(int32_t which) {
  switch (which) {
    case 0: return d3dtexturetypes;
    case 1: return d3dcluttypes;
    case 2: return d3ddisplaymodes;
  }
  return nullptr;
}

EXPORT intptr_t VORTEL_is() {
  LPDIRECTDRAW dd = nullptr;
  if (DirectDrawCreate(nullptr, &dd, nullptr) != DD_OK || !dd) return 0;
  winapi::d3d::Install();
  intptr_t result = 0;
  LPDIRECTDRAW2 dd2 = nullptr;
  if (dd->QueryInterface(IID_IDirectDraw2, reinterpret_cast<LPVOID*>(&dd2)) == DD_OK) {
    LPDIRECT3D2 probe = nullptr;
    if (dd2->QueryInterface(IID_IDirect3D2, reinterpret_cast<LPVOID*>(&probe)) == DD_OK) {
      probe->Release();
      result = 80;
    }
    dd2->Release();
  }
  dd->Release();
  return result;
}

EXPORT intptr_t VORTEL_init() { return D3D_enumdisplaycards(); }
EXPORT int32_t VORTEL_selectdisplay(int32_t index) { return SelectDisplay(index); }
EXPORT intptr_t VORTEL_restore() { return Restore(); }

EXPORT int32_t VORTEL_setvideomode(int32_t mode, int32_t pages, int32_t) {
  if (bGIn3DScene) D3D_abortmessage("D3D Setting videomode in 3d scene !!!!\n");
  D3D_initcard();
  if (!d3dddraw) return 0;
  if (viaWindowThread) RunOnWindowThread(kSetDisplay, static_cast<WPARAM>(mode), pages);
  else SetDisplay(mode, pages);
  if (d3dstatus != 0) D3D_abortmessage("D3D_setdisplay - error\n");
  return 1;
}

EXPORT int32_t VORTEL_window(int32_t index) {
  if (index == 3) d3dcurrentwindow = zbuffer2;
  else d3dcurrentwindow = (index >= 0 && index < 8) ? d3dsurface[index] : nullptr;
  return d3dcurrentwindow ? 1 : 0;
}

EXPORT int32_t VORTEL_clip(int32_t x, int32_t y, int32_t w, int32_t h) {
  nGWinX = x, nGWinY = y, nGWinW = w, nGWinH = h;
  return 1;
}

EXPORT intptr_t VORTEL_clearwindow() { return D3D_clearbackbuffer(nGWinX, nGWinY, nGWinW, nGWinH); }
EXPORT intptr_t VORTEL_flushwindow() { return D3D_endrender(); }

EXPORT intptr_t VORTEL_pageflip() {
  if (bGIn3DScene) D3D_endrender();
  if (userlock) D3D_abortmessage("D3D pageflip called in while locked\n");
  return D3D_showbackbuffer();
}

EXPORT VortelLock* VORTEL_lockwindow() {
  if (userlock) D3D_abortmessage("D3D lock called while locked\n");
  if (bGIn3DScene) D3D_endrender();
  if (haveServices && services.hallock) services.hallock(1);
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  HRESULT r = d3dcurrentwindow ? d3dcurrentwindow->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) : DDERR_INVALIDOBJECT;
  if (r != DD_OK) {
    d3dstatus = r;
    if (haveServices && services.hallock) services.hallock(0);
    return nullptr;
  }
  auto* pixels = static_cast<uint8_t*>(desc.lpSurface);
  if (d3ddesktopmode && d3dcurrentwindow == d3dsurface[1] && d3dwindow) {
    POINT origin{0, 0};
    ClientToScreen(d3dwindow, &origin);
    pixels += static_cast<ptrdiff_t>(origin.y) * desc.lPitch + static_cast<ptrdiff_t>(origin.x) * 2;
  }
  lockinfo.pixels = pixels;
  lockinfo.pitch = desc.lPitch;
  lockinfo.width = nGD3DWidth;
  lockinfo.height = nGD3DHeight;
  const DDPIXELFORMAT& pf = desc.ddpfPixelFormat;
  if (d3dcurrentwindow == zbuffer2 && zbuffer2) lockinfo.format = static_cast<int32_t>(pf.dwZBufferBitDepth);
  else if (pf.dwRGBBitCount == 16) lockinfo.format = pf.dwGBitMask == 0x07E0 ? 4 : 11;
  else if (pf.dwRGBBitCount == 32) lockinfo.format = 5;
  userlock = true;
  lockedsurface = d3dcurrentwindow;
  return &lockinfo;
}

EXPORT int32_t VORTEL_unlockwindow(VortelLock* record) {
  if (!userlock || !lockedsurface) return 1;
  lockedsurface->Unlock(record ? record->pixels : nullptr);
  userlock = false;
  lockedsurface = nullptr;
  if (haveServices && services.hallock) services.hallock(0);
  return 1;
}

namespace {
int32_t CopyRect(int32_t x, int32_t y, int32_t w, int32_t h, void* buffer, bool read) {
  VortelLock* l = VORTEL_lockwindow();
  if (!l) return 0;
  const int32_t bpp = l->format == 5 ? 4 : 2;
  // A 32-bit depth buffer goes to and from the caller's 16-bit depth values as their high halves.
  const bool wideDepth = lockedsurface == zbuffer2 && zbuffer2 && l->format == 32;
  // Rectangles reaching outside the surface are cut to it, so neither side is overrun.
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  lockedsurface->GetSurfaceDesc(&desc);
  const int32_t sw = static_cast<int32_t>(desc.dwWidth), sh = static_cast<int32_t>(desc.dwHeight);
  if (buffer && w > 0 && h > 0 && x >= 0 && y >= 0) {
    const int32_t cw = std::min(w, sw - x), ch = std::min(h, sh - y);
    for (int32_t row = 0; row < ch && cw > 0; ++row) {
      uint8_t* mem = static_cast<uint8_t*>(buffer) + static_cast<ptrdiff_t>(row) * w * bpp;
      if (wideDepth) {
        auto* depth = reinterpret_cast<uint32_t*>(l->pixels + static_cast<ptrdiff_t>(y + row) * l->pitch) + x;
        auto* values = reinterpret_cast<uint16_t*>(mem);
        for (int32_t k = 0; k < cw; ++k) {
          if (read) values[k] = static_cast<uint16_t>(depth[k] >> 16);
          else depth[k] = static_cast<uint32_t>(values[k]) << 16 | values[k];
        }
        continue;
      }
      uint8_t* surface = l->pixels + static_cast<ptrdiff_t>(y + row) * l->pitch + static_cast<ptrdiff_t>(x) * bpp;
      if (read) std::memcpy(mem, surface, static_cast<size_t>(cw) * bpp);
      else std::memcpy(surface, mem, static_cast<size_t>(cw) * bpp);
    }
  }
  VORTEL_unlockwindow(l);
  return 1;
}
}  // namespace

EXPORT int32_t VORTEL_readrect(int32_t x, int32_t y, int32_t w, int32_t h, void* buffer) {
  return CopyRect(x, y, w, h, buffer, true);
}
EXPORT int32_t VORTEL_writerect(int32_t x, int32_t y, int32_t w, int32_t h, void* buffer) {
  return CopyRect(x, y, w, h, buffer, false);
}
EXPORT void VORTEL_idle() {}
EXPORT int32_t VORTEL_sync(int32_t) { return 0; }

EXPORT int32_t VORTEL_settexture(intptr_t handle) {
  auto* t = reinterpret_cast<D3DTextureRec*>(handle);
  if (!t) {
    if (tpGFirstNonTransTexture) D3D_renderstate(D3DRENDERSTATE_TEXTUREHANDLE, tpGFirstNonTransTexture->handle);
    return D3D_renderstate(D3DRENDERSTATE_TEXTUREHANDLE, 0);
  }
  return D3D_renderstate(D3DRENDERSTATE_TEXTUREHANDLE, t->handle);
}

EXPORT intptr_t VORTEL_setstate(int32_t state, intptr_t value) {
  switch (state) {
    case 0: case 5: case 11: case 16: case 17: return 1;
    case 1: VORTEL_settexture(value); return 1;
    case 2:
      if (value == 0) D3D_renderstate(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
      else if (value == 2) D3D_renderstate(D3DRENDERSTATE_CULLMODE, D3DCULL_CW);
      else if (value == 1) D3D_renderstate(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
      else return 0;
      return 1;
    case 3:
      if (background) {
        D3DMATERIAL m{};
        m.dwSize = sizeof m;
        m.diffuse = {((value >> 16) & 255) / 255.0f, ((value >> 8) & 255) / 255.0f, (value & 255) / 255.0f, 0.0f};
        m.ambient = m.diffuse;
        m.dwRampSize = 1;
        background->SetMaterial(&m);
      }
      return 1;
    case 4:
      D3D_renderstate(D3DRENDERSTATE_ZWRITEENABLE, value ? 1 : 0);
      D3D_renderstate(D3DRENDERSTATE_ZENABLE, value ? 1 : 0);
      D3D_renderstate(D3DRENDERSTATE_ZFUNC, value ? D3DCMP_LESSEQUAL : D3DCMP_ALWAYS);
      return 1;
    case 6: D3D_renderstate(D3DRENDERSTATE_SHADEMODE, value ? D3DSHADE_GOURAUD : D3DSHADE_FLAT); return 1;
    case 7:
      if (value != 0 && value != 1) return 0;
      D3D_renderstate(D3DRENDERSTATE_TEXTUREMAG, value ? D3DFILTER_LINEAR : D3DFILTER_NEAREST);
      D3D_renderstate(D3DRENDERSTATE_TEXTUREMIN, value ? D3DFILTER_LINEAR : D3DFILTER_NEAREST);
      return 1;
    case 9:
      if (!D3D_renderstate(D3DRENDERSTATE_ANTIALIAS, static_cast<DWORD>(value))) return 0;
      return (value && !sGD3DDeviceInfo.antialias) ? 0 : 1;
    case 10:
      if (value == 0) {
        D3D_renderstate(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
        D3D_renderstate(D3DRENDERSTATE_COLORKEYENABLE, 0);
      } else if (value == 2) {
        D3D_renderstate(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
      } else if (value == 1) {
        return 0;
      }
      return 1;
    case 13:
      if (value == 0) D3D_renderstate(D3DRENDERSTATE_TEXTUREADDRESS, D3DTADDRESS_CLAMP);
      else if (value == 1) D3D_renderstate(D3DRENDERSTATE_TEXTUREADDRESS, D3DTADDRESS_WRAP);
      return 1;
    case 14: nGFogDensity = value ? 1.0f / static_cast<float>(value) : nGFogDensity; return 1;
    case 15:
      nGFogColour = static_cast<uint32_t>(value) & 0xFFFFFF;
      D3D_renderstate(D3DRENDERSTATE_FOGCOLOR, nGFogColour);
      return 1;
    case 18: d3ddesktopmode = static_cast<int32_t>(value); return 1;
    case 19:
      if (value) {
        services = *reinterpret_cast<const VortelServices*>(value);
        haveServices = true;
      }
      return 1;
    case 21:
      if (value == 0) {
        D3D_renderstate(D3DRENDERSTATE_FOGENABLE, 0);
        D3D_renderstate(D3DRENDERSTATE_FOGTABLEMODE, D3DFOG_NONE);
      } else if (value == 1) {
        D3D_renderstate(D3DRENDERSTATE_FOGENABLE, 1);
        D3D_renderstate(D3DRENDERSTATE_FOGTABLEMODE, D3DFOG_NONE);
      } else if (value == 4) {
        D3D_FogGenerateExpTable();
      }
      return 1;
    case 22: case 23: return 1;
    case 25: d3dwindow = reinterpret_cast<HWND>(value); return 1;
    case 35: {
      if (d3dprimary) d3dprimary->Restore();
      if (zbuffer) zbuffer->Restore();
      if (d3dback) d3dback->Restore();
      for (D3DTextureRec* t = d3dprev; t; t = t->next) {
        if (t->source) t->source->Restore();
        if (t->video) t->video->Restore();
      }
      return 1;
    }
    case 36:
      D3D_renderstate(D3DRENDERSTATE_ALPHATESTENABLE, value ? 1 : 0);
      D3D_renderstate(D3DRENDERSTATE_ALPHAFUNC, value ? D3DCMP_GREATER : D3DCMP_ALWAYS);
      if (value) D3D_renderstate(D3DRENDERSTATE_ALPHAREF, 0);
      return 1;
    case 102: {
      const float bias = static_cast<float>(value) * 0.00002f;
      if (bias != nGZBias) {
        D3D_checkflushtricache();
        nGZBias = bias;
      }
      return 1;
    }
    case 104: {
      static const DWORD pairs[4][2] = {{D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA}, {D3DBLEND_SRCALPHA, D3DBLEND_ONE},
                                        {D3DBLEND_ZERO, D3DBLEND_INVSRCALPHA}, {D3DBLEND_DESTCOLOR, D3DBLEND_ZERO}};
      if (value >= 0 && value < 4) {
        D3D_renderstate(D3DRENDERSTATE_SRCBLEND, pairs[value][0]);
        D3D_renderstate(D3DRENDERSTATE_DESTBLEND, pairs[value][1]);
      }
      return 1;
    }
    case 105:
      if (value) FogTable64To256(reinterpret_cast<const uint8_t*>(value));
      return 1;
    case 106: D3D_renderstate(D3DRENDERSTATE_ZWRITEENABLE, value ? 1 : 0); return 1;
    case 400: nGDeviceType = static_cast<int>(value); return 1;
    case 401: return 1;
    case 403:
      if (value) {
        auto* out = reinterpret_cast<D3DDeviceInfo*>(value);
        const D3DDeviceInfo keep = *out;
        *out = sGD3DDeviceInfo;
        out->zinvideomemory = keep.zinvideomemory, out->zpresent = keep.zpresent, out->unset = keep.unset;
        out->antialias = keep.antialias;
      }
      return value;
    case 404:
      if (value >= 0 && value <= 9) D3D_renderstate(D3DRENDERSTATE_SRCBLEND, static_cast<DWORD>(BlendOf(value)));
      return 1;
    case 405:
      if (value >= 0 && value <= 9) D3D_renderstate(D3DRENDERSTATE_DESTBLEND, static_cast<DWORD>(BlendOf(value)));
      return 1;
  }
  return 0;
}

EXPORT intptr_t VORTEL_talloc(int32_t width, int32_t height, int32_t format, intptr_t paletteflag, intptr_t) {
  if (format < 0 || format > 10 || nGtexturemodeconversion[format] < 0 || format == 0 || format >= 8)
    D3D_abortmessage("D3D_talloc Tried to allocate an unsupported texture format\n");
  if (nGTextureRamFull || !d3dddraw || width <= 0 || height <= 0) return 0;
  auto* t = new (std::nothrow) D3DTextureRec{};
  if (!t) D3D_abortmessage("D3D texture allocation ran out of memory\n");
  t->width = width, t->height = height, t->bytes = nGbytesppixel[format];
  t->devformat = nGtexturemodeconversion[format], t->format = format, t->paletteflag = paletteflag;
  t->transparent = (format == 3 || format == 7) ? 1 : 0;
  t->entries = format == 2 ? 256 : format == 1 ? 16 : 0;
  const D3DTextureFormat& f = aGTextureFormat[t->devformat];
  auto make = [&](DWORD memory, LPDIRECTDRAWSURFACE3* surface, LPDIRECT3DTEXTURE2* texture) {
    DDSURFACEDESC desc = f.desc;
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = static_cast<DWORD>(width), desc.dwHeight = static_cast<DWORD>(height);
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_ALLOCONLOAD | memory;
    LPDIRECTDRAWSURFACE s = nullptr;
    if (d3dddraw->CreateSurface(&desc, &s, nullptr) != DD_OK) return false;
    const bool ok = s->QueryInterface(IID_IDirectDrawSurface3, reinterpret_cast<LPVOID*>(surface)) == DD_OK &&
                    s->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<LPVOID*>(texture)) == DD_OK;
    s->Release();
    return ok;
  };
  bool ok = make(DDSCAPS_SYSTEMMEMORY, &t->source, &t->sourcetexture) &&
            make(DDSCAPS_VIDEOMEMORY, &t->video, &t->videotexture);
  if (ok && t->entries) {
    PALETTEENTRY entries[256] = {};
    ok = d3dddraw->CreatePalette((t->entries == 256 ? DDPCAPS_8BIT : DDPCAPS_4BIT) | DDPCAPS_ALLOW256, entries,
                                 &t->palette, nullptr) == DD_OK &&
         t->source->SetPalette(t->palette) == DD_OK && t->video->SetPalette(t->palette) == DD_OK;
  }
  if (!ok) {
    FreeTexture(t);
    nGTextureRamFull = 1;
    return 0;
  }
  t->sourcedesc.dwSize = sizeof t->sourcedesc;
  t->source->GetSurfaceDesc(&t->sourcedesc);
  t->next = d3dprev;
  d3dprev = t;
  if (!tpGFirstNonTransTexture && !t->transparent) tpGFirstNonTransTexture = t;
  return reinterpret_cast<intptr_t>(t);
}

EXPORT intptr_t VORTEL_tupdate(intptr_t handle, const void* pixels, const void* palette) {
  auto* t = reinterpret_cast<D3DTextureRec*>(handle);
  if (!t) return 0;
  if (pixels) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_LPSURFACE | DDSD_PITCH;
    desc.lpSurface = const_cast<void*>(pixels);
    desc.lPitch = t->format == 1 ? (t->width + 1) / 2 : t->width * t->bytes;
    if (t->source->SetSurfaceDesc(&desc, 0) != DD_OK) return 0;
    if (bGIn3DScene) D3D_checkflushtricache();
    t->source->PageLock(0);
    const HRESULT r = t->videotexture->Load(t->sourcetexture);
    t->source->PageUnlock(0);
    if (r != D3D_OK) return 0;
    if (t->videotexture->GetHandle(device, &t->handle) != D3D_OK) return 0;
  }
  if (palette && t->entries) {
    PALETTEENTRY entries[256];
    const auto* in = static_cast<const uint32_t*>(palette);
    for (int i = 0; i < t->entries; ++i)
      entries[i] = PALETTEENTRY{static_cast<BYTE>(in[i] >> 16), static_cast<BYTE>(in[i] >> 8), static_cast<BYTE>(in[i]), 0};
    if (t->palette->SetEntries(0, 0, static_cast<DWORD>(t->entries), entries) != DD_OK) return 0;
    if (t->videotexture->PaletteChanged(0, static_cast<DWORD>(t->entries)) != D3D_OK) return 0;
  }
  return handle;
}

EXPORT intptr_t VORTEL_treset() { return TReset(); }

EXPORT int32_t VORTEL_drawtri(const VortelVertex* a, const VortelVertex* b, const VortelVertex* c) {
  BatchTriangle(a, b, c);
  return 1;
}
EXPORT int32_t VORTEL_drawtrimesh(int32_t count, const VortelVertex* v, const uint32_t* idx) {
  for (int32_t i = 0; i < count; ++i) BatchTriangle(&v[idx[3 * i]], &v[idx[3 * i + 1]], &v[idx[3 * i + 2]]);
  return 1;
}
EXPORT int32_t VORTEL_drawquad(const VortelVertex* a, const VortelVertex* b, const VortelVertex* c,
                               const VortelVertex* d) {
  BatchQuad(a, b, c, d);
  return 1;
}
EXPORT int32_t VORTEL_drawquadmesh(int32_t count, const VortelVertex* v, const uint32_t* idx) {
  for (int32_t i = 0; i < count; ++i)
    BatchQuad(&v[idx[4 * i]], &v[idx[4 * i + 1]], &v[idx[4 * i + 2]], &v[idx[4 * i + 3]]);
  return 1;
}
EXPORT int32_t VORTEL_drawtristrip(int32_t count, const VortelVertex* v) {
  if (count <= 0) return 1;
  return DirectDraw(D3DPT_TRIANGLESTRIP, v, static_cast<DWORD>(count + 2));
}
EXPORT int32_t VORTEL_drawtrifan(int32_t count, const VortelVertex* v) {
  if (count <= 0) return 1;
  if (count > 34) return 0;  // the fan's index list holds 34 triangles
  if (!device || !OpenScene()) return 0;
  return device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DVT_TLVERTEX, const_cast<VortelVertex*>(v),
                                      static_cast<DWORD>(count + 2), fanindices, static_cast<DWORD>(count * 3),
                                      dwGRenderFlags) == D3D_OK
             ? 1
             : 0;
}
EXPORT int32_t VORTEL_drawline(const VortelVertex* a, const VortelVertex* b) {
  D3DTLVERTEX pair[2];
  std::memcpy(&pair[0], a, sizeof pair[0]);
  std::memcpy(&pair[1], b, sizeof pair[1]);
  FogAndBias(&pair[0]), FogAndBias(&pair[1]);
  return DirectDraw(D3DPT_LINESTRIP, pair, 2);
}
EXPORT int32_t VORTEL_drawlinestrip(int32_t count, const VortelVertex* v) {
  int32_t r = 0;
  for (int32_t i = 0; i < count; ++i) r = VORTEL_drawline(&v[i], &v[i + 1]);
  return r;
}
EXPORT int32_t VORTEL_drawlinemesh(int32_t count, const VortelVertex* v, const uint32_t* idx) {
  int32_t r = 0;
  for (int32_t i = 0; i < count; ++i) r = VORTEL_drawline(&v[idx[2 * i]], &v[idx[2 * i + 1]]);
  return r;
}
EXPORT int32_t VORTEL_drawpoint(const VortelVertex* a) { return DirectDraw(D3DPT_POINTLIST, a, 1); }
EXPORT int32_t VORTEL_drawpointstrip(int32_t count, const VortelVertex* v) {
  int32_t r = 0;
  for (int32_t i = 0; i < count; ++i) r = VORTEL_drawpoint(&v[i]);
  return r;
}
EXPORT int32_t VORTEL_drawpointmesh(int32_t count, const VortelVertex* v, const uint32_t* idx) {
  int32_t r = 0;
  for (int32_t i = 0; i < count; ++i) r = VORTEL_drawpoint(&v[idx[i]]);
  return r;
}
