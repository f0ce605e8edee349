// Screen capture to TGA and whole-file writes.
#include "platformlib/shapes/capture.h"

#include <cstring>
#include <string>

#include "platformlib/core/byteorder.h"
#include "platformlib/core/memclass.h"
#include "platformlib/gfx/pixels.h"
#include "platformlib/gfx/windowdesc.h"
#include "windows.h"

namespace {

int storeddepth(int depth) { return (depth + 7) / 8 * 8; }


}  // namespace

int32_t captureimagesize() {
  const WindowDesc& w = CurrentWindow;
  const int depth = storeddepth(w.depth);
  const int64_t pixels = static_cast<int64_t>(w.maxx - w.minx) * (w.maxy - w.miny) * depth / 8;
  return static_cast<int32_t>(18 + pixels + (depth == 8 ? 768 : 0));
}

void copywindowpixels(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* buffer) {
  const int bytes = storeddepth(CurrentWindow.depth) / 8;
  for (int32_t j = 0; j < height; ++j)
    for (int32_t i = 0; i < width; ++i) {
      const uint32_t v = readpixel(x + i, y + j);
      for (int k = 0; k < bytes; ++k) *buffer++ = static_cast<uint8_t>(v >> (8 * k));
    }
}

void captureimage(uint8_t* buffer) {
  const WindowDesc& w = CurrentWindow;
  const int depth = storeddepth(w.depth);
  const int32_t width = w.maxx - w.minx, height = w.maxy - w.miny;
  std::memset(buffer, 0, 18);
  buffer[1] = depth == 8 ? 1 : 0;
  buffer[2] = depth == 8 ? 1 : 2;
  WriteLE16(buffer + 5, depth == 8 ? 256 : 0);
  buffer[7] = depth == 8 ? 24 : 0;
  WriteLE16(buffer + 8, static_cast<uint32_t>(w.minx));
  WriteLE16(buffer + 10, static_cast<uint32_t>(w.height - w.maxy));
  WriteLE16(buffer + 12, static_cast<uint32_t>(width));
  WriteLE16(buffer + 14, static_cast<uint32_t>(height));
  buffer[16] = static_cast<uint8_t>(depth);
  buffer[17] = 0x20;
  uint8_t* pixels = buffer + 18;
  if (depth == 8) {
    for (int i = 0; i < 256; ++i) {
      pixels[3 * i] = static_cast<uint8_t>(CurrentPalette[i]);
      pixels[3 * i + 1] = static_cast<uint8_t>(CurrentPalette[i] >> 8);
      pixels[3 * i + 2] = static_cast<uint8_t>(CurrentPalette[i] >> 16);
    }
    pixels += 768;
  }
  copywindowpixels(w.minx, w.miny, width, height, pixels);
  if (w.depth == 16)
    for (int64_t i = 0; i < static_cast<int64_t>(width) * height; ++i) {
      uint8_t* p = pixels + 2 * i;
      const uint32_t v = ReadLE16(p);
      WriteLE16(p, ((v & 0xFFC0) >> 1) | (v & 0x1F));
    }
}

int32_t savefileadr(const char* name, const void* address, int32_t count) {
  const uint32_t size = static_cast<uint32_t>(count > 0 ? count : 0);
  const DWORD error = winapi::SaveFileWhole(name, address, size);
  if (error != 0) {
    if (abortonerror) {
      ABORTCONTEXT("cmn\\savefile.c", "savefileadr");
      const bool writing = error == ERROR_DISK_FULL || error == ERROR_WRITE_FAULT;
      abortmessage(writing ? "savefileadr - WRITE FAILED FOR FILE '%s'\n" : "savefileadr - OPEN FAILED FOR FILE '%s'\n",
                   name);
    }
    return 0;
  }
  return static_cast<int32_t>(size);
}

int32_t trysavefileadr(const char* name, const void* address, int32_t count) {
  AbortQuiet quiet;
  return savefileadr(name, address, count);
}

int32_t savescreenshot(const char* name) {
  const int32_t size = captureimagesize();
  void* block = nullptr;
  {
    AbortQuiet quiet;
    block = reservememadr("screenshot", size, 0);
  }
  if (!block) return 0;
  captureimage(static_cast<uint8_t*>(block));
  WindowDesc saved;
  savecurrentwindow(&saved);
  releasewindow();
  const int32_t written = savefileadr(name, block, size);
  restorecurrentwindow(&saved);
  purgememadr(block);
  return written;
}
