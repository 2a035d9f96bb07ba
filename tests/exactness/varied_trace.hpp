#pragma once
// A scripted sound trace that walks both effects through everything that changes their pictures:
// silence (the balls at rest, every level halving away), a song-like stretch (a bass pulse on a
// beat every 30 frames, a slow middle band, a noisy treble), a loud stretch with fast beats, a beat
// on every frame, an isolated beat in silence, and channel-unbalanced noise with random beats.
// Integer arithmetic only, so the trace is the same byte for byte on every build.

#include <cstdint>
#include <vector>

#include "apefw/ape_abi.h"

namespace exactness {

struct TraceFrame {
  std::vector<std::uint8_t> sound;  // APE_SOUND_BYTES: spectrum ch0, ch1, then the waveform
  int beat;
};

inline constexpr int kTraceFrames = 240;

// Frame f of the trace.
inline TraceFrame trace_frame(int f) {
  TraceFrame t{std::vector<std::uint8_t>(APE_SOUND_BYTES, 0), 0};
  std::uint8_t* const left = t.sound.data();
  std::uint8_t* const right = left + APE_SOUND_BINS;
  // The waveform is filled with bytes the effects must never read.
  for (int i = 2 * APE_SOUND_BINS; i < APE_SOUND_BYTES; ++i) {
    t.sound[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(0xA5 ^ i ^ f);
  }
  std::uint32_t noise = 0x9E3779B9u * static_cast<std::uint32_t>(f + 1);
  const auto next_noise = [&noise] {
    noise = noise * 1664525u + 1013904223u;
    return noise >> 24;  // 0..255
  };

  if (f < 20 || (f >= 150 && f < 190)) {
    // Silence; one lone beat in the second stretch.
    t.beat = f == 170;
  } else if (f < 100) {
    // Song-like: the bass jumps on the beat and decays, the middle band follows a triangle wave,
    // the treble is quiet noise.
    const int since_beat = (f - 20) % 30;
    t.beat = since_beat == 0;
    const int bass = 250 - 20 * since_beat > 20 ? 250 - 20 * since_beat : 20;
    const int phase = (f * 7) % 200;
    const int middle = phase < 100 ? 30 + phase : 230 - phase;
    for (int i = 0; i < APE_SOUND_BINS; ++i) {
      int level = 0;
      if (i < 8)
        level = bass - 10 * i;
      else if (i < 60)
        level = middle - (i - 8);
      else if (i < 240)
        level = static_cast<int>(next_noise() % 60);
      level = level < 0 ? 0 : level;
      left[i] = static_cast<std::uint8_t>(level);
      right[i] = static_cast<std::uint8_t>(level * 3 / 4);
    }
  } else if (f < 130) {
    // Everything at full level, a beat every third frame.
    t.beat = (f % 3) == 0;
    for (int i = 0; i < APE_SOUND_BINS; ++i) left[i] = right[i] = 255;
  } else if (f < 150) {
    // A beat on every frame over a loud middle band.
    t.beat = 1;
    for (int i = 16; i < 64; ++i) left[i] = right[i] = 200;
  } else {
    // Unbalanced noise with random beats.
    t.beat = (next_noise() & 7) == 0;
    for (int i = 0; i < APE_SOUND_BINS; ++i) {
      left[i] = static_cast<std::uint8_t>(next_noise());
      right[i] = static_cast<std::uint8_t>(next_noise() >> 2);
    }
  }
  return t;
}

}  // namespace exactness
