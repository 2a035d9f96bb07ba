#include "apehost_audio/demo_track.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "render3d/trig.hpp"

namespace apehost::audio {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kRate = kDemoSampleRate;
constexpr std::int64_t kTotalFrames = std::int64_t{kDemoSampleRate} * kDemoSeconds;
constexpr double kBeatSeconds = 60.0 / kDemoBeatsPerMinute;
constexpr int kBeatsPerBar = 4;
// 16 bars of four beats at 128 bpm last exactly 30 s.
constexpr int kBars = 16;
// The loudest sample after mixing is scaled to this: -1 dBFS, clear of clipping after 16-bit
// conversion and of an encoder's overshoot.
constexpr double kPeakLevel = 0.891;
constexpr double kFadeOutSeconds = 2.5;

// One bar per chord, four times round: Am - F - C - G. Each chord lists its pad voicing (MIDI
// notes, close voice leading so the pad glides), the bass root and the arpeggio's notes.
struct Chord {
  std::array<int, 4> pad;
  int bass;
  std::array<int, 4> arpeggio;
};
constexpr std::array<Chord, 4> kProgression = {{
    {{57, 60, 64, 69}, 33, {69, 72, 76, 81}},  // A minor: A3 C4 E4 A4, bass A1
    {{57, 60, 65, 69}, 29, {65, 69, 72, 77}},  // F major: A3 C4 F4 A4, bass F1
    {{55, 60, 64, 67}, 36, {67, 72, 76, 79}},  // C major: G3 C4 E4 G4, bass C2
    {{55, 59, 62, 67}, 31, {67, 71, 74, 79}},  // G major: G3 B3 D4 G4, bass G1
}};

// The arrangement: which parts play in which bar. An intro of pad and hats, a first section, a
// breakdown without kick and bass, a fuller second section, and a last bar that fades.
bool kick_plays(int bar) { return bar >= 2 && bar != 8 && bar != 9; }
bool bass_plays(int bar) { return bar >= 2 && bar != 8; }
bool clap_plays(int bar) { return (bar >= 4 && bar <= 7) || (bar >= 10 && bar <= 14); }
bool arpeggio_plays(int bar) { return bar >= 6; }
bool hats_play(int bar) { return bar >= 1; }
bool busy_hats(int bar) { return bar >= 10 && bar <= 14; }

double midi_hz(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

std::int64_t sample_at(double seconds) { return static_cast<std::int64_t>(seconds * kRate + 0.5); }

double beat_time(int bar, double beat) { return (bar * kBeatsPerBar + beat) * kBeatSeconds; }

// Sine of a phase given in cycles; the phase is wrapped first so the argument stays small.
double sine_cycles(double phase) {
  return render3d::trig::sin(kTwoPi * (phase - std::floor(phase)));
}

// A one-shot sound is cut off after length samples; the last 10 ms fade to zero so the cut does not
// click.
double tail_fade(std::int64_t n, std::int64_t length) {
  const double left = static_cast<double>(length - n) / (0.01 * kRate);
  return left < 1.0 ? left : 1.0;
}

// One-pole low-pass coefficient for a cutoff in Hz.
double one_pole(double cutoff) { return 1.0 - std::exp(-kTwoPi * cutoff / kRate); }

// The band-limited step correction of a sawtooth (polyBLEP): removes the aliasing a naive ramp
// would fold back into the audible range. t is the phase in cycles, dt the phase step.
double blep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0;
  }
  if (t > 1.0 - dt) {
    t = (t - 1.0) / dt;
    return t * t + t + t + 1.0;
  }
  return 0.0;
}

struct Saw {
  double phase = 0.0;
  double next(double hz) {
    const double dt = hz / kRate;
    const double value = 2.0 * phase - 1.0 - blep(phase, dt);
    phase += dt;
    if (phase >= 1.0) phase -= 1.0;
    return value;
  }
};

// The track's only source of randomness: a xorshift generator with a fixed seed, so every call
// gives the same noise.
class Noise {
 public:
  double next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<double>(state_) / 2147483648.0 - 1.0;  // -1 .. 1
  }

 private:
  std::uint32_t state_ = 0x2545F491u;
};

