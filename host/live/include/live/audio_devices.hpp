#pragma once
// host/live: uses plugin, audio and base, and SDL (inside its sources only); used by cli.
//
// The audio devices SDL sees, by name, in SDL's order (a device's number is its place here).

#include <string>
#include <vector>

namespace apehost {

struct AudioDeviceList {
  std::string driver;
  std::vector<std::string> capture;  // monitors of the outputs included
  std::vector<std::string> playback;
};

// Starts SDL's audio. Throws a bad-input error when no audio driver starts (the reason alone: the
// caller says what wanted the devices).
AudioDeviceList list_audio_devices();

// The capture devices alone; SDL's audio must have started.
std::vector<std::string> capture_device_names();

}  // namespace apehost
