#include "movieenc.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "platformlib/movie/movie.h"
#include "platformlib/movie/moviecodes.inc"

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

// The orthonormal DCT of one 8 x 8 block; index u * 8 + v, u the horizontal and v the vertical frequency.
void forwarddct(const double* samples, double* coefficient) {
  // The cosines of every (position, frequency) pair, made once: the sums use the very same values.
  static const auto basis = [] {
    std::array<std::array<double, 8>, 8> b{};
    for (int k = 0; k < 8; ++k)
      for (int f = 0; f < 8; ++f) b[k][f] = std::cos((2 * k + 1) * f * M_PI / 16);
    return b;
  }();
  for (int u = 0; u < 8; ++u)
    for (int v = 0; v < 8; ++v) {
      double sum = 0;
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
          sum += samples[y * 8 + x] * basis[x][u] * basis[y][v];
      const double cu = u ? 1.0 : std::sqrt(0.5), cv = v ? 1.0 : std::sqrt(0.5);
      coefficient[u * 8 + v] = 0.25 * cu * cv * sum;
    }
}

// The AC coefficients' codes in scan order and the end code; escape holds run and level as the decoder reads them.
void putcoefficients(const double* coefficient, const int32_t* quant, BitWriter& out, bool framestyle) {
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
      out.put(framestyle ? static_cast<uint32_t>((level & 0x3FF) << 6 | run) : static_cast<uint32_t>(run * 1024 + (level & 0x3FF)), 16);
    }
    run = 0;
  }
  out.put(2, 2);  // end of block
}

