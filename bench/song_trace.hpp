#pragma once
// A synthetic, song-like sound trace for the benchmarks: 60 frames a second, a beat every 30 frames
// (120 beats a minute) with a kick that lifts the bass bins and decays, a snare on every second
// beat that lights the middle bins, a hi-hat between the beats in the treble, a slowly swelling
// pad, and a quiet noise floor. Every 16 bars the music drops out for two beats, so the effects
// also pass through near-silence. Integer arithmetic only: the trace is the same on every machine.

#include <cstdint>
#include <vector>

#include "apefw/ape_abi.h"

namespace apebench {

struct SoundFrame {
  std::uint8_t bytes[APE_SOUND_BYTES];
  int beat;
};

inline constexpr int kFramesPerBeat = 30;
inline constexpr int kSongFrames = 64 * kFramesPerBeat;  // 32 s

inline std::vector<SoundFrame> song_trace() {
  std::vector<SoundFrame> frames(kSongFrames);
  std::uint32_t noise = 0x1234567u;
  const auto next_noise = [&noise] {
    noise = noise * 1664525u + 1013904223u;
    return static_cast<int>(noise >> 26);  // 0..63
  };
  for (int f = 0; f < kSongFrames; ++f) {
    SoundFrame& frame = frames[static_cast<std::size_t>(f)];
    const int beat_index = f / kFramesPerBeat;
    const int since_beat = f % kFramesPerBeat;
    const bool drop = beat_index % 32 >= 30;  // the last two beats of every 16 bars
    frame.beat = since_beat == 0 && !drop;

    const int kick = drop ? 0 : 255 * (kFramesPerBeat - since_beat) / kFramesPerBeat;
    const int snare = (!drop && beat_index % 2 == 1 && since_beat < 8) ? 200 - 25 * since_beat : 0;
    const int hat = (!drop && since_beat >= 15 && since_beat < 19) ? 150 : 0;
    const int bar_phase = f % 240;  // the pad swells and fades over each bar
    const int pad = drop ? 10 : 40 + (bar_phase < 120 ? bar_phase : 240 - bar_phase) / 2;

    std::uint8_t* const left = frame.bytes;
    std::uint8_t* const right = frame.bytes + APE_SOUND_BINS;
    for (int i = 0; i < APE_SOUND_BINS; ++i) {
      // Music is loudest low down; each part sits in its own range of bins.
      int level = pad * 48 / (48 + i);
      if (i < 12) level += kick * (12 - i) / 12;
      if (i >= 16 && i < 80) level += snare * (80 - i) / 64;
      if (i >= 120 && i < 400) level += hat * (400 - i) / 280;
      level += drop ? next_noise() / 8 : next_noise() / 2;
      level = level > 255 ? 255 : level;
      left[i] = static_cast<std::uint8_t>(level);
      right[i] = static_cast<std::uint8_t>(level * 7 / 8);
    }
    // The waveform half: a plain wave at the kick's loudness (the effects do not read it).
    for (int i = 0; i < 2 * APE_SOUND_BINS; ++i) {
      frame.bytes[2 * APE_SOUND_BINS + i] =
          static_cast<std::uint8_t>(128 + ((i % 64 < 32 ? i % 32 : 31 - i % 32) - 16) * kick / 64);
    }
  }
  return frames;
}

}  // namespace apebench
