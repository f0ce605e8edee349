// Mixing functions, output converters, clearing and the pan law of the software mixer, on both paths.
#include <cmath>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "platformlib/gfx/fixtrig.h"
#include "platformlib/sound/sndmix.h"

int mixscalaronly = 0;

namespace {

inline int16_t sat16(int32_t v) { return static_cast<int16_t>(v < -32768 ? -32768 : v > 32767 ? 32767 : v); }
// The high half of the signed product, as the packed multiply gives it.
inline int32_t mulhigh(int32_t gain, int32_t x) { return (gain * x) >> 16; }

// ---- MMX path: half-scale 16-bit accumulator, saturating adds -------------------------------------------------

template <typename T, int Channels>
void mixmmx(MixObject* object, int frames, const void* source, void* destination) {
  const T* in = static_cast<const T*>(source);
  int16_t* acc = static_cast<int16_t*>(destination);
  const int32_t gl = object->gains[0], gr = object->gains[1];
  constexpr int widen = sizeof(T) == 1 ? 8 : 0;
  for (int k = 0; k < frames; ++k) {
    const int32_t xl = static_cast<int32_t>(in[k * Channels]) * (1 << widen);
    const int32_t xr = Channels == 2 ? static_cast<int32_t>(in[k * Channels + 1]) * (1 << widen) : xl;
    acc[2 * k] = sat16(acc[2 * k] + mulhigh(gl, xl));
    acc[2 * k + 1] = sat16(acc[2 * k + 1] + mulhigh(gr, xr));
  }
}

#ifdef __SSE2__
// The 16-bit kernels eight words at a time: the packed high-half multiply and saturating add are the very
// operations of the scalar loop, so the results are the same bit for bit.
void mixm16sse2(MixObject* object, int frames, const void* source, void* destination) {
  const int16_t* in = static_cast<const int16_t*>(source);
  int16_t* acc = static_cast<int16_t*>(destination);
  const __m128i gains = _mm_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint16_t>(object->gains[1])) << 16) |
                                                            static_cast<uint16_t>(object->gains[0])));
  int k = 0;
  for (; k + 8 <= frames; k += 8) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + k));
    __m128i* a = reinterpret_cast<__m128i*>(acc + 2 * k);
    const __m128i lo = _mm_mulhi_epi16(_mm_unpacklo_epi16(x, x), gains);
    const __m128i hi = _mm_mulhi_epi16(_mm_unpackhi_epi16(x, x), gains);
    _mm_storeu_si128(a, _mm_adds_epi16(_mm_loadu_si128(a), lo));
    _mm_storeu_si128(a + 1, _mm_adds_epi16(_mm_loadu_si128(a + 1), hi));
  }
  if (k < frames) mixmmx<int16_t, 1>(object, frames - k, in + k, acc + 2 * k);
}

void mixs16sse2(MixObject* object, int frames, const void* source, void* destination) {
  const int16_t* in = static_cast<const int16_t*>(source);
  int16_t* acc = static_cast<int16_t*>(destination);
  const __m128i gains = _mm_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint16_t>(object->gains[1])) << 16) |
                                                            static_cast<uint16_t>(object->gains[0])));
  int k = 0;
  for (; k + 4 <= frames; k += 4) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * k));
    __m128i* a = reinterpret_cast<__m128i*>(acc + 2 * k);
    _mm_storeu_si128(a, _mm_adds_epi16(_mm_loadu_si128(a), _mm_mulhi_epi16(x, gains)));
  }
  if (k < frames) mixmmx<int16_t, 2>(object, frames - k, in + 2 * k, acc + 2 * k);
}
#endif

void setvolumesmmx(MixObject* object, int left, int right) {
  object->gains[0] = static_cast<int16_t>(left * 256);
  object->gains[1] = static_cast<int16_t>(right * 256);
}

template <typename T, int Channels>
void installmmx(MixObject* object, MixKernel* kernelslot, MixVolumeSetter* setterslot) {
  *kernelslot = mixmmx<T, Channels>;
  *setterslot = setvolumesmmx;
  object->kernelslot = kernelslot;
  object->setterslot = setterslot;
}

