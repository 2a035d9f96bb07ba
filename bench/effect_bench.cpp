// Whole frames of both effects on the song trace, and each stage of a frame on its own.
//
// frame/<effect>/<size>: render_frame as the host calls it, one frame of the song per iteration.
// stages/<effect>/<size>: the same frames, with the time of each stage reported as a counter
//   (seconds per frame): geometry, shading, drawing, depth_clear. bands/<effect>: the frame driver
//   alone (sound bands, animation, lights), every stage left out.
//
// The coil's stages are timed through its virtual stage operations in a subclass, inside real
// frames. The blob's surface sweep takes its fast path only for a BlobEffect that nobody derived
// from, so its stages are run one by one on a plain BlobEffect, each frame's input restored from a
// snapshot taken while the song played.

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench_suites.hpp"
#include "bench_support.hpp"
#include "blobfx/blob_effect.hpp"
#include "coilfx/coil_effect.hpp"
#include "render3d/shading.hpp"

namespace apebench {
namespace {

constexpr int kWarmUpFrames = 90;

template <class Effect>
void play(Effect& effect, std::vector<std::uint32_t>& frame, const FrameSize& size, int frames,
          std::size_t& position) {
  const std::vector<SoundFrame>& trace = song();
  for (int f = 0; f < frames; ++f) {
    const SoundFrame& s = trace[position];
    position = (position + 1) % trace.size();
    effect.render_frame(s.bytes, s.beat, frame.data(), nullptr, size.width, size.height);
  }
}

template <class Effect>
void whole_frames(benchmark::State& state, FrameSize size) {
  auto effect = std::make_unique<Effect>();
  std::vector<std::uint32_t> frame = host_frame(size);
  std::size_t position = 0;
  play(*effect, frame, size, kWarmUpFrames, position);
  const std::vector<SoundFrame>& trace = song();
  for (auto _ : state) {
    const SoundFrame& s = trace[position];
    position = (position + 1) % trace.size();
    effect->render_frame(s.bytes, s.beat, frame.data(), nullptr, size.width, size.height);
    benchmark::ClobberMemory();
  }
  state.counters["faces"] = benchmark::Counter(static_cast<double>(effect->face_count));
}

// The coil with a stopwatch in each stage operation. The drawing loop is the tail of render_frame
// after shade_mesh; the depth clear sits in the driver, so it is timed on its own elsewhere.
class TimedCoil : public coilfx::CoilEffect {
 public:
  int render_frame(const std::uint8_t* sound, int beat, std::uint32_t* framebuffer,
                   std::uint32_t* output, int width, int height) override {
    entered_ = thread_seconds();
    const int result = CoilEffect::render_frame(sound, beat, framebuffer, output, width, height);
    const double done = thread_seconds();
    drawing += (done - shaded_);
    return result;
  }
  void update_trails(int beat) override {
    const double start = thread_seconds();
    driver += (start - entered_);
    CoilEffect::update_trails(beat);
    geometry += (thread_seconds() - start);
  }
  void build_arms() override {
    const double start = thread_seconds();
    CoilEffect::build_arms();
    geometry += (thread_seconds() - start);
  }
  void shade_mesh() override {
    const double start = thread_seconds();
    CoilEffect::shade_mesh();
    shaded_ = thread_seconds();
    shading += (shaded_ - start);
  }

  double driver = 0, geometry = 0, shading = 0, drawing = 0;

