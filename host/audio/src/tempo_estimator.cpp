#include "tempo_estimator.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace apehost::audio::detail {

namespace {

constexpr double kSlowestBpm = 75.0;
constexpr double kFastestBpm = 200.0;
// How much the kick and snare bands' attacks count in the autocorrelation beside the whole
// spectrum's: enough that a loud noise floor or busy hats cannot hide the drums' period.
constexpr double kBandWeight = 0.5;
// The weights of the autocorrelation at twice and at half the lag.
constexpr double kDoubleWeight = 0.5;
constexpr double kHalfWeight = 0.5;
// The snare fold's balance above which the faster tempo is taken, and below which the slower one
// is; between the two the last choice stands.
constexpr double kFastAbove = 0.55;
constexpr double kSlowBelow = 0.45;
constexpr double kFirstChoice = 0.5;  // the first choice has nothing to stand on
// The snare band's level is taken over this long before and after each hop, and the larger of the
// two divides it: an attack right after a quiet stretch is not inflated by it.
constexpr double kLevelSpanSeconds = 1.0;
// In the fold, a hop counts by how much the snare band's mean level over the 0.12 s from it exceeds
// that over the 0.12 s before it: a snare rings that long, while a kick's click or a closed hat is
// over in a few hundredths, so even a snare well below the kick stands out.
constexpr double kSnareRingSeconds = 0.12;
// A fold's peak is the largest of this many hops either side: swing and loose drummers smear it.
constexpr int kFoldSmearHops = 2;
// Levels below this count as silence in the snare band's levelling.
constexpr double kLevelFloor = 1e-4;

double rms(const std::vector<double>& values) {
  double sum = 0.0;
  for (double v : values) sum += v * v;
  return values.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(values.size()));
}

}  // namespace

TempoEstimator::TempoEstimator(double hops_per_second)
    : hops_per_second_(hops_per_second),
      shortest_(hops_per_second * 60.0 / kFastestBpm),
      longest_(hops_per_second * 60.0 / kSlowestBpm) {}

TempoEstimate TempoEstimator::estimate(const OnsetWindow& window) {
  TempoEstimate result;
  const auto n = static_cast<std::ptrdiff_t>(window.onset.size());
  result.onset_scale = rms(window.onset);
  result.snare_scale = rms(window.snare_rise);
  if (n < 2 || !(result.onset_scale > 0.0)) return result;

  // The onset strength with the drum bands mixed in, each measure scaled to unit RMS.
  const double kick_scale = rms(window.kick_rise);
  result.kick_scale = kick_scale;
  mix_.assign(static_cast<std::size_t>(n), 0.0);
  for (std::ptrdiff_t i = 0; i < n; ++i) {
    const auto k = static_cast<std::size_t>(i);
    double v = window.onset[k] / result.onset_scale;
    if (kick_scale > 0.0) v += kBandWeight * window.kick_rise[k] / kick_scale;
    if (result.snare_scale > 0.0) v += kBandWeight * window.snare_rise[k] / result.snare_scale;
    mix_[k] = v;
  }
  double energy = 0.0;
  for (double v : mix_) energy += v * v;
  energy /= static_cast<double>(n);

  // The autocorrelation, as a fraction of the energy, up to twice the longest period.
  const auto first = static_cast<std::ptrdiff_t>(std::floor(shortest_)) - 1;
  const auto last = static_cast<std::ptrdiff_t>(std::ceil(longest_)) + 1;
  const std::ptrdiff_t max_lag = std::min(n - 1, 2 * last + 2);
  lags_.assign(static_cast<std::size_t>(std::max<std::ptrdiff_t>(max_lag, 0) + 2), 0.0);
  for (std::ptrdiff_t lag = 1; lag <= max_lag; ++lag) {
    double sum = 0.0;
    for (std::ptrdiff_t i = lag; i < n; ++i)
      sum += mix_[static_cast<std::size_t>(i)] * mix_[static_cast<std::size_t>(i - lag)];
    lags_[static_cast<std::size_t>(lag)] = sum / static_cast<double>(n - lag) / energy;
  }
  auto at = [&](double lag) {
    if (!(lag < static_cast<double>(max_lag))) return 0.0;
    const auto whole = static_cast<std::size_t>(lag);
    const double part = lag - static_cast<double>(whole);
    return lags_[whole] * (1.0 - part) + lags_[whole + 1] * part;
  };
  auto salience = [&](double lag) {
    return at(lag) + kDoubleWeight * at(2.0 * lag) + kHalfWeight * at(0.5 * lag);
  };

  std::ptrdiff_t best = -1;
  double best_salience = 0.0;
  for (std::ptrdiff_t lag = std::max<std::ptrdiff_t>(first, 2); lag <= last; ++lag) {
    const double s = salience(static_cast<double>(lag));
    if (best < 0 || s > best_salience) {
      best = lag;
      best_salience = s;
    }
  }
  if (best < 0) return result;
  // The peak between whole lags, from the parabola through it and its neighbours.
  double period = static_cast<double>(best);
  const double before = salience(period - 1.0);
  const double after = salience(period + 1.0);
  const double curve = before - 2.0 * best_salience + after;
  if (curve < 0.0) period += std::clamp(0.5 * (before - after) / curve, -0.5, 0.5);

  // The octave, when there is one to choose.
  double slow = 0.0;
  if (0.5 * period >= shortest_) {
    slow = period;
  } else if (2.0 * period <= longest_) {
    slow = 2.0 * period;
  }
  if (slow > 0.0) {
    const double balance = backbeat_balance(window, slow);
    last_balance_ = balance;
    if (!chosen_) {
      fast_ = balance >= kFirstChoice;
    } else if (balance > kFastAbove) {
      fast_ = true;
    } else if (balance < kSlowBelow) {
      fast_ = false;
    }
    chosen_ = true;
    period = fast_ ? 0.5 * slow : slow;
  }
  result.period = period;
  return result;
}

