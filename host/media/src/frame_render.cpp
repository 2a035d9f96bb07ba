#include "media/frame_render.hpp"

#include "base/host_error.hpp"
#include "base/interruption.hpp"
#include "media/progress.hpp"
#include "media/video_encoder.hpp"

namespace apehost {

std::uint64_t render_frames(EffectChain& chain, const Background& background, int width, int height,
                            std::uint64_t total, const FrameFeed& feed, FrameSink& sink) {
  FrameBuffer frame;
  frame.resize(width, height, background.colour);
  ProgressMeter progress(total);
  TraceFrame record;
  std::uint64_t index = 0;
  for (; index < total && feed(record); ++index) {
    stop_if_interrupted();
    chain.render(record.sound.data(), record.beat, background, frame);
    sink.write(index, frame.pixels(), width, height);
    progress.update(index + 1);
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

SongVideo::SongVideo(const std::string& ffmpeg, const std::string& output, Existing existing,
                     int width, int height, int frames_per_second, int crf,
                     const audio::AudioBuffer* song) {
  VideoSettings settings;
  settings.ffmpeg = ffmpeg;
  settings.output = output;
  settings.existing = existing;
  settings.width = width;
  settings.height = height;
  settings.frames_per_second = frames_per_second;
  settings.crf = crf;
  if (song) {
    settings.audio_wav = directory_.path("sound.wav");
    std::string error;
    if (!audio::write_wav(settings.audio_wav, *song, error)) throw HostError(error, kExitFailure);
  }
  sink_ = std::make_unique<VideoFrameSink>(settings);
}

}  // namespace apehost
