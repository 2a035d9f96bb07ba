#pragma once
// host/live: uses plugin, audio and base, and SDL (inside its sources only); used by cli.
//
// A song played on the default output device while it is shown, the picture following the sound
// the device is playing (PlaybackClock); offset_ms later still for outputs with latency of their
// own. Without an output device (no sound card, no audio server) the song is shown silently against
// the wall clock.
//
// The song is decoded and analysed as it plays (SongStream): playing starts after the first few
// seconds are decoded, whatever the song's length, and the memory stays that of a few seconds of
// sound. A song whose decoding fails part way ends there (failure() says why).

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "apehost_audio/audio_buffer.hpp"
#include "apehost_audio/sound_analysis.hpp"
#include "live/live_sound.hpp"
#include "live/playback_clock.hpp"
#include "live/song_source.hpp"
#include "live/song_stream.hpp"

namespace apehost {

class SongPlayback final : public LiveSound {
 public:
  // A song file or other source (open_song_file), decoded as it plays.
  SongPlayback(std::unique_ptr<SongSource> source, std::string name, double offset_ms);
  // Sound in memory: song must outlive the playback.
  SongPlayback(const audio::AudioBuffer& song, std::string name, double offset_ms);
  // Sound in memory, which the playback keeps.
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
  // Why the song ended before its end ("<path>: decoding failed: <reason>"); empty when it did not.
  std::string failure() const { return stream_->failure(); }

 private:
  friend struct SongPlaybackDevice;  // the device's callback
  // The sample position of the picture due now, within the song.
  std::int64_t shown_position() const;

  std::string name_;
  std::int64_t offset_samples_ = 0;
  int sample_rate_ = 0;
  std::unique_ptr<SongStream> stream_;
  std::int64_t seek_floor_ = 0;  // where the last seek landed: nothing earlier is shown after it

  std::uint32_t device_ = 0;  // SDL's audio device; 0 for none
  std::string silent_reason_;
  std::optional<PlaybackClock> clock_;
};

}  // namespace apehost
