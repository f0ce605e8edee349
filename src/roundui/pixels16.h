// A 16-bit (5-6-5) pixel area that the in-round controls draw into: the current display buffer, or a
// picture of a test.
#pragma once
#include <cstdint>

struct Pixels16 {
  uint16_t* pixels = nullptr;
  int32_t width = 0, height = 0;
  int32_t pitch = 0;  // pixels per row
  bool Inside(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  uint16_t& At(int32_t x, int32_t y) { return pixels[static_cast<int64_t>(y) * pitch + x]; }
  void Put(int32_t x, int32_t y, uint16_t c) {
    if (Inside(x, y)) At(x, y) = c;
  }
};

constexpr uint16_t Rgb565(uint32_t rgb) {
  return static_cast<uint16_t>(((rgb >> 8) & 0xF800) | ((rgb >> 5) & 0x07E0) | ((rgb >> 3) & 0x001F));
}

// Runs the routine on the locked drawn display buffer (16-bit); false when there is none.
bool DrawOnDisplayBuffer(void (*draw)(Pixels16& target, void* context), void* context);
// A rectangle (left, top, right, bottom) for the screen's dirty list.
void MarkDisplayDirty(int32_t left, int32_t top, int32_t right, int32_t bottom);
// Brings the screen up to date from the dirty list (nothing without a display).
void UpdateDisplay();
