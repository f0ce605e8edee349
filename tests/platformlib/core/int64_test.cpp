#include <gtest/gtest.h>

#include <random>

#include "platformlib/core/int64.h"

namespace {

TEST(Int64, DocumentedCases) {
  Int64Pair out{};
  umul64(0xFFFFFFFFu, 0xFFFFFFFFu, &out);
  EXPECT_EQ(out.high, 0xFFFFFFFEu);
  EXPECT_EQ(out.low, 0x00000001u);
  smul64(-3, 5, &out);
  EXPECT_EQ(pairvalue(out), -15);
  EXPECT_EQ(udiv64(0, 1, 2), 0x80000000u);
  int32_t remainder = 0;
  Int64Pair minusseven = makepair(-7);
  EXPECT_EQ(sdiv64(minusseven.low, static_cast<int32_t>(minusseven.high), 2), -3);
  EXPECT_EQ(sdivmod64(minusseven.low, static_cast<int32_t>(minusseven.high), 2, &remainder), -3);
  EXPECT_EQ(remainder, -1);
}

TEST(Int64, ShiftsAndNegation) {
  struct ShiftCase {
    int64_t value;
    int n;
  };
  for (ShiftCase c : {ShiftCase{-1, 1}, ShiftCase{-0x123456789ll, 4}, ShiftCase{0x7FFFFFFFFFFFll, 31},
                      ShiftCase{-0x7FFFFFFFFFFFll, 32}, ShiftCase{-5, 40}, ShiftCase{5, 0}, ShiftCase{-5, 63}}) {
    Int64Pair in = makepair(c.value), out{};
    sar64(&in, c.n, &out);
    EXPECT_EQ(pairvalue(out), c.value >> c.n) << c.value << " >> " << c.n;
  }
  for (int n : {0, 1, 16, 31, 32, 33, 63}) {
    for (int32_t a : {1, -1, 0x12345, -0x12345, INT32_MIN}) {
      Int64Pair out{};
      shl32to64(a, n, &out);
      EXPECT_EQ(static_cast<uint64_t>(pairvalue(out)), static_cast<uint64_t>(static_cast<int64_t>(a)) << n)
          << a << " << " << n;
    }
  }
  for (int64_t v : {int64_t{0}, int64_t{1}, int64_t{-1}, int64_t{0x100000000}, int64_t{-0x100000000}, INT64_MIN}) {
    Int64Pair in = makepair(v), out{};
    neg64(&in, &out);
    EXPECT_EQ(static_cast<uint64_t>(pairvalue(out)), 0 - static_cast<uint64_t>(v));
  }
}

TEST(Int64, AgreesWithNativeArithmetic) {
  std::mt19937 random(1234);
  for (int i = 0; i < 20000; ++i) {
    const uint32_t a = random(), b = random();
    Int64Pair out{};
    umul64(a, b, &out);
    ASSERT_EQ(static_cast<uint64_t>(pairvalue(out)), static_cast<uint64_t>(a) * b);
    smul64(static_cast<int32_t>(a), static_cast<int32_t>(b), &out);
    ASSERT_EQ(pairvalue(out), static_cast<int64_t>(static_cast<int32_t>(a)) * static_cast<int32_t>(b));
    Int64Pair x = makepair(static_cast<int64_t>(random()) << 20), y = makepair(-static_cast<int64_t>(random()));
    add64(&x, &y, &out);
    ASSERT_EQ(pairvalue(out), pairvalue(x) + pairvalue(y));
    // Division where the quotient fits: divisor below 2^31, high word below the divisor.
    const uint32_t divisor = (random() & 0x7FFFFFFF) | 1;
    const uint64_t dividend = (static_cast<uint64_t>(random() % divisor) << 32) | random();
    ASSERT_EQ(udiv64(static_cast<uint32_t>(dividend), static_cast<uint32_t>(dividend >> 32), divisor),
              dividend / divisor);
    const int64_t signeddividend = static_cast<int64_t>(random() % 0x40000000) * (i % 2 ? -1 : 1) * 16;
    const int32_t signeddivisor = static_cast<int32_t>(random() % 1000 + 20) * (i % 3 ? 1 : -1);
    Int64Pair sd = makepair(signeddividend);
    int32_t remainder = 0;
    const int32_t quotient = sdivmod64(sd.low, static_cast<int32_t>(sd.high), signeddivisor, &remainder);
    ASSERT_EQ(quotient, signeddividend / signeddivisor);
    ASSERT_EQ(remainder, signeddividend % signeddivisor);
  }
}

TEST(Int64, FixedPointDivision) {
  int32_t quotient = 0, remainder = 0;
  fixdiv64(3, 16, 4, &quotient, &remainder);  // 0.75 in 16.16
  EXPECT_EQ(quotient, 0xC000);
  EXPECT_EQ(remainder, 0);
  fixdiv64(-10, 16, 3, &quotient, &remainder);
  EXPECT_EQ(quotient, static_cast<int32_t>((-10ll << 16) / 3));
  EXPECT_EQ(remainder, static_cast<int32_t>((-10ll << 16) % 3));
}

TEST(Int64, OutOfRangeQuotientsSaturateInsteadOfFaulting) {
  EXPECT_EQ(udiv64(0, 5, 0), 0xFFFFFFFFu);
  EXPECT_EQ(udiv64(0, 5, 5), 0xFFFFFFFFu);
  EXPECT_EQ(sdiv64(0, 1, 1), INT32_MAX);
  EXPECT_EQ(sdiv64(0, 1, -1), INT32_MIN);
  EXPECT_EQ(sdiv64(5, 0, 0), INT32_MAX);
  Int64Pair minimum = makepair(INT32_MIN);
  EXPECT_EQ(sdiv64(minimum.low, static_cast<int32_t>(minimum.high), 1), INT32_MIN);
}

}  // namespace
