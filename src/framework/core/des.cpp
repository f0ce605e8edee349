#include "framework/core/des.h"

#include <cstring>

namespace {

const uint8_t kInitialPermutation[64] = {
    58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4, 62, 54, 46, 38, 30, 22, 14, 6,
    64, 56, 48, 40, 32, 24, 16, 8, 57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
    61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};

const uint8_t kFinalPermutation[64] = {
    40, 8, 48, 16, 56, 24, 64, 32, 39, 7, 47, 15, 55, 23, 63, 31, 38, 6, 46, 14, 54, 22, 62, 30,
    37, 5, 45, 13, 53, 21, 61, 29, 36, 4, 44, 12, 52, 20, 60, 28, 35, 3, 43, 11, 51, 19, 59, 27,
    34, 2, 42, 10, 50, 18, 58, 26, 33, 1, 41, 9,  49, 17, 57, 25};

const uint8_t kExpansion[48] = {32, 1,  2,  3,  4,  5,  4,  5,  6,  7,  8,  9,  8,  9,  10, 11,
                                12, 13, 12, 13, 14, 15, 16, 17, 16, 17, 18, 19, 20, 21, 20, 21,
                                22, 23, 24, 25, 24, 25, 26, 27, 28, 29, 28, 29, 30, 31, 32, 1};

const uint8_t kRoundPermutation[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                                       2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};

const uint8_t kPermutedChoice1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
                                      10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
                                      63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
                                      14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};

const uint8_t kPermutedChoice2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                                      26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                                      51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};

const uint8_t kShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

// The standard's S-boxes in its row/column layout: row from the outer bits, column from the inner four.
const uint8_t kSBoxRows[8][4][16] = {
    {{14, 4, 13, 1, 2, 15, 11, 8, 3, 10, 6, 12, 5, 9, 0, 7},
     {0, 15, 7, 4, 14, 2, 13, 1, 10, 6, 12, 11, 9, 5, 3, 8},
     {4, 1, 14, 8, 13, 6, 2, 11, 15, 12, 9, 7, 3, 10, 5, 0},
     {15, 12, 8, 2, 4, 9, 1, 7, 5, 11, 3, 14, 10, 0, 6, 13}},
    {{15, 1, 8, 14, 6, 11, 3, 4, 9, 7, 2, 13, 12, 0, 5, 10},
     {3, 13, 4, 7, 15, 2, 8, 14, 12, 0, 1, 10, 6, 9, 11, 5},
     {0, 14, 7, 11, 10, 4, 13, 1, 5, 8, 12, 6, 9, 3, 2, 15},
     {13, 8, 10, 1, 3, 15, 4, 2, 11, 6, 7, 12, 0, 5, 14, 9}},
    {{10, 0, 9, 14, 6, 3, 15, 5, 1, 13, 12, 7, 11, 4, 2, 8},
     {13, 7, 0, 9, 3, 4, 6, 10, 2, 8, 5, 14, 12, 11, 15, 1},
     {13, 6, 4, 9, 8, 15, 3, 0, 11, 1, 2, 12, 5, 10, 14, 7},
     {1, 10, 13, 0, 6, 9, 8, 7, 4, 15, 14, 3, 11, 5, 2, 12}},
    {{7, 13, 14, 3, 0, 6, 9, 10, 1, 2, 8, 5, 11, 12, 4, 15},
     {13, 8, 11, 5, 6, 15, 0, 3, 4, 7, 2, 12, 1, 10, 14, 9},
     {10, 6, 9, 0, 12, 11, 7, 13, 15, 1, 3, 14, 5, 2, 8, 4},
     {3, 15, 0, 6, 10, 1, 13, 8, 9, 4, 5, 11, 12, 7, 2, 14}},
    {{2, 12, 4, 1, 7, 10, 11, 6, 8, 5, 3, 15, 13, 0, 14, 9},
     {14, 11, 2, 12, 4, 7, 13, 1, 5, 0, 15, 10, 3, 9, 8, 6},
     {4, 2, 1, 11, 10, 13, 7, 8, 15, 9, 12, 5, 6, 3, 0, 14},
     {11, 8, 12, 7, 1, 14, 2, 13, 6, 15, 0, 9, 10, 4, 5, 3}},
    {{12, 1, 10, 15, 9, 2, 6, 8, 0, 13, 3, 4, 14, 7, 5, 11},
     {10, 15, 4, 2, 7, 12, 9, 5, 6, 1, 13, 14, 0, 11, 3, 8},
     {9, 14, 15, 5, 2, 8, 12, 3, 7, 0, 4, 10, 1, 13, 11, 6},
     {4, 3, 2, 12, 9, 5, 15, 10, 11, 14, 1, 7, 6, 0, 8, 13}},
    {{4, 11, 2, 14, 15, 0, 8, 13, 3, 12, 9, 7, 5, 10, 6, 1},
     {13, 0, 11, 7, 4, 9, 1, 10, 14, 3, 5, 12, 2, 15, 8, 6},
     {1, 4, 11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5, 9, 2},
     {6, 11, 13, 8, 1, 4, 10, 7, 9, 5, 0, 15, 14, 2, 3, 12}},
    {{13, 2, 8, 4, 6, 15, 11, 1, 10, 9, 3, 14, 5, 0, 12, 7},
     {1, 15, 13, 8, 10, 3, 7, 4, 12, 5, 6, 11, 0, 14, 9, 2},
     {7, 11, 4, 1, 9, 12, 14, 2, 0, 6, 10, 13, 15, 3, 5, 8},
     {2, 1, 14, 7, 4, 10, 8, 13, 15, 12, 9, 0, 3, 5, 6, 11}},
};

