#include "scene/water.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "course/scenedata.h"
#include "course/terrain.h"
#include "scene/holedraw.h"
#include "scene/horizon.h"
#include "scene/random.h"

namespace {

WaterState gWater;

constexpr int8_t kWaveA[64] = {1, 0, 0, 0, 1, 0, 0, 1, 0, 1, 0, 1, 1, 0, 0, 1, 0, 1, 1, 1, 0, 0,
                               1, 1, 1, 0, 1, 1, 0, 1, 1, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 0, 1, 1,
                               1, 0, 1, 0, 1, 1, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 0};
constexpr int8_t kWaveB[64] = {0, 0, 0, 1, 0, 1, 0, 0, 1, 0, 1, 0, 0, 1, 1, 0, 1, 1, 1, 0, 1, 1,
                               0, 1, 1, 0, 1, 1, 1, 0, 1, 2, 1, 2, 1, 2, 1, 1, 1, 1, 0, 1, 1, 1,
                               0, 1, 1, 1, 1, 1, 0, 1, 0, 1, 0, 1, 1, 0, 0, 1, 0, 0, 0, 1};
constexpr int8_t kOffsetSets[3][32] = {
    {1, 0, 1, 1, 1, 2, 2, 2, 2, 2, 2, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1},
    {1, 0, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 1, 1, 1, 1, 0, 0, 0, 0, 0, -1, -1, -2, -1, -1, 0, 0, 0, 0, 1, 1},
    {1, 0, 1, 2, 2, 2, 4, 2, 4, 2, 2, 2, 2, 1, 0, 1, 0, 0, -1, 0, -1, -2, -2, -2, -2, -2, 0, -1, 0, 0, 1, 0}};
// The splash ring: eight rings of sixteen steps, each fainter than the one before.
constexpr int8_t kRingStart[8] = {-4, -7, -5, -3, 5, 7, 4, 1};

int8_t RingStep(int ring, int j) {
  const int base = kRingStart[j % 8] * (j < 8 ? 2 : 1);
  return static_cast<int8_t>(base * (8 - ring) / 16);
}

uint16_t Half(uint16_t c) { return static_cast<uint16_t>((c & 0xF7DE) >> 1); }
uint16_t Quarter(uint16_t c) { return static_cast<uint16_t>((c & 0xE79C) >> 2); }
uint16_t Eighth(uint16_t c) { return static_cast<uint16_t>((c & 0xC718) >> 3); }

// Adds `step` to blue and red (red half of it when `halfRed`) and twice it to green, each clamped.
uint16_t Brighten(uint16_t c, int step, bool halfRed) {
  const int r = std::clamp(((c >> 11) & 31) + (halfRed ? step / 2 : step), 0, 31);
  const int g = std::clamp(((c >> 5) & 63) + 2 * step, 0, 63);
  const int b = std::clamp((c & 31) + step, 0, 31);
  return static_cast<uint16_t>(r << 11 | g << 5 | b);
}

uint16_t& At(const Surface16& s, int32_t x, int32_t y) { return s.pixels[static_cast<size_t>(y) * s.pitch + x]; }
int32_t Width(const Surface16& s) { return s.clipRight; }
int32_t Height(const Surface16& s) { return s.clipBottom; }
bool BoxBigEnough(const int32_t b[4]) { return b[2] - b[0] >= 4 && b[3] - b[1] >= 4; }

int Setting() { return gWater.override ? gWater.override - 1 : std::min(gWater.setting, 2); }

void RebuildOffsets(int32_t width) {
  if (gWater.offsetsWidth == width) return;
  gWater.offsetsWidth = width;
  for (int s = 0; s < 3; ++s)
    for (int i = 0; i < 32; ++i) gWater.offsets[s][i] = kOffsetSets[s][i] * width;
}

}  // namespace

WaterState& Water() { return gWater; }

void ResetWaterForHole(int glintSetting) {
  gWater.override = glintSetting;
  gWater.glint = glintSetting != 0;
  gWater.rippleSize = 0;
  gWater.ripplesEnabled = glintSetting == 0;
  std::fill(gWater.box, gWater.box + 4, 0);
  std::fill(gWater.previousBox, gWater.previousBox + 4, 0);
}

int32_t WaveBrightness(int setting, int index) {
  const int8_t* table = setting == 0 ? kWaveA : kWaveB;
  index &= 127;
  return index < 64 ? table[index] : -table[index - 64];
}

bool IsWaterMarked(uint16_t depthValue) { return (depthValue & 1) != 0; }

