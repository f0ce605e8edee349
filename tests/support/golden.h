// Small pictures compared with tests/golden/<folder>/<name>.tga (folder d3d unless given) (uncompressed 24-bit, bottom-up rows). A picture
// that differs by more than the tolerance per channel is written as <name>.actual.tga in the working folder;
// TEEBOX_UPDATE_GOLDEN=1 rewrites the golden picture instead.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace d3dtest {

struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> rgb;  // 0x00RRGGBB, top row first
  uint32_t At(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }
};

inline std::vector<uint8_t> ToTga(const Picture& p) {
  std::vector<uint8_t> out(18, 0);
  out[2] = 2;
  out[12] = static_cast<uint8_t>(p.width), out[13] = static_cast<uint8_t>(p.width >> 8);
  out[14] = static_cast<uint8_t>(p.height), out[15] = static_cast<uint8_t>(p.height >> 8);
  out[16] = 24;
  for (int y = p.height - 1; y >= 0; --y)
    for (int x = 0; x < p.width; ++x) {
      const uint32_t c = p.At(x, y);
      out.push_back(static_cast<uint8_t>(c)), out.push_back(static_cast<uint8_t>(c >> 8));
      out.push_back(static_cast<uint8_t>(c >> 16));
    }
  return out;
}

inline bool FromTga(const std::vector<uint8_t>& in, Picture* p) {
  if (in.size() < 18 || in[2] != 2 || in[16] != 24 || in[0] != 0) return false;
  p->width = in[12] | (in[13] << 8), p->height = in[14] | (in[15] << 8);
  const size_t need = 18 + static_cast<size_t>(p->width) * p->height * 3;
  if (in.size() < need) return false;
  p->rgb.assign(static_cast<size_t>(p->width) * p->height, 0);
  const bool topDown = in[17] & 0x20;
  size_t at = 18;
  for (int row = 0; row < p->height; ++row) {
    const int y = topDown ? row : p->height - 1 - row;
    for (int x = 0; x < p->width; ++x, at += 3)
      p->rgb[static_cast<size_t>(y) * p->width + x] = in[at] | (in[at + 1] << 8) | (static_cast<uint32_t>(in[at + 2]) << 16);
  }
  return true;
}

inline void ExpectGolden(const Picture& actual, const std::string& name, int tolerance, const std::string& folder = "d3d") {
  const std::string path = std::string(TEEBOX_SOURCE_DIR) + "/tests/golden/" + folder + "/" + name + ".tga";
  if (const char* update = std::getenv("TEEBOX_UPDATE_GOLDEN"); update && std::string(update) == "1") {
    const std::vector<uint8_t> bytes = ToTga(actual);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return;
  }
  std::ifstream file(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  Picture golden;
  bool same = FromTga(bytes, &golden) && golden.width == actual.width && golden.height == actual.height;
  int worst = 0;
  for (size_t i = 0; same && i < actual.rgb.size(); ++i)
    for (int shift = 0; shift < 24; shift += 8) {
      const int d = std::abs(static_cast<int>((actual.rgb[i] >> shift) & 255) - static_cast<int>((golden.rgb[i] >> shift) & 255));
      worst = std::max(worst, d);
    }
  if (!same || worst > tolerance) {
    const std::vector<uint8_t> out = ToTga(actual);
    std::ofstream(name + ".actual.tga", std::ios::binary).write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    ADD_FAILURE() << "picture differs from " << path << " (worst channel difference " << worst << ", written " << name
                  << ".actual.tga)";
  }
}

}  // namespace d3dtest
