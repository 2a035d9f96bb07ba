#pragma once
// From audio to the sound data an effect receives with every frame.
//
// Sound data, APE_SOUND_BYTES = 2304 bytes: 576 spectrum bytes of channel 0, 576 of channel 1, 576
// waveform bytes of channel 0, 576 of channel 1. A mono source feeds both channels; of a source
// with more than two channels the first two are shown.
//
// Spectrum: the magnitudes of a Hann-windowed FFT over the 1152 most recent samples, so bin i is
// centred on i x sample_rate / 1152 (38.3 Hz apart at 44.1 kHz) and the 576 bins run from 0 Hz to
// just below half the sample rate. Each magnitude goes to a byte on a decibel scale: a full-scale
// sine centred on a bin gives 255, 80 dB below that gives 0, and silence gives 0 everywhere.
//
// Waveform: the 576 most recent samples as signed 8-bit values in two's complement, sample x
// becoming round(x x 127) (so -1.0 is 0x81 and +1.0 is 0x7F); samples beyond -1..1 are clipped.
//
// Beat: the beats of the mix of all channels, tracked between 75 and 200 bpm from the attacks in
// its spectrum (src/beat_tracker.hpp tells how), the faster of two tempos an octave apart when the
// snare says so (drum-and-bass at 174 bpm, not 87), the phase on the kicks and snares. A frame is a
// beat frame when a beat falls inside it. A beat is decided a few seconds after it (the tempo
// around it, and the beats after it, settle it): beat_lookahead().
//
// Frames: at F frames per second, frame k covers the sample frames from start(k) to start(k + 1),
// start(k) = floor(k x sample_rate / F). Its spectrum and waveform are taken from the samples that
// end where the frame ends, so everything heard during the frame is in its data. Samples before the
// start of the sound count as silence.
//
// Everything here is deterministic: the same samples give the same bytes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "apefw/ape_abi.h"
#include "apehost_audio/audio_buffer.hpp"

namespace apehost::audio {

inline constexpr int kSpectrumBins = APE_SOUND_BINS;
// Twice the bin count: an FFT of this many samples gives exactly 576 bins below half the rate.
inline constexpr int kFftSize = 2 * kSpectrumBins;
inline constexpr int kWaveformSamples = APE_SOUND_BINS;
inline constexpr int kDefaultFramesPerSecond = 60;

// Where each 576-byte block starts in SoundFrame::sound.
constexpr std::size_t spectrum_start(int channel) noexcept {
  return static_cast<std::size_t>(channel) * APE_SOUND_BINS;
}
constexpr std::size_t waveform_start(int channel) noexcept {
  return static_cast<std::size_t>(2 + channel) * APE_SOUND_BINS;
}

struct SoundFrame {
  std::array<std::uint8_t, APE_SOUND_BYTES> sound{};
  bool beat = false;
};

// The first sample frame of frame k at frames_per_second (see "Frames" above).
std::int64_t frame_start_sample(std::int64_t frame, int sample_rate,
                                int frames_per_second) noexcept;

// How many frames cover frame_count sample frames: the last frame may run past the end.
std::int64_t frames_covering(std::int64_t sample_frames, int sample_rate,
                             int frames_per_second) noexcept;

// The frame a sample position falls in: start(k) <= position < start(k + 1).
std::int64_t frame_of_sample(std::int64_t position, int sample_rate,
                             int frames_per_second) noexcept;

// The sound data of every frame of a whole buffer. Empty when the buffer holds no samples, when
// frames_per_second is not positive, or when the buffer's rate or channel count is out of range
// (usable_sound_format, audio_reader.hpp). It holds every frame at
// once: a long song is better analysed piece by piece (SongAnalyser, song_analyser.hpp), which
// gives the same bytes.
std::vector<SoundFrame> analyse(const AudioBuffer& buffer,
                                int frames_per_second = kDefaultFramesPerSecond);

// How many sample frames past a frame's end must have been fed before its beat flag is decided:
// a little over six seconds (most at the start of a song, where the first tempo waits for six
// seconds of sound; about 3.6 s after that). 0 for a rate out of range.
std::int64_t beat_lookahead(int sample_rate);

// How much sound SoundAnalyser keeps by default: enough to be fed beat_lookahead() ahead of the
// picture with time to spare.
inline constexpr double kDefaultHistorySeconds = 8.0;

// The same analysis for sound that arrives while it plays (a live window, a capture device): feed
// the samples as they come, then ask for the frame that ends at a given sample position. It keeps
// history_seconds of samples, so the position may trail the newest sample by that much (less one
// FFT window) when audio is fed ahead of playback.
//
// Two beat trackers listen: the one of analyse(), whose beats are decided beat_lookahead() after
// them, and a quick one that hears only what came before and decides a beat about a sixth of a
// second after it. Fed beat_lookahead() ahead of the picture (a song played from a file), every
// frame is the one analyse() gives, beat flag included. Where the sound has not come that far (a
// capture device, or the first seconds of a song fed just in time), the quick tracker's beats
// stand in, a few frames late.
class SoundAnalyser {
 public:
  // sample_rate and channels must be in range (usable_sound_format; std::invalid_argument
  // otherwise).
  SoundAnalyser(int sample_rate, int channels, double history_seconds = kDefaultHistorySeconds);
  ~SoundAnalyser();
  SoundAnalyser(SoundAnalyser&&) noexcept;
  SoundAnalyser& operator=(SoundAnalyser&&) noexcept;
  SoundAnalyser(const SoundAnalyser&) = delete;
  SoundAnalyser& operator=(const SoundAnalyser&) = delete;

  // Appends frame_count interleaved sample frames (frame_count x channels values).
  void feed(const float* interleaved, std::size_t frame_count);

  // The sound has ended (a song's last sample was fed): its last beats are decided now, as
  // analyse() decides them. Nothing may be fed afterwards.
  void finish();

  // Sample frames fed so far.
  std::int64_t samples_fed() const noexcept;

  // How far ahead of the frames asked for the sound must be fed for them to be analyse()'s:
  // beat_lookahead(sample_rate).
  std::int64_t beat_lookahead() const noexcept;

  // The sound data of the frame that ends at end_position (a sample position counted from the
  // first sample fed). A position past the newest sample is taken as the newest one; one older than
  // the history as the oldest one kept. The beat flag is set when a beat was placed before
  // end_position that no earlier call reported, so no beat is lost and none is reported twice
  // (the quick tracker's beat and the decided one it stood in for are the same beat).
  SoundFrame frame_at(std::int64_t end_position);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace apehost::audio
