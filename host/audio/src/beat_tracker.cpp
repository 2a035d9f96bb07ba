#include "beat_tracker.hpp"

#include <algorithm>
#include <cmath>
#include <new>

namespace apehost::audio::detail {

namespace {

// Hops per second at aubio's usual 512-sample hop and 44.1 kHz.
constexpr double kHopsPerSecond = 44100.0 / 512.0;
// A hop below aubio's silence level counts as silent.
constexpr smpl_t kSilenceDb = -90.0f;
// After this long without sound the tracker's predicted beats are dropped: the music has stopped.
constexpr double kSilenceLimitSeconds = 1.0;
// Energy blocks of 2.5 ms: fine enough that a placed beat is far inside one video frame.
constexpr int kBlocksPerSecond = 400;
// The attack search reaches this fraction of a beat period either side: far enough to follow
// aubio's drift, not so far that an off-beat hat or snare is taken for the beat.
constexpr double kSearchFraction = 0.2;
// The off-beat takes the beat when its attack is this many times stronger than the beat's.
constexpr double kOffBeatRatio = 2.0;
// An attack: the energy of the kSpanBlocks blocks from it on is at least this many times that of
// the kSpanBlocks blocks before it...
constexpr double kAttackRatio = 2.0;
// ... with a mean square above -60 dBFS, so a rise in the noise floor is no attack.
constexpr double kAttackFloor = 1e-6;
// The tempo range the search trusts aubio's period within.
constexpr double kSlowestBpm = 30.0;
constexpr double kFastestBpm = 300.0;
// Sound kept for the search. At the slowest tempo (2 s a beat) the places searched reach an offset
// (at most a period) and an off-beat (half a period) plus a fifth of a period either way of aubio's
// position: 3.4 s each side, less than this.
constexpr double kHistorySeconds = 8.0;

}  // namespace

int beat_hop_size(int sample_rate) noexcept {
  const double target = sample_rate / kHopsPerSecond;
  int hop = 16;
  // Powers of two nearest on a log scale: double while the next one is within sqrt(2) of target.
  while (hop < (1 << 16) && hop * 2 <= target * 1.4142135623730951) hop *= 2;
  return hop;
}

BeatTracker::BeatTracker(int sample_rate)
    : hop_size_(beat_hop_size(sample_rate)),
      block_size_(std::max(8, sample_rate / kBlocksPerSecond)),
      silence_limit_(static_cast<std::int64_t>(kSilenceLimitSeconds * sample_rate)),
      default_period_(sample_rate / 2),
      min_period_(static_cast<std::int64_t>(sample_rate * (60.0 / kFastestBpm))),
      max_period_(static_cast<std::int64_t>(sample_rate * (60.0 / kSlowestBpm))),
      history_(static_cast<std::size_t>(kHistorySeconds * sample_rate), 0.0f) {
  const auto hop = static_cast<uint_t>(hop_size_);
  // A window of four hops (aubio's own tools use two) keeps the tracker's beats closer in phase.
  tempo_ = new_aubio_tempo("default", 4 * hop, hop, static_cast<uint_t>(sample_rate));
  hop_ = new_fvec(hop);
  result_ = new_fvec(2);
  if (tempo_ == nullptr || hop_ == nullptr || result_ == nullptr) {
    release();
    throw std::bad_alloc();
  }
}

BeatTracker::~BeatTracker() { release(); }

void BeatTracker::release() noexcept {
  if (result_ != nullptr) del_fvec(result_);
  if (hop_ != nullptr) del_fvec(hop_);
  if (tempo_ != nullptr) del_aubio_tempo(tempo_);
  result_ = nullptr;
  hop_ = nullptr;
  tempo_ = nullptr;
}

void BeatTracker::feed(const float* interleaved, std::size_t frame_count, int channels,
                       std::vector<std::int64_t>& beats) {
  const auto history = static_cast<std::int64_t>(history_.size());
  for (std::size_t f = 0; f < frame_count; ++f) {
    const float* frame = interleaved + f * static_cast<std::size_t>(channels);
    double sum = 0.0;
    for (int c = 0; c < channels; ++c) sum += frame[c];
    const auto mono = static_cast<float>(sum / channels);
    history_[static_cast<std::size_t>(fed_ % history)] = mono;
    ++fed_;
    hop_->data[filled_++] = mono;
    if (filled_ == hop_size_) {
      run_hop();
      place_ready_beats(false, beats);
    }
  }
}

void BeatTracker::finish(std::vector<std::int64_t>& beats) { place_ready_beats(true, beats); }

void BeatTracker::run_hop() {
  aubio_tempo_do(tempo_, hop_, result_);
  if (aubio_silence_detection(hop_, kSilenceDb) == 0) last_sound_ = hop_start_;
  // aubio flags a beat with a nonzero result, but the result is the beat's offset inside the hop,
  // which can be exactly 0, and it drops every beat that falls in a silent hop, which on a click
  // track is nearly all of them (the tracker predicts each beat a little ahead of its click). So a
  // changed last-beat position is taken as the beat, and only a longer silence drops it.
  const auto last = static_cast<std::uint32_t>(aubio_tempo_get_last(tempo_));
  if (last != last_beat_) {
    last_beat_ = last;
    if (last_sound_ >= 0 && hop_start_ - last_sound_ <= silence_limit_) {
      // aubio keeps positions in 32 bits; only the difference to this hop's start is used, which is
      // small whatever the stream's length.
      const auto offset = static_cast<std::int32_t>(last - static_cast<std::uint32_t>(hop_start_));
      waiting_.push_back(hop_start_ + offset);
    }
  }
  hop_start_ += hop_size_;
  filled_ = 0;
}

std::int64_t BeatTracker::beat_period() const {
  const double period = aubio_tempo_get_period(tempo_);
  // aubio reports 0 until it has a tempo. Its answer is kept within 30 to 300 bpm (clamped as a
  // double, so no value can overflow the conversion) and the search always fits the kept history.
  if (!(period > 0.0)) return default_period_;
  return static_cast<std::int64_t>(
      std::clamp(period, static_cast<double>(min_period_), static_cast<double>(max_period_)));
}

void BeatTracker::place_ready_beats(bool at_end, std::vector<std::int64_t>& beats) {
  const std::int64_t period = beat_period();
  const auto radius = static_cast<std::int64_t>(kSearchFraction * static_cast<double>(period));
  while (!waiting_.empty()) {
    const std::int64_t reported = waiting_.front();
    // No beat is expected within half a period of the last one: when aubio is on the off-beat, its
    // position plus the offset may land there, and the beat after it is meant.
    std::int64_t expected_at = reported + offset_;
    if (last_placed_ >= 0 && expected_at < last_placed_ + period / 2) expected_at += period;
    // Half a period from the expected place is the off-beat: the one before it, unless that is
    // where the last beat went (aubio has just jumped half a period), then the one after it.
    std::int64_t off_beat_at = expected_at - period / 2;
    if (last_placed_ >= 0 && off_beat_at < last_placed_ + radius)
      off_beat_at = expected_at + period / 2;
    // Wait until the sound around every place searched has arrived.
    const std::int64_t latest = std::max({expected_at, reported, off_beat_at});
    if (!at_end && latest + radius + (kSpanBlocks + 1) * block_size_ > fed_) break;
    waiting_.pop_front();

    // The strongest attack near where the beat is expected or near where aubio put it: the first
    // follows aubio's drift, the second brings the beat back when aubio has jumped into phase again
    // (or when following the drift had walked onto a lesser attack). When the off-beat's attack is
    // far stronger, aubio and the drift have both settled on the off-beat, and the beat moves.
    const Attack expected = strongest_attack(expected_at, radius);
    const Attack own = offset_ != 0 ? strongest_attack(reported, radius) : Attack{};
    const Attack off_beat = strongest_attack(off_beat_at, radius);
    Attack best = own.rise > expected.rise ? own : expected;
    if (off_beat.rise > kOffBeatRatio * best.rise) best = off_beat;
    std::int64_t placed = reported + offset_;
    if (best.position >= 0) {
      placed = best.position;
      // An offset of a period or more is aubio a beat ahead or behind: the same grid, kept small.
      offset_ = placed - reported;
      while (offset_ > period) offset_ -= period;
      while (offset_ < -period) offset_ += period;
    }
    placed = std::max<std::int64_t>(placed, 0);
    // Beats closer than a third of a period are one beat reported twice (aubio jumping phase
    // between them); the first stands.
    if (last_placed_ < 0 || placed > last_placed_ + period / 3) {
      beats.push_back(placed);
      last_placed_ = placed;
    }
  }
}

float BeatTracker::sample(std::int64_t position) const {
  const auto history = static_cast<std::int64_t>(history_.size());
  // Before the first sample and outside the kept history the sound counts as silence.
  if (position < 0 || position >= fed_ || position < fed_ - history) return 0.0f;
  return history_[static_cast<std::size_t>(position % history)];
}

double BeatTracker::block_energy(std::int64_t start) const {
  double energy = 0.0;
  for (std::int64_t p = start; p < start + block_size_; ++p) {
    const double x = sample(p);
    energy += x * x;
  }
  return energy;
}

BeatTracker::Attack BeatTracker::strongest_attack(std::int64_t centre, std::int64_t radius) const {
  // Blocks on a fixed grid, so the same attack is found at the same place whatever the centre.
  const std::int64_t block = block_size_;
  std::int64_t first = centre - radius;
  first -= ((first % block) + block) % block;
  const std::int64_t count = (centre + radius - first) / block + 1;
  // Energies of the blocks from kSpanBlocks before the first candidate to kSpanBlocks after the
  // last.
  energies_.resize(static_cast<std::size_t>(count + 2 * kSpanBlocks));
  for (std::size_t i = 0; i < energies_.size(); ++i) {
    energies_[i] = block_energy(first + (static_cast<std::int64_t>(i) - kSpanBlocks) * block);
  }
  const double floor = kAttackFloor * static_cast<double>(block * kSpanBlocks);
  Attack best;
  std::int64_t best_block = -1;
  for (std::int64_t j = 0; j < count; ++j) {
    const std::int64_t start = first + j * block;
    // Only candidates whose whole after-span has arrived.
    if (start + kSpanBlocks * block > fed_) break;
    double before = 0.0;
    double after = 0.0;
    for (int k = 0; k < kSpanBlocks; ++k) {
      before += energies_[static_cast<std::size_t>(j + k)];
      after += energies_[static_cast<std::size_t>(j + kSpanBlocks + k)];
    }
    const double rise = after - before;
    if (after > floor && after > kAttackRatio * before && rise > best.rise) {
      best.rise = rise;
      best_block = start;
    }
  }
  if (best_block < 0) return Attack{};
  // Within the block and the one before it, the attack starts at the first sample reaching half the
  // block's peak: a click then lands on its own sample, not on the block grid.
  float peak = 0.0f;
  for (std::int64_t p = best_block; p < best_block + block; ++p)
    peak = std::max(peak, std::fabs(sample(p)));
  best.position = best_block;
  for (std::int64_t p = std::max<std::int64_t>(best_block - block, 0); p < best_block + block;
       ++p) {
    if (std::fabs(sample(p)) >= 0.5f * peak) {
      best.position = p;
      break;
    }
  }
  return best;
}

}  // namespace apehost::audio::detail
