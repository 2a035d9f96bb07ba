#include "drum_songs.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <stdexcept>

namespace audiotest {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr int kStepsPerBar = 16;  // sixteenths of a 4/4 bar
constexpr int kStepsPerBeat = 4;
constexpr double kPeak = 0.9;         // the loudest sample of a song after mixing
constexpr double kTailSeconds = 0.5;  // the last hits ring out after the last bar

// One bar of each part on the sixteenth grid, one character a step. Drums: 'x' a hit, 'o' a soft
// one (a ghost snare, an open hat), '.' nothing. Bass: 'x' a note starts (it holds until the next
// one), '_' it stops, '.' it goes on.
struct Pattern {
  const char* kick;
  const char* snare;
  const char* hat;
  const char* bass;
};

struct Section {
  int bars;
  double bpm_from;  // the tempo of the first beat; the beats between ramp linearly ...
  double bpm_to;    // ... to this tempo at the end of the section
  Pattern pattern;
  double drum_gain;  // 1 in full sections; far less in a quiet intro, 0 in a breakdown
  double bass_gain;
  bool pad;
  int fill_every = 0;  // a snare roll on the last beat of every so many bars; 0: none
};

enum class Swing { none, sixteenths, eighths };

struct Plan {
  const char* name;
  double bpm;
  int rate;
  int channels;
  Swing swing;
  double swing_amount;  // how late a swung step comes, as a fraction of the swung note value
  double noise;         // RMS of the noise floor
  bool reese;           // a bass of two detuned saws, as in drum-and-bass
  std::uint64_t seed;
  std::vector<Section> sections;
  double humanise = 0.003;  // the hits land up to this many seconds either side of the grid
  double hat_gain = 1.0;
  double kick_gain = 1.0;
  double snare_gain = 1.0;
  bool crash = false;  // a crash cymbal on the first beat of every eighth bar
  double duck = 0.0;   // how far the bass and pad duck under each kick (the pumping of dance music)
};

// The patterns.
constexpr Pattern kHipHop = {"x......x..x.....", "....x.......x...", "x.xxx.x.x.xxx.x.",
                             "x......x..x....."};
constexpr Pattern kBoomBap = {"x.....x.x.....x.", "....x.......x..o", "x.x.x.x.x.x.x.x.",
                              "x.....x.x.....x."};
constexpr Pattern kShuffle = {"x.......x.x.....", "....x.......x...", "x.x.x.x.x.x.x.x.",
                              "x...x...x...x..."};
constexpr Pattern kRock = {"x.......x.x.....", "....x.......x...", "x.x.x.x.x.x.x.x.",
                           "x.x.x.x.x.x.x.x."};
constexpr Pattern kHouse = {"x...x...x...x...", "....x.......x...", "x.o.x.o.x.o.x.o.",
                            "..x_..x_..x_..x_"};
constexpr Pattern kPumping = {"x...x...x...x...", "................", "..x...x...x...x.",
                              "x.x.x.x.x.x.x.x."};
constexpr Pattern kTechno = {"x...x...x...x...", "................", "xxoxxxoxxxoxxxox",
                             "x.x.x.x.x.x.x.x."};
constexpr Pattern kBreaks = {"x.....x...x.....", "....x.......x...", "x.x.x.x.x.x.x.x.",
                             "x.....x...x....."};
constexpr Pattern kTwoStep = {"x.........x.....", "....x.......x...", "x.x.x.x.x.x.x.x.",
                              "x.......x..._..."};
constexpr Pattern kJungle = {"x.........x.....", "....x..o.o..x..o", "x.xxx.x.x.xxx.x.",
                             "x.........x....."};
constexpr Pattern kRoller = {"x.........x...x.", "....x.......x...", "xoxoxoxoxoxoxoxo",
                             "x.........x....."};

constexpr Pattern kPunk = {"x.......x.......", "....x.......x...", "x.x.x.x.x.x.x.x.",
                           "x.x.x.x.x.x.x.x."};
constexpr Pattern kHipHop16 = {"x.....x...x..x..", "....x.......x...", "xxxxxxxxxxxxxxxx",
                               "x.....x...x....."};
constexpr Pattern kBreakdown = {"................", "................", "................",
                                "................"};

std::vector<Plan> plans() {
  std::vector<Plan> list = {
      {"hiphop-90-swing",
       90,
       44100,
       1,
       Swing::sixteenths,
       0.3,
       0.003,
       false,
       11,
       {{12, 90, 90, kHipHop, 1.0, 1.0, true, 4}}},
      {"boombap-94",
       94,
       44100,
       1,
       Swing::sixteenths,
       0.12,
       0.004,
       false,
       12,
       {{12, 94, 94, kBoomBap, 1.0, 1.0, false}}},
      {"shuffle-104",
       104,
       44100,
       1,
       Swing::eighths,
       1.0 / 3.0,
       0.003,
       false,
       13,
       {{13, 104, 104, kShuffle, 1.0, 1.0, true}}},
      {"rock-116-live",
       116,
       44100,
       1,
       Swing::none,
       0.0,
       0.003,
       false,
       14,
       {{14, 116, 116, kRock, 1.0, 0.8, true, 4}}},
      {"quiet-intro-120",
       120,
       44100,
       1,
       Swing::none,
       0.0,
       0.002,
       false,
       15,
       {{4, 120, 120, kRock, 0.06, 0.0, true}, {11, 120, 120, kRock, 1.0, 1.0, true}}},
      {"house-124-stereo-48k",
       124,
       48000,
       2,
       Swing::none,
       0.0,
       0.003,
       false,
       16,
       {{16, 124, 124, kHouse, 1.0, 1.0, true}}},
      {"house-126-pumping",
       126,
       44100,
       2,
       Swing::none,
       0.0,
       0.003,
       false,
       27,
       {{16, 126, 126, kPumping, 1.0, 1.0, true}}},
      {"techno-132-noisy",
       132,
       44100,
       1,
       Swing::none,
       0.0,
       0.08,
       false,
       17,
       {{16, 132, 132, kTechno, 1.0, 0.7, false}}},
      {"tempo-change-100-128",
       100,
       44100,
       1,
       Swing::none,
       0.0,
       0.003,
       false,
       18,
       {{6, 100, 100, kRock, 1.0, 1.0, true}, {8, 128, 128, kHouse, 1.0, 1.0, true}}},
      {"breaks-140-breakdown",
       140,
       44100,
       1,
       Swing::sixteenths,
       0.1,
       0.004,
       false,
       19,
       {{8, 140, 140, kBreaks, 1.0, 1.0, true},
        {2, 140, 140, kBreakdown, 0.0, 0.0, true},
        {8, 140, 140, kBreaks, 1.0, 1.0, true}}},
      {"punk-160-live",
       160,
       44100,
       1,
       Swing::none,
       0.0,
       0.004,
       false,
       20,
       {{20, 160, 160, kPunk, 1.0, 1.0, false, 4}}},
      {"dnb-164",
       164,
       44100,
       1,
       Swing::none,
       0.0,
       0.003,
       true,
       21,
       {{20, 164, 164, kTwoStep, 1.0, 1.0, true}}},
      {"ramp-160-176",
       168,
       44100,
       1,
       Swing::none,
       0.0,
       0.003,
       true,
       22,
       {{20, 160, 176, kTwoStep, 1.0, 1.0, true}}},
      {"dnb-172-quiet-intro",
       172,
       44100,
       2,
       Swing::none,
       0.0,
       0.002,
       true,
       23,
       {{4, 172, 172, kTwoStep, 0.08, 0.0, true}, {18, 172, 172, kTwoStep, 1.0, 1.0, true}}},
      {"jungle-176",
       176,
       44100,
       1,
       Swing::sixteenths,
       0.12,
       0.003,
       true,
       24,
       {{22, 176, 176, kJungle, 1.0, 1.0, false, 4}}},
      {"dnb-180-noisy",
       180,
       48000,
       1,
       Swing::none,
       0.0,
       0.05,
       true,
       25,
       {{22, 180, 180, kRoller, 1.0, 1.0, true}}},
      {"hiphop-86-22k",
       86,
       22050,
       1,
       Swing::none,
       0.0,
       0.003,
       false,
       26,
       {{11, 86, 86, kHipHop16, 1.0, 1.0, true}}},
      {"boombap-92-soft-snare",
       92,
       44100,
       1,
       Swing::sixteenths,
       0.15,
       0.004,
       false,
       28,
       {{12, 92, 92, kBoomBap, 1.0, 1.0, true, 4}}},
      {"dnb-170-soft-snare",
       170,
       44100,
       1,
       Swing::none,
       0.0,
       0.01,
       true,
       29,
       {{22, 170, 170, kTwoStep, 1.0, 1.0, true, 8}}},
  };
  for (Plan& plan : list) {
    const std::string name = plan.name;
    // The live drummers: looser timing, a crash every eight bars.
    if (name.find("live") != std::string::npos) {
      plan.humanise = 0.008;
      plan.crash = true;
    }
    // Snares 4.4 dB softer than elsewhere.
    if (name.find("soft-snare") != std::string::npos) plan.snare_gain = 0.6;
    if (name == "boombap-94") plan.humanise = 0.006;  // from old records: loose
    if (name == "house-124-stereo-48k") {
      plan.hat_gain = 2.2;  // loud open hats on the off-beats over a softer kick
      plan.kick_gain = 0.7;
    }
    if (name == "house-126-pumping") {
      plan.duck = 0.6;  // rolling bass and pad ducked under each kick, hats between
      plan.hat_gain = 1.5;
    }
  }
  return list;
}

// A fixed-seed generator of its own per song.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  double uniform() {  // 0 .. 1
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(state_ >> 11) / 9007199254740992.0;
  }
  double signed_unit() { return 2.0 * uniform() - 1.0; }

 private:
  std::uint64_t state_;
};

