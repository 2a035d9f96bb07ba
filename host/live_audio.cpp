#include "live_audio.hpp"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "host_error.hpp"

namespace apehost {
namespace {

// Sample frames per device buffer: about 23 ms at 44.1 kHz, so the clock moves in steps well
// under a frame at 60 frames per second.
constexpr Uint16 kDeviceFrames = 1024;

// The analyser is fed this far ahead of the picture, so that a beat is placed (it takes the tracker
// up to about 0.4 s of what follows) by the time its frame is shown.
constexpr double kLookaheadSeconds = 0.5;

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string quoted_list(const std::vector<std::string>& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    text += (i ? ", " : "") + std::to_string(i) + " '" + names[i] + "'";
  }
  return text.empty() ? "none" : text;
}

std::vector<std::string> device_names(int is_capture) {
  std::vector<std::string> names;
  const int count = SDL_GetNumAudioDevices(is_capture);
  for (int i = 0; i < count; ++i) {
    const char* name = SDL_GetAudioDeviceName(i, is_capture);
    names.push_back(name ? name : "");
  }
  return names;
}

double seconds_between(Uint64 from, Uint64 to) {
  return static_cast<double>(to - from) / static_cast<double>(SDL_GetPerformanceFrequency());
}

}  // namespace

void quit_sdl_at_exit() {
  static const bool registered = std::atexit(SDL_Quit) == 0;
  (void)registered;
}

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

AudioDeviceList list_audio_devices() {
  std::string reason;
  if (!start_sdl_audio(reason))
    throw bad_input("devices", "no audio driver starts (" + reason + ")");
  AudioDeviceList list;
  const char* driver = SDL_GetCurrentAudioDriver();
  list.driver = driver ? driver : "";
  list.capture = device_names(1);
  list.playback = device_names(0);
  return list;
}

std::string choose_capture_device(const std::string& wanted,
                                  const std::vector<std::string>& names) {
  if (wanted.empty()) return "";
  for (const std::string& name : names) {
    if (name == wanted) return name;
  }
  if (wanted.size() <= 4 &&
      std::all_of(wanted.begin(), wanted.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    const std::size_t index = std::stoul(wanted);
    if (index < names.size()) return names[index];
    throw bad_input("--capture", "no capture device number " + wanted +
                                     " (devices: " + quoted_list(names) + ")");
  }
  std::vector<std::string> matches;
  for (const std::string& name : names) {
    if (lower(name).find(lower(wanted)) != std::string::npos) matches.push_back(name);
  }
  if (matches.size() == 1) return matches.front();
  throw bad_input(
      "--capture",
      "'" + wanted + "' " +
          (matches.empty() ? "names no capture device (devices: " + quoted_list(names) + ")"
                           : "names several capture devices (" + quoted_list(matches) + ")"));
}

SongPlayback::SongPlayback(const audio::AudioBuffer& song, std::string name, double offset_ms)
    : song_(song),
      name_(std::move(name)),
      offset_samples_(static_cast<std::int64_t>(offset_ms * song.sample_rate / 1000.0)),
      samples_(song.samples.data()),
      channels_(song.channels),
      total_(static_cast<std::int64_t>(song.frame_count())),
      analyser_(song.sample_rate, std::min(song.channels, 2)) {
  if (song.channels > 2) {
    // The analysis shows the first two channels; play those.
    stereo_.resize(song.frame_count() * 2);
    for (std::size_t f = 0; f < song.frame_count(); ++f) {
      stereo_[2 * f] = song.samples[f * static_cast<std::size_t>(song.channels)];
      stereo_[2 * f + 1] = song.samples[f * static_cast<std::size_t>(song.channels) + 1];
    }
    samples_ = stereo_.data();
    channels_ = 2;
  }
  if (!start_sdl_audio(silent_reason_)) return;
  SDL_AudioSpec want{};
  want.freq = song.sample_rate;
  want.format = AUDIO_F32SYS;
  want.channels = static_cast<Uint8>(channels_);
  want.samples = kDeviceFrames;
  want.callback = &SongPlayback::fill;
  want.userdata = this;
  SDL_AudioSpec have{};
  // No changes allowed: SDL converts to whatever the device takes, and the callback keeps counting
  // in the song's own sample frames.
  device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device_ == 0) {
    silent_reason_ = SDL_GetError();
    return;
  }
  device_frames_ = have.samples;
}

SongPlayback::~SongPlayback() {
  if (device_ != 0) SDL_CloseAudioDevice(device_);
}

void SDLCALL SongPlayback::fill(void* self, Uint8* stream, int length) {
  auto* playback = static_cast<SongPlayback*>(self);
  playback->fill(reinterpret_cast<float*>(stream),
                 length / static_cast<int>(sizeof(float)) / playback->channels_);
}

void SongPlayback::fill(float* out, int frames) {
  // Only this thread changes taken_, so it reads it without the lock.
  const std::int64_t start = taken_;
  const std::int64_t available = std::clamp<std::int64_t>(total_ - start, 0, frames);
  const std::size_t values = static_cast<std::size_t>(available) * channels_;
  std::memcpy(out, samples_ + static_cast<std::size_t>(start) * channels_, values * sizeof(float));
  std::fill(out + values, out + static_cast<std::size_t>(frames) * channels_, 0.0f);
  const Uint64 now = SDL_GetPerformanceCounter();
  std::lock_guard<std::mutex> lock(clock_mutex_);
  taken_ = start + frames;
  taken_at_ = now;
}

