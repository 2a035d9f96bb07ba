#pragma once
// Synthetic drum songs with known beat times, for scoring the beat tracker.
//
// Each song is a short arrangement of kick, snare, hats, bass, pad and a noise floor on a grid of
// sixteenths, made in code from a fixed seed (the same samples on every run). The set covers what
// a beat tracker meets in dance and pop music: tempos from 90 to 180 bpm, hip-hop and shuffles
// with swung off-beats, four-on-the-floor house and techno with off-beat bass and hats, rock,
// two-step drum-and-bass and jungle with ghost notes at 160-180 bpm, a tempo change, a tempo ramp,
// quiet intros, a breakdown, fills, a loud noise floor, sidechain pumping, soft snares, stereo, 48
// and 22.05 kHz. The hits are humanised (velocity and a few
// milliseconds of timing); the beats are the unhumanised grid times of the quarter notes.

#include <string>
#include <vector>

#include "apehost_audio/audio_buffer.hpp"

namespace audiotest {

struct DrumSong {
  std::string name;
  double bpm = 0.0;  // the main tempo, for the tables
  apehost::audio::AudioBuffer audio;
  std::vector<double> beats;  // seconds, increasing
};

// The names of the songs, in the order drum_song() knows them.
const std::vector<std::string>& drum_song_names();

// Synthesises one song by name (one of drum_song_names()). Throws std::out_of_range otherwise.
DrumSong drum_song(const std::string& name);

// The beat-tracking F-measure: each detection matches at most one annotation within +-window
// seconds (and each annotation at most one detection); precision is matches / detections, recall
// matches / annotations, F = 2PR / (P + R), 0 when nothing matches.
struct BeatScore {
  int matched = 0;
  int detections = 0;
  int annotations = 0;
  double precision() const;
  double recall() const;
  double f_measure() const;
};
inline constexpr double kBeatWindowSeconds = 0.07;
BeatScore score_beats(const std::vector<double>& detections, const std::vector<double>& annotations,
                      double window = kBeatWindowSeconds);

}  // namespace audiotest
