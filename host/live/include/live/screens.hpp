#pragma once
// host/live: uses plugin, audio and base, and SDL (inside its sources only); used by cli.
//
// The screens (monitors) of the display the window opens on, numbered from 0 in the order SDL
// gives them, each with its place on the desktop and its size.

#include <string>
#include <vector>

namespace apehost {

struct ScreenInfo {
  std::string name;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// Starts SDL's video. Throws a bad-input error with the reason when there is no display (the
// caller says what wanted the screens).
std::vector<ScreenInfo> list_screens();

// Throws a bad-input error saying which screens there are when index is not one of them; where the
// number came from is for the caller to add.
void check_screen(int index);

}  // namespace apehost
