#include "live/song_playback.hpp"

#include <SDL.h>

#include <algorithm>

#include "live/sdl_start.hpp"

namespace apehost {
namespace {

// Sample frames per device buffer: about 23 ms at 44.1 kHz, so the clock moves in steps well
// under a frame at 60 frames per second.
constexpr Uint16 kDeviceFrames = 1024;

// Shares sound the caller keeps.
std::shared_ptr<const audio::AudioBuffer> borrowed(const audio::AudioBuffer& song) {
  return std::shared_ptr<const audio::AudioBuffer>(&song, [](const audio::AudioBuffer*) {});
}

}  // namespace

struct SongPlaybackDevice {
  // The device's thread: no lock, no allocation.
  static void SDLCALL fill(void* self, Uint8* stream, int length) {
    auto* playback = static_cast<SongPlayback*>(self);
    const int frames = length / static_cast<int>(sizeof(float)) / playback->stream_->channels();
    const std::int64_t taken = playback->stream_->play(reinterpret_cast<float*>(stream), frames);
    playback->clock_->handed_over(taken, SDL_GetPerformanceCounter());
  }
};

SongPlayback::SongPlayback(const audio::AudioBuffer& song, std::string name, double offset_ms)
    : SongPlayback(song_in_memory(borrowed(song)), std::move(name), offset_ms) {}

SongPlayback::SongPlayback(std::shared_ptr<const audio::AudioBuffer> song, std::string name,
                           double offset_ms)
    : SongPlayback(song_in_memory(std::move(song)), std::move(name), offset_ms) {}

SongPlayback::SongPlayback(std::unique_ptr<SongSource> source, std::string name, double offset_ms)
    : name_(std::move(name)),
      offset_samples_(static_cast<std::int64_t>(offset_ms * source->sample_rate() / 1000.0)),
      sample_rate_(source->sample_rate()) {
  int device_frames = 0;
  if (start_sdl_audio(silent_reason_)) {
    SDL_AudioSpec want{};
    want.freq = sample_rate_;
    want.format = AUDIO_F32SYS;
    // The analysis shows the first two channels; those are played.
    want.channels = static_cast<Uint8>(std::min(source->channels(), 2));
    want.samples = kDeviceFrames;
    want.callback = &SongPlaybackDevice::fill;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to whatever the device takes, and the callback keeps
    // counting in the song's own sample frames. The device starts paused: the callback cannot run
    // before the stream and the clock below exist.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) {
      silent_reason_ = SDL_GetError();
    } else {
      device_frames = have.samples;
    }
  }
  try {
    stream_ = std::make_unique<SongStream>(std::move(source), device_ != 0, offset_samples_);
  } catch (...) {
    if (device_ != 0) SDL_CloseAudioDevice(device_);
    throw;
  }
  clock_.emplace(sample_rate_, device_frames, SDL_GetPerformanceFrequency());
}

SongPlayback::~SongPlayback() {
  // The callback stops before the stream it drains goes.
  if (device_ != 0) SDL_CloseAudioDevice(device_);
}

std::int64_t SongPlayback::heard_position() const {
  return clock_->heard(SDL_GetPerformanceCounter());
}

std::int64_t SongPlayback::shown_position() const {
  // Until the device's thread has taken up a seek, its clock still tells the old place.
  if (stream_->seeking()) return seek_floor_;
  // Just after a seek the device still plays what it took before it: not shown.
  return std::clamp<std::int64_t>(heard_position() - offset_samples_, seek_floor_,
                                  std::max(seek_floor_, stream_->end()));
}

double SongPlayback::shown_seconds() const {
  return static_cast<double>(shown_position()) / sample_rate_;
}

audio::SoundFrame SongPlayback::frame_now() {
  // The first frame is analysed (the first seconds of the song decoded) before the clock starts,
  // and the sound with it.
  const audio::SoundFrame frame = stream_->frame_at(shown_position());
  if (clock_->start(SDL_GetPerformanceCounter()) && device_ != 0) {
    SDL_PauseAudioDevice(device_, 0);
  }
  return frame;
}

bool SongPlayback::finished() const { return shown_position() >= stream_->end(); }

void SongPlayback::seek(double seconds) {
  const std::int64_t end = stream_->end();
  const std::int64_t target = std::clamp<std::int64_t>(
      shown_position() + static_cast<std::int64_t>(seconds * sample_rate_), 0, end);
  seek_floor_ = target;
  // What is heard is offset_samples_ ahead of what is shown.
  const std::int64_t heard = std::clamp<std::int64_t>(target + offset_samples_, 0, end);
  stream_->seek(target, heard);
  if (device_ == 0) clock_->move_to(heard, SDL_GetPerformanceCounter());
}

void SongPlayback::set_paused(bool paused) {
  if (device_ != 0) SDL_PauseAudioDevice(device_, paused ? 1 : 0);
  clock_->set_paused(paused, SDL_GetPerformanceCounter());
}

std::string SongPlayback::describe() const {
  return name_ + (device_ != 0 ? "" : " (silent: no audio output)");
}

}  // namespace apehost
