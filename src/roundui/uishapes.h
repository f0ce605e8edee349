// The in-round interface's shape set: 30 shape files of "ui.viv" (one archive per screen size) held by index in
// one table, and the drawing helpers every in-round control uses for them.
#pragma once

#include <cstdint>

#include "framework/core/memmgr.h"
#include "framework/core/utils.h"

struct PathRecord;

constexpr uint32_t kGameUIShapeCount = 30;
// Entry 3 is no file: a work block of this size that the scene's ball drawing uses.
constexpr uint32_t kGameUIWorkShape = 3;
constexpr size_t kGameUIWorkBlockBytes = 4116;

// Indexes of the table that controls name.
enum GameUIShape : uint32_t {
  kShapeSwingBall = 0,
  kShapePowerBody = 6,
  kShapePowerHandle = 7,
  kShapePowerTrack = 8,
  kShapePanelBack = 9,
  kShapeStartButton = 10,
  kShapeShotDotA = 11,
  kShapeShotDotB = 12,
  kShapeShotDotC = 13,
  kShapeLieInfo = 14,
  kShapeSettings = 15,
  kShapeClubSelect = 16,
  kShapeShotClock = 17,
  kShapeDistInfo = 18,
  kShapeBallSpinBack = 19,
  kShapeSpinIdle = 20,
  kShapeSpinUsable = 21,
  kShapeSpinPressed = 22,
  kShapeAggressiveSafe = 23,
  kShapeTips = 24,
  kShapeAnalog = 25,
  kShapeMouseCalibration = 26,
  kShapeIronIcon = 27,
  kShapeChipIcon = 28,
  kShapePuttIcon = 29,
};

// The file name of a table entry; null for the work block and past the end.
const char* GameUIShapeFile(uint32_t index);

// The handle of entry n, 0 when it is not loaded or n is past the table. Not locked.
MemHandle GetGameUIShape(uint32_t n);

// Fills the table from "ui.viv" in `folder` (the archive is current only while the files are read; a file that
// is missing or damaged leaves its entry 0 and says so on the debugger output). Entries already loaded stay.
// The number of entries that are not loaded afterwards.
int LoadGameUIShapes(PathRecord* folder);
// Frees every entry and sets it to 0.
void FreeGameUIShapes();
// Counts the times the table was freed: a frame pointer taken under another count points at freed memory.
uint32_t GameUIShapeGeneration();
// The folder of the in-round archive for the current screen size (null when the data folders are not known).
PathRecord* GameUIFolder();

// Frame `frame` of entry n (locking the entry for the life of the table), null when either is missing.
const uint8_t* GameUIFrame(uint32_t n, int32_t frame);
// The rectangle a frame covers with its hot spot on (x, y); empty for a null frame.
MARect FrameRectAt(const uint8_t* frame, int32_t x, int32_t y);
// Draws a frame, blended by its colour table's opacity, with its hot spot on (x, y) into the current screen image
// and marks the area for the next update. The area drawn (empty when nothing was).
MARect DrawUIFrame(const uint8_t* frame, int32_t x, int32_t y);
// 1 when the pixel at screen point (x, y) of a frame placed with its hot spot on (ax, ay) is opaque.
int ShapePixelOpaqueAt(const uint8_t* frame, int32_t ax, int32_t ay, int32_t x, int32_t y);
