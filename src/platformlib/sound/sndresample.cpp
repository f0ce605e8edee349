// Resampling functions: linear interpolation (integer on the MMX path, float on the plain path) and the plain
// path's nearest-lower-frame members. Frames still needed from the previous block are carried in the object
// and put in front of the new block, which the mixer leaves 16 bytes of room for.
#include <cstring>

#include "platformlib/sound/sndmix.h"

namespace {

constexpr uint32_t kUnit = 0x10000;

enum class Rate { Below, Exact, Above };
inline Rate rateof(uint32_t step) { return step < kUnit ? Rate::Below : step == kUnit ? Rate::Exact : Rate::Above; }

// ---- interpolation of one channel --------------------------------------------------------------------------------

template <typename T>
struct Lerp;

template <>
struct Lerp<int16_t> {
  static int16_t bulk(int32_t x0, int32_t x1, uint32_t f) {
    const int32_t w0 = static_cast<int32_t>((65535 - f) >> 1), w1 = static_cast<int32_t>(f >> 1);
    return static_cast<int16_t>((x0 * w0 + x1 * w1) >> 15);
  }
  static int16_t last(int32_t x0, int32_t x1, uint32_t f) {
    return static_cast<int16_t>(((static_cast<int64_t>(x0) * (65535 - f)) >> 16) +
                                ((static_cast<int64_t>(x1) * f) >> 16));
  }
};

template <>
struct Lerp<int8_t> {
  static int8_t bulk(int32_t x0, int32_t x1, uint32_t f) {
    const int32_t w0 = static_cast<int32_t>((65535 - f) >> 1), w1 = static_cast<int32_t>(f >> 1);
    return static_cast<int8_t>((x0 * 256 * w0 + x1 * 256 * w1) >> 23);
  }
  static int8_t last(int32_t x0, int32_t x1, uint32_t f) {
    return static_cast<int8_t>(Lerp<int16_t>::last(x0 * 256, x1 * 256, f) >> 8);
  }
};

template <>
struct Lerp<float> {
  static float bulk(float x0, float x1, uint32_t f) {
    const float g = static_cast<float>(f) * 1.5258e-5f;
    return x0 * (1.0f - g) + x1 * g;
  }
  static float last(float x0, float x1, uint32_t f) { return bulk(x0, x1, f); }
};

template <typename T, int Channels>
inline void interpolate(const T* ws, uint32_t base, uint32_t f, T* out, bool lastframe) {
  for (int c = 0; c < Channels; ++c) {
    const T x0 = ws[base * Channels + c], x1 = ws[(base + 1) * Channels + c];
    out[c] = lastframe ? Lerp<T>::last(x0, x1, f) : Lerp<T>::bulk(x0, x1, f);
  }
}

template <typename T, int Channels>
constexpr size_t kFrameBytes = sizeof(T) * Channels;

// Puts the carried frames in front of the new ones and gives the working source.
template <typename T, int Channels>
T* worksource(ResampleObject* o, void* source, int carried) {
  T* ws = static_cast<T*>(source) - carried * Channels;
  std::memcpy(ws, o->carried, carried * kFrameBytes<T, Channels>);
  return ws;
}

template <typename T, int Channels>
void carry(ResampleObject* o, const T* frames, int count) {
  std::memcpy(o->carried, frames, count * kFrameBytes<T, Channels>);
}

// ---- linear members ------------------------------------------------------------------------------------------------

int neededexact(ResampleObject*, int outputs) { return outputs; }
int resampleexact(ResampleObject*, int, void* source, void** output) {
  *output = source;
  return 0;
}

int neededbelow(ResampleObject* o, int outputs) {
  int n = static_cast<int>((static_cast<uint32_t>(outputs - 1) * o->step + o->fraction) >> 16) + 1;
  if (!o->heldp) ++n;
  if (o->heldq) --n;
  return n;
}

template <typename T, int Channels>
int resamplebelow(ResampleObject* o, int outputs, void* source, void** output) {
  const int carried = o->heldp + o->heldq;
  const T* ws = worksource<T, Channels>(o, source, carried);
  T* out = static_cast<T*>(*output);
  uint32_t base = 0, f = o->fraction, lastbase = 0;
  for (int k = 0; k < outputs; ++k) {
    interpolate<T, Channels>(ws, base, f, out + k * Channels, k == outputs - 1);
    lastbase = base;
    const uint32_t t = f + o->step;
    base += t >> 16;
    f = t & 0xFFFF;
  }
  // P is the frame after the last base; Q the last base itself when the position stayed on it.
  if (base > lastbase) {
    carry<T, Channels>(o, ws + (lastbase + 1) * Channels, 1);
    o->heldp = 1;
    o->heldq = 0;
  } else {
    carry<T, Channels>(o, ws + lastbase * Channels, 2);
    o->heldp = o->heldq = 1;
  }
  o->position = 0;
  o->fraction = f;
  return 0;
}

int neededabove(ResampleObject* o, int outputs) {
  const uint32_t a = ((static_cast<uint32_t>(outputs - 1) * o->step + o->fraction) >> 16) + 1;
  const int n = static_cast<int>(a) + o->skip + (o->heldp ? 0 : 1);
  o->nextskip = static_cast<int8_t>(((static_cast<uint32_t>(outputs) * o->step + o->fraction) >> 16) - a);
  return n;
}

template <typename T, int Channels>
int resampleabove(ResampleObject* o, int outputs, void* source, void** output) {
  const T* ws = worksource<T, Channels>(o, source, o->heldp);
  T* out = static_cast<T*>(*output);
  uint32_t base = static_cast<uint32_t>(o->skip), f = o->fraction, lastbase = base;
  for (int k = 0; k < outputs; ++k) {
    interpolate<T, Channels>(ws, base, f, out + k * Channels, k == outputs - 1);
    lastbase = base;
    const uint32_t t = f + o->step;
    base += t >> 16;
    f = t & 0xFFFF;
  }
  carry<T, Channels>(o, ws + (lastbase + 1) * Channels, 1);
  o->heldp = 1;
  o->skip = o->nextskip;
  o->position = static_cast<uint32_t>(o->skip);
  o->fraction = f;
  return 0;
}

void clearcarry(ResampleObject* o) {
  o->position = o->fraction = 0;
  o->heldp = o->heldq = 0;
  o->skip = o->nextskip = 0;
  std::memset(o->carried, 0, sizeof o->carried);
}

template <typename T, int Channels>
int setratelinear(ResampleObject* o, uint32_t step) {
  const Rate before = rateof(o->step), after = rateof(step);
  if (o->step != step && !(before == Rate::Below && after == Rate::Below) &&
      !(before == Rate::Above && after == Rate::Above))
    clearcarry(o);
  o->step = step;
  switch (after) {
    case Rate::Below:
      *o->neededslot = neededbelow;
      *o->resampleslot = resamplebelow<T, Channels>;
      break;
    case Rate::Exact:
      *o->neededslot = neededexact;
      *o->resampleslot = resampleexact;
      break;
    case Rate::Above:
      *o->neededslot = neededabove;
      *o->resampleslot = resampleabove<T, Channels>;
      break;
  }
  return 0;
}

template <typename T, int Channels>
int installlinear(ResampleObject* o, ResampleSetRate* setrate, ResampleNeeded* needed, ResampleRun* run) {
  clearcarry(o);
  o->step = 0;
  o->setrateslot = setrate;
  o->neededslot = needed;
  o->resampleslot = run;
  *setrate = setratelinear<T, Channels>;
  return 0;
}

// ---- nearest members -------------------------------------------------------------------------------------------------
// At steps below 1.0 the last frame of a call is held when the position has not yet passed it, so the next call
// repeats it instead of skipping ahead.

int nearestneeded(ResampleObject* o, int outputs) {
  switch (rateof(o->step)) {
    case Rate::Below:
      return static_cast<int>((static_cast<uint32_t>(outputs - 1) * o->step + o->fraction) >> 16) + 1 - o->heldp;
    case Rate::Exact:
      return outputs;
    case Rate::Above:
      break;
  }
  return static_cast<int>((static_cast<uint32_t>(outputs) * o->step + o->fraction) >> 16);
}

template <int Channels>
int nearestresample(ResampleObject* o, int outputs, void* source, void** output) {
  if (o->step == kUnit) {
    *output = source;
    return 0;
  }
  const int held = rateof(o->step) == Rate::Below ? o->heldp : 0;
  const float* ws = worksource<float, Channels>(o, source, held);
  float* out = static_cast<float*>(*output);
  const uint32_t f = o->fraction;
  for (int k = 0; k < outputs; ++k) {
    const uint32_t index = (f + static_cast<uint32_t>(k) * o->step) >> 16;
    for (int c = 0; c < Channels; ++c) out[k * Channels + c] = ws[index * Channels + c];
  }
  const uint32_t t = f + static_cast<uint32_t>(outputs) * o->step;
  const uint32_t last = (f + static_cast<uint32_t>(outputs - 1) * o->step) >> 16;
  o->heldp = 0;
  if (rateof(o->step) == Rate::Below && (t >> 16) == last) {
    carry<float, Channels>(o, ws + last * Channels, 1);
    o->heldp = 1;
  }
  o->fraction = t & 0xFFFF;
  return 0;
}

int nearestsetrate(ResampleObject* o, uint32_t step) {
  if (rateof(o->step) != rateof(step)) clearcarry(o);
  o->step = step;
  return 0;
}

template <int Channels>
int installnearest(ResampleObject* o, ResampleSetRate* setrate, ResampleNeeded* needed, ResampleRun* run) {
  clearcarry(o);
  o->step = 0;
  o->setrateslot = setrate;
  o->neededslot = needed;
  o->resampleslot = run;
  *setrate = nearestsetrate;
  *needed = nearestneeded;
  *run = nearestresample<Channels>;
  return 0;
}

}  // namespace

