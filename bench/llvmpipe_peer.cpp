// The drawing peer in Mesa's llvmpipe, through OSMesa: the triangles our rules keep, projected
// beforehand, drawn with smooth (Gouraud) shading and a GL_GREATER depth test (larger is nearer,
// as ours) into a 16-bit depth buffer and a BGRA frame, which is our 0x00RRGGBB word in memory.
// One thread: llvmpipe rasterizes on the calling thread when LP_NUM_THREADS is 0. Each frame's
// depth clear is finished before the clock starts; glFinish ends the timed drawing.

#include <GL/gl.h>
#include <GL/osmesa.h>
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bench_suites.hpp"
#include "bench_support.hpp"
#include "shaded_meshes.hpp"

namespace apebench {
namespace {

// One frame's triangles as GL client arrays: window-space corners mapped to normalised device
// coordinates (depth 1 / z in [0, 1] to z in [-1, 1]) and 8-bit colours.
struct GlFrame {
  std::vector<float> positions;       // x, y, z per corner
  std::vector<std::uint8_t> colours;  // r, g, b, a per corner
};

GlFrame gl_frame(const std::vector<ScreenTriangle>& triangles, int width, int height) {
  GlFrame f;
  for (const ScreenTriangle& t : triangles) {
    for (const ScreenCorner& c : t.corner) {
      f.positions.push_back(c.x / static_cast<float>(width) * 2.0f - 1.0f);
      f.positions.push_back(1.0f - c.y / static_cast<float>(height) * 2.0f);
      f.positions.push_back(c.depth * 2.0f - 1.0f);
      f.colours.push_back(static_cast<std::uint8_t>(c.r));
      f.colours.push_back(static_cast<std::uint8_t>(c.g));
      f.colours.push_back(static_cast<std::uint8_t>(c.b));
      f.colours.push_back(255);
    }
  }
  return f;
}

void draw_llvmpipe(benchmark::State& state, Effect effect, int width, int height) {
  setenv("GALLIUM_DRIVER", "llvmpipe", 1);
  setenv("LP_NUM_THREADS", "0", 1);
  const OSMesaContext context = OSMesaCreateContextExt(OSMESA_BGRA, 16, 0, 0, nullptr);
  if (context == nullptr) {
    state.SkipWithError("OSMesa gave no context");
    return;
  }
  const FrameSize size{width, height};
  std::vector<std::uint32_t> frame = host_frame(size);
  if (!OSMesaMakeCurrent(context, frame.data(), GL_UNSIGNED_BYTE, width, height)) {
    OSMesaDestroyContext(context);
    state.SkipWithError("OSMesa could not draw into the frame");
    return;
  }
  OSMesaPixelStore(OSMESA_Y_UP, 0);  // row 0 at the top, as ours

  std::vector<GlFrame> frames;
  for (const ShadedMesh& mesh : shaded_meshes(effect))
    frames.push_back(gl_frame(kept_triangles(mesh, effect, width, height), width, height));

  glViewport(0, 0, width, height);
  glDisable(GL_CULL_FACE);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_GREATER);
  glClearDepth(0.0);
  glShadeModel(GL_SMOOTH);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);

  double drawing = 0;
  std::size_t next = 0;
  for (auto _ : state) {
    const GlFrame& f = frames[next];
    glClear(GL_DEPTH_BUFFER_BIT);
    glFinish();
    const double start = thread_seconds();
    glVertexPointer(3, GL_FLOAT, 0, f.positions.data());
    glColorPointer(4, GL_UNSIGNED_BYTE, 0, f.colours.data());
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(f.positions.size() / 3));
    glFinish();
    drawing += thread_seconds() - start;
    next = (next + 1) % frames.size();
  }
  state.counters["drawing"] = benchmark::Counter(drawing, benchmark::Counter::kAvgIterations);
  OSMesaDestroyContext(context);
}

}  // namespace

void register_llvmpipe_drawing(const std::string& name, Effect effect, int width, int height) {
  benchmark::RegisterBenchmark(name.c_str(), draw_llvmpipe, effect, width, height);
}

}  // namespace apebench
