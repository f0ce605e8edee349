// Shape type conversion through a routing table of one-step row converters, and the colour tables built
// from palette records.
#include <cstdio>
#include <cstring>

#include "platformlib/core/memclass.h"
#include "platformlib/gfx/pixels.h"
#include "platformlib/shapes/shapes.h"
#include "platformlib/gfx/windowdesc.h"

namespace {

// Next step type for (source index, final target index).
constexpr uint8_t kRouting[8][8] = {
    {0x7A, 0x7B, 0x7E, 0x78, 0x7B, 0x7B, 0x7B, 0x7E}, {0x7A, 0x7B, 0x7E, 0x78, 0x7F, 0x7D, 0x6D, 0x7E},
    {0x78, 0x78, 0x7E, 0x78, 0x78, 0x7D, 0x7D, 0x42}, {0x7B, 0x7B, 0x7E, 0x78, 0x7F, 0x7D, 0x6D, 0x7E},
    {0x7D, 0x7D, 0x7D, 0x7D, 0x7F, 0x7D, 0x7D, 0x7D}, {0x78, 0x78, 0x7E, 0x78, 0x7F, 0x7D, 0x6D, 0x7E},
    {0x7D, 0x7D, 0x7D, 0x7D, 0x7D, 0x7D, 0x6D, 0x7D}, {0x7E, 0x7E, 0x7E, 0x7E, 0x7E, 0x7E, 0x7E, 0x42},
};

// Working tables of the converters (one conversion or draw at a time).
const uint32_t* convpalette = CurrentPalette;
uint32_t worktable32[256];
uint16_t worktable16[256];


void copy4(const uint8_t* s, uint8_t* d, int n) { std::memcpy(d, s, static_cast<size_t>((n + 1) / 2)); }
void copy8(const uint8_t* s, uint8_t* d, int n) { std::memcpy(d, s, static_cast<size_t>(n)); }
void copy16(const uint8_t* s, uint8_t* d, int n) { std::memcpy(d, s, static_cast<size_t>(n) * 2); }
void copy24(const uint8_t* s, uint8_t* d, int n) { std::memcpy(d, s, static_cast<size_t>(n) * 3); }
void copy32(const uint8_t* s, uint8_t* d, int n) { std::memcpy(d, s, static_cast<size_t>(n) * 4); }

void c4to8(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i) d[i] = (i & 1) ? (s[i >> 1] >> 4) : (s[i >> 1] & 15);
}
void c8to4(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; i += 2) {
    const uint8_t hi = i + 1 < n ? static_cast<uint8_t>((s[i + 1] & 15) << 4) : 0;
    d[i >> 1] = static_cast<uint8_t>(hi | (s[i] & 15));
  }
}
void c4to16(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i) shapewrite16(d + 2 * i, worktable16[(i & 1) ? (s[i >> 1] >> 4) : (s[i >> 1] & 15)]);
}
void c8to16(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i) shapewrite16(d + 2 * i, worktable16[s[i]]);
}
void c8to24(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i) {
    const uint32_t c = convpalette[s[i]];
    d[3 * i] = static_cast<uint8_t>(c);
    d[3 * i + 1] = static_cast<uint8_t>(c >> 8);
    d[3 * i + 2] = static_cast<uint8_t>(c >> 16);
  }
}
void c8to32(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i) shapewrite32(d + 4 * i, convpalette[s[i]]);
}
void c15to16(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i) {
    const uint32_t p = shaperead16(s + 2 * i);
    shapewrite16(d + 2 * i, ((p & 0x7FE0) << 1) | (p & 0x1F));
  }
}
void c16to15(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i) {
    const uint32_t p = shaperead16(s + 2 * i);
    shapewrite16(d + 2 * i, ((p & 0xFFC0) >> 1) | (p & 0x1F));
  }
}
void cswap15(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i) {
    const uint32_t p = shaperead16(s + 2 * i);
    shapewrite16(d + 2 * i, (p & 0x83E0) | ((p & 0x1F) << 10) | ((p >> 10) & 0x1F));
  }
}
void c15to32(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i) shapewrite32(d + 4 * i, argbfrom555(shaperead16(s + 2 * i)));
}
void c16to32(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i) shapewrite32(d + 4 * i, argbfrom565(shaperead16(s + 2 * i)));
}
void c16to24(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i) {
    const uint32_t p = shaperead16(s + 2 * i);
    d[3 * i] = static_cast<uint8_t>((p & 31) << 3);
    d[3 * i + 1] = static_cast<uint8_t>(((p >> 5) & 63) << 2);
    d[3 * i + 2] = static_cast<uint8_t>(((p >> 11) & 31) << 3);
  }
}
void c16to4444(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i) {
    const uint32_t p = shaperead16(s + 2 * i);
    shapewrite16(d + 2 * i, p == 0 ? 0 : 0xF000 | (((p >> 12) & 15) << 8) | (((p >> 7) & 15) << 4) | ((p >> 1) & 15));
  }
}
void c16to8(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i) {
    const uint32_t p = shaperead16(s + 2 * i);
    const uint32_t r5 = (p >> 11) & 31, g6 = (p >> 5) & 63, b5 = p & 31;
    if (InverseColourTable)
      d[i] = InverseColourTable[(r5 << 10) | ((g6 >> 1) << 5) | b5];
    else
      d[i] = static_cast<uint8_t>(nearestcolour(0xFF000000u | (r5 << 19) | (g6 << 10) | (b5 << 3)));
  }
}
void c24to32(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i)
    shapewrite32(d + 4 * i, 0xFF000000u | (s[3 * i + 2] << 16) | (s[3 * i + 1] << 8) | s[3 * i]);
}
void c32to24(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i) {
    d[3 * i] = s[4 * i];
    d[3 * i + 1] = s[4 * i + 1];
    d[3 * i + 2] = s[4 * i + 2];
  }
}
void c32to4444(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i) shapewrite16(d + 2 * i, argbto4444(shaperead32(s + 4 * i)));
}
void c4444to32(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i) shapewrite32(d + 4 * i, argbfrom4444(shaperead16(s + 2 * i)));
}
void c32to16a(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i) shapewrite16(d + 2 * i, argbto565(shaperead32(s + 4 * i), 1));
}
void c32to16p(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i) shapewrite16(d + 2 * i, argbto565(shaperead32(s + 4 * i), 0));
}
void c32to15a(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i) shapewrite16(d + 2 * i, argbto555(shaperead32(s + 4 * i), 1));
}
void c32to15p(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i) shapewrite16(d + 2 * i, argbto555(shaperead32(s + 4 * i), 0));
}

