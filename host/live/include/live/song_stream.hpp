#pragma once
// host/live: uses plugin, audio and base, and SDL (inside its sources only); used by cli.
//
// A song played as it is decoded, in memory that does not grow with the song. A thread of its own
// decodes the song (SongSource) a few seconds ahead of what is heard into two bounded rings
// (SampleRing): one the output device's callback drains, one the analysis drains. The window's
// thread feeds the analysis (audio::SoundAnalyser) the beat look-ahead ahead of the picture and
// tells it where the song ends, so the frames are the ones audio::analyse() gives for the whole
// song, beat flags included.
//
// Three threads, sharing only atomics and the rings: the decoding thread; the device's callback
// (play(): no lock, no allocation); and the window's thread (everything else).
//
// Seeking restarts the decoding and the analysis where the seek lands, one spectrum window early so
// the first frame there is whole: from then on the frames are those of the song as if it began
// there. The beat tracker starts afresh, so just after a seek the beats are the ones the song would
// have from that point on: the first tempo is settled from the first seconds of sound after it, as
// at the start of a song.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "apehost_audio/sound_analysis.hpp"
#include "live/sample_ring.hpp"
#include "live/song_source.hpp"

namespace apehost {

// How long the window's thread waits for the decoding thread (at the start of a song, after a
// seek, or when decoding falls behind) before it shows what it has.
inline constexpr double kDecodeWaitSeconds = 0.5;

class SongStream {
 public:
  // offset_frames: how far what is shown trails what is heard (negative: leads it), in sample
  // frames. Without a device (a silent playback), nothing is decoded for one. The decoding starts
  // at once.
  SongStream(std::unique_ptr<SongSource> source, bool with_device, std::int64_t offset_frames,
             double wait_seconds = kDecodeWaitSeconds);
  ~SongStream();  // stops the decoding thread
  SongStream(const SongStream&) = delete;
  SongStream& operator=(const SongStream&) = delete;

  int sample_rate() const noexcept { return sample_rate_; }
  // The channels played and analysed: the song's, but at most its first two.
  int channels() const noexcept { return channels_; }

  // The device's thread: the next frames sample frames of sound into out (silence where the
  // decoding has not caught up, and after the end). Returns the song position after them in sample
  // frames: silence before the end does not move it, silence after the end does (so a clock that
  // follows it runs on past the end). No lock, no allocation.
  std::int64_t play(float* out, int frames) noexcept;

  // The window's thread from here on.

  // The sound data of the frame that ends at sample position shown, analysed with the beat
  // look-ahead (waiting up to wait_seconds for the decoding when it has not got that far). While
  // a seek is still on its way to the analysis, the frame shown last again.
  audio::SoundFrame frame_at(std::int64_t shown);

  // Moves the sound: the picture to shown, what is heard to heard (shown plus the offset). A seek
  // asked for while the one before is still being taken up follows it.
  void seek(std::int64_t shown, std::int64_t heard);
  // A seek has not been taken up by the device yet (or by the decoding, without a device).
  bool seeking() const noexcept;

  // Where the sound ends, in sample frames: exact once the decoding has got there (or failed),
  // until then the length the song's header gives, or the largest position when it gives none.
  std::int64_t end() const noexcept;
  // Why the decoding stopped before the end: "<path>: decoding failed: <reason>"; empty otherwise.
  std::string failure() const;

 private:
  struct Seek {
    std::int64_t start = 0;  // where the decoding starts again
    std::int64_t skip = 0;   // sample frames the device drops from there
  };

  void decode() noexcept;  // the decoding thread
  // The window's: restarts the analysis once a seek is decoded, and asks for the one waiting.
  void take_up_seeks();
  bool in_flight() const noexcept;  // a seek asked for is not taken up everywhere yet
  void issue(const Seek& seek);
  void restart_analysis();
  // Feeds the analysis what the decoding has given, up to song position until.
  void feed_until(std::int64_t until);

  std::unique_ptr<SongSource> source_;
  int sample_rate_;
  int channels_;
  std::int64_t length_hint_;
  double wait_seconds_;
  std::int64_t beat_lookahead_;  // the analysis must be fed this far ahead of the picture ...
  std::int64_t feed_ahead_;      // ... and is fed this far
  std::unique_ptr<SampleRing> to_device_;  // none without a device
  std::unique_ptr<SampleRing> to_analysis_;

  // The window's thread asks for seeks: the place first, then the count of seeks asked for.
  std::atomic<std::int64_t> seek_start_{0};
  std::atomic<std::int64_t> seek_skip_{0};
  std::atomic<std::uint32_t> seeks_asked_{0};
  // The decoding thread takes one up: the count of values written to each ring before it, then
  // the count of seeks taken up. A seek is asked for only once the one before has been taken up
  // by the decoding and the device.
  std::atomic<std::size_t> device_mark_{0};
  std::atomic<std::size_t> analysis_mark_{0};
  std::atomic<std::uint32_t> seeks_decoded_{0};
  std::atomic<std::uint32_t> seeks_played_{0};  // the device's
  // Where the decoding since the last seek stopped (-1 while it goes on), and where the file ends
  // (-1 until the decoding has got there). Stored after the last samples are in the rings.
  std::atomic<std::int64_t> stopped_at_{-1};
  std::atomic<std::int64_t> file_end_{-1};
  std::atomic<bool> failed_{false};
  std::string failure_;  // written once, before failed_
  std::atomic<bool> stop_{false};

  // The device's thread's own.
  std::size_t device_taken_ = 0;  // values taken from to_device_ (played or dropped)
  std::int64_t device_position_ = 0;
  std::int64_t device_skip_ = 0;
  std::uint32_t device_seeks_ = 0;

  // The window's thread's own.
  std::optional<audio::SoundAnalyser> analyser_;
  std::int64_t analysis_origin_ = 0;  // the song position of the analyser's first sample
  std::size_t analysis_taken_ = 0;    // values taken from to_analysis_
  bool analysis_finished_ = false;
  std::uint32_t analysis_seeks_ = 0;  // the seeks the analysis has restarted for
  std::optional<Seek> waiting_;       // asked for while another was being taken up
  audio::SoundFrame last_;            // the frame shown last
  std::vector<float> feeding_;

  std::thread decoder_;  // last: started once everything above exists
};

}  // namespace apehost
