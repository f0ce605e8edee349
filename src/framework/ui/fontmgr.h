// The game's text layer over the library's font files: loading, the one current font with its colour,
// alignment and shadow, measuring, and drawing lines and word-wrapped boxes into a display-manager image.
#pragma once

#include <cstdint>

#include "framework/core/memmgr.h"
#include "framework/core/utils.h"

struct ImageRecord;

constexpr int32_t kAlignCentre = 1, kAlignLeft = 2, kAlignRight = 4;

struct FontTextState {
  MemHandle font = 0;
  const uint8_t* fontAddress = nullptr;
  ImageRecord* destination = nullptr;
  int32_t alignment = kAlignLeft;
  uint32_t colour = 0, background = 0;
  int32_t shadow = 0;
  uint32_t extra = 0;
  int32_t recordExtent = 0;
  MARect extent{};
  int32_t extentEmpty = 1;
};
FontTextState& FontState();
void FontResetState();  // no font, no destination (tests)

int FontLoad(MemHandle* handle, const char* folder, const char* name, uint32_t flags);
void FontFree(MemHandle* handle);
void FontSelect(MemHandle font, ImageRecord* destination, int32_t alignment, uint32_t colour, uint32_t background,
                uint32_t extra, int32_t shadow);
void FontRecordExtent(int on);

extern MemHandle StandardFonts[3];
const char* StandardFontName(int32_t sizeSetting, int which);
int FontLoadStandardSet(const char* folder);
void FontFreeStandardSet();

int32_t FontStringWidth(const char* string, int32_t count);
int32_t FontCharWidth(char character);
int32_t FontHeight();
int32_t FontDrawText(int32_t x, int32_t y, const char* string);
int32_t FontDrawTextCount(int32_t x, int32_t y, const char* string, int32_t count);
int32_t FontDrawTextWrapped(int32_t yOffset, const char* string, const MARect& box, int32_t lineStep);
int32_t FontDrawTextUpper(int32_t x, int32_t y, const char* string);
int32_t FontStringWidthUpper(const char* string, int32_t count);
void StringToUpper(char* string);
void StringToLower(char* string);
