#include "live/song_stream.hpp"

#include <algorithm>
#include <chrono>
#include <limits>

namespace apehost {
namespace {

// Sample frames decoded at a time: 93 ms at 44.1 kHz; the staging buffer stays under a megabyte
// whatever the channel count.
constexpr std::int64_t kDecodeFrames = 4096;
constexpr std::int64_t kDecodeValuesLimit = 262144;

// The analysis is fed this much beyond the beat look-ahead, so the frames of the next fraction of
// a second need no more decoding.
constexpr double kFeedMarginSeconds = 0.25;
// What the device's ring holds beyond the look-ahead: enough for the window to stall for a second
// without the sound running dry.
constexpr double kDeviceSlackSeconds = 1.0;
// What the analysis's ring holds beyond the margin (the window's thread drains it every frame).
constexpr double kAnalysisSlackSeconds = 1.5;

// How long the decoding thread sleeps when both rings are full or there is nothing to decode, and
// the window's thread between looks while it waits for the decoding.
constexpr auto kDecoderNap = std::chrono::milliseconds(5);
constexpr auto kWindowNap = std::chrono::milliseconds(1);

// Room for seconds of sound, and never less than two of the decoder's pieces (a piece goes into a
// ring whole: at the lowest sample rates a second holds fewer than one).
std::size_t ring_values(double seconds, int sample_rate, int channels) {
  const auto frames =
      std::max(static_cast<std::int64_t>(std::max(seconds, 0.0) * sample_rate), 2 * kDecodeFrames);
  return static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels);
}

}  // namespace

SongStream::SongStream(std::unique_ptr<SongSource> source, bool with_device,
                       std::int64_t offset_frames, double wait_seconds)
    : source_(std::move(source)),
      sample_rate_(source_->sample_rate()),
      channels_(std::min(source_->channels(), 2)),
      length_hint_(source_->length_hint()),
      wait_seconds_(wait_seconds),
      beat_lookahead_(audio::beat_lookahead(sample_rate_)),
      feed_ahead_(beat_lookahead_ + static_cast<std::int64_t>(kFeedMarginSeconds * sample_rate_)) {
  restart_analysis();
  const double ahead = static_cast<double>(feed_ahead_) / sample_rate_;
  const double offset = static_cast<double>(offset_frames) / sample_rate_;
  // The picture (heard - offset) is analysed `ahead` before it is shown: the decoding runs that far
  // past what is heard, less the offset, and what lies between is in the device's ring.
  if (with_device) {
    to_device_ = std::make_unique<SampleRing>(
        ring_values(ahead + std::max(0.0, -offset) + kDeviceSlackSeconds, sample_rate_, channels_));
  }
  // A picture that trails the sound is analysed from sound the device has been given already.
  to_analysis_ = std::make_unique<SampleRing>(ring_values(
      kFeedMarginSeconds + std::max(0.0, offset) + kAnalysisSlackSeconds, sample_rate_, channels_));
  feeding_.resize(to_analysis_->capacity());
  decoder_ = std::thread([this] { decode(); });
}

SongStream::~SongStream() {
  stop_.store(true, std::memory_order_relaxed);
  decoder_.join();
}