// A stereo mix bus in doubles. pan runs from -1 (left) to +1 (right) with equal power.
struct Bus {
  std::vector<double> left = std::vector<double>(static_cast<std::size_t>(kTotalFrames), 0.0);
  std::vector<double> right = std::vector<double>(static_cast<std::size_t>(kTotalFrames), 0.0);

  void add(std::int64_t i, double value, double pan) {
    if (i < 0 || i >= kTotalFrames) return;
    left[static_cast<std::size_t>(i)] += value * std::sqrt(0.5 * (1.0 - pan));
    right[static_cast<std::size_t>(i)] += value * std::sqrt(0.5 * (1.0 + pan));
  }
};

// Kick: a sine whose pitch falls from about 160 Hz to 48 Hz in the first tens of milliseconds (the
// fall is the thump), under a short attack and a quarter-second decay.
void render_kick(Bus& bus, double time, double gain) {
  const std::int64_t start = sample_at(time);
  const std::int64_t length = sample_at(0.6);
  const double sweep = 0.035;
  for (std::int64_t n = 0; n < length; ++n) {
    const double t = n / kRate;
    // The phase is the integral of 48 + 110 exp(-t / sweep) Hz.
    const double phase = 48.0 * t + 110.0 * sweep * (1.0 - std::exp(-t / sweep));
    const double envelope = std::min(1.0, t / 0.001) * std::exp(-t / 0.16) * tail_fade(n, length);
    bus.add(start + n, gain * envelope * sine_cycles(phase), 0.0);
  }
}

// Hat: noise through two high-pass stages around 6 kHz, decaying fast (closed) or slower (open).
void render_hat(Bus& bus, Noise& noise, double time, double decay, double gain, double pan) {
  const std::int64_t start = sample_at(time);
  const std::int64_t length = sample_at(decay * 6.0);
  const double a = one_pole(6000.0);
  double low1 = 0.0;
  double low2 = 0.0;
  for (std::int64_t n = 0; n < length; ++n) {
    const double t = n / kRate;
    const double x = noise.next();
    low1 += a * (x - low1);
    const double high1 = x - low1;
    low2 += a * (high1 - low2);
    const double high2 = high1 - low2;
    bus.add(start + n, gain * std::exp(-t / decay) * tail_fade(n, length) * high2, pan);
  }
}

// Clap: band-limited noise struck three times in quick succession, then a short tail.
void render_clap(Bus& bus, Noise& noise, double time, double gain) {
  const std::int64_t start = sample_at(time);
  const std::int64_t length = sample_at(0.35);
  const double high_pass = one_pole(900.0);
  const double low_pass = one_pole(3500.0);
  double low = 0.0;
  double band = 0.0;
  for (std::int64_t n = 0; n < length; ++n) {
    const double t = n / kRate;
    const double x = noise.next();
    low += high_pass * (x - low);
    band += low_pass * ((x - low) - band);
    double envelope = std::exp(-t / 0.07);
    for (const double strike : {0.0, 0.011, 0.022}) {
      if (t >= strike) envelope += std::exp(-(t - strike) / 0.004);
    }
    bus.add(start + n, gain * 0.5 * envelope * tail_fade(n, length) * band, 0.0);
  }
}

// Bass: a sawtooth and a sine an octave below it, low-passed, plucked.
void render_bass(Bus& bus, double time, double seconds, int note, double gain) {
  const std::int64_t start = sample_at(time);
  const std::int64_t held = sample_at(seconds);
  const std::int64_t length = held + sample_at(0.03);
  const double hz = midi_hz(note + 12);
  const double a = one_pole(420.0);
  Saw saw;
  double low1 = 0.0;
  double low2 = 0.0;
  for (std::int64_t n = 0; n < length; ++n) {
    const double t = n / kRate;
    const double tone = 0.6 * saw.next(hz) + 0.9 * sine_cycles(0.5 * hz * t);
    low1 += a * (tone - low1);
    low2 += a * (low1 - low2);
    double envelope = std::min(1.0, t / 0.004) * (0.55 + 0.45 * std::exp(-t / 0.08));
    if (n >= held)
      envelope *= 1.0 - static_cast<double>(n - held) / static_cast<double>(length - held);
    bus.add(start + n, gain * envelope * low2, 0.0);
  }
}

