// The Coilform frame driver: construction, the order of the random draws, the clock, the beat kick,
// the sound bands, the rotation cap, and frames of every size.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "apefw/random.hpp"
#include "apefw/shared_field.hpp"
#include "coil_fixtures.hpp"
#include "render3d/depth_buffer.hpp"
#include "render3d/geometry.hpp"
#include "render3d/rasterizer.hpp"
#include "render3d/trig.hpp"

namespace {

using coilfx::CoilEffect;
using coiltest::Lcg;

const coiltest::Sound kSilence{};

TEST(CoilConstruction, StartsFromDefaultsAndZeroedArrays) {
  auto e = coiltest::make_effect(1);
  std::uint8_t blob[72];
  ASSERT_EQ(e->save_settings(blob), 72);
  std::uint8_t defaults[72] = {0xFF, 0x7F};
  defaults[64] = 1;
  EXPECT_EQ(std::memcmp(blob, defaults, 72), 0);
  EXPECT_STREQ(e->describe(), "Render / Coilform 3D");

  EXPECT_TRUE(e->construction_complete());
  EXPECT_EQ(e->vertex_count, 744);
  EXPECT_EQ(e->face_count, 1440);
  EXPECT_EQ(e->trail_count, 180);
  EXPECT_EQ(e->frame_size_key, 0);
  EXPECT_EQ(e->clock, 0);
  EXPECT_EQ(e->beat_count, 0);
  EXPECT_EQ(e->zoom, 1.0);
  EXPECT_EQ(e->colour_position, 0.0);
  EXPECT_EQ(e->depth_buffer.data(), nullptr);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(e->sway[k], 0.0);
    EXPECT_EQ(e->band_level[k], 0);
    EXPECT_EQ(e->band_trend[k], 0);
  }
  auto all_zero = [](const void* p, std::size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    for (std::size_t i = 0; i < n; ++i) {
      if (b[i]) return false;
    }
    return true;
  };
  EXPECT_TRUE(all_zero(e->vertices.get(), 744 * sizeof(coilfx::MeshVertex)));
  EXPECT_TRUE(all_zero(e->faces.get(), 1440 * sizeof(coilfx::MeshFace)));
  EXPECT_TRUE(all_zero(e->trails.get(), 180 * sizeof(coilfx::MeshVertex)));
}

TEST(CoilConstruction, SeedsFromTheTickCountThenDrawsNinePhasesAndThreeSwayTargets) {
  // Seed 777 gives sway draws odd, even, odd: a swap shows.
  auto e = coiltest::make_effect(777);
  Lcg g{777};
  const double rotation[3] = {g.next() * 100.0, g.next() * 100.0, g.next() * 100.0};
  const double light1[3] = {g.next() * 100.0, g.next() * 100.0, g.next() * 100.0};
  const double light2[3] = {g.next() * 100.0, g.next() * 100.0, g.next() * 100.0};
  for (int k = 0; k < 3; ++k) EXPECT_EQ(e->rotation[k], rotation[k]) << k;
  EXPECT_EQ(e->light1_phase.x, light1[0]);
  EXPECT_EQ(e->light1_phase.y, light1[1]);
  EXPECT_EQ(e->light1_phase.z, light1[2]);
  EXPECT_EQ(e->light2_phase.x, light2[0]);
  EXPECT_EQ(e->light2_phase.y, light2[1]);
  EXPECT_EQ(e->light2_phase.z, light2[2]);
  EXPECT_EQ(e->sway_target[0], 1.0);
  EXPECT_EQ(e->sway_target[1], -1.0);
  EXPECT_EQ(e->sway_target[2], 1.0);
  g.next(), g.next(), g.next();
  EXPECT_EQ(apefw::random_state(), g.x) << "twelve draws, no more";
}

