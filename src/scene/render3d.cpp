#include "scene/render3d.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "d3d.h"
#include "ddraw.h"
#include "framework/core/bigfileio.h"
#include "framework/core/paths.h"
#include "framework/core/registry.h"
#include "framework/core/services.h"
#include "framework/core/utils.h"
#include "platformlib/core/cpu.h"
#include "platformlib/display/displaymode.h"
#include "platformlib/gfx/vortel.h"
#include "windows.h"

RenderStart gRenderStart;
AdaptiveDetail gAdaptive;

int32_t& GraphicsPref(int id) { return GraphicsPreferences[(id < 1 ? 1 : (id > 6 ? 6 : id)) - 1]; }

void ResetFrameStats() {
  gAdaptive.frameRateSum = 750.0f;
  gAdaptive.headingChange = 0;
  gAdaptive.cameraMovedMode = 0;
}

namespace {

int PrefGet(int id, int32_t* value) { return Svc().preferences->Get(id, value); }
int PrefSet(int id, int32_t value) { return Svc().preferences->Set(id, value); }

// An entry point of a module, as the function type the caller knows it by.
template <typename Fn>
Fn EntryPoint(HMODULE module, const char* name) {
  FARPROC p = module ? GetProcAddress(module, name) : nullptr;
  Fn fn = nullptr;
  std::memcpy(&fn, &p, sizeof fn);
  return fn;
}

int32_t Word(const uint8_t* record, int offset) {
  int32_t v = 0;
  std::memcpy(&v, record + offset, 4);
  return v;
}

}  // namespace

uint8_t ProbeDirect3D() {
  LPDIRECTDRAW dd = nullptr;
  if (DirectDrawCreate(nullptr, &dd, nullptr) != DD_OK || !dd) return 0;
  winapi::d3d::Install();
  bool ok = false;
  LPDIRECTDRAW2 dd2 = nullptr;
  if (dd->QueryInterface(IID_IDirectDraw2, reinterpret_cast<LPVOID*>(&dd2)) == DD_OK && dd2) {
    dd->Release();
    dd = nullptr;
    LPDIRECT3D2 d3d = nullptr;
    if (dd2->QueryInterface(IID_IDirect3D2, reinterpret_cast<LPVOID*>(&d3d)) == DD_OK && d3d) {
      d3d->Release();
      ok = true;
    }
    dd2->Release();
  }
  if (dd) dd->Release();
  return ok ? 80 : 0;
}

void ScanCardList(const char* text, size_t size, int32_t (*present)(int32_t), uint8_t* detectedKind,
                  uint8_t* glideCardFound, int32_t* hardwareLevel) {
  const char* p = text;
  const char* end = text + size;
  while (p < end) {
    // One line at a time, bounded by the text's end: a last line without a newline still ends there.
    const char* eol = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    if (!eol) eol = end;
    std::string line(p, eol);
    p = eol < end ? eol + 1 : end;
    long cardKind = 0, backEnd = 0;
    char name[256] = {};
    if (std::sscanf(line.c_str(), "%ld %ld\t%255s", &cardKind, &backEnd, name) < 2) continue;
    if (cardKind == 0) break;
    if (!present(static_cast<int32_t>(cardKind))) continue;
    gRenderStart.cardKind11 = cardKind == 11;
    if (cardKind == 2) gRenderStart.cardKind2 = true;
    if (backEnd == 1) {
      *glideCardFound = 1;
    } else if (backEnd == -1) {
      if (*hardwareLevel < 0) *hardwareLevel = 0;
    } else if (backEnd == 0) {
      if (*hardwareLevel < 1) *hardwareLevel = 1;
      backEnd = 4;
    } else {
      *hardwareLevel = 2;
    }
    if (*detectedKind == 0) {
      *detectedKind = static_cast<uint8_t>(backEnd);
      if (gRenderStart.detectedCardKind == 0) gRenderStart.detectedCardKind = static_cast<uint8_t>(cardKind);
    }
  }
}

