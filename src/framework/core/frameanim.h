// Frame animations: a record that shows one frame at a time out of a frame source, drawn as a graphic record
// at its hot spot, at full size, scaled, or blended through the scratch images.
#pragma once

#include <cstdint>

#include "framework/core/gfxrecord.h"

// Where the frames come from (a film strip, a run of graphics in a file...). The source keeps the pixels of
// its frames; a record only holds what FetchFrame put in it.
class FrameSource {
 public:
  virtual ~FrameSource() = default;
  virtual int32_t FrameCount() = 0;
  // Fills `frame` with frame n: 0, or an error code (the record then keeps its previous frame).
  virtual int FetchFrame(int32_t n, GraphicRecord* frame) = 0;
};

constexpr int32_t kAnimFullSize = 0x10000;  // 16.16 scale of an unscaled draw
// AnimDraw's result for a frame that is not a loaded picture (kind other than 1); the error table's code 18.
constexpr int kAnimNotAPicture = 18;
// A scaled or blended frame must fit the shared unpack cache with this much to spare.
constexpr int32_t kAnimCacheSpare = 1056;

struct AnimSettings {
  WindowDesc* target = nullptr;  // the window drawn into (none: AnimDraw draws nothing)
  int32_t x = 0, y = 0;          // where the frame's hot spot goes
  int32_t scale = kAnimFullSize;
  int32_t mode = 0;              // 0 drawn as it is; otherwise blended through the scratch images
};

struct AnimRecord {
  int32_t frame = -1;  // the current frame's number (-1 before the first fetch succeeds)
  FrameSource* source = nullptr;
  int32_t scale = kAnimFullSize;
  GraphicRecord graphic{};  // the current frame
  int32_t x = 0, y = 0;
  int32_t mode = 0;
  WindowDesc* target = nullptr;
  int32_t valid = 0;  // the graphic holds frame `frame`
  GfxRect drawn{-1, -1, -1, -1};  // what the last AnimDraw covered
};

// Clears the record's frame, takes the source and settings, and fetches frame `first`. The result is
// AnimSetFrame's.
int AnimInit(AnimRecord* record, FrameSource* source, int32_t first, const AnimSettings& settings);
// Fetches frame n unless it is already the current valid frame (`force` fetches again). The frame number
// changes only when the fetch succeeds. 0, 1 for a number outside the source's frames or a record without
// a source, else the source's error.
int AnimSetFrame(AnimRecord* record, int32_t n, bool force);
// Draws the current frame and reports what it covered (all -1 when nothing was drawn; kept as the record's
// last drawn rectangle too). kAnimNotAPicture for a frame whose kind is not 1 (nothing drawn); a scaled or
// blended frame is drawn only when it is at least 2 pixels in one direction and its width x height plus
// kAnimCacheSpare bytes fit the round's shared unpack cache (none outside a round); otherwise 0 or the
// drawing's error.
int AnimDraw(AnimRecord* record, GfxRect* covered);

inline void AnimSetPosition(AnimRecord* record, int32_t x, int32_t y) {
  record->x = x;
  record->y = y;
}
inline int32_t AnimFrameNumber(const AnimRecord* record) { return record->frame; }
inline int32_t AnimFrameCount(const AnimRecord* record) {
  return record->source ? record->source->FrameCount() : 0;
}
inline bool AnimFrameValid(const AnimRecord* record) { return record->valid != 0; }
inline GraphicRecord* AnimGraphic(AnimRecord* record) { return &record->graphic; }
inline int32_t AnimScale(const AnimRecord* record) { return record->scale; }
inline void AnimSetScale(AnimRecord* record, int32_t scale) { record->scale = scale; }
inline int32_t AnimMode(const AnimRecord* record) { return record->mode; }
inline void AnimSetMode(AnimRecord* record, int32_t mode) { record->mode = mode; }
inline WindowDesc* AnimTarget(const AnimRecord* record) { return record->target; }
inline void AnimSetTarget(AnimRecord* record, WindowDesc* target) { record->target = target; }
inline GfxRect AnimLastDrawn(const AnimRecord* record) { return record->drawn; }
