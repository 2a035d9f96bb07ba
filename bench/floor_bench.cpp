// What a frame costs at the least, against the renderer's own passes over it.
//
// depth_clear/<size>: the effect's depth buffer made ready for the next frame (the buffer already
//   fits, so this is the clear alone), against memset_depth/<size>, memset of the same bytes.
// memset_frame/<size> and store_loop/<size>: memset of the frame's bytes and a plain loop storing
//   one 32-bit value into every pixel, the floor under any drawing stage that touches every pixel.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "bench_suites.hpp"
#include "bench_support.hpp"
#include "render3d/depth_buffer.hpp"

namespace apebench {
namespace {

std::size_t pixels_of(const FrameSize& size) {
  return static_cast<std::size_t>(size.width) * static_cast<std::size_t>(size.height);
}

void depth_clear(benchmark::State& state, FrameSize size) {
  render3d::DepthBuffer depth;
  depth.prepare(size.width, size.height);
  for (auto _ : state) {
    benchmark::DoNotOptimize(depth.prepare(size.width, size.height));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(pixels_of(size) * sizeof(std::uint16_t)));
}

template <class Entry>
void memset_of(benchmark::State& state, FrameSize size) {
  std::vector<Entry> buffer(pixels_of(size), Entry{1});
  Entry* const data = buffer.data();
  const std::size_t bytes = buffer.size() * sizeof(Entry);
  for (auto _ : state) {
    benchmark::DoNotOptimize(data);
    std::memset(data, 0, bytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes));
}

void store_loop(benchmark::State& state, FrameSize size) {
  std::vector<std::uint32_t> frame(pixels_of(size));
  std::uint32_t* const data = frame.data();
  const std::size_t n = frame.size();
  std::uint32_t colour = 0x102030u;
  for (auto _ : state) {
    benchmark::DoNotOptimize(colour);
    for (std::size_t i = 0; i < n; ++i) data[i] = colour;
    benchmark::ClobberMemory();
    colour += 0x010101u;
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(n * sizeof(std::uint32_t)));
}

}  // namespace

void register_frame_floor_benchmarks() {
  for (const FrameSize& size : kFrameSizes) {
    const std::string name = size_name(size);
    benchmark::RegisterBenchmark(("depth_clear/" + name).c_str(), depth_clear, size);
    benchmark::RegisterBenchmark(("memset_depth/" + name).c_str(), memset_of<std::uint16_t>, size);
    benchmark::RegisterBenchmark(("memset_frame/" + name).c_str(), memset_of<std::uint32_t>, size);
    benchmark::RegisterBenchmark(("store_loop/" + name).c_str(), store_loop, size);
  }
}

}  // namespace apebench
