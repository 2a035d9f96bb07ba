// Whole frames of both effects on the song trace, and each stage of a frame on its own.
//
// frame/<effect>/<size>: render_frame as the host calls it, one frame of the song per iteration.
// stages/<effect>/<size>: the same frames, with the time of each stage reported as a counter
//   (seconds per frame): geometry, shading, drawing, depth_clear.
//
// The effect classes are final, so the stages are timed by calling each stage operation on its own,
// on exactly the input it has inside a frame: the coil's trails as the previous frame left them
// (the rest of its state after the frame's driver steps), the blob's state from a snapshot taken
// while the song played.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "bench_suites.hpp"
#include "bench_support.hpp"
#include "blobfx/blob_effect.hpp"
#include "coilfx/coil_effect.hpp"
#include "render3d/depth_buffer.hpp"
#include "render3d/rasterizer.hpp"
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

// The coil's stages in frame order. Each frame is first rendered whole with nothing to draw into
// (the driver's steps, then the stages once), then its trails are put back as the previous frame
// left them and the stages run again under the stopwatch, arriving at the same mesh. The drawing is
// render_frame's loop: every face through draw_triangle, into a depth buffer of the frame's size.
void coil_stages(benchmark::State& state, FrameSize size) {
  auto effect = std::make_unique<coilfx::CoilEffect>();
  std::vector<std::uint32_t> frame = host_frame(size);
  std::size_t position = 0;
  play(*effect, frame, size, kWarmUpFrames, position);
  std::vector<coilfx::MeshVertex> trails(coilfx::kTrailRecords);
  render3d::DepthBuffer depth;
  const std::vector<SoundFrame>& trace = song();
  double geometry = 0, shading = 0, drawing = 0;
  for (auto _ : state) {
    const SoundFrame& s = trace[position];
    position = (position + 1) % trace.size();
    std::copy_n(effect->trails.get(), coilfx::kTrailRecords, trails.begin());
    effect->render_frame(s.bytes, s.beat, frame.data(), nullptr, 0, 0);
    std::copy_n(trails.begin(), coilfx::kTrailRecords, effect->trails.get());
    const render3d::RenderTarget target{frame.data(), depth.prepare(size.width, size.height),
                                        size.width, size.height};

    const double t0 = thread_seconds();
    effect->update_trails(s.beat);
    effect->build_arms();
    const double t1 = thread_seconds();
    effect->shade_mesh();
    const double t2 = thread_seconds();
    const render3d::MeshView mesh{effect->vertices.get(), effect->vertex_count, effect->faces.get(),
                                  effect->face_count};
    render3d::draw_mesh(mesh, [&](const coilfx::MeshVertex& a, const coilfx::MeshVertex& b,
                                  const coilfx::MeshVertex& c, const coilfx::Vec3& normal) {
      effect->draw_triangle(target, a, b, c, normal);
    });
    const double t3 = thread_seconds();
    geometry += (t1 - t0);
    shading += (t2 - t1);
    drawing += (t3 - t2);
    benchmark::ClobberMemory();
  }
  const auto per_frame = [](double total) {
    return benchmark::Counter(total, benchmark::Counter::kAvgIterations);
  };
  state.counters["geometry"] = per_frame(geometry);
  state.counters["shading"] = per_frame(shading);
  state.counters["drawing"] = per_frame(drawing);
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
}

}  // namespace apebench
