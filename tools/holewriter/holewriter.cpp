#include "holewriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace holewriter {
namespace {

void put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(v >> (8 * k)));
}
void put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

uint32_t levelSize(uint32_t n, uint32_t step) { return n == 0 ? 0 : (n - 1) / step + 1; }

std::vector<uint8_t> encodeHeader(const HoleDescription& h) {
  const char* magic = h.version == 10 ? "VAVODU HOLE V1.0" : h.version == 12 ? "VAVODU HOLE V1.2" : "VAVODU HOLE V1.1";
  std::vector<uint8_t> out(reinterpret_cast<const uint8_t*>(magic), reinterpret_cast<const uint8_t*>(magic) + 16);
  put32(out, h.width);
  put32(out, h.depth);
  put32(out, h.objectBound);
  const int tees = h.version == 12 ? 4 : 3;
  for (int k = 0; k < tees; ++k) put32(out, h.teeStart[k]);
  for (uint32_t m : h.markers) put32(out, m);
  for (uint32_t p : h.pins) put32(out, p);
  return out;
}

void putCell(std::vector<uint8_t>& out, const HoleDescription& h, size_t i) {
  put16(out, i < h.tiles.size() ? h.tiles[i] : 0);
  out.push_back(i < h.surfaces.size() ? h.surfaces[i] : 0);
  out.push_back(i < h.codes.size() ? h.codes[i] : 0);
}

std::vector<uint8_t> encodeLevel(const HoleDescription& h, uint32_t step) {
  std::vector<uint8_t> out;
  const uint32_t cols = levelSize(h.width, step), rows = levelSize(h.depth, step);
  for (uint32_t r = 0; r < rows; ++r)
    for (uint32_t c = 0; c < cols; ++c) {
      // Each coarse cell takes its surface and tile from the first full cell it covers; no codes.
      const size_t i = h.index(c * step, r * step);
      put16(out, i < h.tiles.size() ? h.tiles[i] : 0);
      out.push_back(i < h.surfaces.size() ? h.surfaces[i] : 0);
      out.push_back(0);
    }
  return out;
}

}  // namespace

HoleDescription FlatHole(uint32_t width, uint32_t depth, uint8_t surface) {
  HoleDescription h;
  h.width = width;
  h.depth = depth;
  const size_t n = static_cast<size_t>(width) * depth;
  h.heights.assign(n, 0.0f);
  h.surfaces.assign(n, static_cast<uint8_t>(surface << 4));
  h.tiles.assign(n, 0);
  h.codes.assign(n, 0);
  return h;
}

std::vector<uint8_t> EncodeRunMask(const bool marked[256]) {
  std::vector<uint8_t> out;
  int p = 0;
  while (p < 256) {
    const bool m = marked[p];
    int len = 0;
    while (p + len < 256 && marked[p + len] == m && len < 127) ++len;
    out.push_back(static_cast<uint8_t>((m ? 0x80 : 0) | len));
    p += len;
  }
  return out;
}

uint32_t AddRunMask(HoleDescription& hole, const bool marked[256]) {
  const uint32_t offset = static_cast<uint32_t>(hole.runMasks.size());
  const std::vector<uint8_t> runs = EncodeRunMask(marked);
  hole.runMasks.insert(hole.runMasks.end(), runs.begin(), runs.end());
  return offset;
}

std::vector<HoleFile> EncodeHole(const HoleDescription& h) {
  std::vector<HoleFile> files;
  files.push_back({".MIS", encodeHeader(h)});
  const size_t n = static_cast<size_t>(h.width) * h.depth;
  HoleFile heights{".QZH", {}};
  heights.bytes.reserve(n * 4);
  for (size_t i = 0; i < n; ++i) {
    const double v = i < h.heights.size() ? h.heights[i] : 0.0;
    put32(heights.bytes, static_cast<uint32_t>(static_cast<int32_t>(std::lround(v * 65536.0))));
  }
  files.push_back(std::move(heights));
  HoleFile cells{".QF1", {}};
  cells.bytes.reserve(n * 4);
  for (size_t i = 0; i < n; ++i) putCell(cells.bytes, h, i);
  files.push_back(std::move(cells));
  files.push_back({".QF2", encodeLevel(h, 2)});
  files.push_back({".QF4", encodeLevel(h, 4)});
  files.push_back({".QF8", encodeLevel(h, 8)});
  HoleFile tiles{".QMD", {}};
  for (const DetailTile& t : h.detailTiles) {
    tiles.bytes.push_back(t.primary);
    tiles.bytes.push_back(t.secondary);
    put16(tiles.bytes, t.maskPair);
    put32(tiles.bytes, t.shadow);
  }
  files.push_back(std::move(tiles));
  HoleFile pairs{".QMT", {}};
  for (const MaskPair& p : h.maskPairs) {
    put32(pairs.bytes, p.primaryOffset);
    put32(pairs.bytes, p.secondaryOffset);
  }
  files.push_back(std::move(pairs));
  files.push_back({".QMB", h.runMasks});
  files.push_back({".QM2", h.rendererBlock});
  return files;
}