// The row rule of one step from a source index to a step type.
RowConverter rulefor(int source, uint8_t step, int alphamode) {
  switch (source) {
    case 0:
      if (step == 0x7A) return copy4;
      if (step == 0x7B) return c4to8;
      if (step == 0x7E || step == 0x78) return c4to16;
      break;
    case 1:
      if (step == 0x7A) return c8to4;
      if (step == 0x7B) return copy8;
      if (step == 0x7E || step == 0x78 || step == 0x6D) return c8to16;
      if (step == 0x7F) return c8to24;
      if (step == 0x7D) return c8to32;
      break;
    case 2:
      if (step == 0x78) return c15to16;
      if (step == 0x7E) return copy16;
      if (step == 0x7D) return c15to32;
      if (step == 0x42) return cswap15;
      break;
    case 3:
      if (step == 0x7B) return c16to8;
      if (step == 0x7E) return c16to15;
      if (step == 0x78) return copy16;
      if (step == 0x7F) return c16to24;
      if (step == 0x7D) return c16to32;
      if (step == 0x6D) return c16to4444;
      break;
    case 4:
      if (step == 0x7D) return c24to32;
      if (step == 0x7F) return copy24;
      break;
    case 5:
      if (step == 0x78) return alphamode ? c32to16a : c32to16p;
      if (step == 0x7E) return alphamode ? c32to15a : c32to15p;
      if (step == 0x7F) return c32to24;
      if (step == 0x7D) return copy32;
      if (step == 0x6D) return c32to4444;
      break;
    case 6:
      if (step == 0x7D) return c4444to32;
      if (step == 0x6D) return copy16;
      break;
    case 7:
      if (step == 0x7E) return cswap15;
      if (step == 0x42) return copy16;
      break;
    default: break;
  }
  return nullptr;
}

