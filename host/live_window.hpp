#pragma once
// The live window: the effect chain drawn at the frame rate asked for, on the sound due at each
// moment, shown through SDL. The window's size is the frame size, so resizing it or going full
// screen changes the frames the effects get.
//
// Keys: F full screen, Space pause, C a new random colour list for every effect, B on-beat colour
// change on or off, Esc or Q quit.

#include <cstdint>
#include <string>

#include "background.hpp"
#include "effect_chain.hpp"
#include "live_audio.hpp"

namespace apehost {

// SDL's video subsystem for the process; false with SDL's reason when it does not start.
bool start_sdl_video(std::string& reason);

// Whether a window can be shown here: DISPLAY or WAYLAND_DISPLAY is set and SDL's video starts.
bool display_available(std::string& reason);

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
