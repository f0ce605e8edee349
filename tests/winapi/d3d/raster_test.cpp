// The software rasteriser on small targets: coverage by the top-left rule, shading, texturing, depth,
// blending, fog, culling, and pictures compared with golden images.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "winapi/d3d/raster.h"
#include "support/golden.h"

namespace {

using namespace winapi::d3d;

D3DTLVERTEX V(float x, float y, uint32_t colour = 0xFFFFFFFF, float z = 0.5f, float u = 0, float v = 0,
              float rhw = 1.0f, uint32_t specular = 0xFF000000) {
  return D3DTLVERTEX{x, y, z, rhw, colour, specular, u, v};
}

struct Canvas {
  int w, h;
  std::vector<uint8_t> pixels;
  std::vector<uint16_t> depth;
  RasterTarget target;
  RasterDepth z;
  explicit Canvas(int width, int height, TargetFormat format = TargetFormat::Rgb565) : w(width), h(height) {
    const int bpp = format == TargetFormat::Xrgb8888 ? 4 : 2;
    pixels.assign(static_cast<size_t>(w) * h * bpp, 0);
    depth.assign(static_cast<size_t>(w) * h, 0xFFFF);
    target = RasterTarget{pixels.data(), w * bpp, w, h, format};
    z = RasterDepth{reinterpret_cast<uint8_t*>(depth.data()), w * 2, 16};
  }
  uint32_t At(int x, int y) const {
    if (target.format == TargetFormat::Xrgb8888) return reinterpret_cast<const uint32_t*>(pixels.data())[y * w + x];
    const uint16_t p = reinterpret_cast<const uint16_t*>(pixels.data())[y * w + x];
    uint32_t r, g, b;
    if (target.format == TargetFormat::Rgb565) r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31, g = (g << 2) | (g >> 4);
    else r = (p >> 10) & 31, g = (p >> 5) & 31, b = p & 31, g = (g << 3) | (g >> 2);
    r = (r << 3) | (r >> 2), b = (b << 3) | (b >> 2);
    return (r << 16) | (g << 8) | b;
  }
  d3dtest::Picture Picture() const {
    d3dtest::Picture p{w, h, {}};
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) p.rgb.push_back(At(x, y));
    return p;
  }
};

RasterState Plain() {
  RasterState s;
  s.zTest = false;
  s.zWrite = false;
  s.cull = D3DCULL_NONE;
  s.bilinear = false;
  return s;
}

// Reference coverage: sample at integer pixel positions, edges owned by the top-left rule.
bool Covers(const D3DTLVERTEX& a, const D3DTLVERTEX& b, const D3DTLVERTEX& c, int px, int py) {
  // Positions snap to a sixteenth of a pixel, as the rasteriser's do.
  auto snap = [](float f) { return std::round(static_cast<double>(f) * 16.0) / 16.0; };
  double X[3] = {snap(a.sx), snap(b.sx), snap(c.sx)}, Y[3] = {snap(a.sy), snap(b.sy), snap(c.sy)};
  double area = (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]);
  if (area < 0) std::swap(X[1], X[2]), std::swap(Y[1], Y[2]);
  for (int i = 0; i < 3; ++i) {
    const int j = (i + 1) % 3;
    const double A = Y[i] - Y[j], B = X[j] - X[i];
    const double e = A * (px - X[i]) + B * (py - Y[i]);
    const bool topLeft = A > 0 || (A == 0 && B > 0);
    if (e < 0 || (e == 0 && !topLeft)) return false;
  }
  return true;
}

TEST(Raster, FlatTriangleCoversExactlyItsPixels) {
  Canvas c(16, 16);
  const D3DTLVERTEX a = V(2, 1, 0xFFFF0000), b = V(14, 5, 0xFFFF0000), d = V(5, 14, 0xFFFF0000);
  DrawTriangle(c.target, c.z, Plain(), a, b, d);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      EXPECT_EQ(c.At(x, y) != 0, Covers(a, b, d, x, y)) << x << "," << y;
  EXPECT_EQ(c.At(7, 7), 0xFF0000u);
  d3dtest::ExpectGolden(c.Picture(), "flat", 0);
}

