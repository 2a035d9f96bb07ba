#pragma once
// host/live: uses plugin, audio and base, and SDL (inside its sources only); used by cli.
//
// SDL started for the process once per subsystem, and shut down when the program ends once any part
// of it was started, so the audio server and the display get their connections closed the ordinary
// way.

#include <string>

namespace apehost {

// SDL's audio subsystem, with monitor devices listed. Returns false with SDL's reason when no audio
// driver starts.
bool start_sdl_audio(std::string& reason);

// SDL's video subsystem; false with the reason when it does not start, or when there is no display
// to show a window on (unless a video driver was asked for by name, SDL_VIDEODRIVER).
bool start_sdl_video(std::string& reason);

// Whether a window can be shown here: DISPLAY or WAYLAND_DISPLAY is set and SDL's video starts.
bool display_available(std::string& reason);

}  // namespace apehost
