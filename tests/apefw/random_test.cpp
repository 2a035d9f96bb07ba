#include <gtest/gtest.h>

#include <thread>

#include "apefw/random.hpp"

namespace {

TEST(Random, SequenceFromSeedOneMatchesTheGenerator) {
  apefw::seed_random(1);
  // x = x * 214013 + 2531011 mod 2^32, value (x >> 16) & 0x7FFF.
  const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
  for (int e : expected) EXPECT_EQ(apefw::random15(), e);
}

TEST(Random, StateWrapsAndValuesStayIn15Bits) {
  apefw::seed_random(0xFFFFFFFFu);
  const int v = apefw::random15();
  EXPECT_EQ(apefw::random_state(), 0xFFFFFFFFu * 214013u + 2531011u);
  EXPECT_EQ(v, static_cast<int>((apefw::random_state() >> 16) & 0x7FFF));
  for (int i = 0; i < 100000; ++i) {
    const int r = apefw::random15();
    ASSERT_GE(r, 0);
    ASSERT_LE(r, apefw::kRandomMax);
  }
}

TEST(Random, EachThreadHasItsOwnStateStartingAtOne) {
  apefw::seed_random(777);
  int first_on_new_thread = -1;
  std::uint32_t state_on_new_thread = 0;
  std::thread([&] {
    state_on_new_thread = apefw::random_state();
    first_on_new_thread = apefw::random15();
  }).join();
  EXPECT_EQ(state_on_new_thread, 1u);
  EXPECT_EQ(first_on_new_thread, 41);
  EXPECT_EQ(apefw::random_state(), 777u);  // untouched by the other thread's draw
}

}  // namespace