// A palette record's entries as 32-bit colours in `buffer` (or in place for 0x2A); CurrentPalette without one.
const uint32_t* clut32(const uint8_t* record, uint32_t* buffer, const char* function) {
  if (!record) return CurrentPalette;
  const uint8_t type = record[0];
  const uint8_t* e = record + 16;
  int count = shapewidth(record);
  if (count > 256) count = 256;  // the tables hold 256 entries
  if (type == 0x2A) {  // copied rather than used in place: records need not be aligned
    for (int i = 0; i < count; ++i) buffer[i] = shaperead32(e + 4 * i);
    return buffer;
  }
  switch (type) {
    case 0x22: case 0x24: case 0x29: case 0x2D: case 0x2C: case 0x2E: case 0x23: break;
    default:
      if (abortonerror) {
        ABORTCONTEXT("win\\convshp", function);
        abortmessage("%s - UNSUPPORTED CLUT TYPE 0x%x\n", function, type);
      }
      return buffer;
  }
  buffer[255] = 0;
  if (type == 0x23) count = 256;
  for (int i = 0; i < count; ++i) {
    uint32_t c = 0;
    switch (type) {
      case 0x24: c = (e[3 * i] << 16) | (e[3 * i + 1] << 8) | e[3 * i + 2]; c |= i == 255 ? 0 : 0xFF000000u; break;
      case 0x22: {
        auto s = [](uint8_t v) { return static_cast<uint32_t>((v * 255 + 32) / 63); };
        c = (s(e[3 * i]) << 16) | (s(e[3 * i + 1]) << 8) | s(e[3 * i + 2]);
        c |= i == 255 ? 0 : 0xFF000000u;
        break;
      }
      case 0x29: c = argbfrom565(shaperead16(e + 2 * i)); break;
      case 0x2D: c = argbfrom555(shaperead16(e + 2 * i)); break;
      case 0x2C: {
        const uint32_t v = shaperead32(e + 4 * i);
        c = (v & 0xFF000000u) | (argbfrom565(v & 0xFFFF) & 0xFFFFFF);
        break;
      }
      case 0x2E: {
        const uint32_t v = shaperead32(e + 4 * i);
        c = (v & 0xFF000000u) | (argbfrom555(v & 0xFFFF) & 0xFFFFFF);
        break;
      }
      case 0x23: {
        const uint32_t p = shaperead16(e + 2 * i);
        c = argbfrom555((p & 0x83E0) | ((p & 0x1F) << 10) | ((p >> 10) & 0x1F));
        break;
      }
      default: break;
    }
    buffer[i] = c;
  }
  return buffer;
}

// Builds the palette table for a palettised step into the working tables.
void buildsteptable(const uint8_t* record, bool usecurrent, int entries, uint8_t step, int alphamode) {
  if (usecurrent) {
    for (int i = 0; i < 256; ++i) worktable32[i] = CurrentPalette[IndexRemap[i]];
    convpalette = worktable32;
  } else {
    convpalette = clut32(record, worktable32, "getclutptr");
  }
  const int depth = shapetypedepth(step);
  for (int i = 0; i < entries; ++i) {
    if (step == 0x6D)
      worktable16[i] = static_cast<uint16_t>(argbto4444(convpalette[i]));
    else if (depth == 15)
      worktable16[i] = static_cast<uint16_t>(argbto555(convpalette[i], alphamode));
    else if (depth == 16)
      worktable16[i] = static_cast<uint16_t>(argbto565(convpalette[i], alphamode));
  }
}

}  // namespace

uint32_t argbto4444(uint32_t c) {
  return ((c >> 28) << 12) | (((c >> 20) & 15) << 8) | (((c >> 12) & 15) << 4) | ((c >> 4) & 15);
}
uint32_t argbfrom4444(uint32_t p) {
  uint32_t c = 0;
  for (int k = 0; k < 4; ++k) c |= (((p >> (4 * k)) & 15) * 17) << (8 * k);
  return c;
}

void argbtotriples6(int count, const uint32_t* s, uint8_t* d) {
  for (int i = 0; i < count; ++i)
    for (int k = 0; k < 3; ++k) d[3 * i + k] = static_cast<uint8_t>((((s[i] >> (16 - 8 * k)) & 0xFF) * 63 + 128) / 255);
}
void argbtotriples8(int count, const uint32_t* s, uint8_t* d) {
  for (int i = 0; i < count; ++i)
    for (int k = 0; k < 3; ++k) d[3 * i + k] = static_cast<uint8_t>(s[i] >> (16 - 8 * k));
}
void triples6to8(int count, const uint8_t* s, uint8_t* d) {
  for (int i = 0; i < 3 * count; ++i) d[i] = static_cast<uint8_t>((s[i] * 255 + 32) / 63);
}
void triples8to6(int count, const uint8_t* s, uint8_t* d) {
  for (int i = 0; i < 3 * count; ++i) d[i] = static_cast<uint8_t>((s[i] * 63 + 128) / 255);
}

