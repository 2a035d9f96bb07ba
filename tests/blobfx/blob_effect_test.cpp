// The Blobform frame driver: construction, the frame steps and their order, the random draws of a
// beat frame, frame sizes, and a whole drawn frame.

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "apefw/random.hpp"
#include "apefw/settings_panel.hpp"
#include "blob_fixtures.hpp"
#include "blobfx/blob_effect.hpp"
#include "fixed_tick.hpp"
#include "render3d/trig.hpp"

namespace {

using blobfx::BlobEffect;
using blobtest::ReferenceRandom;
using blobtest::silence;

TEST(BlobDriver, ConstructionStartsFromZeroWithTheDefaultSettings) {
  BlobEffect effect;
  ASSERT_TRUE(effect.construction_complete());
  EXPECT_EQ(effect.settings.colours[0], 0x7FFFu);
  for (int i = 1; i < 16; ++i) EXPECT_EQ(effect.settings.colours[i], 0u);
  EXPECT_EQ(effect.settings.colour_count, 1);
  EXPECT_EQ(effect.settings.on_beat_change, 0);
  EXPECT_EQ(effect.frame_size_key, 0);
  EXPECT_EQ(effect.frame_count, 0);
  for (int b = 0; b < 3; ++b) {
    EXPECT_EQ(effect.band_level[b], 0);
    EXPECT_EQ(effect.band_trend[b], 0);
  }
  EXPECT_EQ(effect.depth_buffer.data(), nullptr);
  EXPECT_EQ(effect.vertex_count, 0);
  EXPECT_EQ(effect.face_count, 0);
  EXPECT_EQ(effect.edge_cache_size, 31944);
  EXPECT_EQ(effect.beat_flag, 0);
  EXPECT_EQ(effect.colour_position, 0.0);
  EXPECT_EQ(effect.light1_phase.x, 0.0);
  EXPECT_EQ(effect.light2_phase.z, 0.0);
  const blobfx::BallField& field = *effect.ball_field;
  EXPECT_EQ(field.owner, &effect);
  for (int k = 0; k < 6; ++k) EXPECT_EQ(field.orbit_radius[k], 0);
  for (int j = 0; j < 12; ++j) EXPECT_EQ(field.spin[j] + field.spin_rate[j], 0.0);
  EXPECT_EQ(field.spread, 0.0);
  EXPECT_STREQ(effect.describe(), "Render / Blobform 3D");
  std::uint8_t blob[72];
  ASSERT_EQ(effect.save_settings(blob), 72);
  EXPECT_EQ(blob[0], 0xFF);
  EXPECT_EQ(blob[1], 0x7F);
  EXPECT_EQ(blob[64], 1);
}

TEST(BlobDriver, APanelLeftOpenForgetsTheEffectItEdits) {
  auto effect = std::make_unique<BlobEffect>();
  effect->create_settings_panel(nullptr, nullptr);
  EXPECT_EQ(apefw::panel_target().effect, effect.get());
  EXPECT_EQ(apefw::panel_target().settings, &effect->settings);
  {
    BlobEffect other;  // destroying another effect leaves the panel alone
  }
  EXPECT_EQ(apefw::panel_target().effect, effect.get());
  effect.reset();
  EXPECT_EQ(apefw::panel_target().effect, nullptr);
  EXPECT_EQ(apefw::panel_target().settings, nullptr);
}

TEST(BlobDriver, TheConstructorSeedsTheGeneratorFromTheTickCount) {
  testsupport::set_fixed_tick(31337);
  apefw::seed_random(5);
  BlobEffect effect;
  EXPECT_EQ(apefw::random_state(), 31337u);  // and draws nothing itself
}

// On a beat frame with on_beat_change set: the colour jump's draw, then the twelve spin draws.
TEST(BlobDriver, ABeatFrameDrawsTheColourJumpFirstThenTwelveSpinRates) {
  testsupport::set_fixed_tick(4242);
  BlobEffect effect;
  effect.settings.colour_count = 3;
  effect.settings.on_beat_change = 1;
  const auto sound = silence();
  effect.render_frame(sound.data(), 1, nullptr, nullptr, 0, 0);

  ReferenceRandom expected(4242);
  const int jump = expected.next();
  EXPECT_EQ(effect.colour_position, (jump * 3) / 65536.0);
  for (int j = 0; j < 12; ++j) {
    const int r = expected.next();
    EXPECT_EQ(effect.ball_field->spin_rate[j], (r % 100) * (1.0 / 300.0)) << "rate " << j;
  }
  EXPECT_EQ(apefw::random_state(), expected.state());
}

TEST(BlobDriver, WithoutTheColourJumpABeatDrawsOnlyTheSpinRates) {
  testsupport::set_fixed_tick(777);
  BlobEffect effect;
  effect.settings.colour_count = 3;
  const auto sound = silence();
  effect.render_frame(sound.data(), 1, nullptr, nullptr, 0, 0);

  ReferenceRandom expected(777);
  EXPECT_EQ(effect.colour_position, 0.015);
  for (int j = 0; j < 12; ++j) {
    const int r = expected.next();
    EXPECT_EQ(effect.ball_field->spin_rate[j], (r % 100) * (1.0 / 300.0)) << "rate " << j;
  }
  EXPECT_EQ(apefw::random_state(), expected.state());

  // A quiet frame draws nothing; the rates decay and first turn the angles now.
  const double rate0 = effect.ball_field->spin_rate[0];
  effect.render_frame(sound.data(), 0, nullptr, nullptr, 0, 0);
  EXPECT_EQ(apefw::random_state(), expected.state());
  EXPECT_EQ(effect.ball_field->spin[0], rate0);
  EXPECT_EQ(effect.ball_field->spin_rate[0], rate0 * 0.8);
}

TEST(BlobDriver, TheBeatFlagHoldsForOneFrameOnly) {
  BlobEffect effect;
  const auto sound = silence();
  effect.render_frame(sound.data(), 7, nullptr, nullptr, 0, 0);
  EXPECT_EQ(effect.beat_flag, 7);
  effect.render_frame(sound.data(), 0, nullptr, nullptr, 0, 0);
  EXPECT_EQ(effect.beat_flag, 0);
  EXPECT_EQ(effect.frame_count, 2);
  // The beat's push of the orbits shows on the beat frame and then eases off.
  EXPECT_EQ(effect.ball_field->orbit_radius[0], 134);  // trunc(trunc(150 x 0.95) x 0.95)
}

TEST(BlobDriver, SoundBandsAndTheirTrends) {
  BlobEffect effect;
  auto sound = silence();
  blobtest::set_spectrum(sound, 0, 1, 200);    // band 0: bins 0 and 1
  blobtest::set_spectrum(sound, 28, 59, 80);   // band 1: bins 20 to 59 average 64
  blobtest::set_spectrum(sound, 60, 200, 40);  // band 2: bins 28 to 200 average 47
  for (int i = 0; i < 2 * APE_SOUND_BINS; ++i)
    sound[2 * APE_SOUND_BINS + i] = 255;  // waveform: unread

  effect.render_frame(sound.data(), 0, nullptr, nullptr, 0, 0);
  // Levels (2v + 0) / 2 = v, trends 0; then the ball field decays the levels by a tenth.
  EXPECT_EQ(effect.band_trend[0], 0);
  EXPECT_EQ(effect.band_trend[1], 0);
  EXPECT_EQ(effect.band_trend[2], 0);
  EXPECT_EQ(effect.band_level[0], 180);
  EXPECT_EQ(effect.band_level[1], 57);
  EXPECT_EQ(effect.band_level[2], 42);

  effect.render_frame(sound.data(), 0, nullptr, nullptr, 0, 0);
  // Levels 290, 92, 68; trends (1 x 90) / 2, (2 x 28) / 2, (3 x 21) / 2 from the new levels.
  EXPECT_EQ(effect.band_trend[0], 45);
  EXPECT_EQ(effect.band_trend[1], 28);
  EXPECT_EQ(effect.band_trend[2], 31);
  EXPECT_EQ(effect.band_level[0], 261);
  EXPECT_EQ(effect.band_level[1], 82);
  EXPECT_EQ(effect.band_level[2], 61);
}

TEST(BlobDriver, LightDriftInSilenceFollowsTheFrameSines) {
  namespace trig = render3d::trig;
  BlobEffect effect;
  const auto sound = silence();
  effect.render_frame(sound.data(), 0, nullptr, nullptr, 0, 0);
  const double d0 = trig::sin(0.00271) * 0.021;
  const double d1 = trig::sin(0.00418) * 0.0223;
  const double d2 = trig::sin(0.003211) * 0.0189;
  EXPECT_EQ(effect.light1_phase.x, d0);
  EXPECT_EQ(effect.light1_phase.y, d1);
  EXPECT_EQ(effect.light1_phase.z, d2);
  // The second light: the same drifts turned by one place.
  EXPECT_EQ(effect.light2_phase.x, d1);
  EXPECT_EQ(effect.light2_phase.y, d2);
  EXPECT_EQ(effect.light2_phase.z, d0);
}

TEST(BlobDriver, LightDriftCarriesTheTrendSignedByASecondSine) {
  namespace trig = render3d::trig;
  BlobEffect effect;
  effect.frame_count = 299;
  effect.band_trend[0] = 90;   // halves to 45 in silence
  effect.band_trend[1] = -60;  // -30
  effect.band_trend[2] = 40;   // 20
  const auto sound = silence();
  effect.render_frame(sound.data(), 0, nullptr, nullptr, 0, 0);
  ASSERT_EQ(effect.band_trend[1], -30);
  const double t = 300.0;
  const double s0 = trig::sin(t * 0.012);  // negative at this frame
  const double s1 = trig::sin(t * 0.00412);
  ASSERT_LT(s0, 0.0);
  ASSERT_GT(s1, 0.0);
  const double d0 = trig::sin(t * 0.00271) * 0.021 + std::sqrt(-s0) * 45 * -1.0 * 0.00075;
  const double d1 = trig::sin(t * 0.00418) * 0.0223 + std::sqrt(s1) * -30 * 1.0 * 0.00075;
  EXPECT_EQ(effect.light1_phase.x, d0);
  EXPECT_EQ(effect.light1_phase.y, d1);
  EXPECT_EQ(effect.light2_phase.z, d0);
}

TEST(BlobDriver, TheFrameCounterWrapsToTheNegativeRange) {
  namespace trig = render3d::trig;
  BlobEffect effect;
  effect.frame_count = INT32_MAX;
  const auto sound = silence();
  effect.render_frame(sound.data(), 0, nullptr, nullptr, 0, 0);
  EXPECT_EQ(effect.frame_count, INT32_MIN);
  // The drift reads the counter as the signed value.
  EXPECT_EQ(effect.light1_phase.x, trig::sin(-2147483648.0 * 0.00271) * 0.021);
  effect.render_frame(sound.data(), 0, nullptr, nullptr, 0, 0);
  EXPECT_EQ(effect.frame_count, INT32_MIN + 1);
}

TEST(BlobDriver, EveryFrameStartsWithAnEmptyMesh) {
  BlobEffect effect;
  const auto sound = silence();
  effect.render_frame(sound.data(), 0, nullptr, nullptr, 0, 0);
  const std::int32_t vertices = effect.vertex_count;
  const std::int32_t faces = effect.face_count;
  ASSERT_GT(vertices, 0);
  effect.render_frame(sound.data(), 0, nullptr, nullptr, 0, 0);
  EXPECT_EQ(effect.vertex_count, vertices);
  EXPECT_EQ(effect.face_count, faces);
  // Shading ran on this frame's mesh: every vertex counted its faces.
  for (std::int32_t v = 0; v < effect.vertex_count; ++v)
    ASSERT_GE(effect.vertices[v].face_count, 3);
}

TEST(BlobDriver, EmptyAndNegativeFramesDrawNothingButAnimate) {
  testsupport::set_fixed_tick(99);
  BlobEffect effect;
  const auto sound = silence();
  const int sizes[][2] = {{0, 0}, {0, 50}, {50, 0}, {-4, 10}, {10, -4}, {-1, -1}};
  ReferenceRandom expected(99);
  for (const auto& size : sizes) {
    std::vector<std::uint32_t> frame(64, 0xABCDEFu);
    EXPECT_EQ(effect.render_frame(sound.data(), 1, frame.data(), nullptr, size[0], size[1]), 0);
    EXPECT_EQ(effect.depth_buffer.data(), nullptr);
    EXPECT_GT(effect.face_count, 0);
    for (const std::uint32_t p : frame) ASSERT_EQ(p, 0xABCDEFu);
    for (int j = 0; j < 12; ++j) expected.next();
  }
  EXPECT_EQ(apefw::random_state(), expected.state());
  EXPECT_EQ(effect.frame_count, 6);
  // The null host frame of an empty size is never touched.
  EXPECT_EQ(effect.render_frame(sound.data(), 0, nullptr, nullptr, 0, 0), 0);
}

TEST(BlobDriver, TheDepthBufferFollowsTheFrameSize) {
  BlobEffect effect;
  const auto sound = silence();
  std::vector<std::uint32_t> frame(400 * 300);
  effect.render_frame(sound.data(), 0, frame.data(), nullptr, 400, 300);
  EXPECT_EQ(effect.frame_size_key, 400 + 300 * 65536);
  EXPECT_EQ(effect.depth_buffer.width(), 400);
  EXPECT_EQ(effect.depth_buffer.height(), 300);
  effect.render_frame(sound.data(), 0, frame.data(), nullptr, 300, 400);
  EXPECT_EQ(effect.frame_size_key, 300 + 400 * 65536);
  EXPECT_EQ(effect.depth_buffer.width(), 300);
  EXPECT_EQ(effect.depth_buffer.height(), 400);
}

// Odd and tiny sizes: nothing outside the frame is touched (the sanitizer build watches the
// buffers), the second buffer is never written, the result is always 0.
TEST(BlobDriver, OddSizesStayInsideTheFrameAndLeaveTheOutputAlone) {
  BlobEffect effect;
  const auto sound = silence();
  const int sizes[][2] = {{1, 1}, {2, 3}, {7, 5}, {3, 200}, {201, 3}, {99, 77}, {160, 119}};
  for (const auto& size : sizes) {
    const std::size_t pixels = static_cast<std::size_t>(size[0]) * size[1];
    std::vector<std::uint32_t> frame(pixels, 0x102030u);
    std::vector<std::uint32_t> output(pixels, 0x55AA55u);
    EXPECT_EQ(effect.render_frame(sound.data(), 0, frame.data(), output.data(), size[0], size[1]),
              0);
    for (const std::uint32_t p : output) ASSERT_EQ(p, 0x55AA55u);
  }
}

// One silent frame over a host image: a lit disc around the centre with a dark one-pixel border,
// the rest of the image untouched.
TEST(BlobDriver, ASilentFrameDrawsALitDiscInTheMiddle) {
  constexpr int kWidth = 320, kHeight = 240;
  constexpr std::uint32_t kBackground = 0x00406080u;
  BlobEffect effect;
  effect.settings.colours[0] = 0xC03010u;  // asymmetric channels catch swaps
  const auto sound = silence();
  std::vector<std::uint32_t> frame(kWidth * kHeight, kBackground);
  std::vector<std::uint32_t> output(kWidth * kHeight, 0x5A5A5Au);
  ASSERT_EQ(effect.render_frame(sound.data(), 0, frame.data(), output.data(), kWidth, kHeight), 0);
  for (const std::uint32_t p : output) ASSERT_EQ(p, 0x5A5A5Au);

  int left = kWidth, right = -1, top = kHeight, bottom = -1, lit = 0, border = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const std::uint32_t p = frame[y * kWidth + x];
      if (p == kBackground) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
      if (p == 0x010101u) {
        ++border;
      } else {
        ++lit;
        ASSERT_EQ(p & 0x010101u, 0x010101u);  // every filled pixel has the low bits set
        // Lit in the drawing colour: red over green over blue, as in 0xC03010.
        const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
        ASSERT_GE(r, g);
        ASSERT_GE(g, b);
      }
    }
  }
  // The sphere of radius ~179.6 at distance 480 spans about 120 x 180 / 445 = 48 pixels each side.
  EXPECT_NEAR((left + right) / 2.0, kWidth / 2.0, 2.0);
  EXPECT_NEAR((top + bottom) / 2.0, kHeight / 2.0, 2.0);
  EXPECT_NEAR((right - left) / 2.0, 48.0, 4.0);
  EXPECT_NEAR((bottom - top) / 2.0, 48.0, 4.0);
  EXPECT_GT(lit, 6000);
  EXPECT_GT(border, 200);
  // The middle is filled, not only outlined.
  const std::uint32_t middle = frame[(kHeight / 2) * kWidth + kWidth / 2];
  EXPECT_NE(middle, kBackground);
  EXPECT_NE(middle, 0x010101u);
}

}  // namespace
