// The host boundary and the generic creator, driven the way a host drives a module: only through
// the C table of ape_abi.h.

#include <gtest/gtest.h>

#include <cstring>

#include "apefw/module.hpp"

namespace {

int g_live_effects = 0;

class ProbeEffect final : public apefw::EffectBase {
 public:
  ProbeEffect() { ++g_live_effects; }
  ~ProbeEffect() override { --g_live_effects; }
  bool construction_complete() const noexcept { return complete; }

  int render_frame(const std::uint8_t* sound, int beat, std::uint32_t* frame, std::uint32_t*,
                   int width, int height) override {
    frame[0] = static_cast<std::uint32_t>(sound[5] + beat + width * height);
    return 0;
  }
  const char* describe() override { return "Render / Probe"; }
  void load_settings(const std::uint8_t* data, int length) override {
    last_length = length + data[0];
  }
  int save_settings(std::uint8_t* buffer) override {
    buffer[0] = 0x5A;
    return 72;
  }

  static inline bool complete = true;
  int last_length = 0;
};

}  // namespace

// This test binary plays the deliverable.
const apefw::ModuleIdentity apefw::kModuleIdentity = {"Probe", "Render / Probe",
                                                      &apefw::make_complete_effect<ProbeEffect>};

namespace {

ApeEffect* APE_CDECL create(char* description) {
  return apefw::create_effect(apefw::kModuleIdentity, description);
}

TEST(HostBoundary, EntryPointHandsOutNameAndCreator) {
  char* name = nullptr;
  ApeCreateEffectFn creator = nullptr;
  EXPECT_EQ(apefw::module_entry_point(apefw::kModuleIdentity, &name, &creator, &create), 1);
  EXPECT_STREQ(name, "Probe");
  EXPECT_EQ(creator, &create);
}

TEST(HostBoundary, DescribeModeFillsTheBufferAndCreatesNothing) {
  char buffer[APE_DESCRIPTION_CAPACITY];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(create(buffer), nullptr);
  EXPECT_STREQ(buffer, "Render / Probe");
  EXPECT_EQ(g_live_effects, 0);
}

TEST(HostBoundary, SlotsForwardToTheEffectInOrder) {
  ApeEffect* object = create(nullptr);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(g_live_effects, 1);
  const ApeEffectVtable* t = object->vtable;

  unsigned char sound[APE_SOUND_BYTES] = {};
  sound[5] = 7;
  int frame[6] = {};
  EXPECT_EQ(t->render_frame(object, sound, 1, frame, nullptr, 3, 2), 0);
  EXPECT_EQ(frame[0], 7 + 1 + 6);
  EXPECT_EQ(t->create_settings_panel(object, nullptr, nullptr), nullptr);
  EXPECT_STREQ(t->describe(object), "Render / Probe");
  const unsigned char blob[72] = {3};
  t->load_settings(object, blob, 40);
  EXPECT_EQ(static_cast<ProbeEffect*>(apefw::unwrap(object))->last_length, 43);
  unsigned char out[72] = {};
  EXPECT_EQ(t->save_settings(object, out), 72);
  EXPECT_EQ(out[0], 0x5A);

  EXPECT_EQ(t->destroy(object, APE_DESTROY_AND_FREE), object);
  EXPECT_EQ(g_live_effects, 0);
}

TEST(HostBoundary, DestroyWithoutFreeEndsTheEffectAndLeavesAnInertShell) {
  ApeEffect* object = create(nullptr);
  ASSERT_NE(object, nullptr);
  object->vtable->destroy(object, 0);
  EXPECT_EQ(g_live_effects, 0);
  int frame[1] = {0};
  EXPECT_EQ(object->vtable->render_frame(object, nullptr, 0, frame, nullptr, 1, 1), 0);
  EXPECT_EQ(frame[0], 0);
  object->vtable->destroy(object, APE_DESTROY_AND_FREE);
}

TEST(HostBoundary, AnIncompleteEffectIsNeverHandedOut) {
  ProbeEffect::complete = false;
  EXPECT_EQ(create(nullptr), nullptr);
  ProbeEffect::complete = true;
  EXPECT_EQ(g_live_effects, 0);
}

}  // namespace
