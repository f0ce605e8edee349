// The 3D scene's object images as the graphic records draw into them, and the shared unpack cache of a round.
// The scene provider makes and frees the images (services.h); the plain memory images here are what the null
// scene gives.
#pragma once

#include <cstdint>

#include "framework/core/memmgr.h"
#include "framework/core/paths.h"

struct WindowDesc;

// An image of the 3D scene used as a drawing target: a window over its own pixels, resized by draws.
struct ObjectImage {
  int32_t width = 0, height = 0, depth = 0;
  uint8_t* shape = nullptr;      // a library shape (16-byte header, then pixels); null while empty
  WindowDesc* window = nullptr;  // draws into `shape`'s pixels
};

// `depth` 16 or 32; width and height 0 make an empty image that draws resize (ResizeObjectImage).
ObjectImage* NewObjectImage(int32_t width, int32_t height, int32_t depth);
void DeleteObjectImage(ObjectImage* image);
// Gives the image a new size (its pixels are cleared); false when memory runs out.
bool ResizeObjectImage(ObjectImage* image, int32_t width, int32_t height);

// The shared unpack cache of a round: made by the round set-up, freed with the hole.
extern MemHandle SharedUnpackCache;
extern MemHandle SharedUnpackCacheSecond;
