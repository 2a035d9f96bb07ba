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
#include "media/trace.hpp"
#include "plugin/background.hpp"
#include "plugin/effect_chain.hpp"

namespace apehost {

// Produces the sound of the next frame; false when there is none.
using FrameFeed = std::function<bool(TraceFrame&)>;

// Renders up to total frames of width x height from feed into sink, then finishes the sink; stops
// (Interrupted) before the next frame when a signal came. Returns the number of frames rendered.
std::uint64_t render_frames(EffectChain& chain, const Background& background, int width, int height,
                            std::uint64_t total, const FrameFeed& feed, FrameSink& sink);

// The frames of an analysed song, one after another.
FrameFeed feed_from(const std::vector<audio::SoundFrame>& frames);

// A video of the song: a WAV copy of the decoded sound in a temporary directory (so ffmpeg muxes
// exactly the samples that were analysed), and the ffmpeg sink that muxes it.
class SongVideo {
 public:
  SongVideo(const std::string& ffmpeg, const std::string& output, Existing existing, int width,
            int height, int frames_per_second, int crf, const audio::AudioBuffer* song);
  FrameSink& sink() { return *sink_; }

 private:
  TemporaryDirectory directory_;
  std::unique_ptr<FrameSink> sink_;
};

}  // namespace apehost
