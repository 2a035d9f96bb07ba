// The built plug-in modules when memory runs out, driven the way a host drives them (dlopen, the
// one export, the C table). The test executable replaces the global allocation functions, and the
// modules' own allocations bind to them, so every allocation a module makes can be made to fail in
// turn: the creator then hands out nothing and leaks nothing, and a frame that cannot get its depth
// buffer draws nothing while the animation goes on, so the next frame is the one it would have
// been.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "apefw/ape_abi.h"
#include "failing_allocator.hpp"
#include "fixed_tick.hpp"

namespace {

struct ModuleCase {
  const char* path;
  // The effect object, its buffers and the host's wrapper: coilfx has vertices, faces and trails;
  // blobfx vertices, faces, the edge cache and the ball field.
  long creation_allocations;
};

void PrintTo(const ModuleCase& c, std::ostream* os) { *os << c.path; }

class ModuleAllocation : public ::testing::TestWithParam<ModuleCase> {
 protected:
  void SetUp() override {
    handle_ = dlopen(GetParam().path, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    auto entry = reinterpret_cast<ApeEntryPointFn>(dlsym(handle_, APE_ENTRY_POINT_NAME));
    ASSERT_NE(entry, nullptr);
    char* name = nullptr;
    ASSERT_EQ(entry(nullptr, &name, &create_), 1);
  }
  void TearDown() override {
    failing_allocator::fail_allocation(0);
    if (handle_) dlclose(handle_);
  }

  void* handle_ = nullptr;
  ApeCreateEffectFn create_ = nullptr;
};

TEST_P(ModuleAllocation, EachCreationAllocationFailsInTurnAndNothingLeaks) {
  long failures = 0;
  for (long n = 1; n <= 32; ++n) {
    const failing_allocator::Counts before = failing_allocator::counts();
    failing_allocator::fail_allocation(n);
    ApeEffect* object = create_(nullptr);
    const bool failed = failing_allocator::failure_happened();
    failing_allocator::fail_allocation(0);
    const failing_allocator::Counts after = failing_allocator::counts();
    // Only nothrow forms: a std::bad_alloc would have to cross the host boundary.
    EXPECT_EQ(after.throwing_allocations, before.throwing_allocations) << "allocation " << n;
    if (!failed) {
      ASSERT_NE(object, nullptr);
      EXPECT_EQ(after.nothrow_allocations - before.nothrow_allocations, n - 1);
      object->vtable->destroy(object, APE_DESTROY_AND_FREE);
      EXPECT_EQ(failing_allocator::counts().live, before.live);
      break;
    }
    ++failures;
    EXPECT_EQ(object, nullptr) << "allocation " << n;
    EXPECT_EQ(after.live, before.live) << "allocation " << n << " leaked";
  }
  EXPECT_EQ(failures, GetParam().creation_allocations);
}

// One host session: settings in, frames at changing sizes (each change re-allocates the depth
// buffer), settings out. The host image differs from frame to frame, so a frame that drew nothing
// shows as exactly the image it was handed.
struct Session {
  std::vector<std::vector<int>> frames;
  std::vector<std::uint32_t> host_images;
  std::vector<std::uint8_t> saved;
  long allocations = 0;  // after creation
  long leaked = 0;       // held by the module after it was destroyed
};

struct FrameSize {
  int width, height;
};
// Every size is followed by at least one more frame of that size, where a failed buffer is tried
// again.
constexpr FrameSize kSessionSizes[] = {{64, 48}, {64, 48}, {64, 48}, {33, 71}, {33, 71}, {64, 48},
                                       {64, 48}, {24, 18}, {24, 18}, {64, 48}, {64, 48}};

Session run_session(ApeCreateEffectFn create, long failing_allocation) {
  Session s;
  // Everything the test itself needs is allocated first, so that the armed count runs over the
  // module's allocations alone and the live count shows what the module kept.
  std::vector<std::uint8_t> sound(APE_SOUND_BYTES);
  for (std::size_t f = 0; f < std::size(kSessionSizes); ++f) {
    const std::uint32_t host = 0x00102030u + 0x00010101u * static_cast<std::uint32_t>(f);
    const FrameSize size = kSessionSizes[f];
    s.frames.emplace_back(static_cast<std::size_t>(size.width) * size.height,
                          static_cast<int>(host));
    s.host_images.push_back(host);
  }
  s.saved.resize(APE_SETTINGS_BYTES);
  const long live = failing_allocator::counts().live;

  testsupport::set_fixed_tick(4242);
  ApeEffect* object = create(nullptr);
  if (!object) return s;
  const ApeEffectVtable* t = object->vtable;
  std::uint8_t blob[APE_SETTINGS_BYTES] = {};
  const std::uint32_t colours[3] = {0xFF2000u, 0x10F040u, 0x3030FFu};
  for (int i = 0; i < 3; ++i) {
    for (int b = 0; b < 4; ++b) blob[4 * i + b] = static_cast<std::uint8_t>(colours[i] >> (8 * b));
  }
  blob[64] = 3;
  blob[68] = 1;
  t->load_settings(object, blob, APE_SETTINGS_BYTES);

  std::uint32_t x = 99;
  const long before = failing_allocator::counts().nothrow_allocations;
  failing_allocator::fail_allocation(failing_allocation);
  for (std::size_t f = 0; f < std::size(kSessionSizes); ++f) {
    for (std::uint8_t& b : sound) {
      x = x * 1664525u + 1013904223u;
      b = static_cast<std::uint8_t>(x >> 25);  // 0..127: loud enough to move everything
    }
    t->render_frame(object, sound.data(), f % 3 == 0, s.frames[f].data(), nullptr,
                    kSessionSizes[f].width, kSessionSizes[f].height);
  }
  failing_allocator::fail_allocation(0);
  s.allocations = failing_allocator::counts().nothrow_allocations - before;
  t->save_settings(object, s.saved.data());
  t->destroy(object, APE_DESTROY_AND_FREE);
  s.leaked = failing_allocator::counts().live - live;
  return s;
}

TEST_P(ModuleAllocation, AFailedDepthBufferBlanksOneFrameAndTheNextRecovers) {
  const Session reference = run_session(create_, 0);
  ASSERT_EQ(reference.frames.size(), std::size(kSessionSizes));
  // One depth buffer per size change, and nothing else is allocated per frame.
  ASSERT_EQ(reference.allocations, 5);
  EXPECT_EQ(reference.leaked, 0);
  // Every frame of the reference shows the figure.
  for (std::size_t f = 0; f < reference.frames.size(); ++f) {
    long drawn = 0;
    for (int p : reference.frames[f])
      drawn += static_cast<std::uint32_t>(p) != reference.host_images[f];
    EXPECT_GT(drawn, 20) << "frame " << f;
  }

  for (long n = 1; n <= reference.allocations; ++n) {
    const Session failed = run_session(create_, n);
    ASSERT_EQ(failed.frames.size(), reference.frames.size());
    EXPECT_EQ(failed.allocations, reference.allocations + 1) << "the next frame tries again";
    int blank = 0;
    for (std::size_t f = 0; f < failed.frames.size(); ++f) {
      if (failed.frames[f] == reference.frames[f]) continue;
      ++blank;
      const std::vector<int> untouched(failed.frames[f].size(),
                                       static_cast<int>(failed.host_images[f]));
      EXPECT_EQ(failed.frames[f], untouched) << "allocation " << n << ", frame " << f;
    }
    EXPECT_EQ(blank, 1) << "allocation " << n;
    EXPECT_EQ(failed.saved, reference.saved);
    EXPECT_EQ(failed.leaked, 0) << "allocation " << n;
  }
}

INSTANTIATE_TEST_SUITE_P(Modules, ModuleAllocation,
                         ::testing::Values(ModuleCase{COILFX_MODULE, 5},
                                           ModuleCase{BLOBFX_MODULE, 6}),
                         [](const auto& info) { return info.index == 0 ? "coilfx" : "blobfx"; });

}  // namespace
