#include "framework/ui/fontmgr.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "framework/ui/displaymgr.h"
#include "framework/core/errors.h"
#include "framework/core/services.h"
#include "platformlib/shapes/textdraw.h"
#include "platformlib/gfx/windowdesc.h"

namespace {

FontTextState text;

constexpr size_t kUpperLimit = 255;

const char* const kStandardNames[5][3] = {
    {"vex3d-13.ffn", "HAL8b.ffn", "trek36.ffn"}, {"vex3d-14.ffn", "HAL8b.ffn", "trek45.ffn"},
    {"vex3d-14.ffn", "HAL8b.ffn", "trek58.ffn"}, {"vex3d-14.ffn", "HAL12b.ffn", "trek72.ffn"},
    {"vex3d-14.ffn", "HAL12b.ffn", "trek90.ffn"}};

// The first `count` characters (the whole string for 0 or a count past its end), as a string of its own:
// the caller's text is never written to.
std::string Cut(const char* string, int32_t count) {
  if (!string) return {};
  const size_t length = std::strlen(string);
  return std::string(string, count > 0 ? std::min(length, static_cast<size_t>(count)) : length);
}

void Join(MARect* into, int32_t* empty, const MARect& add, int32_t addEmpty) {
  if (addEmpty) return;
  if (*empty) {
    *into = add;
    *empty = 0;
    return;
  }
  into->left = std::min(into->left, add.left);
  into->top = std::min(into->top, add.top);
  into->right = std::max(into->right, add.right);
  into->bottom = std::max(into->bottom, add.bottom);
}

void Unselect() {
  if (text.font && text.fontAddress) MemUnlock(text.font);
  text.font = 0;
  text.fontAddress = nullptr;  // the library keeps its pointer; nothing here draws without a font
}

}  // namespace

FontTextState& FontState() { return text; }
void FontResetState() {
  Unselect();
  text = FontTextState{};
}

int FontLoad(MemHandle* handle, const char* folder, const char* name, uint32_t flags) {
  if (!handle) return ERR_FILENOTFOUND;
  *handle = Svc().frontEnd->LoadFileToHandle(folder, name, flags);
  if (!*handle) return ERR_FILENOTFOUND;
  // A damaged font would be read past its end by every draw: refuse it here.
  const void* bytes = MemLock(*handle);
  const bool good = bytes && checkfontfile(bytes, MemHandleSize(*handle)) == 1;
  MemUnlock(*handle);
  if (!good) {
    MemFreeHandle(*handle);
    *handle = 0;
    return ERR_FILENOTFOUND;
  }
  return ERR_NONE;
}

void FontFree(MemHandle* handle) {
  if (!handle || !*handle) return;
  if (*handle == text.font) Unselect();
  MemFreeHandle(*handle);
  *handle = 0;
}

void FontSelect(MemHandle font, ImageRecord* destination, int32_t alignment, uint32_t colour, uint32_t background,
                uint32_t extra, int32_t shadow) {
  if (font) {
    if (font != text.font) {
      Unselect();
      text.fontAddress = static_cast<const uint8_t*>(MemLock(font));
      text.font = text.fontAddress ? font : 0;
    }
    text.colour = colour;
    text.background = background;
    setfont(text.fontAddress);
    textcolour(colour, background);
  }
  if (destination) text.destination = destination;
  if (alignment) text.alignment = alignment;
  text.extra = extra;
  text.shadow = shadow;
  text.recordExtent = 0;
}

void FontRecordExtent(int on) {
  text.recordExtent = on;
  text.extentEmpty = 1;
}

MemHandle StandardFonts[3] = {0, 0, 0};

const char* StandardFontName(int32_t sizeSetting, int which) {
  return kStandardNames[std::clamp(sizeSetting, 0, 4)][std::clamp(which, 0, 2)];
}

int FontLoadStandardSet(const char* folder) {
  for (int i = 0; i < 3; ++i) {
    if (StandardFonts[i]) continue;
    if (FontLoad(&StandardFonts[i], folder, StandardFontName(Facts().sizeSetting, i), 0) != ERR_NONE) {
      ShowErrorBox(ERR_FILENOTFOUND, false);  // sources\fonts\fnp_main, line 134
      return 1;
    }
  }
  return 0;
}

void FontFreeStandardSet() {
  for (MemHandle& font : StandardFonts) FontFree(&font);
}

