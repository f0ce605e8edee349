// Shape files, shape headers and palette records.
#include <cstdio>
#include <cstring>

#include "platformlib/bigfile/bigfile.h"
#include "platformlib/gfx/gfxdisplay.h"
#include "platformlib/core/memclass.h"
#include "platformlib/shapes/shapes.h"
#include "platformlib/gfx/windowdesc.h"

int32_t shapeallocfailures = 0;

namespace {

// A walk longer than this has met a loop (real shapes carry one or two records).
constexpr int kMaxChain = 64;

int typedepthtable(uint8_t code) {
  switch (code & 0x7F) {
    case 0x7B: case 0x41: return 8;
    case 0x7A: case 0x40: return 4;
    case 0x79: case 0x44: return 1;
    case 0x7E: case 0x42: return 15;
    case 0x78: case 0x6D: return 16;
    case 0x7F: case 0x43: return 24;
    case 0x7D: return 32;
    case 0x22: case 0x24: return 24;
    case 0x29: return 16;
    case 0x2A: case 0x2C: case 0x2E: return 32;
    case 0x2D: return 15;
    default: return 0;  // 0x23 and 0x7C included
  }
}

// Bytes taken by a palette record's entries.
int64_t clutentrybytes(const uint8_t* record) {
  const int32_t count = shapewidth(record);
  switch (record[0]) {
    case 0x22: case 0x24: return 3 * count;
    case 0x23: return 512;
    case 0x29: case 0x2D: return 2 * count;
    default: return 4 * count;
  }
}

}  // namespace

int shapetypedepth(uint8_t type) { return typedepthtable(type); }

int32_t shapetyperowbytes(uint8_t type, int32_t width) {
  const uint8_t code = type & 0x7F;
  const int depth = typedepthtable(code);
  const int64_t bits = depth == 15 ? 16 : depth;
  if (code == 0x7B) return width;
  // The 0x40 family keeps its rows on 16-bit boundaries.
  if (code >= 0x40 && code <= 0x4F) return static_cast<int32_t>((width * bits + 15) / 16 * 2);
  return static_cast<int32_t>((width * bits + 7) / 8);
}

bool iscluttype(uint8_t type) {
  switch (type) {
    case 0x22: case 0x23: case 0x24: case 0x29: case 0x2A: case 0x2C: case 0x2D: case 0x2E: return true;
    default: return false;
  }
}

uint8_t depthcluttype(int entrydepth) {
  switch (entrydepth) {
    case 16: return 0x29;
    case 18: return 0x22;
    case 24: return 0x24;
    case 32: return 0x2A;
    default: return 0;
  }
}

int checkshapeentry(const void* file, uint32_t offset, size_t bound, const char** error) {
  auto fail = [&](const char* text) {
    if (error) *error = text;
    return 0;
  };
  const auto* base = static_cast<const uint8_t*>(file);
  if (offset > bound || bound - offset < 16) return fail("shape offset outside the file");
  const uint8_t* shape = base + offset;
  const uint8_t type = shape[0];
  if (!typedepthtable(type)) return fail("shape of an invalid type");
  if ((type & kShapePacked) && !getunpacksizen(shape + 16, bound - offset - 16)) return fail("packed shape data unreadable");
  if (!(type & kShapePacked)) {
    const int64_t bytes = static_cast<int64_t>(shapeheight(shape)) * shapetyperowbytes(type, shapewidth(shape));
    if (bytes > static_cast<int64_t>(bound - offset - 16)) return fail("shape pixels run past the end of the file");
  }
  // The record chain: every record inside the file, palettes with all their entries, no loops.
  int64_t at = offset;
  for (int step = 0;; ++step) {
    if (step > kMaxChain) return fail("record chain loops");
    const uint8_t* record = base + at;
    if (iscluttype(record[0]) && clutentrybytes(record) > static_cast<int64_t>(bound) - at - 16)
      return fail("palette entries run past the end of the file");
    const int32_t next = shapenext(record);
    if (next == 0) break;
    at += next;
    if (at < 0 || at + 16 > static_cast<int64_t>(bound)) return fail("record chain leaves the file");
  }
  return 1;
}

int checkshapefile(const void* file, size_t length, const char** error) {
  auto fail = [&](const char* text) {
    if (error) *error = text;
    return 0;
  };
  const auto* base = static_cast<const uint8_t*>(file);
  if (!base || length < 16) return fail("file shorter than its header");
  const uint32_t declared = shaperead32(base + 4);
  if (declared > length) return fail("size field larger than the file");
  const size_t bound = declared >= 16 ? declared : length;
  const uint32_t count = shaperead32(base + 8);
  if (count > (bound - 16) / 8) return fail("directory larger than the file");
  for (uint32_t i = 0; i < count; ++i) {
    const char* fault = nullptr;
    if (!checkshapeentry(base, shaperead32(base + 16 + 8 * i + 4), bound, &fault)) return fail(fault);
  }
  return 1;
}

uint32_t shapecount(const void* file) { return shaperead32(static_cast<const uint8_t*>(file) + 8); }

uint8_t* locateshapenum(const void* file, int32_t index) {
  auto* base = const_cast<uint8_t*>(static_cast<const uint8_t*>(file));
  if (static_cast<uint32_t>(index) >= shapecount(file)) return nullptr;
  return base + shaperead32(base + 16 + 8 * static_cast<uint32_t>(index) + 4);
}

