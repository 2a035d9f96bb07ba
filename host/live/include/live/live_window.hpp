#pragma once
// host/live: uses plugin, audio and base, and SDL (inside its sources only); used by cli.
//
// The live window: the effect chain drawn at the frame rate asked for, on the sound due at each
// moment, shown through SDL. The window's size is the frame size, so resizing it or going full
// screen changes the frames the effects get.
//
// Keys: F full screen, Space pause, N and P the next and the previous song, Left and Right seek
// kSeekSeconds, C a new random colour list for every effect, B on-beat colour change on or off,
// S save the stack as a preset, F2 save the frame as a picture, Esc or Q quit.

#include <cstdint>
#include <functional>
#include <string>

#include "live/live_sound.hpp"
#include "plugin/background.hpp"
#include "plugin/effect_chain.hpp"

namespace apehost {

inline constexpr double kSeekSeconds = 10.0;

struct LiveOptions {
  int width = 0;
  int height = 0;
  int frames_per_second = 60;
  bool fullscreen = false;
  int screen = 0;                 // the screen the window opens on (see screens.hpp)
  std::uint64_t frame_limit = 0;  // quit after this many frames; 0: when the sound ends
  std::string title;              // after the sound's own title (a song's place in its list)

  // S: saves the stack as it is now (colours changed with C and B included); returns where it went.
  std::function<std::string(EffectChain&)> save_preset;
  // F2: saves the frame shown; returns where it went.
  std::function<std::string(const FrameBuffer&)> save_picture;
  // Every frame drawn, with the sound data the effects were given (in the order drawn).
  std::function<void(const audio::SoundFrame&)> on_frame;
};

struct LiveResult {
  std::uint64_t frames = 0;
  int width = 0;  // the frame size last drawn
  int height = 0;
  bool sound_ended = false;
};

// The one line the keys are explained in.
inline constexpr const char* kLiveKeys =
    "keys: F full screen, Space pause, N/P next/previous song, Left/Right seek 10 s, C new "
    "colours, "
    "B on-beat colour change, S save preset, F2 save picture, Esc/Q quit";

// Shows the window until the sound ends, the frame limit is reached or the user quits. Throws a
// bad-input error when no window can be made, and what the sound throws when it cannot go on. A
// save that fails (S, F2) is reported on standard error and the window goes on.
LiveResult run_live_window(EffectChain& chain, const Background& background, LiveSound& sound,
                           const LiveOptions& options);

}  // namespace apehost