void Scan3DCards(uint8_t* detectedKind, uint8_t* direct3DAvailable, uint8_t* glideCardFound, int32_t* hardwareLevel) {
  *detectedKind = 0;
  *direct3DAvailable = 0;
  *glideCardFound = 0;
  *hardwareLevel = -1;
  *direct3DAvailable = ProbeDirect3D();
  HMODULE module = LoadLibraryA("detect");
  if (module) {
    auto scan = EntryPoint<int32_t (*)(int32_t)>(module, "_Scan3DCard@4");
    PathRecord folder{};
    std::vector<uint8_t> text;
    if (scan && PathSetToProgramDir(&folder) == 0 && BigFileLoadBytes(&folder, "Cards.txt", text))
      ScanCardList(reinterpret_cast<const char*>(text.data()), text.size(), scan, detectedKind, glideCardFound,
                   hardwareLevel);
    FreeLibrary(module);
  }
  if (*hardwareLevel == 0) *direct3DAvailable = 0;
}

bool CheckDirect3DCaps() {
  if (!vortellive.about) return false;
  const auto* about = reinterpret_cast<const uint8_t*>(vortellive.about());
  if (!about) return false;
  // Two (smallest, largest) texture size pairs.
  for (int offset : {16, 28}) {
    if (Word(about, offset) > 8 || Word(about, offset + 4) < 256) return false;
  }
  // The per-format flag words: an address does not fit the record's 32-bit word, so the module lists them.
  auto lists = EntryPoint<const void* (*)(int32_t)>(vortellive.module, "drvd3d_lists");
  const auto* formats = lists ? static_cast<const int32_t*>(lists(0)) : nullptr;
  if (!formats) return false;
  for (int f : {3, 4, 7})
    if (!(formats[f] & 1)) return false;
  gRenderStart.format2Supported = (formats[2] & 1) != 0;
  return true;
}

void SelectBackEndModule(int kind, int second) {
  switch (kind) {
    case 1: setvorteldriver(second == 3 ? "drvglide2" : "drvglide"); break;
    case 3:
      setvorteldriver("drvati");
      setvorteldriver("drvd3d");
      break;
    case 7:
      setvorteldriver("drvsoft");
      if (vortellive.window) vortellive.window(0);
      break;
    default: setvorteldriver("drvd3d"); break;
  }
}

void SetGlideEnvironment() {
  if (gRenderStart.backEndKind != 1) return;
  // SST_VIDEO_24BPP and FX_GLIDE_SHAMELESS_PLUG are set empty without overwrite, which changes nothing.
  setenv("FX_GLIDE_NO_SPLASH", "1", 1);
  for (const char* name : {"SST_RGAMMA", "SST_GGAMMA", "SST_BGAMMA", "SST_GAMMA", "SSTV2_RGAMMA", "SSTV2_GGAMMA",
                           "SSTV2_BGAMMA", "SSTV2_GAMMA"})
    setenv(name, "1.0", 1);
}

void SetSpeedInfo(uint32_t clockHz) { gRenderStart.processorSpeed = static_cast<int32_t>(clockHz / 1000000u); }

void ChooseAutoDetailLevels() {
  if (GraphicsPref(kPrefDriverEnumeration) != 3) return;
  const int32_t speed = gRenderStart.processorSpeed;
  auto atLeast0 = [](int32_t v) { return v < 0 ? 0 : v; };
  if (gRenderStart.detectedKind == 1) {
    GraphicsPref(kPrefDriverEnumeration) = 0;
    GraphicsPref(kPrefObjectTextureDepth) = 1;
    GraphicsPref(kPrefObjectDetail) = std::min(2, atLeast0(speed - 200) / 150);
    GraphicsPref(kPrefTerrainDetail) = std::min(1, speed / 200) + (gRenderStart.cardKind2 ? 1 : 0);
  } else {
    GraphicsPref(kPrefDriverEnumeration) = 1;
    if (gRenderStart.detectedCardKind == 9) {
      GraphicsPref(kPrefObjectTextureDepth) = 1;
      GraphicsPref(kPrefObjectDetail) = 0;
      GraphicsPref(kPrefTerrainDetail) = 0;
    } else {
      const int32_t level = std::min(2, atLeast0(speed - 300) / 100);
      GraphicsPref(kPrefObjectDetail) = level;
      GraphicsPref(kPrefTerrainDetail) = level;
      GraphicsPref(kPrefObjectTextureDepth) = 0;
    }
  }
  GraphicsPref(kPrefFogDensity) = 0;
  GraphicsPref(kPrefAnimateWater) = 0;
}

