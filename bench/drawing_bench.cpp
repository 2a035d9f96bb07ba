// The drawing stage against two peers on exactly the same triangles: the lit meshes of 60 frames
// of the song, one frame per iteration, one thread, the faces in the same order, a 16-bit depth
// buffer cleared before each frame (the clear is not timed, only the drawing).
//
// drawing/<effect>/<size>/ours: every face through draw_triangle with the effect's rules, then
//   the outline (what render_frame's drawing step does).
// drawing/<effect>/<size>/plain: the triangles our rules keep, projected beforehand, through a
//   plain scalar scanline Gouraud rasterizer (plain_rasterizer.cpp), no outline.
// drawing/<effect>/<size>/llvmpipe: the same projected triangles through Mesa's llvmpipe in
//   OSMesa, one thread, GL_GREATER depth test on a 16-bit depth buffer, smooth shading (built only
//   where OSMesa is installed; llvmpipe_peer.cpp).
// Each reports the drawing time per frame in the counter "drawing".

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "bench_suites.hpp"
#include "bench_support.hpp"
#include "plain_rasterizer.hpp"
#include "render3d/depth_buffer.hpp"
#include "shaded_meshes.hpp"

namespace apebench {
namespace {

constexpr FrameSize kDrawingSizes[] = {{640, 480}, {1920, 1080}};

benchmark::Counter per_frame(double total) {
  return benchmark::Counter(total, benchmark::Counter::kAvgIterations);
}

void draw_ours(benchmark::State& state, Effect effect, FrameSize size) {
  const std::vector<ShadedMesh>& meshes = shaded_meshes(effect);
  std::vector<std::uint32_t> frame = host_frame(size);
  render3d::DepthBuffer depth;
  double drawing = 0;
  std::size_t next = 0;
  for (auto _ : state) {
    depth.prepare(size.width, size.height);
    const double start = thread_seconds();
    draw_shaded_mesh(meshes[next], effect, depth.target(frame.data()));
    drawing += thread_seconds() - start;
    next = (next + 1) % meshes.size();
    benchmark::ClobberMemory();
  }
  state.counters["drawing"] = per_frame(drawing);
}

void draw_plain(benchmark::State& state, Effect effect, FrameSize size) {
  std::vector<std::vector<ScreenTriangle>> frames;
  for (const ShadedMesh& mesh : shaded_meshes(effect))
    frames.push_back(kept_triangles(mesh, effect, size.width, size.height));
  std::vector<std::uint32_t> frame = host_frame(size);
  std::vector<std::uint16_t> depth(frame.size());
  double drawing = 0;
  std::size_t next = 0;
  for (auto _ : state) {
    std::memset(depth.data(), 0, depth.size() * sizeof(std::uint16_t));
    const double start = thread_seconds();
    for (const ScreenTriangle& t : frames[next])
      plain_draw_triangle(frame.data(), depth.data(), size.width, size.height, t);
    drawing += thread_seconds() - start;
    next = (next + 1) % frames.size();
    benchmark::ClobberMemory();
  }
  state.counters["drawing"] = per_frame(drawing);
}

}  // namespace

void register_drawing_benchmarks() {
  for (const FrameSize& size : kDrawingSizes) {
    for (const Effect effect : {Effect::kCoil, Effect::kBlob}) {
      const std::string name =
          std::string("drawing/") + (effect == Effect::kCoil ? "coil/" : "blob/") + size_name(size);
      benchmark::RegisterBenchmark((name + "/ours").c_str(), draw_ours, effect, size);
      benchmark::RegisterBenchmark((name + "/plain").c_str(), draw_plain, effect, size);
#ifdef APE_BENCH_HAVE_OSMESA
      register_llvmpipe_drawing(name + "/llvmpipe", effect, size.width, size.height);
#endif
    }
  }
}

}  // namespace apebench