void SongStream::decode() noexcept {
  const int source_channels = source_->channels();
  const std::int64_t chunk =
      std::clamp<std::int64_t>(kDecodeValuesLimit / source_channels, 1, kDecodeFrames);
  std::vector<float> decoded(static_cast<std::size_t>(chunk * source_channels));
  std::vector<float> staged(static_cast<std::size_t>(chunk * channels_));
  std::size_t staged_values = 0;  // 0: nothing staged
  bool in_device = false;
  bool in_analysis = false;
  std::size_t device_written = 0;
  std::size_t analysis_written = 0;
  std::int64_t position = 0;
  bool stopped = false;
  std::uint32_t seeks = 0;

  while (!stop_.load(std::memory_order_relaxed)) {
    const std::uint32_t asked = seeks_asked_.load(std::memory_order_acquire);
    if (asked != seeks) {
      // What is in the rings now is stale: the readers drop it, up to these marks.
      const std::int64_t start = seek_start_.load(std::memory_order_relaxed);
      device_mark_.store(device_written, std::memory_order_relaxed);
      analysis_mark_.store(analysis_written, std::memory_order_relaxed);
      staged_values = 0;
      // A file whose decoding failed is not decoded again.
      const bool moved = !failed_.load(std::memory_order_relaxed) && source_->seek(start);
      position = start;
      stopped = !moved;  // past the end, or a stream that does not seek: the sound ends there
      stopped_at_.store(stopped ? start : -1, std::memory_order_relaxed);
      seeks = asked;
      seeks_decoded_.store(seeks, std::memory_order_release);
      continue;
    }
    if (stopped) {
      std::this_thread::sleep_for(kDecoderNap);
      continue;
    }
    if (staged_values == 0) {
      const std::int64_t got = source_->read(decoded.data(), chunk);
      if (got <= 0) {
        if (got < 0) {
          failure_ = source_->error();
          failed_.store(true, std::memory_order_release);
        } else {
          file_end_.store(position, std::memory_order_release);
        }
        stopped = true;
        stopped_at_.store(position, std::memory_order_release);
        continue;
      }
      // The first two channels (or the one).
      for (std::int64_t f = 0; f < got; ++f) {
        for (int c = 0; c < channels_; ++c) {
          staged[static_cast<std::size_t>(f * channels_ + c)] =
              decoded[static_cast<std::size_t>(f * source_channels + c)];
        }
      }
      staged_values = static_cast<std::size_t>(got * channels_);
      in_device = !to_device_;
      in_analysis = false;
    }
    if (!in_device && to_device_->push(staged.data(), staged_values)) {
      in_device = true;
      device_written += staged_values;
    }
    if (!in_analysis && to_analysis_->push(staged.data(), staged_values)) {
      in_analysis = true;
      analysis_written += staged_values;
    }
    if (in_device && in_analysis) {
      position += static_cast<std::int64_t>(staged_values) / channels_;
      staged_values = 0;
    } else {
      std::this_thread::sleep_for(kDecoderNap);  // the rings are full: far enough ahead
    }
  }
}

std::int64_t SongStream::play(float* out, int frames) noexcept {
  const std::size_t wanted = static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels_);
  if (!to_device_) {
    std::fill(out, out + wanted, 0.0f);
    return device_position_;
  }
  const std::uint32_t decoded = seeks_decoded_.load(std::memory_order_acquire);
  if (decoded != device_seeks_) {
    // A seek: drop what was decoded before it, then the sound between where the decoding starts
    // again and where the device is to go on.
    const std::size_t mark = device_mark_.load(std::memory_order_relaxed);
    device_taken_ += to_device_->discard(mark - device_taken_);
    device_position_ = seek_start_.load(std::memory_order_relaxed);
    device_skip_ = seek_skip_.load(std::memory_order_relaxed);
    device_seeks_ = decoded;
    seeks_played_.store(decoded, std::memory_order_release);
  }
  if (device_skip_ > 0) {
    const std::size_t dropped =
        to_device_->discard(static_cast<std::size_t>(device_skip_) * channels_);
    device_taken_ += dropped;
    device_skip_ -= static_cast<std::int64_t>(dropped) / channels_;
    device_position_ += static_cast<std::int64_t>(dropped) / channels_;
  }
  std::size_t got = 0;
  if (device_skip_ == 0) got = to_device_->pop(out, wanted);
  device_taken_ += got;
  device_position_ += static_cast<std::int64_t>(got) / channels_;
  std::fill(out + got, out + wanted, 0.0f);
  // The sound has ended and all of it is played: what was to be dropped and the silence are past
  // the end, and count, so the song is heard to end.
  const std::int64_t stop = stopped_at_.load(std::memory_order_acquire);
  if (got < wanted && stop >= 0 && to_device_->size() == 0) {
    device_position_ += device_skip_ + static_cast<std::int64_t>(wanted - got) / channels_;
    device_skip_ = 0;
  }
  return device_position_;
}

bool SongStream::in_flight() const noexcept {
  const std::uint32_t asked = seeks_asked_.load(std::memory_order_relaxed);
  if (seeks_decoded_.load(std::memory_order_acquire) != asked) return true;
  return to_device_ && seeks_played_.load(std::memory_order_acquire) != asked;
}

bool SongStream::seeking() const noexcept { return waiting_.has_value() || in_flight(); }

void SongStream::issue(const Seek& seek) {
  seek_start_.store(seek.start, std::memory_order_relaxed);
  seek_skip_.store(seek.skip, std::memory_order_relaxed);
  seeks_asked_.fetch_add(1, std::memory_order_release);
}

