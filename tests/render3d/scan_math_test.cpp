// The scan converter's exact integer helpers: saturating truncation and the wide weighted mean.

#include "scan_math.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

namespace {

using render3d::detail::mix_truncated;
using render3d::detail::trunc_to_int32;

TEST(TruncToInt32, TruncatesTowardZeroAndSaturates) {
  EXPECT_EQ(trunc_to_int32(-1.5), -1);
  EXPECT_EQ(trunc_to_int32(2.999), 2);
  EXPECT_EQ(trunc_to_int32(-0.0), 0);
  EXPECT_EQ(trunc_to_int32(2147483647.9), INT32_MAX);
  EXPECT_EQ(trunc_to_int32(-2147483648.9), INT32_MIN);
  EXPECT_EQ(trunc_to_int32(1e300), INT32_MAX);
  EXPECT_EQ(trunc_to_int32(-std::numeric_limits<double>::infinity()), INT32_MIN);
  EXPECT_EQ(trunc_to_int32(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(MixTruncated, SmallValuesTruncateTowardZero) {
  EXPECT_EQ(mix_truncated(7, 1, 0, 1), 3);
  EXPECT_EQ(mix_truncated(-7, 1, 0, 1), -3);
  EXPECT_EQ(mix_truncated(5, 3, 2, 6), 3);  // 27 / 9
  EXPECT_EQ(mix_truncated(5, 0, -2, 6), -2);
  EXPECT_EQ(mix_truncated(5, 4, -2, 0), 5);
}

TEST(MixTruncated, WideNumeratorsStayExact) {
  const std::int64_t p40 = std::int64_t{1} << 40;
  // 2^80 / 2^41 = 2^39.
  EXPECT_EQ(mix_truncated(p40, p40, 0, p40), std::int64_t{1} << 39);
  // (-2^80 + 2^40) / 2^41 = -2^39 + 1/2, truncated toward zero.
  EXPECT_EQ(mix_truncated(-p40 + 1, p40, 0, p40), -(std::int64_t{1} << 39) + 1);
  // The scan converter's extreme: columns and rows near +-2^31 + a half frame.
  const std::int64_t far = std::int64_t{INT32_MAX} + 1000;
  EXPECT_EQ(mix_truncated(far, far, far, far), far);
  EXPECT_EQ(mix_truncated(-far, far, far, far), 0);
}

#ifdef __SIZEOF_INT128__
TEST(MixTruncated, MatchesOneHundredTwentyEightBitArithmetic) {
  std::mt19937_64 rng(7u);
  for (int i = 0; i < 200000; ++i) {
    const int bits = 1 + static_cast<int>(rng() % 41);
    const std::int64_t span = std::int64_t{1} << bits;
    const auto signed_value = [&] { return static_cast<std::int64_t>(rng() % (2 * span)) - span; };
    const std::int64_t x2 = signed_value(), x0 = signed_value();
    const std::int64_t a = static_cast<std::int64_t>(rng() % span);
    const std::int64_t b = static_cast<std::int64_t>(rng() % span) + (a == 0);
    const __int128 expected = (static_cast<__int128>(x2) * a + static_cast<__int128>(x0) * b) /
                              (static_cast<__int128>(a) + b);
    ASSERT_EQ(mix_truncated(x2, a, x0, b), static_cast<std::int64_t>(expected))
        << x2 << " " << a << " " << x0 << " " << b;
  }
}
#endif

}  // namespace
