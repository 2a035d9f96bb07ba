#pragma once
// host/live: uses plugin, audio and base, and SDL (inside its sources only); used by cli.
//
// Sound from an input device (a monitor of what the machine plays included), shown as it arrives:
// each frame shows the newest sound (offset_ms earlier, when asked), so beats show as soon as the
// tracker places them, a few frames late.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "apehost_audio/sound_analysis.hpp"
#include "live/live_sound.hpp"
#include "live/sample_ring.hpp"

namespace apehost {

class CaptureSound final : public LiveSound {
 public:
  // device: a name from list_audio_devices(), its number in the capture list, a unique part of a
  // name, or empty for the default input (see choose_capture_device). Throws a bad-input error
  // about the device when it cannot be opened; where the device was named is for the caller to add.
  CaptureSound(const std::string& device, double offset_ms);
  ~CaptureSound() override;
  CaptureSound(const CaptureSound&) = delete;
  CaptureSound& operator=(const CaptureSound&) = delete;

  // Throws a failure naming the device when it has gone away.
  audio::SoundFrame frame_now() override;
  bool finished() const override { return false; }
  // Paused, the device is paused too: what plays meanwhile is not shown afterwards.
  void set_paused(bool paused) override;
  std::string describe() const override;

 private:
  friend struct CaptureSoundDevice;  // the device's callback

  std::string name_;
  std::uint32_t device_ = 0;  // SDL's audio device
  int rate_ = 0;
  int channels_ = 0;
  double offset_ms_ = 0;
  bool paused_ = false;
  std::unique_ptr<audio::SoundAnalyser> analyser_;
  // Arrived since the last frame: written by the device's thread, read by the window's.
  std::unique_ptr<SampleRing> incoming_;
  std::vector<float> draining_;  // as large as the ring, so one frame takes all it holds
};

}  // namespace apehost