// Samples of one 8 x 8 block (signed, in the 7-bit domain) to code words.
void encodeblock(const double* samples, const int32_t* quant, BitWriter& out) {
  double coefficient[64];
  forwarddct(samples, coefficient);
  const int dc = std::clamp(static_cast<int>(std::lround(coefficient[0])), -512, kDctEndDc - 1);
  out.put(static_cast<uint32_t>(dc) & 0x3FF, 10);
  putcoefficients(coefficient, quant, out, false);
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

std::vector<uint8_t> encodepicture(const uint8_t* rgb, int width, int height, int quality, bool columns) {
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
  const int blocks = (width / 16) * (height / 16);
  for (int k = 0; k < blocks; ++k) {
      const int across = width / 16, down = height / 16;
      const int mx = 16 * (columns ? k / down : k % across), my = 16 * (columns ? k % down : k / across);
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

uint32_t madchunkid(size_t index) {
  // A key frame every eighth; between them every other frame may be dropped.
  if (index % 8 == 0) return kMadKeyId;
  return index % 2 ? kMadDropId : kMadFrameId;
}

std::vector<uint8_t> encodemovie(const std::vector<std::vector<uint8_t>>& rgbframes, int width, int height,
                                 int quality, uint32_t rate) {
  std::vector<uint8_t> out;
  const uint32_t duration = static_cast<uint32_t>(100000.0 * 65536.0 / std::max<uint32_t>(rate, 1) + 0.5);
  for (size_t i = 0; i < rgbframes.size(); ++i) {
    const std::vector<uint8_t> coded = encodepicture(rgbframes[i].data(), width, height, quality);
    std::vector<uint8_t> data;
    put32(data, static_cast<uint32_t>(quality));
    put32(data, duration);
    put32(data, static_cast<uint32_t>(width) | static_cast<uint32_t>(height) << 16);
    put32(data, 0);
    data.insert(data.end(), coded.begin() + 4, coded.end());
    while (data.size() % 4) data.push_back(0);  // chunks stay 32-bit aligned
    appendchunk(out, madchunkid(i), data);
  }
  appendchunk(out, kMadEndId, {});
  return out;
}

std::vector<uint8_t> encodeshapeframe(const uint8_t* rgb, int width, int height, int quality, const uint8_t* previous) {
  dctsetquality(quality);
  int32_t quant[64];
  std::memcpy(quant, dctquanttable(), sizeof quant);
  // Target samples, 0..127: luminance, then Cb, then Cr at half size, as the decoder keeps them.
  const size_t lumas = static_cast<size_t>(width) * height, chromas = lumas / 4;
  std::vector<int> target(lumas + 2 * chromas);
  std::vector<double> cb(lumas), cr(lumas);
  for (size_t i = 0; i < lumas; ++i) {
    const double r = rgb[3 * i], g = rgb[3 * i + 1], b = rgb[3 * i + 2];
    const double y = 0.299 * r + 0.587 * g + 0.114 * b;
    target[i] = std::clamp(static_cast<int>(std::lround(y / 2)), 0, 127);
    cb[i] = (b - y) / 1.772;
    cr[i] = (r - y) / 1.402;
  }
  for (int y = 0; y < height / 2; ++y)
    for (int x = 0; x < width / 2; ++x) {
      const size_t i = static_cast<size_t>(2 * y) * width + 2 * x;
      const double mb = (cb[i] + cb[i + 1] + cb[i + width] + cb[i + width + 1]) / 4;
      const double mr = (cr[i] + cr[i + 1] + cr[i + width] + cr[i + width + 1]) / 4;
      target[lumas + static_cast<size_t>(y) * (width / 2) + x] = std::clamp(static_cast<int>(std::floor(mb / 2)) + 64, 0, 127);
      target[lumas + chromas + static_cast<size_t>(y) * (width / 2) + x] = std::clamp(static_cast<int>(std::floor(mr / 2)) + 64, 0, 127);
    }
  BitWriter out;
  for (int my = 0; my < height; my += 16)
    for (int mx = 0; mx < width; mx += 16)
      for (int b = 0; b < 6; ++b) {
        const size_t base = b == 0 ? lumas : b == 1 ? lumas + chromas : 0;
        const int stride = b < 2 ? width / 2 : width, planeheight = b < 2 ? height / 2 : height;
        const int bx = b < 2 ? mx / 2 : mx + ((b - 2) & 1) * 8, by = b < 2 ? my / 2 : my + ((b - 2) >> 1) * 8;
        int block[64];
        double mean = 0;
        for (int r = 0; r < 8; ++r)
          for (int k = 0; k < 8; ++k) mean += block[r * 8 + k] = target[base + static_cast<size_t>(by + r) * stride + bx + k];
        mean /= 64;
        if (previous) {
          // The previous frame, read in each pattern with the bias that fits best.
          int bestpattern = -1, bestbias = 0, besterror = 3;
          for (int pattern = 0; pattern < 3; ++pattern) {
            int predicted[64];
            double diff = 0;
            for (int r = 0; r < 8; ++r)
              for (int k = 0; k < 8; ++k) {
                const int x = bx + k, y = by + r;
                const int x2 = std::min(x + (pattern == 1), stride - 1), y2 = std::min(y + (pattern == 2), planeheight - 1);
                const int a = previous[base + static_cast<size_t>(y) * stride + x], c = previous[base + static_cast<size_t>(y2) * stride + x2];
                predicted[r * 8 + k] = (a + c + 1) >> 1;
                diff += block[r * 8 + k] - predicted[r * 8 + k];
              }
            const int bias = std::clamp(static_cast<int>(std::lround(diff / 64)), -128, 127);
            int error = 0;
            for (int i = 0; i < 64; ++i) error = std::max(error, std::abs(std::clamp(predicted[i] + bias, 0, 127) - block[i]));
            if (error < besterror) besterror = error, bestpattern = pattern, bestbias = bias;
          }
          if (bestpattern == 0 && bestbias == 0) {
            out.put(kFrameBlockSame, 2);
            continue;
          }
          if (bestpattern >= 0) {
            out.put(kFrameBlockCopy, 2);
            out.put(static_cast<uint32_t>(bestpattern), 2);
            out.put(static_cast<uint32_t>(bestbias) & 0xFF, 8);
            continue;
          }
        }
        const int constant = static_cast<int>(std::lround(mean));
        if (std::all_of(block, block + 64, [&](int v) { return std::abs(v - constant) <= 1; })) {
          out.put(kFrameBlockConstant, 2);
          out.put(static_cast<uint32_t>(constant - 64) & 0xFF, 8);
          continue;
        }
        out.put(kFrameBlockCoded, 2);
        double samples[64], coefficient[64];
        for (int i = 0; i < 64; ++i) samples[i] = block[i] - 64 + 0.5;  // rows keep bits 16-23: round here
        forwarddct(samples, coefficient);
        // The DC value is twice the mean sample in this form.
        out.put(static_cast<uint32_t>(std::clamp(static_cast<int>(std::lround(coefficient[0] / 4)), -128, 127)) & 0xFF, 8);
        putcoefficients(coefficient, quant, out, true);
      }
  out.flush();
  std::vector<uint8_t> data;
  for (int v : {width, height, quality, 0}) {
    data.push_back(static_cast<uint8_t>(v));
    data.push_back(static_cast<uint8_t>(v >> 8));
  }
  for (uint16_t w : out.words) {
    data.push_back(static_cast<uint8_t>(w));
    data.push_back(static_cast<uint8_t>(w >> 8));
  }
  return data;
}

void yuvtorgb(int y7, int cb7, int cr7, uint8_t rgb[3]) {
  const double y = y7 * 2.0, cb = (cb7 - 64 + 0.5) * 2.0, cr = (cr7 - 64 + 0.5) * 2.0;
  const double c[3] = {y + 1.402 * cr, y - 0.3441 * cb - 0.7141 * cr, y + 1.772 * cb};
  for (int i = 0; i < 3; ++i) rgb[i] = static_cast<uint8_t>(std::clamp(std::lround(c[i]), 0L, 255L));
}

}  // namespace movietools