void AdaptDetailToFrameRate(bool forced) {
  AdaptiveDetail& a = gAdaptive;
  const int32_t change = a.headingChange < 0 ? -a.headingChange : a.headingChange;
  const bool turning = change > 50;
  if (a.cameraMovedMode == 0 && !forced && !turning) return;
  float fps = a.frameRateSum / 30.0f;
  if (fps <= 1.0f) fps = 1.0f;
  if (fps >= 100.0f) fps = 100.0f;
  const int32_t t = GraphicsPref(kPrefTerrainDetail);
  if (forced || (!turning && fps >= 35.0f)) {
    a.stepTarget[0] = a.stepTarget[1] = 1.0f;
    a.zoomTarget = fps == 100.0f && !forced ? 1.5f : 1.0f;
  } else if (turning || fps < 25.0f) {
    a.zoomTarget = 0.5f;
    a.stepTarget[0] = static_cast<float>(5 - t);
    a.stepTarget[1] = static_cast<float>(10 - 2 * t);
  } else {
    a.zoomTarget = 0.8f;
    a.stepTarget[0] = static_cast<float>(3 - t / 2);
    a.stepTarget[1] = static_cast<float>(6 - t);
  }
  auto toward = [](float& v, float target, float step) {
    if (v < target) v = v + step > target ? target : v + step;
    else if (v > target) v = v - step < target ? target : v - step;
  };
  if (forced || a.cameraMovedMode == 2) {
    a.zoom = a.zoomTarget;
    a.step[0] = static_cast<float>(static_cast<int32_t>(a.stepTarget[0]));
    a.step[1] = static_cast<float>(static_cast<int32_t>(a.stepTarget[1]));
  } else {
    toward(a.zoom, a.zoomTarget, 0.005f);
    toward(a.step[0], a.stepTarget[0], 0.3f);
    toward(a.step[1], a.stepTarget[1], 0.3f);
  }
  a.stepWhole[0] = static_cast<int32_t>(a.step[0]);
  a.stepWhole[1] = static_cast<int32_t>(a.step[1]);
}

int StartRenderSystem(int software, int direct3D) {
  RenderStart& s = gRenderStart;
  s.hardwareActive = 0;
  ResetFrameStats();
  SetPreferenceAccess(PrefGet, PrefSet);
  Scan3DCards(&s.detectedKind, &s.direct3DAvailable, &s.glideCardFound, &s.hardwareLevel);
  int32_t stored = 0;
  if (Svc().preferences->Get(0, &stored) == 0 && !software && !s.direct3DAvailable && !s.glideCardFound)
    s.videoSettingsNotice = 1;
  LoadGraphicsPreferences();
  const int32_t enumeration = GraphicsPref(kPrefDriverEnumeration);
  int kind = s.detectedKind;
  if (enumeration == 0 && s.glideCardFound) kind = 1;
  else if (enumeration == 1 && s.direct3DAvailable) kind = 4;
  if (direct3D) kind = 4;
  s.backEndKind = static_cast<uint8_t>(kind);
  if (software) {
    SetSpeedInfo(getcpuspeed());
    WriteLogLine("Render back end: software (asked for)");
    return 1;
  }
  if (kind == 0) {
    WriteLogLine("Render back end: software (no 3D card)");
    return 0;
  }
  SetGlideEnvironment();
  SelectBackEndModule(kind, 0);
  // A module that cannot be opened leaves the game in software, not hardware without a back end.
  if (!vortellive.about || !openhal(0)) {
    s.backEndKind = 0;
    WriteLogLine("Render back end: software (the module did not open)");
    return 0;
  }
  inithal();
  // The module sets its mode on the display it was given: choose the display before the mode.
  if (vortellive.selectdisplay) vortellive.selectdisplay(0);
  fxinitgraphics(Facts().screenWidth, Facts().screenHeight, 16);
  if (kind == 4 && !CheckDirect3DCaps()) {
    fxclosegraphics();
    restorehal();
    closehal(0);
    s.direct3DAvailable = 0;
    s.backEndKind = 0;
    Svc().preferences->Set(0, 0);
    WriteLogLine("Render back end: software (Direct3D cannot serve the game)");
    return 0;
  }
  SetSpeedInfo(getcpuspeed());
  ChooseAutoDetailLevels();
  s.hardwareActive = 1;
  WriteLogLine("Render back end: hardware");
  return 1;
}
