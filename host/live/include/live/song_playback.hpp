#pragma once
// host/live: uses plugin, audio and base, and SDL (inside its sources only); used by cli.
//
// A song played on the default output device while it is shown, the picture following the sound
// the device is playing (PlaybackClock); offset_ms later still for outputs with latency of their
// own. Without an output device (no sound card, no audio server) the song is shown silently against
// the wall clock.

#include <atomic>
#include <cstdint>
#include <memory>
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
  // The playback keeps the song.
  SongPlayback(std::shared_ptr<const audio::AudioBuffer> song, std::string name, double offset_ms);
  ~SongPlayback() override;
  SongPlayback(const SongPlayback&) = delete;
  SongPlayback& operator=(const SongPlayback&) = delete;

  bool audible() const noexcept { return device_ != 0; }
  const std::string& silent_reason() const noexcept { return silent_reason_; }

  audio::SoundFrame frame_now() override;
  bool finished() const override;
  void set_paused(bool paused) override;
  std::string describe() const override;
  // Moves the sound and the picture by seconds (back when negative), within the song.
  void seek(double seconds) override;

  // The sample position being heard now (before the offset).
  std::int64_t heard_position() const;
  // Seconds into the song of the picture shown now.
  double shown_seconds() const;

 private:
  friend struct SongPlaybackDevice;  // the device's callback
  SongPlayback(std::shared_ptr<const audio::AudioBuffer> owned, const audio::AudioBuffer& song,
               std::string name, double offset_ms);
  // The device's thread: the next frames sample frames into out. No lock, no allocation.
  void fill(float* out, int frames) noexcept;
  // The sample position of the picture due now, within the song.
  std::int64_t shown_position() const;

  std::shared_ptr<const audio::AudioBuffer> owned_;  // empty when the caller keeps the song
  const audio::AudioBuffer& song_;
  std::string name_;
  std::int64_t offset_samples_;
  std::vector<float> stereo_;  // the first two channels when the song has more
  const float* samples_;
  int channels_;
  std::int64_t total_;
  // Analysed from analysed_from_ on: a seek starts the analysis again where it lands.
  std::optional<audio::SoundAnalyser> analyser_;
  std::int64_t analysed_from_ = 0;
  std::int64_t seek_floor_ = 0;  // where the last seek landed: nothing earlier is shown after it

  std::uint32_t device_ = 0;  // SDL's audio device; 0 for none
  std::string silent_reason_;
  std::int64_t taken_ = 0;  // the device's thread's own: sample frames handed to it so far
  std::optional<PlaybackClock> clock_;

  // A seek, from the window's thread to the device's: the position is stored first, then the
  // count of seeks asked for; the device's thread moves to the position and stores the count it
  // saw, so the window knows when the clock has followed (until then the picture shows the target).
  std::atomic<std::int64_t> seek_target_{0};
  std::atomic<std::uint32_t> seeks_asked_{0};
  std::atomic<std::uint32_t> seeks_done_{0};
};

}  // namespace apehost