void MarkWaterPixels(const Surface16& picture, const Surface16& depth) {
  // The key colour gives way to the water's own texture, which the reflection mixes with what it mirrors.
  const CourseSceneData& course = CurrentCourseScene();
  const CourseImage& water = course.textures[kSurfaceWater >> 4].image;
  const uint8_t* texels = water.present() && water.width() >= 64 && water.height() >= 64 ? water.pixels() : nullptr;
  for (int32_t y = 0; y < std::min(Height(picture), Height(depth)); ++y) {
    uint16_t* p = &At(picture, 0, y);
    uint16_t* d = &At(depth, 0, y);
    for (int32_t x = 0; x < std::min(Width(picture), Width(depth)); ++x) {
      const bool wet = p[x] == kWaterKey;
      d[x] = static_cast<uint16_t>((d[x] & ~1u) | (wet ? 1u : 0u));
      if (wet)
        p[x] = texels ? To565(course.palette[texels[(y & 63) * water.width() + (x & 63)]]) : course.waterPalettes[0][0];
    }
  }
}

void DrawWaterReflection(const Surface16& picture, const Surface16& depth, int mode) {
  const CourseSceneData& course = CurrentCourseScene();
  const int32_t width = Width(picture), height = Height(picture);
  int32_t* box = gWater.box;
  box[0] = width, box[1] = height, box[2] = box[3] = 0;
  constexpr int32_t kThreshold = 0x41E, kNearer = 92;
  static constexpr int kKinds[3] = {3, 7, 13};
  const int setting = Setting(), kind = kKinds[setting];
  const std::array<uint16_t, 256>& palette = course.waterPalettes[static_cast<size_t>(setting)];
  const CourseImage& waterImage = course.textures[5].image;
  const uint8_t* waterTexels = waterImage.present() ? waterImage.pixels() : nullptr;
  const uint16_t sky = gHorizon.backgroundSet ? gHorizon.background565 : 0x6D5F;
  std::vector<int32_t> previousK(static_cast<size_t>(height), -1), columnK(static_cast<size_t>(height), -1);
  std::vector<int32_t> toWater(static_cast<size_t>(height));
  std::vector<uint16_t> column(static_cast<size_t>(height));
  // Which columns meet water, found row by row (in the order memory holds them).
  std::vector<uint8_t> wetColumn(static_cast<size_t>(std::max(width, 0)), 0);
  for (int32_t y = 0; y < height; ++y) {
    const uint16_t* d = &At(depth, 0, y);
    const uint16_t* p = &At(picture, 0, y);
    if (mode == 2)
      for (int32_t x = 0; x < width; ++x) wetColumn[static_cast<size_t>(x)] |= static_cast<uint8_t>(d[x] & 1);
    else
      for (int32_t x = 0; x < width; ++x) wetColumn[static_cast<size_t>(x)] |= static_cast<uint8_t>(p[x] == kWaterKey);
  }
  for (int32_t x = 0; x < width; ++x) {
    RandomUp = RandomTable[RandomUp];
    if (!wetColumn[static_cast<size_t>(x)]) {
      // A dry column only steps the random index once a row and leaves no reflection depths for the next.
      RandomUp = static_cast<uint8_t>(RandomUp + height);
      std::fill(previousK.begin(), previousK.end(), -1);
      continue;
    }
    int32_t k = 0, lastDifference = 0;
    int32_t waterline = -1;
    // Rows from each row down to the next water in this column (one pass up the column).
    for (int32_t y = height - 1, run = height; y >= 0; --y) {
      const uint16_t value = At(depth, x, y);
      column[static_cast<size_t>(y)] = value;
      run = (mode == 2 ? (value & 1) != 0 : At(picture, x, y) == kWaterKey) ? 0 : run + 1;
      toWater[static_cast<size_t>(y)] = run;
    }
    auto d = [&](int32_t y) { return static_cast<int32_t>(column[static_cast<size_t>(y)]); };
    auto wet = [&](int32_t y) { return toWater[static_cast<size_t>(y)] == 0; };
    for (int32_t y = 0; y < height; ++y) {
      const int32_t here = d(y);
      if (toWater[static_cast<size_t>(y)] != 0) {
        if (y < height - 8 && toWater[static_cast<size_t>(y) + 1] >= 7) {
          waterline = here;
          if (previousK[static_cast<size_t>(y)] >= 0 && lastDifference < 30) k = previousK[static_cast<size_t>(y)];
        }
        ++RandomUp;
        continue;
      }
      if (waterline >= 0 && waterline - here < 46) k = 0, waterline = -1;
      box[0] = std::min(box[0], x), box[1] = std::min(box[1], y);
      box[2] = std::max(box[2], x + 1), box[3] = std::max(box[3], y + 1);
      uint16_t reflected = sky;
      if (!gWater.glint) {
        const int32_t reference = here;
        while (y - k >= 0 && (wet(y - k) || reference - d(y - k) > kNearer)) ++k;
        if (y - k >= 0) {
          // On up while the scenery there lies far behind the water for the distance climbed.
          for (int32_t climbed = 0; climbed < 32 && y - k - 1 >= 0;) {
            const int32_t above = d(y - k);
            if (std::abs(above - reference) <= kThreshold * k) break;
            climbed += (above & 0x7FFF) >= 0x7FFE ? 3 : 1;
            ++k;
          }
          const int32_t before = previousK[static_cast<size_t>(y)];
          if (before >= 0 && std::abs(before - k) > 16) k = (before + k) / 2;
          lastDifference = before >= 0 ? std::abs(before - k) : 0;
          columnK[static_cast<size_t>(y)] = k;
          reflected = At(picture, x, std::max(0, y - k));
          if (x > kind) {
            // Blurred with a neighbour at a random offset, kept inside the row.
            const int32_t offset = scene::Random15() & kind;
            const int32_t nx = std::clamp(RandomUp == 0 ? x + offset : x - offset, 0, width - 1);
            reflected = static_cast<uint16_t>(Half(reflected) + Half(At(picture, nx, std::max(0, y - k))));
            RandomUp = static_cast<uint8_t>(RandomUp + (reflected & 0xFF));
          }
        }
      }
      const uint16_t w = waterTexels ? palette[waterTexels[RandomTable[RandomUp++]]] : palette[0];
      const uint16_t p = At(picture, x, y);
      uint16_t out;
      if (mode == 2) {
        if (kind == 3) out = static_cast<uint16_t>(Half(reflected) + Quarter(w) + Quarter(p));
        else if (kind == 7) out = static_cast<uint16_t>(Quarter(reflected) + Eighth(reflected) + Quarter(w) + Eighth(w) + Quarter(p));
        else out = static_cast<uint16_t>(Quarter(reflected) + Half(w) + Quarter(p));
      } else {
        if (kind == 3) out = static_cast<uint16_t>(Half(reflected) + Half(w));
        else if (kind == 7) out = static_cast<uint16_t>(Quarter(reflected) + Eighth(reflected) + Half(w) + Eighth(w));
        else out = static_cast<uint16_t>(Quarter(reflected) + Half(w) + Quarter(w));
      }
      At(picture, x, y) = out;
      ++k;
    }
    previousK.swap(columnK);
    std::fill(columnK.begin(), columnK.end(), -1);
  }
  std::copy(box, box + 4, gWater.previousBox);
}

