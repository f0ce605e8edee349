// Water over a finished picture: the reflection pass replaces each water pixel (marked by bit 0 of its depth value,
// or by the key colour 0xF81F) with what stands above the waterline, mixed with the water texture; the animation
// moves waves, glints and ripples over the water found, several times a second, without drawing the scene again.
#pragma once

#include <cstdint>

#include "scene/swtri.h"

constexpr uint16_t kWaterKey = 0xF81F;

struct WaterState {
  int32_t box[4] = {0, 0, 0, 0};       // left, top, right, bottom (exclusive) of the water last found
  int32_t previousBox[4] = {0, 0, 0, 0};
  int32_t rowStep = 8, rowPhase = 0, wavePhase = 0;
  int32_t rippleX = 0, rippleY = 0, rippleSize = 0, rippleGrowth = 0;
  bool ripplesEnabled = true;
  bool doubleBuffer = false;
  bool glint = false;
  bool windSlant = false;
  int override = 0;                    // 1-3 forces a water setting; 0 none
  int setting = 0;                     // the round's water setting: 0, 1, 2 and above
  uint32_t nextAnimation = 0, nextRedraw = 0;
  int32_t redrawArea[4] = {0, 0, 0, 0};  // water to redraw whole (right, bottom exclusive); empty when all 0 or -1
  int32_t offsetsWidth = -1;
  int32_t offsets[3][32] = {};
};
WaterState& Water();
// The hole's water as it loads: colours and override reset, glint and ripples by the hole.
void ResetWaterForHole(int glintSetting);

// The pictures the water works on: the drawn picture, the depth values, and the picture kept as the background the
// animation starts from each step.
struct WaterPages {
  Surface16 current, depth, background;
};

bool IsWaterMarked(uint16_t depthValue);
// A picture read back from the 3D card, its water drawn in the key colour: the depth values' marker bit set there
// and cleared elsewhere, so the reflection and the animation find the water as in a software picture.
void MarkWaterPixels(const Surface16& picture, const Surface16& depth);
// Mode 2 finds water by the depth marker, mode 1 by the key colour. Widens and keeps the water box.
void DrawWaterReflection(const Surface16& picture, const Surface16& depth, int mode);
// One animation step over the water box (at least 4 x 4): waves (or glints) from the background into the current
// picture, then the ripple.
void AnimateWater(const WaterPages& pages);
// A whole animation pass at once (the view was set up again).
void RedrawWaterAnimation(const WaterPages& pages, int windSector);
struct WaterGate {
  bool paused = false;
  uint32_t golfStatus = 0;
  bool afterShotShown = false;
};
bool IsWaterAnimationDue(uint32_t now, const WaterGate& gate);
// Once a frame: every 33 ms an animation step, every 66 ms at most the redraw area redrawn whole, and a new ripple
// when none runs. True when the picture changed.
bool StepWaterAnimation(uint32_t now, const WaterPages& pages, const WaterGate& gate);
void StartRipple(int32_t x, int32_t y);
// One ring of the current ripple (clipped to the picture); the ripple grows by its growth and ends at 256.
void DrawRipple(const WaterPages& pages);
// The wave brightness of the table for `setting` at `index` (0-127).
int32_t WaveBrightness(int setting, int index);
