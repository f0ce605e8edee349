// Frames of the streamed shape movies: intra blocks coded like the movie pictures but read through a 9-bit
// first-level table, constant blocks, and blocks copied from the previous frame.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platformlib/movie/movie.h"
#include "platformlib/movie/moviecodes.inc"

namespace {

uint32_t firstlevel[512], longfirst[256], longsecond[256];
bool framebuilt = false;
int32_t framequant[64];

uint32_t packentry(int level, int run, int length) {
  return static_cast<uint32_t>(level & 0x3FF) << 22 | static_cast<uint32_t>(run & 0x3F) << 16 | static_cast<uint32_t>(length);
}

void fill(uint32_t* table, int indexbits, uint32_t bits, int length, uint32_t entry) {
  const uint32_t first = bits << (indexbits - length);
  for (uint32_t i = 0; i < (1u << (indexbits - length)); ++i) table[first + i] = entry;
}

void buildframetables() {
  if (framebuilt) return;
  std::fill(std::begin(firstlevel), std::end(firstlevel), 0u);
  std::fill(std::begin(longfirst), std::end(longfirst), 0u);
  std::fill(std::begin(longsecond), std::end(longsecond), 0u);
  firstlevel[0] = 15;
  for (int i = 1; i < 8; ++i) firstlevel[i] = 31;
  for (int i = 8; i < 16; ++i) firstlevel[i] = 47;
  for (int i = 256; i < 384; ++i) firstlevel[i] = 63;
  for (const MovieCode& code : kMovieCodes)
    for (int sign = 0; sign < 2; ++sign) {
      const int length = code.length + 1;
      const uint32_t bits = code.bits << 1 | static_cast<uint32_t>(sign);
      const int level = sign ? -code.level : code.level;
      const int zeros = length - 32 + __builtin_clz(bits);  // leading zero bits of the code
      if (zeros < 6) fill(firstlevel, 9, bits, length, packentry(level, code.run, length));
      else if (zeros < 9) fill(longfirst, 8, bits & ((1u << (length - 6)) - 1), length - 6, packentry(level, code.run, length - 6));
      else fill(longsecond, 8, bits & ((1u << (length - 9)) - 1), length - 9, packentry(level, code.run, length - 9));
    }
  framebuilt = true;
}

// The frame's bit reader: a 32-bit window taken from the top, refilled 16 bits at a time; past the end of the
// data it reads zeros and notes the overrun.
struct FrameBits {
  const uint16_t* words = nullptr;
  size_t count = 0, next = 0;
  uint32_t window = 0;
  int valid = 0;  // bits in the window
  bool overrun = false;
  void refill() {
    while (valid <= 16) {
      const uint32_t w = next < count ? words[next] : 0;
      if (next >= count) overrun = true;
      ++next;
      window |= w << (16 - valid);
      valid += 16;
    }
  }
  uint32_t top(int n) const { return window >> (32 - n); }
  bool drop(int n) {
    if (n > valid) return false;
    window = n == 32 ? 0 : window << n;
    valid -= n;
    refill();
    return true;
  }
  // Overran means the block used bits beyond the data.
  bool exhausted() const { return overrun && static_cast<int64_t>(next) * 16 - valid > static_cast<int64_t>(count) * 16; }
} bits;

struct Planes {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> samples;  // luminance, then Cb, then Cr
} planes;

uint8_t clamp7(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 127)); }

}  // namespace

const uint32_t* moviecodetables(int which) {
  buildframetables();
  return which == 0 ? firstlevel : which == 1 ? longfirst : longsecond;
}

const int32_t* movieframequant() { return framequant; }

void dctframebegin(const uint16_t* words, size_t count, int32_t quality) {
  buildframetables();
  bits = FrameBits{};
  bits.words = words;
  bits.count = count;
  bits.refill();
  for (int i = 0; i < 64; ++i) {
    const int64_t scale = dctprescale(i);
    const int64_t product = i == 0 ? static_cast<int64_t>(kDctIntraMatrix[0]) * 32768 * scale
                                   : static_cast<int64_t>(kDctIntraMatrix[i]) * quality * 4096 * scale;
    framequant[i] = static_cast<int32_t>(std::clamp<int64_t>((product + 0x8000) >> 16, INT32_MIN, INT32_MAX));
  }
}

int moviedecodeblock() {
  int32_t* c = dctcoefficients();
  std::memset(c, 0, 64 * sizeof(int32_t));
  c[0] = static_cast<int32_t>(static_cast<int64_t>(static_cast<int8_t>(bits.top(8))) * framequant[0]);
  bits.drop(8);
  int p = 1;
  for (;;) {
    uint32_t entry = firstlevel[bits.top(9)];
    const uint32_t cls = entry & 0xFF;
    if (cls >= 48) {
      bits.drop(2);
      break;
    }
    if (cls >= 32) {
      bits.drop(6);
      const uint32_t v = bits.top(16);
      entry = packentry(static_cast<int>(v >> 6), static_cast<int>(v & 63), 16);
    } else if (cls >= 16) {
      bits.drop(6);
      entry = longfirst[bits.top(8)];
    } else if (cls >= 10) {
      bits.drop(9);
      entry = longsecond[bits.top(8)];
    }
    const int length = static_cast<int>(entry & 0xFF);
    if (length == 0) return -1;  // no such code
    bits.drop(length);
    const int level = static_cast<int32_t>(entry) >> 22;
    p += static_cast<int>((entry >> 16) & 0x3F);
    if (p > 63) return -1;  // runs past the end of the block
    const int index = kDctScan[p];
    c[index] = static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(level) * framequant[index]));
    ++p;
  }
  if (bits.exhausted()) return -1;
  return p;
}

