#include "framework/core/gfxrecord.h"

#include <cstring>

#include "framework/core/errors.h"
#include "framework/core/services.h"
#include "platformlib/bigfile/bigfile.h"
#include "platformlib/core/byteorder.h"
#include "platformlib/core/memclass.h"
#include "platformlib/shapes/shapes.h"

int32_t GfxUnpackAllocations = 0;

namespace {


// Bytes of one stored row of an unpacked shape.
int64_t PixelBytes(const uint8_t* shape) {
  return static_cast<int64_t>(shapeheight(shape)) * shaperowbytes(shape);
}

// The first palette record in the shape's chain, when it lies inside `extent` bytes from the header.
const uint8_t* ChainedPalette(const uint8_t* shape, size_t extent) {
  const int32_t next = shapenext(shape);
  if (next < kShapeHeader || static_cast<size_t>(next) + kShapeHeader > extent) return nullptr;
  const uint8_t* record = shape + next;
  if (!iscluttype(record[0]) || static_cast<size_t>(next) + GfxPaletteBytes(record) > extent) return nullptr;
  return record;
}

// The bytes a packed picture occupies from its header, or 0 when its layout does not tell.
size_t PackedPictureBytes(const uint8_t* shape, size_t rest) {
  const uint8_t* block = shape + kShapeHeader;
  if (rest < kShapeHeader + 5) return 0;
  // Blocks that carry their own packed length.
  if (block[1] == PACK_MARK && (block[0] & 1) && (block[0] & 0xFE) != PACK_RUN) {
    const size_t bytes = kShapeHeader + ReadBE24(block + 2);
    return bytes <= rest ? bytes : 0;
  }
  const int32_t next = shapenext(shape);
  if (next == 0) return rest;
  // An attached record right behind the data bounds it too.
  if (next > kShapeHeader && static_cast<size_t>(next) <= rest) return static_cast<size_t>(next);
  return 0;
}

}  // namespace

int32_t GfxPaletteBytes(const uint8_t* record) {
  const int32_t count = shapewidth(record);
  switch (record[0]) {
    case 0x22: case 0x24: return kShapeHeader + 3 * count;
    case 0x23: return kShapeHeader + 512;
    case 0x29: case 0x2D: return kShapeHeader + 2 * count;
    default: return kShapeHeader + 4 * count;
  }
}

int GfxUnpackToCache(const uint8_t* shape, size_t extent, MemHandle* cache, uint16_t memflags) {
  if (!shape || extent < kShapeHeader + 2 || !(shape[0] & kShapePacked)) return ERR_UNKNOWN;
  const uint8_t* palette = ChainedPalette(shape, extent);
  const int32_t next = shapenext(shape);
  const int32_t paletteBytes = palette ? GfxPaletteBytes(palette) : 0;
  const size_t packed = (next > kShapeHeader && static_cast<size_t>(next) <= extent ? static_cast<size_t>(next) : extent) -
                        kShapeHeader;
  const uint32_t unpacked = getunpacksizen(shape + kShapeHeader, packed);
  // The rows the header promises must all be there, or a draw would read past the block.
  uint8_t plain[kShapeHeader];
  std::memcpy(plain, shape, kShapeHeader);
  plain[0] &= 0x7F;
  if (!unpacked || !shapetypedepth(plain[0]) || PixelBytes(plain) > unpacked) return ERR_UNKNOWN;
  const size_t needed = kShapeHeader + static_cast<size_t>(unpacked) + static_cast<size_t>(paletteBytes);
  MemHandle handle = *cache;
  bool made = false;
  if (!handle || MemHandleSize(handle) < needed) {
    handle = MemAllocHandle(needed, memflags);
    if (!handle) return ERR_MEMORYFULL;
    made = true;
    ++GfxUnpackAllocations;
  }
  auto* out = static_cast<uint8_t*>(MemLock(handle));
  if (!out) {
    if (made) MemFreeHandle(handle);
    return ERR_BADHANDLE;
  }
  std::memcpy(out, plain, kShapeHeader);
  const uint32_t got = decompressn(shape + kShapeHeader, packed, out + kShapeHeader, unpacked);
  if (got != unpacked) {
    MemUnlock(handle);
    if (made) MemFreeHandle(handle);
    return ERR_UNKNOWN;
  }
  if (palette) {
    std::memcpy(out + kShapeHeader + unpacked, palette, static_cast<size_t>(paletteBytes));
    shapesetnext(out, static_cast<int32_t>(kShapeHeader + unpacked));
  } else {
    shapesetnext(out, 0);
  }
  MemUnlock(handle);
  *cache = handle;
  return ERR_NONE;
}

