#include "live/sdl_start.hpp"

#include <SDL.h>

#include <cstdlib>

namespace apehost {
namespace {

void quit_sdl_at_exit() {
  static const bool registered = std::atexit(SDL_Quit) == 0;
  (void)registered;
}

bool set(const char* variable) {
  const char* value = std::getenv(variable);
  return value && *value;
}

}  // namespace

bool start_sdl_audio(std::string& reason) {
  if (SDL_WasInit(SDL_INIT_AUDIO)) return true;
  // The monitors of the outputs are what a visualiser most often wants to capture.
  SDL_SetHint(SDL_HINT_AUDIO_INCLUDE_MONITORS, "1");
  SDL_SetHint(SDL_HINT_APP_NAME, "apehost");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    reason = SDL_GetError();
    return false;
  }
  quit_sdl_at_exit();
  return true;
}

bool start_sdl_video(std::string& reason) {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
  // Without a display SDL would still start, with an invisible off-screen window: say so instead,
  // unless a driver was asked for by name.
  if (!set("DISPLAY") && !set("WAYLAND_DISPLAY") && !set("SDL_VIDEODRIVER")) {
    reason = "no display: DISPLAY and WAYLAND_DISPLAY are not set";
    return false;
  }
  // Ctrl-C in the terminal arrives as a quit event, so the window closes the ordinary way.
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    reason = std::string("SDL: ") + SDL_GetError();
    return false;
  }
  quit_sdl_at_exit();
  return true;
}

bool display_available(std::string& reason) {
  if (!set("DISPLAY") && !set("WAYLAND_DISPLAY")) {
    reason = "no display: DISPLAY and WAYLAND_DISPLAY are not set";
    return false;
  }
  return start_sdl_video(reason);
}

}  // namespace apehost
