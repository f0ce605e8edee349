#include "movieenc.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platformlib/movie.h"
#include "platformlib/moviecodes.inc"

namespace movietools {
namespace {

struct BitWriter {
  std::vector<uint16_t> words;
  uint32_t current = 0;
  int used = 0;
  void put(uint32_t bits, int count) {
    for (int i = count - 1; i >= 0; --i) {
      current = (current << 1) | ((bits >> i) & 1u);
      if (++used == 16) {
        words.push_back(static_cast<uint16_t>(current));
        current = 0;
        used = 0;
      }
    }
  }
  void flush() {
    if (used) put(0, 16 - used);
  }
};

double scale(int k) { return k ? std::sqrt(2.0) * std::cos(k * M_PI / 16) : 1.0; }

// Samples of one 8 x 8 block (signed, in the 7-bit domain) to code words.
void encodeblock(const double* samples, const int32_t* quant, BitWriter& out) {
  double coefficient[64];  // index u * 8 + v: u horizontal, v vertical frequency
  for (int u = 0; u < 8; ++u)
    for (int v = 0; v < 8; ++v) {
      double sum = 0;
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
          sum += samples[y * 8 + x] * std::cos((2 * x + 1) * u * M_PI / 16) * std::cos((2 * y + 1) * v * M_PI / 16);
      const double cu = u ? 1.0 : std::sqrt(0.5), cv = v ? 1.0 : std::sqrt(0.5);
      coefficient[u * 8 + v] = 0.25 * cu * cv * sum;
    }
  const int dc = std::clamp(static_cast<int>(std::lround(coefficient[0])), -512, kDctEndDc - 1);
  out.put(static_cast<uint32_t>(dc) & 0x3FF, 10);
  int run = 0;
  for (int p = 1; p < 64; ++p) {
    const int index = kDctScan[p];
    const double wanted = coefficient[index] * 8192.0 * scale(index >> 3) * scale(index & 7);
    const int level = quant[index] > 0 ? std::clamp(static_cast<int>(std::lround(wanted / quant[index])), -511, 511) : 0;
    if (level == 0) {
      ++run;
      continue;
    }
    const MovieCode* code = nullptr;
    for (const MovieCode& c : kMovieCodes)
      if (c.run == run && c.level == std::abs(level)) code = &c;
    if (code) {
      out.put(code->bits, code->length);
      out.put(level < 0 ? 1 : 0, 1);
    } else {
      out.put(1, 6);  // escape
      out.put(static_cast<uint32_t>(run * 1024 + (level & 0x3FF)), 16);
    }
    run = 0;
  }
  out.put(2, 2);  // end of block
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

std::vector<uint8_t> encodepicture(const uint8_t* rgb, int width, int height, int quality) {
  dctsetquality(quality);
  int32_t quant[64];
  std::memcpy(quant, dctquanttable(), sizeof quant);
  std::vector<double> luma(static_cast<size_t>(width) * height), cb(luma.size()), cr(luma.size());
  for (size_t i = 0; i < luma.size(); ++i) {
    const double r = rgb[3 * i], g = rgb[3 * i + 1], b = rgb[3 * i + 2];
    const double y = 0.299 * r + 0.587 * g + 0.114 * b;
    luma[i] = y;
    cb[i] = (b - y) / 1.772;
    cr[i] = (r - y) / 1.402;
  }
  BitWriter out;
  double block[64];
  for (int my = 0; my < height; my += 16)
    for (int mx = 0; mx < width; mx += 16) {
      for (const std::vector<double>* plane : {&cb, &cr}) {
        for (int y = 0; y < 8; ++y)
          for (int x = 0; x < 8; ++x) {
            double sum = 0;
            for (int dy = 0; dy < 2; ++dy)
              for (int dx = 0; dx < 2; ++dx)
                sum += (*plane)[static_cast<size_t>(my + 2 * y + dy) * width + mx + 2 * x + dx];
            block[y * 8 + x] = sum / 8.0;  // mean / 2; the colour tables add the half back
          }
        encodeblock(block, quant, out);
      }
      for (int b = 0; b < 4; ++b) {
        const int bx = mx + (b & 1) * 8, by = my + (b >> 1) * 8;
        for (int y = 0; y < 8; ++y)
          for (int x = 0; x < 8; ++x) block[y * 8 + x] = luma[static_cast<size_t>(by + y) * width + bx + x] / 2.0 - 63.5;  // rows keep bits 16-23, so round here
        encodeblock(block, quant, out);
      }
    }
  out.put(kDctEndDc, 10);
  out.flush();
  std::vector<uint8_t> data;
  put32(data, static_cast<uint32_t>(quality));
  for (uint16_t w : out.words) {
    data.push_back(static_cast<uint8_t>(w));
    data.push_back(static_cast<uint8_t>(w >> 8));
  }
  return data;
}

void appendchunk(std::vector<uint8_t>& out, uint32_t id, const std::vector<uint8_t>& data) {
  put32(out, id);
  put32(out, static_cast<uint32_t>(data.size() + 8));
  out.insert(out.end(), data.begin(), data.end());
}

std::vector<uint8_t> encodemovie(const std::vector<std::vector<uint8_t>>& rgbframes, int width, int height,
                                 int quality, uint32_t rate) {
  std::vector<uint8_t> out, header;
  put32(header, static_cast<uint32_t>(width));
  put32(header, static_cast<uint32_t>(height));
  put32(header, static_cast<uint32_t>(rgbframes.size()));
  put32(header, rate);
  appendchunk(out, kMadHeaderId, header);
  for (const auto& frame : rgbframes) {
    std::vector<uint8_t> coded = encodepicture(frame.data(), width, height, quality);
    while (coded.size() % 4) coded.push_back(0);  // chunks stay 32-bit aligned
    appendchunk(out, kMadFrameId, coded);
  }
  appendchunk(out, kMadEndId, {});
  return out;
}

void yuvtorgb(int y7, int cb7, int cr7, uint8_t rgb[3]) {
  const double y = y7 * 2.0, cb = (cb7 - 64 + 0.5) * 2.0, cr = (cr7 - 64 + 0.5) * 2.0;
  const double c[3] = {y + 1.402 * cr, y - 0.3441 * cb - 0.7141 * cr, y + 1.772 * cb};
  for (int i = 0; i < 3; ++i) rgb[i] = static_cast<uint8_t>(std::clamp(std::lround(c[i]), 0L, 255L));
}

}  // namespace movietools
