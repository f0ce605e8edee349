// Like for like: a 64 x 64 and a 128 x 128 grid of textured, Gouraud-shaded quads (heights 0.08 sin 7x cos 5z,
// a 256 x 256 texture repeated 8 times, bilinear, depth test) at 640 x 480, drawn by the Direct3D stand-in's
// rasteriser (what drvd3d's quad meshes are drawn with) and by Mesa's llvmpipe through OSMesa on one thread
// (LP_NUM_THREADS=0). Both get the same screen vertices. Quads a second = items_per_second; run them in
// alternation (--benchmark_repetitions) to compare under the same load.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "winapi/d3d/raster.h"

#ifdef BENCH_OSMESA
#include <GL/gl.h>
#include <GL/osmesa.h>
#endif

namespace {

constexpr int kWidth = 640, kHeight = 480;

struct GridVertex {
  float x, y, z, rhw, u, v;
  uint32_t colour;
};

// The grid in view: x and z over [-1, 1], seen from above and behind, projected to the screen.
std::vector<GridVertex> MakeGrid(int n) {
  std::vector<GridVertex> out;
  out.reserve(static_cast<size_t>(n + 1) * (n + 1));
  for (int j = 0; j <= n; ++j)
    for (int i = 0; i <= n; ++i) {
      const float gx = -1.0f + 2.0f * i / n, gz = -1.0f + 2.0f * j / n;
      const float h = 0.08f * std::sin(7.0f * gx) * std::cos(5.0f * gz);
      // Camera at (0, 1.2, -2.6) looking down 25 degrees.
      const float cx = gx, cy = h - 1.2f, cz = gz + 2.6f;
      const float c = std::cos(0.436f), s = std::sin(0.436f);
      const float vy = cy * c + cz * s, vz = -cy * s + cz * c;
      const float w = vz;
      const float px = kWidth / 2 + cx / w * 420.0f, py = kHeight / 2 - vy / w * 420.0f;
      const uint32_t shade = static_cast<uint32_t>(160 + 90 * (0.5f + 0.5f * std::sin(3.0f * gx + 2.0f * gz)));
      out.push_back({px, py, (w - 1.0f) / 4.0f, 1.0f / w, 8.0f * i / n, 8.0f * j / n,
                     0xFF000000u | shade << 16 | shade << 8 | shade});
    }
  return out;
}

std::vector<uint32_t> MakeTexture() {
  std::vector<uint32_t> t(256 * 256);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x)
      t[static_cast<size_t>(y) * 256 + x] =
          0xFF000000u | static_cast<uint32_t>((x ^ y) & 0xFF) << 16 | static_cast<uint32_t>(x) << 8 |
          static_cast<uint32_t>(y);
  return t;
}

void D3DGrid(benchmark::State& state) {
  using namespace winapi::d3d;
  const int n = static_cast<int>(state.range(0));
  const auto grid = MakeGrid(n);
  std::vector<uint16_t> colour(kWidth * kHeight), depth(kWidth * kHeight);
  RasterTarget target{reinterpret_cast<uint8_t*>(colour.data()), kWidth * 2, kWidth, kHeight, TargetFormat::Rgb565};
  RasterDepth z{reinterpret_cast<uint8_t*>(depth.data()), kWidth * 2, 16};
  TextureImage texture{256, 256, false, MakeTexture()};
  RasterState s;
  s.texture = &texture;
  s.bilinear = true;
  s.wrap = true;
  s.cull = D3DCULL_NONE;
  s.zFunc = D3DCMP_LESSEQUAL;
  auto tl = [&](int i, int j) {
    const GridVertex& g = grid[static_cast<size_t>(j) * (n + 1) + i];
    return D3DTLVERTEX{g.x, g.y, g.z, g.rhw, g.colour, 0xFF000000u, g.u, g.v};
  };
  for (auto _ : state) {
    std::fill(depth.begin(), depth.end(), 0xFFFF);
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i) {
        const D3DTLVERTEX a = tl(i, j), b = tl(i + 1, j), c = tl(i + 1, j + 1), d = tl(i, j + 1);
        DrawTriangle(target, z, s, a, b, c);
        DrawTriangle(target, z, s, a, c, d);
      }
    benchmark::DoNotOptimize(colour.data());
  }
  state.SetItemsProcessed(state.iterations() * n * n);
}
BENCHMARK(D3DGrid)->Arg(64)->Arg(128)->Unit(benchmark::kMillisecond);

#ifdef BENCH_OSMESA
void LlvmpipeGrid(benchmark::State& state) {
  setenv("LP_NUM_THREADS", "0", 1);
  setenv("GALLIUM_DRIVER", "llvmpipe", 1);
  const int n = static_cast<int>(state.range(0));
  const auto grid = MakeGrid(n);
  OSMesaContext context = OSMesaCreateContextExt(OSMESA_RGB_565, 16, 0, 0, nullptr);
  std::vector<uint16_t> buffer(kWidth * kHeight);
  if (!context || !OSMesaMakeCurrent(context, buffer.data(), GL_UNSIGNED_SHORT_5_6_5, kWidth, kHeight)) {
    state.SkipWithError("no OSMesa context");
    return;
  }
  const auto texels = MakeTexture();
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 256, 256, 0, GL_BGRA, GL_UNSIGNED_BYTE, texels.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glShadeModel(GL_SMOOTH);
  glViewport(0, 0, kWidth, kHeight);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, kWidth, kHeight, 0, 0, -1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  // The same screen vertices; texture coordinates carry 1/w for perspective-correct mapping.
  std::vector<float> positions, coords;
  std::vector<uint8_t> colours;
  std::vector<GLuint> indices;
  for (const GridVertex& g : grid) {
    positions.insert(positions.end(), {g.x, g.y, g.z});
    coords.insert(coords.end(), {g.u * g.rhw, g.v * g.rhw, 0.0f, g.rhw});
    colours.insert(colours.end(), {static_cast<uint8_t>(g.colour >> 16), static_cast<uint8_t>(g.colour >> 8),
                                   static_cast<uint8_t>(g.colour), 255});
  }
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      const GLuint a = static_cast<GLuint>(j * (n + 1) + i);
      indices.insert(indices.end(), {a, a + 1, a + static_cast<GLuint>(n) + 2, a, a + static_cast<GLuint>(n) + 2,
                                     a + static_cast<GLuint>(n) + 1});
    }
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, positions.data());
  glTexCoordPointer(4, GL_FLOAT, 0, coords.data());
  glColorPointer(4, GL_UNSIGNED_BYTE, 0, colours.data());
  for (auto _ : state) {
    glClear(GL_DEPTH_BUFFER_BIT);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_INT, indices.data());
    glFinish();
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetItemsProcessed(state.iterations() * n * n);
  glDeleteTextures(1, &texture);
  OSMesaDestroyContext(context);
}
BENCHMARK(LlvmpipeGrid)->Arg(64)->Arg(128)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
