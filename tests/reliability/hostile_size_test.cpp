// Frame sizes no sane host sends, and the ones a careless host might: very wide, very tall, empty,
// negative, and far too large for any depth buffer. The frames are anonymous mappings with
// inaccessible guard pages on both sides, placed so that the frame's last byte touches the trailing
// guard: one pixel written past the end faults. Where the depth buffer cannot be had (this test
// executable refuses every allocation over 256 MiB, the way a host process without the room would),
// the whole frame is mapped inaccessible as well: reading or writing any pixel of it faults, and
// the mappings cost address space only, never memory.

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#include "blobfx/blob_effect.hpp"
#include "coilfx/coil_effect.hpp"
#include "failing_allocator.hpp"
#include "fixed_tick.hpp"
#include "host_feed.hpp"

namespace {

constexpr std::size_t kAllocationLimit = std::size_t{256} << 20;
constexpr std::uint32_t kHost = 0x00304050u;
constexpr unsigned char kSlack = 0xA5;

std::size_t page_size() { return static_cast<std::size_t>(sysconf(_SC_PAGESIZE)); }

// A frame of `pixels` 32-bit words between two guard pages, its end flush with the second guard.
// The bytes between the first guard and the frame's start hold kSlack. Accessible frames are either
// filled with kHost or left sparse (untouched pages read as 0 and take no memory).
class GuardedFrame {
 public:
  enum class Access { kFilled, kSparse, kNone };