int GfxLoad(GraphicRecord* record, PathRecord* folder, const char* name, uint32_t flags, uint16_t memflags) {
  *record = GraphicRecord{};
  const MemHandle file = Svc().scene->LoadShapeFile(folder, name);
  if (!file) return ERR_FILENOTFOUND;
  auto* base = static_cast<uint8_t*>(MemLock(file));
  if (!base) {
    MemFreeHandle(file);
    return ERR_BADHANDLE;
  }
  auto finish = [&](int status) {
    MemUnlock(file);
    MemFreeHandle(file);
    return status;
  };
  const size_t size = MemHandleSize(file);
  {
    AbortQuiet quiet;
    if (!checkshapefile(base, size)) return finish(ERR_FILENOTFOUND);
  }
  const uint8_t* picture = findshape(base, "grfx");
  if (!picture) return finish(ERR_UNKNOWN);
  record->type = 1;
  record->depth = static_cast<uint16_t>(shapetypedepth(picture[0]));
  const size_t rest = size - static_cast<size_t>(picture - base);
  const bool packed = picture[0] & kShapePacked;

  // The palette: "!pal" for an 8-bit picture, else one attached to the picture itself.
  const uint8_t* palette = nullptr;
  if (record->depth == 8) {
    const uint8_t* named = findshape(base, "!pal");
    if (named && iscluttype(named[0])) palette = named;
  }
  if (!palette && record->depth <= 8) palette = ChainedPalette(picture, rest);
  const size_t paletteBytes = palette ? static_cast<size_t>(GfxPaletteBytes(palette)) : 0;

  size_t pictureBytes;
  if (packed) {
    pictureBytes = PackedPictureBytes(picture, rest);
    if (!pictureBytes) {
      ShowErrorBox(ERR_DEPTHNOTSUPPORTED, false);
      *record = GraphicRecord{};
      return finish(ERR_DEPTHNOTSUPPORTED);
    }
  } else {
    pictureBytes = kShapeHeader + static_cast<size_t>(PixelBytes(picture));
  }

  const MemHandle pixels = MemAllocHandle(pictureBytes + paletteBytes, memflags);
  if (!pixels) {
    *record = GraphicRecord{};
    return finish(ERR_MEMORYFULL);
  }
  auto* copy = static_cast<uint8_t*>(MemLock(pixels));
  if (!copy) {
    MemFreeHandle(pixels);
    *record = GraphicRecord{};
    return finish(ERR_BADHANDLE);
  }
  std::memcpy(copy, picture, pictureBytes);
  if (palette) std::memcpy(copy + pictureBytes, palette, paletteBytes);
  shapesetnext(copy, palette ? static_cast<int32_t>(pictureBytes) : 0);
  uint16_t position = shaperead16(copy + 12);
  if (position & 0x4000) {
    record->headerflags = 1;
    position = static_cast<uint16_t>((position & ~0x4000) | 0x8000);
    shapewrite16(copy + 12, position);
  }
  record->width = shapewidth(copy);
  record->height = shapeheight(copy);
  record->hotx = shapecentrex(copy);
  record->hoty = shapecentrey(copy);
  record->posx = shapeposx(copy);
  record->posy = shapeposy(copy);
  MemUnlock(pixels);
  record->pixelHandle = pixels;
  record->storage = packed ? 4 : 0;
  finish(ERR_NONE);

  if (packed && (flags & kGfxUnpackNow)) {
    const int status = GfxUnpack(record, memflags);
    if (status != ERR_NONE || !record->unpackHandle) {
      GfxFree(record);
      *record = GraphicRecord{};
      return status != ERR_NONE ? status : ERR_UNKNOWN;
    }
    MemFreeHandle(record->pixelHandle);
    record->pixelHandle = record->unpackHandle;
    record->unpackHandle = 0;
    record->storage = 0;
  }
  return ERR_NONE;
}

