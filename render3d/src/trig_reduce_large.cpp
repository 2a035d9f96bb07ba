/*
 * ====================================================
 * Copyright (C) 1993 by Sun Microsystems, Inc. All rights reserved.
 *
 * Developed at SunSoft, a Sun Microsystems, Inc. business.
 * Permission to use, copy, modify, and distribute this
 * software is freely granted, provided that this notice
 * is preserved.
 * ====================================================
 */
// The notice above is kept because this file follows fdlibm's design for reducing huge arguments
// (Payne and Hanek: multiply by only the bits of 2/pi that matter) and holds the same bits of 2/pi
// as its table. The reduction itself is done differently here, in exact integer arithmetic.
//
// Why integers: x = m·2^q with m a 53-bit integer. The bits of 2/pi worth more than 2^(1−q)
// multiply m into a multiple of 4, which changes neither the quadrant nor the remainder, so only a
// 192-bit window of 2/pi starting there matters. m × window is formed exactly in 64-bit words (the
// same on every processor and compiler; no double rounding can creep in), the nearest quadrant is
// split off, and the signed remainder is multiplied by a 128-bit pi/2, again in integers, before it
// becomes two doubles.
//
// Precision budget: the bits of 2/pi below the window add less than m·2^(q−(q+190)) < 2^−137 to
// x·2/pi. The closest any double comes to a multiple of pi/2 is about 2^−61 (the famous
// 6381956970095103·2^797), so even then 75 correct bits remain, well past the 53 the result needs.

#include "trig_reduce_large.hpp"

#include <bit>
#include <cstdint>

namespace render3d::trig::detail {
namespace {

// 2/pi = 0.A2F9836E4E441529... in hex: bits 1 to 1216 after the binary point, most significant
// first, computed to 3000 bits and truncated. The leading zero word stands for the 64 bits before
// the point (2/pi < 1): the window of the smallest x reduced here starts 34 bits before it, and
// reads zeros there rather than outside the table. The largest double reads bits up to 1161 after
// the point. One row of the table per line, as laid out by hand.
// clang-format off
constexpr uint64_t kTwoOverPiBits[] = {
    0x0000000000000000,
    0xA2F9836E4E441529, 0xFC2757D1F534DDC0, 0xDB6295993C439041,
    0xFE5163ABDEBBC561, 0xB7246E3A424DD2E0, 0x06492EEA09D1921C,
    0xFE1DEB1CB129A73E, 0xE88235F52EBB4484, 0xE99C7026B45F7E41,
    0x3991D639835339F4, 0x9C845F8BBDF9283B, 0x1FF897FFDE05980F,
    0xEF2F118B5A0A6D1F, 0x6D367ECF27CB09B7, 0x4F463F669E5FEA2D,
    0x7527BAC7EBE5F17B, 0x3D0739F78A5292EA, 0x6BFB5FB11F8D5D08,
    0x56033046FC7B6BAB,
};
// clang-format on
constexpr unsigned kTableWords = sizeof(kTwoOverPiBits) / sizeof(kTwoOverPiBits[0]);

// pi/2 · 2^127, truncated: a 128-bit integer with its top bit set.
constexpr uint64_t kHalfPiHigh = 0xC90FDAA22168C234;
constexpr uint64_t kHalfPiLow = 0xC4C6628B80DC1CD1;

constexpr int kExponentBias = 1023;
constexpr int kMantissaBits = 52;
constexpr uint64_t kMantissaMask = (uint64_t{1} << kMantissaBits) - 1;

// The 192-bit product m·window, three words from most to least significant, read as a number of
// units of 2^−190: two bits of quadrant (x·2/pi mod 4) above 190 bits of fraction.
constexpr int kFractionBits = 190;
constexpr uint64_t kHalfUnitInTopWord = uint64_t{1} << (kFractionBits - 1 - 128);  // 0.5, bit 189
constexpr uint64_t kFractionMaskTopWord = (uint64_t{1} << (kFractionBits - 128)) - 1;

// a·b as a 128-bit result, from 32-bit halves where the compiler has no 128-bit integer (32-bit
// x86).
inline void multiply_wide(uint64_t a, uint64_t b, uint64_t& high, uint64_t& low) noexcept {
#if defined(__SIZEOF_INT128__)
  const unsigned __int128 p = static_cast<unsigned __int128>(a) * b;
  high = static_cast<uint64_t>(p >> 64);
  low = static_cast<uint64_t>(p);
#else
  const uint64_t a0 = a & 0xFFFFFFFF, a1 = a >> 32;
  const uint64_t b0 = b & 0xFFFFFFFF, b1 = b >> 32;
  const uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
  // At most 3·(2^32 − 1): no overflow.
  const uint64_t middle = (p00 >> 32) + (p01 & 0xFFFFFFFF) + (p10 & 0xFFFFFFFF);
  low = (middle << 32) | (p00 & 0xFFFFFFFF);
  high = p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32);
#endif
}

// An integer below 2^53 as a double, exactly. Two halves that each fit an int32, so the conversion
// is the plain signed one on every target, and the sum has at most 53 significant bits.
inline double exact_double(uint64_t v) noexcept {
  const double high = static_cast<double>(static_cast<int32_t>(v >> 26));
  const double low = static_cast<double>(static_cast<int32_t>(v & 0x3FFFFFF));
  return high * 67108864.0 + low;  // 2^26
}

// 2^e for a normal-range e, built from its bits.
inline double power_of_two(int e) noexcept {
  return std::bit_cast<double>(static_cast<uint64_t>(e + kExponentBias) << kMantissaBits);
}

}  // namespace