int shapetypeindex(uint8_t type) {
  switch (type) {
    case 0x7A: case 0x40: return 0;
    case 0x7B: case 0x41: return 1;
    case 0x7E: return 2;
    case 0x78: return 3;
    case 0x7F: case 0x43: return 4;
    case 0x7D: return 5;
    case 0x6D: return 6;
    case 0x42: return 7;
    default: return -1;
  }
}

const uint32_t* getclutptr(const uint8_t* shape, uint32_t* buffer) {
  return clut32(getshapeclut(shape), buffer, "getclutptr");
}

const uint16_t* getclut16ptr(const uint8_t* shape, uint16_t* buffer) {
  const uint8_t* record = getshapeclut(shape);
  if (!record) {
    for (int i = 0; i < 256; ++i) buffer[i] = static_cast<uint16_t>(argbto565(CurrentPalette[i], 1));
    return buffer;
  }
  const uint8_t type = record[0];
  const uint8_t* e = record + 16;
  int count = shapewidth(record);
  if (count > 256) count = 256;
  if (type == 0x29) {
    for (int i = 0; i < count; ++i) buffer[i] = shaperead16(e + 2 * i);
    return buffer;
  }
  switch (type) {
    case 0x24: case 0x22: case 0x2A: {
      uint32_t colours[256];
      const uint32_t* c = clut32(record, colours, "getclut16ptr");
      buffer[255] = 0;
      for (int i = 0; i < count; ++i) buffer[i] = static_cast<uint16_t>(argbto565(c[i], 1));
      return buffer;
    }
    case 0x2C:
      buffer[255] = 0;
      for (int i = 0; i < count; ++i) buffer[i] = shaperead16(e + 4 * i);
      return buffer;
    case 0x2E: case 0x2D: {
      const int step = type == 0x2E ? 4 : 2;
      buffer[255] = 0;
      for (int i = 0; i < count; ++i) {
        const uint32_t p = shaperead16(e + step * i);
        buffer[i] = static_cast<uint16_t>(((p & 0x7FE0) << 1) | (p & 0x1F));
      }
      return buffer;
    }
    case 0x23:
      buffer[255] = 0;
      for (int i = 0; i < 256; ++i) {
        uint32_t p = shaperead16(e + 2 * i);
        p = (p & 0x83E0) | ((p & 0x1F) << 10) | ((p >> 10) & 0x1F);
        buffer[i] = static_cast<uint16_t>(((p & 0x7FE0) << 1) | (p & 0x1F));
      }
      return buffer;
    default:
      if (abortonerror) {
        ABORTCONTEXT("win\\convshp", "getclut16ptr");
        abortmessage("getclut16ptr - UNSUPPORTED CLUT TYPE 0x%x\n", type);
      }
      return buffer;
  }
}

const uint32_t* getclut16aptr(const uint8_t* shape, uint32_t* buffer) {
  const uint8_t* record = getshapeclut(shape);
  auto reduce = [](uint32_t v) { return (v & 0xFF000000u) | argbto565(v, 0); };
  if (!record) {
    for (int i = 0; i < 256; ++i) buffer[i] = reduce(CurrentPalette[i]);
    return buffer;
  }
  if (record[0] == 0x2C) {
    const int count = shapewidth(record) > 256 ? 256 : shapewidth(record);
    for (int i = 0; i < count; ++i) buffer[i] = shaperead32(record + 16 + 4 * i);
    return buffer;
  }
  uint32_t colours[256];
  colours[255] = 0;
  const uint32_t* c = clut32(record, colours, "getclut16aptr");
  if (c == colours && !iscluttype(record[0])) return buffer;  // reported by clut32
  int count = record[0] == 0x23 ? 256 : shapewidth(record);
  if (count > 256) count = 256;
  buffer[255] = 0;
  for (int i = 0; i < count; ++i) buffer[i] = reduce(c[i]);
  return buffer;
}