TEST(Raster, GouraudColoursBlendBetweenVertices) {
  Canvas c(16, 16, TargetFormat::Xrgb8888);
  DrawTriangle(c.target, c.z, Plain(), V(0, 0, 0xFFFF0000), V(15, 0, 0xFF00FF00), V(0, 15, 0xFF0000FF));
  EXPECT_EQ(c.At(0, 0), 0xFF0000u);
  const uint32_t mid = c.At(7, 0);  // halfway along the red-green edge
  EXPECT_NEAR((mid >> 16) & 255, 136, 2);
  EXPECT_NEAR((mid >> 8) & 255, 119, 2);
  d3dtest::ExpectGolden(c.Picture(), "gouraud", 1);
  // Flat shading takes the first vertex's colour everywhere.
  Canvas f(16, 16, TargetFormat::Xrgb8888);
  RasterState s = Plain();
  s.gouraud = false;
  DrawTriangle(f.target, f.z, s, V(0, 0, 0xFFFF0000), V(15, 0, 0xFF00FF00), V(0, 15, 0xFF0000FF));
  EXPECT_EQ(f.At(7, 0), 0xFF0000u);
  EXPECT_EQ(f.At(1, 10), 0xFF0000u);
}

TextureImage Checker(int size, uint32_t one, uint32_t two, bool alpha = false) {
  TextureImage t{size, size, alpha, {}};
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) t.texels.push_back(((x ^ y) & 1) ? two : one);
  return t;
}

TEST(Raster, TexturedQuadWithPointAndBilinearFilters) {
  const TextureImage tex = Checker(4, 0xFFFFFFFF, 0xFF0000FF);
  Canvas c(16, 16);
  RasterState s = Plain();
  s.texture = &tex;
  s.textureBlend = D3DTBLEND_MODULATE;
  const D3DTLVERTEX a = V(0, 0, 0xFFFFFFFF, 0.5f, 0, 0), b = V(16, 0, 0xFFFFFFFF, 0.5f, 1, 0),
                    d = V(16, 16, 0xFFFFFFFF, 0.5f, 1, 1), e = V(0, 16, 0xFFFFFFFF, 0.5f, 0, 1);
  DrawTriangle(c.target, c.z, s, a, b, d);
  DrawTriangle(c.target, c.z, s, a, d, e);
  EXPECT_EQ(c.At(1, 1), 0xFFFFFFu);
  EXPECT_EQ(c.At(5, 1), 0x0000FFu);
  EXPECT_EQ(c.At(5, 5), 0xFFFFFFu);
  d3dtest::ExpectGolden(c.Picture(), "textured", 0);
  // Between two texel centres the bilinear filter mixes them.
  TextureImage pair{2, 1, false, {0xFF000000, 0xFFFFFFFF}};
  Canvas l(2, 1, TargetFormat::Xrgb8888);
  s.texture = &pair;
  s.bilinear = true;
  s.textureBlend = D3DTBLEND_DECAL;
  const D3DTLVERTEX p = V(0, 0, 0xFFFFFFFF, 0.5f, 0.5f, 0.5f);
  DrawPoint(l.target, l.z, s, p);
  EXPECT_NEAR(l.At(0, 0) & 255, 128, 1);
}

