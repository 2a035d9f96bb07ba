#pragma once
// Beat positions from aubio's tempo tracker, refined against the sound. Internal to apehost_audio.
//
// aubio's tracker finds the tempo well, but the beats it places wander: on a steady click track
// they come a frame or two early, for stretches of several seconds they drift by many frames before
// it jumps back into phase, and on dance music it may settle on the off-beat for a while. So each
// beat it reports is moved onto the strongest attack (a sharp rise of the short-term energy) within
// a fifth of a beat period of one of two places: where the beat is expected, which is aubio's
// position plus the offset the previous beat needed (this follows aubio's drift), and aubio's own
// position (this returns to aubio when it has jumped back, or when following the drift had walked
// onto a lesser attack). When the attack half a period away, on the off-beat, is far stronger than
// both, the beat goes there instead: a kick drum outweighs the hats and bass between kicks. A beat
// with no attack near it (a pad swelling in, a quiet break) stays where it is expected.

#include <aubio/aubio.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace apehost::audio::detail {

// Attacks are compared over spans of this many energy blocks, 10 ms: long enough to hold a whole
// cycle of a kick drum's low note, so one wave of it peaking is not taken for a new attack.
inline constexpr int kSpanBlocks = 4;

class BeatTracker {
 public:
  // sample_rate must be positive.
  explicit BeatTracker(int sample_rate);
  ~BeatTracker();
  BeatTracker(const BeatTracker&) = delete;
  BeatTracker& operator=(const BeatTracker&) = delete;

  // Feeds frame_count interleaved sample frames of channels channels (tracked as their mix) and
  // appends to beats every beat that can be placed by now, as sample positions from the first
  // sample fed, increasing and never negative. A beat can be placed once the sound a fifth of a
  // beat period past it has arrived, so beats come out a little after their position.
  void feed(const float* interleaved, std::size_t frame_count, int channels,
            std::vector<std::int64_t>& beats);

  // At the end of the sound: places the beats still waiting, with what sound there is.
  void finish(std::vector<std::int64_t>& beats);

 private:
  void release() noexcept;
  void run_hop();
  void place_ready_beats(bool at_end, std::vector<std::int64_t>& beats);
  std::int64_t beat_period() const;  // aubio's, in sample frames, within a sane range
  struct Attack {
    std::int64_t position = -1;  // where it starts; -1: none found
    double rise = 0.0;           // how much the block energy rose: the attack's strength
  };
  // The strongest attack starting within radius of centre.
  Attack strongest_attack(std::int64_t centre, std::int64_t radius) const;
  double block_energy(std::int64_t start) const;
  float sample(std::int64_t position) const;  // the mono mix at a position, 0 where not kept

  int hop_size_ = 0;
  int block_size_ = 0;               // samples per energy block of the attack search
  std::int64_t silence_limit_ = 0;   // sample frames of silence after which beats are dropped
  std::int64_t default_period_ = 0;  // beat period assumed until aubio has one (120 bpm)
  std::int64_t min_period_ = 0;
  std::int64_t max_period_ = 0;

  aubio_tempo_t* tempo_ = nullptr;
  fvec_t* hop_ = nullptr;
  fvec_t* result_ = nullptr;
  int filled_ = 0;                // samples waiting in hop_
  std::int64_t hop_start_ = 0;    // sample position of hop_'s first sample
  std::uint32_t last_beat_ = 0;   // aubio's last beat position as it last reported it
  std::int64_t last_sound_ = -1;  // start of the last hop that was not silent; -1 before any

  std::vector<float> history_;        // the mono mix; sample position p at p mod history_.size()
  std::int64_t fed_ = 0;              // sample frames fed
  std::deque<std::int64_t> waiting_;  // aubio's beats not yet placed
  std::int64_t offset_ = 0;  // how far the last placed beat was moved from aubio's position
  std::int64_t last_placed_ = -1;
  mutable std::vector<double> energies_;  // scratch of strongest_attack
};

// The tracker's hop: the power of two nearest to sample_rate / 86, which is aubio's usual 512 at
// 44.1 and 48 kHz and keeps the hop near 11.6 ms at other rates.
int beat_hop_size(int sample_rate) noexcept;

}  // namespace apehost::audio::detail
