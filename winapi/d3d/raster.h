// The software rasteriser behind the stand-in Direct3D device: transformed-and-lit triangles, lines and
// points into 16- or 32-bit targets with an optional 16-, 24- or 32-bit depth buffer.
#pragma once

#include <cstdint>
#include <vector>

#include "d3d.h"

namespace winapi::d3d {

enum class TargetFormat { Rgb565, Rgb555, Xrgb8888 };

struct RasterTarget {
  uint8_t* pixels = nullptr;
  int32_t pitch = 0;
  int32_t width = 0;
  int32_t height = 0;
  TargetFormat format = TargetFormat::Rgb565;
};

struct RasterDepth {
  uint8_t* pixels = nullptr;  // null: no depth buffer
  int32_t pitch = 0;
  int32_t bits = 16;          // 16, 24 or 32
};

// A texture decoded to 0xAARRGGBB texels, rows packed.
struct TextureImage {
  int32_t width = 0;
  int32_t height = 0;
  bool hasAlpha = false;
  std::vector<uint32_t> texels;
};

struct RasterState {
  bool zTest = true;
  bool zWrite = true;
  int zFunc = D3DCMP_LESSEQUAL;
  bool gouraud = true;
  bool perspective = true;
  bool bilinear = true;
  bool wrap = false;
  int textureBlend = D3DTBLEND_MODULATE;
  const TextureImage* texture = nullptr;
  bool alphaBlend = false;
  int srcBlend = D3DBLEND_SRCALPHA;
  int destBlend = D3DBLEND_INVSRCALPHA;
  bool alphaTest = false;
  int alphaFunc = D3DCMP_ALWAYS;
  uint32_t alphaRef = 0;
  bool fog = false;
  uint32_t fogColour = 0;  // 0x00RRGGBB
  bool specular = false;
  int cull = D3DCULL_CCW;
  int fill = D3DFILL_SOLID;
};

// The scale of a depth buffer of `bits` (its largest value).
uint32_t DepthMax(int32_t bits);
void DrawTriangle(const RasterTarget& target, const RasterDepth& depth, const RasterState& state,
                  const D3DTLVERTEX& a, const D3DTLVERTEX& b, const D3DTLVERTEX& c);
// The same picture through the general per-pixel path, which the specialised spans of DrawTriangle are
// checked against.
void DrawTriangleReference(const RasterTarget& target, const RasterDepth& depth, const RasterState& state,
                           const D3DTLVERTEX& a, const D3DTLVERTEX& b, const D3DTLVERTEX& c);
// Whether DrawTriangle may use its AVX2 spans where the processor has them (on by default); off, it draws with
// the SSE2 ones, which tests and benchmarks compare them with.
void UseWideSpans(bool use);
void DrawLine(const RasterTarget& target, const RasterDepth& depth, const RasterState& state, const D3DTLVERTEX& a,
              const D3DTLVERTEX& b);
void DrawPoint(const RasterTarget& target, const RasterDepth& depth, const RasterState& state,
               const D3DTLVERTEX& a);
// Fills a rectangle (clipped to the target) with a colour and the depth buffer with `z` (0 .. 1).
void ClearRect(const RasterTarget& target, const RasterDepth* depth, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
               uint32_t colour, float z);

}  // namespace winapi::d3d