 private:
  double entered_ = 0, shaded_ = 0;
};

void coil_stages(benchmark::State& state, FrameSize size) {
  auto effect = std::make_unique<TimedCoil>();
  std::vector<std::uint32_t> frame = host_frame(size);
  std::size_t position = 0;
  play(*effect, frame, size, kWarmUpFrames, position);
  effect->driver = effect->geometry = effect->shading = effect->drawing = 0;
  for (auto _ : state) play(*effect, frame, size, 1, position);
  const auto per_frame = [](double total) {
    return benchmark::Counter(total, benchmark::Counter::kAvgIterations);
  };
  state.counters["driver"] = per_frame(effect->driver);
  state.counters["geometry"] = per_frame(effect->geometry);
  state.counters["shading"] = per_frame(effect->shading);
  state.counters["drawing"] = per_frame(effect->drawing);
}

// The blob's stages in frame order, each frame's input restored first. The depth buffer is cleared
// where the driver clears it, before the surface is built.
void blob_stages(benchmark::State& state, FrameSize size) {
  static const std::vector<BlobFrameState> states = blob_song_states(kWarmUpFrames, 1);
  auto effect = std::make_unique<blobfx::BlobEffect>();
  std::vector<std::uint32_t> frame = host_frame(size);
  double depth_clear = 0, geometry = 0, shading = 0, drawing = 0;
  std::size_t next = 0;
  for (auto _ : state) {
    restore(*effect, states[next]);
    next = (next + 1) % states.size();
    const double t0 = thread_seconds();
    effect->depth_buffer.prepare(size.width, size.height);
    const double t1 = thread_seconds();
    effect->build_surface();
    const double t2 = thread_seconds();
    effect->shade_mesh();
    const double t3 = thread_seconds();
    effect->draw_mesh(frame.data(), size.width, size.height);
    const double t4 = thread_seconds();
    depth_clear += (t1 - t0);
    geometry += (t2 - t1);
    shading += (t3 - t2);
    drawing += (t4 - t3);
    benchmark::ClobberMemory();
  }
  const auto per_frame = [](double total) {
    return benchmark::Counter(total, benchmark::Counter::kAvgIterations);
  };
  state.counters["depth_clear"] = per_frame(depth_clear);
  state.counters["geometry"] = per_frame(geometry);
  state.counters["shading"] = per_frame(shading);
  state.counters["drawing"] = per_frame(drawing);
}

// The frame driver with every stage left out: sound bands, clock, colour, sway, kick, rotation and
// light drift (coil); frame start, colour, bands and light drift (blob). A 0 x 0 frame has no depth
// buffer, so nothing is cleared or drawn.
class CoilDriverOnly : public coilfx::CoilEffect {
 public:
  void update_trails(int) override {}
  void build_arms() override {}
  void shade_mesh() override {}
};
class BlobDriverOnly : public blobfx::BlobEffect {
 public:
  void build_surface() override {}
  void shade_mesh() override {}
};

template <class Effect>
void driver_only(benchmark::State& state) {
  auto effect = std::make_unique<Effect>();
  std::uint32_t pixel = 0;
  const std::vector<SoundFrame>& trace = song();
  std::size_t position = 0;
  for (auto _ : state) {
    const SoundFrame& s = trace[position];
    position = (position + 1) % trace.size();
    effect->render_frame(s.bytes, s.beat, &pixel, nullptr, 0, 0);
    benchmark::ClobberMemory();
  }
}

}  // namespace

void register_effect_benchmarks() {
  for (const FrameSize& size : kFrameSizes) {
    benchmark::RegisterBenchmark(("frame/coil/" + size_name(size)).c_str(),
                                 whole_frames<coilfx::CoilEffect>, size);
    benchmark::RegisterBenchmark(("frame/blob/" + size_name(size)).c_str(),
                                 whole_frames<blobfx::BlobEffect>, size);
  }
  for (const FrameSize& size : kFrameSizes) {
    benchmark::RegisterBenchmark(("stages/coil/" + size_name(size)).c_str(), coil_stages, size);
    benchmark::RegisterBenchmark(("stages/blob/" + size_name(size)).c_str(), blob_stages, size);
  }
  benchmark::RegisterBenchmark("bands/coil", driver_only<CoilDriverOnly>);
  benchmark::RegisterBenchmark("bands/blob", driver_only<BlobDriverOnly>);
}

}  // namespace apebench
