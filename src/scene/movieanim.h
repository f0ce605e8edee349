// A shape movie played at a point of the 3D world: each frame time the counter advances by the whole frames
// that passed (the rest carried), the world point is projected through the view to a screen point and a depth
// value, and the current frame is drawn there scaled, depth-tested against the scene, its background restored
// when erased. The base of the golfer, flag and ground animations.
#pragma once

#include <cstdint>

#include "course/vector3.h"
#include "framework/core/shapemovie.h"
#include "scene/animlist.h"

// The 5-6-5 palette an 8-bit entry draws with: its own attached block, else the file's "!pal".
const uint16_t* ShapeEntryPalette16(const uint8_t* file, const uint8_t* entry, uint16_t buffer[256]);

// Draws a shape entry (8-bit with its palette or the file's "!pal", or 16-bit 5-6-5) with its hot spot at (x, y),
// scaled by `scale` (16.16), into the surfaces' screen within `clip`: a pixel is drawn only where the scene's depth
// is at least `depthValue` (no depth buffer, or `depthValue` 0: everywhere). Index 255 and 16-bit 0 are clear. The
// rectangle covered (empty when nothing was). `shade`: the sprite's pixels halve what lies under them (shadows).
MARect DrawShapeSprite16(const uint8_t* file, const uint8_t* entry, const AnimationSurfaces& s, const MARect& clip,
                         int32_t x, int32_t y, int32_t scale, uint16_t depthValue, bool shade = false);

// The software depth value of a camera depth: 0xFFFE from 350 on, 0x8000 at or below 0, else depth / 700 in 16.16
// with bit 0 clear, plus 0x8000 in the full view.
uint16_t MovieDepthValue(float depth, bool fullView);
// Frame time (16.16 ms) of a rate in frames a second (16.16); a rate so high that a frame would last under a
// millisecond counts as 1 ms.
int32_t FrameTimeForRate(int32_t rate);
// The 16.16 scale of a movie drawn 32 pixels to the world unit standing at `at` in `view` (times `factor`), from
// 1/65536 up to 16 times.
int32_t WorldUnitScale(const TGolfView& view, const Vector3& at, float factor = 1.0f);

class TMovieAnimation : public TGolfAnimation {
 public:
  TMovieAnimation();
  ~TMovieAnimation() override;

  void SetSceneMode(int flag) override { TGolfAnimation::SetSceneMode(flag); }
  void ChangeView(TGolfView* oldView, TGolfView* newView) override;
  ScreenPixel GetScreenOffset() override { return screenPosition; }
  void SetScreenPosition(int32_t x, int32_t y) override { screenPosition = {x, y}; }
  int IsFrameDue(uint32_t now) override;
  int IsFinished() override { return !looping && frameCounter >= frameCount; }
  int Update(int* finished, uint32_t now) override;
  int Erase() override;
  void Reset() override;
  void Refresh(int value) override;
  void QueueSceneSprites() override;
  // Places and (re)starts the movie at a world point of a view: 0, or 17 for a movie without frames.
  virtual int Place(TShapeMovie* source, uint32_t user, TGolfView* v, float x, float y, float height);
  virtual void ReleaseFrames();
  virtual void SetFrameDuration(int32_t rate) { frameTime = FrameTimeForRate(rate); }
  virtual void UpdateScreenPlacement();
  // The base placement of the point `lift` above the world position (which stays as it is).
  void PlaceByPointAbove(float lift);
  // Draws the present frame as another view would show it (a camera's inset) onto `s` within `clip`, leaving
  // this animation's own placement as it was; the rectangle covered (empty when nothing was drawn).
  MARect DrawInView(TGolfView* other, const AnimationSurfaces& s, const MARect& clip);

  TShapeMovie* frameSource = nullptr;
  int32_t frameCounter = 1, frameCount = 0;
  int32_t frameTime = 0;  // 16.16 ms
  int32_t scale = 0x10000;
  uint16_t depthValue = 0;
  Vector3 world{};
  float screenX = 0.0f, screenY = 0.0f, depth = 0.0f;
  float sceneDepth = 0.0f;  // the camera depth its picture is drawn at on the hardware path
  ScreenPixel screenPosition{};
  int ownsSource = 0;
  MARect clip{0, 0, 0, 0};
  int behindEye = 0;
};
