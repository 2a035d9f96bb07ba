// A constructor that cannot get one of its arrays yields no effect and leaks nothing. This
// executable replaces the array forms of operator new and delete, so that a test can make the n-th
// array allocation fail and count what is still held.

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "apefw/module.hpp"
#include "coilfx/coil_effect.hpp"

namespace {

int g_fail_countdown = -1;  // the allocation that fails: 0 = the next one; -1 = none
int g_live_arrays = 0;

void* allocate_array(std::size_t size) noexcept {
  if (g_fail_countdown >= 0 && g_fail_countdown-- == 0) return nullptr;
  void* p = std::malloc(size ? size : 1);
  if (p) ++g_live_arrays;
  return p;
}

void free_array(void* p) noexcept {
  if (!p) return;
  --g_live_arrays;
  std::free(p);
}

}  // namespace

void* operator new[](std::size_t size) {
  if (void* p = allocate_array(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return allocate_array(size);
}
void operator delete[](void* p) noexcept { free_array(p); }
void operator delete[](void* p, std::size_t) noexcept { free_array(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { free_array(p); }

namespace {

TEST(CoilAllocation, AnyFailedArrayMeansNoEffectAndNoLeak) {
  // Vertices, faces and trails: three arrays, each may be the one that fails.
  for (int failing = 0; failing < 3; ++failing) {
    const int live_before = g_live_arrays;
    g_fail_countdown = failing;
    std::unique_ptr<apefw::EffectBase> effect = apefw::make_complete_effect<coilfx::CoilEffect>();
    g_fail_countdown = -1;
    EXPECT_EQ(effect, nullptr) << "array " << failing;
    EXPECT_EQ(g_live_arrays, live_before) << "array " << failing;
  }
}

TEST(CoilAllocation, AllArraysPresentMeansACompleteEffect) {
  const int live_before = g_live_arrays;
  {
    std::unique_ptr<apefw::EffectBase> effect = apefw::make_complete_effect<coilfx::CoilEffect>();
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(g_live_arrays, live_before + 3);
    // The depth buffer is the fourth array; a frame that cannot get it still animates.
    std::uint32_t frame[8 * 8] = {};
    const std::uint8_t sound[APE_SOUND_BYTES] = {};
    g_fail_countdown = 0;
    EXPECT_EQ(effect->render_frame(sound, 1, frame, nullptr, 8, 8), 0);
    g_fail_countdown = -1;
    EXPECT_EQ(static_cast<coilfx::CoilEffect&>(*effect).beat_count, 1);
    for (std::uint32_t p : frame) ASSERT_EQ(p, 0u);
    effect->render_frame(sound, 0, frame, nullptr, 8, 8);
    EXPECT_EQ(g_live_arrays, live_before + 4);
  }
  EXPECT_EQ(g_live_arrays, live_before);
}

}  // namespace
