// Table-driven sines and arctangents; the tables are fixed so results are identical on every machine.
#include "platformlib/gfx/fixtrig.h"

#include <cstdlib>
#include <utility>

#include "platformlib/gfx/linewalk.h"
#include "platformlib/gfx/pixels.h"
#include "platformlib/gfx/windowdesc.h"

// Entry i = sin(i x 90 degrees / 256) x 65536, rounded down (four entries one lower, as the game has them).
const int32_t quartersine[257] = {
    0, 402, 804, 1206, 1608, 2010, 2412, 2814, 3215, 3617, 4018, 4420,
    4821, 5222, 5622, 6023, 6423, 6823, 7223, 7623, 8022, 8421, 8819, 9218,
    9616, 10013, 10410, 10807, 11204, 11600, 11995, 12390, 12785, 13179, 13573, 13966,
    14359, 14751, 15142, 15533, 15923, 16313, 16702, 17091, 17479, 17866, 18253, 18638,
    19024, 19408, 19792, 20175, 20557, 20938, 21319, 21699, 22078, 22456, 22833, 23210,
    23586, 23960, 24334, 24707, 25079, 25450, 25820, 26189, 26557, 26925, 27291, 27656,
    28020, 28383, 28745, 29105, 29465, 29824, 30181, 30538, 30893, 31247, 31600, 31952,
    32302, 32651, 32999, 33346, 33692, 34036, 34379, 34721, 35061, 35400, 35738, 36074,
    36409, 36743, 37075, 37406, 37736, 38064, 38390, 38716, 39039, 39361, 39682, 40002,
    40319, 40636, 40950, 41263, 41575, 41885, 42194, 42501, 42806, 43110, 43412, 43712,
    44011, 44308, 44603, 44897, 45189, 45480, 45768, 46055, 46340, 46624, 46906, 47186,
    47464, 47740, 48015, 48288, 48558, 48828, 49095, 49360, 49624, 49886, 50145, 50403,
    50659, 50914, 51166, 51416, 51665, 51911, 52155, 52398, 52639, 52877, 53114, 53348,
    53581, 53811, 54040, 54266, 54491, 54713, 54933, 55152, 55368, 55582, 55794, 56004,
    56212, 56417, 56621, 56822, 57022, 57219, 57414, 57606, 57797, 57986, 58172, 58356,
    58538, 58718, 58895, 59070, 59243, 59414, 59583, 59749, 59913, 60075, 60235, 60392,
    60547, 60700, 60850, 60998, 61144, 61288, 61429, 61568, 61705, 61839, 61971, 62100,
    62228, 62353, 62475, 62596, 62714, 62829, 62942, 63053, 63162, 63268, 63371, 63473,
    63571, 63668, 63762, 63854, 63943, 64030, 64114, 64197, 64276, 64353, 64428, 64501,
    64571, 64638, 64703, 64766, 64826, 64884, 64939, 64992, 65043, 65091, 65136, 65179,
    65220, 65258, 65294, 65327, 65358, 65386, 65412, 65436, 65457, 65475, 65491, 65505,
    65516, 65524, 65531, 65534, 65536,
};
namespace {

const int32_t kArcTan[257] = {
    0, 41, 81, 122, 163, 204, 244, 285, 326, 367, 407, 448,
    489, 529, 570, 610, 651, 692, 732, 773, 813, 854, 894, 935,
    975, 1015, 1056, 1096, 1136, 1177, 1217, 1257, 1297, 1337, 1377, 1417,
    1457, 1497, 1537, 1577, 1617, 1656, 1696, 1736, 1775, 1815, 1854, 1894,
    1933, 1973, 2012, 2051, 2090, 2129, 2168, 2207, 2246, 2285, 2324, 2363,
    2401, 2440, 2478, 2517, 2555, 2594, 2632, 2670, 2708, 2746, 2784, 2822,
    2860, 2897, 2935, 2973, 3010, 3047, 3085, 3122, 3159, 3196, 3233, 3270,
    3307, 3344, 3380, 3417, 3453, 3490, 3526, 3562, 3599, 3635, 3670, 3706,
    3742, 3778, 3813, 3849, 3884, 3920, 3955, 3990, 4025, 4060, 4095, 4129,
    4164, 4199, 4233, 4267, 4302, 4336, 4370, 4404, 4438, 4471, 4505, 4539,
    4572, 4605, 4639, 4672, 4705, 4738, 4771, 4803, 4836, 4869, 4901, 4933,
    4966, 4998, 5030, 5062, 5094, 5125, 5157, 5188, 5220, 5251, 5282, 5313,
    5344, 5375, 5406, 5437, 5467, 5498, 5528, 5559, 5589, 5619, 5649, 5679,
    5708, 5738, 5768, 5797, 5826, 5856, 5885, 5914, 5943, 5972, 6000, 6029,
    6058, 6086, 6114, 6142, 6171, 6199, 6227, 6254, 6282, 6310, 6337, 6365,
    6392, 6419, 6446, 6473, 6500, 6527, 6554, 6580, 6607, 6633, 6660, 6686,
    6712, 6738, 6764, 6790, 6815, 6841, 6867, 6892, 6917, 6943, 6968, 6993,
    7018, 7043, 7068, 7092, 7117, 7141, 7166, 7190, 7214, 7238, 7262, 7286,
    7310, 7334, 7358, 7381, 7405, 7428, 7451, 7475, 7498, 7521, 7544, 7566,
    7589, 7612, 7635, 7657, 7679, 7702, 7724, 7746, 7768, 7790, 7812, 7834,
    7856, 7877, 7899, 7920, 7942, 7963, 7984, 8005, 8026, 8047, 8068, 8089,
    8110, 8131, 8151, 8172, 8192,
};
const uint8_t kArcTanCoarse[257] = {
    0, 1, 1, 2, 3, 3, 4, 4, 5, 6, 6, 7, 8, 8, 9, 10,
    10, 11, 11, 12, 13, 13, 14, 15, 15, 16, 16, 17, 18, 18, 19, 20,
    20, 21, 22, 22, 23, 23, 24, 25, 25, 26, 27, 27, 28, 28, 29, 30,
    30, 31, 31, 32, 33, 33, 34, 34, 35, 36, 36, 37, 38, 38, 39, 39,
    40, 41, 41, 42, 42, 43, 44, 44, 45, 45, 46, 46, 47, 48, 48, 49,
    49, 50, 51, 51, 52, 52, 53, 53, 54, 55, 55, 56, 56, 57, 57, 58,
    58, 59, 60, 60, 61, 61, 62, 62, 63, 63, 64, 65, 65, 66, 66, 67,
    67, 68, 68, 69, 69, 70, 70, 71, 71, 72, 72, 73, 74, 74, 75, 75,
    76, 76, 77, 77, 78, 78, 79, 79, 80, 80, 81, 81, 82, 82, 83, 83,
    84, 84, 84, 85, 85, 86, 86, 87, 87, 88, 88, 89, 89, 90, 90, 91,
    91, 91, 92, 92, 93, 93, 94, 94, 95, 95, 96, 96, 96, 97, 97, 98,
    98, 99, 99, 99, 100, 100, 101, 101, 102, 102, 102, 103, 103, 104, 104, 104,
    105, 105, 106, 106, 106, 107, 107, 108, 108, 108, 109, 109, 110, 110, 110, 111,
    111, 112, 112, 112, 113, 113, 113, 114, 114, 115, 115, 115, 116, 116, 116, 117,
    117, 118, 118, 118, 119, 119, 119, 120, 120, 120, 121, 121, 121, 122, 122, 122,
    123, 123, 123, 124, 124, 124, 125, 125, 125, 126, 126, 126, 127, 127, 127, 128,
    128,
};

// 2 pi x 65536: radians per angle unit, scaled by 2^32.
constexpr int64_t kTwoPiScaled = 411774;

int32_t tablesine(int32_t step) {
  const int32_t q = (step >> 8) & 3;
  const int32_t j = step & 255;
  const int32_t v = (q & 1) ? quartersine[256 - j] : quartersine[j];
  return q >= 2 ? -v : v;
}

// Correction for the angle units between two table steps: c x f x 2 pi in 16.16.
int32_t stepcorrection(int32_t other, int32_t fraction) {
  const int64_t scaled = (static_cast<int64_t>(fraction) * kTwoPiScaled) >> 9;
  return static_cast<int32_t>((static_cast<int64_t>(other >> 2) * scaled) >> 21);
}

int32_t foldangle(int32_t base, bool dxneg, bool dyneg, bool swapped, int32_t quarter) {
  const int32_t half = quarter * 2;
  if (!dxneg) {
    if (!dyneg) return swapped ? quarter - base : base;
    return swapped ? quarter + base : half - base;
  }
  if (!dyneg) return swapped ? base - quarter : -base;
  return swapped ? -quarter - base : base - half;
}

// small / large as a 32-bit binary fraction (0 <= r < 2^32).
uint32_t ratio32(uint32_t small, uint32_t large) {
  return static_cast<uint32_t>((static_cast<uint64_t>(small) << 32) / large);
}

uint32_t magnitude(int32_t v) {
  return v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
}

}  // namespace