// Each S-box as 64 entries indexed directly by its 6-bit input.
struct SBoxes {
  uint8_t entry[8][64];
  SBoxes() {
    for (int box = 0; box < 8; ++box)
      for (int input = 0; input < 64; ++input) {
        int row = ((input >> 4) & 2) | (input & 1);
        int column = (input >> 1) & 15;
        entry[box][input] = kSBoxRows[box][row][column];
      }
  }
};

const SBoxes& Boxes() {
  static const SBoxes boxes;
  return boxes;
}

// Bit n (1-based, highest bit of the first byte first) of a byte string.
int BitOf(const uint8_t* bytes, int n) { return (bytes[(n - 1) >> 3] >> (7 - ((n - 1) & 7))) & 1; }

void Process(const uint8_t* key, uint8_t* data, uint32_t length, bool decrypt) {
  uint8_t permuted[56];
  DesWorkArea work;
  if (key) {
    for (int i = 0; i < 56; ++i) permuted[i] = static_cast<uint8_t>(BitOf(key, kPermutedChoice1[i]));
    DesKeySchedule(permuted, &work);
  }
  if (!key || !data || length == 0) return;
  const uint8_t (*roundkeys)[8] = decrypt ? work.roundkeys + 16 : work.roundkeys;
  for (uint32_t offset = 0; length - offset >= 8; offset += 8) {
    uint8_t* block = data + offset;
    uint8_t bits[64];
    for (int i = 0; i < 64; ++i) bits[i] = static_cast<uint8_t>(BitOf(block, kInitialPermutation[i]));
    DesRounds(bits, roundkeys);
    std::memset(block, 0, 8);
    for (int i = 0; i < 64; ++i)
      if (bits[kFinalPermutation[i] - 1]) block[i >> 3] = static_cast<uint8_t>(block[i >> 3] | (0x80 >> (i & 7)));
  }
}

}  // namespace

void DesKeySchedule(const uint8_t permutedkey[56], DesWorkArea* work) {
  uint8_t c[28], d[28];
  std::memcpy(c, permutedkey, 28);
  std::memcpy(d, permutedkey + 28, 28);
  for (int round = 0; round < 16; ++round) {
    for (int s = 0; s < kShifts[round]; ++s) {
      uint8_t c0 = c[0], d0 = d[0];
      std::memmove(c, c + 1, 27);
      std::memmove(d, d + 1, 27);
      c[27] = c0;
      d[27] = d0;
    }
    uint8_t* out = work->roundkeys[round];
    std::memset(out, 0, 8);
    for (int i = 0; i < 48; ++i) {
      int source = kPermutedChoice2[i] - 1;
      int bit = source < 28 ? c[source] : d[source - 28];
      out[i / 6] = static_cast<uint8_t>(out[i / 6] | (bit << (5 - i % 6)));
    }
  }
  for (int round = 0; round < 16; ++round) std::memcpy(work->roundkeys[16 + round], work->roundkeys[15 - round], 8);
}

void DesRounds(uint8_t block[64], const uint8_t (*roundkeys)[8]) {
  const SBoxes& boxes = Boxes();
  uint8_t left[32], right[32];
  std::memcpy(left, block, 32);
  std::memcpy(right, block + 32, 32);
  for (int round = 0; round < 16; ++round) {
    uint8_t substituted[32];
    for (int box = 0; box < 8; ++box) {
      int input = 0;
      for (int i = 0; i < 6; ++i) input = (input << 1) | right[kExpansion[box * 6 + i] - 1];
      int output = boxes.entry[box][input ^ roundkeys[round][box]];
      for (int i = 0; i < 4; ++i) substituted[box * 4 + i] = static_cast<uint8_t>((output >> (3 - i)) & 1);
    }
    uint8_t next[32];
    for (int i = 0; i < 32; ++i) next[i] = static_cast<uint8_t>(left[i] ^ substituted[kRoundPermutation[i] - 1]);
    std::memcpy(left, right, 32);
    std::memcpy(right, next, 32);
  }
  // The halves leave the rounds swapped.
  std::memcpy(block, right, 32);
  std::memcpy(block + 32, left, 32);
}

void DesEncrypt(const uint8_t* key, uint8_t* data, uint32_t length) { Process(key, data, length, false); }
void DesDecrypt(const uint8_t* key, uint8_t* data, uint32_t length) { Process(key, data, length, true); }
