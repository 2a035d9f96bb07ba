// The blob's fast sweep against its straightforward one. A plain BlobEffect samples its own field
// once per lattice point and hands only the cells the surface crosses to polygonize_cell; a field
// that overrides sample, or an effect that overrides polygonize_cell, gets the plain sweep's calls.
// Both must build the same mesh, bit for bit, on every frame.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "blobfx/ball_field.hpp"
#include "blobfx/blob_effect.hpp"
#include "blobfx/surface.hpp"
#include "checksum.hpp"
#include "fixed_tick.hpp"
#include "varied_trace.hpp"

namespace {

using blobfx::BallField;
using blobfx::BlobEffect;

// The field as it is, reached through an override: the sweep then samples every cell corner
// through the virtual call, 44,528 times a frame.
class CountingField : public BallField {
 public:
  using BallField::BallField;
  std::int32_t sample(std::int32_t x, std::int32_t y, std::int32_t z) const noexcept override {
    ++samples;
    return BallField::sample(x, y, z);
  }
  mutable long samples = 0;
};

// An effect that sees every cell of the sweep (and changes nothing).
class EveryCellEffect : public BlobEffect {
 public:
  void polygonize_cell(const blobfx::GridCell& cell, std::int32_t cache_index, bool first_x,
                       bool first_y, bool first_z) override {
    ++cells;
    BlobEffect::polygonize_cell(cell, cache_index, first_x, first_y, first_z);
  }
  long cells = 0;
};

// The mesh, the edge cache and the picture after a frame, in one sum (whole meshes of every frame
// of three runs would not be small).
std::uint64_t frame_sum(const BlobEffect& e, const std::vector<std::uint32_t>& frame) {
  exactness::Checksum sum;
  sum.add(static_cast<std::uint32_t>(e.vertex_count));
  for (std::int32_t i = 0; i < e.vertex_count; ++i) {
    const render3d::MeshVertex& v = e.vertices[i];
    sum.add(v.position);
    sum.add(v.normal);
    sum.add(static_cast<std::uint32_t>(v.face_count));
    sum.add(v.colour);
  }
  sum.add(static_cast<std::uint32_t>(e.face_count));
  for (std::int32_t f = 0; f < e.face_count; ++f) {
    for (const std::int32_t index : e.faces[f].vertex_index)
      sum.add(static_cast<std::uint32_t>(index));
    sum.add(e.faces[f].normal);
  }
  for (std::int32_t s = 0; s < e.edge_cache_size; ++s)
    sum.add(static_cast<std::uint32_t>(e.edge_cache[s]));
  for (const std::uint32_t pixel : frame) sum.add(pixel);
  return sum.value();
}

struct Played {
  std::vector<std::uint64_t> sums;
  int frames_with_a_surface = 0;
};

// Plays the trace and keeps the sum of every frame. Each effect plays alone: effects on one thread
// share the random generator.
Played play(BlobEffect& effect, int width, int height) {
  Played played;
  std::vector<std::uint32_t> frame(static_cast<std::size_t>(width * height));
  for (int f = 0; f < exactness::kTraceFrames; ++f) {
    frame.assign(frame.size(), 0x123456u + static_cast<std::uint32_t>(f));
    const exactness::TraceFrame t = exactness::trace_frame(f);
    effect.render_frame(t.sound.data(), t.beat, frame.data(), nullptr, width, height);
    played.sums.push_back(frame_sum(effect, frame));
    played.frames_with_a_surface += effect.face_count > 0 ? 1 : 0;
  }
  return played;
}

TEST(BlobFastPath, SameMeshesAndFramesAsThePlainSweepOverTheTrace) {
  testsupport::set_fixed_tick(777u);
  auto fast = std::make_unique<BlobEffect>();
  const auto fast_frames = play(*fast, 200, 150);

  testsupport::set_fixed_tick(777u);
  auto plain = std::make_unique<BlobEffect>();
  auto field = std::make_unique<CountingField>(*plain);
  CountingField& counter = *field;
  plain->ball_field = std::move(field);
  const auto plain_frames = play(*plain, 200, 150);
  // The plain sweep was the one taken: four new samples per cell along each row.
  EXPECT_EQ(counter.samples, 44528L * exactness::kTraceFrames);

  testsupport::set_fixed_tick(777u);
  auto every_cell = std::make_unique<EveryCellEffect>();
  const auto every_cell_frames = play(*every_cell, 200, 150);
  EXPECT_EQ(every_cell->cells, 10648L * exactness::kTraceFrames);

  ASSERT_EQ(fast_frames.sums.size(), plain_frames.sums.size());
  for (std::size_t f = 0; f < fast_frames.sums.size(); ++f) {
    ASSERT_EQ(fast_frames.sums[f], plain_frames.sums[f]) << "frame " << f;
    ASSERT_EQ(every_cell_frames.sums[f], plain_frames.sums[f]) << "frame " << f;
  }
  EXPECT_EQ(fast_frames.frames_with_a_surface, exactness::kTraceFrames);
}

// sample_lattice against sample at every lattice point, for centres that put points exactly on a
// ball's centre, exactly at its reach (q = 1), just inside and outside it, off the grid, huge and
// not a number.
TEST(BlobFastPath, LatticeValuesAreTheSampleValuesAtEveryPoint) {
  BlobEffect owner;
  BallField field(owner);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double huge = std::numeric_limits<double>::max();
  const render3d::Vec3 layouts[][6] = {
      {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
      {{-330, -330, -247}, {330, 330, 247}, {-110, 0, 0}, {30, 220, 0}, {0, 0, 22}, {90, -90, 45}},
      {{0, 0, 220},
       {220, 0, 0},
       {-219.5, 0.25, 0},
       {0.1, -220.1, 0.2},
       {300, -300, 60},
       {-7.3, 11.9, -59.999}},
      {{1e9, 0, 0}, {-huge, 0, 0}, {0, huge, 0}, {nan, 0, 0}, {0, 0, nan}, {15, 15, 11}},
      {{0, 0, -huge},
       {huge, huge, huge},
       {-1e300, 1e300, 0},
       {0, nan, 0},
       {123.456, -98.7, 33.3},
       {1e-300, -1e-300, 0}},
  };
  std::vector<std::int32_t> values(blobfx::kLatticePoints);
  for (const auto& layout : layouts) {
    for (int b = 0; b < 6; ++b) field.ball_centre[b] = layout[b];
    field.sample_lattice(values.data());
    for (int k = 0; k < blobfx::kLatticePerSide; ++k) {
      for (int j = 0; j < blobfx::kLatticePerSide; ++j) {
        for (int i = 0; i < blobfx::kLatticePerSide; ++i) {
          const std::int32_t x = blobfx::lattice_xy(i), y = blobfx::lattice_xy(j);
          const std::int32_t z = blobfx::lattice_z(k);
          ASSERT_EQ(values[static_cast<std::size_t>(blobfx::lattice_index(i, j, k))],
                    field.sample(x, y, z))
              << x << " " << y << " " << z << " with ball 0 at " << layout[0].x;
        }
      }
    }
  }
  // A point on a lone ball's centre is 1000 above the iso level; exactly at its reach, nothing.
  for (int b = 0; b < 6; ++b) field.ball_centre[b] = {5000, 5000, 5000};
  field.ball_centre[2] = {-300, 30, 0};
  field.sample_lattice(values.data());
  EXPECT_EQ(values[static_cast<std::size_t>(blobfx::lattice_index(1, 12, 11))], 1000);
  field.ball_centre[2] = {-300, 30 + 220, 0};
  field.sample_lattice(values.data());
  EXPECT_EQ(values[static_cast<std::size_t>(blobfx::lattice_index(1, 12, 11))], -2000);
}

}  // namespace