int32_t FontStringWidth(const char* string, int32_t count) {
  if (!text.fontAddress || !string) return 0;
  const std::string s = Cut(string, count);
  return textpixels(s.c_str()) + text.shadow;
}

int32_t FontCharWidth(char character) {
  if (!text.fontAddress) return 0;
  const char s[2] = {character, 0};
  return textpixels(s);
}

int32_t FontHeight() { return text.fontAddress ? textheight() + text.shadow : 0; }

int32_t FontDrawText(int32_t x, int32_t y, const char* string) { return FontDrawTextCount(x, y, string, 0); }

int32_t FontDrawTextCount(int32_t x, int32_t y, const char* string, int32_t count) {
  if (!text.destination || !text.destination->window || !text.fontAddress || !string) return 0;
  const std::string s = Cut(string, count);
  const int32_t width = FontStringWidth(s.c_str(), 0);
  if (text.alignment == kAlignCentre) x -= width / 2;
  if (text.alignment == kAlignRight) x -= width - 1;
  if (text.recordExtent) {
    text.extent = MARect{x, y, x + width, y + textheight()};
    text.extentEmpty = 0;
  }
  WindowDesc saved;
  savecurrentwindow(&saved);
  if (setwindow(text.destination->window)) {
    textcolour(text.colour, text.background);  // pixel values are the destination's
    if (text.shadow) {
      textcolour(text.background, text.background);
      fortextxy(s.c_str(), x + text.shadow, y + text.shadow);
      textcolour(text.colour, text.background);
      if (text.recordExtent) text.extent.right += 2, text.extent.bottom += 2;
    }
    fortextxy(s.c_str(), x, y);
  }
  restorecurrentwindow(&saved);
  return width;
}

int32_t FontDrawTextWrapped(int32_t yOffset, const char* string, const MARect& box, int32_t lineStep) {
  if (!string) return 0;
  const int32_t available = box.right - box.left + 1 - text.shadow;
  const int32_t x = text.alignment == kAlignCentre  ? (box.left + box.right) / 2
                    : text.alignment == kAlignRight ? box.right
                                                    : box.left;
  MARect joined{};
  int32_t joinedEmpty = 1;
  int32_t lineEnds = 0;
  auto drawLine = [&](const char* start, int32_t length) {
    text.extentEmpty = 1;
    if (length > 0) FontDrawTextCount(x, box.top + yOffset, start, length);
    if (text.recordExtent) Join(&joined, &joinedEmpty, text.extent, text.extentEmpty);
  };
  const char* line = string;
  while (*line) {
    const char* breakAt = nullptr;
    const char* p = line;
    bool ended = false;
    for (; *p; ++p) {
      const bool control = *p == '\r' || *p == '\n';
      if (*p == ' ' || control) breakAt = p;
      const int32_t width = FontStringWidth(line, static_cast<int32_t>(p - line + 1));
      if (width > available || control) {
        // A line of one over-wide character still takes that character, so the loop always moves on.
        const char* end = breakAt ? breakAt : (p > line ? p : p + 1);
        drawLine(line, static_cast<int32_t>(end - line));
        ++lineEnds;
        yOffset += lineStep;
        line = breakAt ? breakAt + 1 : end;
        while (*line == ' ') ++line;
        ended = true;
        break;
      }
    }
    if (!ended) {
      drawLine(line, static_cast<int32_t>(p - line));
      line = p;
    }
  }
  if (text.recordExtent) {
    text.extent = joined;
    text.extentEmpty = joinedEmpty;
  }
  return lineEnds;
}

int32_t FontDrawTextUpper(int32_t x, int32_t y, const char* string) {
  char copy[kUpperLimit + 1] = {};
  if (string) std::strncpy(copy, string, kUpperLimit);
  StringToUpper(copy);
  return FontDrawText(x, y, copy);
}

int32_t FontStringWidthUpper(const char* string, int32_t count) {
  char copy[kUpperLimit + 1] = {};
  if (string) std::strncpy(copy, string, kUpperLimit);
  StringToUpper(copy);
  return FontStringWidth(copy, count);
}

void StringToUpper(char* string) {
  for (char* p = string; p && *p; ++p)
    if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
}
void StringToLower(char* string) {
  for (char* p = string; p && *p; ++p)
    if (*p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p - 'A' + 'a');
}
