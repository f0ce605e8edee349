// The five resolutions, which of them the display or the hardware back end can show, the screen size,
// switching modes while the game runs, the loading picture, and restarting the program.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <csignal>
#include <cstdio>
#include <vector>

#include "framework/ui/displaymgr.h"
#include "app/gameapp.h"
#include "framework/core/gfxrecord.h"
#include "framework/ui/mousepointer.h"
#include "framework/core/services.h"
#include "platformlib/display/displaymode.h"
#include "platformlib/glide/glide.h"
#include "platformlib/gfx/vortel.h"
#include "platformlib/gfx/windowdesc.h"

namespace {

int32_t gPreviousWidth = 0;
int (*gProcessProbe)(DWORD) = nullptr;

int SystemProcessProbe(DWORD id) {
  if (id == 0 || id > 0x7FFFFFFF) return 0;
  return kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM ? 1 : 0;
}

}  // namespace

const int32_t kResolutionWidths[5] = {640, 800, 1024, 1280, 1600};
const int32_t kResolutionHeights[5] = {480, 600, 768, 1024, 1200};
int32_t VideoModeAvailable[5] = {};
uint8_t ModeChanged = 0;
int16_t RightEdgePositions[5] = {};

std::vector<HardwareMode> ReadHardwareModes(const void* about) {
  std::vector<HardwareMode> modes;
  if (!about) return modes;
  auto entry = [](const int32_t* w) { return HardwareMode{w[0], w[1], w[2], w[3], w[4], w[5], w[6]}; };
  const auto* record = static_cast<const GlideAbout*>(about);
  if (record->tag == kGlideTag) {
    // The built-in back end keeps its list (entries 1..count) in the record itself.
    const int count = std::min<int32_t>(record->modecount, kGlideModes);
    for (int i = 1; i <= count; ++i) modes.push_back(entry(&record->modes[i].width));
    return modes;
  }
  // A loaded module's record holds the count (word 15); the list's 32-bit address word cannot hold a 64-bit
  // one, so the module hands the list out through its extra export.
  int32_t count = 0;
  std::memcpy(&count, static_cast<const uint8_t*>(about) + 60, 4);
  using ListsFn = const void* (*)(int32_t which);
  const FARPROC export_ = vortellive.module ? GetProcAddress(vortellive.module, "drvd3d_lists") : nullptr;
  const auto lists = export_ ? reinterpret_cast<ListsFn>(reinterpret_cast<void*>(export_)) : nullptr;
  const auto* list = lists ? static_cast<const int32_t*>(lists(2)) : nullptr;
  if (!list) return modes;
  constexpr int kModuleListEntries = 30;
  count = std::min(count, kModuleListEntries - 1);
  for (int i = 1; i <= count; ++i) modes.push_back(entry(list + 10 * i));
  return modes;
}

int HardwareModeUsable(int32_t width, int32_t height, int32_t minimum, const void* about) {
  for (const HardwareMode& mode : ReadHardwareModes(about)) {
    if (mode.width != width || mode.height != height) continue;
    if (mode.bits != 16 && mode.bits != 15) continue;
    if (mode.pagesLess1 < minimum) continue;
    if (mode.format == 3 || mode.format == 4 || mode.format == 11) return 1;
  }
  return 0;
}

int32_t BuildVideoModeTable() {
  for (int32_t& entry : VideoModeAvailable) entry = 0;
  if (Display().hardwareActive) {
    const void* about = vortellive.about ? reinterpret_cast<const void*>(vortellive.about()) : nullptr;
    int usable = 0;
    for (int i = 0; i < 5; ++i) {
      VideoModeAvailable[i] = HardwareModeUsable(kResolutionWidths[i], kResolutionHeights[i], 2, about);
      usable += VideoModeAvailable[i];
    }
    if (usable <= 1) VideoModeAvailable[0] = 2;
    return 1024000;
  }
  int32_t bytes = 0;
  // A display in a window shows on the screen as it is: sizes larger than the screen are not offered.
  const bool windowed = !(displayoptions & DISPLAY_FULLSCREEN);
  const int32_t screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
  const int count = getdisplaymodecount();
  for (int m = 0; m < count; ++m) {
    DisplayModeInfo info{};
    if (!getdisplaymode(m, &info) || (info.depth != 16 && info.depth != 15)) continue;
    if (windowed && (info.width > screenWidth || info.height > screenHeight)) continue;
    for (int i = 0; i < 5; ++i) {
      if (info.width == kResolutionWidths[i] && info.height == kResolutionHeights[i]) {
        VideoModeAvailable[i] = 1;
        bytes = info.width * info.height * 2;
      }
    }
  }
  return bytes;
}

int GetVideoModeAvailable(int index) { return index >= 0 && index < 5 ? VideoModeAvailable[index] : 0; }

uint32_t ScreenBufferBytes() {
  const int index = Display().resolution;
  if (index < 0 || index > 4) return 0;
  return static_cast<uint32_t>(kResolutionWidths[index] * kResolutionHeights[index] * 2);
}

