// The built plug-in, loaded and driven the way a host drives it: only through its one export and
// the C table of ape_abi.h.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "apefw/ape_abi.h"
#include "blob_fixtures.hpp"
#include "blobfx/blob_effect.hpp"
#include "fixed_tick.hpp"

namespace {

class LoadedModule : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = dlopen(BLOBFX_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    entry_ = reinterpret_cast<ApeEntryPointFn>(dlsym(handle_, APE_ENTRY_POINT_NAME));
    ASSERT_NE(entry_, nullptr) << dlerror();
  }
  void TearDown() override {
    if (handle_) dlclose(handle_);
  }

  void* handle_ = nullptr;
  ApeEntryPointFn entry_ = nullptr;
};

TEST_F(LoadedModule, AnswersWithItsNameAndCreator) {
  char* name = nullptr;
  ApeCreateEffectFn create = nullptr;
  EXPECT_EQ(entry_(nullptr, &name, &create), 1);
  EXPECT_STREQ(name, "Blobform 3D");
  ASSERT_NE(create, nullptr);

  char description[APE_DESCRIPTION_CAPACITY];
  std::memset(description, 'x', sizeof description);
  EXPECT_EQ(create(description), nullptr);
  EXPECT_STREQ(description, "Render / Blobform 3D");
}

TEST_F(LoadedModule, DrawsTheSameFramesAsTheEffectInProcess) {
  char* name = nullptr;
  ApeCreateEffectFn create = nullptr;
  entry_(nullptr, &name, &create);

  // Both seed their generators with the same tick count, so the beat kicks match too.
  testsupport::set_fixed_tick(2024);
  ApeEffect* object = create(nullptr);
  ASSERT_NE(object, nullptr);
  const ApeEffectVtable* table = object->vtable;
  EXPECT_STREQ(table->describe(object), "Render / Blobform 3D");
  blobfx::BlobEffect reference;

  // Two colours jumping on beats: the settings go in through the blob.
  std::uint8_t blob[72];
  ASSERT_EQ(table->save_settings(object, blob), 72);
  EXPECT_EQ(blob[0], 0xFF);
  EXPECT_EQ(blob[1], 0x7F);
  EXPECT_EQ(blob[64], 1);
  const std::uint32_t second = 0x20E040u;
  std::memcpy(blob + 4, &second, 4);
  blob[64] = 2;
  blob[68] = 1;
  table->load_settings(object, blob, 72);
  reference.load_settings(blob, 72);

  constexpr int kWidth = 200, kHeight = 150;
  auto sound = blobtest::silence();
  std::vector<int> frame(kWidth * kHeight), expected(kWidth * kHeight);
  for (int f = 0; f < 40; ++f) {
    // A swelling bass with a beat every eighth frame.
    blobtest::set_spectrum(sound, 0, 60, static_cast<std::uint8_t>(f * 6));
    const int beat = f % 8 == 3;
    for (int p = 0; p < kWidth * kHeight; ++p)
      frame[p] = expected[p] = (p * 2654435761u) & 0x7F7F7F;
    int output = 0x33;
    EXPECT_EQ(
        table->render_frame(object, sound.data(), beat, frame.data(), &output, kWidth, kHeight), 0);
    reference.render_frame(sound.data(), beat, reinterpret_cast<std::uint32_t*>(expected.data()),
                           nullptr, kWidth, kHeight);
    ASSERT_EQ(frame, expected) << "frame " << f;
    EXPECT_EQ(output, 0x33);
  }

  std::uint8_t saved[72];
  ASSERT_EQ(table->save_settings(object, saved), 72);
  EXPECT_EQ(std::memcmp(saved, blob, 72), 0);
  EXPECT_EQ(table->destroy(object, APE_DESTROY_AND_FREE), object);
}

}  // namespace
