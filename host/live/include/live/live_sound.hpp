#pragma once
// host/live: uses plugin, audio and base, and SDL (inside its sources only); used by cli.
//
// Sound for the live window: a song played as it is shown (SongPlayback) or sound captured from an
// input device (CaptureSound). Either hands the window the sound data of the frame to show now.

#include <string>

#include "apehost_audio/sound_analysis.hpp"

namespace apehost {

// What the window shows: the sound of the frame due now. Called from the window's thread only.
class LiveSound {
 public:
  virtual ~LiveSound() = default;
  virtual audio::SoundFrame frame_now() = 0;
  virtual bool finished() const = 0;
  virtual void set_paused(bool paused) = 0;
  virtual std::string describe() const = 0;  // for the status lines
};

}  // namespace apehost
