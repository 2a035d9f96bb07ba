// The built plug-in module, driven the way a host drives it: loaded with dlopen, reached only
// through its one export and the C table of ape_abi.h.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "apefw/ape_abi.h"
#include "coil_fixtures.hpp"

namespace {

class CoilModule : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = dlopen(COILFX_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    entry_ = reinterpret_cast<ApeEntryPointFn>(dlsym(handle_, APE_ENTRY_POINT_NAME));
    ASSERT_NE(entry_, nullptr) << APE_ENTRY_POINT_NAME << " not exported";
    ASSERT_EQ(entry_(nullptr, &short_name_, &create_), 1);
  }
  void TearDown() override {
    if (handle_) dlclose(handle_);
  }

  void* handle_ = nullptr;
  ApeEntryPointFn entry_ = nullptr;
  char* short_name_ = nullptr;
  ApeCreateEffectFn create_ = nullptr;
};

TEST_F(CoilModule, AnswersWithItsNamesAndCreatesNothingInDescribeMode) {
  EXPECT_STREQ(short_name_, "Coilform 3D");
  ASSERT_NE(create_, nullptr);
  char description[APE_DESCRIPTION_CAPACITY];
  std::memset(description, 'x', sizeof description);
  EXPECT_EQ(create_(description), nullptr);
  EXPECT_STREQ(description, "Render / Coilform 3D");
}

TEST_F(CoilModule, CreatesRendersAndDestroysThroughTheTable) {
  ApeEffect* effect = create_(nullptr);
  ASSERT_NE(effect, nullptr);
  const ApeEffectVtable* t = effect->vtable;
  EXPECT_STREQ(t->describe(effect), "Render / Coilform 3D");
  EXPECT_EQ(t->create_settings_panel(effect, nullptr, nullptr), nullptr);  // no windowing here

  unsigned char blob[APE_SETTINGS_BYTES];
  ASSERT_EQ(t->save_settings(effect, blob), APE_SETTINGS_BYTES);
  EXPECT_EQ(blob[0], 0xFF);
  EXPECT_EQ(blob[1], 0x7F);
  EXPECT_EQ(blob[64], 1);
  blob[4] = 0x40;  // a second colour, 0x000040
  blob[64] = 2;    // two of them
  blob[68] = 1;    // jump on beats
  t->load_settings(effect, blob, APE_SETTINGS_BYTES);
  unsigned char back[APE_SETTINGS_BYTES];
  ASSERT_EQ(t->save_settings(effect, back), APE_SETTINGS_BYTES);
  EXPECT_EQ(std::memcmp(blob, back, sizeof blob), 0);

  const coiltest::Sound sound = coiltest::banded_sound();
  constexpr int kWidth = 120, kHeight = 90;
  constexpr int kHost = 0x00302010;
  std::vector<int> frame;
  for (int f = 0; f < 6; ++f) {
    frame.assign(kWidth * kHeight, kHost);
    EXPECT_EQ(t->render_frame(effect, sound.data(), f % 2, frame.data(), nullptr, kWidth, kHeight),
              0);
  }
  int changed = 0;
  for (int p : frame) changed += p != kHost;
  EXPECT_GT(changed, 100);

  EXPECT_EQ(t->destroy(effect, APE_DESTROY_AND_FREE), effect);
}

TEST_F(CoilModule, SeedsFromTheHostsTickCount) {
  // Two effects created at the same tick draw the same pictures.
  std::vector<int> frames[2];
  for (auto& frame : frames) {
    testsupport::set_fixed_tick(0x5EED);
    ApeEffect* effect = create_(nullptr);
    ASSERT_NE(effect, nullptr);
    frame.assign(64 * 64, 0);
    const coiltest::Sound sound = coiltest::banded_sound();
    for (int f = 0; f < 4; ++f) {
      effect->vtable->render_frame(effect, sound.data(), f == 1, frame.data(), nullptr, 64, 64);
    }
    effect->vtable->destroy(effect, APE_DESTROY_AND_FREE);
  }
  EXPECT_EQ(frames[0], frames[1]);
}

}  // namespace
