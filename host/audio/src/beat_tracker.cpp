#include "beat_tracker.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace apehost::audio::detail {

namespace {

// Stage 1: the flux's local mean (46 ms either side) and the band levels' rise spans: the snare
// band's level must stay up for 46 ms (a snare rings, a kick's click does not), the kick band's
// for 23 ms.
constexpr double kMeanSpanSeconds = 0.046;
constexpr double kSnareRiseSeconds = 0.046;
constexpr double kKickRiseSeconds = 0.023;
// Stage 2: six seconds hold a dozen beats at 120 bpm; a new estimate every 0.19 s.
constexpr double kTempoWindowSeconds = 6.0;
constexpr double kTempoStepSeconds = 0.19;
// While every window so far has been silent, the period is that of 120 bpm.
constexpr double kDefaultPeriodSeconds = 0.5;
// Stage 3: how strictly beats keep to the period: a spacing that is off the period by a factor f
// costs kTightness x log(f)^2 window RMSs of onset strength. 10% off costs 4.5 of them, about what
// one clear drum hit scores, so a fill or a flam does not pull the beat while a tempo change can.
constexpr double kTightness = 500.0;
// A hop's score: the kick band's and the snare band's attacks, and half the whole spectrum's onset
// strength, each scaled to the window's RMS. The drums lead: a sidechained mix, where the bass and
// pad duck under each kick, has most of its spectral flux between the kicks, on the off-beat hats
// and bass notes.
constexpr double kOnsetWeight = 0.5;
constexpr double kKickWeight = 1.0;
constexpr double kSnareWeight = 1.0;
// Moving the beats by half a period (an intro of off-beat hats, then the kick comes in) costs as
// much as four clear hits, on top of the usual penalty for the spacing's distance from one and a
// half or half a period: the chain follows the drums within a few beats, but not a single
// syncopated kick.
constexpr double kHalfBeatJump = 20.0;
// After this long without sound no beat is placed: the music has stopped.
constexpr double kSilenceLimitSeconds = 1.0;
// A clear attack: onset strength above the window's RMS. At the end of the sound no beat is placed
// more than a quarter period after the last clear attack.
constexpr double kClearAttack = 1.0;
constexpr double kTrailingPeriods = 0.25;
// Until the first tempo (the quick timing), a beat is a hop whose score, with the measures scaled
// to their RMS so far, passes this and is the largest of the hops around it, at most five a second.
constexpr double kAttackBeat = 3.0;
constexpr std::int64_t kAttackPeakHops = 2;
constexpr double kAttackSpacingSeconds = 0.2;
// Where a beat at a hop is placed, in hops from the hop's first sample. An attack rises most in the
// spectrum of the hop after the one it starts in (the window's newest samples weigh little under
// the Hann window), so it started on average half a hop before that hop: measured on the drum
// songs, the beats then land within 3 ms of the hits, either way.
constexpr double kOnsetOffsetHops = -0.5;
// Beyond the window and the leads, the history keeps this much for the chain's predecessors (two
// periods at 75 bpm) and spare.
constexpr double kSpareSeconds = 4.0;

std::int64_t hops_in(double seconds, double hops_per_second) {
  return std::max<std::int64_t>(1, std::llround(seconds * hops_per_second));
}

}  // namespace

BeatTracker::BeatTracker(int sample_rate, const BeatTiming& timing)
    : hop_(onset_hop_size(sample_rate)),
      hops_per_second_(static_cast<double>(sample_rate) / hop_),
      mean_span_(hops_in(kMeanSpanSeconds, hops_per_second_)),
      rise_span_(hops_in(kSnareRiseSeconds, hops_per_second_)),
      kick_rise_span_(hops_in(kKickRiseSeconds, hops_per_second_)),
      window_hops_(hops_in(kTempoWindowSeconds, hops_per_second_)),
      first_estimate_hops_(hops_in(timing.first_estimate_seconds, hops_per_second_)),
      step_hops_(hops_in(kTempoStepSeconds, hops_per_second_)),
      tempo_lead_hops_(std::llround(timing.tempo_lead_seconds * hops_per_second_)),
      commit_lag_hops_(std::llround(timing.commit_lag_seconds * hops_per_second_)),
      silence_hops_(hops_in(kSilenceLimitSeconds, hops_per_second_)),
      attacks_before_tempo_(timing.attacks_before_tempo),
      attack_spacing_hops_(hops_in(kAttackSpacingSeconds, hops_per_second_)),
      features_(sample_rate),
      tempo_(hops_per_second_),
      mono_(static_cast<std::size_t>(hop_), 0.0f),
      flux_(static_cast<std::size_t>(hops_in(kTempoWindowSeconds + timing.tempo_lead_seconds +
                                                 timing.commit_lag_seconds + kSpareSeconds,
                                             hops_per_second_))),
      kick_level_(static_cast<std::size_t>(flux_.capacity())),
      snare_level_(static_cast<std::size_t>(flux_.capacity())),
      last_sound_(static_cast<std::size_t>(flux_.capacity()), -1),
      onset_(static_cast<std::size_t>(flux_.capacity())),
      kick_rise_(static_cast<std::size_t>(flux_.capacity())),
      snare_rise_(static_cast<std::size_t>(flux_.capacity())),
      period_(static_cast<std::size_t>(flux_.capacity())),
      onset_scale_(static_cast<std::size_t>(flux_.capacity())),
      snare_scale_(static_cast<std::size_t>(flux_.capacity())),
      kick_scale_(static_cast<std::size_t>(flux_.capacity())),
      score_(static_cast<std::size_t>(flux_.capacity())),
      previous_(static_cast<std::size_t>(flux_.capacity()), -1) {}

