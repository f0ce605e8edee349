#include "scene/texconv.h"

#include <algorithm>
#include <cstring>

#include "platformlib/shapes/shapes.h"
#include "scene/texcache.h"

namespace {

uint16_t U16(const uint8_t* p) {
  uint16_t v = 0;
  std::memcpy(&v, p, 2);
  return v;
}
uint32_t U32(const uint8_t* p) {
  uint32_t v = 0;
  std::memcpy(&v, p, 4);
  return v;
}
void Put16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }

uint16_t Entry16(const uint8_t* record, int i) { return U16(record + 16 + 2 * i); }
uint32_t Entry32(const uint8_t* record, int i) { return U32(record + 16 + 4 * i); }

uint32_t Widen565(uint32_t c) {
  const uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
  return ((r * 8 + r / 4) << 16) | ((g * 4 + g / 16) << 8) | (b * 8 + b / 4);
}

uint16_t Reduce(uint32_t r, uint32_t g, uint32_t b, uint32_t a, int format, bool* ok) {
  *ok = true;
  switch (format) {
    case 7: return static_cast<uint16_t>(((a / 16) << 12) | ((r / 16) << 8) | ((g / 16) << 4) | (b / 16));
    case 3: return static_cast<uint16_t>((a > 128 ? 0x8000 : 0) | ((r / 8) << 10) | ((g / 8) << 5) | (b / 8));
    case 4: return static_cast<uint16_t>(((r / 8) << 11) | ((g / 4) << 5) | (b / 8));
    default: *ok = false; return 0;
  }
}

}  // namespace

uint16_t ShapeWidth(const uint8_t* shape) { return U16(shape + 4); }
uint16_t ShapeHeight(const uint8_t* shape) { return U16(shape + 6); }
bool PaletteIsStraight(const uint8_t* record) { return (U16(record + 12) & 0x8000) != 0; }

void ConvertPalette565ToARGB(const uint8_t* record, uint32_t out[256]) {
  for (int i = 0; i < 256; ++i) out[i] = 0xFF000000u | Widen565(Entry16(record, i));
}

void ConvertPaletteTo565(const uint8_t* record, uint16_t out[256]) {
  for (int i = 0; i < 256; ++i) {
    const uint32_t c = Entry32(record, i);
    out[i] = static_cast<uint16_t>((((c >> 19) & 31) << 11) | (((c >> 10) & 63) << 5) | ((c >> 3) & 31));
  }
}

uint32_t ExpandAlpha565ToARGB(uint32_t entry, bool divide) {
  const uint32_t a = entry >> 24;
  uint32_t r = (entry >> 11) & 31, g = (entry >> 5) & 63, b = entry & 31;
  if (divide && a > 0 && a < 255) {
    // Back from premultiplied: scale each channel by 255 / alpha, kept within its own width.
    r = std::min<uint32_t>(31, r * 255 / a);
    g = std::min<uint32_t>(63, g * 255 / a);
    b = std::min<uint32_t>(31, b * 255 / a);
  }
  return (a << 24) | Widen565((r << 11) | (g << 5) | b);
}

void ConvertAlpha565PaletteToARGB(const uint8_t* record, uint32_t out[256]) {
  const bool divide = !PaletteIsStraight(record);
  for (int i = 0; i < 256; ++i) out[i] = ExpandAlpha565ToARGB(Entry32(record, i), divide);
}

void ConvertPalette565ToFormat(const uint8_t* record, uint16_t out[256], int format, bool transparentLast) {
  if (format != 3 && format != 4 && format != 7) return;
  const int count = transparentLast ? 255 : 256;
  for (int i = 0; i < count; ++i) {
    const uint16_t c = Entry16(record, i);
    const uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    if (format == 7) out[i] = static_cast<uint16_t>(0xF000 | ((r >> 1) << 8) | ((g >> 2) << 4) | (b >> 1));
    else if (format == 3) out[i] = static_cast<uint16_t>(0x8000 | (r << 10) | ((g >> 1) << 5) | b);
    else out[i] = c;
  }
  if (transparentLast) out[255] = 0;
}

void ConvertAlpha565PaletteToFormat(const uint8_t* record, uint16_t out[256], int format, bool transparentLast) {
  if (format != 3 && format != 4 && format != 7) return;
  const bool divide = !PaletteIsStraight(record);
  const int count = transparentLast ? 255 : 256;
  for (int i = 0; i < count; ++i) {
    const uint32_t e = Entry32(record, i), a = e >> 24;
    uint32_t r = (e >> 11) & 31, g = (e >> 5) & 63, b = e & 31;
    if (divide && a > 0 && a < 255) {
      r = std::min<uint32_t>(31, r * 255 / a);
      g = std::min<uint32_t>(63, g * 255 / a);
      b = std::min<uint32_t>(31, b * 255 / a);
    }
    if (format == 7) out[i] = static_cast<uint16_t>(((a / 16) << 12) | ((r / 2) << 8) | ((g / 4) << 4) | (b / 2));
    else if (format == 3) out[i] = static_cast<uint16_t>(0x8000 | (r << 10) | ((g >> 1) << 5) | b);
    else out[i] = static_cast<uint16_t>((r << 11) | (g << 5) | b);
  }
  if (transparentLast) out[255] = 0;
}

