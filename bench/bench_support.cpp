#include "bench_support.hpp"

#include <algorithm>
#include <memory>

#include "render3d/sound_bands.hpp"

// The benchmark executable plays the host: a fixed tick count makes every effect's random draws,
// and so every benchmarked frame, the same from run to run.
extern "C" __attribute__((visibility("default"))) std::uint32_t ape_host_tick_count(void) {
  return 0x5EED5u;
}

namespace apebench {

const std::vector<SoundFrame>& song() {
  static const std::vector<SoundFrame> frames = song_trace();
  return frames;
}

std::vector<std::uint32_t> host_frame(const FrameSize& size) {
  std::vector<std::uint32_t> frame(static_cast<std::size_t>(size.width) *
                                   static_cast<std::size_t>(size.height));
  for (int y = 0; y < size.height; ++y) {
    const auto shade = static_cast<std::uint32_t>(y * 64 / size.height);
    for (int x = 0; x < size.width; ++x) {
      frame[static_cast<std::size_t>(y) * static_cast<std::size_t>(size.width) +
            static_cast<std::size_t>(x)] = (shade << 16) | (shade << 8) | 0x20u;
    }
  }
  return frame;
}

BlobFrameState capture(const blobfx::BlobEffect& effect) {
  BlobFrameState s{};
  const blobfx::BallField& field = *effect.ball_field;
  s.frame_count = effect.frame_count;
  s.beat_flag = effect.beat_flag;
  for (int b = 0; b < 3; ++b) s.band_level[b] = effect.band_level[b];
  s.colour_position = effect.colour_position;
  s.light1_phase = effect.light1_phase;
  s.light2_phase = effect.light2_phase;
  for (int i = 0; i < blobfx::kBallCount; ++i) {
    s.ball_centre[i] = field.ball_centre[i];
    s.orbit_radius[i] = field.orbit_radius[i];
  }
  for (int j = 0; j < blobfx::kSpinAngles; ++j) {
    s.spin[j] = field.spin[j];
    s.spin_rate[j] = field.spin_rate[j];
  }
  s.spread = field.spread;
  return s;
}

void restore(blobfx::BlobEffect& effect, const BlobFrameState& s) {
  blobfx::BallField& field = *effect.ball_field;
  effect.frame_count = s.frame_count;
  effect.beat_flag = s.beat_flag;
  for (int b = 0; b < 3; ++b) effect.band_level[b] = s.band_level[b];
  effect.colour_position = s.colour_position;
  effect.light1_phase = s.light1_phase;
  effect.light2_phase = s.light2_phase;
  for (int i = 0; i < blobfx::kBallCount; ++i) {
    field.ball_centre[i] = s.ball_centre[i];
    field.orbit_radius[i] = s.orbit_radius[i];
  }
  for (int j = 0; j < blobfx::kSpinAngles; ++j) {
    field.spin[j] = s.spin[j];
    field.spin_rate[j] = s.spin_rate[j];
  }
  field.spread = s.spread;
  effect.vertex_count = 0;
  effect.face_count = 0;
}

std::vector<BlobFrameState> blob_song_states(int warm_up, int stride) {
  auto effect = std::make_unique<blobfx::BlobEffect>();
  const std::vector<SoundFrame>& frames = song();
  std::vector<std::uint32_t> frame(16 * 16);
  std::vector<BlobFrameState> states;
  for (int f = 0; f < warm_up + kSongFrames; ++f) {
    const SoundFrame& s = frames[static_cast<std::size_t>(f % kSongFrames)];
    const bool keep = f >= warm_up && (f - warm_up) % stride == 0;
    // What the previous frame left: the ball field (only build_surface moves it) and the bands.
    const BlobFrameState before = capture(*effect);
    std::int32_t trend[3];
    for (int b = 0; b < 3; ++b) trend[b] = effect->band_trend[b];

    effect->render_frame(s.bytes, s.beat, frame.data(), nullptr, 16, 16);
    if (!keep) continue;
    // The frame's driver results as they stood before build_surface; the ball field as it was
    // before its animation, and the band levels after the frame's update but before the field
    // decayed them (the update again, on the previous frame's values).
    BlobFrameState state = capture(*effect);
    std::copy_n(before.ball_centre, blobfx::kBallCount, state.ball_centre);
    std::copy_n(before.orbit_radius, blobfx::kBallCount, state.orbit_radius);
    std::copy_n(before.spin, blobfx::kSpinAngles, state.spin);
    std::copy_n(before.spin_rate, blobfx::kSpinAngles, state.spin_rate);
    state.spread = before.spread;
    std::copy_n(before.band_level, 3, state.band_level);
    render3d::update_sound_bands(s.bytes, state.band_level, trend);
    states.push_back(state);
  }
  return states;
}

}  // namespace apebench
