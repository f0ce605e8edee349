// Video windows (window descriptors over display surfaces), window validation and the page flip.
#pragma once

#include <cstdint>

struct WindowDesc;

extern int windowchecking;  // 1: a bad descriptor field aborts; 0: it only fails the check

int32_t* makecolumntable(int depth, int32_t width);

void initvideowindow(WindowDesc* window, int32_t width, int32_t height, int32_t rowbytes, int depth, uint8_t* pixels,
                     void* surface);
// which: -1 the display window, -2 the second display page, anything else a new descriptor block.
WindowDesc* makevideowindow(int32_t width, int32_t height, int32_t rowbytes, int depth, int which, uint8_t* pixels,
                            void* surface);
void updatevideowindow(WindowDesc* window, int32_t rowbytes, uint8_t* pixels);
void removevideowindow(WindowDesc* window);
WindowDesc* videowindowdefadr(int32_t width, int32_t height, int depth, uint32_t surfaceoptions);
void movevideowindow(WindowDesc* source, WindowDesc* destination, int32_t x, int32_t y, int transparent);
void readvideowindow(WindowDesc* source, WindowDesc* destination, int32_t x, int32_t y);
void copyvideowindow(WindowDesc* source, int32_t x, int32_t y, int32_t width, int32_t height, WindowDesc* destination,
                     int32_t dx, int32_t dy, int32_t scale, int transparent);
void fillvideowindow(WindowDesc* window, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour);
void pageflip();

// Converts 8-bit palette indices to 16-bit pixels through a 256-entry table (low 16 bits used); source
// bytes of 255 are transparent and leave the destination pixel as it is.
void copyrow8to16transparent(uint16_t* destination, const uint8_t* source, int count, const uint32_t* table);

int checkwindowfield(const WindowDesc* window, int64_t value, const char* name, int64_t min, int64_t max, int hexadecimal);
int checkwindow(const WindowDesc* window);
