#include "apehost_audio/sound_analysis.hpp"

#include <algorithm>
#include <cmath>
#include <deque>
#include <stdexcept>

#include "beat_tracker.hpp"
#include "spectrum.hpp"

namespace apehost::audio {

namespace {

using detail::BeatTracker;
using detail::SpectrumAnalyser;

using Window = std::array<float, kFftSize>;

// The kFftSize samples of one channel that end at end_position; samples outside the buffer are
// silence. A mono buffer gives its one channel for both.
void gather_window(const AudioBuffer& buffer, std::int64_t end_position, int channel,
                   Window& window) {
  const auto frames = static_cast<std::int64_t>(buffer.frame_count());
  const int source = std::min(channel, buffer.channels - 1);
  const std::int64_t first = end_position - kFftSize;
  for (int i = 0; i < kFftSize; ++i) {
    const std::int64_t f = first + i;
    window[static_cast<std::size_t>(i)] =
        (f >= 0 && f < frames)
            ? buffer.samples[static_cast<std::size_t>(f * buffer.channels + source)]
            : 0.0f;
  }
}

}  // namespace

std::int64_t frame_start_sample(std::int64_t frame, int sample_rate,
                                int frames_per_second) noexcept {
  return frame * sample_rate / frames_per_second;
}

std::int64_t frames_covering(std::int64_t sample_frames, int sample_rate,
                             int frames_per_second) noexcept {
  return (sample_frames * frames_per_second + sample_rate - 1) / sample_rate;
}

std::vector<SoundFrame> analyse(const AudioBuffer& buffer, int frames_per_second) {
  std::vector<SoundFrame> frames;
  if (frames_per_second <= 0 || buffer.sample_rate <= 0 || buffer.channels <= 0) return frames;
  const auto sample_frames = static_cast<std::int64_t>(buffer.frame_count());
  if (sample_frames == 0) return frames;
  const int rate = buffer.sample_rate;

  const std::int64_t count = frames_covering(sample_frames, rate, frames_per_second);
  frames.resize(static_cast<std::size_t>(count));

  SpectrumAnalyser spectrum;
  Window window0;
  Window window1;
  for (std::int64_t k = 0; k < count; ++k) {
    const std::int64_t end = frame_start_sample(k + 1, rate, frames_per_second);
    gather_window(buffer, end, 0, window0);
    gather_window(buffer, end, 1, window1);
    detail::fill_sound_frame(spectrum, window0.data(), window1.data(),
                             frames[static_cast<std::size_t>(k)]);
  }

  // The whole file is known, so each beat goes to the frame its position falls in, however late the
  // tracker noticed it.
  BeatTracker tracker(rate);
  std::vector<std::int64_t> beats;
  tracker.feed(buffer.samples.data(), buffer.frame_count(), buffer.channels, beats);
  tracker.finish(beats);
  for (const std::int64_t position : beats) {
    std::int64_t k = position * frames_per_second / rate;
    while (frame_start_sample(k + 1, rate, frames_per_second) <= position) ++k;
    if (k < count) frames[static_cast<std::size_t>(k)].beat = true;
  }
  return frames;
}

struct SoundAnalyser::State {
  State(int rate, int channel_count, std::int64_t capacity)
      : channels(channel_count), history(capacity), tracker(rate) {
    for (auto& ring : rings) ring.assign(static_cast<std::size_t>(history), 0.0f);
  }

  int channels;
  std::int64_t history;                     // sample frames kept per channel
  std::array<std::vector<float>, 2> rings;  // channel 0 and 1; sample position p at p mod history
  std::int64_t fed = 0;
  BeatTracker tracker;
  std::vector<std::int64_t> new_beats;
  std::deque<std::int64_t> pending_beats;  // detected, not yet reported by frame_at
  SpectrumAnalyser spectrum;
  Window window0{};
  Window window1{};
};

SoundAnalyser::SoundAnalyser(int sample_rate, int channels, double history_seconds) {
  if (sample_rate <= 0 || channels <= 0) {
    throw std::invalid_argument(
        "SoundAnalyser: the sample rate and channel count must be positive");
  }
  std::int64_t history = kFftSize;
  const double wanted = history_seconds * sample_rate;
  // Compared as doubles first so a huge or NaN request cannot overflow the conversion.
  if (wanted > static_cast<double>(kFftSize)) {
    history =
        wanted < 1e9 ? static_cast<std::int64_t>(std::ceil(wanted)) : std::int64_t{1000000000};
  }
  state_ = std::make_unique<State>(sample_rate, channels, history);
}

SoundAnalyser::~SoundAnalyser() = default;
SoundAnalyser::SoundAnalyser(SoundAnalyser&&) noexcept = default;
SoundAnalyser& SoundAnalyser::operator=(SoundAnalyser&&) noexcept = default;

void SoundAnalyser::feed(const float* interleaved, std::size_t frame_count) {
  State& s = *state_;
  for (std::size_t f = 0; f < frame_count; ++f) {
    const float* frame = interleaved + f * static_cast<std::size_t>(s.channels);
    const auto slot = static_cast<std::size_t>(s.fed % s.history);
    s.rings[0][slot] = frame[0];
    s.rings[1][slot] = frame[std::min(1, s.channels - 1)];
    ++s.fed;
  }
  s.new_beats.clear();
  s.tracker.feed(interleaved, frame_count, s.channels, s.new_beats);
  s.pending_beats.insert(s.pending_beats.end(), s.new_beats.begin(), s.new_beats.end());
}

std::int64_t SoundAnalyser::samples_fed() const noexcept { return state_->fed; }

SoundFrame SoundAnalyser::frame_at(std::int64_t end_position) {
  State& s = *state_;
  const std::int64_t oldest_end = std::max<std::int64_t>(0, s.fed - s.history + kFftSize);
  const std::int64_t end = std::clamp(end_position, oldest_end, s.fed);

  const std::int64_t first = end - kFftSize;
  for (int i = 0; i < kFftSize; ++i) {
    const std::int64_t p = first + i;
    const auto slot = static_cast<std::size_t>(p >= 0 ? p % s.history : 0);
    s.window0[static_cast<std::size_t>(i)] = p >= 0 ? s.rings[0][slot] : 0.0f;
    s.window1[static_cast<std::size_t>(i)] = p >= 0 ? s.rings[1][slot] : 0.0f;
  }
  SoundFrame frame;
  detail::fill_sound_frame(s.spectrum, s.window0.data(), s.window1.data(), frame);
  while (!s.pending_beats.empty() && s.pending_beats.front() < end_position) {
    s.pending_beats.pop_front();
    frame.beat = true;
  }
  return frame;
}

}  // namespace apehost::audio
