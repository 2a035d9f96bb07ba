#pragma once
// host/live: uses plugin, audio and base, and SDL (inside its sources only); used by cli.
//
// Sound for the live window: a song played as it is shown (SongPlayback), a list of songs
// (PlaylistSound) or sound captured from an input device (CaptureSound). Each hands the window the
// sound data of the frame to show now.

#include <string>

#include "apehost_audio/sound_analysis.hpp"

namespace apehost {

// What the window shows: the sound of the frame due now. Called from the window's thread only.
class LiveSound {
 public:
  virtual ~LiveSound() = default;
  // May throw a HostError when the sound cannot go on (a capture device gone).
  virtual audio::SoundFrame frame_now() = 0;
  virtual bool finished() const = 0;
  virtual void set_paused(bool paused) = 0;
  virtual std::string describe() const = 0;  // for the status lines

  // The keys of a list and of a song; sound that has neither ignores them.
  // N (+1) and P (-1): the next or the previous song.
  virtual void skip(int direction) { (void)direction; }
  // Left and Right: back or on by seconds.
  virtual void seek(double seconds) { (void)seconds; }
  // What the window's title shows first ("2/3 song.flac"); empty for nothing.
  virtual std::string title() const { return {}; }
};

}  // namespace apehost
