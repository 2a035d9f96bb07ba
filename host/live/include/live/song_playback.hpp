#pragma once
// host/live: uses plugin, audio and base, and SDL (inside its sources only); used by cli.
//
// A song played on the default output device while it is shown, the picture following the sound
// the device is playing (PlaybackClock); offset_ms later still for outputs with latency of their
// own. Without an output device (no sound card, no audio server) the song is shown silently against
// the wall clock.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "apehost_audio/audio_buffer.hpp"
#include "apehost_audio/sound_analysis.hpp"
#include "live/live_sound.hpp"
#include "live/playback_clock.hpp"

namespace apehost {

class SongPlayback final : public LiveSound {
 public:
  // song must outlive the playback.
  SongPlayback(const audio::AudioBuffer& song, std::string name, double offset_ms);
  ~SongPlayback() override;
  SongPlayback(const SongPlayback&) = delete;
  SongPlayback& operator=(const SongPlayback&) = delete;

  bool audible() const noexcept { return device_ != 0; }
  const std::string& silent_reason() const noexcept { return silent_reason_; }

  audio::SoundFrame frame_now() override;
  bool finished() const override;
  void set_paused(bool paused) override;
  std::string describe() const override;

  // The sample position being heard now (before the offset).
  std::int64_t heard_position() const;

 private:
  friend struct SongPlaybackDevice;  // the device's callback
  // The device's thread: the next frames sample frames into out. No lock, no allocation.
  void fill(float* out, int frames) noexcept;

  const audio::AudioBuffer& song_;
  std::string name_;
  std::int64_t offset_samples_;
  std::vector<float> stereo_;  // the first two channels when the song has more
  const float* samples_;
  int channels_;
  std::int64_t total_;
  audio::SoundAnalyser analyser_;

  std::uint32_t device_ = 0;  // SDL's audio device; 0 for none
  std::string silent_reason_;
  std::int64_t taken_ = 0;  // the device's thread's own: sample frames handed to it so far
  std::optional<PlaybackClock> clock_;
};

}  // namespace apehost
