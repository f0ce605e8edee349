#include "framework/core/objectimage.h"

#include <cstring>

#include "platformlib/core/memclass.h"
#include "platformlib/shapes/shapes.h"
#include "platformlib/gfx/windowdesc.h"

MemHandle SharedUnpackCache = 0;
MemHandle SharedUnpackCacheSecond = 0;

namespace {
void ReleaseImagePixels(ObjectImage* image) {
  if (image->window) removewindow(image->window);
  if (image->shape) purgememadr(image->shape);
  image->window = nullptr;
  image->shape = nullptr;
  image->width = image->height = 0;
}
}  // namespace

ObjectImage* NewObjectImage(int32_t width, int32_t height, int32_t depth) {
  auto* image = new ObjectImage;
  image->depth = depth;
  if ((width > 0 && height > 0) && !ResizeObjectImage(image, width, height)) {
    delete image;
    return nullptr;
  }
  return image;
}

void DeleteObjectImage(ObjectImage* image) {
  if (!image) return;
  ReleaseImagePixels(image);
  delete image;
}

bool ResizeObjectImage(ObjectImage* image, int32_t width, int32_t height) {
  if (!image || width <= 0 || height <= 0) return false;
  if (image->shape && image->width == width && image->height == height) return true;
  ReleaseImagePixels(image);
  AbortQuiet quiet;
  image->shape = createshapeadr(width, height, image->depth, 0);
  if (!image->shape) return false;
  std::memset(shapepixels(image->shape), 0, static_cast<size_t>(shaperowbytes(image->shape)) * height);
  image->window = windowfromshape(image->shape, 0);
  if (!image->window) {
    ReleaseImagePixels(image);
    return false;
  }
  image->width = width;
  image->height = height;
  return true;
}