double TempoEstimator::backbeat_balance(const OnsetWindow& window, double slow_period) const {
  const auto n = static_cast<std::ptrdiff_t>(window.snare_level.size());
  const auto span = static_cast<std::ptrdiff_t>(kLevelSpanSeconds * hops_per_second_);
  const auto ring = std::max<std::ptrdiff_t>(
      1, static_cast<std::ptrdiff_t>(std::lround(kSnareRingSeconds * hops_per_second_)));
  // Running sums of the band's level, for the mean before and after each hop.
  scratch_.assign(static_cast<std::size_t>(n + 1), 0.0);
  for (std::ptrdiff_t i = 0; i < n; ++i) {
    scratch_[static_cast<std::size_t>(i + 1)] =
        scratch_[static_cast<std::size_t>(i)] + window.snare_level[static_cast<std::size_t>(i)];
  }
  auto mean = [&](std::ptrdiff_t from, std::ptrdiff_t to) {  // hops from..to inclusive
    return (scratch_[static_cast<std::size_t>(to + 1)] - scratch_[static_cast<std::size_t>(from)]) /
           static_cast<double>(to - from + 1);
  };

  // Fold over two slow periods, one bin per hop.
  const double cycle = 2.0 * slow_period;
  const auto bins = static_cast<std::ptrdiff_t>(std::lround(cycle));
  std::vector<double> sums(static_cast<std::size_t>(bins), 0.0);
  std::vector<int> counts(static_cast<std::size_t>(bins), 0);
  for (std::ptrdiff_t i = 0; i < n; ++i) {
    const double level = std::max(mean(std::max<std::ptrdiff_t>(0, i - span), i),
                                  mean(i, std::min(n - 1, i + span)));
    const double rise = i > 0 ? mean(i, std::min(n - 1, i + ring)) -
                                    mean(std::max<std::ptrdiff_t>(0, i - ring), i - 1)
                              : 0.0;
    const double value = std::max(0.0, rise) / (level + kLevelFloor);
    const auto bin = static_cast<std::ptrdiff_t>(std::fmod(static_cast<double>(i), cycle)) % bins;
    sums[static_cast<std::size_t>(bin)] += value;
    ++counts[static_cast<std::size_t>(bin)];
  }
  std::vector<double> peaks(static_cast<std::size_t>(bins), 0.0);
  for (std::ptrdiff_t b = 0; b < bins; ++b) {
    double peak = 0.0;
    for (std::ptrdiff_t d = -kFoldSmearHops; d <= kFoldSmearHops; ++d) {
      const auto k = static_cast<std::size_t>(((b + d) % bins + bins) % bins);
      if (counts[k] > 0) peak = std::max(peak, sums[k] / counts[k]);
    }
    peaks[static_cast<std::size_t>(b)] = peak;
  }
  std::size_t strongest = 0;
  for (std::size_t b = 1; b < peaks.size(); ++b) {
    if (peaks[b] > peaks[strongest]) strongest = b;
  }
  if (!(peaks[strongest] > 0.0)) return 0.0;
  const std::size_t opposite = (strongest + static_cast<std::size_t>(bins / 2)) % peaks.size();
  return peaks[opposite] / peaks[strongest];
}

}  // namespace apehost::audio::detail
