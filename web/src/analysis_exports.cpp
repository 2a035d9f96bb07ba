// The C functions analysis.wasm exports: apehost's own sound analysis (frame timing, spectrum and
// waveform bytes, refined beats) and its demo track, for the page's analysis worker and for Node.
// Sizes and positions cross as doubles (exact up to 2^53), pointers as wasm32 addresses.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "apehost_audio/audio_reader.hpp"
#include "apehost_audio/demo_track.hpp"
#include "apehost_audio/sound_analysis.hpp"

#define WEB_EXPORT extern "C" __attribute__((used, visibility("default")))

namespace {

using apehost::audio::SoundAnalyser;
using apehost::audio::SoundFrame;

// The analyser and a scratch buffer the host writes incoming samples into before feed().
struct Session {
  SoundAnalyser analyser;
  int channels;
  float* input = nullptr;
  std::size_t input_frames = 0;
};

}  // namespace

// The demo track, interleaved stereo at kDemoSampleRate: the pointer to its samples (the host
// frees it with free()), and its length in sample frames through frames. Null when out of memory.
WEB_EXPORT float* web_demo_track(double* frames) {
  const apehost::audio::AudioBuffer demo = apehost::audio::synthesize_demo_track();
  auto* samples = static_cast<float*>(std::malloc(demo.samples.size() * sizeof(float)));
  if (samples == nullptr) return nullptr;
  std::memcpy(samples, demo.samples.data(), demo.samples.size() * sizeof(float));
  *frames = static_cast<double>(demo.frame_count());
  return samples;
}

WEB_EXPORT int web_demo_sample_rate() { return apehost::audio::kDemoSampleRate; }

// A streaming analyser for sound of sample_rate and channels (both positive); null otherwise.
WEB_EXPORT Session* web_analyser_new(int sample_rate, int channels, double history_seconds) {
  if (!apehost::audio::usable_sound_format(sample_rate, channels)) return nullptr;
  return new (std::nothrow)
      Session{SoundAnalyser(sample_rate, channels, history_seconds), channels};
}

WEB_EXPORT void web_analyser_delete(Session* session) {
  if (session == nullptr) return;
  std::free(session->input);
  delete session;
}

// Where the host writes frame_count interleaved sample frames for the next feed; null when out of
// memory.
WEB_EXPORT float* web_analyser_input(Session* session, int frame_count) {
  const auto wanted = static_cast<std::size_t>(frame_count < 0 ? 0 : frame_count);
  if (wanted > session->input_frames) {
    auto* grown = static_cast<float*>(std::realloc(
        session->input, wanted * static_cast<std::size_t>(session->channels) * sizeof(float)));
    if (grown == nullptr) return nullptr;
    session->input = grown;
    session->input_frames = wanted;
  }
  return session->input;
}

// Feeds the first frame_count sample frames of the input buffer.
WEB_EXPORT void web_analyser_feed(Session* session, int frame_count) {
  if (frame_count <= 0 || static_cast<std::size_t>(frame_count) > session->input_frames) return;
  session->analyser.feed(session->input, static_cast<std::size_t>(frame_count));
}

// The song's last sample has been fed: its last beats are decided now.
WEB_EXPORT void web_analyser_finish(Session* session) { session->analyser.finish(); }

// How far ahead of a frame a song must be fed for its frame to be the whole-song analysis's.
WEB_EXPORT double web_analyser_lookahead(const Session* session) {
  return static_cast<double>(session->analyser.beat_lookahead());
}

WEB_EXPORT double web_analyser_samples_fed(const Session* session) {
  return static_cast<double>(session->analyser.samples_fed());
}

// The sound data of the frame that ends at end_position, into sound (APE_SOUND_BYTES bytes);
// returns the beat flag.
WEB_EXPORT int web_analyser_frame(Session* session, double end_position, std::uint8_t* sound) {
  const SoundFrame frame = session->analyser.frame_at(static_cast<std::int64_t>(end_position));
  std::memcpy(sound, frame.sound.data(), frame.sound.size());
  return frame.beat ? 1 : 0;
}

// The first sample frame of video frame k at frames_per_second, as apehost counts it.
WEB_EXPORT double web_frame_start_sample(double frame, int sample_rate, int frames_per_second) {
  return static_cast<double>(apehost::audio::frame_start_sample(static_cast<std::int64_t>(frame),
                                                                sample_rate, frames_per_second));
}
