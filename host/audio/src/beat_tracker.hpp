#pragma once
// Beat positions from the sound, as it arrives, with a bounded look-ahead. Internal to
// apehost_audio.
//
// Three stages, each a fixed number of hops (onset_features.hpp) behind the one before:
// 1. Onset measures per hop: the spectral flux less its mean over the 46 ms around it (so only
//    sharp rises stand out), and how much the kick band's and the snare band's levels rose.
// 2. Every 0.19 s, the beat period of the six seconds of onsets that end a lead after the hops it
//    is for (tempo_estimator.hpp): the tempo follows changes within a few seconds, and with a lead
//    knows what comes next as well as what came before.
// 3. Dynamic programming over the hops: a hop's score is its onset strength (the whole spectrum's
//    flux and the snare band's attacks, each scaled to the window's RMS, so the phase follows kicks
//    and snares rather than hats) plus the best score of a beat 0.5 to 2 periods before it, less a
//    penalty growing with the square of the log of how far that spacing is from the period. The
//    beats are the chain of best predecessors back from the best-scoring hop of the last period.
//    A beat is final once the chain has run a while past it (a second, for a whole song): by then
//    every later chain passes through it.
//
// Beats are not placed where no sound has been heard for a second (the music has stopped), and at
// the end of the sound, not after its last clear attack. Everything runs hop by hop, whatever the
// sizes of the chunks fed, so the same sound gives the same beats fed at once or in pieces; and the
// memory it keeps is the same for a song of any length.

#include <aubio/aubio.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "hop_ring.hpp"
#include "onset_features.hpp"
#include "tempo_estimator.hpp"

namespace apehost::audio::detail {

// How long the tracker listens before and after a beat.
struct BeatTiming {
  double first_estimate_seconds;  // the first tempo estimate waits for this much sound
  double tempo_lead_seconds;      // an estimate is for the hops this long before its window's end
  double commit_lag_seconds;      // a beat is final once the chain has run this far past it
  bool attacks_before_tempo;      // until the first estimate, each clear attack is a beat
};
// For the frames of a whole song: the tempo knows the 2.5 s after each beat, a beat is final 1 s
// after, and the first estimate has a whole window. A beat is final a few seconds after it is fed.
inline constexpr BeatTiming kExactTiming{6.0, 2.5, 1.0, false};
// For sound shown as it arrives: the tempo knows only what came before, and a beat is final a
// tenth of a second after it (a beat's attack has peaked by then). Until there is a tempo, the
// picture flashes on the clear attacks.
inline constexpr BeatTiming kQuickTiming{3.0, 0.0, 0.1, true};

class BeatTracker {
 public:
  // sample_rate must be positive.
  BeatTracker(int sample_rate, const BeatTiming& timing);
  ~BeatTracker();
  BeatTracker(const BeatTracker&) = delete;
  BeatTracker& operator=(const BeatTracker&) = delete;

  // Feeds frame_count interleaved sample frames of channels channels (tracked as their mix) and
  // appends to beats every beat that became final, as sample positions from the first sample fed,
  // increasing.
  void feed(const float* interleaved, std::size_t frame_count, int channels,
            std::vector<std::int64_t>& beats);

  // At the end of the sound: places the beats still open, with what sound there is. Nothing may
  // be fed afterwards.
  void finish(std::vector<std::int64_t>& beats);

  // Every beat before this sample position has been appended; after finish(), every beat.
  std::int64_t final_until() const noexcept;

  // The most sample frames that final_until() trails the samples fed by (at the start of the
  // sound, where the first tempo waits for a whole window).
  std::int64_t lookahead() const noexcept;

  // The beat period in sample frames as the last tempo estimate found it; 0 before the first.
  double period_samples() const noexcept;

 private:
  void run_hop(const float* mono_hop);
  void measure_onsets(std::int64_t index);
  void place_attack_beat(std::int64_t newest);
  double attack_score(std::int64_t index) const;
  void estimate_tempo(std::int64_t newest);
  void extend_chain(std::int64_t until);
  void run_chain(std::int64_t until);
  void commit(std::int64_t newest, bool at_end, std::vector<std::int64_t>& beats);
  std::int64_t best_chain_end(std::int64_t newest) const;
  bool heard_before(std::int64_t index) const;
  std::int64_t position_of(std::int64_t hop_index) const noexcept;
  void set_penalties(double period);

  int hop_ = 0;
  double hops_per_second_ = 0.0;
  std::int64_t mean_span_ = 0;  // stage 1: the flux's mean is taken this many hops either side
  std::int64_t rise_span_ = 0;  // and band levels compared this many hops after and before
  std::int64_t kick_rise_span_ = 0;
  std::int64_t window_hops_ = 0;  // stage 2
  std::int64_t first_estimate_hops_ = 0;
  std::int64_t step_hops_ = 0;
  std::int64_t tempo_lead_hops_ = 0;
  std::int64_t commit_lag_hops_ = 0;  // stage 3
  std::int64_t silence_hops_ = 0;
  bool attacks_before_tempo_ = false;
  std::int64_t attack_spacing_hops_ = 0;

  OnsetFeatures features_;
  TempoEstimator tempo_;
  std::vector<float> mono_;  // the hop being filled
  int filled_ = 0;
  std::int64_t fed_ = 0;

  // Stage 1 input: per hop, as measured.
  HopRing<double> flux_;
  HopRing<double> kick_level_;
  HopRing<double> snare_level_;
  HopRing<std::int64_t> last_sound_;  // the newest hop at or before this one with sound; -1: none
  // Stage 1 output.
  HopRing<double> onset_;
  HopRing<double> kick_rise_;
  HopRing<double> snare_rise_;
  // Stage 2 output, per hop.
  HopRing<double> period_;
  HopRing<double> onset_scale_;
  HopRing<double> snare_scale_;
  HopRing<double> kick_scale_;
  bool estimated_ = false;
  double current_period_ = 0.0;
  double current_onset_scale_ = 0.0;
  double current_snare_scale_ = 0.0;
  double current_kick_scale_ = 0.0;
  OnsetWindow window_;
  // Stage 3.
  HopRing<double> score_;
  HopRing<std::int64_t> previous_;  // the best predecessor; -1: none
  std::vector<double> penalties_;   // by distance in hops, for penalty_period_
  double penalty_period_ = 0.0;
  std::int64_t final_hop_ = -1;    // every beat at or before this hop has been placed
  std::int64_t last_beat_ = -1;    // the last beat placed, as a hop
  std::int64_t last_attack_ = -1;  // the last hop with a clear attack
  bool finished_ = false;
  std::vector<std::int64_t> chain_;        // scratch
  std::vector<std::int64_t> early_beats_;  // attack beats, until feed() hands them on
  std::int64_t first_sound_ = -1;          // the first hop with sound, once attack beats saw it
  double onset_power_ = 0.0;               // sums of squares of the onset measures so far
  double kick_power_ = 0.0;
  double snare_power_ = 0.0;
};

}  // namespace apehost::audio::detail
