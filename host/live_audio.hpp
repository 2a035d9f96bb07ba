#pragma once
// Sound for the live window, through SDL: a song played on the default output device, with the
// device's consumed-sample position as the clock the picture follows; or sound captured from an
// input device (a monitor of what the machine plays included). Both hand the window the sound
// data of the frame to show now.

#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "apehost_audio/audio_buffer.hpp"
#include "apehost_audio/sound_analysis.hpp"

namespace apehost {

// SDL is shut down when the program ends, once any part of it was started: the audio server and
// the display get their connections closed the ordinary way.
void quit_sdl_at_exit();

// SDL's audio subsystem, started once for the process with monitor devices listed.
// Returns false with SDL's reason when no audio driver starts.
bool start_sdl_audio(std::string& reason);

struct AudioDeviceList {
  std::string driver;
  std::vector<std::string> capture;  // monitors of the outputs included
  std::vector<std::string> playback;
};
AudioDeviceList list_audio_devices();  // throws a bad-input error when no audio driver starts

// What the window shows: the sound of the frame due now.
class LiveSound {
 public:
  virtual ~LiveSound() = default;
  virtual audio::SoundFrame frame_now() = 0;
  virtual bool finished() const = 0;
  virtual void set_paused(bool paused) = 0;
  virtual std::string describe() const = 0;  // for the status lines
};

// A song played while it is shown. The clock is the sample position being heard: the samples the
// device has taken, less the buffer it is playing from, moved on by the time since it took the
// last ones; offset_ms later still for outputs with latency of their own. Without an output device
// (no sound card, no audio server) the song is shown silently against the wall clock.
class SongPlayback final : public LiveSound {
 public:
  SongPlayback(const audio::AudioBuffer& song, std::string name, double offset_ms);
  ~SongPlayback() override;

  bool audible() const noexcept { return device_ != 0; }
  const std::string& silent_reason() const noexcept { return silent_reason_; }

  audio::SoundFrame frame_now() override;
  bool finished() const override;
  void set_paused(bool paused) override;
  std::string describe() const override;

  // The sample position being heard now (before the offset), for the tests of the clock.
  std::int64_t heard_position() const;

 private:
  static void SDLCALL fill(void* self, Uint8* stream, int length);
  void fill(float* out, int frames);

  const audio::AudioBuffer& song_;
  std::string name_;
  std::int64_t offset_samples_;
  std::vector<float> stereo_;  // the first two channels when the song has more
  const float* samples_;
  int channels_;
  std::int64_t total_;
  audio::SoundAnalyser analyser_;

  SDL_AudioDeviceID device_ = 0;
  std::string silent_reason_;
  int device_frames_ = 0;  // sample frames per device buffer

  // Written by the device's thread, read by the window's.
  mutable std::mutex clock_mutex_;
  std::int64_t taken_ = 0;  // sample frames handed to the device so far
  Uint64 taken_at_ = 0;     // performance counter at the last hand-over
  bool paused_ = false;
  Uint64 wall_start_ = 0;  // the silent clock: when position 0 was heard
  Uint64 paused_at_ = 0;
};

// Sound from an input device, shown as it arrives: each frame shows the newest sound (offset_ms
// earlier, when asked), so beats show as soon as the tracker places them, a few frames late.
class CaptureSound final : public LiveSound {
 public:
  // device: a name from list_audio_devices(), its number in the capture list, a unique part of a
  // name, or empty for the default input. Throws a bad-input error when it cannot be opened.
  CaptureSound(const std::string& device, double offset_ms);
  ~CaptureSound() override;

  audio::SoundFrame frame_now() override;
  bool finished() const override { return false; }
  void set_paused(bool paused) override { paused_ = paused; }
  std::string describe() const override;

 private:
  static void SDLCALL take(void* self, Uint8* stream, int length);

  std::string name_;
  SDL_AudioDeviceID device_ = 0;
  int rate_ = 0;
  int channels_ = 0;
  double offset_ms_ = 0;
  bool paused_ = false;
  std::unique_ptr<audio::SoundAnalyser> analyser_;
  std::mutex incoming_mutex_;
  std::vector<float> incoming_;  // arrived since the last frame
  std::vector<float> draining_;
};

// Resolves a --capture argument against the capture devices (see CaptureSound); empty when it
// names the default input. Throws a bad-input error naming the choices when it matches none or
// several.
std::string choose_capture_device(const std::string& wanted, const std::vector<std::string>& names);

}  // namespace apehost
