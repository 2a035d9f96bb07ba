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
// The notice above is kept because the kernel polynomials, their coefficients and the three-part
// pi/2 used below follow fdlibm's published sin/cos.
//
// sin and cos from plain IEEE double operations only, so a 32-bit Windows build (SSE2 doubles) and
// a 64-bit Linux build give the same bits, where the platforms' own libraries (x87 fsin, different
// reductions, different polynomials) do not. Error below one ulp everywhere.
//
// Design, in three steps:
//  1. |x| ≤ pi/4 needs no reduction. Otherwise x = n·(pi/2) + y with |y| ≤ ~pi/4, y kept as
//     a double pair hi + lo: by a three-part pi/2 (Cody and Waite) up to 2^19·pi/2, by the same
//     with shorter parts up to 2^29·pi/2, and by the exact integer reduction of
//     trig_reduce_large.cpp beyond (and for the rare arguments too close to a multiple of pi/2 for
//     the shorter parts).
//  2. sin and cos of y from minimax polynomials on [−pi/4, pi/4], with a first-order term for lo.
//  3. n mod 4 picks which one, and its sign.
// Everything works on |x|: sin takes the sign of x back afterwards, so sin(−x) = −sin(x) and
// cos(−x) = cos(x) hold bit for bit. Round-to-nearest is assumed (the IEEE default).

#include "render3d/trig.hpp"

#include <bit>
#include <cstdint>

#include "trig_reduce_large.hpp"