// sin(x) + sin(2x) / 2 + ... + sin(8x) / 8, a band-limited saw, with one sine and one cosine:
// sin(kx) = 2 cos(x) sin((k - 1)x) - sin((k - 2)x).
double eight_harmonics(double x) {
  const double twice_cos = 2.0 * std::cos(x);
  double before = 0.0;
  double current = std::sin(x);
  double sum = current;
  for (int k = 2; k <= 8; ++k) {
    const double next = twice_cos * current - before;
    before = current;
    current = next;
    sum += current / k;
  }
  return sum;
}

double midi_hz(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

// Am - F - C - G, a chord every bar for the bass and every two bars for the pad.
constexpr std::array<int, 4> kBassRoots = {33, 29, 36, 31};
constexpr std::array<std::array<int, 3>, 4> kPadChords = {
    {{57, 60, 64}, {57, 60, 65}, {55, 60, 64}, {55, 59, 62}}};

// A sine oscillator that turns by a fixed angle a sample: one multiply-add per sample, no sine.
class Rotor {
 public:
  Rotor(double hz, int rate)
      : cos_(std::cos(kTwoPi * hz / rate)), sin_(std::sin(kTwoPi * hz / rate)) {}
  double next() {
    const double value = y_;
    const double x = x_ * cos_ - y_ * sin_;
    y_ = x_ * sin_ + y_ * cos_;
    x_ = x;
    return value;
  }

 private:
  double cos_;
  double sin_;
  double x_ = 1.0;
  double y_ = 0.0;
};

class Mixer {
 public:
  Mixer(int rate, std::int64_t length, int channels, std::uint64_t seed)
      : rate_(rate), random_(seed) {
    for (int c = 0; c < channels; ++c) {
      mix_.emplace_back(static_cast<std::size_t>(length), 0.0);
      music_.emplace_back(static_cast<std::size_t>(length), 0.0);
    }
  }

  // Adds f(t, n) for n samples from time start to every channel (pan: how much more of it the
  // left channel gets than the right, -1 .. 1).
  template <typename Voice>
  void add(double start, double seconds, double pan, Voice&& voice) {
    const auto first = static_cast<std::int64_t>(std::ceil(start * rate_));
    const auto count = static_cast<std::int64_t>(seconds * rate_);
    auto& bus = *bus_;
    const auto length = static_cast<std::int64_t>(bus[0].size());
    for (std::int64_t i = 0; i < count && first + i < length; ++i) {
      if (first + i < 0) continue;
      const double t = static_cast<double>(first + i) / rate_ - start;
      const double value = voice(t);
      for (std::size_t c = 0; c < bus.size(); ++c) {
        const double gain = bus.size() == 1 ? 1.0 : (c == 0 ? 1.0 + 0.3 * pan : 1.0 - 0.3 * pan);
        bus[c][static_cast<std::size_t>(first + i)] += gain * value;
      }
    }
  }

  void kick(double at, double velocity) {
    kicks_.push_back(at);
    add(at, 0.4, 0.0, [&, velocity](double t) {
      // A sine falling from about 160 Hz to 50 Hz, and a click at its start.
      const double phase = 50.0 * t + 110.0 * 0.035 * (1.0 - std::exp(-t / 0.035));
      const double body = std::exp(-t / 0.16) * std::min(1.0, t / 0.0008);
      const double click = 0.3 * random_.signed_unit() * std::exp(-t / 0.003);
      return velocity * (0.9 * body * std::sin(kTwoPi * phase) + click);
    });
  }

  void snare(double at, double velocity) {
    double previous = 0.0;
    add(at, 0.3, -0.1, [&, velocity](double t) {
      const double x = random_.signed_unit();
      const double noise = x - previous;  // a first difference: noise tilted to the highs
      previous = x;
      const double tone = 0.45 * std::sin(kTwoPi * 190.0 * t) * std::exp(-t / 0.05) +
                          0.2 * std::sin(kTwoPi * 330.0 * t) * std::exp(-t / 0.03);
      return velocity * std::min(1.0, t / 0.0005) * (tone + 0.3 * noise * std::exp(-t / 0.09));
    });
  }

  void hat(double at, double velocity, bool open) {
    double x1 = 0.0;
    double x2 = 0.0;
    const double decay = open ? 0.14 : 0.018;
    add(at, open ? 0.45 : 0.1, 0.4, [&, velocity, decay](double t) {
      const double x = random_.signed_unit();
      const double noise = 0.5 * (x - 2.0 * x1 + x2);  // a second difference: only the highs
      x2 = x1;
      x1 = x;
      return velocity * 0.22 * noise * std::exp(-t / decay);
    });
  }

  void crash(double at, double velocity) {
    double x1 = 0.0;
    add(at, 1.6, -0.3, [&, velocity](double t) {
      const double x = random_.signed_unit();
      const double noise = x - x1;
      x1 = x;
      return velocity * 0.35 * noise * std::exp(-t / 0.5) * std::min(1.0, t / 0.001);
    });
  }

  void bass(double at, double seconds, int note, double gain, bool reese) {
    const double hz = midi_hz(note);
    const MusicBus music(*this);
    add(at, seconds + 0.03, 0.0, [=](double t) {
      // A saw of eight harmonics (two detuned ones for a reese), a quick attack, a decay to
      // two thirds, and a short release after the note.
      double saw = eight_harmonics(kTwoPi * hz * t);
      if (reese) saw = 0.5 * (saw + eight_harmonics(kTwoPi * hz * 1.007 * t));
      double envelope = std::min(1.0, t / 0.008) * (0.67 + 0.33 * std::exp(-t / 0.15));
      if (t > seconds) envelope *= std::max(0.0, 1.0 - (t - seconds) / 0.03);
      return gain * 0.22 * envelope * saw;
    });
  }

  void pad(double at, double seconds, const std::array<int, 3>& chord) {
    const MusicBus music(*this);
    for (std::size_t c = 0; c < mix_.size(); ++c) {
      // Each channel its own detuning, so a stereo song's channels differ.
      const double detune = 1.0 + 0.003 * (static_cast<double>(c) + 1.0);
      for (int note : chord) {
        const double hz = midi_hz(note);
        Rotor tone(hz, rate_);
        Rotor detuned(hz * detune, rate_);
        add_channel(c, at, seconds + 0.8, [=](double t) mutable {
          double envelope = std::min(1.0, t / 0.7);
          if (t > seconds) envelope *= std::max(0.0, 1.0 - (t - seconds) / 0.8);
          return 0.035 * envelope * (tone.next() + detuned.next());
        });
      }
    }
  }

  void noise_floor(double rms) {
    // White noise through a gentle one-pole low-pass, scaled to about the RMS asked for.
    double low = 0.0;
    for (std::size_t n = 0; n < mix_[0].size(); ++n) {
      low += 0.5 * (random_.signed_unit() - low);
      const double value = rms * 2.4 * low;
      for (auto& channel : mix_) channel[n] += value;
    }
  }

  // The bass and pad, ducked under each kick when the song pumps (depth 0: not at all), go into
  // the mix.
  void mix_music(double duck_depth) {
    std::vector<double> duck(mix_[0].size(), 1.0);
    for (double at : kicks_) {
      const auto first = static_cast<std::int64_t>(std::ceil(at * rate_));
      for (std::int64_t i = 0; i < rate_ / 3; ++i) {
        const std::int64_t n = first + i;
        if (n < 0 || n >= static_cast<std::int64_t>(duck.size())) continue;
        const double amount = 1.0 - duck_depth * std::exp(-static_cast<double>(i) / rate_ / 0.09);
        duck[static_cast<std::size_t>(n)] = std::min(duck[static_cast<std::size_t>(n)], amount);
      }
    }
    for (std::size_t c = 0; c < mix_.size(); ++c) {
      for (std::size_t n = 0; n < duck.size(); ++n) mix_[c][n] += music_[c][n] * duck[n];
    }
  }

  apehost::audio::AudioBuffer finish() {
    double peak = 1e-9;
    for (const auto& channel : mix_) {
      for (double v : channel) peak = std::max(peak, std::fabs(v));
    }
    apehost::audio::AudioBuffer buffer;
    buffer.sample_rate = rate_;
    buffer.channels = static_cast<int>(mix_.size());
    buffer.samples.resize(mix_[0].size() * mix_.size());
    for (std::size_t n = 0; n < mix_[0].size(); ++n) {
      for (std::size_t c = 0; c < mix_.size(); ++c)
        buffer.samples[n * mix_.size() + c] = static_cast<float>(mix_[c][n] * (kPeak / peak));
    }
    return buffer;
  }

  Random& random() { return random_; }

 private:
  template <typename Voice>
  void add_channel(std::size_t channel, double start, double seconds, Voice&& voice) {
    const auto first = static_cast<std::int64_t>(std::ceil(start * rate_));
    const auto count = static_cast<std::int64_t>(seconds * rate_);
    auto& out = (*bus_)[channel];
    for (std::int64_t i = 0; i < count && first + i < static_cast<std::int64_t>(out.size()); ++i) {
      const double t = static_cast<double>(first + i) / rate_ - start;
      out[static_cast<std::size_t>(first + i)] += voice(t);
    }
  }

  // While one is alive, voices go to the music bus.
  struct MusicBus {
    explicit MusicBus(Mixer& m) : mixer(m) { mixer.bus_ = &mixer.music_; }
    ~MusicBus() { mixer.bus_ = &mixer.mix_; }
    MusicBus(const MusicBus&) = delete;
    MusicBus& operator=(const MusicBus&) = delete;
    Mixer& mixer;
  };

  int rate_;
  Random random_;
  std::vector<std::vector<double>> mix_;    // drums and noise
  std::vector<std::vector<double>> music_;  // bass and pad
  std::vector<std::vector<double>>* bus_ = &mix_;
  std::vector<double> kicks_;
};

// Where the steps of one beat fall, swing included.
double step_time(double beat_start, double beat_seconds, int step, Swing swing, double amount) {
  double t = beat_start + step * beat_seconds / kStepsPerBeat;
  if (swing == Swing::sixteenths && step % 2 == 1) t += amount * beat_seconds / kStepsPerBeat;
  if (swing == Swing::eighths && step == 2) t += amount * beat_seconds / 2.0;
  if (swing == Swing::eighths && step == 3) t += amount * beat_seconds / 4.0;
  return t;
}

DrumSong make(const Plan& plan) {
  // The beats first: their times fix the length.
  struct Beat {
    double start;
    double seconds;
    const Section* section;
    int bar;         // counted from the start of the song
    int beat_index;  // 0..3 within the bar
  };
  std::vector<Beat> beats;
  double t = 0.0;
  int bar = 0;
  for (const Section& section : plan.sections) {
    const int count = section.bars * 4;
    for (int i = 0; i < count; ++i) {
      const double bpm = section.bpm_from + (section.bpm_to - section.bpm_from) * i / count;
      beats.push_back({t, 60.0 / bpm, &section, bar + i / 4, i % 4});
      t += 60.0 / bpm;
    }
    bar += section.bars;
  }
  const double end = t + kTailSeconds;

  Mixer mix(plan.rate, static_cast<std::int64_t>(end * plan.rate), plan.channels, plan.seed);
  Random& random = mix.random();
  auto humanise = [&](double at) { return at + plan.humanise * random.signed_unit(); };
  auto velocity = [&](double base) { return base * (0.85 + 0.15 * random.uniform()); };

  // Bass notes: (start, root) pending until the next note or a stop closes them.
  double bass_start = -1.0;
  int bass_note = 0;
  double bass_gain = 0.0;
  auto close_bass = [&](double at) {
    if (bass_start >= 0.0 && bass_gain > 0.0)
      mix.bass(bass_start, at - bass_start, bass_note, bass_gain, plan.reese);
    bass_start = -1.0;
  };
  for (const Beat& beat : beats) {
    const Section& s = *beat.section;
    for (int k = 0; k < kStepsPerBeat; ++k) {
      const int step = beat.beat_index * kStepsPerBeat + k;
      const double at = step_time(beat.start, beat.seconds, k, plan.swing, plan.swing_amount);
      const char kick = s.pattern.kick[step];
      const char snare = s.pattern.snare[step];
      const char hat = s.pattern.hat[step];
      const char bass = s.pattern.bass[step];
      const bool fill = s.fill_every > 0 && (beat.bar + 1) % s.fill_every == 0 &&
                        beat.beat_index == 3 && s.drum_gain > 0.0;
      const double drums = s.drum_gain;
      if (kick != '.') {
        mix.kick(humanise(at), plan.kick_gain * drums * velocity(kick == 'x' ? 1.0 : 0.5));
      }
      if (fill) {
        mix.snare(humanise(at), plan.snare_gain * drums * velocity(0.5 + 0.15 * k));
      } else if (snare != '.') {
        mix.snare(humanise(at), plan.snare_gain * drums * velocity(snare == 'x' ? 1.0 : 0.35));
      }
      if (hat != '.') {
        mix.hat(humanise(at), plan.hat_gain * drums * velocity(hat == 'x' ? 1.0 : 0.8), hat == 'o');
      }
      if (plan.crash && k == 0 && beat.beat_index == 0 && beat.bar % 8 == 0 && drums > 0.0)
        mix.crash(humanise(at), drums);
      if (bass == 'x' || bass == '_') close_bass(at);
      if (bass == 'x') {
        bass_start = at;
        bass_note = kBassRoots[static_cast<std::size_t>(beat.bar % 4)];
        bass_gain = s.bass_gain;
      }
    }
    if (beat.beat_index == 0 && beat.bar % 2 == 0 && s.pad) {
      // A pad chord every two bars of a section with a pad.
      double chord_end = beat.start;
      for (const Beat& b : beats) {
        if (b.bar >= beat.bar && b.bar < beat.bar + 2) chord_end = b.start + b.seconds;
      }
      mix.pad(beat.start, chord_end - beat.start,
              kPadChords[static_cast<std::size_t>((beat.bar / 2) % 4)]);
    }
  }
  close_bass(t);
  mix.mix_music(plan.duck);
  mix.noise_floor(plan.noise);

  DrumSong song;
  song.name = plan.name;
  song.bpm = plan.bpm;
  song.audio = mix.finish();
  for (const Beat& beat : beats) song.beats.push_back(beat.start);
  return song;
}

}  // namespace