void GfxFree(GraphicRecord* record) {
  if (!record) return;
  if (record->lockedHandle) GfxUnlock(record);
  auto release = [](MemHandle& handle) {
    if (handle) MemFreeHandle(handle);
    handle = 0;
  };
  release(record->pixelHandle);
  release(record->extra[0]);
  release(record->extra[1]);
  release(record->paletteHandle);
  if (!record->cacheOwned) release(record->unpackHandle);
  record->unpackHandle = 0;
  record->cacheOwned = 0;
}

void GfxFreeAndDelete(GraphicRecord** record) {
  if (!record || !*record) return;
  GfxFree(*record);
  delete *record;
  *record = nullptr;
}

int GfxLock(GraphicRecord* record) {
  if (record->lockedHandle) return ERR_NONE;
  const MemHandle handle = record->unpackHandle ? record->unpackHandle : record->pixelHandle;
  if (!handle) return ERR_BADHANDLE;
  auto* shape = static_cast<uint8_t*>(MemLock(handle));
  if (!shape) return ERR_BADHANDLE;
  record->shape = shape;
  record->lockedHandle = handle;
  record->palette = nullptr;
  if (record->depth <= 8) {
    if (const uint8_t* own = ChainedPalette(shape, MemHandleSize(handle)))
      record->palette = const_cast<uint8_t*>(own);
    else if (record->paletteHandle)
      record->palette = static_cast<uint8_t*>(MemLock(record->paletteHandle));
  }
  return ERR_NONE;
}

void GfxUnlock(GraphicRecord* record) {
  if (!record->lockedHandle) return;
  const size_t size = MemHandleSize(record->lockedHandle);
  const bool embedded = record->palette && record->palette >= record->shape && record->palette < record->shape + size;
  if (record->palette && !embedded && record->paletteHandle) MemUnlock(record->paletteHandle);
  MemUnlock(record->lockedHandle);
  record->lockedHandle = 0;
  record->shape = nullptr;
  record->palette = nullptr;
}

int GfxUnpack(GraphicRecord* record, uint16_t memflags) {
  if (!record->pixelHandle) return ERR_BADHANDLE;
  auto* shape = static_cast<uint8_t*>(MemLock(record->pixelHandle));
  if (!shape) return ERR_BADHANDLE;
  if (!(shape[0] & kShapePacked)) {
    MemUnlock(record->pixelHandle);
    return ERR_NONE;
  }
  MemHandle copy = 0;
  const int status = GfxUnpackToCache(shape, MemHandleSize(record->pixelHandle), &copy, memflags);
  MemUnlock(record->pixelHandle);
  if (status == ERR_MEMORYFULL || status == ERR_BADHANDLE) return status;
  if (status != ERR_NONE) return ERR_BADHANDLE;  // damaged pixels cannot be drawn either
  record->unpackHandle = copy;
  record->cacheOwned = 0;
  return ERR_NONE;
}

void GfxFreePixels(GraphicRecord* record) {
  if (record->lockedHandle == record->pixelHandle) GfxUnlock(record);
  if (record->pixelHandle) MemFreeHandle(record->pixelHandle);
  record->pixelHandle = 0;
}
