#include "media/frame_render.hpp"

#include "base/host_error.hpp"
#include "base/interruption.hpp"
#include "media/progress.hpp"

namespace apehost {

std::uint64_t render_frames(EffectChain& chain, const Background& background,
                            const RenderFormat& format, std::uint64_t total, const FrameFeed& feed,
                            FrameSink& sink) {
  return render_frames(chain, background, format, total, total, feed, sink);
}

std::uint64_t render_frames(EffectChain& chain, const Background& background,
                            const RenderFormat& format, std::uint64_t limit, std::uint64_t expected,
                            const FrameFeed& feed, FrameSink& sink) {
  // The sink may read the frame last written until the next write returns: each frame is drawn
  // into the other buffer, starting from the one before.
  FrameBuffer frames[2];
  for (FrameBuffer& frame : frames) frame.resize(format.width, format.height, background.colour);
  ProgressMeter progress(expected, format.frames_per_second);
  TraceFrame record;
  std::uint64_t index = 0;
  try {
    for (; index < limit && feed(record); ++index) {
      stop_if_interrupted();
      FrameBuffer& frame = frames[index % 2];
      chain.render(record.sound.data(), record.beat, background, frames[(index + 1) % 2], frame);
      sink.write(index, frame.pixels(), format.width, format.height);
      progress.update(index + 1);
    }
  } catch (...) {
    sink.abandon();  // before the frames it may be reading are gone
    throw;
  }
  sink.finish();
  progress.finish();
  return index;
}

FrameFeed feed_from(const std::vector<audio::SoundFrame>& frames) {
  auto next = std::make_shared<std::size_t>(0);
  return [&frames, next](TraceFrame& record) {
    if (*next >= frames.size()) return false;
    const audio::SoundFrame& frame = frames[(*next)++];
    record.beat = frame.beat;
    record.sound = frame.sound;
    return true;
  };
}

FrameFeed feed_from(SongFrames& song) {
  return [&song](TraceFrame& record) {
    audio::SoundFrame frame;
    if (!song.next(frame)) return false;
    record.beat = frame.beat;
    record.sound = frame.sound;
    return true;
  };
}

SongVideo::SongVideo(VideoSettings settings, const audio::AudioBuffer* song) {
  settings.audio_wav.clear();
  if (song) {
    settings.audio_wav = directory_.path("sound.wav");
    std::string error;
    if (!audio::write_wav(settings.audio_wav, *song, error)) throw HostError(error, kExitFailure);
  }
  sink_ = std::make_unique<VideoFrameSink>(settings);
}

SongVideo::SongVideo(VideoSettings settings, const std::string& song_path) {
  settings.audio_wav = directory_.path("sound.wav");
  std::string error;
  if (!audio::copy_to_wav(song_path, settings.audio_wav, error)) {
    // The song's own fault (it cannot be read or decoded), or the copy's (a full disk).
    const bool about_song = error.rfind(song_path + ": ", 0) == 0;
    throw HostError(error, about_song ? kExitBadInput : kExitFailure);
  }
  sink_ = std::make_unique<VideoFrameSink>(settings);
}

}  // namespace apehost