const std::vector<std::string>& drum_song_names() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list;
    for (const Plan& plan : plans()) list.emplace_back(plan.name);
    return list;
  }();
  return names;
}

DrumSong drum_song(const std::string& name) {
  for (const Plan& plan : plans()) {
    if (name == plan.name) return make(plan);
  }
  throw std::out_of_range("no drum song named " + name);
}

double BeatScore::precision() const {
  return detections > 0 ? static_cast<double>(matched) / detections : 0.0;
}
double BeatScore::recall() const {
  return annotations > 0 ? static_cast<double>(matched) / annotations : 0.0;
}
double BeatScore::f_measure() const {
  const double p = precision();
  const double r = recall();
  return p + r > 0.0 ? 2.0 * p * r / (p + r) : 0.0;
}

BeatScore score_beats(const std::vector<double>& detections, const std::vector<double>& annotations,
                      double window) {
  std::vector<double> d = detections;
  std::vector<double> a = annotations;
  std::sort(d.begin(), d.end());
  std::sort(a.begin(), a.end());
  BeatScore score;
  score.detections = static_cast<int>(d.size());
  score.annotations = static_cast<int>(a.size());
  // Both lists in time order, the window narrower than half the distance of two beats: matching
  // each annotation with the earliest unmatched detection in its window is a largest matching.
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < d.size()) {
    if (std::fabs(d[j] - a[i]) <= window) {
      ++score.matched;
      ++i;
      ++j;
    } else if (d[j] < a[i]) {
      ++j;
    } else {
      ++i;
    }
  }
  return score;
}

}  // namespace audiotest
