#pragma once
#include <cstdint>

// What the golf simulation uses of its neighbours, until they provide it: the scene's random numbers.
namespace golf_svc {

// A pseudo-random number from 0 to 32767.
int Random15();
void SeedRandom15(uint32_t seed);

}  // namespace golf_svc
