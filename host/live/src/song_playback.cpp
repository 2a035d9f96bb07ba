#include "live/song_playback.hpp"

#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "live/sdl_start.hpp"

namespace apehost {
namespace {

// Sample frames per device buffer: about 23 ms at 44.1 kHz, so the clock moves in steps well
// under a frame at 60 frames per second.
constexpr Uint16 kDeviceFrames = 1024;

// The analyser is fed this far ahead of the picture, so that a beat is placed (it takes the tracker
// up to about 0.4 s of what follows) by the time its frame is shown.
constexpr double kLookaheadSeconds = 0.5;

}  // namespace

struct SongPlaybackDevice {
  static void SDLCALL fill(void* self, Uint8* stream, int length) {
    auto* playback = static_cast<SongPlayback*>(self);
    playback->fill(reinterpret_cast<float*>(stream),
                   length / static_cast<int>(sizeof(float)) / playback->channels_);
  }
};

SongPlayback::SongPlayback(const audio::AudioBuffer& song, std::string name, double offset_ms)
    : SongPlayback(nullptr, song, std::move(name), offset_ms) {}

SongPlayback::SongPlayback(std::shared_ptr<const audio::AudioBuffer> song, std::string name,
                           double offset_ms)
    : SongPlayback(song, *song, std::move(name), offset_ms) {}

SongPlayback::SongPlayback(std::shared_ptr<const audio::AudioBuffer> owned,
                           const audio::AudioBuffer& song, std::string name, double offset_ms)
    : owned_(std::move(owned)),
      song_(song),
      name_(std::move(name)),
      offset_samples_(static_cast<std::int64_t>(offset_ms * song.sample_rate / 1000.0)),
      samples_(song.samples.data()),
      channels_(song.channels),
      total_(static_cast<std::int64_t>(song.frame_count())) {
  analyser_.emplace(song.sample_rate, std::min(song.channels, 2));
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
  int device_frames = 0;
  if (start_sdl_audio(silent_reason_)) {
    SDL_AudioSpec want{};
    want.freq = song.sample_rate;
    want.format = AUDIO_F32SYS;
    want.channels = static_cast<Uint8>(channels_);
    want.samples = kDeviceFrames;
    want.callback = &SongPlaybackDevice::fill;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to whatever the device takes, and the callback keeps
    // counting in the song's own sample frames. The device starts paused: the callback cannot run
    // before the clock below exists.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) {
      silent_reason_ = SDL_GetError();
    } else {
      device_frames = have.samples;
    }
  }
  clock_.emplace(song.sample_rate, device_frames, SDL_GetPerformanceFrequency());
}

SongPlayback::~SongPlayback() {
  if (device_ != 0) SDL_CloseAudioDevice(device_);
}

void SongPlayback::fill(float* out, int frames) noexcept {
  // A seek asked for: the target was stored before the count, so it is the newest one's (or newer).
  const std::uint32_t asked = seeks_asked_.load(std::memory_order_acquire);
  if (asked != seeks_done_.load(std::memory_order_relaxed)) {
    taken_ = seek_target_.load(std::memory_order_relaxed);
    seeks_done_.store(asked, std::memory_order_release);
  }
  const std::int64_t start = taken_;
  const std::int64_t available = std::clamp<std::int64_t>(total_ - start, 0, frames);
  const std::size_t values = static_cast<std::size_t>(available) * channels_;
  std::memcpy(out, samples_ + static_cast<std::size_t>(start) * channels_, values * sizeof(float));
  std::fill(out + values, out + static_cast<std::size_t>(frames) * channels_, 0.0f);
  taken_ = start + frames;
  clock_->handed_over(taken_, SDL_GetPerformanceCounter());
}

std::int64_t SongPlayback::heard_position() const {
  return clock_->heard(SDL_GetPerformanceCounter());
}

std::int64_t SongPlayback::shown_position() const {
  // Until the device's thread has taken up a seek, its clock still tells the old place.
  if (seeks_asked_.load(std::memory_order_relaxed) != seeks_done_.load(std::memory_order_acquire)) {
    return seek_floor_;
  }
  // Just after a seek the device still plays what it took before it: not shown.
  return std::clamp<std::int64_t>(heard_position() - offset_samples_, seek_floor_, total_);
}

double SongPlayback::shown_seconds() const {
  return static_cast<double>(shown_position()) / song_.sample_rate;
}

audio::SoundFrame SongPlayback::frame_now() {
  // The clock starts with the first frame shown, and so does the sound.
  if (clock_->start(SDL_GetPerformanceCounter()) && device_ != 0) {
    SDL_PauseAudioDevice(device_, 0);
  }
  const std::int64_t shown = shown_position();
  const std::int64_t wanted = std::min<std::int64_t>(
      total_, shown + static_cast<std::int64_t>(kLookaheadSeconds * song_.sample_rate));
  const std::int64_t fed = analysed_from_ + analyser_->samples_fed();
  if (wanted > fed) {
    analyser_->feed(samples_ + static_cast<std::size_t>(fed) * channels_,
                    static_cast<std::size_t>(wanted - fed));
  }
  return analyser_->frame_at(shown - analysed_from_);
}

bool SongPlayback::finished() const { return shown_position() >= total_; }

void SongPlayback::seek(double seconds) {
  const std::int64_t target = std::clamp<std::int64_t>(
      shown_position() + static_cast<std::int64_t>(seconds * song_.sample_rate), 0, total_);
  // The analysis starts one spectrum window before the target, so the first frame there is whole.
  analysed_from_ = std::max<std::int64_t>(0, target - audio::kFftSize);
  seek_floor_ = target;
  analyser_.emplace(song_.sample_rate, std::min(song_.channels, 2));
  // What is heard is offset_samples_ ahead of what is shown.
  const std::int64_t heard = std::clamp<std::int64_t>(target + offset_samples_, 0, total_);
  if (device_ != 0) {
    seek_target_.store(heard, std::memory_order_relaxed);
    seeks_asked_.fetch_add(1, std::memory_order_release);
  } else {
    clock_->move_to(heard, SDL_GetPerformanceCounter());
  }
}

void SongPlayback::set_paused(bool paused) {
  if (device_ != 0) SDL_PauseAudioDevice(device_, paused ? 1 : 0);
  clock_->set_paused(paused, SDL_GetPerformanceCounter());
}

std::string SongPlayback::describe() const {
  return name_ + (device_ != 0 ? "" : " (silent: no audio output)");
}

}  // namespace apehost
