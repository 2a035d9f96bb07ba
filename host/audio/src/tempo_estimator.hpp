#pragma once
// The beat period of a few seconds of onset measures. Internal to apehost_audio.
//
// The period is the lag, between 75 and 200 bpm, at which the onsets repeat best: the
// autocorrelation of the onset strength (with the kick and snare bands' attacks mixed in) at the
// lag, plus half of it at twice and at half the lag, so a period whose halves and doubles also
// repeat (four-on-the-floor, eighth-note hats) wins over one at three halves of the beat.
//
// That leaves the octave: a drum-and-bass song at 174 bpm repeats as well at 87, and a hip-hop song
// at 87 as well at 174. What tells them apart is the backbeat: the snare falls on every other beat.
// So when both the period and its half (or double) lie in the range, the snare band's attacks are
// folded over two periods of the slower tempo: when the snare hits both halves alike, it comes on
// every slow beat, which makes the slow beat two real beats, and the faster tempo is taken; when it
// hits one half only, the slow tempo is the beat. The snare band is levelled first (each hop
// divided by the band's mean level of the second around it), so a loud chorus cannot outweigh a
// quiet verse in the fold. The choice holds until the snare clearly says otherwise.

#include <vector>

namespace apehost::audio::detail {

// The onset measures of one window of hops, oldest first, all the same length.
struct OnsetWindow {
  std::vector<double> onset;        // how sharply the whole spectrum rose
  std::vector<double> kick_rise;    // how much the kick band's level rose
  std::vector<double> snare_rise;   // how much the snare band's level rose and stayed up
  std::vector<double> snare_level;  // the snare band's level
};

struct TempoEstimate {
  double period = 0.0;       // beat period in hops; 0: nothing periodic (silence)
  double onset_scale = 0.0;  // root mean square of the window's onset strength
  double snare_scale = 0.0;  // likewise of its snare attacks
  double kick_scale = 0.0;   // and of its kick attacks
};

class TempoEstimator {
 public:
  explicit TempoEstimator(double hops_per_second);

  TempoEstimate estimate(const OnsetWindow& window);

  // The snare fold of the last estimate that had an octave to choose (for the tests of the
  // choice): near 1 when the snare came on every slow beat, near 0 on every other one.
  double last_backbeat_balance() const noexcept { return last_balance_; }

 private:
  double backbeat_balance(const OnsetWindow& window, double slow_period) const;

  double hops_per_second_;
  double shortest_ = 0.0;  // the period range in hops
  double longest_ = 0.0;
  bool fast_ = false;  // the octave chosen last
  bool chosen_ = false;
  double last_balance_ = 0.0;
  mutable std::vector<double> scratch_;
  std::vector<double> lags_;
  std::vector<double> mix_;
};

}  // namespace apehost::audio::detail
