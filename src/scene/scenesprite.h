// Pictures of the animations (golfer, flag, ground movies, ball) on the hardware path: each frame they are queued
// with their screen point and depth and drawn as billboards through the bound 3D interface. A picture goes to the
// card through one of the static sprite images by its size: 32 x 32, 128 x 128, or two 256 x 256 images (the top
// 256 rows and the rest). Pictures too large for those are scaled down to fit, never converted past them.
#pragma once

#include <cstdint>
#include <vector>

// The size class a picture of width x height goes through, and the texels it takes there.
enum class SpriteClass : uint8_t { kNone, kSmall, kMedium, kTwoPiece };
struct SpriteFit {
  SpriteClass kind = SpriteClass::kNone;
  int32_t width = 0, height = 0;  // the picture's texels in the sprite image(s)
  int32_t side = 0;               // the sprite image's side
};
constexpr int32_t kSpriteMaxWidth = 256, kSpriteMaxRows = 509;
// Movie frames wider than 256 are scaled to 256 wide; any picture still taller than 509 rows or wider than 256 is
// scaled, its shape kept, into the two-piece class.
SpriteFit FitSceneSprite(int32_t width, int32_t height, bool movieFrame);

// A shape entry (8-bit with its palette or the file's "!pal", or 16-bit 5-6-5) to draw with its hot spot at the
// screen point (x, y), scaled by `scale`, at camera depth `depth`. Without an entry: a flat rectangle of `colour`
// (5-6-5), width x height, from (x, y). An entry with a width is laid over that rectangle instead: its texels
// srcLeft..srcRight, srcTop..srcBottom (the whole image when the part is empty), modulated by `tint` (ARGB).
struct SceneSprite {
  const uint8_t* file = nullptr;
  const uint8_t* entry = nullptr;
  float x = 0.0f, y = 0.0f, depth = 0.0f;
  float scale = 1.0f;
  bool movieFrame = false;
  float width = 0.0f, height = 0.0f;
  uint16_t colour = 0;
  int32_t srcLeft = 0, srcTop = 0, srcRight = 0, srcBottom = 0;
  uint32_t tint = 0xFFFFFFFFu;
};

// Converts the entry, resampled to `fit`, into 1-5-5-5 texels with index 255 (8-bit) and 0 (16-bit) clear (an
// 8-bit entry with an ARGB palette: also the entries whose alpha is half or less): rows
// 0..255 into `top` and the rest into `bottom` (two-piece class), each image `fit.side` square, cleared first.
// False for an entry that is not an 8- or 16-bit unpacked image.
bool ConvertSceneSprite(const uint8_t* file, const uint8_t* entry, const SpriteFit& fit, std::vector<uint16_t>& top,
                        std::vector<uint16_t>& bottom);

// An untextured, blended triangle drawn over the hole at camera depth `depth` (the ball's streak).
struct SceneTriangle {
  float x[3], y[3];
  uint32_t colour[3];  // ARGB
  float depth;
};

// The sprites and triangles of the next hardware frame; the frame takes them.
void QueueSceneSprite(const SceneSprite& sprite);
std::vector<SceneSprite> TakeQueuedSceneSprites();
void QueueSceneTriangle(const SceneTriangle& triangle);
std::vector<SceneTriangle> TakeQueuedSceneTriangles();
