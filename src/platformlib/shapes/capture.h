// Saving the current window's clip rectangle as an uncompressed TGA picture, and writing one block of memory
// as a whole file.
#pragma once

#include <cstdint>

int32_t captureimagesize();
void captureimage(uint8_t* buffer);
void copywindowpixels(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* buffer);
int32_t savescreenshot(const char* name);
// Bytes written, 0 on failure. The file appears whole or not at all: it is written under a temporary name
// and renamed over the target only when every byte was written.
int32_t savefileadr(const char* name, const void* address, int32_t count);
int32_t trysavefileadr(const char* name, const void* address, int32_t count);