// Arpeggio note: a sine with a little second and third harmonic, struck and decaying like a soft
// mallet.
void render_pluck(Bus& bus, double time, int note, double gain, double pan) {
  const std::int64_t start = sample_at(time);
  const std::int64_t length = sample_at(0.8);
  const double hz = midi_hz(note);
  for (std::int64_t n = 0; n < length; ++n) {
    const double t = n / kRate;
    const double phase = hz * t;
    const double tone = sine_cycles(phase) + 0.25 * sine_cycles(2.0 * phase) * std::exp(-t / 0.05) +
                        0.08 * sine_cycles(3.0 * phase) * std::exp(-t / 0.03);
    const double envelope = std::min(1.0, t / 0.002) * std::exp(-t / 0.14) * tail_fade(n, length);
    bus.add(start + n, gain * envelope * tone, pan);
  }
}

// Pad: each chord note as two sawtooths detuned apart and spread left and right, through a gentle
// low-pass, with slow swells so one chord flows into the next.
void render_pad(Bus& bus) {
  const double bar_seconds = kBeatsPerBar * kBeatSeconds;
  const double attack = 0.35;
  const double release = 0.5;
  for (int bar = 0; bar < kBars; ++bar) {
    const Chord& chord = kProgression[static_cast<std::size_t>(bar % 4)];
    const double begin = bar * bar_seconds;
    const std::int64_t start = sample_at(begin);
    const std::int64_t held = sample_at(bar_seconds);
    const std::int64_t length = held + sample_at(release);
    for (int voice = 0; voice < 4; ++voice) {
      const double hz = midi_hz(chord.pad[static_cast<std::size_t>(voice)]);
      // Detune by about 6 cents either way; the slow beating between the two is the pad's shimmer.
      const double detune = 1.0035;
      Saw saw_left;
      Saw saw_right;
      // Start each voice somewhere else in its cycle so the chord does not click in as one edge.
      saw_left.phase = 0.13 * voice;
      saw_right.phase = 0.57 + 0.11 * voice;
      const double a = one_pole(2000.0);
      double low_left1 = 0.0, low_left2 = 0.0, low_right1 = 0.0, low_right2 = 0.0;
      for (std::int64_t n = 0; n < length; ++n) {
        const double t = n / kRate;
        low_left1 += a * (saw_left.next(hz / detune) - low_left1);
        low_left2 += a * (low_left1 - low_left2);
        low_right1 += a * (saw_right.next(hz * detune) - low_right1);
        low_right2 += a * (low_right1 - low_right2);
        double envelope = std::min(1.0, t / attack);
        if (n >= held)
          envelope *= 1.0 - static_cast<double>(n - held) / static_cast<double>(length - held);
        bus.add(start + n, 0.055 * envelope * low_left2, -0.6);
        bus.add(start + n, 0.055 * envelope * low_right2, 0.6);
      }
    }
  }
}

// A ping-pong echo three sixteenths long: puts the arpeggio in a room without a reverb.
void add_echo(const Bus& dry, Bus& out) {
  const std::int64_t delay = sample_at(0.75 * kBeatSeconds);
  std::vector<double> echo_left(dry.left.size(), 0.0);
  std::vector<double> echo_right(dry.right.size(), 0.0);
  const double feedback = 0.38;
  for (std::int64_t i = 0; i < kTotalFrames; ++i) {
    const auto s = static_cast<std::size_t>(i);
    double from_left = 0.0;
    double from_right = 0.0;
    if (i >= delay) {
      const auto d = static_cast<std::size_t>(i - delay);
      // Cross the channels on every repeat: left echoes on the right and back.
      from_left = echo_right[d] * feedback + (dry.left[d] + dry.right[d]) * 0.5;
      from_right = echo_left[d] * feedback;
    }
    echo_left[s] = from_left;
    echo_right[s] = from_right;
    out.left[s] += dry.left[s] + 0.45 * echo_left[s];
    out.right[s] += dry.right[s] + 0.45 * echo_right[s];
  }
}

}  // namespace

