// Every pixel of both effects stays what it was: whole traces of frames (the pictures, the depth
// buffers and the meshes behind them) are folded into one checksum per run and compared with the
// checksums recorded from the straightforward code, before any of the fast paths existed. A run
// that differs names itself; the per-frame comparison with the reference sweep below then shows
// where.

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "blobfx/blob_effect.hpp"
#include "checksum.hpp"
#include "coilfx/coil_effect.hpp"
#include "fixed_tick.hpp"
#include "varied_trace.hpp"

namespace {

using exactness::Checksum;
using exactness::kTraceFrames;
using exactness::trace_frame;
using exactness::TraceFrame;

// The host's image under the effect: different in every pixel, row and frame, so a pixel written
// in the wrong place or left unwritten changes the sum.
void paint_background(std::vector<std::uint32_t>& frame, int width, int height, int f) {
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const auto ux = static_cast<std::uint32_t>(x), uy = static_cast<std::uint32_t>(y);
      frame[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + ux] =
          ((ux * 7u + uy * 13u + static_cast<std::uint32_t>(f) * 29u) * 2654435761u) >> 8;
    }
  }
}

// Everything a frame leaves behind that anyone can see: the picture, the depth buffer and the mesh
// (every field of every vertex and face in use).
template <class Effect>
std::uint64_t frame_checksum(const Effect& effect, const std::vector<std::uint32_t>& frame) {
  Checksum sum;
  for (const std::uint32_t pixel : frame) sum.add(pixel);
  if (const std::uint16_t* depth = effect.depth_buffer.data()) {
    const std::size_t n = static_cast<std::size_t>(effect.depth_buffer.width()) *
                          static_cast<std::size_t>(effect.depth_buffer.height());
    for (std::size_t i = 0; i < n; ++i) sum.add(static_cast<std::uint32_t>(depth[i]));
  }
  sum.add(static_cast<std::uint32_t>(effect.vertex_count));
  for (std::int32_t i = 0; i < effect.vertex_count; ++i) {
    const render3d::MeshVertex& v = effect.vertices[i];
    sum.add(v.position);
    sum.add(v.normal);
    sum.add(static_cast<std::uint32_t>(v.face_count));
    sum.add(v.colour);
  }
  sum.add(static_cast<std::uint32_t>(effect.face_count));
  for (std::int32_t i = 0; i < effect.face_count; ++i) {
    const render3d::MeshFace& face = effect.faces[i];
    for (const std::int32_t index : face.vertex_index) sum.add(static_cast<std::uint32_t>(index));
    sum.add(face.normal);
  }
  return sum.value();
}

struct FrameSize {
  int width;
  int height;
};

// One run: a fresh effect with a fixed seed through frames [first, last) of the trace, at one
// size or cycling through several (every change re-fits the depth buffer).
struct FrameRun {
  const char* name;
  std::vector<FrameSize> sizes;  // frame f uses sizes[f % sizes.size()]
  int first;
  int last;
  bool many_colours;  // five colours with the beat jump (one more random draw per beat)
};

const std::vector<FrameRun>& runs() {
  static const std::vector<FrameRun> all = {
      {"320x240", {{320, 240}}, 0, kTraceFrames, false},
      {"641x479_colours", {{641, 479}}, 0, kTraceFrames, true},
      {"1x1", {{1, 1}}, 0, kTraceFrames, false},
      {"2x2", {{2, 2}}, 0, 120, false},
      {"3x7", {{3, 7}}, 0, 120, true},
      {"1x64", {{1, 64}}, 0, 120, false},
      {"97x1", {{97, 1}}, 0, 120, false},
      {"1920x1080", {{1920, 1080}}, 90, 140, false},
      {"1281x719", {{1281, 719}}, 20, 60, true},
      {"switching",
       {{160, 120}, {160, 120}, {99, 201}, {5, 3}, {640, 360}, {1, 1}},
       0,
       kTraceFrames,
       true},
  };
  return all;
}

