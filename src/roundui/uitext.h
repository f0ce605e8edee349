// Text colours of the in-round panels: a 0xRRGGBB colour as a 5-6-5 pixel, and the font selected while the image
// it draws into is the current window (colours are that window's pixel values).
#pragma once

#include <cstdint>

#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "platformlib/gfx/windowdesc.h"
#include "platformlib/shapes/textdraw.h"

constexpr uint16_t RoundPixel565(uint32_t c) {
  return static_cast<uint16_t>(((c & 0xF80000) >> 8) + ((c & 0xFC00) >> 5) + ((c >> 3) & 0x1F));
}

inline void SelectRoundFont(MemHandle font, ImageRecord* image, int32_t alignment, uint32_t rgb, int32_t shadow) {
  WindowDesc saved;
  savecurrentwindow(&saved);
  if (image && image->window && setwindow(image->window)) {
    FontSelect(font, image, alignment, RoundPixel565(rgb), 0, 0, shadow);
    releasewindow();
  }
  restorecurrentwindow(&saved);
}

// What to add to a line's top to place its text: the height above the base line less the step the font itself
// takes from the given point down to its pen.
inline int32_t SelectedFontAscent() {
  TextState state;
  savetextstate(&state);
  return state.above - state.fonty;
}