void AnimateWater(const WaterPages& pages) {
  const int32_t* box = gWater.box;
  if (!BoxBigEnough(box)) return;
  const int32_t width = Width(pages.current), height = Height(pages.current);
  RebuildOffsets(pages.current.pitch);
  const int setting = Setting();
  if (gWater.rowStep != 1) {
    gWater.rowPhase = (gWater.rowPhase + 1) % gWater.rowStep;
    if (gWater.rowPhase == 0) {
      const int move = (gWater.windSlant ? 4 : -4) * (setting >= 2 ? 2 : 1);
      gWater.wavePhase = (gWater.wavePhase + move) & 127;
    }
  }
  const int32_t* offsets = gWater.offsets[setting];
  const size_t size = static_cast<size_t>(pages.current.pitch) * height;
  bool rippleRows = false;
  const int32_t top = std::max(0, box[1]), bottom = std::min(height, box[3]);
  for (int32_t y = top; y < bottom; ++y) {
    if (((y - gWater.rowPhase) % gWater.rowStep + gWater.rowStep) % gWater.rowStep != 0) continue;
    int32_t period = setting == 0 ? 3 * y / 2 - 61 : setting == 1 ? y - 41 : 5 * y / 8 - 21;
    if (period < 10) period = std::abs(period) + y / 3;
    period = std::max(1, period);
    const int32_t step = 65536 / period;
    int32_t phase = (gWater.wavePhase - y) * 256 + std::max(0, box[0]) * step;
    for (int32_t x = std::max(0, box[0]); x < std::min(width, box[2]); ++x, phase += step) {
      const uint16_t d = At(pages.depth, x, y);
      if (!IsWaterMarked(d) || !(d & 0x8000)) continue;
      const size_t here = static_cast<size_t>(y) * pages.current.pitch + x;
      const int64_t shifted = static_cast<int64_t>(here) + offsets[(phase >> 8) & 31];
      uint16_t c = pages.background.pixels[here];
      if (shifted >= 0 && static_cast<size_t>(shifted) < size && IsWaterMarked(pages.depth.pixels[shifted]))
        c = pages.background.pixels[shifted];
      if (gWater.glint) {
        const uint8_t sum = static_cast<uint8_t>(RandomUp + (c & 0xFF));
        if ((sum & 0xF0) == 0) c = Brighten(c, -3, false);
        else if ((sum & 0x0F) == 0) c = Brighten(c, 6, false);
        RandomUp = static_cast<uint8_t>(RandomUp + sum + (step >> 8));
      } else {
        c = Brighten(c, WaveBrightness(setting, (phase >> 8) & 127), false);
      }
      pages.current.pixels[here] = c;
    }
    if (gWater.rippleSize > 0 && std::abs(y - gWater.rippleY) < 16) rippleRows = true;
  }
  if (rippleRows) DrawRipple(pages);
}