template <class Effect>
std::vector<std::uint64_t> run_frames(const FrameRun& run,
                                      const std::function<void(Effect&)>& prepare = {}) {
  testsupport::set_fixed_tick(0x2468ACEu);
  auto effect = std::make_unique<Effect>();
  if (prepare) prepare(*effect);
  if (run.many_colours) {
    const std::uint32_t colours[5] = {0xFF2010u, 0x10E0A0u, 0x3050FFu, 0xFFFFFFu, 0x000000u};
    for (int i = 0; i < 5; ++i) effect->settings.colours[i] = colours[i];
    effect->settings.colour_count = 5;
    effect->settings.on_beat_change = 1;
  }
  std::vector<std::uint64_t> sums;
  std::vector<std::uint32_t> frame;
  for (int f = run.first; f < run.last; ++f) {
    const FrameSize size = run.sizes[static_cast<std::size_t>(f) % run.sizes.size()];
    frame.assign(static_cast<std::size_t>(size.width) * static_cast<std::size_t>(size.height), 0u);
    paint_background(frame, size.width, size.height, f);
    const TraceFrame t = trace_frame(f);
    EXPECT_EQ(effect->render_frame(t.sound.data(), t.beat, frame.data(), nullptr, size.width,
                                   size.height),
              0);
    sums.push_back(frame_checksum(*effect, frame));
  }
  return sums;
}

std::uint64_t fold(const std::vector<std::uint64_t>& sums) {
  Checksum sum;
  for (const std::uint64_t s : sums) sum.add(s);
  return sum.value();
}

struct Recorded {
  const char* run;
  std::uint64_t coil;
  std::uint64_t blob;
};

// Recorded from the straightforward renderer and sweep (one sample call per cell corner, the
// rasterizer's per-pixel loop as first written), before any fast path was added.
constexpr Recorded kRecorded[] = {
    {"320x240", 0x0A516CDF7C15F2E1ull, 0xC221E887138F474Cull},
    {"641x479_colours", 0x065468D130FDE9E1ull, 0x394AB17F43ACC654ull},
    {"1x1", 0xDD4E58A7E4C8462Bull, 0xEF4EB1F4AC32808Cull},
    {"2x2", 0xCA2679C7358004FEull, 0x6BFB0C7642900918ull},
    {"3x7", 0xA638C91B27C5491Eull, 0x4C6C73E480D8B365ull},
    {"1x64", 0xC2F2787EDF83E99Dull, 0x85C59164EB016E48ull},
    {"97x1", 0x92F6276DBA81AA45ull, 0x4A73D61996885CFBull},
    {"1920x1080", 0xCFCF216BED9FB4EAull, 0x8636B3F59627F9B1ull},
    {"1281x719", 0x76871C8873945CFBull, 0x04312EB6F00B141Bull},
    {"switching", 0x85BEBFE15A63777Dull, 0x5AF71904308964A1ull},
};

const Recorded* recorded(const std::string& name) {
  for (const Recorded& r : kRecorded) {
    if (name == r.run) return &r;
  }
  return nullptr;
}

TEST(Exactness, CoilFramesMatchTheRecordedChecksums) {
  for (const FrameRun& run : runs()) {
    const std::uint64_t sum = fold(run_frames<coilfx::CoilEffect>(run));
    const Recorded* r = recorded(run.name);
    std::printf("coil %s 0x%016" PRIX64 "\n", run.name, sum);
    if (r == nullptr) {
      ADD_FAILURE() << "no checksum recorded for " << run.name;
      continue;
    }
    EXPECT_EQ(sum, r->coil) << run.name;
  }
}

TEST(Exactness, BlobFramesMatchTheRecordedChecksums) {
  for (const FrameRun& run : runs()) {
    const std::uint64_t sum = fold(run_frames<blobfx::BlobEffect>(run));
    const Recorded* r = recorded(run.name);
    std::printf("blob %s 0x%016" PRIX64 "\n", run.name, sum);
    if (r == nullptr) {
      ADD_FAILURE() << "no checksum recorded for " << run.name;
      continue;
    }
    EXPECT_EQ(sum, r->blob) << run.name;
  }
}

}  // namespace
