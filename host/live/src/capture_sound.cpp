#include "live/capture_sound.hpp"

#include <SDL.h>

#include <algorithm>

#include "base/host_error.hpp"
#include "live/audio_devices.hpp"
#include "live/device_choice.hpp"
#include "live/sdl_start.hpp"

namespace apehost {
namespace {

// Sample frames per device buffer: about 23 ms at 44.1 kHz.
constexpr Uint16 kDeviceFrames = 1024;
constexpr int kWantedRate = 44100;
constexpr int kWantedChannels = 2;

// The ring holds this much sound, far more than arrives between two frames: only a window that
// stops drawing for longer loses sound (whole device buffers, dropped as they arrive).
constexpr int kRingSeconds = 2;

std::string device_text(const std::string& name) {
  return name.empty() ? std::string("the default input") : name;
}

}  // namespace

struct CaptureSoundDevice {
  // The device's thread: no lock, no allocation; a buffer that does not fit is dropped whole.
  static void SDLCALL take(void* self, Uint8* stream, int length) {
    auto* capture = static_cast<CaptureSound*>(self);
    capture->incoming_->push(reinterpret_cast<const float*>(stream),
                             static_cast<std::size_t>(length) / sizeof(float));
  }
};

CaptureSound::CaptureSound(const std::string& device, double offset_ms) : offset_ms_(offset_ms) {
  std::string reason;
  if (!start_sdl_audio(reason)) throw bad_input("", "no audio driver starts (" + reason + ")");
  name_ = choose_capture_device(device, capture_device_names());
  SDL_AudioSpec want{};
  want.freq = kWantedRate;
  want.format = AUDIO_F32SYS;
  want.channels = kWantedChannels;
  want.samples = kDeviceFrames;
  want.callback = &CaptureSoundDevice::take;
  want.userdata = this;
  SDL_AudioSpec have{};
  // The device starts paused: the callback cannot run before the ring below exists.
  device_ = SDL_OpenAudioDevice(name_.empty() ? nullptr : name_.c_str(), 1, &want, &have,
                                SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
  if (device_ == 0) {
    throw bad_input(device_text(name_), std::string("cannot open (") + SDL_GetError() + ")");
  }
  rate_ = have.freq;
  channels_ = have.channels;
  analyser_ = std::make_unique<audio::SoundAnalyser>(rate_, channels_);
  incoming_ = std::make_unique<SampleRing>(static_cast<std::size_t>(rate_) *
                                           static_cast<std::size_t>(channels_) * kRingSeconds);
  draining_.resize(incoming_->capacity());
  SDL_PauseAudioDevice(device_, 0);
}

CaptureSound::~CaptureSound() {
  if (device_ != 0) SDL_CloseAudioDevice(device_);
}

audio::SoundFrame CaptureSound::frame_now() {
  // A device that went away (unplugged, its sound server's source removed, the server gone) is
  // stopped by SDL and calls back no more: say so rather than show silence for ever.
  if (!paused_ && SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED) {
    throw failure(device_text(name_), "the capture device went away");
  }
  // Whole device buffers go in, so whatever is taken out is whole sample frames.
  const std::size_t values = incoming_->pop(draining_.data(), draining_.size());
  if (values != 0) {
    analyser_->feed(draining_.data(), values / static_cast<std::size_t>(channels_));
  }
  const std::int64_t newest = analyser_->samples_fed();
  return analyser_->frame_at(
      std::max<std::int64_t>(0, newest - static_cast<std::int64_t>(offset_ms_ * rate_ / 1000.0)));
}

void CaptureSound::set_paused(bool paused) {
  paused_ = paused;
  SDL_PauseAudioDevice(device_, paused ? 1 : 0);
}

std::string CaptureSound::describe() const {
  return "capture from " + (name_.empty() ? std::string("the default input") : "'" + name_ + "'");
}

}  // namespace apehost