void ConvertARGBPaletteToFormat(const uint8_t* record, uint16_t out[256], int format, bool transparentLast) {
  if (format != 3 && format != 4 && format != 7) return;
  const bool divide = !PaletteIsStraight(record);
  const int count = transparentLast ? 255 : 256;
  for (int i = 0; i < count; ++i) {
    const uint32_t e = Entry32(record, i), a = e >> 24;
    uint32_t r = (e >> 16) & 255, g = (e >> 8) & 255, b = e & 255;
    if (divide && a > 0 && a < 255) {
      r = std::min<uint32_t>(255, r * 255 / a);
      g = std::min<uint32_t>(255, g * 255 / a);
      b = std::min<uint32_t>(255, b * 255 / a);
    }
    bool ok = false;
    out[i] = Reduce(r, g, b, a, format, &ok);
  }
  if (transparentLast) out[255] = 0;
}

void PremultiplyPaletteAlpha(uint8_t* record) {
  for (int i = 0; i < 256; ++i) {
    const uint32_t e = Entry32(record, i), a = e >> 24;
    if (a == 0 || a == 255) continue;
    const uint32_t r = ((e >> 16) & 255) * a / 255, g = ((e >> 8) & 255) * a / 255, b = (e & 255) * a / 255;
    const uint32_t v = (a << 24) | (r << 16) | (g << 8) | b;
    std::memcpy(record + 16 + 4 * i, &v, 4);
  }
}

int MostUsedShapeColour(const uint8_t* shape, bool include, uint8_t colour, int* second) {
  uint32_t counts[256] = {};
  const size_t n = static_cast<size_t>(ShapeWidth(shape)) * ShapeHeight(shape);
  for (size_t i = 0; i < n; ++i) ++counts[shape[16 + i]];
  if (!include) counts[colour] = 0;
  int best = 0;
  for (int i = 1; i < 256; ++i)
    if (counts[i] > counts[best]) best = i;
  if (second) {
    int runner = -1;
    for (int i = 0; i < 256; ++i)
      if (i != best && counts[i] && (runner < 0 || counts[i] > counts[runner])) runner = i;
    *second = runner < 0 ? 0 : runner;
  }
  return best;
}

int ShapePixelIsOpaque(const uint8_t* shape, int32_t x, int32_t y) {
  if (x < 0 || y < 0 || x >= ShapeWidth(shape) || y >= ShapeHeight(shape)) return 0;
  return shape[16 + static_cast<size_t>(y) * ShapeWidth(shape) + x] != 255 ? 1 : 0;
}

int ShapeTypeIsImage(const uint8_t* shape) {
  const uint8_t t = shape[0] & 0x7F;
  return t >= 0x78 && t <= 0x7F && t != 0x7C ? 1 : 0;
}

void ExpandIndexedTo16(const uint8_t* pixels, int32_t sourcePitch, const uint16_t palette[256], int32_t height,
                       int32_t width, uint16_t* destination, int32_t pitch, int32_t rows) {
  // Clipped to the destination; whatever the image does not cover stays texel 255 (transparent).
  const int32_t w = std::min(width, pitch), h = std::min(height, rows);
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < pitch; ++x) destination[static_cast<size_t>(y) * pitch + x] = palette[255];
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* row = pixels + static_cast<size_t>(y) * sourcePitch;
    uint16_t* out = destination + static_cast<size_t>(y) * pitch;
    for (int32_t x = 0; x < w; ++x) out[x] = palette[row[x]];
  }
}

void MakeIndexAlphaTexture(const uint8_t* pixels, int32_t sourcePitch, int32_t width, int32_t height,
                           const uint32_t palette[256], uint16_t* destination, int mode, int32_t pitch, int32_t rows) {
  if (mode != 0 && mode != 2 && mode != 4) return;
  uint16_t texels[256];
  for (int i = 0; i < 256; ++i) {
    if (mode == 2) texels[i] = i == 255 ? 0x00FF : static_cast<uint16_t>(0xFF00 + i);
    else texels[i] = static_cast<uint16_t>(((palette[i] >> 24) << 8) | static_cast<uint32_t>(i));
  }
  ExpandIndexedTo16(pixels, sourcePitch, texels, height, width, destination, pitch, rows);
}

std::vector<uint8_t> LoadShapeTexture(const uint8_t* shape, const uint8_t* record, int side, int format,
                                      bool transparentLast) {
  if (format != 3 && format != 4 && format != 7 && format != 9) return {};
  const int32_t w = ShapeWidth(shape), h = ShapeHeight(shape);
  if (side == 0) side = std::max(RoundTextureSize(w), RoundTextureSize(h));
  side = std::clamp(side, 8, 256);
  std::vector<uint8_t> image(static_cast<size_t>(side) * side * 2 + 16, 0);
  std::memcpy(image.data(), shape, 16);
  auto* texels = reinterpret_cast<uint16_t*>(image.data() + 16);
  const bool is565 = record && record[0] == 0x29;
  if (format == 9) {
    uint32_t argb[256] = {};
    if (is565) ConvertPalette565ToARGB(record, argb);
    else if (record) std::memcpy(argb, record + 16, sizeof argb);
    MakeIndexAlphaTexture(shape + 16, w, w, h, argb, texels, is565 ? 2 : 4, side, side);
    return image;
  }
  uint16_t palette[256] = {};
  if (is565) ConvertPalette565ToFormat(record, palette, format, transparentLast);
  else if (record) ConvertARGBPaletteToFormat(record, palette, format, transparentLast);
  ExpandIndexedTo16(shape + 16, w, palette, h, w, texels, side, side);
  return image;
}