namespace render3d::trig {
namespace {

using detail::ReducedAngle;

// High 32 bits of |x|'s pattern: sign, exponent and 20 mantissa bits, enough to place x in a range.
inline uint32_t magnitude_high_word(double x) noexcept {
  return static_cast<uint32_t>(std::bit_cast<uint64_t>(x) >> 32) & 0x7FFFFFFF;
}
inline int biased_exponent(double x) noexcept {
  return static_cast<int>((std::bit_cast<uint64_t>(x) >> 52) & 0x7FF);
}

// Ranges by high word of |x|.
constexpr uint32_t kQuarterPiHigh = 0x3FE921FB;    // |x| up to ~pi/4: no reduction
constexpr uint32_t kTinyHigh = 0x3E400000;         // 2^−27: sin x = x and cos x = 1 once rounded
constexpr uint32_t kMediumLimitHigh = 0x413921FB;  // ~2^19·pi/2: n·(33 bits) still exact
constexpr uint32_t kWideLimitHigh = 0x41C921FB;    // ~2^29·pi/2: n·(23 bits) still exact
constexpr uint32_t kNonFiniteHigh = 0x7FF00000;
constexpr uint32_t kPointThreeHigh = 0x3FD33333;     // 0.3
constexpr uint32_t kCosShiftLimitHigh = 0x3FE90000;  // 0.78125
// The shift cos_kernel takes out above 0.78125: a fixed number of three significant bits, so that
// 1 − q and x^2/2 − q stay exact.
constexpr double kCosShiftCap = 0.28125;

// Minimax polynomials on [−pi/4, pi/4] (fdlibm):
//   sin x ≈ x + S1·x^3 + ... + S6·x^13,  |error/x| ≤ 2^−58
//   cos x ≈ 1 − x^2/2 + C1·x^4 + ... + C6·x^14,  |error| ≤ 2^−58
// Written as bit patterns (hex floats) because only these exact doubles give the published
// accuracy.
constexpr double kS1 = -0x1.5555555555549p-3;   // 0xBFC55555 55555549
constexpr double kS2 = 0x1.111111110F8A6p-7;    // 0x3F811111 1110F8A6
constexpr double kS3 = -0x1.A01A019C161D5p-13;  // 0xBF2A01A0 19C161D5
constexpr double kS4 = 0x1.71DE357B1FE7Dp-19;   // 0x3EC71DE3 57B1FE7D
constexpr double kS5 = -0x1.AE5E68A2B9CEBp-26;  // 0xBE5AE5E6 8A2B9CEB
constexpr double kS6 = 0x1.5D93A5ACFD57Cp-33;   // 0x3DE5D93A 5ACFD57C

constexpr double kC1 = 0x1.555555555554Cp-5;    // 0x3FA55555 5555554C
constexpr double kC2 = -0x1.6C16C16C15177p-10;  // 0xBF56C16C 16C15177
constexpr double kC3 = 0x1.A01A019CB1590p-16;   // 0x3EFA01A0 19CB1590
constexpr double kC4 = -0x1.27E4F809C52ADp-22;  // 0xBE927E4F 809C52AD
constexpr double kC5 = 0x1.1EE9EBDB4B1C4p-29;   // 0x3E21EE9E BDB4B1C4
constexpr double kC6 = -0x1.8FAE9BE8838D4p-37;  // 0xBDA8FAE9 BE8838D4

// pi/2 in three 33-bit parts (each with a rounded remainder): n·part is exact for n < 2^20, so the
// first subtraction loses nothing, and each further part adds 33 bits where cancellation ate them.
constexpr double kTwoOverPi = 0x1.45F306DC9C883p-1;     // 2/pi, rounded
constexpr double kHalfPi1 = 0x1.921FB544p+0;            // first 33 bits of pi/2
constexpr double kHalfPi1Tail = 0x1.0B4611A626331p-34;  // pi/2 − kHalfPi1, rounded
constexpr double kHalfPi2 = 0x1.0B4611A6p-34;           // next 33 bits
constexpr double kHalfPi2Tail = 0x1.3198A2E037073p-69;  // pi/2 − kHalfPi1 − kHalfPi2, rounded
constexpr double kHalfPi3 = 0x1.3198A2Ep-69;            // next 33 bits
constexpr double kHalfPi3Tail = 0x1.B839A252049C1p-104;

// pi/2 cut after 2^−23, 2^−47 and 2^−71, and a rounded rest. The three parts have 23, 21 and 22
// significant bits, so n·part is exact for n < 2^30.
constexpr double kHalfPiA = 0x1.921FB4p+0;              // bits down to 2^−23
constexpr double kHalfPiB = 0x1.4442Dp-24;              // bits 2^−24 to 2^−47
constexpr double kHalfPiC = 0x1.846988p-48;             // bits 2^−48 to 2^−71
constexpr double kHalfPiCTail = 0x1.8CC51701B839Ap-72;  // pi/2 − A − B − C, rounded
// Below this the wide reduction hands over to the integer one (about one argument in 50000).
constexpr int kWideMinExponent = 1023 - 16;  // |x − n·(A + B)| ≥ 2^−16

// sin(x + y) for |x| ≤ ~pi/4, y a tail below half an ulp of x (0 when x is exact).
// sin(x + y) ≈ sin x + y·cos x ≈ sin x + y·(1 − x^2/2); the tail term rides inside the small part.
inline double sin_kernel(double x, double y) noexcept {
  const double z = x * x;
  const double v = z * x;
  const double r = kS2 + z * (kS3 + z * (kS4 + z * (kS5 + z * kS6)));
  return x - ((z * (0.5 * y - v * r) - y) - v * kS1);
}
// The same for an x that needed no reduction (no tail).
inline double sin_kernel_plain(double x) noexcept {
  const double z = x * x;
  const double v = z * x;
  const double r = kS2 + z * (kS3 + z * (kS4 + z * (kS5 + z * kS6)));
  return x + v * (kS1 + z * r);
}

// cos(x + y), same conditions; cos(x + y) ≈ cos x − x·y.
inline double cos_kernel(double x, double y) noexcept {
  const uint32_t ix = magnitude_high_word(x);
  const double z = x * x;
  const double r = z * (kC1 + z * (kC2 + z * (kC3 + z * (kC4 + z * (kC5 + z * kC6)))));
  if (ix < kPointThreeHigh) return 1.0 - (0.5 * z - (z * r - x * y));
  // Above 0.3 the rounding of 1 − x^2/2 costs too much; take a short q out of both sides, so that
  // 1 − q and x^2/2 − q are exact and what is left to subtract is small. q is |x|/4 with its low 32
  // bits cleared, or 0.28125 above 0.78125.
  const double q = ix > kCosShiftLimitHigh
                       ? kCosShiftCap
                       : std::bit_cast<double>(static_cast<uint64_t>(ix - 0x00200000) << 32);
  const double hz = 0.5 * z - q;
  const double a = 1.0 - q;
  return a - (hz - (z * r - x * y));
}

// x − n·pi/2 for pi/4 < x ≤ 2^19·pi/2 (x positive): subtract n times the parts of pi/2, as many as
// the cancellation needs, judged by how far the result's exponent fell below x's.
inline ReducedAngle reduce_medium(double x) noexcept {
  // n is the nearest integer to x·2/pi (or one off at a near-tie: |y| then exceeds pi/4 by a hair,
  // which the kernels still cover). x·2/pi + 0.5 < 2^20, so the conversion is in range.
  const int32_t n = static_cast<int32_t>(x * kTwoOverPi + 0.5);
  const double fn = static_cast<double>(n);
  double r = x - fn * kHalfPi1;  // exact: fn·kHalfPi1 is exact and close to x
  double w = fn * kHalfPi1Tail;
  double y = r - w;
  const int x_exponent = biased_exponent(x);
  if (x_exponent - biased_exponent(y) > 16) {
    // Lost more than 16 bits: take the next 33 bits of pi/2 too (good to about 118 bits).
    double t = r;
    w = fn * kHalfPi2;
    r = t - w;
    w = fn * kHalfPi2Tail - ((t - r) - w);
    y = r - w;
    if (x_exponent - biased_exponent(y) > 49) {
      // Lost more than 49: the third part (about 151 bits), enough for every double in this range.
      t = r;
      w = fn * kHalfPi3;
      r = t - w;
      w = fn * kHalfPi3Tail - ((t - r) - w);
      y = r - w;
    }
  }
  const double tail = (r - y) - w;
  return {y, tail, static_cast<unsigned>(n) & 3};
}

// x − n·pi/2 for 2^19·pi/2 < x ≤ 2^29·pi/2, where the effects' clocks and phases end up in long
// runs: the same idea with parts of pi/2 short enough for n ≤ 2^29 + 1.
//   r = x − n·A is exact (the two are within a factor 2 of each other);
//   r − n·B is exact too: both are multiples of 2^−44 and the difference, y + n·(pi/2 − A − B), is
//     below 1 (|y| ≤ ~pi/4, n·(pi/2 − A − B) < 2^30·2^−47);
//   n·(C + CTail) is then below 2^−17 and good to about 2^−93.
// When r − n·B falls below 2^−16, what is left of y might not hold enough bits: the integer
// reduction takes those (rare) arguments instead. Otherwise y has a relative error below 2^−75.
inline ReducedAngle reduce_wide(double x) noexcept {
  const int32_t n = static_cast<int32_t>(x * kTwoOverPi + 0.5);  // at most 2^29 + 1
  const double fn = static_cast<double>(n);
  const double r = (x - fn * kHalfPiA) - fn * kHalfPiB;
  if (biased_exponent(r) < kWideMinExponent) return detail::reduce_large(x);
  const double c = fn * kHalfPiC;  // exact
  const double t = r - c;
  const double t_error = (r - t) - c;  // exact: |r| ≥ |c|
  const double tail = t_error - fn * kHalfPiCTail;
  const double hi = t + tail;
  const double lo = tail - (hi - t);  // exact: |t| ≫ |tail|
  return {hi, lo, static_cast<unsigned>(n) & 3};
}

// x − n·pi/2 for finite x > pi/4 (x positive).
inline ReducedAngle reduce(double x, uint32_t ix) noexcept {
  if (ix <= kMediumLimitHigh) return reduce_medium(x);
  if (ix <= kWideLimitHigh) return reduce_wide(x);
  return detail::reduce_large(x);
}

// A fixed quiet NaN, so NaN results carry the same bits on every build whatever the input NaN was.
inline double not_a_number() noexcept {
  return std::bit_cast<double>(uint64_t{0x7FF8000000000000});
}

// sin(a) for a = |x| ≥ 0, finite.
inline double sin_of_magnitude(double a, uint32_t ia) noexcept {
  if (ia <= kQuarterPiHigh) {
    if (ia < kTinyHigh) return a;  // x − x^3/6 rounds to x; also keeps subnormals out of x·x
    return sin_kernel_plain(a);
  }
  const ReducedAngle y = reduce(a, ia);
  switch (y.quadrant) {
    case 0:
      return sin_kernel(y.hi, y.lo);
    case 1:
      return cos_kernel(y.hi, y.lo);
    case 2:
      return -sin_kernel(y.hi, y.lo);
    default:
      return -cos_kernel(y.hi, y.lo);
  }
}

}  // namespace

double sin(double x) noexcept {
  const uint32_t ix = magnitude_high_word(x);
  if (ix >= kNonFiniteHigh) return not_a_number();
  const bool negative = std::bit_cast<uint64_t>(x) >> 63;
  const double a = negative ? -x : x;
  const double s = sin_of_magnitude(a, ix);
  return negative ? -s : s;
}

double cos(double x) noexcept {
  const uint32_t ix = magnitude_high_word(x);
  if (ix >= kNonFiniteHigh) return not_a_number();
  const double a = std::bit_cast<uint64_t>(x) >> 63 ? -x : x;
  if (ix <= kQuarterPiHigh) {
    if (ix < kTinyHigh) return 1.0;  // 1 − x^2/2 rounds to 1
    return cos_kernel(a, 0.0);
  }
  const ReducedAngle y = reduce(a, ix);
  switch (y.quadrant) {
    case 0:
      return cos_kernel(y.hi, y.lo);
    case 1:
      return -sin_kernel(y.hi, y.lo);
    case 2:
      return -cos_kernel(y.hi, y.lo);
    default:
      return sin_kernel(y.hi, y.lo);
  }
}

}  // namespace render3d::trig
