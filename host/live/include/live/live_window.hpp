#pragma once
// host/live: uses plugin, audio and base, and SDL (inside its sources only); used by cli.
//
// The live window: the effect chain drawn at the frame rate asked for, on the sound due at each
// moment, shown through SDL. The window's size is the frame size, so resizing it or going full
// screen changes the frames the effects get.
//
// Keys: F full screen, Space pause, C a new random colour list for every effect, B on-beat colour
// change on or off, Esc or Q quit.

#include <cstdint>
#include <string>

#include "live/live_sound.hpp"
#include "plugin/background.hpp"
#include "plugin/effect_chain.hpp"

namespace apehost {

struct LiveOptions {
  int width = 0;
  int height = 0;
  int frames_per_second = 60;
  bool fullscreen = false;
  std::uint64_t frame_limit = 0;  // quit after this many frames; 0: when the sound ends
  std::string title;
};

struct LiveResult {
  std::uint64_t frames = 0;
  int width = 0;  // the frame size last drawn
  int height = 0;
  bool sound_ended = false;
};

// The one line the keys are explained in.
inline constexpr const char* kLiveKeys =
    "keys: F full screen, Space pause, C new colours, B on-beat colour change, Esc/Q quit";

// Shows the window until the sound ends, the frame limit is reached or the user quits. Throws a
// bad-input error when no window can be made.
LiveResult run_live_window(EffectChain& chain, const Background& background, LiveSound& sound,
                           const LiveOptions& options);

}  // namespace apehost
