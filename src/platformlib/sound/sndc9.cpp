// Compression 9: a small predictive speech-style codec of our own (tables in docs/formats.md). A coded frame
// gives 432 samples: twelve spectral parameters for a 12th-order all-pole filter, and four subframes of 108
// samples of excitation, each a pitch repeat plus pulses.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "platformlib/sound/sndmix.h"

namespace {

constexpr int kOrder = 12;
constexpr int kSub = 108;
constexpr int kHistory = 216;

const uint32_t kMasks[33] = {
    0x0,        0x1,        0x3,        0x7,        0xF,         0x1F,        0x3F,        0x7F,       0xFF,
    0x1FF,      0x3FF,      0x7FF,      0xFFF,      0x1FFF,      0x3FFF,      0x7FFF,      0xFFFF,     0x1FFFF,
    0x3FFFF,    0x7FFFF,    0xFFFFF,    0x1FFFFF,   0x3FFFFF,    0x7FFFFF,    0xFFFFFF,    0x1FFFFFF,  0x3FFFFFF,
    0x7FFFFFF,  0xFFFFFFF,  0x1FFFFFFF, 0x3FFFFFFF, 0x7FFFFFFF,  0xFFFFFFFF};

// Variable-length pulse code, looked up by the next 8 bits (least significant first): n ones then a zero is a
// level of n (n = 0..6) followed by its sign bit (none for 0); seven ones and a zero is a run of zero pulses;
// eight ones is an escape to a large level.
enum : uint8_t { kLevel, kRun, kEscape };
struct VlcEntry {
  uint8_t kind, bits;
  int8_t level;
};
struct VlcTable {
  VlcEntry entries[256];
  VlcTable() {
    for (int v = 0; v < 256; ++v) {
      const int ones = std::countr_one(static_cast<unsigned>(v));
      if (ones >= 8) {
        entries[v] = {kEscape, 8, 0};
      } else if (ones == 7) {
        entries[v] = {kRun, 8, 0};
      } else if (ones == 0) {
        entries[v] = {kLevel, 1, 0};
      } else {
        const bool negative = (v >> (ones + 1)) & 1;
        entries[v] = {kLevel, static_cast<uint8_t>(ones + 2), static_cast<int8_t>(negative ? -ones : ones)};
      }
    }
  }
};
const VlcTable kVlc;

const float kHalfBand[3] = {0.59738597f, -0.11459156f, 0.01803268f};

}  // namespace

struct C9Decoder {
  const uint8_t* data;
  size_t bytes, next;
  uint32_t reservoir;
  int bits;      // bits in the reservoir
  int realbits;  // of those, bits that came from the data
  int phaseflag;
  int ternarybelow;  // pulses are ternary while the frame's first field is below this
  float amplitude[64];
  float mean[kOrder];
  float previous[kOrder];
  float filter[kOrder];  // last outputs, newest first
  float excitation[kHistory + C9FRAME];
};

namespace {

// Bytes go into the reservoir least significant bit first; past the data it fills with zero bits.
void refill(C9Decoder* d) {
  while (d->bits <= 24) {
    uint32_t byte = 0;
    if (d->next < d->bytes) {
      byte = d->data[d->next++];
      d->realbits += 8;
    }
    d->reservoir |= byte << d->bits;
    d->bits += 8;
  }
}

uint32_t peek(C9Decoder* d, int n) {
  if (d->bits < n) refill(d);
  return d->reservoir & kMasks[n];
}

void skip(C9Decoder* d, int n) {
  d->reservoir >>= n;
  d->bits -= n;
  d->realbits = std::max(d->realbits - n, 0);
  if (d->bits < 8) refill(d);
}

uint32_t getbits(C9Decoder* d, int n) {
  const uint32_t v = peek(d, n);
  skip(d, n);
  return v;
}

}  // namespace

float c9spectral(int field, uint32_t index) {
  // Four 6-bit fields over -2..2, eight 5-bit fields over -1..1, in steps of 1/16.
  return field < 4 ? (static_cast<float>(index) - 32.0f) * 0.0625f : (static_cast<float>(index) - 16.0f) * 0.0625f;
}

// Reflection coefficients from parameters, then the direct-form coefficients by the step-up recursion.
void c9coefficients(const float* params, float* a) {
  float k[kOrder];
  for (int i = 0; i < kOrder; ++i) k[i] = params[i] / std::sqrt(1.0f + params[i] * params[i]);
  float tmp[kOrder];
  for (int m = 0; m < kOrder; ++m) {
    for (int i = 0; i < m; ++i) tmp[i] = a[i] + k[m] * a[m - 1 - i];
    for (int i = 0; i < m; ++i) a[i] = tmp[i];
    a[m] = k[m];
  }
}

namespace {

void readpulses(C9Decoder* d, bool ternary, float* pulses, int count) {
  int i = 0;
  while (i < count) {
    if (ternary) {
      if (getbits(d, 1) == 0) {
        pulses[i++] = 0.0f;
      } else {
        pulses[i++] = getbits(d, 1) ? 2.0f : -2.0f;
      }
      continue;
    }
    const VlcEntry e = kVlc.entries[peek(d, 8)];
    skip(d, e.bits);
    if (e.kind == kLevel) {
      pulses[i++] = static_cast<float>(e.level);
    } else if (e.kind == kRun) {
      int run = 7 + static_cast<int>(getbits(d, 6));
      while (run-- > 0 && i < count) pulses[i++] = 0.0f;
    } else {
      int level = 7;
      while (level < 31 && getbits(d, 1)) ++level;
      pulses[i++] = getbits(d, 1) ? -static_cast<float>(level) : static_cast<float>(level);
    }
  }
}

}  // namespace