AudioBuffer synthesize_demo_track() {
  Noise noise;
  Bus drums;
  Bus music;  // ducked under the kick
  Bus arpeggio;

  render_pad(music);

  for (int bar = 0; bar < kBars; ++bar) {
    const Chord& chord = kProgression[static_cast<std::size_t>(bar % 4)];
    for (int beat = 0; beat < kBeatsPerBar; ++beat) {
      if (kick_plays(bar)) render_kick(drums, beat_time(bar, beat), 0.95);
      if (clap_plays(bar) && (beat == 1 || beat == 3))
        render_clap(drums, noise, beat_time(bar, beat), 0.35);
      if (hats_play(bar)) {
        // Closed hats on the off-beats, an open one closing each bar.
        const bool open = beat == 3 && bar % 2 == 1;
        render_hat(drums, noise, beat_time(bar, beat + 0.5), open ? 0.09 : 0.03, open ? 0.16 : 0.22,
                   0.25);
        if (busy_hats(bar)) {
          render_hat(drums, noise, beat_time(bar, beat + 0.25), 0.018, 0.1, -0.3);
          render_hat(drums, noise, beat_time(bar, beat + 0.75), 0.018, 0.1, -0.3);
        }
      }
      if (bass_plays(bar)) {
        // Rolling eighths on the root, the last one of the bar an octave up. The kick ducks the
        // ones on the beat, so the beat stays the kick's.
        render_bass(music, beat_time(bar, beat), 0.6 * 0.5 * kBeatSeconds, chord.bass, 0.42);
        const int note = chord.bass + (beat == 3 ? 12 : 0);
        render_bass(music, beat_time(bar, beat + 0.5), 0.6 * 0.5 * kBeatSeconds, note, 0.42);
      }
    }
    if (arpeggio_plays(bar)) {
      // Sixteenths up and down the chord: 0 1 2 3 2 1 0 1 ...
      static constexpr std::array<int, 6> kPattern = {0, 1, 2, 3, 2, 1};
      for (int step = 0; step < 16; ++step) {
        const int note =
            chord.arpeggio[static_cast<std::size_t>(kPattern[static_cast<std::size_t>(step % 6)])];
        const double accent = step % 4 == 0 ? 1.0 : 0.7;
        render_pluck(arpeggio, beat_time(bar, step * 0.25), note, 0.07 * accent,
                     step % 2 == 0 ? -0.35 : 0.35);
      }
    }
  }

  // The kick pushes the pad and bass down for a moment: the pumping that keeps the low end clear.
  std::vector<double> duck(static_cast<std::size_t>(kTotalFrames), 1.0);
  for (int bar = 0; bar < kBars; ++bar) {
    if (!kick_plays(bar)) continue;
    for (int beat = 0; beat < kBeatsPerBar; ++beat) {
      const std::int64_t start = sample_at(beat_time(bar, beat));
      const std::int64_t length = sample_at(kBeatSeconds);
      for (std::int64_t n = 0; n < length && start + n < kTotalFrames; ++n) {
        const double t = n / kRate;
        const double amount = 1.0 - 0.45 * std::exp(-t / 0.09);
        auto& d = duck[static_cast<std::size_t>(start + n)];
        d = std::min(d, amount);
      }
    }
  }

  Bus mix;
  add_echo(arpeggio, mix);
  double peak = 0.0;
  for (std::int64_t i = 0; i < kTotalFrames; ++i) {
    const auto s = static_cast<std::size_t>(i);
    mix.left[s] += drums.left[s] + music.left[s] * duck[s];
    mix.right[s] += drums.right[s] + music.right[s] * duck[s];
    // A short fade in against a click, a long one out so the track ends rather than stops.
    const double t = i / kRate;
    double fade = std::min(1.0, t / 0.02);
    const double to_end = kDemoSeconds - t;
    if (to_end < kFadeOutSeconds) fade *= to_end / kFadeOutSeconds;
    mix.left[s] *= fade;
    mix.right[s] *= fade;
    peak = std::max({peak, std::fabs(mix.left[s]), std::fabs(mix.right[s])});
  }

  AudioBuffer track;
  track.sample_rate = kDemoSampleRate;
  track.channels = 2;
  track.samples.resize(static_cast<std::size_t>(kTotalFrames) * 2);
  const double scale = peak > 0.0 ? kPeakLevel / peak : 1.0;
  for (std::int64_t i = 0; i < kTotalFrames; ++i) {
    const auto s = static_cast<std::size_t>(i);
    track.samples[2 * s] = static_cast<float>(mix.left[s] * scale);
    track.samples[2 * s + 1] = static_cast<float>(mix.right[s] * scale);
  }
  return track;
}

}  // namespace apehost::audio