bool WriteHole(const HoleDescription& hole, const std::string& base) {
  for (const HoleFile& f : EncodeHole(hole)) {
    const std::string path = base + f.extension;
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    const bool ok = f.bytes.empty() || std::fwrite(f.bytes.data(), 1, f.bytes.size(), out) == f.bytes.size();
    if (std::fclose(out) != 0 || !ok) return false;
  }
  return true;
}

HoleDescription DemoHole(uint32_t width, uint32_t depth, uint32_t seed) {
  HoleDescription h = FlatHole(width, depth, 2);  // rough
  h.version = 12;
  uint32_t state = seed ? seed : 1;
  auto rnd = [&state]() {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) & 0xFFFF;
  };
  const float phase = static_cast<float>(rnd() % 628) / 100.0f;
  const uint32_t midC = width / 2;
  for (uint32_t r = 0; r < depth; ++r)
    for (uint32_t c = 0; c < width; ++c) {
      const size_t i = h.index(c, r);
      h.heights[i] = 2.0f * std::sin(c * 0.07f + phase) + 1.5f * std::cos(r * 0.05f) + r * 0.01f;
      const int dc = static_cast<int>(c) - static_cast<int>(midC);
      if (std::abs(dc) < static_cast<int>(width / 8 + 2)) h.surfaces[i] = 0x10;  // fairway
    }
  // Green near the far end, a pond on one side.
  const uint32_t greenR = depth - depth / 8, pondC = width / 5, pondR = depth / 2;
  for (uint32_t r = 0; r < depth; ++r)
    for (uint32_t c = 0; c < width; ++c) {
      const float dg = std::hypot(static_cast<float>(c) - midC, static_cast<float>(r) - greenR);
      const float dp = std::hypot(static_cast<float>(c) - pondC, static_cast<float>(r) - pondR);
      const size_t i = h.index(c, r);
      if (dg < width / 12.0f + 2) h.surfaces[i] = 0x70;
      if (dp < width / 16.0f + 1) {
        h.surfaces[i] = 0x50;
        h.heights[i] = -1.0f;
      }
    }
  // A detail tile with a bunker lip on half the fairway cells next to the green.
  bool mask[256];
  for (int k = 0; k < 256; ++k) mask[k] = (k / 16) < 8;
  h.maskPairs.push_back({AddRunMask(h, mask), 0});
  h.detailTiles.push_back({3, 0, 0});
  for (uint32_t c = 0; c < width; c += 3) h.tiles[h.index(c, greenR > 4 ? greenR - 4 : 0)] = 1;
  // Tee sets at the near end, pins on the green, objects along the sides.
  const uint8_t teeCodes[4] = {80, 81, 82, 91};
  for (int k = 0; k < 4; ++k) h.codes[h.index(midC + k - 2 + (k > 1 ? 1 : 0), 2 + k)] = teeCodes[k];
  for (int k = 0; k < 4; ++k) h.codes[h.index(midC - 2 + k * 1 + (k > 1 ? 1 : 0), greenR)] = static_cast<uint8_t>(83 + k);
  for (uint32_t r = 6; r + 6 < depth; r += std::max<uint32_t>(8, depth / 16)) {
    h.codes[h.index(2 + rnd() % 4, r)] = static_cast<uint8_t>(1 + rnd() % 30);
    h.codes[h.index(width - 3 - rnd() % 4, r)] = static_cast<uint8_t>(1 + rnd() % 30);
  }
  h.objectBound = 31;
  h.rendererBlock.assign(16, 0);
  return h;
}

}  // namespace holewriter
