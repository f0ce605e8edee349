// The specialised span functions of DrawTriangle against the general per-pixel path: random triangles in random
// states must leave the same bits in the target and the depth buffer, with the AVX2 spans (where the processor
// has them) and with the SSE2 ones alone.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "winapi/d3d/raster.h"

namespace {

using namespace winapi::d3d;

struct Buffers {
  std::vector<uint8_t> colour, depth;
  RasterTarget target;
  RasterDepth z;
  Buffers(int w, int h, TargetFormat format, int depthBits, std::mt19937& rng) {
    const int bpp = format == TargetFormat::Xrgb8888 ? 4 : 2, zbytes = depthBits / 8;
    colour.resize(static_cast<size_t>(w) * h * bpp);
    depth.resize(static_cast<size_t>(w) * h * zbytes);
    for (uint8_t& b : colour) b = static_cast<uint8_t>(rng());
    for (uint8_t& b : depth) b = static_cast<uint8_t>(rng());
    target = RasterTarget{colour.data(), w * bpp, w, h, format};
    z = RasterDepth{depthBits ? depth.data() : nullptr, w * zbytes, depthBits};
  }
};

struct Case {
  const char* name;
  int formats;  // how many of 565, 555, 8888 to try
  bool textured, varied;
  bool common;  // mostly the states the two-row spans take: no fog, specular or alpha test, depth less-or-equal
  bool wide;
};

template <class T>
T Pick(std::mt19937& rng, std::initializer_list<T> list) {
  return *(list.begin() + rng() % list.size());
}

class Spans : public ::testing::TestWithParam<Case> {};

TEST_P(Spans, MatchTheGeneralPathBitForBit) {
  const Case& c = GetParam();
  UseWideSpans(c.wide);
  std::mt19937 rng(1234);
  std::uniform_real_distribution<float> pos(-12.0f, 76.0f), unit(0.0f, 1.0f), tc(-2.5f, 2.5f);
  std::vector<TextureImage> textures;
  for (int size : {1, 2, 8, 16, 6, 5}) {
    TextureImage image{size, size == 16 ? 4 : size, rng() % 2 == 0, {}};
    for (int i = 0; i < image.width * image.height; ++i) image.texels.push_back(static_cast<uint32_t>(rng()));
    textures.push_back(image);
  }
  for (int round = 0; round < 600; ++round) {
    const TargetFormat format = static_cast<TargetFormat>(rng() % c.formats);
    const int depthBits = Pick(rng, {0, 16, 16, 16, 24, 32});
    Buffers fast(64, 48, format, depthBits, rng);
    Buffers plain = fast;
    plain.target.pixels = plain.colour.data(), plain.z.pixels = depthBits ? plain.depth.data() : nullptr;
    RasterState s;
    s.cull = D3DCULL_NONE;
    s.zTest = rng() % 4 != 0, s.zWrite = rng() % 4 != 0;
    s.zFunc = static_cast<int>(rng() % 9);
    s.gouraud = rng() % 4 != 0;
    s.perspective = rng() % 2 == 0;
    if (c.textured) {
      s.texture = &textures[rng() % textures.size()];
      s.bilinear = rng() % 2 == 0;
      s.wrap = rng() % 2 == 0;
      s.textureBlend = c.varied ? static_cast<int>(rng() % 9) : D3DTBLEND_MODULATE;
    }
    s.alphaBlend = rng() % 3 == 0;
    if (c.varied) s.srcBlend = static_cast<int>(1 + rng() % 11), s.destBlend = static_cast<int>(1 + rng() % 11);
    s.alphaTest = rng() % 3 == 0;
    s.alphaFunc = static_cast<int>(rng() % 9);
    s.alphaRef = rng();
    s.fog = rng() % 3 == 0;
    s.fogColour = rng();
    s.specular = rng() % 3 == 0;
    if (c.common && rng() % 8 != 0) {
      s.fog = s.specular = s.alphaTest = false;
      s.zFunc = D3DCMP_LESSEQUAL, s.zTest = s.zWrite = rng() % 4 != 0;
    }
    const bool flat = rng() % 3 == 0;
    const uint32_t shared = rng(), sharedSpecular = rng();
    // Some triangles face the eye: rhw is the same along every row.
    const bool facing = rng() % 3 == 0;
    const float level = Pick(rng, {0.0f, -0.0f, 1.0f, 0.37f});
    D3DTLVERTEX v[3];
    for (D3DTLVERTEX& x : v) {
      const float rhw = facing ? level : 0.05f + unit(rng) * 2.0f;
      x = D3DTLVERTEX{pos(rng), pos(rng), unit(rng) * 1.2f - 0.1f, rhw, flat ? shared : static_cast<uint32_t>(rng()),
                      flat ? sharedSpecular : static_cast<uint32_t>(rng()), tc(rng), tc(rng)};
    }
    DrawTriangle(fast.target, fast.z, s, v[0], v[1], v[2]);
    DrawTriangleReference(plain.target, plain.z, s, v[0], v[1], v[2]);
    ASSERT_EQ(fast.colour, plain.colour) << c.name << " round " << round;
    ASSERT_EQ(fast.depth, plain.depth) << c.name << " round " << round;
  }
  UseWideSpans(true);
}

INSTANTIATE_TEST_SUITE_P(Raster, Spans,
                         ::testing::Values(Case{"colour", 3, false, false, false, true},
                                           Case{"textured", 3, true, false, false, true},
                                           Case{"any state", 3, true, true, false, true},
                                           Case{"common colour", 3, false, false, true, true},
                                           Case{"common textured", 3, true, false, true, true},
                                           Case{"common textured narrow", 3, true, false, true, false},
                                           Case{"textured narrow", 3, true, false, false, false}),
                         [](const auto& info) {
                           std::string name = info.param.name;
                           for (char& ch : name)
                             if (ch == ' ') ch = '_';
                           return name;
                         });

}  // namespace