TEST(CoilKick, DrawsColourJumpThenSwayZoomSwayThenSixPhaseSteps) {
  // A twin without the beat: the phases differ by the kick's steps alone.
  auto quiet = coiltest::make_effect(4242);
  quiet->render_frame(kSilence.data(), 0, nullptr, nullptr, 0, 0);

  auto e = coiltest::make_effect(4242);
  apefw::write_shared(e->settings.colour_count, 5);
  apefw::write_shared(e->settings.on_beat_change, 1);
  Lcg g{4242};
  for (int i = 0; i < 12; ++i) g.next();
  e->render_frame(kSilence.data(), 1, nullptr, nullptr, 0, 0);

  EXPECT_EQ(e->beat_count, 1);
  EXPECT_EQ(e->colour_position, static_cast<double>(g.next() * 5) * (1.0 / 65536.0));
  const double s0 = g.sign();
  const double s1 = g.sign();
  const double s2 = g.sign();
  EXPECT_EQ(e->sway_target[0], s0);
  EXPECT_EQ(e->sway_target[1], s1);
  EXPECT_EQ(e->sway_target[2], s2);
  EXPECT_EQ(e->zoom, 1.2 * 0.9 + 0.1);
  const double steps[6] = {(g.next() % 100) * 0.2, (g.next() % 100) * 0.2, (g.next() % 100) * 0.2,
                           (g.next() % 100) * 0.2, (g.next() % 100) * 0.2, (g.next() % 100) * 0.2};
  EXPECT_NEAR(e->light1_phase.x - quiet->light1_phase.x, steps[0], 1e-6);
  EXPECT_NEAR(e->light1_phase.y - quiet->light1_phase.y, steps[1], 1e-6);
  EXPECT_NEAR(e->light1_phase.z - quiet->light1_phase.z, steps[2], 1e-6);
  EXPECT_NEAR(e->light2_phase.x - quiet->light2_phase.x, steps[3], 1e-6);
  EXPECT_NEAR(e->light2_phase.y - quiet->light2_phase.y, steps[4], 1e-6);
  EXPECT_NEAR(e->light2_phase.z - quiet->light2_phase.z, steps[5], 1e-6);
  EXPECT_EQ(apefw::random_state(), g.x);
}

TEST(CoilKick, ComesOnTheFirstThirdAndFifthBeatOnly) {
  auto e = coiltest::make_effect(99);
  Lcg g{99};
  for (int i = 0; i < 12; ++i) g.next();
  for (int beat = 1; beat <= 6; ++beat) {
    const double zoom_before = e->zoom;
    e->render_frame(kSilence.data(), 1, nullptr, nullptr, 0, 0);
    EXPECT_EQ(e->beat_count, beat);
    if (beat % 2 == 1) {
      for (int i = 0; i < 9; ++i) g.next();  // colour jump is off: the kick's nine draws
      EXPECT_EQ(e->zoom, 1.2 * 0.9 + 0.1) << "beat " << beat;
    } else {
      EXPECT_EQ(e->zoom, zoom_before * 0.9 + 0.1) << "beat " << beat;
    }
    EXPECT_EQ(apefw::random_state(), g.x) << "beat " << beat;
  }
  // Frames without a beat change neither the count nor the generator.
  e->render_frame(kSilence.data(), 0, nullptr, nullptr, 0, 0);
  EXPECT_EQ(e->beat_count, 6);
  EXPECT_EQ(apefw::random_state(), g.x);
}

TEST(CoilClock, StepsBy12ForSixFramesAfterAKickThen11) {
  auto e = coiltest::make_effect(3);
  std::vector<int> steps;
  for (int f = 0; f < 9; ++f) {
    const int before = e->clock;
    e->render_frame(kSilence.data(), f == 0, nullptr, nullptr, 0, 0);
    steps.push_back(e->clock - before);
  }
  // The kick frame itself still runs at rest zoom.
  EXPECT_EQ(steps, (std::vector<int>{11, 12, 12, 12, 12, 12, 12, 11, 11}));
}

TEST(CoilClock, WrapsModulo2To32) {
  auto e = coiltest::make_effect(3);
  e->clock = INT_MAX - 5;
  e->render_frame(kSilence.data(), 0, nullptr, nullptr, 0, 0);
  EXPECT_EQ(e->clock, INT_MIN + 5);
}

TEST(CoilBands, SmoothWithTruncatingDivisionAndTheirOwnTrendWeights) {
  auto e = coiltest::make_effect(3);
  const coiltest::Sound sound = coiltest::banded_sound();
  // Band samples: 101 (bins 0-1), 37 (bins 20-59), 210 (bins 28-200).
  const int level[4][3] = {{101, 37, 210}, {151, 55, 315}, {176, 64, 367}, {189, 69, 393}};
  const int trend[4][3] = {{0, 0, 0}, {25, 18, 157}, {50, 36, 314}, {69, 50, 431}};
  for (int f = 0; f < 4; ++f) {
    e->render_frame(sound.data(), 0, nullptr, nullptr, 0, 0);
    for (int b = 0; b < 3; ++b) {
      EXPECT_EQ(e->band_level[b], level[f][b]) << "frame " << f << " band " << b;
      EXPECT_EQ(e->band_trend[b], trend[f][b]) << "frame " << f << " band " << b;
    }
  }
  // Silence halves everything away.
  for (int f = 0; f < 24; ++f) e->render_frame(kSilence.data(), 0, nullptr, nullptr, 0, 0);
  for (int b = 0; b < 3; ++b) {
    EXPECT_EQ(e->band_level[b], 0);
    EXPECT_EQ(e->band_trend[b], 0);
  }
}

