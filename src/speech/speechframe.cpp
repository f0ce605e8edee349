#include "speechframe.h"

namespace speech {
namespace {

struct BitWriter {
  uint16_t words[kFrameBytes / 2] = {};
  int pos = 0;
  void Put(uint32_t value, int bits) {
    for (int i = 0; i < bits; ++i, ++pos)
      if (value >> i & 1u) words[pos >> 4] = static_cast<uint16_t>(words[pos >> 4] | 1u << (pos & 15));
  }
};

struct BitReader {
  uint16_t words[kFrameBytes / 2] = {};
  int pos = 0;
  uint32_t Get(int bits) {
    uint32_t v = 0;
    for (int i = 0; i < bits; ++i, ++pos) v |= static_cast<uint32_t>(words[pos >> 4] >> (pos & 15) & 1u) << i;
    return v;
  }
};

// Field order of the bit stream, lowest bit of word 0 first.
template <typename Visit>
void ForEachField(Visit&& visit, auto& p) {
  visit(p.energy, 6);
  for (int j = 0; j < kOrder; ++j) visit(p.lar[j], kLarBits[j]);
  for (auto& s : p.sub) {
    visit(s.lag, 8);
    visit(s.pitchGain, 3);
    for (auto& c : s.code) visit(c, 8);
    visit(s.signs, 3);
    visit(s.gainVector, 7);
  }
}

const double kLar1[64] = {
    -1.53944, -1.47393, -1.41465, -1.35005, -1.2815,  -1.21384, -1.1727,  -1.13063, -1.08861, -1.04526, -1.00501,
    -0.96572, -0.92862, -0.89335, -0.85946, -0.82642, -0.79482, -0.76402, -0.73257, -0.70132, -0.66921, -0.64353,
    -0.61669, -0.58942, -0.56153, -0.53317, -0.50437, -0.47615, -0.44694, -0.41735, -0.38743, -0.35616, -0.32348,
    -0.28895, -0.25599, -0.22225, -0.191,    -0.15976, -0.1278,  -0.09531, -0.06129, -0.02616, 0.00889,  0.04453,
    0.08224,  0.12068,  0.15794,  0.20228,  0.25104,  0.30228,  0.34732,  0.3961,   0.44925,  0.49757,  0.54677,
    0.59762,  0.65221,  0.71294,  0.78301,  0.85904,  0.95547,  1.04852,  1.13547,  1.38243};
const double kLar2[32] = {-0.86309, -0.63211, -0.51321, -0.4145,  -0.32677, -0.25302, -0.18951, -0.13516,
                          -0.08634, -0.04004, 0.00643,  0.05361,  0.09949,  0.14801,  0.19641,  0.24449,
                          0.29313,  0.34043,  0.38811,  0.43751,  0.49011,  0.54325,  0.6006,   0.66064,
                          0.73993,  0.82118,  0.90415,  0.98928,  1.07913,  1.17474,  1.30548,  1.44455};
const double kLar3[32] = {-1.00403, -0.89973, -0.8152,  -0.73324, -0.65873, -0.60689, -0.55716, -0.5094,
                          -0.46173, -0.41723, -0.37424, -0.3343,  -0.29593, -0.25861, -0.22185, -0.18505,
                          -0.14933, -0.11481, -0.08065, -0.04616, -0.00999, 0.02727,  0.06595,  0.10791,
                          0.15196,  0.20181,  0.2567,   0.31754,  0.38573,  0.46251,  0.55981,  0.68796};
const double kLar4[16] = {-0.39543, -0.23013, -0.11487, -0.02066, 0.06236, 0.13726, 0.2083,  0.27704,
                          0.34728,  0.42141,  0.49732,  0.57467,  0.65411, 0.76537, 0.87985, 1.01513};
const double kLar5[16] = {-0.6559,  -0.51652, -0.41116, -0.32652, -0.25232, -0.18617, -0.12544, -0.06684,
                          -0.01082, 0.0458,   0.10323,  0.16758,  0.23982,  0.31978,  0.41746,  0.54829};
const double kLar6[8] = {-0.26935, -0.08109, 0.05555, 0.17194, 0.28609, 0.41426, 0.57443, 0.79306};
const double kLar7[8] = {-0.51891, -0.3612, -0.23291, -0.12281, -0.0235, 0.08099, 0.20746, 0.38162};
const double kLar8[8] = {-0.35524, -0.19115, -0.05609, 0.05718, 0.16166, 0.27157, 0.40645, 0.60826};
const double kLar9[8] = {-0.48268, -0.32762, -0.20417, -0.10602, -0.02038, 0.06704, 0.16984, 0.30926};
const double kLar10[4] = {-0.12624, 0.04663, 0.17777, 0.32113};

}  // namespace

void PackSpeechFrame(const SpeechFrameParams& params, uint8_t out[kFrameBytes]) {
  BitWriter w;
  ForEachField([&](uint32_t v, int bits) { w.Put(v & ((1u << bits) - 1), bits); }, params);
  for (int i = 0; i < kFrameBytes / 2; ++i) {
    out[2 * i] = static_cast<uint8_t>(w.words[i] >> 8);
    out[2 * i + 1] = static_cast<uint8_t>(w.words[i]);
  }
}

SpeechFrameParams UnpackSpeechFrame(const uint8_t in[kFrameBytes]) {
  BitReader r;
  for (int i = 0; i < kFrameBytes / 2; ++i) r.words[i] = static_cast<uint16_t>(in[2 * i] << 8 | in[2 * i + 1]);
  SpeechFrameParams p;
  ForEachField([&](uint32_t& v, int bits) { v = r.Get(bits); }, p);
  return p;
}

const double* const kLarTables[kOrder] = {kLar1, kLar2, kLar3, kLar4, kLar5, kLar6, kLar7, kLar8, kLar9, kLar10};

const double kPitchGainTable[8] = {0.1720383, 0.3440626, 0.4916623, 0.6431798,
                                   0.8078531, 0.9621896, 1.138406,  1.373024};

const int kPulsePositions[3][kPulses] = {
    {20, 26, 39, 60, 100, 107, 109, 135, 154, 159, 194, 198, 218, 231, 246, 270, 272, 273, 277},
    {21, 25, 38, 62, 101, 106, 108, 134, 155, 158, 195, 199, 217, 232, 245, 269, 270, 274, 279},
    {17, 26, 32, 58, 100, 107, 109, 130, 155, 158, 185, 199, 219, 232, 245, 269, 270, 274, 279}};
const int kPulseSigns[kPulses] = {+1, +1, -1, +1, -1, +1, -1, +1, -1, +1, -1, +1, +1, -1, -1, +1, -1, +1, +1};

}  // namespace speech