std::int64_t SongPlayback::heard_position() const {
  const Uint64 now = SDL_GetPerformanceCounter();
  std::lock_guard<std::mutex> lock(clock_mutex_);
  const double rate = song_.sample_rate;
  if (device_ == 0) {
    if (wall_start_ == 0) return 0;
    return static_cast<std::int64_t>(seconds_between(wall_start_, paused_ ? paused_at_ : now) *
                                     rate);
  }
  if (taken_ == 0) return 0;
  // The buffer just taken plays once the one before it is done: the device is playing the samples
  // one buffer before the last it took, and moves through a buffer in a buffer's time.
  const double since = seconds_between(taken_at_, paused_ ? std::max(paused_at_, taken_at_) : now);
  const auto moved =
      std::min<std::int64_t>(static_cast<std::int64_t>(since * rate), device_frames_);
  return std::max<std::int64_t>(0, taken_ - 2 * static_cast<std::int64_t>(device_frames_) + moved);
}

audio::SoundFrame SongPlayback::frame_now() {
  bool starting = false;
  {
    std::lock_guard<std::mutex> lock(clock_mutex_);
    if (wall_start_ == 0) {
      // The clock starts with the first frame shown.
      wall_start_ = SDL_GetPerformanceCounter();
      starting = true;
    }
  }
  // Not under our lock: SDL takes the device's lock, which it holds while it calls fill().
  if (starting && device_ != 0) SDL_PauseAudioDevice(device_, 0);
  const std::int64_t shown =
      std::clamp<std::int64_t>(heard_position() - offset_samples_, 0, total_);
  const std::int64_t wanted = std::min<std::int64_t>(
      total_, shown + static_cast<std::int64_t>(kLookaheadSeconds * song_.sample_rate));
  const std::int64_t fed = analyser_.samples_fed();
  if (wanted > fed) {
    analyser_.feed(samples_ + static_cast<std::size_t>(fed) * channels_,
                   static_cast<std::size_t>(wanted - fed));
  }
  return analyser_.frame_at(shown);
}

bool SongPlayback::finished() const { return heard_position() - offset_samples_ >= total_; }

void SongPlayback::set_paused(bool paused) {
  if (device_ != 0) SDL_PauseAudioDevice(device_, paused ? 1 : 0);
  std::lock_guard<std::mutex> lock(clock_mutex_);
  if (paused == paused_) return;
  const Uint64 now = SDL_GetPerformanceCounter();
  if (paused) {
    paused_at_ = now;
  } else if (wall_start_ != 0) {
    wall_start_ += now - paused_at_;  // the silent clock skips the pause
  }
  paused_ = paused;
}

std::string SongPlayback::describe() const {
  return name_ + (device_ != 0 ? "" : " (silent: no audio output)");
}

CaptureSound::CaptureSound(const std::string& device, double offset_ms) : offset_ms_(offset_ms) {
  std::string reason;
  if (!start_sdl_audio(reason)) {
    throw bad_input("--capture", "no audio driver starts (" + reason + ")");
  }
  name_ = choose_capture_device(device, device_names(1));
  SDL_AudioSpec want{};
  want.freq = 44100;
  want.format = AUDIO_F32SYS;
  want.channels = 2;
  want.samples = kDeviceFrames;
  want.callback = &CaptureSound::take;
  want.userdata = this;
  SDL_AudioSpec have{};
  device_ = SDL_OpenAudioDevice(name_.empty() ? nullptr : name_.c_str(), 1, &want, &have,
                                SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
  if (device_ == 0) {
    throw bad_input("--capture", (name_.empty() ? std::string("the default input") : name_) +
                                     ": cannot open (" + SDL_GetError() + ")");
  }
  rate_ = have.freq;
  channels_ = have.channels;
  analyser_ = std::make_unique<audio::SoundAnalyser>(rate_, channels_);
  SDL_PauseAudioDevice(device_, 0);
}

CaptureSound::~CaptureSound() {
  if (device_ != 0) SDL_CloseAudioDevice(device_);
}

void SDLCALL CaptureSound::take(void* self, Uint8* stream, int length) {
  auto* capture = static_cast<CaptureSound*>(self);
  const auto* values = reinterpret_cast<const float*>(stream);
  const std::size_t count = static_cast<std::size_t>(length) / sizeof(float);
  std::lock_guard<std::mutex> lock(capture->incoming_mutex_);
  capture->incoming_.insert(capture->incoming_.end(), values, values + count);
}

audio::SoundFrame CaptureSound::frame_now() {
  {
    std::lock_guard<std::mutex> lock(incoming_mutex_);
    draining_.swap(incoming_);
  }
  if (!draining_.empty()) {
    analyser_->feed(draining_.data(), draining_.size() / static_cast<std::size_t>(channels_));
    draining_.clear();
  }
  const std::int64_t newest = analyser_->samples_fed();
  return analyser_->frame_at(
      std::max<std::int64_t>(0, newest - static_cast<std::int64_t>(offset_ms_ * rate_ / 1000.0)));
}

std::string CaptureSound::describe() const {
  return "capture from " + (name_.empty() ? std::string("the default input") : "'" + name_ + "'");
}

}  // namespace apehost