BeatTracker::~BeatTracker() = default;

std::int64_t BeatTracker::position_of(std::int64_t hop_index) const noexcept {
  return std::max<std::int64_t>(
      0, hop_index * hop_ + static_cast<std::int64_t>(kOnsetOffsetHops * hop_));
}

std::int64_t BeatTracker::final_until() const noexcept {
  if (finished_) return std::numeric_limits<std::int64_t>::max();
  return final_hop_ < 0 ? 0 : position_of(final_hop_ + 1);
}

std::int64_t BeatTracker::lookahead() const noexcept {
  // At the start the first estimate waits for its sound and the step it falls on; later the leads
  // of stages 2 and 3 apply. Either way the onset measures trail by their spans, and a hop is
  // measured once its last sample has arrived.
  const std::int64_t leads =
      std::max(first_estimate_hops_ + step_hops_, tempo_lead_hops_ + commit_lag_hops_);
  return (leads + std::max(mean_span_, rise_span_) + 2) * hop_;
}

double BeatTracker::period_samples() const noexcept { return current_period_ * hop_; }

void BeatTracker::feed(const float* interleaved, std::size_t frame_count, int channels,
                       std::vector<std::int64_t>& beats) {
  if (finished_) return;
  for (std::size_t f = 0; f < frame_count; ++f) {
    const float* frame = interleaved + f * static_cast<std::size_t>(channels);
    double sum = 0.0;
    for (int c = 0; c < channels; ++c) sum += frame[c];
    mono_[static_cast<std::size_t>(filled_++)] = static_cast<float>(sum / channels);
    ++fed_;
    if (filled_ == hop_) {
      filled_ = 0;
      run_hop(mono_.data());
      // Stage 1 runs a span behind the hops, the others behind it.
      const std::int64_t index = flux_.size() - 1 - std::max(mean_span_, rise_span_);
      if (index >= 0) measure_onsets(index);
      beats.insert(beats.end(), early_beats_.begin(), early_beats_.end());
      early_beats_.clear();
      commit(score_.size() - 1, false, beats);
    }
  }
}

void BeatTracker::finish(std::vector<std::int64_t>& beats) {
  if (finished_) return;
  if (filled_ > 0) {
    // The last part-hop, completed with silence.
    std::fill(mono_.begin() + filled_, mono_.end(), 0.0f);
    filled_ = 0;
    run_hop(mono_.data());
  }
  const std::int64_t newest = flux_.size() - 1;
  if (newest >= 0) {
    for (std::int64_t index = onset_.size(); index <= newest; ++index) {
      measure_onsets(index);
      beats.insert(beats.end(), early_beats_.begin(), early_beats_.end());
      early_beats_.clear();
      commit(score_.size() - 1, false, beats);
    }
    // The last estimate, from the window that ends with the sound, holds for every hop left.
    estimate_tempo(newest);
    extend_chain(newest);
    // The beats the end decides: none after the last clear attack.
    const std::size_t first_new = beats.size();
    commit(score_.size() - 1, true, beats);
    if (last_attack_ >= 0) {
      const double period = period_[score_.size() - 1];
      const auto limit =
          position_of(last_attack_) + static_cast<std::int64_t>(kTrailingPeriods * period * hop_);
      while (beats.size() > first_new && beats.back() > limit) beats.pop_back();
    } else {
      beats.resize(first_new);
    }
  }
  finished_ = true;
}

