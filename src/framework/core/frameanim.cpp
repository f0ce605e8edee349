// Frame animations: fetching frames from their source and drawing the current one.
#include "framework/core/frameanim.h"

#include "framework/core/errors.h"
#include "framework/core/objectimage.h"

namespace {

constexpr GfxRect kNothing{-1, -1, -1, -1};

// The size a scale gives, rounded as the blended draws round it.
void ScaledSize(const GraphicRecord& g, int32_t scale, int64_t* width, int64_t* height) {
  *width = (static_cast<int64_t>(g.width) * scale + 0x8000) >> 16;
  *height = (static_cast<int64_t>(g.height) * scale) >> 16;
}

// Scaled and blended frames go through buffers the size of the round's unpack cache: too small a frame is
// not worth drawing and one that does not fit cannot be.
bool FitsTheCache(int64_t width, int64_t height) {
  if (width < 2 && height < 2) return false;
  if (width <= 0 || height <= 0) return false;
  const int64_t cache = SharedUnpackCache ? static_cast<int64_t>(MemHandleSize(SharedUnpackCache)) : 0;
  return width * height + kAnimCacheSpare <= cache;
}

}  // namespace

int AnimInit(AnimRecord* record, FrameSource* source, int32_t first, const AnimSettings& settings) {
  if (!record) return ERR_UNKNOWN;
  *record = AnimRecord{};
  record->source = source;
  record->target = settings.target;
  record->x = settings.x;
  record->y = settings.y;
  record->scale = settings.scale;
  record->mode = settings.mode;
  return AnimSetFrame(record, first, true);
}

int AnimSetFrame(AnimRecord* record, int32_t n, bool force) {
  if (!record || !record->source) return ERR_UNKNOWN;
  if (record->valid && record->frame == n && !force) return ERR_NONE;
  if (n < 0 || n >= record->source->FrameCount()) return ERR_UNKNOWN;
  // Fetched into a copy: a failed fetch leaves the current frame whole.
  GraphicRecord fetched = record->graphic;
  const int status = record->source->FetchFrame(n, &fetched);
  if (status != ERR_NONE) return status;
  record->graphic = fetched;
  record->frame = n;
  record->valid = 1;
  return ERR_NONE;
}

int AnimDraw(AnimRecord* record, GfxRect* covered) {
  if (covered) *covered = kNothing;
  if (!record) return ERR_UNKNOWN;
  record->drawn = kNothing;
  GraphicRecord* g = &record->graphic;
  if (!record->valid || g->type != 1) return kAnimNotAPicture;
  if (!record->target) return ERR_NONE;
  GfxRect area = kNothing;
  int status = ERR_NONE;
  const bool scaled = record->scale != kAnimFullSize;
  if (scaled || record->mode != 0) {
    int64_t width, height;
    ScaledSize(*g, record->scale, &width, &height);
    if (!FitsTheCache(width, height)) return ERR_NONE;
    if (record->mode != 0)
      status = GfxDrawBlended(g, record->target, record->x, record->y, record->scale, &area, nullptr);
    else
      status = GfxDrawScaledClipped(g, record->target, &area, static_cast<int32_t>(width),
                                    static_cast<int32_t>(height), record->x, record->y, nullptr);
  } else {
    status = GfxDrawClipped(g, record->target, record->x, record->y, &area, nullptr);
  }
  record->drawn = area;
  if (covered) *covered = area;
  return status;
}