TEST(Raster, TexturesArePerspectiveCorrectFromRhw) {
  // A horizontal span whose right end is four times as far: at the screen middle the texture coordinate is
  // not 0.5 but (0.5 * 0.25) / (0.5 + 0.5 * 0.25) = 0.2.
  TextureImage ramp{100, 1, false, {}};
  for (int i = 0; i < 100; ++i) ramp.texels.push_back(0xFF000000u | static_cast<uint32_t>(i));
  Canvas c(101, 2, TargetFormat::Xrgb8888);
  RasterState s = Plain();
  s.texture = &ramp;
  s.textureBlend = D3DTBLEND_DECAL;
  const D3DTLVERTEX a = V(0, 0, 0xFFFFFFFF, 0.1f, 0, 0, 1.0f), b = V(101, 0, 0xFFFFFFFF, 0.4f, 1, 0, 0.25f),
                    d = V(101, 2, 0xFFFFFFFF, 0.4f, 1, 1, 0.25f), e = V(0, 2, 0xFFFFFFFF, 0.1f, 0, 1, 1.0f);
  DrawTriangle(c.target, c.z, s, a, b, d);
  DrawTriangle(c.target, c.z, s, a, d, e);
  const double t = 50.0 / 101.0;
  const double u = (t * 0.25) / ((1 - t) * 1.0 + t * 0.25);
  EXPECT_NEAR(static_cast<int>(c.At(50, 0) & 255), static_cast<int>(u * 100), 1);
  s.perspective = false;
  DrawTriangle(c.target, c.z, s, a, b, d);
  EXPECT_NEAR(static_cast<int>(c.At(50, 0) & 255), static_cast<int>(t * 100), 1);
}

TEST(Raster, SharedEdgesCoverEveryPixelOnce) {
  // Additive one-plus-one blending counts how often each pixel is written.
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> at(0.0f, 32.0f);
  for (int round = 0; round < 20; ++round) {
    Canvas c(32, 32, TargetFormat::Xrgb8888);
    RasterState s = Plain();
    s.alphaBlend = true;
    s.srcBlend = D3DBLEND_ONE;
    s.destBlend = D3DBLEND_ONE;
    // A fan of triangles around a centre covers the convex polygon of its rim.
    const float cx = at(rng) * 0.5f + 8, cy = at(rng) * 0.5f + 8;
    const int n = 7;
    std::vector<D3DTLVERTEX> rim;
    for (int i = 0; i < n; ++i) {
      const float angle = 6.2831853f * static_cast<float>(i) / n + static_cast<float>(round) * 0.1f;
      rim.push_back(V(cx + 11.3f * std::cos(angle), cy + 11.3f * std::sin(angle), 0xFF000001));
    }
    const D3DTLVERTEX centre = V(cx, cy, 0xFF000001);
    for (int i = 0; i < n; ++i) DrawTriangle(c.target, c.z, s, centre, rim[i], rim[(i + 1) % n]);
    int covered = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        const uint32_t count = c.At(x, y) & 255;
        ASSERT_LE(count, 1u) << "pixel " << x << "," << y << " drawn twice";
        covered += static_cast<int>(count);
        // Pixels inside the polygon are drawn: the fan leaves no crack.
        bool inside = false;
        for (int i = 0; i < n; ++i) inside = inside || Covers(centre, rim[i], rim[(i + 1) % n], x, y);
        EXPECT_EQ(count == 1, inside) << x << "," << y;
      }
    EXPECT_GT(covered, 200);
  }
}

TEST(Raster, DepthTestAndWrite) {
  Canvas c(8, 8);
  RasterState s = Plain();
  s.zTest = s.zWrite = true;
  s.zFunc = D3DCMP_LESSEQUAL;
  auto quad = [&](uint32_t colour, float z) {
    DrawTriangle(c.target, c.z, s, V(0, 0, colour, z), V(8, 0, colour, z), V(8, 8, colour, z));
    DrawTriangle(c.target, c.z, s, V(0, 0, colour, z), V(8, 8, colour, z), V(0, 8, colour, z));
  };
  quad(0xFFFF0000, 0.25f);
  quad(0xFF00FF00, 0.75f);  // behind: hidden
  EXPECT_EQ(c.At(4, 4), 0xFF0000u);
  EXPECT_EQ(c.depth[4 * 8 + 4], static_cast<uint16_t>(std::lround(0.25 * 65535)));
  s.zWrite = false;
  quad(0xFF0000FF, 0.1f);  // in front but leaves the depth alone
  EXPECT_EQ(c.At(4, 4), 0x0000FFu);
  quad(0xFFFFFFFF, 0.2f);  // still passes: the depth kept 0.25
  EXPECT_EQ(c.At(4, 4), 0xFFFFFFu);
  s.zFunc = D3DCMP_ALWAYS;
  s.zWrite = true;
  quad(0xFF00FF00, 0.9f);
  EXPECT_EQ(c.At(4, 4), 0x00FF00u);
}

