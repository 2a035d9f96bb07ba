#include "apehost_audio/song_analyser.hpp"

#include <algorithm>
#include <deque>
#include <stdexcept>

#include "beat_tracker.hpp"
#include "channel_history.hpp"
#include "spectrum.hpp"

namespace apehost::audio {

namespace {

// Sample frames SongFrameReader decodes at a time: 93 ms at 44.1 kHz, so the frames come out in
// small steps and the staging buffer stays small whatever the channel count.
constexpr std::int64_t kReadFrames = 4096;
constexpr std::int64_t kReadSamplesLimit = 262144;

}  // namespace

struct SongAnalyser::State {
  State(int rate, int channel_count, int fps)
      : sample_rate(rate),
        channels(channel_count),
        frames_per_second(fps),
        samples(channel_count, kFftSize),
        tracker(rate, detail::kExactTiming),
        next_end(frame_start_sample(1, rate, fps)) {}

  // Analyses every frame whose window has arrived (at the end, every frame that covers the
  // sound), and marks the beats that have been placed.
  void analyse_ready_frames() {
    const std::int64_t fed = samples.fed();
    const std::int64_t last = finished ? frames_covering(fed, sample_rate, frames_per_second) : -1;
    for (;;) {
      const std::int64_t k = first_pending + static_cast<std::int64_t>(pending.size());
      if (finished ? k >= last : next_end > fed) break;
      SoundFrame frame;
      samples.window(next_end, 0, window0);
      samples.window(next_end, 1, window1);
      detail::fill_sound_frame(spectrum, window0.data(), window1.data(), frame);
      pending.push_back(frame);
      next_end = frame_start_sample(k + 2, sample_rate, frames_per_second);
    }
    mark_beats();
  }

  void mark_beats() {
    const std::int64_t analysed = first_pending + static_cast<std::int64_t>(pending.size());
    while (!beats.empty()) {
      const std::int64_t k = frame_of_sample(beats.front(), sample_rate, frames_per_second);
      if (k >= analysed && !finished) break;  // its frame is not analysed yet
      if (k >= first_pending && k < analysed)
        pending[static_cast<std::size_t>(k - first_pending)].beat = true;
      beats.pop_front();
    }
  }

  void take_beats() {
    beats.insert(beats.end(), new_beats.begin(), new_beats.end());
    new_beats.clear();
  }

  int sample_rate;
  int channels;
  int frames_per_second;
  detail::ChannelHistory samples;
  detail::BeatTracker tracker;
  std::vector<std::int64_t> new_beats;
  std::deque<std::int64_t> beats;  // placed, their frames not analysed yet
  std::deque<SoundFrame> pending;  // analysed, not yet taken
  std::int64_t first_pending = 0;  // the frame number of pending.front()
  std::int64_t next_end = 0;       // where the next frame to analyse ends
  bool finished = false;
  detail::SpectrumAnalyser spectrum;
  detail::Window window0{};
  detail::Window window1{};
};

SongAnalyser::SongAnalyser(int sample_rate, int channels, int frames_per_second) {
  if (!usable_sound_format(sample_rate, channels) || frames_per_second <= 0) {
    throw std::invalid_argument(
        "SongAnalyser: a sample rate, channel count or frame rate out of range");
  }
  state_ = std::make_unique<State>(sample_rate, channels, frames_per_second);
}

SongAnalyser::~SongAnalyser() = default;
SongAnalyser::SongAnalyser(SongAnalyser&&) noexcept = default;
SongAnalyser& SongAnalyser::operator=(SongAnalyser&&) noexcept = default;

void SongAnalyser::feed(const float* interleaved, std::size_t frame_count) {
  State& s = *state_;
  if (s.finished) return;
  // Frame by frame, so each frame's window is analysed the moment it is whole and the history
  // never needs more than one window.
  for (std::size_t f = 0; f < frame_count; ++f) {
    s.samples.push(interleaved + f * static_cast<std::size_t>(s.channels));
    if (s.samples.fed() == s.next_end) s.analyse_ready_frames();
  }
  s.tracker.feed(interleaved, frame_count, s.channels, s.new_beats);
  s.take_beats();
  s.mark_beats();
}

void SongAnalyser::finish() {
  State& s = *state_;
  if (s.finished) return;
  s.finished = true;
  s.tracker.finish(s.new_beats);
  s.take_beats();
  s.analyse_ready_frames();
}

bool SongAnalyser::next_frame(SoundFrame& frame) {
  State& s = *state_;
  if (s.pending.empty()) return false;
  // A frame is final once every beat before its end has been placed.
  const std::int64_t end =
      frame_start_sample(s.first_pending + 1, s.sample_rate, s.frames_per_second);
  if (!s.finished && s.tracker.final_until() < end) return false;
  frame = s.pending.front();
  s.pending.pop_front();
  ++s.first_pending;
  return true;
}

std::int64_t SongAnalyser::frames_taken() const noexcept { return state_->first_pending; }
std::int64_t SongAnalyser::samples_fed() const noexcept { return state_->samples.fed(); }
bool SongAnalyser::finished() const noexcept { return state_->finished; }

std::unique_ptr<SongFrameReader> SongFrameReader::open(const std::string& path,
                                                       int frames_per_second, std::string& error) {
  if (frames_per_second <= 0) {
    error =
        path + ": cannot analyse at " + std::to_string(frames_per_second) + " frames per second";
    return nullptr;
  }
  std::unique_ptr<AudioReader> reader = AudioReader::open(path, error);
  if (!reader) return nullptr;
  return std::unique_ptr<SongFrameReader>(
      new SongFrameReader(std::move(reader), frames_per_second));
}

SongFrameReader::SongFrameReader(std::unique_ptr<AudioReader> reader, int frames_per_second)
    : reader_(std::move(reader)),
      analyser_(reader_->sample_rate(), reader_->channels(), frames_per_second),
      frames_per_second_(frames_per_second) {
  const std::int64_t frames =
      std::clamp<std::int64_t>(kReadSamplesLimit / reader_->channels(), 1, kReadFrames);
  chunk_.resize(static_cast<std::size_t>(frames * reader_->channels()));
}

std::int64_t SongFrameReader::frame_count_hint() const noexcept {
  const std::int64_t length = reader_->length_hint();
  return length < 0 ? -1 : frames_covering(length, reader_->sample_rate(), frames_per_second_);
}

bool SongFrameReader::next(SoundFrame& frame) {
  while (!analyser_.next_frame(frame)) {
    if (analyser_.finished() || !error_.empty()) return false;
    const std::int64_t frames = static_cast<std::int64_t>(chunk_.size()) / reader_->channels();
    const std::int64_t got = reader_->read(chunk_.data(), frames);
    if (got < 0) {
      error_ = reader_->error();
      return false;
    }
    if (got == 0) {
      if (reader_->frames_read() == 0) {
        error_ = reader_->path() + ": contains no sound samples";
        return false;
      }
      analyser_.finish();
    } else {
      analyser_.feed(chunk_.data(), static_cast<std::size_t>(got));
    }
  }
  return true;
}

}  // namespace apehost::audio
