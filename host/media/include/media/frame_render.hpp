#pragma once
// host/media: uses plugin, base and audio; used by cli.
//
// The render loop shared by the commands that write frames out: sound data in, the chain drawn,
// every frame handed to a sink, progress on standard error.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "apehost_audio/audio_buffer.hpp"
#include "apehost_audio/sound_analysis.hpp"
#include "base/file_io.hpp"
#include "base/output_file.hpp"
#include "media/frame_sink.hpp"
#include "media/song_file.hpp"
#include "media/trace.hpp"
#include "media/video_encoder.hpp"
#include "plugin/background.hpp"
#include "plugin/effect_chain.hpp"

namespace apehost {

// Produces the sound of the next frame; false when there is none.
using FrameFeed = std::function<bool(TraceFrame&)>;

// What a render makes: frames of width x height, shown frames_per_second a second.
struct RenderFormat {
  int width = 0;
  int height = 0;
  int frames_per_second = 0;
};

// Renders up to total frames from feed into sink, then finishes the sink; the progress bar gives
// the speed as a multiple of real time. Two frames are drawn in turn, so the sink may still be
// sending one while the next is drawn. Stops (Interrupted) before the next frame when a signal
// came. Returns the number of frames rendered.
std::uint64_t render_frames(EffectChain& chain, const Background& background,
                            const RenderFormat& format, std::uint64_t total, const FrameFeed& feed,
                            FrameSink& sink);

// The same for a feed whose length is only estimated (a song, from its header): at most limit
// frames, as many as the feed gives; the progress bar counts towards expected (kUnknownTotal,
// progress.hpp, when not even an estimate is known).
std::uint64_t render_frames(EffectChain& chain, const Background& background,
                            const RenderFormat& format, std::uint64_t limit, std::uint64_t expected,
                            const FrameFeed& feed, FrameSink& sink);

// The frames of an analysed song, one after another.
FrameFeed feed_from(const std::vector<audio::SoundFrame>& frames);

// The frames of a song as it is decoded and analysed.
FrameFeed feed_from(SongFrames& song);

// A video of the song: a WAV copy of its sound in a temporary directory (so ffmpeg muxes exactly
// the samples that were analysed), and the ffmpeg sink that muxes it.
class SongVideo {
 public:
  // settings without the sound, which comes from song (none when null): sound in memory (the demo
  // track).
  SongVideo(VideoSettings settings, const audio::AudioBuffer* song);
  // The sound of the song file at song_path, decoded into the copy a piece at a time. Throws a
  // bad-input error naming the file when it cannot be decoded, a failure when the copy cannot be
  // written.
  SongVideo(VideoSettings settings, const std::string& song_path);
  FrameSink& sink() { return *sink_; }

 private:
  TemporaryDirectory directory_;
  std::unique_ptr<FrameSink> sink_;
};

}  // namespace apehost