TEST(CoilRotation, IncrementIsCappedAt015AndSignedBySway) {
  auto e = coiltest::make_effect(3);
  coiltest::Sound loud;
  loud.fill(255);
  const double target[3] = {1.0, -1.0, 1.0};
  for (int k = 0; k < 3; ++k) e->sway[k] = e->sway_target[k] = target[k];
  double step[3] = {};
  for (int f = 0; f < 12; ++f) {
    for (double& r : e->rotation) r = 0.0;
    e->render_frame(loud.data(), 0, nullptr, nullptr, 0, 0);
    for (int k = 0; k < 3; ++k) step[k] = e->rotation[k] / e->sway[k];
  }
  // A very loud spectrum drives angles 0 and 2 into the cap; angle 1's trend weighs too little.
  EXPECT_NEAR(step[0], 0.15, 1e-12);
  EXPECT_GT(step[1], 0.1);
  EXPECT_LT(step[1], 0.15);
  EXPECT_NEAR(step[2], 0.15, 1e-12);
  EXPECT_LT(e->rotation[1], 0.0);  // a negative sway turns the other way

  // In silence only the clock sines drive the angles: at most 0.0361 for angle 0.
  auto quiet = coiltest::make_effect(3);
  for (int k = 0; k < 3; ++k) quiet->sway[k] = quiet->sway_target[k] = target[k];
  quiet->clock = 1500;  // where sin(T * 0.001) is near its top
  for (int f = 0; f < 20; ++f) {
    quiet->rotation[0] = 0.0;
    quiet->render_frame(kSilence.data(), 0, nullptr, nullptr, 0, 0);
    const double s = quiet->rotation[0] / quiet->sway[0];
    ASSERT_GT(s, 0.0361 * 0.99);
    ASSERT_LE(s, 0.0361);
  }
}

TEST(CoilLights, DriftWithTheClockAndTheTrendsAndTheSecondLightTurnedByOnePlace) {
  auto e = coiltest::make_effect(3);
  const coiltest::Sound sound = coiltest::banded_sound();
  e->clock = 389;  // T = 400: sin(T * 0.012) < 0 < sin(T * 0.00412), sin(T * 0.00614)
  e->band_level[0] = 300;
  e->band_trend[0] = 40;
  e->band_trend[1] = 7;
  e->light1_phase = e->light2_phase = {0.0, 0.0, 0.0};
  e->render_frame(sound.data(), 0, nullptr, nullptr, 0, 0);
  ASSERT_EQ(e->band_trend[0], 95);  // (1 * (251 - 101) + 40) / 2
  ASSERT_EQ(e->band_trend[1], 3);   // (2 * (37 - 37) + 7) / 2
  ASSERT_EQ(e->band_trend[2], 0);

  const double t = 400.0;
  using render3d::trig::sin;
  const double s0 = sin(t * 0.012), s1 = sin(t * 0.00412);
  ASSERT_LT(s0, 0.0);
  ASSERT_GT(s1, 0.0);
  const double d0 = sin(t * 0.00271) * 0.021 + -1.0 * std::sqrt(-s0) * 95 * 0.00075;
  const double d1 = sin(t * 0.00418) * 0.0223 + 1.0 * std::sqrt(s1) * 3 * 0.00075;
  const double d2 = sin(t * 0.003211) * 0.0189;
  EXPECT_EQ(e->light1_phase.x, d0);
  EXPECT_EQ(e->light1_phase.y, d1);
  EXPECT_DOUBLE_EQ(e->light1_phase.z, d2);
  EXPECT_EQ(e->light2_phase.x, e->light1_phase.y);
  EXPECT_EQ(e->light2_phase.y, e->light1_phase.z);
  EXPECT_EQ(e->light2_phase.z, e->light1_phase.x);
}