TEST(Raster, AlphaBlendFactors) {
  struct Case {
    int src, dst;
    uint32_t expect;
  } cases[] = {
      {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 0x804040},  // half white over (0, 128, 128)... see below
      {D3DBLEND_ONE, D3DBLEND_ZERO, 0xFFFFFF},
      {D3DBLEND_ZERO, D3DBLEND_ONE, 0x008080},
      {D3DBLEND_SRCALPHA, D3DBLEND_ONE, 0x80FFFF},
      {D3DBLEND_DESTCOLOR, D3DBLEND_ZERO, 0x008080},
  };
  for (const Case& k : cases) {
    Canvas c(4, 4, TargetFormat::Xrgb8888);
    for (int i = 0; i < 16; ++i) reinterpret_cast<uint32_t*>(c.pixels.data())[i] = 0x008080;
    RasterState s = Plain();
    s.alphaBlend = true;
    s.srcBlend = k.src, s.destBlend = k.dst;
    DrawTriangle(c.target, c.z, s, V(0, 0, 0x80FFFFFF), V(4, 0, 0x80FFFFFF), V(0, 4, 0x80FFFFFF));
    const uint32_t got = c.At(0, 0);
    const uint32_t want = k.src == D3DBLEND_SRCALPHA && k.dst == D3DBLEND_INVSRCALPHA ? 0x80BFBF : k.expect;
    for (int shift = 0; shift < 24; shift += 8)
      EXPECT_NEAR(static_cast<int>((got >> shift) & 255), static_cast<int>((want >> shift) & 255), 1)
          << k.src << "/" << k.dst;
  }
}

TEST(Raster, VertexFogFromSpecularAlpha) {
  Canvas c(16, 1, TargetFormat::Xrgb8888);
  RasterState s = Plain();
  s.fog = true;
  s.fogColour = 0x0000FF;
  // Fog factor 255 at the left (no fog), 0 at the right (all fog colour).
  DrawLine(c.target, c.z, s, V(0, 0, 0xFFFF0000, 0.5f, 0, 0, 1, 0xFF000000), V(16, 0, 0xFFFF0000, 0.5f, 0, 0, 1, 0x00000000));
  EXPECT_EQ(c.At(0, 0), 0xFF0000u);
  EXPECT_NEAR(static_cast<int>(c.At(15, 0) & 255), 239, 2);
  EXPECT_NEAR(static_cast<int>(c.At(8, 0) >> 16), 128, 2);
  Canvas t(16, 16);
  DrawTriangle(t.target, t.z, s, V(0, 0, 0xFFFFFFFF, 0.5f, 0, 0, 1, 0xFF000000), V(16, 0, 0xFFFFFFFF, 0.5f, 0, 0, 1, 0),
               V(0, 16, 0xFFFFFFFF, 0.5f, 0, 0, 1, 0x80000000));
  d3dtest::ExpectGolden(t.Picture(), "fog", 0);
}