  GuardedFrame(std::uint64_t pixels, Access access) {
    const std::size_t page = page_size();
    const std::uint64_t bytes = pixels * 4;
    const std::uint64_t frame_pages = (bytes + page - 1) / page;
    mapped_ = static_cast<std::size_t>((frame_pages + 2) * page);
    void* base =
        mmap(nullptr, mapped_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (base == MAP_FAILED) {
      base_ = nullptr;
      return;
    }
    base_ = static_cast<unsigned char*>(base);
    inner_ = base_ + page;
    inner_bytes_ = static_cast<std::size_t>(frame_pages * page);
    slack_ = inner_bytes_ - static_cast<std::size_t>(bytes);
    frame_ = reinterpret_cast<std::uint32_t*>(inner_ + slack_);
    pixels_ = static_cast<std::size_t>(pixels);
    if (access == Access::kNone) return;
    if (mprotect(inner_, inner_bytes_, PROT_READ | PROT_WRITE) != 0) {
      munmap(base_, mapped_);
      base_ = nullptr;
      return;
    }
    std::memset(inner_, kSlack, slack_);
    if (access == Access::kFilled) std::fill(frame_, frame_ + pixels_, kHost);
  }
  ~GuardedFrame() {
    if (base_) munmap(base_, mapped_);
  }
  GuardedFrame(const GuardedFrame&) = delete;
  GuardedFrame& operator=(const GuardedFrame&) = delete;

  [[nodiscard]] bool mapped() const { return base_ != nullptr; }
  [[nodiscard]] std::uint32_t* frame() const { return frame_; }
  [[nodiscard]] std::size_t pixels() const { return pixels_; }
  [[nodiscard]] bool slack_intact() const {
    for (std::size_t i = 0; i < slack_; ++i) {
      if (inner_[i] != kSlack) return false;
    }
    return true;
  }
  // Pages of the frame that hold memory now (mincore).
  [[nodiscard]] std::size_t resident_pages() const {
    std::vector<unsigned char> in_core(inner_bytes_ / page_size());
    if (mincore(inner_, inner_bytes_, in_core.data()) != 0) return SIZE_MAX;
    std::size_t n = 0;
    for (unsigned char c : in_core) n += c & 1;
    return n;
  }

 private:
  unsigned char* base_ = nullptr;
  std::size_t mapped_ = 0;
  unsigned char* inner_ = nullptr;
  std::size_t inner_bytes_ = 0;
  std::size_t slack_ = 0;
  std::uint32_t* frame_ = nullptr;
  std::size_t pixels_ = 0;
};

class HostileSizes : public ::testing::Test {
 protected:
  void SetUp() override { failing_allocator::limit_allocation_size(kAllocationLimit); }
  void TearDown() override { failing_allocator::limit_allocation_size(0); }
};

struct Size {
  int width, height;
};

// Drawable sizes: the frame and its depth buffer fit. Each is drawn twice (the second frame reuses
// the buffer). 65546 x 9 comes after 10 x 10 on purpose: both have the size key 655370, and the
// buffer made for 100 pixels must not serve 589,914.
constexpr Size kDrawable[] = {
    {1, 1},     {2, 1},     {1, 2},     {2, 2},       {3, 3},     {65536, 1},
    {1, 65536}, {65536, 2}, {2, 65536}, {65535, 3},   {3, 65535}, {16384, 5},
    {5, 16384}, {10, 10},   {65546, 9}, {4096, 4096}, {1, 1},
};

template <class Effect>
void draws_inside_every_drawable_frame(Effect& effect) {
  reliability::SoundFeed feed(5);
  for (const Size s : kDrawable) {
    GuardedFrame frame(std::uint64_t(s.width) * std::uint64_t(s.height),
                       GuardedFrame::Access::kFilled);
    ASSERT_TRUE(frame.mapped());
    std::vector<std::uint32_t> output(64, 0x5A5A5Au);
    for (int f = 0; f < 2; ++f) {
      const std::uint8_t* sound = feed.next_frame();
      ASSERT_EQ(effect.render_frame(sound, f == 0, frame.frame(), output.data(), s.width, s.height),
                0);
    }
    EXPECT_EQ(effect.depth_buffer.width(), s.width);
    EXPECT_EQ(effect.depth_buffer.height(), s.height);
    EXPECT_TRUE(frame.slack_intact()) << s.width << "x" << s.height << " wrote before the frame";
    EXPECT_EQ(output, std::vector<std::uint32_t>(64, 0x5A5A5Au));
    if (s.width >= 64 && s.height >= 64) {
      std::size_t drawn = 0;
      for (std::size_t p = 0; p < frame.pixels(); ++p) drawn += frame.frame()[p] != kHost;
      EXPECT_GT(drawn, 1000u) << s.width << "x" << s.height;
    }
  }
}

TEST_F(HostileSizes, CoilformDrawsOnlyInsideWideTallAndTinyFrames) {
  testsupport::set_fixed_tick(1);
  coilfx::CoilEffect effect;
  draws_inside_every_drawable_frame(effect);
}

TEST_F(HostileSizes, BlobformDrawsOnlyInsideWideTallAndTinyFrames) {
  testsupport::set_fixed_tick(2);
  blobfx::BlobEffect effect;
  draws_inside_every_drawable_frame(effect);
}

// Sizes whose depth buffer cannot be had (or that are empty or negative): nothing of the frame is
// touched, and the animation goes on. The frame of each is mapped inaccessible at its full size
// where that fits in the address space, otherwise as one page.
constexpr Size kRefused[] = {
    {70000, 70000},     {65536, 65536}, {46341, 46341},   {INT_MAX, 1}, {1, INT_MAX}, {INT_MAX, 3},
    {INT_MAX, INT_MAX}, {0, 0},         {0, INT_MAX},     {INT_MAX, 0}, {-1, 100},    {100, -1},
    {INT_MIN, INT_MIN}, {INT_MIN, 5},   {-70000, -70000},
};

template <class Effect, class Progress>
void touches_nothing_of_refused_frames(Effect& effect, Progress progress) {
  reliability::SoundFeed feed(6);
  const long refused_before = failing_allocator::refused_for_size();
  long expected_refusals = 0;
  for (const Size s : kRefused) {
    const bool positive = s.width > 0 && s.height > 0;
    const std::uint64_t pixels = positive ? std::uint64_t(s.width) * std::uint64_t(s.height) : 1;
    GuardedFrame frame(pixels <= (std::uint64_t{1} << 34) ? pixels : 1,
                       GuardedFrame::Access::kNone);
    ASSERT_TRUE(frame.mapped()) << s.width << "x" << s.height;
    const long before = progress(effect);
    for (int f = 0; f < 2; ++f) {
      const std::uint8_t* sound = feed.next_frame();
      ASSERT_EQ(effect.render_frame(sound, 1, frame.frame(), nullptr, s.width, s.height), 0);
      EXPECT_EQ(effect.depth_buffer.data(), nullptr) << s.width << "x" << s.height;
    }
    EXPECT_EQ(progress(effect), before + 2)
        << "the animation stopped at " << s.width << "x" << s.height;
    // Every positive size here asks for more than the process can give, once per frame.
    if (positive) expected_refusals += 2;
    // A frame that can be drawn afterwards is drawn again.
    std::vector<std::uint32_t> small(64 * 48, kHost);
    effect.render_frame(feed.next_frame(), 0, small.data(), nullptr, 64, 48);
    EXPECT_NE(effect.depth_buffer.data(), nullptr);
    std::size_t drawn = 0;
    for (const std::uint32_t p : small) drawn += p != kHost;
    EXPECT_GT(drawn, 20u) << "after " << s.width << "x" << s.height;
  }
  EXPECT_EQ(failing_allocator::refused_for_size() - refused_before, expected_refusals);
}

TEST_F(HostileSizes, CoilformTouchesNothingWhereNoDepthBufferCanBeHad) {
  testsupport::set_fixed_tick(3);
  coilfx::CoilEffect effect;
  touches_nothing_of_refused_frames(effect,
                                    [](const coilfx::CoilEffect& e) { return long{e.beat_count}; });
}

TEST_F(HostileSizes, BlobformTouchesNothingWhereNoDepthBufferCanBeHad) {
  testsupport::set_fixed_tick(4);
  blobfx::BlobEffect effect;
  touches_nothing_of_refused_frames(
      effect, [](const blobfx::BlobEffect& e) { return long{e.frame_count}; });
}

// A frame of 32768 x 1024 pixels (128 MiB) that the host never wrote: the figure in the middle
// takes only the pages it is drawn on, and the depth buffer (64 MiB) is the one large allocation.
template <class Effect>
std::size_t resident_pages_after_a_sparse_frame(Effect& effect) {
  constexpr int kWidth = 32768, kHeight = 1024;
  GuardedFrame frame(std::uint64_t{kWidth} * kHeight, GuardedFrame::Access::kSparse);
  EXPECT_TRUE(frame.mapped());
  if (!frame.mapped()) return SIZE_MAX;
  reliability::SoundFeed feed(7);
  effect.render_frame(feed.next_frame(), 0, frame.frame(), nullptr, kWidth, kHeight);
  EXPECT_TRUE(frame.slack_intact());
  // Something was drawn, in the middle columns only.
  std::size_t drawn = 0;
  for (int y = 0; y < kHeight; y += 8) {
    const std::uint32_t* row = frame.frame() + std::size_t(y) * kWidth;
    for (int x = kWidth / 2 - 1024; x < kWidth / 2 + 1024; ++x) drawn += row[x] != 0;
  }
  EXPECT_GT(drawn, 100u);
  return frame.resident_pages();
}

TEST_F(HostileSizes, AHugeSparseFrameOnlyTakesThePagesDrawnOn) {
  // 128 MiB of frame is 32768 pages; the figure spans at most a few thousand columns of 1024 rows.
  const std::size_t limit = (std::size_t{16} << 20) / page_size();
  {
    testsupport::set_fixed_tick(5);
    coilfx::CoilEffect effect;
    EXPECT_LT(resident_pages_after_a_sparse_frame(effect), limit);
  }
  {
    testsupport::set_fixed_tick(6);
    blobfx::BlobEffect effect;
    EXPECT_LT(resident_pages_after_a_sparse_frame(effect), limit);
  }
}

}  // namespace
