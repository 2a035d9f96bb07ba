#pragma once
// The built-in demo track: 30 seconds of kick, bass, hats, a pad and a soft arpeggio over the chord
// progression Am - F - C - G at 128 beats per minute, synthesised in code so apehost can show both
// effects without any sound file. Stereo float at 44.1 kHz, peak at about -1 dBFS, and the same
// samples on every call (its noise comes from a fixed-seed generator of its own).

#include "apehost_audio/audio_buffer.hpp"

namespace apehost::audio {

inline constexpr int kDemoSampleRate = 44100;
inline constexpr int kDemoSeconds = 30;
inline constexpr double kDemoBeatsPerMinute = 128.0;

AudioBuffer synthesize_demo_track();

}  // namespace apehost::audio