uint32_t shapenamenum(const void* file, int32_t index, uint32_t* name) {
  const auto* base = static_cast<const uint8_t*>(file);
  uint32_t value = 0;
  if (static_cast<uint32_t>(index) < shapecount(file)) value = shaperead32(base + 16 + 8 * static_cast<uint32_t>(index));
  if (name) *name = value;
  return value;
}

uint8_t* findshape(const void* file, const void* name) {
  auto* base = const_cast<uint8_t*>(static_cast<const uint8_t*>(file));
  uint8_t wanted[4];
  std::memcpy(wanted, name, 4);
  for (uint32_t i = shapecount(file); i-- > 0;) {
    const uint8_t* entry = base + 16 + 8 * i;
    if (std::memcmp(entry, wanted, 4) == 0) return base + shaperead32(entry + 4);
  }
  return nullptr;
}

uint8_t* locateshape(const void* file, const void* name) {
  uint8_t* shape = findshape(file, name);
  if (!shape && abortonerror) {
    const void* block = findmemblock(file);
    const char* blockname = block ? memblockname(block) : nullptr;
    ABORTCONTEXT("cmn\\locatshp", "locateshape");
    abortmessage("locateshape - '%-4.4s' SHAPE NOT FOUND IN '%s'\n", static_cast<const char*>(name),
                 blockname ? blockname : "");
  }
  return shape;
}

uint8_t* getshapeclut(const uint8_t* shape) {
  if (!shape) return nullptr;
  auto* record = const_cast<uint8_t*>(shape);
  for (int step = 0; step <= kMaxChain; ++step) {
    if (iscluttype(record[0])) return record;
    if (!typedepthtable(record[0]) && abortonerror) {
      ABORTCONTEXT("win\\shpclut", "getshapeclut");
      abortmessage("getshapeclut - INVALID SHAPE TYPE ($%02x)\n", record[0]);
    }
    const int32_t next = shapenext(record);
    if (next == 0) return nullptr;
    record += next;
  }
  if (abortonerror) {
    ABORTCONTEXT("win\\shpclut", "getshapeclut");
    abortmessage("getshapeclut - RECORD CHAIN TOO LONG ($%02x)\n", shape[0]);
  }
  return nullptr;
}

int32_t shaperowbytes(const uint8_t* shape) {
  if ((shape[0] & kShapePacked) && abortonerror) {
    ABORTCONTEXT("cmn\\shpbytes", "shaperowbytes");
    abortmessage("shaperowbytes - PACKED SHAPES NOT SUPPORTED. PACKTYPE %02x\n", shape[0]);
  }
  return shapetyperowbytes(shape[0], shapewidth(shape));
}

int32_t shapesize(const uint8_t* shape) {
  if (shape[0] & kShapePacked) {
    const uint32_t size = getunpacksize(shape + 16);
    if (!size) {
      if (abortonerror) {
        ABORTCONTEXT("cmn\\shpsize", "shapesize");
        abortmessage("shapesize - UNABLE TO DETERMINE SIZE OF PACKED SHAPE DATA.\nFIRST LONG OF SHAPE DATA IS %lx\n",
                     static_cast<unsigned long>((shape[16] << 24) | (shape[17] << 16) | (shape[18] << 8) | shape[19]));
      }
      return 0;
    }
    return static_cast<int32_t>(size) + 16;
  }
  const int64_t bytes = static_cast<int64_t>(shapeheight(shape)) * shapetyperowbytes(shape[0], shapewidth(shape));
  return bytes ? static_cast<int32_t>(bytes + 16) : 0;
}

uint8_t* createshapeadr(int32_t width, int32_t height, int depth, uint32_t memclass) {
  const int requested = depth;
  if (depth == 0) depth = gfxstate().depth ? gfxstate().depth : 8;
  if (width < 0 || width > 16384 || height < 0 || height > 8192) {
    if (abortonerror) {
      ABORTCONTEXT("cmn\\creates", "createshapeadr");
      abortmessage("createshape - INVALID SHAPE DIMENSIONS\nrequested: %dx%dx%d maximum: %dx%d\n", width, height,
                   requested, 16384, 8192);
    }
    return nullptr;
  }
  const uint8_t type = depthshapetype(depth);
  if (!type) {
    if (abortonerror) {
      ABORTCONTEXT("cmn\\creates", "createshapeadr");
      abortmessage("createshape - INVALID DEPTH\nrequested: %dx%dx%d BPP MUST BE 1,4,8,15,16,24,OR 32\n", width,
                   height, requested);
    }
    return nullptr;
  }
  const int64_t rowbytes = shapetyperowbytes(type, width);
  const int bytes = static_cast<int>(16 + rowbytes * height);
  char name[48];
  std::snprintf(name, sizeof name, "SHP%dx%dx%d", width, height, requested);
  void* block = nullptr;
  {
    AbortQuiet quiet;
    block = reservememadr(name, bytes, memclass);
  }
  if (!block) {
    ++shapeallocfailures;
    if (abortonerror) {
      ABORTCONTEXT("cmn\\creates", "createshapeadr");
      abortmessage("createshapeadr - OUT OF MEMORY\nrequested: %dx%dx%d bytes: %d available: %d\n", width, height,
                   requested, bytes, largestmem(static_cast<int>(memclass & MB_CLASSMASK)));
    }
    return nullptr;
  }
  auto* shape = static_cast<uint8_t*>(block);
  std::memset(shape, 0, 16);
  shape[0] = type;
  shapewrite16(shape + 4, static_cast<uint32_t>(width));
  shapewrite16(shape + 6, static_cast<uint32_t>(height));
  return shape;
}
