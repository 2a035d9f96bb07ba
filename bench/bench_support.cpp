#include "bench_support.hpp"

#include <memory>

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

namespace {

// Plays the song without drawing and keeps the state at the start of each chosen build_surface.
class StateRecorder : public blobfx::BlobEffect {
 public:
  void build_surface() override {
    if (record) states.push_back(capture(*this));
    BlobEffect::build_surface();
  }
  bool record = false;
  std::vector<BlobFrameState> states;
};

}  // namespace

std::vector<BlobFrameState> blob_song_states(int warm_up, int stride) {
  auto recorder = std::make_unique<StateRecorder>();
  const std::vector<SoundFrame>& frames = song();
  std::vector<std::uint32_t> frame(16 * 16);
  for (int f = 0; f < warm_up + kSongFrames; ++f) {
    const SoundFrame& s = frames[static_cast<std::size_t>(f % kSongFrames)];
    recorder->record = f >= warm_up && (f - warm_up) % stride == 0;
    recorder->render_frame(s.bytes, s.beat, frame.data(), nullptr, 16, 16);
  }
  return std::move(recorder->states);
}

}  // namespace apebench
