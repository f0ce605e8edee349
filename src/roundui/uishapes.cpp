#include "roundui/uishapes.h"

#include <algorithm>
#include <cstdio>

#include "app/gameapp.h"
#include "framework/core/bigfileio.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "platformlib/gfx/windowdesc.h"
#include "platformlib/shapes/shapes.h"
#include "scene/texconv.h"
#include "windows.h"

namespace {

constexpr const char* kFiles[kGameUIShapeCount] = {
    "swball.fsh",   "swshadow.fsh", "swrough.fsh",  nullptr,        "hwballs.fsh",  "redarrow.fsh",
    "powerb98.fsh", "powerh98.fsh", "powert98.fsh", "pmback98.fsh", "shtart98.fsh", "shotdota.fsh",
    "shotdotb.fsh", "shotdotc.fsh", "lieinf98.fsh", "settings.fsh", "clubsel.fsh",  "shotclok.fsh",
    "dstinfui.fsh", "ballssbg.fsh", "bssbutn1.fsh", "bssbutn2.fsh", "bssbutn3.fsh", "aggrsafe.fsh",
    "zarvotip.fsh", "analog.fsh",   "mcalib.fsh",   "ironicon.fsh", "chipicon.fsh", "putticon.fsh"};

struct Entry {
  MemHandle handle = 0;
  uint8_t* file = nullptr;  // locked while the entry is loaded (shape files only)
};
Entry gTable[kGameUIShapeCount];
uint32_t gGeneration = 1;

// A shape file from the current archive, checked whole; 0 when it is missing or damaged.
MemHandle LoadChecked(PathRecord* folder, const char* name) {
  const MemHandle h = BigFileLoadToHandle(folder, name, 0);
  if (!h) return 0;
  const void* bytes = MemLock(h);
  const bool good = bytes && checkshapefile(bytes, MemHandleSize(h)) == 1;
  MemUnlock(h);
  if (good) return h;
  MemFreeHandle(h);
  return 0;
}

}  // namespace

const char* GameUIShapeFile(uint32_t index) { return index < kGameUIShapeCount ? kFiles[index] : nullptr; }

MemHandle GetGameUIShape(uint32_t n) { return n < kGameUIShapeCount ? gTable[n].handle : 0; }

PathRecord* GameUIFolder() {
  DataFolders& f = Folders();
  switch (Facts().sizeSetting) {
    case 0: return &f.ui640;
    case 1: return &f.ui800;
    default: return &f.ui1024;
  }
}

int LoadGameUIShapes(PathRecord* folder) {
  const bool opened = BigFileOpenArchive(folder, "ui.viv", nullptr) == 0;
  int missing = 0;
  for (uint32_t i = 0; i < kGameUIShapeCount; ++i) {
    Entry& e = gTable[i];
    if (e.handle) continue;
    if (i == kGameUIWorkShape) {
      e.handle = MemAllocHandle(kGameUIWorkBlockBytes, 0);
      if (!e.handle) ++missing;
      continue;
    }
    e.handle = LoadChecked(folder, kFiles[i]);
    if (!e.handle) {
      char line[96];
      std::snprintf(line, sizeof line, "ERROR: game UI file <%s> was not loaded.", kFiles[i]);
      OutputDebugStringA(line);
      ++missing;
      continue;
    }
    e.file = static_cast<uint8_t*>(MemLock(e.handle));
  }
  if (opened) BigFileCloseArchive();
  return missing;
}

uint32_t GameUIShapeGeneration() { return gGeneration; }

void FreeGameUIShapes() {
  ++gGeneration;
  for (Entry& e : gTable) {
    if (e.file) MemUnlock(e.handle);
    if (e.handle) MemFreeHandle(e.handle);
    e = Entry{};
  }
}

const uint8_t* GameUIFrame(uint32_t n, int32_t frame) {
  if (n >= kGameUIShapeCount || !gTable[n].file || frame < 0) return nullptr;
  return locateshapenum(gTable[n].file, frame);
}

MARect FrameRectAt(const uint8_t* frame, int32_t x, int32_t y) {
  if (!frame) return MARect{x, y, x, y};
  const int32_t left = x - shapecentrex(frame), top = y - shapecentrey(frame);
  return MARect{left, top, left + shapewidth(frame), top + shapeheight(frame)};
}

MARect DrawUIFrame(const uint8_t* frame, int32_t x, int32_t y) {
  ImageRecord* screen = DrawnImage();
  if (!frame || !screen || !screen->window) return MARect{x, y, x, y};
  const MARect r = FrameRectAt(frame, x, y);
  if (!setwindow(screen->window)) return MARect{x, y, x, y};
  const uint8_t* clut = getshapeclut(frame);
  const bool alpha = screen->window->depth > 8 && clut && (clut[0] == 0x2A || clut[0] == 0x2C || clut[0] == 0x2E);
  if (alpha)
    drawshapealpha(frame, r.left, r.top);
  else
    drawshapetrans(frame, r.left, r.top);
  releasewindow();
  AddDirtyRect(r);
  return r;
}

int ShapePixelOpaqueAt(const uint8_t* frame, int32_t ax, int32_t ay, int32_t x, int32_t y) {
  if (!frame) return 0;
  const MARect r = FrameRectAt(frame, ax, ay);
  return ShapePixelIsOpaque(frame, x - r.left, y - r.top);
}