std::vector<uint8_t> PackObjectShape(const uint8_t* shape, size_t size, int32_t width, int32_t height, int32_t side,
                                     uint8_t fill, bool bottomAlign) {
  if (!shape || size < 16 || (shape[0] & kShapePacked) || shapetypedepth(shape[0]) != 8 || side < 1 || side > 1024 || width < 1 ||
      width > side || height < 1 || height > side)
    return {};
  const int32_t w = ShapeWidth(shape), h = ShapeHeight(shape);
  const size_t pixelBytes = static_cast<size_t>(w) * h;
  if (w < 1 || h < 1 || pixelBytes > size - 16) return {};
  // The palette record, when the shape names one that lies whole within its bytes.
  const uint8_t* record = nullptr;
  size_t recordBytes = 0;
  if (const int32_t next = shapenext(shape); next >= 16 + static_cast<int32_t>(pixelBytes) &&
                                              static_cast<size_t>(next) + 16 <= size) {
    const uint8_t type = shape[next];
    const size_t entry = type == 0x29 ? 2 : type == 0x24 ? 3 : type == 0x2A ? 4 : 0;
    if (entry && static_cast<size_t>(next) + 16 + 256 * entry <= size) {
      record = shape + next;
      recordBytes = 16 + 256 * entry;
    }
  }
  const size_t packedPixels = static_cast<size_t>(side) * side;
  std::vector<uint8_t> out(16 + packedPixels + recordBytes, fill);
  std::memcpy(out.data(), shape, 16);
  Put16(out.data() + 4, static_cast<uint16_t>(side));
  Put16(out.data() + 6, static_cast<uint16_t>(side));
  Put16(out.data() + 8, static_cast<uint16_t>(shapecentrex(shape) * width / w));
  Put16(out.data() + 10, static_cast<uint16_t>(shapecentrey(shape) * height / h));
  shapesetnext(out.data(), record ? static_cast<int32_t>(16 + packedPixels) : 0);
  if (record) std::memcpy(out.data() + 16 + packedPixels, record, recordBytes);
  const int32_t top = bottomAlign && height < side ? side - height : 0;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* from = shape + 16 + static_cast<size_t>(y * h / height) * w;
    uint8_t* to = out.data() + 16 + static_cast<size_t>(top + y) * side;
    for (int32_t x = 0; x < width; ++x) to[x] = from[x * w / width];
  }
  return out;
}

int SplitShapeImage(const uint8_t* shape, MemHandle* left, MemHandle* right, int32_t splitColumn, int32_t leftHeight,
                    uint8_t fill) {
  *left = *right = 0;
  const int32_t w = ShapeWidth(shape), h = ShapeHeight(shape);
  splitColumn = std::clamp(splitColumn, 0, w);
  if (leftHeight <= 0) leftHeight = h;
  const int32_t rightWidth = w - splitColumn;
  const MemHandle l = MemAllocHandle(16 + static_cast<size_t>(splitColumn) * leftHeight, 0);
  const MemHandle r = MemAllocHandle(16 + static_cast<size_t>(rightWidth) * h, 0);
  if (!l || !r) {
    if (l) MemFreeHandle(l);
    if (r) MemFreeHandle(r);
    return 2;
  }
  auto* lp = static_cast<uint8_t*>(MemLock(l));
  auto* rp = static_cast<uint8_t*>(MemLock(r));
  std::memset(lp, 0, 16);
  std::memset(rp, 0, 16);
  lp[0] = rp[0] = shape[0];
  Put16(lp + 4, static_cast<uint16_t>(splitColumn));
  Put16(lp + 6, static_cast<uint16_t>(leftHeight));
  Put16(rp + 4, static_cast<uint16_t>(rightWidth));
  Put16(rp + 6, static_cast<uint16_t>(h));
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* row = shape + 16 + static_cast<size_t>(y) * w;
    // A left image shorter than the shape takes only the rows it has.
    if (y < leftHeight) std::memcpy(lp + 16 + static_cast<size_t>(y) * splitColumn, row, splitColumn);
    std::memcpy(rp + 16 + static_cast<size_t>(y) * rightWidth, row + splitColumn, rightWidth);
  }
  for (int32_t y = h; y < leftHeight; ++y) std::memset(lp + 16 + static_cast<size_t>(y) * splitColumn, fill, splitColumn);
  MemUnlock(l);
  MemUnlock(r);
  *left = l;
  *right = r;
  return 0;
}