// The vertex and face records of the mesh, bytes and all.
std::vector<std::uint8_t> mesh_bytes(const CoilEffect& e) {
  constexpr std::size_t kVertexBytes = 744 * sizeof(coilfx::MeshVertex);
  constexpr std::size_t kFaceBytes = 1440 * sizeof(coilfx::MeshFace);
  std::vector<std::uint8_t> bytes(kVertexBytes + kFaceBytes);
  std::memcpy(bytes.data(), e.vertices.get(), kVertexBytes);
  std::memcpy(bytes.data() + kVertexBytes, e.faces.get(), kFaceBytes);
  return bytes;
}

// The frame's geometry and light, told apart by their results: the trails take the frame's beat
// and its new rotation, the arms are built from those trails, the mesh is lit after it was built,
// and every face reaches draw_triangle in index order, with the frame's size.
TEST(CoilFrame, RunsTrailsArmsShadeThenEveryFaceThroughDrawTriangle) {
  auto e = coiltest::make_effect(3);
  constexpr std::uint32_t kHost = 0x00306090u;
  for (const int beat : {3, 0}) {
    SCOPED_TRACE(testing::Message() << "beat " << beat);
    std::vector<std::uint32_t> frame(40 * 30, kHost);
    // The first frame has nothing to draw into, the second is 40 x 30.
    const bool drawn = beat == 0;
    e->render_frame(kSilence.data(), beat, drawn ? frame.data() : nullptr, nullptr, drawn ? 40 : 0,
                    drawn ? 30 : 0);

    // The beat's pulse heads trail 0 on its frame and has moved one entry out on the next.
    EXPECT_EQ(e->trails[0].colour, beat ? 255u : 0u);
    EXPECT_EQ(e->trails[1].colour, beat ? 0u : 255u);
    // The heads are the axes turned by this frame's rotation, the one left after the rotation step.
    coilfx::Vec3 head{0.0, 0.0, 1.0};
    render3d::rotate_vec3(head, e->rotation[0], e->rotation[1], e->rotation[2]);
    const coilfx::Vec3& trail4 = e->trails[4 * coilfx::kTrailLength].position;
    EXPECT_EQ(std::memcmp(&trail4, &head, sizeof head), 0);

    // The mesh is the arms of these trails, lit: building and lighting it again changes no bit.
    const std::vector<std::uint8_t> mesh = mesh_bytes(*e);
    e->build_arms();
    e->shade_mesh();
    EXPECT_EQ(mesh_bytes(*e), mesh);
    EXPECT_EQ(e->face_count, 1440);

    // Every face in index order through draw_triangle, into a fresh depth buffer of the frame's
    // size, gives the very same picture.
    std::vector<std::uint32_t> redrawn(40 * 30, kHost);
    render3d::DepthBuffer depth;
    const render3d::RenderTarget target{redrawn.data(), depth.prepare(40, 30), 40, 30};
    for (std::int32_t f = 0; drawn && f < e->face_count; ++f) {
      const coilfx::MeshFace& face = e->faces[f];
      e->draw_triangle(target, e->vertices[face.vertex_index[0]], e->vertices[face.vertex_index[1]],
                       e->vertices[face.vertex_index[2]], face.normal);
    }
    EXPECT_EQ(frame, redrawn);
    if (drawn) {
      EXPECT_GT(
          std::count_if(frame.begin(), frame.end(), [](std::uint32_t p) { return p != kHost; }),
          100);
    }
  }
}

TEST(CoilFrame, DepthBufferFollowsTheFrameSize) {
  auto e = coiltest::make_effect(3);
  std::vector<std::uint32_t> frame(64 * 48 + 48 * 64);
  e->render_frame(kSilence.data(), 0, frame.data(), nullptr, 0, 0);
  EXPECT_EQ(e->frame_size_key, 0);
  EXPECT_EQ(e->depth_buffer.data(), nullptr);

  e->render_frame(kSilence.data(), 0, frame.data(), nullptr, 64, 48);
  EXPECT_EQ(e->frame_size_key, 64 + 48 * 65536);
  const std::uint16_t* first = e->depth_buffer.data();
  ASSERT_NE(first, nullptr);
  e->render_frame(kSilence.data(), 0, frame.data(), nullptr, 64, 48);
  EXPECT_EQ(e->depth_buffer.data(), first);

  e->render_frame(kSilence.data(), 0, frame.data(), nullptr, 48, 64);
  EXPECT_EQ(e->frame_size_key, 48 + 64 * 65536);
  EXPECT_EQ(e->depth_buffer.width(), 48);
  EXPECT_EQ(e->depth_buffer.height(), 64);
}