ReducedAngle reduce_large(double x) noexcept {
  const uint64_t bits = std::bit_cast<uint64_t>(x);
  const int biased_exponent = static_cast<int>(bits >> kMantissaBits);
  const uint64_t m = (bits & kMantissaMask) | (uint64_t{1} << kMantissaBits);
  const int q =
      biased_exponent - kExponentBias - kMantissaBits;  // x = m·2^q, q ≥ −33 here (x > 2^19)

  // The window starts at the bit of 2/pi worth 2^(1−q), which sits at index q + 62 of the padded
  // table.
  const unsigned first_bit = static_cast<unsigned>(q + 62);
  const unsigned word = first_bit / 64;
  const unsigned shift = first_bit % 64;
  // Four words cover any 192-bit window; the last one is only read when the window is not aligned.
  const uint64_t t0 = kTwoOverPiBits[word];
  const uint64_t t1 = kTwoOverPiBits[word + 1];
  const uint64_t t2 = kTwoOverPiBits[word + 2];
  const uint64_t t3 = shift != 0 && word + 3 < kTableWords ? kTwoOverPiBits[word + 3] : 0;
  uint64_t w2 = t0, w1 = t1, w0 = t2;
  if (shift != 0) {
    w2 = (t0 << shift) | (t1 >> (64 - shift));
    w1 = (t1 << shift) | (t2 >> (64 - shift));
    w0 = (t2 << shift) | (t3 >> (64 - shift));
  }

  // v = m·window mod 2^192 (the part above is a multiple of 4).
  uint64_t h0, l0, h1, l1;
  multiply_wide(m, w0, h0, l0);
  multiply_wide(m, w1, h1, l1);
  uint64_t v0 = l0;
  uint64_t v1 = h0 + l1;
  uint64_t v2 = h1 + m * w2 + (v1 < l1 ? 1 : 0);  // unsigned wrap-around is the mod 2^192

  // Round to the nearest quadrant: add one half, the top two bits are then n mod 4, and the 190
  // bits below, less one half, are the signed remainder x·2/pi − n in [−1/2, 1/2).
  v2 += kHalfUnitInTopWord;
  const unsigned quadrant = static_cast<unsigned>(v2 >> 62);
  v2 &= kFractionMaskTopWord;
  const bool negative = v2 < kHalfUnitInTopWord;
  if (!negative) {
    v2 -= kHalfUnitInTopWord;
  } else {
    // 1/2 − u for u below 1/2: complement the 189 bits below the half, then add one unit.
    v0 = ~v0;
    v1 = ~v1;
    v2 = ~v2 & (kHalfUnitInTopWord - 1);
    v0 += 1;
    if (v0 == 0) {
      v1 += 1;
      if (v1 == 0) v2 += 1;
    }
  }

  // Normalise |remainder| so its top bit is bit 191, counting the shift; keep the top 128 bits.
  int shifted = 0;
  for (int i = 0; i < 2 && v2 == 0;
       ++i) {  // never more than one word for a double, by the budget above
    v2 = v1;
    v1 = v0;
    v0 = 0;
    shifted += 64;
  }
  if (v2 == 0) return {0.0, 0.0, quadrant};
  const int lead = std::countl_zero(v2);
  if (lead != 0) {
    v2 = (v2 << lead) | (v1 >> (64 - lead));
    v1 = (v1 << lead) | (v0 >> (64 - lead));
  }
  shifted += lead;
  // |remainder| = (v2:v1)·2^(64 − shifted − 190), truncated.

  // Times pi/2: the top 128 bits of (v2:v1)·(pi/2·2^127).
  uint64_t ph00, pl00, ph01, pl01, ph10, pl10, ph11, pl11;
  multiply_wide(v1, kHalfPiLow, ph00, pl00);
  multiply_wide(v1, kHalfPiHigh, ph01, pl01);
  multiply_wide(v2, kHalfPiLow, ph10, pl10);
  multiply_wide(v2, kHalfPiHigh, ph11, pl11);
  (void)pl00;
  uint64_t mid = ph00 + pl01;
  uint64_t carry = mid < pl01 ? 1 : 0;
  mid += pl10;
  carry += mid < pl10 ? 1 : 0;
  uint64_t g1 = pl11 + ph01;
  uint64_t carry2 = g1 < ph01 ? 1 : 0;
  g1 += ph10;
  carry2 += g1 < ph10 ? 1 : 0;
  g1 += carry;
  carry2 += g1 < carry ? 1 : 0;
  uint64_t g2 = ph11 + carry2;
  // The product of two numbers in [2^127, 2^128) is at least 2^254: g2's top bit or the one below
  // is set.
  int exponent = 64 - shifted - kFractionBits - 127 + 128;  // the value is (g2:g1)·2^exponent
  if ((g2 >> 63) == 0) {
    g2 = (g2 << 1) | (g1 >> 63);
    g1 <<= 1;
    exponent -= 1;
  }

  // Top 53 bits and the next 53 as two exact doubles, scaled by exact powers of two (never
  // subnormal: the remainder is above 2^−70 and the lower part 2^106 below that).
  const uint64_t top = g2 >> 11;
  const uint64_t next = ((g2 & 0x7FF) << 42) | (g1 >> 22);
  double hi = exact_double(top) * power_of_two(exponent + 75);
  double lo = exact_double(next) * power_of_two(exponent + 22);
  // lo is below one ulp of hi; one exact two-sum leaves it within half an ulp.
  const double sum = hi + lo;
  lo = lo - (sum - hi);
  hi = sum;
  if (negative) {
    hi = -hi;
    lo = -lo;
  }
  return {hi, lo, quadrant};
}

}  // namespace render3d::trig::detail