namespace {

// The screen at resolution `index` (or its present size when `index` is -1, its layout then the resolution's).
void ApplyScreen(int index, int rebuild) {
  DisplayGlobals& d = Display();
  const int32_t oldWidth = d.width, oldHeight = d.height;
  if (index >= 0) {
    d.width = kResolutionWidths[index];
    d.height = kResolutionHeights[index];
  }
  d.screen = {0, 0, d.width, d.height};
  if (d.width != gPreviousWidth) ModeChanged = 1;
  gPreviousWidth = d.width;
  Facts().screenWidth = d.width;
  Facts().screenHeight = d.height;
  Facts().sizeSetting = index >= 0 ? index : d.resolution;
  const bool changed = d.width != oldWidth || d.height != oldHeight;
  if ((changed || rebuild) && DisplayMgr().open) {
    DisplayManagerClose();
    DisplayManagerInit(d.screen, d.depth);
  }
}

}  // namespace

void SetScreenRect(int useTable, int rebuild) {
  DisplayGlobals& d = Display();
  if (Flags().requestedResolution) d.resolution = static_cast<int8_t>(Flags().requestedResolution);
  if (d.resolution < 0 || d.resolution > 4) d.resolution = 1;
  ApplyScreen(useTable ? d.resolution : -1, rebuild);
}

bool SetScreenLayout(bool menus) {
  DisplayGlobals& d = Display();
  // The resolution chosen for play is kept; the menus have a size of their own.
  int index = menus ? kMenuResolution : Flags().requestedResolution ? Flags().requestedResolution : d.resolution;
  if (index < 0 || index > 4) index = 1;
  if (kResolutionWidths[index] == d.width && kResolutionHeights[index] == d.height) return false;
  if (menus)
    ApplyScreen(index, 0);
  else
    SetScreenRect(1, 0);
  if (graphicsstate != 7) return false;
  SetVideoMode(0, 0);
  return true;
}

int SetVideoMode(int keepMode, int loadingScreen) {
  DisplayGlobals& d = Display();
  for (int i = 0; i < 5; ++i)
    RightEdgePositions[i] = static_cast<int16_t>(kResolutionWidths[i] - d.width * 40 / 100 - 20);
  if (!ModeChanged && keepMode) {
    if (displaywindow()) {
      clearclip(0);
      releasewindow();
    }
    if (d.hardwareActive) Svc().scene->SetDefaultRenderStates();
    return 0;
  }
  if (!keepMode && d.hardwareActive && vortellive.setvideomode) {
    // The back end's own mode number for each size (1280 and 1600 wide are modes of their own).
    if (!vortellive.setvideomode(vortelmodefor(d.width, d.height), 2, 1)) {
      if (d.resolution <= 0) return 1;
      --d.resolution;
      // A size asked for on the command line steps down with it, or the next try would ask for it again.
      if (Flags().requestedResolution) Flags().requestedResolution = d.resolution;
      SetScreenRect(1, 0);
      return SetVideoMode(keepMode, 2);
    }
  }
  SwitchDisplay(d.width, d.height, 16);
  if (displaywindow()) {
    clearclip(0);
    releasewindow();
  }
  if (loadingScreen) ShowLoadingScreen(loadingScreen == 1);
  ModeChanged = 0;
  MouseShutdown();
  MouseInit();
  if (d.hardwareActive) Svc().scene->SetDefaultRenderStates();
  return 0;
}

void SwitchDisplay(int32_t width, int32_t height, int32_t depth) { initgraphics(width, height, depth); }

void ReloadTexturesAfterModeChange(int) {
  if (Display().hardwareActive) Svc().scene->ReloadPackedTextures();
}

void ShowLoadingScreen(int intoBackground) {
  if (!DisplayMgr().open) return;
  GraphicRecord picture{};
  if (GfxLoad(&picture, &Folders().menus, "load.fsh", 0, 0) != 0) return;
  ImageRecord* target = intoBackground ? RoleImage(kRoleErase) : DrawnImage();
  if (!intoBackground && setwindow(target->window)) {
    clearclip(0);
    releasewindow();
  }
  const DisplayGlobals& d = Display();
  GfxDraw(&picture, target->window, (d.width - picture.width) / 2, (d.height - picture.height) / 2, picture.width,
          picture.height, false);
  if (!intoBackground) RefreshWholeScreen();
  GfxFree(&picture);
}

void SetProcessProbe(int (*probe)(DWORD)) { gProcessProbe = probe; }

int ProcessIsRunning(DWORD id) { return (gProcessProbe ? gProcessProbe : SystemProcessProbe)(id); }

int RelaunchGame() {
  char parameters[64];
  std::snprintf(parameters, sizeof parameters, "/NOINTRO /WAITFORPROCESS %lu",
                static_cast<unsigned long>(GetCurrentProcessId()));
  SHELLEXECUTEINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpFile = "teebox.exe";
  info.lpParameters = parameters;
  info.nShow = SW_SHOWDEFAULT;
  const BOOL started = ShellExecuteExA(&info);
  if (started) {
    if (info.hProcess) CloseHandle(info.hProcess);
    RequestQuit();
  }
  return started;
}