// ---- plain path: float accumulator at full scale; one kernel per kind of volume pair ----------------------------

enum class Side { Off, Unscaled, Scaled };

template <int Channels, Side L, Side R>
void mixfloat(MixObject* object, int frames, const void* source, void* destination) {
  const float* in = static_cast<const float*>(source);
  float* acc = static_cast<float*>(destination);
  const float gl = object->gainleft, gr = object->gainright;
  for (int k = 0; k < frames; ++k) {
    const float xl = in[k * Channels];
    const float xr = Channels == 2 ? in[k * Channels + 1] : xl;
    if constexpr (L == Side::Unscaled) acc[2 * k] += xl;
    if constexpr (L == Side::Scaled) acc[2 * k] += xl * gl;
    if constexpr (R == Side::Unscaled) acc[2 * k + 1] += xr;
    if constexpr (R == Side::Scaled) acc[2 * k + 1] += xr * gr;
  }
}

void mixnothing(MixObject*, int, const void*, void*) {}

template <int Channels>
void setvolumesfloat(MixObject* object, int left, int right) {
  const float unit = 1.0f / 127.0f;
  object->gainleft = static_cast<float>(left) * unit;
  object->gainright = static_cast<float>(right) * unit;
  MixKernel kernel;
  if (left == 0 && right == 0)
    kernel = mixnothing;
  else if (left == 0)
    kernel = mixfloat<Channels, Side::Off, Side::Scaled>;
  else if (right == 0)
    kernel = mixfloat<Channels, Side::Scaled, Side::Off>;
  else if (left == 127 && right == 127)
    kernel = mixfloat<Channels, Side::Unscaled, Side::Unscaled>;
  else if (left == 127)
    kernel = mixfloat<Channels, Side::Unscaled, Side::Scaled>;
  else if (right == 127)
    kernel = mixfloat<Channels, Side::Scaled, Side::Unscaled>;
  else
    kernel = mixfloat<Channels, Side::Scaled, Side::Scaled>;
  *object->kernelslot = kernel;
}

template <int Channels>
void installfloat(MixObject* object, MixKernel* kernelslot, MixVolumeSetter* setterslot) {
  *setterslot = setvolumesfloat<Channels>;
  object->kernelslot = kernelslot;
  object->setterslot = setterslot;
}

inline int32_t roundclamp(float v, float low, float high) {
  if (!(v >= low)) v = low;  // NaN goes low too
  if (v > high) v = high;
  return static_cast<int32_t>(std::nearbyint(v));
}

}  // namespace

void mixm8install(MixObject* o, MixKernel* k, MixVolumeSetter* s) { installmmx<int8_t, 1>(o, k, s); }
void mixs8install(MixObject* o, MixKernel* k, MixVolumeSetter* s) { installmmx<int8_t, 2>(o, k, s); }
void mixm16install(MixObject* o, MixKernel* k, MixVolumeSetter* s) {
  installmmx<int16_t, 1>(o, k, s);
#ifdef __SSE2__
  if (!mixscalaronly) *k = mixm16sse2;
#endif
}
void mixs16install(MixObject* o, MixKernel* k, MixVolumeSetter* s) {
  installmmx<int16_t, 2>(o, k, s);
#ifdef __SSE2__
  if (!mixscalaronly) *k = mixs16sse2;
#endif
}
void mixmfinstall(MixObject* o, MixKernel* k, MixVolumeSetter* s) { installfloat<1>(o, k, s); }
void mixsfinstall(MixObject* o, MixKernel* k, MixVolumeSetter* s) { installfloat<2>(o, k, s); }

// ---- output converters ------------------------------------------------------------------------------------------

void mixouts16mmx(int frames, void* accumulator, void* device) {
  const int16_t* acc = static_cast<const int16_t*>(accumulator);
  int16_t* out = static_cast<int16_t*>(device);
  for (int i = 0; i < 2 * frames; ++i) out[i] = sat16(2 * acc[i]);
}