void moviepackpixels(const uint8_t* first, const uint8_t* plane2, uint32_t* output) {
  for (int i = 0; i < 8; ++i)
    output[i] = static_cast<uint32_t>(plane2[i]) | static_cast<uint32_t>(plane2[256 + i]) << 8 |
                static_cast<uint32_t>(first[2 * i + 1]) << 16 | static_cast<uint32_t>(first[2 * i]) << 24;
}

const uint8_t* movieframeplanes() { return planes.samples.data(); }

void movieframereset() { planes = Planes{}; }

int dctframedecode(PixelPair* destination, const uint8_t* data, size_t bytes, int32_t width, int32_t height) {
  if (!destination || !data || bytes < 8 || width <= 0 || height <= 0 || width % 16 || height % 16) return -1;
  const int32_t fw = data[0] | data[1] << 8, fh = data[2] | data[3] << 8, quality = data[4] | data[5] << 8;
  if (fw != width || fh != height || quality > 255) return -1;
  if (planes.width != width || planes.height != height) {
    planes.width = width;
    planes.height = height;
    planes.samples.assign(static_cast<size_t>(width) * height * 3 / 2, 64);
  }
  std::vector<uint16_t> words((bytes - 8) / 2);
  for (size_t i = 0; i < words.size(); ++i) words[i] = static_cast<uint16_t>(data[8 + 2 * i] | data[9 + 2 * i] << 8);
  dctframebegin(words.data(), words.size(), quality);
  const std::vector<uint8_t> previous = planes.samples;
  uint8_t* const luma = planes.samples.data();
  uint8_t* const cb = luma + static_cast<size_t>(width) * height;
  uint8_t* const cr = cb + static_cast<size_t>(width / 2) * (height / 2);
  const size_t chromaoffset = static_cast<size_t>(cb - luma), cradd = static_cast<size_t>(cr - cb);
  // Working storage: 16 x 16 luminance, Cb at 256 and Cr at 512 (8 x 8 each, row stride 8), so that the two
  // colour planes lie 256 bytes apart.
  uint8_t work[768];
  int32_t out[64];
  for (int32_t my = 0; my < height; my += 16)
    for (int32_t mx = 0; mx < width; mx += 16) {
      for (int b = 0; b < 6; ++b) {
        // Where the block lies in the planes.
        uint8_t* plane;
        const uint8_t* before;
        int32_t stride, bx, by;
        uint8_t* w;
        int wstride;
        if (b < 2) {
          plane = b == 0 ? cb : cr;
          before = previous.data() + chromaoffset + (b == 0 ? 0 : cradd);
          stride = width / 2;
          bx = mx / 2;
          by = my / 2;
          w = work + 256 + 256 * b;
          wstride = 8;
        } else {
          plane = luma;
          before = previous.data();
          stride = width;
          bx = mx + ((b - 2) & 1) * 8;
          by = my + ((b - 2) >> 1) * 8;
          w = work + ((b - 2) >> 1) * 128 + ((b - 2) & 1) * 8;
          wstride = 16;
        }
        const int32_t planeheight = b < 2 ? height / 2 : height;
        const int mode = static_cast<int>(bits.top(2));
        bits.drop(2);
        if (mode == kFrameBlockCoded) {
          const int count = moviedecodeblock();
          if (count < 0) return -1;
          if (count == 1) {
            std::fill(std::begin(out), std::end(out), dctcoefficients()[0]);
          } else {
            dctidct(out, 8);
          }
          const uint8_t* clamp = dctclamptable();
          for (int r = 0; r < 8; ++r)
            for (int k = 0; k < 8; ++k) w[r * wstride + k] = clamp[(static_cast<uint32_t>(out[r * 8 + k]) >> 16) & 0xFF];
        } else if (mode == kFrameBlockConstant) {
          const uint8_t value = clamp7(static_cast<int8_t>(bits.top(8)) + 64);
          bits.drop(8);
          for (int r = 0; r < 8; ++r) std::memset(w + r * wstride, value, 8);
        } else {
          int pattern = kCopyStraight, bias = 0;
          if (mode == kFrameBlockCopy) {
            pattern = static_cast<int>(bits.top(2));
            bits.drop(2);
            bias = static_cast<int8_t>(bits.top(8));
            bits.drop(8);
            if (pattern > kCopyHalfDown) return -1;
          }
          for (int r = 0; r < 8; ++r)
            for (int k = 0; k < 8; ++k) {
              const int32_t x = bx + k, y = by + r;
              const int32_t x2 = std::min(x + (pattern == kCopyHalfRight ? 1 : 0), stride - 1);
              const int32_t y2 = std::min(y + (pattern == kCopyHalfDown ? 1 : 0), planeheight - 1);
              const int a = before[static_cast<size_t>(y) * stride + x], c = before[static_cast<size_t>(y2) * stride + x2];
              w[r * wstride + k] = clamp7(((a + c + 1) >> 1) + bias);
            }
        }
        if (bits.exhausted()) return -1;
        for (int r = 0; r < 8; ++r) std::memcpy(plane + static_cast<size_t>(by + r) * stride + bx, w + r * wstride, 8);
      }
      for (int r = 0; r < 16; ++r)
        moviepackpixels(work + r * 16, work + 256 + (r / 2) * 8,
                        destination + static_cast<size_t>(my + r) * (width / 2) + mx / 2);
    }
  return 0;
}
