// The reverb: four all-pass stages on delay lines with two one-pole low-pass filters in the chain.
#include <algorithm>
#include <cstring>

#include "platformlib/sound/sndmix.h"

int reverbinited = 0;

namespace {

constexpr int kDelayWords = 5700;
float delaymemory[kDelayWords];

struct Line {
  int start, last, read, write;
  float feedback, gain;
};
Line lines[4];
int lengths[4];

// The filters' states are not reset by a new set-up.
struct OnePole {
  float z, a, b;
};
OnePole filters[2] = {{0.0f, 0.75f, 0.25f}, {0.0f, 0.75f, 0.25f}};

bool isprime(int n) {
  if (n < 2) return false;
  for (int d = 2; d * d <= n; ++d)
    if (n % d == 0) return false;
  return true;
}

inline float stage(Line& line, float v) {
  if (++line.read >= line.last) line.read = line.start;
  if (++line.write >= line.last) line.write = line.start;
  const float d = delaymemory[line.read];
  const float u = v + line.feedback;
  delaymemory[line.write] = u;
  line.feedback = line.gain * d;
  return d - line.gain * u;
}

inline float lowpass(OnePole& f, float v) {
  f.z = f.z * f.a + v * f.b;
  return f.z;
}

}  // namespace

int iSNDfxinitreverb(int rate) {
  if (rate > 22050) {
    return sndfail(-1, "iSNDfxinitreverb", "iSNDfxinitreverb - RATES HIGHER THAN 22050 NOT SUPPORTED YET.\n");
  }
  std::memset(delaymemory, 0, sizeof delaymemory);
  static const float kGains[4] = {0.5f, 0.5f, 0.6f, 0.6f};
  double t = 0.1;
  int offset = 0;
  for (int k = 0; k < 4; ++k) {
    int length = std::max(static_cast<int>(rate * t), 3);
    while (!isprime(length)) ++length;
    if (offset + length > kDelayWords) return -1;
    lines[k] = Line{offset, offset + length - 1, offset, offset + length - 1, 0.0f, kGains[k]};
    lengths[k] = length;
    offset += length;
    t *= 0.7;
  }
  for (OnePole& f : filters) f.b = 1.0f - f.a;
  reverbinited = 1;
  return 0;
}

int reverblinelength(int line) { return line >= 0 && line < 4 ? lengths[line] : 0; }

void reverbprocess(int frames, float* buffer) {
  for (int i = 0; i < frames; ++i) {
    float v = stage(lines[0], buffer[i]);
    v = stage(lines[1], v);
    v = lowpass(filters[0], v);
    v = stage(lines[2], v);
    v = stage(lines[3], v);
    buffer[i] = lowpass(filters[1], v);
  }
}

void reverbsendmono(int frames, const float* send, float* mono) {
  for (int i = 0; i < frames; ++i) mono[i] = send[2 * i] + send[2 * i + 1];
}

void reverbsetgains(float g1, float g2, float g3, float g4, float b1, float b2) {
  lines[0].gain = g1;
  lines[1].gain = g2;
  lines[2].gain = g3;
  lines[3].gain = g4;
  filters[0].b = b1;
  filters[1].b = b2;
}

void reverbresetfilters() {
  for (OnePole& f : filters) f.z = 0.0f;
}