void mixoutm16mmx(int frames, void* accumulator, void* device) {
  const int16_t* acc = static_cast<const int16_t*>(accumulator);
  int16_t* out = static_cast<int16_t*>(device);
  for (int k = 0; k < frames; ++k) out[k] = sat16(acc[2 * k] + acc[2 * k + 1]);
}

void mixouts8mmx(int frames, void* accumulator, void* device) {
  const int16_t* acc = static_cast<const int16_t*>(accumulator);
  uint8_t* out = static_cast<uint8_t*>(device);
  for (int i = 0; i < 2 * frames; ++i)
    out[i] = static_cast<uint8_t>((static_cast<uint16_t>(sat16(2 * acc[i])) >> 8) ^ 0x80);
}

void mixoutm8mmx(int frames, void* accumulator, void* device) {
  const int16_t* acc = static_cast<const int16_t*>(accumulator);
  uint8_t* out = static_cast<uint8_t*>(device);
  for (int k = 0; k < frames; ++k) out[k] = static_cast<uint8_t>((sat16(acc[2 * k] + acc[2 * k + 1]) >> 8) + 128);
}

void mixouts16float(int frames, void* accumulator, void* device) {
  const float* acc = static_cast<const float*>(accumulator);
  int16_t* out = static_cast<int16_t*>(device);
  for (int i = 0; i < 2 * frames; ++i) out[i] = static_cast<int16_t>(roundclamp(acc[i], -32768.0f, 32767.0f));
}

void mixoutm16float(int frames, void* accumulator, void* device) {
  const float* acc = static_cast<const float*>(accumulator);
  int16_t* out = static_cast<int16_t*>(device);
  for (int k = 0; k < frames; ++k)
    out[k] = static_cast<int16_t>(roundclamp((acc[2 * k] + acc[2 * k + 1]) * 0.5f, -32768.0f, 32767.0f));
}

void mixouts8float(int frames, void* accumulator, void* device) {
  const float* acc = static_cast<const float*>(accumulator);
  uint8_t* out = static_cast<uint8_t*>(device);
  for (int i = 0; i < 2 * frames; ++i)
    out[i] = static_cast<uint8_t>((roundclamp(acc[i], -32768.0f, 32767.0f) >> 8) + 128);
}

void mixoutm8float(int frames, void* accumulator, void* device) {
  const float* acc = static_cast<const float*>(accumulator);
  uint8_t* out = static_cast<uint8_t*>(device);
  for (int k = 0; k < frames; ++k)
    out[k] = static_cast<uint8_t>(roundclamp((acc[2 * k] + acc[2 * k + 1]) / 512.0f, -128.0f, 127.0f) + 128);
}

void mixclearmmx(void* buffer, int words) { std::memset(buffer, 0, static_cast<size_t>(words) * 4); }
void mixclearfloat(void* buffer, int words) { std::memset(buffer, 0, static_cast<size_t>(words) * 4); }

// ---- pan law and tag values ----------------------------------------------------------------------------------------

void pantovolumes(uint16_t angle, int volume, int* left, int* right) {
  int index = (angle >> 6) & 255;
  if (angle & 0x4000) index = 256 - index;
  int32_t s = quartersine[index];
  if (angle & 0x8000) s = -s;
  int32_t l = static_cast<int32_t>((static_cast<int64_t>(65536 - s) * volume) >> 16);
  int32_t r = static_cast<int32_t>((static_cast<int64_t>(65536 + s) * volume) >> 16);
  *left = l > 127 ? 127 : l;
  *right = r > 127 ? 127 : r;
}

int32_t readbeint(const uint8_t* bytes, int count) {
  if (count <= 0) return 0;
  if (count > 4) count = 4;
  uint32_t v = bytes[0] & 0x80 && count < 4 ? 0xFFFFFFFFu : 0;
  for (int i = 0; i < count; ++i) v = (v << 8) | bytes[i];
  return static_cast<int32_t>(v);
}