size_t c9statesize() { return sizeof(C9Decoder); }
static_assert(sizeof(C9Decoder) + 2048 <= CODECSTATEBYTES, "the compression-9 state fits a voice's codec area");

void c9start(C9Decoder* d, const uint8_t* data, size_t bytes) {
  std::memset(d, 0, sizeof *d);
  d->data = data;
  d->bytes = data ? bytes : 0;
  refill(d);
  d->phaseflag = static_cast<int>(getbits(d, 1));
  d->ternarybelow = 32 - static_cast<int>(getbits(d, 4));
  const float scale = static_cast<float>(getbits(d, 4) + 1) * 8.0f;
  const float factor = static_cast<float>(getbits(d, 6)) * 0.001f + 1.04f;
  d->amplitude[0] = scale;
  for (int i = 1; i < 64; ++i) d->amplitude[i] = d->amplitude[i - 1] * factor;
}

void c9continue(C9Decoder* d, const uint8_t* data, size_t bytes) {
  d->data = data;
  d->bytes = data ? bytes : 0;
  d->next = 0;
  d->reservoir = 0;
  d->bits = d->realbits = 0;
  refill(d);
}

int c9decodeframe(C9Decoder* d, float* out) {
  // A frame's spectral fields alone take 64 bits: fewer left is padding (chunks are padded to 4 bytes), not a frame.
  if (static_cast<uint64_t>(d->realbits) + 8 * static_cast<uint64_t>(d->bytes - d->next) < 64) {
    std::fill(out, out + C9FRAME, 0.0f);
    return 0;
  }
  float params[kOrder];
  uint32_t first = 0;
  for (int i = 0; i < kOrder; ++i) {
    const uint32_t index = getbits(d, i < 4 ? 6 : 5);
    if (i == 0) first = index;
    params[i] = std::clamp(d->mean[i] + c9spectral(i, index), -4.0f, 4.0f);
    d->mean[i] = d->mean[i] * 0.75f + params[i] * 0.25f;
  }
  const bool ternary = static_cast<int>(first) < d->ternarybelow;

  float* exc = d->excitation;
  for (int sub = 0; sub < 4; ++sub) {
    const int base = kHistory + sub * kSub;
    const int lag = std::min(static_cast<int>(getbits(d, 8)) + 20, kHistory);
    const float gain = static_cast<float>(getbits(d, 4)) * 0.0625f;
    const float amp = d->amplitude[getbits(d, 6)];
    int phase = 0, half = 0;
    if (d->phaseflag) {
      phase = static_cast<int>(getbits(d, 1));
      half = static_cast<int>(getbits(d, 1));
    }
    float pulses[kSub] = {};
    if (half) {
      float grid[kSub / 2];
      readpulses(d, ternary, grid, kSub / 2);
      for (int i = 0; i < kSub / 2; ++i) pulses[phase + 2 * i] = grid[i];
      // The missing samples by half-band interpolation of their neighbours on the grid.
      for (int n = 1 - phase; n < kSub; n += 2) {
        float v = 0.0f;
        for (int t = 0; t < 3; ++t) {
          const int o = 2 * t + 1;
          const float l = n - o >= 0 ? pulses[n - o] : 0.0f, r = n + o < kSub ? pulses[n + o] : 0.0f;
          v += kHalfBand[t] * (l + r);
        }
        pulses[n] = v;
      }
    } else {
      readpulses(d, ternary, pulses, kSub);
    }
    for (int n = 0; n < kSub; ++n) {
      const float v = amp * pulses[n] + gain * exc[base + n - lag];
      exc[base + n] = std::clamp(v, -1.0e8f, 1.0e8f);
    }
  }

  // Parameters move from the last frame's to this frame's in four steps of 12, 12, 12 and 396 samples.
  int n = 0;
  for (int step = 1; step <= 4; ++step) {
    float p[kOrder], a[kOrder] = {};
    const float t = static_cast<float>(step) * 0.25f;
    for (int i = 0; i < kOrder; ++i) p[i] = d->previous[i] + (params[i] - d->previous[i]) * t;
    c9coefficients(p, a);
    const int end = step < 4 ? n + 12 : C9FRAME;
    for (; n < end; ++n) {
      float y = exc[kHistory + n];
      for (int i = 0; i < kOrder; ++i) y -= a[i] * d->filter[i];
      y = std::clamp(y, -1.0e9f, 1.0e9f);
      std::memmove(d->filter + 1, d->filter, (kOrder - 1) * sizeof(float));
      d->filter[0] = y;
      out[n] = y;
    }
  }
  std::memcpy(d->previous, params, sizeof params);
  std::memmove(exc, exc + C9FRAME, kHistory * sizeof(float));
  return 1;
}

int16_t c9toint(float value) {
  const float biased = value + 12582912.0f;
  return static_cast<int16_t>(std::bit_cast<uint32_t>(biased) & 0xFFFF);
}
