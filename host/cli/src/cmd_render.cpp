// apehost render: effects over a sound trace or a song, frame by frame, the way the host drives
// them, into a video file, a raw video stream or numbered PNG files.

#include <algorithm>
#include <iostream>
#include <memory>
#include <optional>
#include <vector>

#include "base/host_error.hpp"
#include "cli/cli_values.hpp"
#include "cli/command_options.hpp"
#include "cli/commands.hpp"
#include "cli/output_policy.hpp"
#include "cli/video_options.hpp"
#include "media/frame_render.hpp"
#include "media/frame_sink.hpp"
#include "media/progress.hpp"
#include "media/song_file.hpp"
#include "media/trace.hpp"
#include "media/video_encoder.hpp"

namespace apehost {
namespace {

constexpr const char* kDefaultRenderSize = "1280x720";

struct RenderOptions {
  ChainOptions chain;
  BackgroundOptions background;
  PresetOptions preset;
  std::string trace;
  std::string audio;
  std::string size = kDefaultRenderSize;
  int fps = audio::kDefaultFramesPerSecond;
  std::uint64_t frames = 0;
  std::string video;
  std::string raw;
  std::string png;
  int crf = kDefaultCrf;
  std::string speed{kDefaultEncoderSpeed};
  std::string ffmpeg;
  bool overwrite = false;
  CLI::Option* trace_option = nullptr;
  CLI::Option* audio_option = nullptr;
  CLI::Option* fps_option = nullptr;
  CLI::Option* frames_option = nullptr;
  CLI::Option* video_option = nullptr;
  CLI::Option* raw_option = nullptr;
  CLI::Option* png_option = nullptr;
  CLI::Option* crf_option = nullptr;
  CLI::Option* speed_option = nullptr;
  CLI::Option* ffmpeg_option = nullptr;
};

int run_render(const RenderOptions& o) {
  // Every argument and input file is checked before the first frame, and before an output exists.
  const FrameSize size = parse_frame_size("--size", o.size);
  if (o.chain.plugins.empty() && !o.preset.option->count()) {
    throw bad_input("render", "no plug-in: give PLUGIN ... or --preset FILE");
  }
  const bool to_video = o.video_option->count() > 0;
  if (!to_video && !o.raw_option->count() && !o.png_option->count()) {
    throw bad_input("render", "no output: give -o OUT.mp4, --raw OUT or --png PATTERN");
  }
  if (!o.trace_option->count() && !o.audio_option->count()) {
    throw bad_input("render", "no sound: give --audio FILE or --trace TRACE");
  }
  if (o.trace_option->count() && o.fps_option->count()) {
    throw bad_input("--fps", "a trace keeps the frame rate it was recorded at");
  }
  for (const CLI::Option* video_only : {o.crf_option, o.speed_option, o.ffmpeg_option}) {
    if (!to_video && video_only->count()) {
      throw bad_input(video_only->get_name(), "only for video output (-o)");
    }
  }
  std::optional<FramePattern> pattern;
  if (o.png_option->count()) pattern.emplace(o.png);  // a bad pattern is refused here
  std::string ffmpeg;
  if (to_video) {
    check_video_frame_size(size);
    ffmpeg = find_ffmpeg(o.ffmpeg);
  }

  // What is read and what is written, before anything is: no output may be an input, and an
  // existing one is replaced only with -y. (The frame files of a pattern once their count is
  // known.)
  CommandFiles files(o.overwrite);
  add_stack_inputs(files, o.chain, o.preset, false);
  if (o.trace_option->count()) {
    files.input("--trace", o.trace);
  } else {
    files.input("--audio", o.audio);
  }
  if (to_video) {
    files.input(o.ffmpeg_option->count() ? "--ffmpeg" : "the ffmpeg program", ffmpeg);
    files.output("-o", o.video);
  } else if (o.raw_option->count() && o.raw != "-") {
    files.output("--raw", o.raw);
  }
  const Stack stack = resolve_stack(o.chain, o.background, o.preset, false);
  const ChainPlan& plan = stack.plan;
  const Background& background = stack.background;

  // The sound: a recorded trace, or a song decoded and analysed here, at the frame rate asked for,
  // as the frames are drawn. A trace knows its length; a song's header gives an estimate (exact
  // for WAV, FLAC and AIFF), which the progress bar and the PNG files checked below go by.
  std::optional<TraceReader> trace;
  std::optional<SongFrames> song;
  FrameFeed feed;
  std::uint64_t limit = 0;
  std::uint64_t expected = 0;
  int fps = o.fps;
  if (o.trace_option->count()) {
    trace.emplace(o.trace);
    fps = static_cast<int>(trace->frames_per_second());
    limit = expected = trace->frame_count();
    feed = [&trace](TraceFrame& record) { return trace->read(record); };
  } else {
    song.emplace(o.audio, fps);
    const std::int64_t hint = song->frame_count_hint();
    limit = kUnknownTotal;
    expected = hint < 0 ? kUnknownTotal : static_cast<std::uint64_t>(hint);
    feed = feed_from(*song);
  }
  if (o.frames_option->count()) {
    limit = std::min(o.frames, limit);
    expected = std::min(o.frames, expected);
  }
  // A song whose header promises fewer frames than it has: a frame file past the promise that
  // exists is refused (without -y) when its turn comes, and the run then leaves every file as it
  // was.
  if (pattern) files.frame_outputs("--png", *pattern, expected == kUnknownTotal ? 0 : expected);

  EffectChain chain = create_chain(plan);

  // Created last, so a refused run leaves no output behind; each is put in place only when the
  // last frame is written.
  std::optional<SongVideo> video;
  std::unique_ptr<FrameSink> file_sink;
  FrameSink* sink = nullptr;
  if (to_video) {
    VideoSettings settings;
    settings.ffmpeg = ffmpeg;
    settings.output = o.video;
    settings.existing = files.existing();
    settings.width = size.width;
    settings.height = size.height;
    settings.frames_per_second = fps;
    settings.crf = o.crf;
    settings.speed = o.speed;
    if (song) {
      video.emplace(settings, o.audio);
    } else {
      video.emplace(settings, static_cast<const audio::AudioBuffer*>(nullptr));
    }
    sink = &video->sink();
  } else if (o.raw_option->count()) {
    file_sink = std::make_unique<RawFrameSink>(o.raw, files.existing());
    sink = file_sink.get();
  } else {
    file_sink = std::make_unique<PngFrameSink>(o.png, files.existing());
    sink = file_sink.get();
  }
  const std::uint64_t rendered = render_frames(chain, background, {size.width, size.height, fps},
                                               limit, expected, feed, *sink);

  // Status goes where the frames don't.
  std::ostream& status = o.raw == "-" ? std::cerr : std::cout;
  const std::string destination = to_video ? o.video
                                  : o.raw_option->count()
                                      ? (o.raw == "-" ? "standard output" : o.raw)
                                      : o.png;
  status << "rendered " << rendered << " frame" << (rendered == 1 ? "" : "s") << " of "
         << size.width << "x" << size.height << " at " << fps << " frames per second with "
         << chain.description() << tick_count_note() << " to " << destination << "\n";
  return 0;
}

}  // namespace

Command add_render_command(CLI::App& parent) {
  auto o = std::make_shared<RenderOptions>();
  CLI::App* app = parent.add_subcommand(
      "render",
      "Render effects over a song or a sound trace into a video file, raw video or PNG files");
  add_chain_options(*app, o->chain, false);
  add_preset_option(*app, o->preset);
  o->audio_option =
      app->add_option("--audio", o->audio,
                      "Song to render (WAV, FLAC, Ogg, MP3, ...): analysed at --fps, and muxed "
                      "into the video")
          ->type_name("FILE");
  o->trace_option = app->add_option("--trace", o->trace,
                                    "Sound trace instead of a song (apehost analyse and "
                                    "trace-synth write them)")
                        ->type_name("TRACE");
  o->trace_option->excludes(o->audio_option);
  app->add_option("--size", o->size,
                  std::string("Frame size WIDTHxHEIGHT (default ") + kDefaultRenderSize + ")")
      ->type_name("WxH");
  o->fps_option =
      add_fps_option(*app, o->fps,
                     "Frames per second of a song's render (default " +
                         std::to_string(audio::kDefaultFramesPerSecond) + "); a trace has its own");
  add_background_options(*app, o->background);
  o->frames_option =
      app->add_option("--frames", o->frames, "Render at most this many frames")->type_name("K");
  o->video_option =
      app->add_option("-o,--output", o->video,
                      "Write a video: H.264 (yuv420p, constant frame rate) with the song as AAC, "
                      "through ffmpeg; the size must be even")
          ->type_name("OUT.mp4");
  o->raw_option = app->add_option("--raw", o->raw,
                                  "Write all frames to this file (- for standard output): "
                                  "little-endian 32-bit 0x00RRGGBB "
                                  "pixels, row 0 first (ffmpeg: -f rawvideo -pixel_format bgr0)")
                      ->type_name("OUT");
  o->png_option =
      app->add_option("--png", o->png,
                      "Write one PNG per frame, numbered from 0 by a pattern like frames/%05d.png")
          ->type_name("PATTERN");
  o->raw_option->excludes(o->png_option);
  o->video_option->excludes(o->raw_option);
  o->video_option->excludes(o->png_option);
  o->crf_option = app->add_option("--crf", o->crf,
                                  "Video quality, 0 (lossless) to 51 (worst); default " +
                                      std::to_string(kDefaultCrf))
                      ->type_name("N")
                      ->check(CLI::Range(0, kMaxCrf));
  o->speed_option = add_speed_option(*app, o->speed);
  o->ffmpeg_option =
      app->add_option("--ffmpeg", o->ffmpeg, "The ffmpeg program (default: ffmpeg on PATH)")
          ->type_name("PATH");
  add_overwrite_flag(*app, o->overwrite);
  return {app, [o] { return run_render(*o); }};
}

}  // namespace apehost