TEST(CoilFrame, AnyFrameSizeIsSafeAndNeverTouchesTheOutputBuffer) {
  constexpr std::uint32_t kHost = 0x00123456u;
  constexpr std::uint32_t kGuard = 0xDEADBEEFu;
  const coiltest::Sound sound = coiltest::banded_sound();
  auto e = coiltest::make_effect(8);
  struct Size {
    int width, height;
  };
  // An empty frame first of all, then odd, thin, empty and negative ones.
  const Size sizes[] = {{0, 0},   {1, 1},     {2, 1},    {1, 2},   {3, 3},   {2, 2},
                        {7, 5},   {0, 9},     {9, 0},    {-4, 10}, {10, -4}, {-3, -3},
                        {33, 17}, {641, 479}, {17, 333}, {0, 0}};
  int frame_number = 0;
  int beats = 0;
  for (const Size s : sizes) {
    const std::size_t area = s.width > 0 && s.height > 0 ? std::size_t(s.width) * s.height : 0;
    std::vector<std::uint32_t> frame(area + 64, kGuard);
    std::fill(frame.begin(), frame.begin() + area, kHost);
    std::vector<std::uint32_t> output(64, kGuard);
    for (int f = 0; f < 3; ++f, ++frame_number) {
      const int beat = frame_number % 4 == 0;
      beats += beat;
      ASSERT_EQ(e->render_frame(sound.data(), beat, frame.data(), output.data(), s.width, s.height),
                0);
    }
    for (std::size_t i = area; i < frame.size(); ++i) {
      ASSERT_EQ(frame[i], kGuard) << s.width << "x" << s.height << " wrote past the frame";
    }
    if (area == 0) {
      EXPECT_EQ(frame[0], kGuard);
    }
    EXPECT_EQ(output, std::vector<std::uint32_t>(64, kGuard));
  }
  EXPECT_EQ(e->beat_count, beats);  // every frame ran its animation
}

TEST(CoilFrame, SkippedDrawingKeepsTheAnimationInStep) {
  const coiltest::Sound sound = coiltest::banded_sound();
  auto drawn = coiltest::make_effect(2024);
  auto blind = coiltest::make_effect(2024);
  apefw::write_shared(drawn->settings.on_beat_change, 1);
  apefw::write_shared(blind->settings.on_beat_change, 1);
  std::vector<std::uint32_t> frame(96 * 64);
  for (int f = 0; f < 25; ++f) {
    const int beat = f % 3 == 0;
    // Both draw from this thread's generator: give each frame the same draws.
    apefw::seed_random(5000u + f);
    drawn->render_frame(sound.data(), beat, frame.data(), nullptr, 96, 64);
    apefw::seed_random(5000u + f);
    blind->render_frame(sound.data(), beat, frame.data(), nullptr, 0, 0);
  }
  EXPECT_EQ(drawn->clock, blind->clock);
  EXPECT_EQ(drawn->zoom, blind->zoom);
  EXPECT_EQ(drawn->colour_position, blind->colour_position);
  EXPECT_EQ(std::memcmp(drawn->rotation, blind->rotation, sizeof drawn->rotation), 0);
  EXPECT_EQ(std::memcmp(&drawn->light2_phase, &blind->light2_phase, sizeof(coilfx::Vec3)), 0);
  EXPECT_EQ(std::memcmp(drawn->trails.get(), blind->trails.get(), 180 * sizeof(coilfx::MeshVertex)),
            0);
  EXPECT_EQ(
      std::memcmp(drawn->vertices.get(), blind->vertices.get(), 744 * sizeof(coilfx::MeshVertex)),
      0);
}

TEST(CoilFrame, DrawsALitOutlinedFigureOverTheHostImage) {
  constexpr std::uint32_t kHost = 0x00204060u;
  constexpr int kWidth = 160, kHeight = 120;
  const coiltest::Sound sound = coiltest::banded_sound();
  auto e = coiltest::make_effect(6);
  std::vector<std::uint32_t> frame;
  for (int f = 0; f < 8; ++f) {
    frame.assign(kWidth * kHeight, kHost);
    e->render_frame(sound.data(), f == 2, frame.data(), nullptr, kWidth, kHeight);
  }
  int lit = 0, outline = 0;
  for (std::uint32_t p : frame) {
    if (p == 0x010101u)
      ++outline;
    else if (p != kHost)
      ++lit;
  }
  EXPECT_GT(lit, kWidth * kHeight / 20);
  EXPECT_GT(outline, 20);
  // The body sits on the centre of the frame.
  EXPECT_NE(frame[kHeight / 2 * kWidth + kWidth / 2], kHost);
}

}  // namespace