int resm8install(ResampleObject* o, ResampleSetRate* a, ResampleNeeded* b, ResampleRun* c) {
  return installlinear<int8_t, 1>(o, a, b, c);
}
int ress8install(ResampleObject* o, ResampleSetRate* a, ResampleNeeded* b, ResampleRun* c) {
  return installlinear<int8_t, 2>(o, a, b, c);
}
int resm16install(ResampleObject* o, ResampleSetRate* a, ResampleNeeded* b, ResampleRun* c) {
  return installlinear<int16_t, 1>(o, a, b, c);
}
int ress16install(ResampleObject* o, ResampleSetRate* a, ResampleNeeded* b, ResampleRun* c) {
  return installlinear<int16_t, 2>(o, a, b, c);
}
int resmflininstall(ResampleObject* o, ResampleSetRate* a, ResampleNeeded* b, ResampleRun* c) {
  return installlinear<float, 1>(o, a, b, c);
}
int ressflininstall(ResampleObject* o, ResampleSetRate* a, ResampleNeeded* b, ResampleRun* c) {
  return installlinear<float, 2>(o, a, b, c);
}
int resmfnearinstall(ResampleObject* o, ResampleSetRate* a, ResampleNeeded* b, ResampleRun* c) {
  return installnearest<1>(o, a, b, c);
}
int ressfnearinstall(ResampleObject* o, ResampleSetRate* a, ResampleNeeded* b, ResampleRun* c) {
  return installnearest<2>(o, a, b, c);
}
