// The program's one pseudo-random generator: a fixed 256-byte permutation walked by an upward and a downward index.
// Drawing code takes bytes at the up index directly and pins it around a frame so that the frame's random-looking
// detail does not flicker.
#pragma once

#include <cstdint>

extern const uint8_t RandomTable[256];
extern uint8_t RandomUp;
extern uint8_t RandomDown;

// The table's generators (the game reaches them through the scene provider).
namespace scene {
int32_t Random15();
int32_t Random31();
}  // namespace scene
// A random ordering of 0..n-1 into out[0..n-1].
void ShufflePermutation(uint8_t* out, uint8_t n);
// The byte at the up index, which then advances by one.
inline uint8_t RandomNextByte() { return RandomTable[RandomUp++]; }
// Both indices from two readings of the millisecond clock.
void SeedRandomFromClock(uint32_t first, uint32_t second);

// Saves the up index, sets it for the scope's drawing, restores it afterwards.
class RandomUpPin {
 public:
  explicit RandomUpPin(uint8_t up) : saved_(RandomUp) { RandomUp = up; }
  ~RandomUpPin() { RandomUp = saved_; }
  RandomUpPin(const RandomUpPin&) = delete;
  RandomUpPin& operator=(const RandomUpPin&) = delete;

 private:
  uint8_t saved_;
};
