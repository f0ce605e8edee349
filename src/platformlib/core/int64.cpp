// 64-bit integer helpers over pairs of 32-bit words.
#include "platformlib/core/int64.h"

void umul64(uint32_t a, uint32_t b, Int64Pair* out) {
  const uint32_t al = a & 0xFFFF, ah = a >> 16, bl = b & 0xFFFF, bh = b >> 16;
  const uint32_t ll = al * bl, lh = al * bh, hl = ah * bl, hh = ah * bh;
  // Middle partial products, with their carries into the high word.
  const uint32_t middle = (ll >> 16) + (lh & 0xFFFF) + (hl & 0xFFFF);
  out->low = (middle << 16) | (ll & 0xFFFF);
  out->high = hh + (lh >> 16) + (hl >> 16) + (middle >> 16);
}

namespace {
uint32_t magnitude(int32_t value) {
  return value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
}
}  // namespace

void neg64(const Int64Pair* a, Int64Pair* out) {
  const uint32_t low = 0u - a->low;
  const uint32_t high = a->low == 0 ? 0u - a->high : ~a->high;
  out->low = low;
  out->high = high;
}

void smul64(int32_t a, int32_t b, Int64Pair* out) {
  umul64(magnitude(a), magnitude(b), out);
  if ((a < 0) != (b < 0)) neg64(out, out);
}

uint32_t udiv64(uint32_t low, uint32_t high, uint32_t divisor) {
  if (divisor == 0 || high >= divisor) return UINT32_MAX;
  uint32_t remainder = high;
  uint32_t quotient = 0;
  for (int step = 0; step < 32; ++step) {
    const bool carry = (remainder & 0x80000000u) != 0;
    remainder = (remainder << 1) | (low >> 31);
    low <<= 1;
    quotient <<= 1;
    if (carry || remainder >= divisor) {
      remainder -= divisor;
      quotient |= 1;
    }
  }
  return quotient;
}

int32_t sdiv64(uint32_t low, int32_t high, int32_t divisor) {
  Int64Pair dividend{low, static_cast<uint32_t>(high)};
  const bool negative = (high < 0) != (divisor < 0);
  if (high < 0) neg64(&dividend, &dividend);
  const uint32_t quotient = udiv64(dividend.low, dividend.high, magnitude(divisor));
  if (quotient > 0x7FFFFFFFu) {
    if (divisor == 0 || !negative || quotient != 0x80000000u) return negative ? INT32_MIN : INT32_MAX;
  }
  return negative ? static_cast<int32_t>(0u - quotient) : static_cast<int32_t>(quotient);
}

int32_t sdivmod64(uint32_t low, int32_t high, int32_t divisor, int32_t* remainder) {
  const int32_t quotient = sdiv64(low, high, divisor);
  if (remainder) {
    Int64Pair product, dividend{low, static_cast<uint32_t>(high)}, rest;
    smul64(quotient, divisor, &product);
    neg64(&product, &product);
    add64(&dividend, &product, &rest);
    *remainder = static_cast<int32_t>(rest.low);
  }
  return quotient;
}

void add64(const Int64Pair* a, const Int64Pair* b, Int64Pair* out) {
  const uint32_t low = a->low + b->low;
  const uint32_t carry = low < a->low ? 1 : 0;
  out->high = a->high + b->high + carry;
  out->low = low;
}

void sar64(const Int64Pair* a, int n, Int64Pair* out) {
  const int32_t high = static_cast<int32_t>(a->high);
  const uint32_t sign = high < 0 ? 0xFFFFFFFFu : 0;
  if (n <= 0) {
    *out = *a;
  } else if (n >= 64) {
    out->low = out->high = sign;
  } else if (n >= 32) {
    out->low = static_cast<uint32_t>(high >> (n - 32));
    out->high = sign;
  } else {
    out->low = (a->low >> n) | (a->high << (32 - n));
    out->high = static_cast<uint32_t>(high >> n);
  }
}

void shl32to64(int32_t a, int n, Int64Pair* out) {
  const uint32_t low = static_cast<uint32_t>(a);
  const uint32_t high = a < 0 ? 0xFFFFFFFFu : 0;
  if (n <= 0) {
    out->low = low;
    out->high = high;
  } else if (n >= 64) {
    out->low = out->high = 0;
  } else if (n >= 32) {
    out->high = low << (n - 32);
    out->low = 0;
  } else {
    out->high = (high << n) | (low >> (32 - n));
    out->low = low << n;
  }
}

void fixdiv64(int32_t a, int n, int32_t b, int32_t* quotient, int32_t* remainder) {
  Int64Pair shifted;
  shl32to64(a, n, &shifted);
  int32_t rest = 0;
  const int32_t q = sdivmod64(shifted.low, static_cast<int32_t>(shifted.high), b, &rest);
  if (quotient) *quotient = q;
  if (remainder) *remainder = rest;
}