TEST(Raster, CullingByWinding) {
  // Clockwise on the screen: right, then down-left.
  const D3DTLVERTEX a = V(0, 0), b = V(8, 0), d = V(0, 8);
  struct Case {
    int cull;
    bool cwDrawn, ccwDrawn;
  } cases[] = {{D3DCULL_NONE, true, true}, {D3DCULL_CW, false, true}, {D3DCULL_CCW, true, false}};
  for (const Case& k : cases) {
    RasterState s = Plain();
    s.cull = k.cull;
    Canvas cw(8, 8), ccw(8, 8);
    DrawTriangle(cw.target, cw.z, s, a, b, d);
    DrawTriangle(ccw.target, ccw.z, s, a, d, b);
    EXPECT_EQ(cw.At(1, 1) != 0, k.cwDrawn) << k.cull;
    EXPECT_EQ(ccw.At(1, 1) != 0, k.ccwDrawn) << k.cull;
  }
}

TEST(Raster, AlphaTestDropsTransparentTexels) {
  const TextureImage tex = Checker(2, 0xFFFF0000, 0x00FFFFFF, true);
  Canvas c(8, 8);
  RasterState s = Plain();
  s.texture = &tex;
  s.alphaTest = true;
  s.alphaFunc = D3DCMP_GREATER;
  s.alphaRef = 0;
  DrawTriangle(c.target, c.z, s, V(0, 0, 0xFFFFFFFF, 0.5f, 0, 0), V(8, 0, 0xFFFFFFFF, 0.5f, 1, 0),
               V(8, 8, 0xFFFFFFFF, 0.5f, 1, 1));
  EXPECT_EQ(c.At(6, 1), 0u);          // transparent texel: nothing written
  EXPECT_EQ(c.At(2, 1), 0xFF0000u);   // opaque texel
}

TEST(Raster, TargetsOf555And565AndWrapAndClamp) {
  Canvas c(4, 4, TargetFormat::Rgb555);
  DrawTriangle(c.target, c.z, Plain(), V(0, 0, 0xFF00FF00), V(4, 0, 0xFF00FF00), V(0, 4, 0xFF00FF00));
  EXPECT_EQ(reinterpret_cast<uint16_t*>(c.pixels.data())[0], 0x03E0);
  Canvas d(4, 4, TargetFormat::Rgb565);
  DrawTriangle(d.target, d.z, Plain(), V(0, 0, 0xFF00FF00), V(4, 0, 0xFF00FF00), V(0, 4, 0xFF00FF00));
  EXPECT_EQ(reinterpret_cast<uint16_t*>(d.pixels.data())[0], 0x07E0);
  // u = 1.25: wrapping reads texel 0 of 4, clamping the last texel.
  TextureImage row{4, 1, false, {0xFF0000FF, 0xFF00FF00, 0xFF00FF00, 0xFFFF0000}};
  RasterState s = Plain();
  s.texture = &row;
  s.textureBlend = D3DTBLEND_DECAL;
  Canvas w(1, 1, TargetFormat::Xrgb8888);
  s.wrap = true;
  DrawPoint(w.target, w.z, s, V(0, 0, 0xFFFFFFFF, 0.5f, 1.125f, 0));
  EXPECT_EQ(w.At(0, 0), 0x0000FFu);
  s.wrap = false;
  DrawPoint(w.target, w.z, s, V(0, 0, 0xFFFFFFFF, 0.5f, 1.125f, 0));
  EXPECT_EQ(w.At(0, 0), 0xFF0000u);
}

TEST(Raster, HostileVerticesAreIgnoredOrClipped) {
  Canvas c(8, 8);
  RasterState s = Plain();
  const float nan = std::nanf("");
  DrawTriangle(c.target, c.z, s, V(nan, 0), V(8, 0), V(0, 8));
  DrawTriangle(c.target, c.z, s, V(-1e9f, -1e9f), V(1e9f, 0), V(0, 1e9f));
  DrawLine(c.target, c.z, s, V(-5, -5), V(20, 20));
  DrawPoint(c.target, c.z, s, V(100, 100));
  // A triangle far larger than the target is clipped to it.
  DrawTriangle(c.target, c.z, s, V(-1000, -1000, 0xFFFF0000), V(3000, -1000, 0xFFFF0000), V(-1000, 3000, 0xFFFF0000));
  EXPECT_EQ(c.At(3, 3), 0xFF0000u);
  EXPECT_EQ(c.At(7, 7), 0xFF0000u);
}