void SongStream::seek(std::int64_t shown, std::int64_t heard) {
  // One spectrum window before the picture, so its first frame there is whole; the device drops
  // what comes before heard.
  Seek seek;
  seek.start = std::max<std::int64_t>(0, std::min(heard, shown - audio::kFftSize));
  seek.skip = std::max<std::int64_t>(0, heard - seek.start);
  waiting_ = seek;
  take_up_seeks();
}

void SongStream::restart_analysis() {
  // History enough for the spectrum window of a frame the look-ahead behind the newest sample (a
  // window is over a second long at the lowest rates), and a second more.
  const double history = static_cast<double>(feed_ahead_ + audio::kFftSize) / sample_rate_ + 1.0;
  analyser_.emplace(sample_rate_, channels_, history);
  analysis_finished_ = false;
}

void SongStream::take_up_seeks() {
  const std::uint32_t asked = seeks_asked_.load(std::memory_order_relaxed);
  if (analysis_seeks_ != asked && seeks_decoded_.load(std::memory_order_acquire) == asked) {
    // The decoding has moved: drop the stale sound and analyse afresh from where it starts.
    const std::size_t mark = analysis_mark_.load(std::memory_order_relaxed);
    analysis_taken_ += to_analysis_->discard(mark - analysis_taken_);
    analysis_origin_ = seek_start_.load(std::memory_order_relaxed);
    restart_analysis();
    analysis_seeks_ = asked;
  }
  // One seek at a time, taken up by the decoding, the analysis and the device before the next is
  // asked for: the rings' marks then always belong to the newest.
  if (waiting_ && analysis_seeks_ == asked && !in_flight()) {
    issue(*waiting_);
    waiting_.reset();
  }
}

void SongStream::feed_until(std::int64_t until) {
  if (analysis_finished_) return;
  for (;;) {
    const std::int64_t fed = analysis_origin_ + analyser_->samples_fed();
    if (fed >= until) return;
    const std::size_t wanted = std::min(feeding_.size(), static_cast<std::size_t>(until - fed) *
                                                             static_cast<std::size_t>(channels_));
    const std::size_t got = to_analysis_->pop(feeding_.data(), wanted);
    if (got == 0) return;
    analysis_taken_ += got;
    analyser_->feed(feeding_.data(), got / static_cast<std::size_t>(channels_));
  }
}

audio::SoundFrame SongStream::frame_at(std::int64_t shown) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point give_up =
      Clock::now() +
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(wait_seconds_));
  // Until the analysis has the place a seek asked for, the picture holds (a beat once only).
  last_.beat = false;
  take_up_seeks();
  if (waiting_) return last_;  // it waits its turn behind another seek
  while (analysis_seeks_ != seeks_asked_.load(std::memory_order_relaxed)) {
    if (Clock::now() >= give_up) return last_;
    std::this_thread::sleep_for(kWindowNap);
    take_up_seeks();
  }
  for (;;) {
    // Read before the ring is drained: every sample before the stop is in it by then.
    const std::int64_t stop = stopped_at_.load(std::memory_order_acquire);
    feed_until(shown + feed_ahead_);
    const std::int64_t fed = analysis_origin_ + analyser_->samples_fed();
    if (stop >= 0 && fed >= stop) {
      // The end of the sound: its last beats are decided as the whole song's are.
      if (!analysis_finished_) analyser_->finish();
      analysis_finished_ = true;
      break;
    }
    // While the device has not taken up a seek, its ring may still be full of what came before
    // it, and the decoding cannot run ahead: the frame's own sound is enough then (the picture
    // holds at the seek's place until the device is there, a buffer's time at most).
    const std::int64_t needed = in_flight() ? shown : shown + beat_lookahead_;
    if (fed >= needed || Clock::now() >= give_up) break;
    std::this_thread::sleep_for(kWindowNap);
  }
  last_ = analyser_->frame_at(shown - analysis_origin_);
  return last_;
}

std::int64_t SongStream::end() const noexcept {
  if (seeks_decoded_.load(std::memory_order_acquire) ==
      seeks_asked_.load(std::memory_order_relaxed)) {
    const std::int64_t stop = stopped_at_.load(std::memory_order_acquire);
    if (stop >= 0) return stop;
  }
  const std::int64_t file_end = file_end_.load(std::memory_order_acquire);
  if (file_end >= 0) return file_end;
  return length_hint_ >= 0 ? length_hint_ : std::numeric_limits<std::int64_t>::max();
}

std::string SongStream::failure() const {
  return failed_.load(std::memory_order_acquire) ? failure_ : std::string();
}

}  // namespace apehost
