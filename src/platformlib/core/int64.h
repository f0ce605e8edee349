// 64-bit values held as two 32-bit words (low word first), for the library's fixed-point code.
#pragma once

#include <cstdint>

struct Int64Pair {
  uint32_t low;
  uint32_t high;
};

void umul64(uint32_t a, uint32_t b, Int64Pair* out);
void smul64(int32_t a, int32_t b, Int64Pair* out);
// Quotients are correct when they fit in 32 bits; a zero divisor or a quotient that does not fit gives the
// largest quotient of the result's sign instead of a fault.
uint32_t udiv64(uint32_t low, uint32_t high, uint32_t divisor);
int32_t sdiv64(uint32_t low, int32_t high, int32_t divisor);
int32_t sdivmod64(uint32_t low, int32_t high, int32_t divisor, int32_t* remainder);
void add64(const Int64Pair* a, const Int64Pair* b, Int64Pair* out);
void neg64(const Int64Pair* a, Int64Pair* out);
void sar64(const Int64Pair* a, int n, Int64Pair* out);
void shl32to64(int32_t a, int n, Int64Pair* out);
void fixdiv64(int32_t a, int n, int32_t b, int32_t* quotient, int32_t* remainder);

inline int64_t pairvalue(const Int64Pair& pair) {
  return static_cast<int64_t>((static_cast<uint64_t>(pair.high) << 32) | pair.low);
}
inline Int64Pair makepair(int64_t value) {
  return Int64Pair{static_cast<uint32_t>(value), static_cast<uint32_t>(static_cast<uint64_t>(value) >> 32)};
}
