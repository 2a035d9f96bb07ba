// apehost devices: the screens the window can open on (play --display) and the audio devices SDL
// sees (play --capture).

#include <iostream>

#include "base/host_error.hpp"
#include "cli/commands.hpp"
#include "cli/option_errors.hpp"
#include "live/audio_devices.hpp"
#include "live/screens.hpp"

namespace apehost {
namespace {

void show_screens() {
  std::vector<ScreenInfo> screens;
  try {
    screens = list_screens();
  } catch (const HostError& e) {
    std::cout << "screens: none (" << e.what() << ")\n";
    return;
  }
  std::cout << "screens (play --display NUMBER):" << (screens.empty() ? " none\n" : "\n");
  for (std::size_t i = 0; i < screens.size(); ++i) {
    const ScreenInfo& s = screens[i];
    std::cout << "  " << i << ": " << s.name << " " << s.width << "x" << s.height << " at " << s.x
              << "," << s.y << "\n";
  }
}

}  // namespace

Command add_devices_command(CLI::App& parent) {
  CLI::App* app = parent.add_subcommand(
      "devices",
      "List the screens for play --display, the audio capture devices (monitors of the outputs "
      "included) for play --capture, and the output devices");
  return {app, [] {
            show_screens();
            const AudioDeviceList list = about_option("devices", list_audio_devices);
            std::cout << "audio driver: " << list.driver << "\n";
            const auto show = [](const char* heading, const std::vector<std::string>& names) {
              std::cout << heading << (names.empty() ? " none\n" : "\n");
              for (std::size_t i = 0; i < names.size(); ++i) {
                std::cout << "  " << i << ": " << names[i] << "\n";
              }
            };
            show("capture devices (play --capture NUMBER or NAME):", list.capture);
            show("output devices:", list.playback);
            return 0;
          }};
}

}  // namespace apehost
