// Long runs: each effect for many frames (100,000 in the optimised build) at a small size, with
// changing sound, beats and now and then new settings, the way a host runs a preset for hours.
// Memory must stay flat: after the first frame nothing is allocated or freed (the test executable
// counts every allocation; the sanitizer build also checks for leaks at exit). And the two counters
// that wrap, coilfx's clock and blobfx's frame counter, are started just below the wrap: crossing
// it changes nothing but the counter's own value and what is computed from it.

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <vector>

#include "apefw/random.hpp"
#include "blobfx/blob_effect.hpp"
#include "coilfx/coil_effect.hpp"
#include "failing_allocator.hpp"
#include "fixed_tick.hpp"
#include "host_feed.hpp"

namespace {

using reliability::SoundFeed;

constexpr long kLongRunFrames = RELIABILITY_LONG_RUN_FRAMES;
constexpr int kWidth = 40, kHeight = 30;
constexpr std::uint32_t kHost = 0x00204060u;
constexpr std::uint32_t kGuard = 0xDEADBEEFu;
constexpr int kGuardWords = 16;

struct RunReport {
  long frames = 0;
  long beats = 0;
  long drawn_frames = 0;
  long settings_loads = 0;
  long bad_results = 0;
  long positions_outside_list = 0;
  long counts_outside_range = 0;
  long guard_overwrites = 0;
  failing_allocator::Counts after_first{};
  failing_allocator::Counts at_end{};
};

// Runs `frames` frames on `effect`; every 997th frame first loads a new settings blob (an
// unclamped count from -3 to 20, random colours, on-beat off, on or 5).
template <class Effect>
RunReport run(Effect& effect, long frames, std::uint32_t seed) {
  RunReport r;
  SoundFeed feed(seed);
  std::vector<std::uint32_t> frame(kWidth * kHeight + kGuardWords);
  std::vector<std::uint32_t> output(kGuardWords, kGuard);
  std::vector<std::vector<std::uint8_t>> blobs;
  for (int i = 0; i < 64; ++i) {
    std::vector<std::uint32_t> colours(16);
    for (std::uint32_t& c : colours) c = feed.random().next() & 0xFFFFFFu;
    const auto count = static_cast<std::int32_t>(feed.random().below(24)) - 3;
    const std::int32_t on_beat[3] = {0, 1, 5};
    blobs.push_back(reliability::settings_blob(colours, count, on_beat[feed.random().below(3)]));
  }

  for (long f = 0; f < frames; ++f) {
    if (f % 997 == 996) {
      const auto& blob = blobs[static_cast<std::size_t>(r.settings_loads) % blobs.size()];
      effect.load_settings(blob.data(), static_cast<int>(blob.size()));
      ++r.settings_loads;
    }
    std::fill(frame.begin(), frame.end() - kGuardWords, kHost);
    std::fill(frame.end() - kGuardWords, frame.end(), kGuard);
    const std::uint8_t* sound = feed.next_frame();
    r.beats += feed.beat();
    if (effect.render_frame(sound, feed.beat(), frame.data(), output.data(), kWidth, kHeight) !=
        0) {
      ++r.bad_results;
    }
    if (f == 0) r.after_first = failing_allocator::counts();

    const std::int32_t count = effect.settings.colour_count;
    if (count < 1 || count > 16) ++r.counts_outside_range;
    if (!(effect.colour_position >= 0.0 && effect.colour_position < count))
      ++r.positions_outside_list;
    long drawn = 0;
    for (int p = 0; p < kWidth * kHeight; ++p) drawn += frame[p] != kHost;
    r.drawn_frames += drawn > 0;
    for (int g = 0; g < kGuardWords; ++g) {
      r.guard_overwrites += (frame[kWidth * kHeight + g] != kGuard) + (output[g] != kGuard);
    }
    ++r.frames;
  }
  r.at_end = failing_allocator::counts();
  return r;
}

void expect_sound_run(const char* name, const RunReport& r) {
  std::printf(
      "%s: %ld frames at %dx%d, %ld beats, %ld settings loads, %ld frames drawn, "
      "%ld allocations after the first frame\n",
      name, r.frames, kWidth, kHeight, r.beats, r.settings_loads, r.drawn_frames,
      (r.at_end.nothrow_allocations + r.at_end.throwing_allocations) -
          (r.after_first.nothrow_allocations + r.after_first.throwing_allocations));
  EXPECT_EQ(r.frames, kLongRunFrames);
  EXPECT_EQ(r.bad_results, 0);
  EXPECT_EQ(r.counts_outside_range, 0);
  EXPECT_EQ(r.positions_outside_list, 0);
  EXPECT_EQ(r.guard_overwrites, 0);
  // Flat memory: nothing allocated, nothing freed after the first frame.
  EXPECT_EQ(r.at_end.nothrow_allocations, r.after_first.nothrow_allocations);
  EXPECT_EQ(r.at_end.throwing_allocations, r.after_first.throwing_allocations);
  EXPECT_EQ(r.at_end.live, r.after_first.live);
}

TEST(LongRun, CoilformForManyFramesKeepsItsMemoryFlat) {
  const long live = failing_allocator::counts().live;
  {
    testsupport::set_fixed_tick(7);
    coilfx::CoilEffect effect;
    const RunReport r = run(effect, kLongRunFrames, 1);
    expect_sound_run("coilfx", r);
    // The body is always in view.
    EXPECT_EQ(r.drawn_frames, r.frames);
    EXPECT_TRUE(std::isfinite(effect.rotation[0]) && std::isfinite(effect.light2_phase.z));
  }
  EXPECT_EQ(failing_allocator::counts().live, live);
}

TEST(LongRun, BlobformForManyFramesKeepsItsMemoryFlat) {
  const long live = failing_allocator::counts().live;
  {
    testsupport::set_fixed_tick(8);
    blobfx::BlobEffect effect;
    const RunReport r = run(effect, kLongRunFrames, 2);
    expect_sound_run("blobfx", r);
    EXPECT_GT(r.drawn_frames, r.frames * 9 / 10);
    for (const std::int32_t orbit : effect.ball_field->orbit_radius) {
      EXPECT_TRUE(orbit >= 0 && orbit <= 400);
    }
  }
  EXPECT_EQ(failing_allocator::counts().live, live);
}

// What a coil frame leaves behind that does not depend on the clock.
struct CoilState {
  std::int32_t band_level[3], band_trend[3], beat_count;
  double sway[3], sway_target[3], zoom, colour_position;
  std::uint32_t random_state;
  bool operator==(const CoilState&) const = default;
};

CoilState clock_free_state(const coilfx::CoilEffect& e) {
  CoilState s{};
  for (int k = 0; k < 3; ++k) {
    s.band_level[k] = e.band_level[k];
    s.band_trend[k] = e.band_trend[k];
    s.sway[k] = e.sway[k];
    s.sway_target[k] = e.sway_target[k];
  }
  s.beat_count = e.beat_count;
  s.zoom = e.zoom;
  s.colour_position = e.colour_position;
  s.random_state = apefw::random_state();
  return s;
}

struct WrapRun {
  std::vector<std::uint32_t> counter;  // the wrapping counter after each frame, as unsigned
  std::vector<long> drawn;             // pixels drawn in each frame
};

template <class Effect, class State, class Extract, class Counter>
WrapRun run_from(Effect& effect, int frames, std::vector<State>& states, Extract extract,
                 Counter counter) {
  WrapRun w;
  SoundFeed feed(77);
  const std::vector<std::uint8_t> blob =
      reliability::settings_blob({0xFF0000u, 0x00FF00u, 0x0000FFu, 0xFFFFFFu}, 4, 1);
  effect.load_settings(blob.data(), static_cast<int>(blob.size()));
  std::vector<std::uint32_t> frame(kWidth * kHeight);
  for (int f = 0; f < frames; ++f) {
    std::fill(frame.begin(), frame.end(), kHost);
    const std::uint8_t* sound = feed.next_frame();
    effect.render_frame(sound, feed.beat(), frame.data(), nullptr, kWidth, kHeight);
    states.push_back(extract(effect));
    w.counter.push_back(static_cast<std::uint32_t>(counter(effect)));
    long drawn = 0;
    for (const std::uint32_t p : frame) drawn += p != kHost;
    w.drawn.push_back(drawn);
  }
  return w;
}

// Two effects with the same seed and input, one with its clock at 0, one just below the wrap: every
// value that does not come from the clock matches frame for frame, the clocks stay the same
// distance apart modulo 2^32 (steps of 11 or 12 straight through the wrap), and the figure is drawn
// on every frame after the wrap as before it.
TEST(CounterWrap, CoilformClockCrossesTheWrapWithoutAnyOtherChange) {
  constexpr int kFrames = 3000;
  constexpr std::int32_t kStart = INT32_MAX - 11 * 1000;
  std::vector<CoilState> plain_states, wrapped_states;

  testsupport::set_fixed_tick(31);
  coilfx::CoilEffect plain;
  const WrapRun p = run_from(plain, kFrames, plain_states, clock_free_state,
                             [](const coilfx::CoilEffect& e) { return e.clock; });
  testsupport::set_fixed_tick(31);
  coilfx::CoilEffect wrapped;
  wrapped.clock = kStart;
  const WrapRun w = run_from(wrapped, kFrames, wrapped_states, clock_free_state,
                             [](const coilfx::CoilEffect& e) { return e.clock; });

  int first_negative = -1;
  for (int f = 0; f < kFrames; ++f) {
    ASSERT_EQ(wrapped_states[f], plain_states[f]) << "frame " << f;
    ASSERT_EQ(w.counter[f] - p.counter[f], static_cast<std::uint32_t>(kStart)) << "frame " << f;
    const std::uint32_t step =
        w.counter[f] - (f ? w.counter[f - 1] : static_cast<std::uint32_t>(kStart));
    ASSERT_TRUE(step == 11 || step == 12) << "frame " << f << " stepped " << step;
    ASSERT_GT(w.drawn[f], 0) << "frame " << f;
    if (first_negative < 0 && static_cast<std::int32_t>(w.counter[f]) < 0) first_negative = f;
  }
  // The wrap came between frame 800 and 1000 (steps of 11, 12 after kicks).
  EXPECT_GT(first_negative, 800);
  EXPECT_LT(first_negative, 1001);
  EXPECT_TRUE(std::isfinite(wrapped.rotation[1]) && std::isfinite(wrapped.light1_phase.x));
}

// What a blob frame leaves behind that does not depend on the frame counter: the band values, the
// colour, the spin angles and rates, the orbits and the spread.
struct BlobState {
  std::int32_t band_level[3], band_trend[3];
  double colour_position;
  std::int32_t orbit_radius[blobfx::kBallCount];
  double spin[blobfx::kSpinAngles], spin_rate[blobfx::kSpinAngles], spread;
  std::uint32_t random_state;
  bool operator==(const BlobState&) const = default;
};

BlobState counter_free_state(const blobfx::BlobEffect& e) {
  BlobState s{};
  for (int k = 0; k < 3; ++k) {
    s.band_level[k] = e.band_level[k];
    s.band_trend[k] = e.band_trend[k];
  }
  s.colour_position = e.colour_position;
  for (int i = 0; i < blobfx::kBallCount; ++i) s.orbit_radius[i] = e.ball_field->orbit_radius[i];
  for (int j = 0; j < blobfx::kSpinAngles; ++j) {
    s.spin[j] = e.ball_field->spin[j];
    s.spin_rate[j] = e.ball_field->spin_rate[j];
  }
  s.spread = e.ball_field->spread;
  s.random_state = apefw::random_state();
  return s;
}

TEST(CounterWrap, BlobformFrameCounterCrossesTheWrapWithoutAnyOtherChange) {
  constexpr int kFrames = 1000;
  constexpr std::int32_t kStart = INT32_MAX - 400;
  std::vector<BlobState> plain_states, wrapped_states;

  testsupport::set_fixed_tick(32);
  blobfx::BlobEffect plain;
  const WrapRun p = run_from(plain, kFrames, plain_states, counter_free_state,
                             [](const blobfx::BlobEffect& e) { return e.frame_count; });
  testsupport::set_fixed_tick(32);
  blobfx::BlobEffect wrapped;
  wrapped.frame_count = kStart;
  const WrapRun w = run_from(wrapped, kFrames, wrapped_states, counter_free_state,
                             [](const blobfx::BlobEffect& e) { return e.frame_count; });

  long drawn_before = 0, drawn_after = 0;
  for (int f = 0; f < kFrames; ++f) {
    ASSERT_EQ(wrapped_states[f], plain_states[f]) << "frame " << f;
    ASSERT_EQ(w.counter[f],
              static_cast<std::uint32_t>(kStart) + 1u + static_cast<std::uint32_t>(f));
    ASSERT_EQ(w.counter[f] - p.counter[f], static_cast<std::uint32_t>(kStart));
    (f < 400 ? drawn_before : drawn_after) += w.drawn[f] > 0;
  }
  EXPECT_EQ(static_cast<std::int32_t>(w.counter[400]), INT32_MIN);
  // The surface shows on (nearly) every frame on both sides of the wrap, as it does in the run
  // that never wraps.
  long plain_drawn = 0;
  for (const long d : p.drawn) plain_drawn += d > 0;
  EXPECT_GT(drawn_before, 400 * 9 / 10);
  EXPECT_GT(drawn_after, 600 * 9 / 10);
  EXPECT_GT(plain_drawn, kFrames * 9 / 10);
}

}  // namespace
