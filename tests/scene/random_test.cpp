#include <gtest/gtest.h>

#include "scene/random.h"

namespace {

struct Indices {
  uint8_t up, down;
};

TEST(Random, Random15TakesTheTwoIndicesAndSkipsOnBit11) {
  RandomUp = 0, RandomDown = 0;
  EXPECT_EQ(scene::Random15(), 23130);
  EXPECT_EQ(RandomUp, 1);
  EXPECT_EQ(RandomDown, 254);
  // T[1] = 0x92, T[254] = 0x6c: 0x126c has bit 11 clear, so the down index steps once.
  EXPECT_EQ(scene::Random15(), 0x126C);
  EXPECT_EQ(RandomUp, 2);
  EXPECT_EQ(RandomDown, 253);
}

TEST(Random, Random31BuildsFourBytesAndWraps) {
  const struct {
    Indices before;
    int32_t value;
    Indices after;
  } cases[] = {
      {{0, 0}, 0x127C5A5A, {2, 253}},
      // With up 255 the second byte is T[0]: 0x5a << 24 | T[254] << 16 | T[255] << 8 | T[255]... masked.
      {{255, 255}, static_cast<int32_t>((0x5Au << 24 | 0x6Cu << 16 | 0x7Cu << 8 | 0x7Cu) & 0x7FFFFFFFu), {1, 252}},
  };
  for (const auto& c : cases) {
    RandomUp = c.before.up, RandomDown = c.before.down;
    EXPECT_EQ(scene::Random31(), c.value);
    EXPECT_EQ(RandomUp, c.after.up);
    EXPECT_EQ(RandomDown, c.after.down);
  }
}

TEST(Random, ShuffleIsAPermutationAndTakesOneBytePerElement) {
  RandomUp = 7;
  uint8_t none[1] = {0xAA};
  ShufflePermutation(none, 0);
  EXPECT_EQ(none[0], 0xAA);
  EXPECT_EQ(RandomUp, 7);
  uint8_t one[1] = {0xAA};
  ShufflePermutation(one, 1);
  EXPECT_EQ(one[0], 0);
  EXPECT_EQ(RandomUp, 8);
  uint8_t all[255];
  ShufflePermutation(all, 255);
  bool seen[255] = {};
  for (uint8_t v : all) {
    ASSERT_LT(v, 255);
    EXPECT_FALSE(seen[v]);
    seen[v] = true;
  }
  EXPECT_EQ(RandomUp, static_cast<uint8_t>(8 + 255));
}

TEST(Random, TheTableIsAPermutationAndThePinRestoresTheUpIndex) {
  bool seen[256] = {};
  for (uint8_t v : RandomTable) seen[v] = true;
  for (bool s : seen) EXPECT_TRUE(s);
  RandomUp = 99;
  {
    RandomUpPin pin(37);
    EXPECT_EQ(RandomNextByte(), RandomTable[37]);
  }
  EXPECT_EQ(RandomUp, 99);
}

}  // namespace
