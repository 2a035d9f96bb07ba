#include "apehost_audio/sound_analysis.hpp"

#include <algorithm>
#include <cmath>
#include <deque>
#include <stdexcept>

#include "apehost_audio/audio_reader.hpp"
#include "beat_tracker.hpp"
#include "channel_history.hpp"
#include "spectrum.hpp"

namespace apehost::audio {

namespace {

using detail::BeatTracker;
using detail::SpectrumAnalyser;

using detail::Window;

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

std::int64_t frame_of_sample(std::int64_t position, int sample_rate,
                             int frames_per_second) noexcept {
  std::int64_t k = position * frames_per_second / sample_rate;
  while (frame_start_sample(k + 1, sample_rate, frames_per_second) <= position) ++k;
  while (k > 0 && frame_start_sample(k, sample_rate, frames_per_second) > position) --k;
  return k;
}

std::int64_t beat_lookahead(int sample_rate) {
  if (!usable_sound_format(sample_rate, 1)) return 0;
  return BeatTracker(sample_rate, detail::kExactTiming).lookahead();
}

std::vector<SoundFrame> analyse(const AudioBuffer& buffer, int frames_per_second) {
  std::vector<SoundFrame> frames;
  if (frames_per_second <= 0 || !usable_sound_format(buffer.sample_rate, buffer.channels))
    return frames;
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
  BeatTracker tracker(rate, detail::kExactTiming);
  std::vector<std::int64_t> beats;
  tracker.feed(buffer.samples.data(), buffer.frame_count(), buffer.channels, beats);
  tracker.finish(beats);
  for (const std::int64_t position : beats) {
    const std::int64_t k = frame_of_sample(position, rate, frames_per_second);
    if (k < count) frames[static_cast<std::size_t>(k)].beat = true;
  }
  return frames;
}

struct SoundAnalyser::State {
  State(int rate, int channel_count, std::int64_t capacity)
      : channels(channel_count),
        samples(channel_count, capacity),
        exact(rate, detail::kExactTiming),
        quick(rate, detail::kQuickTiming) {}

  int channels;
  detail::ChannelHistory samples;
  BeatTracker exact;
  BeatTracker quick;
  std::vector<std::int64_t> new_beats;
  std::deque<std::int64_t> exact_beats;  // decided, not yet reported by frame_at
  std::deque<std::int64_t> quick_beats;
  std::int64_t quick_until = 0;     // frame_at has taken the quick tracker's word before this
  std::int64_t last_reported = -1;  // the position of the last beat reported
  std::int64_t last_quick = -1;     // ... and of the last one the quick tracker reported
  SpectrumAnalyser spectrum;
  Window window0{};
  Window window1{};
};

SoundAnalyser::SoundAnalyser(int sample_rate, int channels, double history_seconds) {
  if (!usable_sound_format(sample_rate, channels)) {
    throw std::invalid_argument("SoundAnalyser: a sample rate or channel count out of range");
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
  for (std::size_t f = 0; f < frame_count; ++f)
    s.samples.push(interleaved + f * static_cast<std::size_t>(s.channels));
  s.new_beats.clear();
  s.exact.feed(interleaved, frame_count, s.channels, s.new_beats);
  s.exact_beats.insert(s.exact_beats.end(), s.new_beats.begin(), s.new_beats.end());
  s.new_beats.clear();
  s.quick.feed(interleaved, frame_count, s.channels, s.new_beats);
  s.quick_beats.insert(s.quick_beats.end(), s.new_beats.begin(), s.new_beats.end());
}

void SoundAnalyser::finish() {
  State& s = *state_;
  s.new_beats.clear();
  s.exact.finish(s.new_beats);
  s.exact_beats.insert(s.exact_beats.end(), s.new_beats.begin(), s.new_beats.end());
}

std::int64_t SoundAnalyser::samples_fed() const noexcept { return state_->samples.fed(); }

std::int64_t SoundAnalyser::beat_lookahead() const noexcept { return state_->exact.lookahead(); }

SoundFrame SoundAnalyser::frame_at(std::int64_t end_position) {
  State& s = *state_;
  const std::int64_t fed = s.samples.fed();
  const std::int64_t oldest_end = std::max<std::int64_t>(0, fed - s.samples.capacity() + kFftSize);
  const std::int64_t end = std::clamp(end_position, oldest_end, fed);

  SoundFrame frame;
  s.samples.window(end, 0, s.window0);
  s.samples.window(end, 1, s.window1);
  detail::fill_sound_frame(s.spectrum, s.window0.data(), s.window1.data(), frame);

  // The decided beats, except where the quick tracker has already spoken for the time, or where
  // the quick tracker reported this beat a little early or late (within half a period).
  auto near = [](std::int64_t a, std::int64_t b, double period) {
    return b >= 0 && static_cast<double>(std::llabs(a - b)) < 0.5 * period;
  };
  while (!s.exact_beats.empty() && s.exact_beats.front() < end_position) {
    const std::int64_t beat = s.exact_beats.front();
    s.exact_beats.pop_front();
    if (beat < s.quick_until || near(beat, s.last_quick, s.exact.period_samples())) continue;
    frame.beat = true;
    s.last_reported = beat;
  }
  // The quick tracker's, where the decided beats have not come yet.
  const std::int64_t decided = s.exact.final_until();
  while (!s.quick_beats.empty() &&
         (s.quick_beats.front() < decided || s.quick_beats.front() < end_position)) {
    const std::int64_t beat = s.quick_beats.front();
    s.quick_beats.pop_front();
    if (beat < decided || near(beat, s.last_reported, s.quick.period_samples())) continue;
    frame.beat = true;
    s.last_reported = beat;
    s.last_quick = beat;
  }
  if (end_position > decided) s.quick_until = std::max(s.quick_until, end_position);
  return frame;
}

}  // namespace apehost::audio
