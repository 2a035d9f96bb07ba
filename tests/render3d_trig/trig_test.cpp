// render3d::trig::sin / cos: special values, accuracy against correctly rounded values and against
// 64-bit-mantissa long double, exact symmetry, and the arguments that stress the argument reduction
// (near multiples of pi/2, around the hand-over between its two methods, and the largest doubles).

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "render3d/trig.hpp"

namespace {

using render3d::trig::cos;
using render3d::trig::sin;

uint64_t bits_of(double v) { return std::bit_cast<uint64_t>(v); }

// Distance in representable doubles (0 = identical, 1 = neighbours), across zero too.
uint64_t ulp_distance(double a, double b) {
  auto ordered = [](double v) {
    const uint64_t u = bits_of(v);
    return (u >> 63) != 0 ? uint64_t{0x8000000000000000} - (u & 0x7FFFFFFFFFFFFFFF)
                          : uint64_t{0x8000000000000000} + u;
  };
  const uint64_t oa = ordered(a), ob = ordered(b);
  return oa > ob ? oa - ob : ob - oa;
}

// Arguments in [-range, range], both signs.
double random_argument(std::mt19937_64& rng, double range) {
  const uint64_t r = rng();
  const double unit = static_cast<double>(r >> 11) * 0x1p-53;
  return (r & 1) != 0 ? -unit * range : unit * range;
}

// Any finite double, subnormals included.
double random_finite(std::mt19937_64& rng) {
  uint64_t u = rng();
  if (((u >> 52) & 0x7FF) == 0x7FF) u ^= uint64_t{1} << 62;
  return std::bit_cast<double>(u);
}

TEST(Trig, ZerosKeepTheirSignInSineAndGiveOneInCosine) {
  EXPECT_EQ(bits_of(sin(0.0)), bits_of(0.0));
  EXPECT_EQ(bits_of(sin(-0.0)), bits_of(-0.0));
  EXPECT_EQ(cos(0.0), 1.0);
  EXPECT_EQ(cos(-0.0), 1.0);
}

TEST(Trig, NonFiniteArgumentsGiveOneFixedNaN) {
  const double inputs[] = {std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity(),
                           std::numeric_limits<double>::quiet_NaN(),
                           -std::numeric_limits<double>::quiet_NaN(),
                           std::bit_cast<double>(uint64_t{0x7FF0000000000001}),  // payload
                           std::bit_cast<double>(uint64_t{0xFFFABCDEF0123456})};
  // The same bits whatever went in, so NaN results cannot differ between builds either.
  const uint64_t expected = bits_of(sin(inputs[0]));
  for (const double x : inputs) {
    EXPECT_TRUE(std::isnan(sin(x)));
    EXPECT_TRUE(std::isnan(cos(x)));
    EXPECT_EQ(bits_of(sin(x)), expected);
    EXPECT_EQ(bits_of(cos(x)), expected);
  }
}

TEST(Trig, TinyArgumentsGiveTheArgumentAndOne) {
  const double denorm_min = std::numeric_limits<double>::denorm_min();
  const double tiny[] = {
      denorm_min, 0x1.23456789abcdep-1030, std::numeric_limits<double>::min(), 1e-300,
      1e-20,      0x1.fffffffffffffp-28};
  for (const double x : tiny) {
    EXPECT_EQ(bits_of(sin(x)), bits_of(x)) << x;
    EXPECT_EQ(bits_of(sin(-x)), bits_of(-x)) << x;
    EXPECT_EQ(cos(x), 1.0) << x;
    EXPECT_EQ(cos(-x), 1.0) << x;
  }
}

// Correctly rounded sin and cos, computed offline to 1400 bits.
struct Golden {
  double x, sin_x, cos_x;
  const char* what;
};
constexpr Golden kGolden[] = {
    {0x1.0000000000000p-1, 0x1.eaee8744b05f0p-2, 0x1.c1528065b7d50p-1, "0.5"},
    {0x1.0000000000000p+0, 0x1.aed548f090ceep-1, 0x1.14a280fb5068cp-1, "1"},
    {0x1.0000000000000p+1, 0x1.d18f6ead1b446p-1, -0x1.aa22657537205p-2, "2"},
    {0x1.8000000000000p+1, 0x1.210386db6d55bp-3, -0x1.fae04be85e5d2p-1, "3"},
    {0x1.921fb54442d18p-1, 0x1.6a09e667f3bccp-1, 0x1.6a09e667f3bcdp-1, "pi/4"},
    {0x1.921fc00000000p-1, 0x1.6a09edfee58bap-1, 0x1.6a09ded101c53p-1, "first reduced, ~pi/4"},
    {0x1.921fb54442d18p+0, 0x1.0000000000000p+0, 0x1.1a62633145c07p-54, "pi/2"},
    {0x1.921fb54442d18p+1, 0x1.1a62633145c07p-53, -0x1.0000000000000p+0, "pi"},
    {0x1.4000000000000p+3, -0x1.1689ef5f34f52p-1, -0x1.ad9ac890c6b1fp-1, "10"},
    {0x1.9000000000000p+6, -0x1.03425b78c4db8p-1, 0x1.b981dbf665fdfp-1, "100"},
    {0x1.f440000000000p+9, 0x1.fd948c50a7a0dp-1, 0x1.8dbff75eb664fp-4, "1000.5"},
    {0x1.921fbffffffffp+20, 0x1.3e479a5ff2619p-1, 0x1.910d18d3aa54ep-1,
     "last 33-bit-part reduction"},
    {0x1.921fc00000000p+20, 0x1.3e479a61836ebp-1, 0x1.910d18d26c0d4p-1,
     "first 23-bit-part reduction"},
    {0x1.e848000000000p+19, -0x1.6664b2568d867p-2, 0x1.df9df9906d32cp-1, "1e6"},
    {0x1.78c29dccccccdp+23, -0x1.cb6bcc6c2b873p-1, 0x1.c4004c876f9c8p-2, "12345678.9"},
    {0x1.7d78400000000p+26, 0x1.dcffca623a20bp-1, -0x1.741b388a8c029p-2, "1e8"},
    {0x1.7d783fe000000p+26, 0x1.fbce0796026d5p-1, 0x1.05a261b478b80p-3, "99999999.5"},
    {0x1.921fbffffffffp+29, -0x1.b7edc93706b1cp-1, -0x1.05edba7dadd3cp-1,
     "last 23-bit-part reduction"},
    {0x1.921fc00000000p+29, -0x1.b7edcb42e2235p-1, -0x1.05edb70dd23f4p-1,
     "first integer reduction"},
    // Within 2^-59 of multiples of pi/2, where the shorter parts cannot reach and must hand over.
    {0x1.b951f1572eba5p+23, -0x1.0000000000000p+0, -0x1.f54f5227a4e84p-60, "near k·pi/2, 1.4e7"},
    {0x1.b951f1572eba5p+25, -0x1.f54f5227a4e84p-58, 0x1.0000000000000p+0, "near k·pi/2, 5.8e7"},
    {0x1.dcd6500000000p+29, 0x1.1778cae83c69bp-1, 0x1.acff8c7364234p-1, "1e9"},
    {0x1.0000000000001p+52, 0x1.053c35068e10dp-4, -0x1.fef526a39c993p-1, "2^52 + 1"},
    {0x1.0f0cf064dd592p+73, -0x1.b453ab76bf397p-1, 0x1.0be2cef01c8f4p-1, "1e22"},
    // The double closest to a multiple of pi/2 (6381956970095103·2^797): cos is only 2^-61.
    {0x1.6ac5b262ca1ffp+849, 0x1.0000000000000p+0, -0x1.14ae72e6ba22fp-61, "closest to k·pi/2"},
    // Doubles within about 2^-52 of a multiple of pi/2 at the top exponents (found by continued
    // fractions): only these show whether the last bits of the 2/pi table are right.
    {0x1.61a3db8c8d129p+1023, -0x1.dd15f96b823f2p-56, 0x1.0000000000000p+0, "near k·pi/2, 2^1023"},
    {0x1.4551061aadd5dp+1020, -0x1.b137a7a07431bp-52, -0x1.0000000000000p+0, "near k·pi/2, 2^1020"},
    {0x1.0fe7a706a83b8p+1012, 0x1.9dea52af3f9dbp-52, -0x1.0000000000000p+0, "near k·pi/2, 2^1012"},
    {0x1.2f5b32e213e61p+997, -0x1.0000000000000p+0, 0x1.e1fa1ff2790e8p-54, "near k·pi/2, 2^997"},
    {0x1.3cd06d91bde34p+982, -0x1.18a0cd011d413p-51, 0x1.0000000000000p+0, "near k·pi/2, 2^982"},
    {0x1.e1987122b7e06p+952, 0x1.62c5dcf7f8d24p-56, -0x1.0000000000000p+0, "near k·pi/2, 2^952"},
    {0x1.f8bf8d599a78bp+902, 0x1.0000000000000p+0, -0x1.d9adcd196660cp-54, "near k·pi/2, 2^902"},
    {0x1.1b21e01142fb4p+752, -0x1.0000000000000p+0, -0x1.1f7ba3d357dd1p-53, "near k·pi/2, 2^752"},
    {0x1.0000000000000p+1000, -0x1.460b8ae1c886ep-3, 0x1.f9785160c8815p-1, "2^1000"},
    {0x1.fffffffffffffp+1023, 0x1.452fc98b34e97p-8, -0x1.fffe62ecfab75p-1, "largest finite"},
};

TEST(Trig, WithinOneUlpOfCorrectlyRoundedValues) {
  for (const Golden& g : kGolden) {
    EXPECT_LE(ulp_distance(sin(g.x), g.sin_x), 1u) << "sin " << g.what;
    EXPECT_LE(ulp_distance(cos(g.x), g.cos_x), 1u) << "cos " << g.what;
    EXPECT_LE(ulp_distance(sin(-g.x), -g.sin_x), 1u) << "sin -" << g.what;
    EXPECT_LE(ulp_distance(cos(-g.x), g.cos_x), 1u) << "cos -" << g.what;
  }
}

TEST(Trig, SineIsOddAndCosineEvenBitForBit) {
  std::mt19937_64 rng(0x0DDE7E4);
  const double ranges[] = {1e-8, 1.0, 4.0, 1e3, 1e6, 1e9};
  for (int i = 0; i < 120000; ++i) {
    const double x = i % 7 == 6 ? random_finite(rng) : random_argument(rng, ranges[i % 7 % 6]);
    ASSERT_EQ(bits_of(sin(-x)), bits_of(-sin(x))) << std::hexfloat << x;
    ASSERT_EQ(bits_of(cos(-x)), bits_of(cos(x))) << std::hexfloat << x;
  }
}

TEST(Trig, SquaresSumToOne) {
  std::mt19937_64 rng(0x5E55);
  const double ranges[] = {1.0, 4.0, 1e3, 1e6, 1e8, 1e9};
  double worst = 0.0;
  for (int i = 0; i < 120000; ++i) {
    const double x = i % 7 == 6 ? random_finite(rng) : random_argument(rng, ranges[i % 7 % 6]);
    const double s = sin(x), c = cos(x);
    worst = std::fmax(worst, std::fabs(s * s + c * c - 1.0));
  }
  // Each result within an ulp, each product and sum rounded once: a few units of 2^-53.
  EXPECT_LE(worst, 4 * 0x1p-53);
}

// The long double reference (glibc's sinl/cosl, 64-bit mantissa, full-range reduction) is only
// trustworthy on an x86-64 Linux build; the Windows runtime's ones are x87 fsin, wrong for large x.
bool have_extended_reference() {
#if defined(_WIN32)
  return false;
#else
  return std::numeric_limits<long double>::digits >= 64;
#endif
}

// |ours − reference| in ulps of our double result.
long double error_in_ulps(double ours, long double reference) {
  const double magnitude = std::fabs(ours);
  const double ulp = std::nextafter(magnitude, std::numeric_limits<double>::infinity()) - magnitude;
  return std::fabs(static_cast<long double>(ours) - reference) / ulp;
}

struct WorstError {
  long double ulps = 0;
  double at = 0;
  void note(double x, double ours, long double reference) {
    const long double e = error_in_ulps(ours, reference);
    if (e > ulps) {
      ulps = e;
      at = x;
    }
  }
};

void expect_within_one_ulp(const WorstError& sin_error, const WorstError& cos_error,
                           const char* what) {
  EXPECT_LE(sin_error.ulps, 1.0L) << what << ": sin worst at " << std::hexfloat << sin_error.at;
  EXPECT_LE(cos_error.ulps, 1.0L) << what << ": cos worst at " << std::hexfloat << cos_error.at;
}

TEST(TrigReference, WithinOneUlpOverEveryRange) {
  if (!have_extended_reference()) GTEST_SKIP() << "no 64-bit-mantissa sinl/cosl on this platform";
  std::mt19937_64 rng(0xACC0);
  struct Range {
    double limit;
    int count;
    const char* what;
  };
  const Range ranges[] = {{1e-8, 40000, "[-1e-8, 1e-8]"}, {4.0, 80000, "[-4, 4]"},
                          {1e3, 60000, "[-1e3, 1e3]"},    {1e6, 60000, "[-1e6, 1e6]"},
                          {1e8, 40000, "[-1e8, 1e8]"},    {1e9, 40000, "[-1e9, 1e9]"}};
  for (const Range& range : ranges) {
    WorstError sin_error, cos_error;
    for (int i = 0; i < range.count; ++i) {
      const double x = random_argument(rng, range.limit);
      sin_error.note(x, sin(x), sinl(static_cast<long double>(x)));
      cos_error.note(x, cos(x), cosl(static_cast<long double>(x)));
    }
    expect_within_one_ulp(sin_error, cos_error, range.what);
  }
  // Every exponent up to the largest double: exercises the whole table of 2/pi.
  WorstError sin_error, cos_error;
  for (int i = 0; i < 30000; ++i) {
    const double x = random_finite(rng);
    sin_error.note(x, sin(x), sinl(static_cast<long double>(x)));
    cos_error.note(x, cos(x), cosl(static_cast<long double>(x)));
  }
  expect_within_one_ulp(sin_error, cos_error, "any finite");
}

TEST(TrigReference, WithinOneUlpNearMultiplesOfHalfPi) {
  if (!have_extended_reference()) GTEST_SKIP() << "no 64-bit-mantissa sinl/cosl on this platform";
  // Here the reduced argument is tiny, so the result's relative accuracy rests on every bit of pi/2
  // the reduction uses. The doubles nearest k·pi/2 and their neighbours.
  const long double half_pi = 3.14159265358979323846264338327950288L / 2;
  std::mt19937_64 rng(0x9172);
  WorstError sin_error, cos_error;
  auto check = [&](uint64_t k) {
    const double nearest = static_cast<double>(static_cast<long double>(k) * half_pi);
    const double candidates[] = {std::nextafter(nearest, 0.0), nearest,
                                 std::nextafter(nearest, std::numeric_limits<double>::infinity())};
    for (const double x : candidates) {
      sin_error.note(x, sin(x), sinl(static_cast<long double>(x)));
      cos_error.note(x, cos(x), cosl(static_cast<long double>(x)));
    }
  };
  for (uint64_t k = 1; k <= 20000; ++k) check(k);
  for (int i = 0; i < 20000; ++i) check(1 + (rng() >> (19 + i % 30)));  // k up to 2^45
  expect_within_one_ulp(sin_error, cos_error, "near k·pi/2");
}

}  // namespace
