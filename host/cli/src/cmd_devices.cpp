// apehost devices: the audio devices SDL sees, for play --capture.

#include <iostream>

#include "cli/commands.hpp"
#include "cli/option_errors.hpp"
#include "live/audio_devices.hpp"

namespace apehost {

Command add_devices_command(CLI::App& parent) {
  CLI::App* app = parent.add_subcommand(
      "devices",
      "List the audio capture devices (monitors of the outputs included) for play --capture, and "
      "the output devices");
  return {app, [] {
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
