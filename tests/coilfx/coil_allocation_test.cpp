// A constructor that cannot get one of its arrays yields no effect and leaks nothing. This
// executable replaces the global allocation functions (failing_allocator), so that a test can make
// the n-th array allocation fail and count the arrays still held; it runs on its own.

#include <gtest/gtest.h>

#include "apefw/module.hpp"
#include "coilfx/coil_effect.hpp"
#include "failing_allocator.hpp"

namespace {

using failing_allocator::Among;

long live_arrays() { return failing_allocator::counts().live_arrays; }

TEST(CoilAllocation, AnyFailedArrayMeansNoEffectAndNoLeak) {
  // Vertices, faces and trails: three arrays, each may be the one that fails.
  for (int failing = 0; failing < 3; ++failing) {
    const long live_before = live_arrays();
    failing_allocator::fail_allocation(failing + 1, Among::arrays);
    std::unique_ptr<apefw::EffectBase> effect = apefw::make_complete_effect<coilfx::CoilEffect>();
    failing_allocator::fail_allocation(0);
    EXPECT_EQ(effect, nullptr) << "array " << failing;
    EXPECT_EQ(live_arrays(), live_before) << "array " << failing;
  }
}

TEST(CoilAllocation, AllArraysPresentMeansACompleteEffect) {
  const long live_before = live_arrays();
  {
    std::unique_ptr<apefw::EffectBase> effect = apefw::make_complete_effect<coilfx::CoilEffect>();
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(live_arrays(), live_before + 3);
    // The depth buffer is the fourth array; a frame that cannot get it still animates.
    std::uint32_t frame[8 * 8] = {};
    const std::uint8_t sound[APE_SOUND_BYTES] = {};
    failing_allocator::fail_allocation(1, Among::arrays);
    EXPECT_EQ(effect->render_frame(sound, 1, frame, nullptr, 8, 8), 0);
    failing_allocator::fail_allocation(0);
    EXPECT_EQ(static_cast<coilfx::CoilEffect&>(*effect).beat_count, 1);
    for (std::uint32_t p : frame) ASSERT_EQ(p, 0u);
    effect->render_frame(sound, 0, frame, nullptr, 8, 8);
    EXPECT_EQ(live_arrays(), live_before + 4);
  }
  EXPECT_EQ(live_arrays(), live_before);
}

}  // namespace