void BeatTracker::run_hop(const float* mono_hop) {
  const HopFeatures f = features_.analyse(mono_hop);
  const std::int64_t index = flux_.size();
  const std::int64_t heard_before = last_sound_.size() > 0 ? last_sound_[index - 1] : -1;
  flux_.push(f.flux);
  kick_level_.push(f.kick_level);
  snare_level_.push(f.snare_level);
  last_sound_.push(f.sound ? index : heard_before);
}

void BeatTracker::measure_onsets(std::int64_t index) {
  const std::int64_t newest = flux_.size() - 1;
  auto mean = [](const HopRing<double>& ring, std::int64_t from, std::int64_t to) {
    double sum = 0.0;
    for (std::int64_t i = from; i <= to; ++i) sum += ring[i];
    return to >= from ? sum / static_cast<double>(to - from + 1) : 0.0;
  };
  const double local_mean = mean(flux_, std::max<std::int64_t>(0, index - mean_span_),
                                 std::min(newest, index + mean_span_));
  onset_.push(std::max(0.0, flux_[index] - local_mean));
  auto rise = [&](const HopRing<double>& ring, std::int64_t span) {
    const double after = mean(ring, index, std::min(newest, index + span));
    const double before = mean(ring, std::max<std::int64_t>(0, index - span), index - 1);
    return std::max(0.0, after - before);
  };
  kick_rise_.push(rise(kick_level_, kick_rise_span_));
  snare_rise_.push(rise(snare_level_, rise_span_));
  onset_power_ += onset_[index] * onset_[index];
  kick_power_ += kick_rise_[index] * kick_rise_[index];
  snare_power_ += snare_rise_[index] * snare_rise_[index];
  if (attacks_before_tempo_ && !estimated_) place_attack_beat(index);
  // The first estimate waits for its sound; at the end, finish() makes the last one.
  if ((index + 1) % step_hops_ == 0 && index + 1 >= first_estimate_hops_) estimate_tempo(index);
  // Each estimate holds from the hop a lead before its window's end until the next one.
  if (estimated_) extend_chain(index - tempo_lead_hops_);
}

double BeatTracker::attack_score(std::int64_t index) const {
  const auto hops = static_cast<double>(onset_.size());
  auto scaled = [&](double value, double power) {
    return power > 0.0 ? value / std::sqrt(power / hops) : 0.0;
  };
  return kOnsetWeight * scaled(onset_[index], onset_power_) +
         kKickWeight * scaled(kick_rise_[index], kick_power_) +
         kSnareWeight * scaled(snare_rise_[index], snare_power_);
}

void BeatTracker::place_attack_beat(std::int64_t newest) {
  // The hop kAttackPeakHops back is decided now: it has its neighbours on both sides.
  const std::int64_t candidate = newest - kAttackPeakHops;
  if (candidate < 0) return;
  const double score = attack_score(candidate);
  bool peak = score > kAttackBeat;
  for (std::int64_t i = std::max<std::int64_t>(0, candidate - kAttackPeakHops); peak && i <= newest;
       ++i) {
    if (i != candidate && attack_score(i) > score) peak = false;
  }
  // The start of the sound is everything rising at once, not a beat: attack beats wait for a
  // spacing's worth of sound.
  const std::int64_t heard = last_sound_.at_or_fill(candidate);
  if (heard >= 0 && first_sound_ < 0) first_sound_ = heard;
  if (peak && first_sound_ >= 0 && candidate - first_sound_ >= attack_spacing_hops_ &&
      (last_beat_ < 0 || candidate - last_beat_ >= attack_spacing_hops_) &&
      heard_before(candidate)) {
    early_beats_.push_back(position_of(candidate));
    last_beat_ = candidate;
  }
  final_hop_ = candidate;
}

void BeatTracker::estimate_tempo(std::int64_t newest) {
  const std::int64_t first = std::max<std::int64_t>(0, newest - window_hops_ + 1);
  const auto length = static_cast<std::size_t>(newest - first + 1);
  window_.onset.resize(length);
  window_.kick_rise.resize(length);
  window_.snare_rise.resize(length);
  window_.snare_level.resize(length);
  for (std::int64_t i = first; i <= newest; ++i) {
    const auto k = static_cast<std::size_t>(i - first);
    window_.onset[k] = onset_[i];
    window_.kick_rise[k] = kick_rise_[i];
    window_.snare_rise[k] = snare_rise_[i];
    window_.snare_level[k] = snare_level_[i];
  }
  const TempoEstimate estimate = tempo_.estimate(window_);
  if (estimate.period > 0.0) {
    current_period_ = estimate.period;
  } else if (current_period_ <= 0.0) {
    current_period_ = kDefaultPeriodSeconds * hops_per_second_;
  }
  current_onset_scale_ = estimate.onset_scale;
  current_snare_scale_ = estimate.snare_scale;
  current_kick_scale_ = estimate.kick_scale;
  estimated_ = true;
}

