#include "scene/horizon.h"

#include "course/scenedata.h"

HorizonTables gHorizon;

namespace {

struct Blend {
  int32_t length = 0;
  float ring[30] = {};
  float sum = 0.0f;
  int32_t next = 0;
  float held = 0.0f;
} gBlend;

}  // namespace

void PrepareCourseRenderTables(const CourseSceneData& course) {
  HorizonTables& h = gHorizon;
  h.total = 0;
  h.pieces = 0;
  for (int32_t& o : h.offsets) o = 0;
  const int count = course.horizonCount < 0 ? 0 : (course.horizonCount > 12 ? 12 : course.horizonCount);
  bool allLocked = true;
  for (int i = 0; i < count; ++i) {
    const HorizonPanel& piece = course.horizon[static_cast<size_t>(i)];
    if (!piece.image.present()) {
      allLocked = false;
      break;
    }
    h.total += piece.image.width() + piece.extraWidth;
    h.offsets[i] = h.total;
    h.pieces = i + 1;
  }
  if (!allLocked || h.backgroundSet || h.pieces == 0) return;
  // The sky's background colour is the strip's first pixel.
  const CourseImage& first = course.horizon[0].image;
  uint8_t index = first.pixels()[0];
  // A strip whose first pixel is the colour key (transparent sky) takes the sky image's first pixel instead.
  if (index == 255 && !course.skyTop.empty() && course.skyTop[0].image.present())
    index = course.skyTop[0].image.pixels()[0];
  const uint32_t argb = index == 255 ? 0xFF7AAAE8u : course.palette[index];
  const uint32_t r = (argb >> 19) & 31, g = (argb >> 10) & 63, b = (argb >> 3) & 31;
  h.background565 = static_cast<uint16_t>((r << 11) | (g << 5) | b);
  h.background32 = 0xFF000000u | ((r * 8 + r / 4) << 16) | ((g * 4 + g / 16) << 8) | (b * 8 + b / 4);
  h.backgroundSet = true;
}

int32_t HorizonOffsetForHeading(int32_t heading, int32_t startPiece, int32_t screenWidth) {
  const int32_t total = gHorizon.total;
  if (total <= 0) return 0;
  int32_t p = static_cast<int32_t>(static_cast<int64_t>(total) * heading / 65536) - (screenWidth - 640) / 2;
  if (p < 0) p += total;
  if (startPiece < 0 || startPiece > 11) startPiece = 0;
  p += startPiece == 0 ? 0 : gHorizon.offsets[startPiece - 1];
  while (p >= total) p -= total;
  while (p < 0) p += total;
  return p;
}

void SetViewBlendLength(int32_t n) {
  n = n < 0 ? 0 : (n > 30 ? 30 : n);
  gBlend.length = n;
  gBlend.sum = 0.0f;
  gBlend.next = 0;
  gBlend.held = 0.0f;
  for (int i = 0; i < n; ++i) gBlend.ring[i] = 0.0f;
}

void BeginViewBlend() { SetViewBlendLength(30); }
void CancelViewBlend() { SetViewBlendLength(0); }

void AddViewBlendSample(float v) {
  // With no length there is no ring to add to.
  if (gBlend.length <= 0) return;
  if (gBlend.held == static_cast<float>(gBlend.length)) gBlend.sum -= gBlend.ring[gBlend.next];
  else gBlend.held += 1.0f;
  gBlend.sum += v;
  gBlend.ring[gBlend.next] = v;
  if (++gBlend.next >= gBlend.length) gBlend.next = 0;
}

float ViewBlendAverage() { return gBlend.held > 0.0f ? gBlend.sum / gBlend.held : 0.0f; }
bool IsViewBlendOn() { return gBlend.length != 0; }
void ViewBlendNoOp() {}