RowConverter getshapeconverter(const uint8_t* shape, uint8_t target, int alphamode) {
  const int source = shapetypeindex(shape[0]);
  const int final = shapetypeindex(target);
  if (source < 0 || final < 0 || kRouting[source][final] != target) return nullptr;
  const int sdepth = shapetypedepth(shape[0]);
  if (sdepth <= 8 && shapetypedepth(target) > 8) buildsteptable(getshapeclut(shape), false, 256, target, alphamode);
  return rulefor(source, target, alphamode);
}

uint8_t* convertshapetypex(const uint8_t* shape, uint8_t target, int usecurrentpalette, int alphamode) {
  const uint8_t* record = getshapeclut(shape);
  const uint8_t* current = shape;
  uint8_t* intermediate = nullptr;
  bool usecurrent = usecurrentpalette != 0;
  for (int steps = 0; steps < 10; ++steps) {
    const int source = shapetypeindex(current[0]);
    const int final = shapetypeindex(target);
    if (source < 0 || final < 0) {
      if (abortonerror) {
        ABORTCONTEXT("win\\convshp", "convertshapetypex");
        if (source < 0)
          abortmessage("convertshapedepth - INVALID SOURCE SHAPE TYPE ($%02x)\n", current[0]);
        else
          abortmessage("convertshapedepth - INVALID DESTINATION SHAPE TYPE SPECIFIED ($%02x)\n", target);
      }
      return intermediate;  // cannot go on without a valid index
    }
    const uint8_t step = kRouting[source][final];
    const RowConverter rule = rulefor(source, step, alphamode);
    if (!step || !rule) {
      if (abortonerror) {
        ABORTCONTEXT("win\\convshp", "convertshapetypex");
        abortmessage(
            "convertshapetype - UNABLE TO CONVERT TO TARGET SHAPE TYPE.\nInitial shape type ($%02x). Target shape type "
            "($%02x)\n",
            shape[0], target);
      }
      return intermediate;
    }
    const int sdepth = shapetypedepth(current[0]);
    const int ddepth = shapetypedepth(step);
    const int32_t width = shapewidth(current), height = shapeheight(current);
    if (sdepth <= 8 && ddepth > 8) {
      buildsteptable(record, usecurrent, 1 << sdepth, step, alphamode);
      usecurrent = false;
    }
    const int32_t srow = shaperowbytes(current);
    const int32_t drow = shapetyperowbytes(step, width);
    const int64_t bytes = static_cast<int64_t>(height) * drow + 20;
    char name[32];
    std::snprintf(name, sizeof name, "%dto%d", sdepth, ddepth);
    auto* out = bytes <= 0x7FFFFFFF ? static_cast<uint8_t*>(reservememadr(name, static_cast<int>(bytes), 0)) : nullptr;
    if (!out) {
      if (intermediate) purgememadr(intermediate);
      return nullptr;
    }
    uint8_t* end = out + 16 + static_cast<int64_t>(height) * drow;
    std::memcpy(end, "CSHP", 4);
    std::memset(out, 0, 16);
    out[0] = step;
    shapewrite16(out + 4, static_cast<uint32_t>(width));
    shapewrite16(out + 6, static_cast<uint32_t>(height));
    std::memcpy(out + 8, current + 8, 4);
    shapewrite16(out + 12, shaperead16(current + 12) & 0x0FFF);
    shapewrite16(out + 14, shaperead16(current + 14) & 0x0FFF);
    const uint8_t* s = current + 16;
    uint8_t* d = out + 16;
    for (int32_t y = 0; y < height; ++y, s += srow, d += drow) rule(s, d, width);
    if (std::memcmp(end, "CSHP", 4) != 0 && abortonerror) {
      ABORTCONTEXT("win\\convshp", "convertshapetypex");
      abortmessage("convshp - SENTINAL CORRUPTED. %dx%dx%d->%dx%dx%d\n", width, height, sdepth, width, height, ddepth);
    }
    if (intermediate) purgememadr(intermediate);
    intermediate = out;
    current = out;
    if (step == target) return out;
  }
  return intermediate;
}

uint8_t* convertshapetype(const uint8_t* shape, uint8_t target) { return convertshapetypex(shape, target, 0, 1); }

uint8_t* convertshapedepth(const uint8_t* shape, int depth) {
  return convertshapetypex(shape, depth == 1 ? 0 : depthshapetype(depth), 0, 1);
}
