#include "live/audio_devices.hpp"

#include <SDL.h>

#include "base/host_error.hpp"
#include "live/sdl_start.hpp"

namespace apehost {
namespace {

std::vector<std::string> device_names(int is_capture) {
  std::vector<std::string> names;
  const int count = SDL_GetNumAudioDevices(is_capture);
  for (int i = 0; i < count; ++i) {
    const char* name = SDL_GetAudioDeviceName(i, is_capture);
    names.push_back(name ? name : "");
  }
  return names;
}

}  // namespace

AudioDeviceList list_audio_devices() {
  std::string reason;
  if (!start_sdl_audio(reason)) throw bad_input("", "no audio driver starts (" + reason + ")");
  AudioDeviceList list;
  const char* driver = SDL_GetCurrentAudioDriver();
  list.driver = driver ? driver : "";
  list.capture = device_names(1);
  list.playback = device_names(0);
  return list;
}

std::vector<std::string> capture_device_names() { return device_names(1); }

}  // namespace apehost
