#include "roundui/pixels16.h"

#include "framework/ui/displaymgr.h"
#include "platformlib/gfx/windowdesc.h"

bool DrawOnDisplayBuffer(void (*draw)(Pixels16& target, void* context), void* context) {
  if (!DisplayMgr().open) return false;
  ImageRecord* image = DrawnImage();
  if (!image || !image->window || (image->window->depth != 16 && image->window->depth != 15)) return false;
  uint8_t* bytes = ImageLockPixels(image);
  if (!bytes) return false;
  Pixels16 target;
  target.pixels = reinterpret_cast<uint16_t*>(bytes);
  target.width = image->window->width;
  target.height = image->window->height;
  target.pitch = image->window->rowbytes / 2;
  draw(target, context);
  ImageUnlock(image);
  return true;
}

void MarkDisplayDirty(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (!DisplayMgr().open) return;
  MARect r{};
  r.left = left, r.top = top, r.right = right, r.bottom = bottom;
  AddDirtyRect(r);
}

void UpdateDisplay() {
  if (DisplayMgr().open) UpdateScreen();
}