void BeatTracker::extend_chain(std::int64_t until) {
  while (period_.size() <= until) {
    period_.push(current_period_);
    onset_scale_.push(current_onset_scale_);
    kick_scale_.push(current_kick_scale_);
    snare_scale_.push(current_snare_scale_);
  }
  run_chain(until);
}

void BeatTracker::set_penalties(double period) {
  if (period == penalty_period_) return;
  penalty_period_ = period;
  const auto longest = static_cast<std::size_t>(2.0 * period) + 1;
  penalties_.resize(longest + 1);
  for (std::size_t distance = 1; distance <= longest; ++distance) {
    auto off_by = [&](double spacing) {
      const double ratio = std::log(static_cast<double>(distance) / (spacing * period));
      return kTightness * ratio * ratio;
    };
    penalties_[distance] =
        std::min({off_by(1.0), kHalfBeatJump + off_by(1.5), kHalfBeatJump + off_by(0.5)});
  }
}

void BeatTracker::run_chain(std::int64_t until) {
  for (std::int64_t d = score_.size(); d <= until; ++d) {
    const double period = period_[d];
    set_penalties(period);
    double local = 0.0;
    if (onset_scale_[d] > 0.0) local += kOnsetWeight * onset_[d] / onset_scale_[d];
    if (snare_scale_[d] > 0.0) local += kSnareWeight * snare_rise_[d] / snare_scale_[d];
    if (kick_scale_[d] > 0.0) local += kKickWeight * kick_rise_[d] / kick_scale_[d];
    if (onset_scale_[d] > 0.0 && onset_[d] > kClearAttack * onset_scale_[d]) last_attack_ = d;

    const auto nearest = std::max<std::int64_t>(1, static_cast<std::int64_t>(0.5 * period));
    const auto farthest = static_cast<std::int64_t>(2.0 * period);
    double best = 0.0;
    std::int64_t from = -1;
    for (std::int64_t m = std::max<std::int64_t>(0, d - farthest); m <= d - nearest; ++m) {
      if (!score_.holds(m)) continue;
      const double value = score_[m] - penalties_[static_cast<std::size_t>(d - m)];
      if (from < 0 || value > best) {
        best = value;
        from = m;
      }
    }
    score_.push(local + (from >= 0 ? best : 0.0));
    previous_.push(from);
  }
}

std::int64_t BeatTracker::best_chain_end(std::int64_t newest) const {
  const auto reach = static_cast<std::int64_t>(period_[newest]);
  std::int64_t best = newest;
  for (std::int64_t m = newest - 1; m >= std::max<std::int64_t>(0, newest - reach); --m) {
    if (score_.holds(m) && score_[m] > score_[best]) best = m;
  }
  return best;
}

bool BeatTracker::heard_before(std::int64_t index) const {
  const std::int64_t heard = last_sound_.at_or_fill(index);
  return heard >= 0 && index - heard <= silence_hops_;
}

void BeatTracker::commit(std::int64_t newest, bool at_end, std::vector<std::int64_t>& beats) {
  if (newest < 0) return;
  const std::int64_t frontier = at_end ? newest : newest - commit_lag_hops_;
  if (frontier <= final_hop_) return;
  chain_.clear();
  for (std::int64_t m = best_chain_end(newest); m > final_hop_ && m >= 0; m = previous_[m]) {
    chain_.push_back(m);
    if (!previous_.holds(m)) break;
  }
  for (auto it = chain_.rbegin(); it != chain_.rend() && *it <= frontier; ++it) {
    const std::int64_t m = *it;
    // A chain that has moved since the last beat may bring a beat too close to it: that one is the
    // last beat again.
    if (last_beat_ >= 0 && static_cast<double>(m - last_beat_) < 0.5 * period_[m]) continue;
    if (!heard_before(m)) continue;
    beats.push_back(position_of(m));
    last_beat_ = m;
  }
  final_hop_ = frontier;
}

}  // namespace apehost::audio::detail
