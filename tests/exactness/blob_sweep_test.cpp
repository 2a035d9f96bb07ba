// The blob's sweep against the cell-by-cell sweep of the same field, over the varied trace. The
// effect samples its field once per lattice point and hands only the cells the surface crosses to
// polygonize_cell; the reference (tests/blobfx/reference_sweep.hpp) hands every cell over, its
// corners read from the field's own sample point by point. Both must build the same mesh, bit for
// bit, and draw the same picture, on every frame.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "blobfx/ball_field.hpp"
#include "blobfx/blob_effect.hpp"
#include "blobfx/surface.hpp"
#include "fixed_tick.hpp"
#include "reference_sweep.hpp"
#include "varied_trace.hpp"

namespace {

using blobfx::BallField;
using blobfx::BlobEffect;

TEST(BlobSweep, SameMeshesAndFramesAsTheCellByCellSweepOverTheTrace) {
  constexpr int kWidth = 200, kHeight = 150;
  testsupport::set_fixed_tick(777u);
  auto effect = std::make_unique<BlobEffect>();
  std::vector<std::uint32_t> frame(kWidth * kHeight);
  int frames_with_a_surface = 0;
  for (int f = 0; f < exactness::kTraceFrames; ++f) {
    SCOPED_TRACE(testing::Message() << "frame " << f);
    frame.assign(frame.size(), 0x123456u + static_cast<std::uint32_t>(f));
    std::vector<std::uint32_t> reference_frame = frame;
    const exactness::TraceFrame t = exactness::trace_frame(f);
    effect->render_frame(t.sound.data(), t.beat, frame.data(), nullptr, kWidth, kHeight);
    frames_with_a_surface += effect->face_count > 0 ? 1 : 0;

    // The reference sweeps the field the frame left (the balls moved before the sweep and not
    // since), then shades and draws its mesh with the frame's colour and lights.
    const blobtest::ReferenceSweep reference =
        blobtest::reference_sweep(blobtest::sampled_lattice(*effect->ball_field));
    BlobEffect& r = *reference.effect;
    ASSERT_EQ(reference.cells.size(), 10648u);
    r.settings = effect->settings;
    r.colour_position = effect->colour_position;
    r.light1_phase = effect->light1_phase;
    r.light2_phase = effect->light2_phase;
    r.shade_mesh();
    blobtest::expect_same_surface(*effect, r);
    if (HasFatalFailure()) return;
    for (std::int32_t i = 0; i < r.face_count; ++i) {
      ASSERT_EQ(std::memcmp(&effect->faces[i].normal, &r.faces[i].normal, sizeof(blobfx::Vec3)), 0)
          << "face " << i;
    }
    ASSERT_NE(r.depth_buffer.prepare(kWidth, kHeight), nullptr);
    r.draw_mesh(reference_frame.data(), kWidth, kHeight);
    ASSERT_EQ(frame, reference_frame);
  }
  EXPECT_EQ(frames_with_a_surface, exactness::kTraceFrames);
}

// sample_lattice against sample at every lattice point, for centres that put points exactly on a
// ball's centre, exactly at its reach (q = 1), just inside and outside it, off the grid, huge and
// not a number.
TEST(BlobSweep, LatticeValuesAreTheSampleValuesAtEveryPoint) {
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
