#include "live/screens.hpp"

#include <SDL.h>

#include "base/host_error.hpp"
#include "live/sdl_start.hpp"

namespace apehost {

std::vector<ScreenInfo> list_screens() {
  std::string reason;
  if (!start_sdl_video(reason)) throw bad_input("", "cannot list the screens (" + reason + ")");
  std::vector<ScreenInfo> screens;
  const int count = SDL_GetNumVideoDisplays();
  for (int i = 0; i < count; ++i) {
    ScreenInfo screen;
    const char* name = SDL_GetDisplayName(i);
    screen.name = name ? name : "";
    SDL_Rect bounds{};
    if (SDL_GetDisplayBounds(i, &bounds) == 0) {
      screen.x = bounds.x;
      screen.y = bounds.y;
      screen.width = bounds.w;
      screen.height = bounds.h;
    }
    screens.push_back(screen);
  }
  return screens;
}

void check_screen(int index) {
  const std::vector<ScreenInfo> screens = list_screens();
  if (index >= 0 && static_cast<std::size_t>(index) < screens.size()) return;
  std::string known;
  for (std::size_t i = 0; i < screens.size(); ++i) {
    known += (i == 0 ? "" : ", ") + std::to_string(i) + " (" + std::to_string(screens[i].width) +
             "x" + std::to_string(screens[i].height) + ")";
  }
  throw bad_input("", "no screen " + std::to_string(index) + "; this display has " +
                          std::to_string(screens.size()) + " (" +
                          (known.empty() ? std::string("none") : known) + ")");
}

}  // namespace apehost