void sincostable(int32_t step, int32_t* sine, int32_t* cosine) {
  step &= 1023;
  if (sine) *sine = tablesine(step);
  if (cosine) *cosine = tablesine(step + 256);
}

void fixsincos(int32_t angle, int32_t* sine, int32_t* cosine) {
  int32_t s = 0;
  int32_t c = 0;
  sincostable(angle >> 6, &s, &c);
  const int32_t f = angle & 63;
  if (sine) *sine = s + stepcorrection(c, f);
  if (cosine) *cosine = c - stepcorrection(s, f);
}

int32_t fixsin(int32_t angle) {
  int32_t s = 0;
  fixsincos(angle, &s, nullptr);
  return s;
}

int32_t fixcos(int32_t angle) {
  int32_t c = 0;
  fixsincos(angle, nullptr, &c);
  return c;
}

namespace {

// The vector's smaller over its larger magnitude as a 32-bit fraction, and whether |dx| is the larger.
struct VectorRatio {
  bool equal;
  bool swapped;
  uint32_t r;
};
VectorRatio vectorratio(int32_t dx, int32_t dy) {
  const uint32_t ax = magnitude(dx);
  const uint32_t ay = magnitude(dy);
  if (ax == ay) return {true, false, 0};
  const bool swapped = ax > ay;
  return {false, swapped, swapped ? ratio32(ay, ax) : ratio32(ax, ay)};
}

}  // namespace

