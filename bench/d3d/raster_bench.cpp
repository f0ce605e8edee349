// The software rasteriser against Mesa's llvmpipe on one thread (OSMesa, LP_NUM_THREADS=0): both draw the same
// screen triangles into a 5-6-5 target with a 16-bit depth buffer, at 640 x 480 and 800 x 600. Workloads: a flat
// fill, a bilinear textured fill, an alpha-blended fill, 20-pixel textured triangles (point and bilinear) and a
// Gouraud fill with the depth test. Closes with the ratio table of bench/support/versus.h.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "versus.h"
#include "winapi/d3d/raster.h"

#ifdef BENCH_OSMESA
#include <GL/gl.h>
#include <GL/osmesa.h>
#endif

namespace {

using namespace winapi::d3d;

struct Workload {
  const char* name;
  int width, height;
  std::vector<D3DTLVERTEX> triangles;  // three vertices each
  RasterState state;
};

TextureImage MakeTexture() {
  TextureImage t{64, 64, false, {}};
  for (int i = 0; i < 64 * 64; ++i) t.texels.push_back(0xFF000000u | static_cast<uint32_t>(i * 2654435761u >> 8));
  return t;
}
const TextureImage kTexture = MakeTexture();

D3DTLVERTEX V(float x, float y, uint32_t colour, float u = 0, float v = 0, float z = 0.5f) {
  return D3DTLVERTEX{x, y, z, 1.0f, colour, 0xFF000000u, u, v};
}

Workload Make(const char* kind, int w, int h) {
  Workload k{kind, w, h, {}, {}};
  RasterState& s = k.state;
  s.cull = D3DCULL_NONE;
  s.zTest = s.zWrite = false;
  s.wrap = true;
  const std::string name = kind;
  const float fw = static_cast<float>(w), fh = static_cast<float>(h);
  auto screen = [&](uint32_t c0, uint32_t c1, uint32_t c2, uint32_t c3) {
    k.triangles = {V(0, 0, c0, 0, 0, 0.2f), V(fw, 0, c1, 10, 0, 0.4f), V(fw, fh, c2, 10, 7.5f, 0.6f),
                   V(0, 0, c0, 0, 0, 0.2f), V(fw, fh, c2, 10, 7.5f, 0.6f), V(0, fh, c3, 0, 7.5f, 0.4f)};
  };
  if (name == "flat") {
    screen(0xFF3060C0, 0xFF3060C0, 0xFF3060C0, 0xFF3060C0);
  } else if (name == "bilinear") {
    screen(0xFFC0C0C0, 0xFFC0C0C0, 0xFFC0C0C0, 0xFFC0C0C0);
    s.texture = &kTexture, s.bilinear = true;
  } else if (name == "blend") {
    screen(0x80C06030, 0x80C06030, 0x80C06030, 0x80C06030);
    s.alphaBlend = true;
  } else if (name == "gouraud_depth") {
    screen(0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF);
    s.zTest = s.zWrite = true, s.zFunc = D3DCMP_LESSEQUAL;
  } else {  // 20-pixel textured triangles spread over the screen
    s.texture = &kTexture, s.bilinear = name == "tri20_bilinear";
    for (int i = 0; i < 2000; ++i) {
      const float x = static_cast<float>((i * 37) % (w - 20)), y = static_cast<float>((i * 53) % (h - 20));
      k.triangles.insert(k.triangles.end(), {V(x, y, 0xFFC0C0C0, 0, 0), V(x + 20, y, 0xFFC0C0C0, 1, 0),
                                             V(x, y + 20, 0xFFC0C0C0, 0, 1)});
    }
  }
  return k;
}

void Ours(benchmark::State& state, const Workload& k) {
  std::vector<uint16_t> colour(static_cast<size_t>(k.width) * k.height), depth(colour.size(), 0xFFFF);
  const RasterTarget target{reinterpret_cast<uint8_t*>(colour.data()), k.width * 2, k.width, k.height,
                            TargetFormat::Rgb565};
  const RasterDepth z{reinterpret_cast<uint8_t*>(depth.data()), k.width * 2, 16};
  for (auto _ : state) {
    for (size_t i = 0; i + 2 < k.triangles.size(); i += 3)
      DrawTriangle(target, z, k.state, k.triangles[i], k.triangles[i + 1], k.triangles[i + 2]);
    benchmark::DoNotOptimize(colour.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(k.triangles.size() / 3));
}

#ifdef BENCH_OSMESA
void Peer(benchmark::State& state, const Workload& k) {
  setenv("LP_NUM_THREADS", "0", 1);
  setenv("GALLIUM_DRIVER", "llvmpipe", 1);
  OSMesaContext context = OSMesaCreateContextExt(OSMESA_RGB_565, 16, 0, 0, nullptr);
  std::vector<uint16_t> buffer(static_cast<size_t>(k.width) * k.height);
  if (!context || !OSMesaMakeCurrent(context, buffer.data(), GL_UNSIGNED_SHORT_5_6_5, k.width, k.height)) {
    state.SkipWithError("no OSMesa context");
    return;
  }
  const RasterState& s = k.state;
  GLuint texture = 0;
  if (s.texture) {
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, s.texture->width, s.texture->height, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                 s.texture->texels.data());
    const GLint filter = s.bilinear ? GL_LINEAR : GL_NEAREST;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_TEXTURE_2D);
  }
  if (s.zTest) {
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
  }
  if (s.alphaBlend) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  }
  glShadeModel(GL_SMOOTH);
  glViewport(0, 0, k.width, k.height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, k.width, k.height, 0, 0, -1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  std::vector<float> positions, coords;
  std::vector<uint8_t> colours;
  for (const D3DTLVERTEX& v : k.triangles) {
    positions.insert(positions.end(), {v.sx, v.sy, v.sz});
    coords.insert(coords.end(), {v.tu * v.rhw, v.tv * v.rhw, 0.0f, v.rhw});
    colours.insert(colours.end(), {static_cast<uint8_t>(v.color >> 16), static_cast<uint8_t>(v.color >> 8),
                                   static_cast<uint8_t>(v.color), static_cast<uint8_t>(v.color >> 24)});
  }
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  if (s.texture) glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, positions.data());
  glTexCoordPointer(4, GL_FLOAT, 0, coords.data());
  glColorPointer(4, GL_UNSIGNED_BYTE, 0, colours.data());
  const auto count = static_cast<GLsizei>(k.triangles.size());
  glDrawArrays(GL_TRIANGLES, 0, count);  // the shaders are compiled outside the measure
  glFinish();
  for (auto _ : state) {
    glDrawArrays(GL_TRIANGLES, 0, count);
    glFinish();
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(k.triangles.size() / 3));
  if (texture) glDeleteTextures(1, &texture);
  OSMesaDestroyContext(context);
}
#endif

const bool kRegistered = [] {
  static std::vector<Workload> workloads;
  for (const char* kind : {"flat", "bilinear", "blend", "tri20_point", "tri20_bilinear", "gouraud_depth"})
    for (const auto& [w, h] : {std::pair{640, 480}, std::pair{800, 600}}) workloads.push_back(Make(kind, w, h));
  for (const Workload& k : workloads) {
    const std::string base = std::string(k.name) + "/" + std::to_string(k.width) + "x" + std::to_string(k.height);
    benchmark::RegisterBenchmark((base + "/ours").c_str(), Ours, k)->Unit(benchmark::kMicrosecond);
#ifdef BENCH_OSMESA
    benchmark::RegisterBenchmark((base + "/peer").c_str(), Peer, k)->Unit(benchmark::kMicrosecond);
#endif
  }
  return true;
}();

}  // namespace

int main(int argc, char** argv) { return benchversus::Main(argc, argv); }
