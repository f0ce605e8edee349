// The display manager of the software display path: the display image, three off-screen buffers of the
// screen's size, the dirty rectangles since the last update, and the once-per-frame copy of those areas from
// the current back buffer to the display with the software pointer on top.
#pragma once

#include <cstdint>

#include "framework/core/utils.h"

struct WindowDesc;

struct ImageRecord {
  WindowDesc* window = nullptr;
  WindowDesc* depthWindow = nullptr;  // 16-bit depth buffer of the same size, or none
  uint8_t palette[256][4] = {};       // red, green, blue, spare; used by 8-bit windows
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

enum BufferRole { kRoleDrawn = 0, kRoleAux = 1, kRoleErase = 2 };
enum Transition { kTransitionNone = 0, kTransitionBlinds = 1, kTransitionWipe = 2, kTransitionCopy = 3 };

struct DisplayManager {
  ImageRecord display;
  ImageRecord buffers[3];
  int32_t roles[3] = {0, 1, 2};  // buffer numbers of the drawn, auxiliary and erase buffers
  int32_t tracking = 0;
  int32_t dirty = 0;
  int32_t dirtyCount = 0;
  int32_t transition = 0;
  int32_t open = 0;
  bool overrideSet = false;
  MARect overrideRect{};
  uint16_t overrideDepth = 0;
};
DisplayManager& DisplayMgr();
ImageRecord* DisplayImage();
ImageRecord* RoleImage(BufferRole role);  // the buffer that plays the role
inline ImageRecord* DrawnImage() { return RoleImage(kRoleDrawn); }

int DisplayManagerInit(const MARect& rect, int depth);
void DisplayManagerClose();

void AddDirtyRect(const MARect& rect);
void ClearDirtyRects();
void UpdateScreen();
void DisableDirtyRects();
void EnableDirtyRects();
void SetPendingTransition(int32_t transition);

int BlitImage(ImageRecord* destination, const MARect& to, ImageRecord* source, const MARect& from);

void GetImageSize(const ImageRecord* image, int32_t* width, int32_t* height);
void GetImageOrigin(const ImageRecord* image, int32_t* x, int32_t* y);
uint8_t* GetImagePixels(const ImageRecord* image);
uint8_t* ImageLockPixels(ImageRecord* image, int32_t* x = nullptr, int32_t* y = nullptr);
int ImageUnlock(ImageRecord* image);

void SetImagePalette(ImageRecord* image, const uint8_t (*palette)[4]);
void SetDisplayPalette(const uint8_t (*palette)[4]);
uint8_t (*GetImagePalette(ImageRecord* image))[4];
// A run of entries: the first index, the count and count entries of four bytes.
struct PaletteRange {
  int32_t first = 0, count = 0;
  const uint8_t (*entries)[4] = nullptr;
};
void LoadPaletteRange(const PaletteRange& range, uint8_t (*palette)[4]);

void CopyDepthImage(ImageRecord* destination, const MARect& to, ImageRecord* source, const MARect& from);
void SetDepthOverride(const MARect& rect, uint16_t depth);
void ClearDepthOverride();
int GetDepthOverride(MARect* rect, uint16_t* depth);
// Copies 16-bit pixels of `rect` from source to destination where the destination's depth buffer holds at
// least `depth`; the rectangle is clipped to both images.
void BlitRectDepthTest(ImageRecord* destination, ImageRecord* source, const MARect& rect, uint16_t depth);

// Pixel copy between windows of any depth (colours converted through the images' palettes), clipped to both.
void CopyWindowArea(WindowDesc* destination, int32_t dx, int32_t dy, const WindowDesc* source, int32_t sx, int32_t sy,
                    int32_t width, int32_t height);