void RedrawWaterAnimation(const WaterPages& pages, int windSector) {
  if (!BoxBigEnough(gWater.box)) return;
  gWater.windSlant = windSector >= 2 && windSector <= 8;
  RebuildOffsets(pages.current.pitch);
  gWater.rippleSize = 0;
  std::fill(gWater.redrawArea, gWater.redrawArea + 4, 0);
  const int32_t rowStep = gWater.rowStep;
  RandomUpPin pin(50);
  gWater.rowStep = 1;
  AnimateWater(pages);
  gWater.rowStep = rowStep;
}

bool IsWaterAnimationDue(uint32_t now, const WaterGate& gate) {
  return !gate.paused && BoxBigEnough(gWater.box) && gate.golfStatus != 0x723 && !gate.afterShotShown &&
         static_cast<int32_t>(now - gWater.nextAnimation) >= 0;
}

bool StepWaterAnimation(uint32_t now, const WaterPages& pages, const WaterGate& gate) {
  if (!IsWaterAnimationDue(now, gate)) return false;
  gWater.nextAnimation = now + 33;
  int32_t* box = gWater.box;
  if (!gWater.doubleBuffer && static_cast<int32_t>(now - gWater.nextRedraw) >= 0) {
    const int32_t* a = gWater.redrawArea;
    const int32_t part[4] = {std::max(a[0], box[0]), std::max(a[1], box[1]), std::min(a[2], box[2]),
                             std::min(a[3], box[3])};
    if (part[0] < part[2] && part[1] < part[3]) {
      gWater.nextRedraw = now + 66;
      int32_t saved[4];
      std::copy(box, box + 4, saved);
      const int32_t phase = gWater.rowPhase, rowStep = gWater.rowStep;
      std::copy(part, part + 4, box);
      gWater.rowPhase = 0;
      gWater.rowStep = 1;
      {
        RandomUpPin pin(50);
        AnimateWater(pages);
      }
      std::copy(saved, saved + 4, box);
      gWater.rowPhase = phase;
      gWater.rowStep = rowStep;
    }
  }
  AnimateWater(pages);
  if (gWater.rippleSize == 0) {
    const int32_t w = std::max(66, Width(pages.current)), h = std::max(66, Height(pages.current));
    gWater.rippleX = scene::Random15() % (w - 65) + 64;
    gWater.rippleY = scene::Random15() % (h - 65) + 64;
    gWater.rippleSize = 1;
    gWater.rippleGrowth = 1;
  }
  return true;
}

void StartRipple(int32_t x, int32_t y) {
  gWater.rippleX = x;
  gWater.rippleY = y;
  gWater.rippleSize = 52;
  gWater.rippleGrowth = 4;
}

void DrawRipple(const WaterPages& pages) {
  if (!gWater.ripplesEnabled || gWater.rippleSize == 0) return;
  gWater.rippleSize = (gWater.rippleSize + gWater.rippleGrowth) & 255;
  if (gWater.rippleSize == 0) return;
  const int32_t width = Width(pages.current), height = Height(pages.current);
  const int32_t cx = gWater.rippleX, cy = gWater.rippleY;
  const int32_t r = cy * gWater.rippleSize / 512;
  const int32_t divisor = r > 100 ? 8 : r > 55 ? 4 : 2;
  const int ring = std::min(7, gWater.rippleSize >> 5);
  // Rows and columns outside the picture are left out.
  for (int32_t row = std::max(0, cy - r); row <= std::min(height - 1, cy + r); ++row) {
    const int32_t dy = std::abs(row - cy);
    const int32_t reach = (r - dy) / 2 - dy * dy / divisor;
    if (reach < 0) continue;
    for (int j = 0; j < 15; ++j) {
      for (int32_t x : {cx + reach + j, cx - reach - j}) {
        if (x < 0 || x >= width) continue;
        if (!IsWaterMarked(At(pages.depth, x, row))) continue;
        uint16_t& c = At(pages.current, x, row);
        c = Brighten(c, RingStep(ring, j), true);
      }
    }
  }
}