TEST(Raster, GoldenDepthBlendCullAndSharedEdge) {
  // A red square sloping away to the right and a green triangle at half depth cut by it at x = 8.
  Canvas z(16, 16);
  RasterState s = Plain();
  s.zTest = s.zWrite = true;
  DrawTriangle(z.target, z.z, s, V(0, 0, 0xFFFF0000, 0.0f), V(16, 0, 0xFFFF0000, 1.0f), V(16, 16, 0xFFFF0000, 1.0f));
  DrawTriangle(z.target, z.z, s, V(0, 0, 0xFFFF0000, 0.0f), V(16, 16, 0xFFFF0000, 1.0f), V(0, 16, 0xFFFF0000, 0.0f));
  DrawTriangle(z.target, z.z, s, V(2, 2, 0xFF00FF00, 0.5f), V(14, 2, 0xFF00FF00, 0.5f), V(8, 14, 0xFF00FF00, 0.5f));
  EXPECT_EQ(z.At(6, 4), 0xFF0000u);
  EXPECT_EQ(z.At(10, 4), 0x00FF00u);
  d3dtest::ExpectGolden(z.Picture(), "ztest", 0);
  // Half-transparent blue over red, and a counter-clockwise triangle that back-face culling drops.
  Canvas b(16, 16);
  RasterState t = Plain();
  DrawTriangle(b.target, b.z, t, V(0, 0, 0xFFFF0000), V(16, 0, 0xFFFF0000), V(0, 16, 0xFFFF0000));
  t.alphaBlend = true;
  DrawTriangle(b.target, b.z, t, V(4, 4, 0x800000FF), V(16, 4, 0x800000FF), V(4, 16, 0x800000FF));
  t.cull = D3DCULL_CCW;
  DrawTriangle(b.target, b.z, t, V(8, 8, 0xFFFFFFFF), V(8, 16, 0xFFFFFFFF), V(16, 8, 0xFFFFFFFF));
  d3dtest::ExpectGolden(b.Picture(), "blend", 0);
  // Two triangles of one quad, added into black: one count a pixel along the shared diagonal.
  Canvas e(16, 16, TargetFormat::Xrgb8888);
  RasterState a = Plain();
  a.alphaBlend = true;
  a.srcBlend = a.destBlend = D3DBLEND_ONE;
  DrawTriangle(e.target, e.z, a, V(1.5f, 2.25f, 0xFF808080), V(14.5f, 1.75f, 0xFF808080), V(13.25f, 14.5f, 0xFF808080));
  DrawTriangle(e.target, e.z, a, V(1.5f, 2.25f, 0xFF808080), V(13.25f, 14.5f, 0xFF808080), V(2.75f, 13.5f, 0xFF808080));
  for (uint32_t pixel : e.Picture().rgb) EXPECT_TRUE(pixel == 0 || pixel == 0x808080) << std::hex << pixel;
  d3dtest::ExpectGolden(e.Picture(), "shared", 0);
}

TEST(Raster, ClearFillsColourAndDepthInsideTheTarget) {
  Canvas c(8, 8);
  ClearRect(c.target, &c.z, -4, 2, 100, 4, 0x00FF00, 0.0f);
  EXPECT_EQ(c.At(0, 2), 0x00FF00u);
  EXPECT_EQ(c.At(7, 3), 0x00FF00u);
  EXPECT_EQ(c.At(0, 4), 0u);
  EXPECT_EQ(c.depth[2 * 8], 0);
  EXPECT_EQ(c.depth[4 * 8], 0xFFFF);
}

}  // namespace
