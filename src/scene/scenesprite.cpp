#include "scene/scenesprite.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platformlib/shapes/shapes.h"
#include "scene/movieanim.h"
#include "scene/texconv.h"

namespace {

std::vector<SceneSprite> gQueued;
std::vector<SceneTriangle> gTriangles;
constexpr int kSpriteTexelFormat = 3;  // 1-5-5-5

// w x h scaled, its shape kept, to fit within maxW x maxH (at least one texel each way).
void ScaleWithin(int32_t& w, int32_t& h, int32_t maxW, int32_t maxH) {
  if (w <= maxW && h <= maxH) return;
  if (int64_t{h} * maxW > int64_t{w} * maxH) {
    w = static_cast<int32_t>(std::max<int64_t>(1, int64_t{w} * maxH / h));
    h = maxH;
  } else {
    h = static_cast<int32_t>(std::max<int64_t>(1, int64_t{h} * maxW / w));
    w = maxW;
  }
}

uint16_t To1555(uint16_t c565) {
  return static_cast<uint16_t>(0x8000 | ((c565 >> 1) & 0x7FE0) | (c565 & 0x1F));
}

// An 8-bit picture's texel palette (1-5-5-5, entry 255 clear) by its palette record: a 5-6-5 record's colours
// opaque; an ARGB record's entries clear where their alpha is half or less; an alpha-565 record's colours opaque,
// divided back by their alpha unless the record says they are straight; other records read as 5-6-5.
bool SpriteTexelPalette(const uint8_t* file, const uint8_t* entry, uint16_t out[256]) {
  const uint8_t* record = getshapeclut(entry);
  if (!record && file) {
    const uint8_t* shared = findshape(file, "!pal");
    if (shared && iscluttype(shared[0]) && shapewidth(shared) >= 256) record = shared;
  }
  if (record && record[0] == 0x29) {
    ConvertPalette565ToFormat(record, out, kSpriteTexelFormat, true);
    return true;
  }
  if (record && record[0] == 0x2A) {
    ConvertARGBPaletteToFormat(record, out, kSpriteTexelFormat, true);
    return true;
  }
  if (record && record[0] == 0x2C) {
    ConvertAlpha565PaletteToFormat(record, out, kSpriteTexelFormat, true);
    return true;
  }
  uint16_t buffer[256];
  const uint16_t* palette = ShapeEntryPalette16(file, entry, buffer);
  if (!palette) return false;
  for (int i = 0; i < 255; ++i) out[i] = To1555(palette[i]);
  out[255] = 0;
  return true;
}

}  // namespace

SpriteFit FitSceneSprite(int32_t width, int32_t height, bool movieFrame) {
  SpriteFit fit;
  if (width <= 0 || height <= 0) return fit;
  if (movieFrame && width > kSpriteMaxWidth) ScaleWithin(width, height, kSpriteMaxWidth, INT32_MAX);
  fit.width = width, fit.height = height;
  if (width <= 32 && height <= 32) {
    fit.kind = SpriteClass::kSmall, fit.side = 32;
  } else if (width <= 128 && height <= 128) {
    fit.kind = SpriteClass::kMedium, fit.side = 128;
  } else {
    ScaleWithin(fit.width, fit.height, kSpriteMaxWidth, kSpriteMaxRows);
    fit.kind = SpriteClass::kTwoPiece, fit.side = 256;
  }
  return fit;
}

bool ConvertSceneSprite(const uint8_t* file, const uint8_t* entry, const SpriteFit& fit, std::vector<uint16_t>& top,
                        std::vector<uint16_t>& bottom) {
  if (!entry || fit.kind == SpriteClass::kNone || (entry[0] & 0x80)) return false;
  const int bits = shapetypedepth(entry[0] & 0x7F);
  const int32_t iw = shapewidth(entry), ih = shapeheight(entry);
  if ((bits != 8 && bits != 16) || iw <= 0 || ih <= 0) return false;
  const size_t square = static_cast<size_t>(fit.side) * fit.side;
  top.assign(square, 0);
  if (fit.kind == SpriteClass::kTwoPiece) bottom.assign(square, 0);
  uint16_t palette[256];
  if (bits == 8 && !SpriteTexelPalette(file, entry, palette)) return false;
  const int32_t rowBytes = shaperowbytes(entry);
  const uint8_t* pixels = shapepixels(entry);
  for (int32_t y = 0; y < fit.height; ++y) {
    const int32_t sy = static_cast<int32_t>(int64_t{y} * ih / fit.height);
    const uint8_t* row = pixels + static_cast<size_t>(sy) * rowBytes;
    uint16_t* out = y < fit.side ? top.data() + static_cast<size_t>(y) * fit.side
                                 : bottom.data() + static_cast<size_t>(y - fit.side) * fit.side;
    for (int32_t x = 0; x < fit.width; ++x) {
      const int32_t sx = static_cast<int32_t>(int64_t{x} * iw / fit.width);
      if (bits == 8) {
        out[x] = palette[row[sx]];
      } else if (const uint16_t c = static_cast<uint16_t>(shaperead16(row + 2 * sx)); c != 0) {
        out[x] = To1555(c);
      }
    }
  }
  return true;
}

namespace {

// A frame draws a handful; a queue that is never taken (no hardware frame) stays bounded.
template <typename T>
void Enqueue(std::vector<T>& queue, const T& item, size_t bound) {
  if (queue.size() < bound) queue.push_back(item);
}

template <typename T>
std::vector<T> TakeAll(std::vector<T>& queue) {
  std::vector<T> taken;
  taken.swap(queue);
  return taken;
}

}  // namespace

void QueueSceneSprite(const SceneSprite& sprite) { Enqueue(gQueued, sprite, 64); }
std::vector<SceneSprite> TakeQueuedSceneSprites() { return TakeAll(gQueued); }
void QueueSceneTriangle(const SceneTriangle& triangle) { Enqueue(gTriangles, triangle, 16); }
std::vector<SceneTriangle> TakeQueuedSceneTriangles() { return TakeAll(gTriangles); }