int32_t fixatan2(int32_t dx, int32_t dy) {
  const VectorRatio v = vectorratio(dx, dy);
  int32_t base = 0x2000;
  if (!v.equal) {
    const uint32_t k = v.r >> 24;
    const int64_t t = (v.r >> 8) & 0xFFFF;
    base = kArcTan[k] + static_cast<int32_t>(((kArcTan[k + 1] - kArcTan[k]) * t) >> 16);
  }
  return foldangle(base, dx < 0, dy < 0, v.swapped, 0x4000);
}

int32_t fixatan2coarse(int32_t dx, int32_t dy) {
  const VectorRatio v = vectorratio(dx, dy);
  int32_t base = 0x80;
  if (!v.equal) base = kArcTanCoarse[(static_cast<uint64_t>(v.r) + (1u << 23)) >> 24];
  return foldangle(base, dx < 0, dy < 0, v.swapped, 0x100);
}

int cliplinerect(int32_t* px1, int32_t* py1, int32_t* px2, int32_t* py2, int32_t minx, int32_t miny, int32_t maxx,
                 int32_t maxy) {
  // 64-bit intermediates: the products of two screen spans overflow 32 bits for far-off end points.
  int64_t x1 = *px1, y1 = *py1, x2 = *px2, y2 = *py2;
  auto inside = [&](int64_t x, int64_t y) { return x >= minx && x < maxx && y >= miny && y < maxy; };
  if (inside(x1, y1) && inside(x2, y2)) return 1;
  if ((x1 >= maxx && x2 >= maxx) || (x1 < minx && x2 < minx) || (y1 >= maxy && y2 >= maxy) ||
      (y1 < miny && y2 < miny))
    return 0;
  // Orders the ends along axis a and cuts the line to lo <= a < hi (b follows).
  const auto cut = [](int64_t& a1, int64_t& b1, int64_t& a2, int64_t& b2, int64_t lo, int64_t hi) {
    if (a1 > a2) {
      std::swap(a1, a2);
      std::swap(b1, b2);
    }
    if (a1 < lo && a1 != a2) {
      b1 += (b2 - b1) * (lo - a1) / (a2 - a1);
      a1 = lo;
    }
    if (a2 >= hi && a1 != a2) {
      b2 = b1 + (b2 - b1) * (hi - a1) / (a2 - a1);
      a2 = hi - 1;
    }
  };
  cut(x1, y1, x2, y2, minx, maxx);
  // Cut to the columns, the line may now pass wholly above or below: the row cut would then extrapolate.
  if ((y1 < miny && y2 < miny) || (y1 >= maxy && y2 >= maxy)) return 0;
  cut(y1, x1, y2, x2, miny, maxy);
  *px1 = static_cast<int32_t>(x1);
  *py1 = static_cast<int32_t>(y1);
  *px2 = static_cast<int32_t>(x2);
  *py2 = static_cast<int32_t>(y2);
  // Both ends must be inside: the line is walked without further clip tests.
  return inside(x1, y1) && inside(x2, y2) ? 1 : 0;
}

int clipline(int32_t* x1, int32_t* y1, int32_t* x2, int32_t* y2) {
  const WindowDesc& w = currentwindow();
  return cliplinerect(x1, y1, x2, y2, w.minx, w.miny, w.maxx, w.maxy);
}

void drawlinexor(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t value) {
  if (!clipline(&x1, &y1, &x2, &y2)) return;
  walkline(x1, y1, x2, y2, [value](int32_t x, int32_t y) { xorpixel(x, y, value); });
}
