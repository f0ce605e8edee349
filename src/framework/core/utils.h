// Small shared services of the framework: rectangles, strings, the save-and-load step, file copying,
// quiet archive look-ups and 16-bit pixel operations for the software display path.
#pragma once

#include <cstdint>

#include "windows.h"

struct MARect {
  int32_t left, top, right, bottom;  // right and bottom exclusive
};

void SetRectWH(MARect* rect, int32_t left, int32_t top, int32_t width, int32_t height);
void MakeRect(MARect* rect, int16_t left, int16_t top, int16_t right, int16_t bottom);
void UnionRect(MARect* a, const MARect* b);
// An empty overlap leaves right < left or bottom < top.
void IntersectRect(MARect* a, const MARect* b);
bool PointInRect(const MARect* rect, int32_t x, int32_t y);

int StringCompareNoCase(const char* a, const char* b);
int StringCompare(const char* a, const char* b);
void StringToUpperAll(char* s);

// The save-and-load step that golfer records and saved files go through, field by field: a file, or a
// memory buffer whose cursor advances. Memory transfers never pass the buffer's end (they fail instead).
enum SerializeMode { SERIAL_READFILE = 0, SERIAL_WRITEFILE = 1, SERIAL_PUT = 2, SERIAL_GET = 3, SERIAL_SKIP = 4 };
struct SerialTarget {
  HANDLE file = nullptr;      // modes 0, 1 and 4
  uint8_t* cursor = nullptr;  // modes 2 and 3: the next byte
  uint8_t* end = nullptr;     // one past the buffer's last byte
  static SerialTarget OverFile(HANDLE h) { return SerialTarget{h, nullptr, nullptr}; }
  static SerialTarget OverMemory(void* data, size_t size) {
    auto* p = static_cast<uint8_t*>(data);
    return SerialTarget{nullptr, p, p + size};
  }
  // For reading only (SERIAL_GET never writes through the cursor).
  static SerialTarget OverMemory(const void* data, size_t size) { return OverMemory(const_cast<void*>(data), size); }
};
// 1 when the whole count moved, else 0 (also for unknown modes).
int SerializeBlock(int mode, SerialTarget* target, void* data, uint32_t count);
void BufferPut(uint8_t** cursor, const void* data, uint32_t count);
void BufferGet(uint8_t** cursor, void* data, uint32_t count);

// Copies source to a new destination (it must not exist) through a temporary file, so a failure never
// leaves a partial destination. 1 on success, 0 otherwise.
int FileCopy(const char* destination, const char* source);

// Archive look-ups that give null instead of aborting.
void* LocateEntryQuiet(const void* archive, const char* name);
uint32_t UnpackWithAbortSetting(const void* source, void* destination, int abort);

// ---- 16-bit images: `pitch` is the row width in pixels -----------------------------------------------------
struct Image16 {
  uint16_t* pixels;
  int32_t width, height, pitch;
};
struct Image8 {
  const uint8_t* pixels;
  int32_t width, height, pitch;
};
void CopyRows16(const Image16& destination, int32_t dx, int32_t dy, const Image16& source, const MARect& from);
void SetBit15ByShape16(const Image16& destination, const MARect& to, const Image8& shape, const MARect& from,
                       bool set);
void BlitTransparent16(const Image16& destination, const Image16& sprite, int32_t x, int32_t y);
void FillMask16(const Image16& destination, const Image8& mask, int32_t x, int32_t y, uint16_t colour);
void SetBit15ByMask16(const Image16& destination, const Image8& mask, int32_t x, int32_t y, bool set);
void MarkRect16(const Image16& destination, const MARect& rect, bool set);
void DrawCircle16(const Image16& destination, int32_t cx, int32_t cy, int32_t radius, uint16_t colour);
void BlitRectZTest16(const Image16& destination, const Image16& source, const uint16_t* depth, const MARect& rect,
                     uint16_t minimum);
// Channels divided by 2, 4 or 8: three 8-bit channels (0xRRGGBB), or four with `fourChannels`.
uint32_t ScaleColourHalf(uint32_t pixel, bool fourChannels);
uint32_t ScaleColourQuarter(uint32_t pixel, bool fourChannels);
uint32_t ScaleColourEighth(uint32_t pixel, bool fourChannels);

// ---- graphics preferences --------------------------------------------------------------------------------------
// The six values behind the 3D options: the detail setting, then five switches; preference ids 1 to 6.
constexpr int GRAPHICSPREFCOUNT = 6;
extern int32_t GraphicsPreferences[GRAPHICSPREFCOUNT];
// The preference store's calls (0 when read or written), installed by the game at start-up.
using PreferenceGetter = int (*)(int id, int32_t* value);
using PreferenceSetter = int (*)(int id, int32_t value);
void SetPreferenceAccess(PreferenceGetter get, PreferenceSetter set);
// Reads ids 1 to 6, keeping the default of each id that is absent (3, 0, 1, 0, 0, 1).
void LoadGraphicsPreferences();
void SaveGraphicsPreferences();
