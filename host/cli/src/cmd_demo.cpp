// apehost demo: both effects on the built-in track, with no files at all: in a window where there
// is a display, otherwise into a video file.

#include <filesystem>
#include <iostream>
#include <memory>

#include "apehost_audio/demo_track.hpp"
#include "apehost_audio/sound_analysis.hpp"
#include "base/host_error.hpp"
#include "cli/cli_values.hpp"
#include "cli/command_options.hpp"
#include "cli/commands.hpp"
#include "cli/option_errors.hpp"
#include "cli/output_policy.hpp"
#include "cli/video_options.hpp"
#include "cli/window_saves.hpp"
#include "live/live_window.hpp"
#include "live/screens.hpp"
#include "live/sdl_start.hpp"
#include "live/song_playback.hpp"
#include "media/frame_render.hpp"
#include "media/video_encoder.hpp"

namespace apehost {
namespace {

constexpr const char* kDemoWindowSize = "960x540";
constexpr const char* kDemoVideoSize = "1280x720";
constexpr const char* kDemoVideo = "demo.mp4";

// The names the video takes when -o is not given: the first of demo.mp4, demo-2.mp4, demo-3.mp4 ...
// that is free, so that running the demo again never replaces a file.
std::string demo_video_name(std::uint64_t n) {
  return n == 1 ? kDemoVideo : "demo-" + std::to_string(n) + ".mp4";
}

struct DemoOptions {
  ChainOptions chain;
  BackgroundOptions background;
  PresetOptions preset;
  std::string output = kDemoVideo;
  std::string size;
  int fps = audio::kDefaultFramesPerSecond;
  bool window = false;
  bool video = false;
  bool fullscreen = false;
  int screen = 0;
  CLI::Option* screen_option = nullptr;
  double audio_offset_ms = 0.0;
  std::uint64_t frames = 0;
  int crf = kDefaultCrf;
  std::string speed{kDefaultEncoderSpeed};
  std::string ffmpeg;
  bool overwrite = false;
  CLI::Option* output_option = nullptr;
};

int show_window(const DemoOptions& o, const Stack& stack) {
  const FrameSize size = parse_frame_size("--size", o.size.empty() ? kDemoWindowSize : o.size);
  if (o.screen_option->count()) about_option("--display", [&] { check_screen(o.screen); });
  const audio::AudioBuffer song = audio::synthesize_demo_track();
  SongPlayback playback(song, "the demo track", o.audio_offset_ms);
  if (!playback.audible()) {
    std::cerr << "apehost: note: no audio output (" << playback.silent_reason()
              << "); showing the demo silently\n";
  }
  EffectChain chain = create_stack(stack);
  LiveOptions live;
  live.width = size.width;
  live.height = size.height;
  live.frames_per_second = o.fps;
  live.fullscreen = o.fullscreen;
  live.screen = o.screen;
  live.frame_limit = o.frames;
  live.title = "apehost demo: " + chain.description();
  add_window_saves(live, stack.plan.plugins, stack.background);
  const LiveResult result = run_live_window(chain, stack.background, playback, live);
  std::cout << "demo: showed " << result.frames << " frame" << (result.frames == 1 ? "" : "s")
            << " of " << result.width << "x" << result.height << " in a window with "
            << chain.description() << tick_count_note() << "\n";
  return 0;
}

int write_video(const DemoOptions& o, const Stack& stack) {
  const FrameSize size = parse_frame_size("--size", o.size.empty() ? kDemoVideoSize : o.size);
  check_video_frame_size(size);
  const std::string ffmpeg = find_ffmpeg(o.ffmpeg);
  CommandFiles files(o.overwrite);
  add_stack_inputs(files, o.chain, o.preset, true);
  files.input(o.ffmpeg.empty() ? "the ffmpeg program" : "--ffmpeg", ffmpeg);
  std::string output = o.output;
  Existing existing = files.existing();
  if (o.output_option->count()) {
    files.output("-o", output);
  } else {
    output = first_free_name(demo_video_name);
    existing = Existing::refuse;
  }
  const audio::AudioBuffer song = audio::synthesize_demo_track();
  const std::vector<audio::SoundFrame> frames = audio::analyse(song, o.fps);
  const std::uint64_t total = o.frames != 0 && o.frames < frames.size() ? o.frames : frames.size();
  EffectChain chain = create_stack(stack);
  std::cout << "demo: rendering " << total << " frames of " << size.width << "x" << size.height
            << " to " << output << "\n"
            << std::flush;
  VideoSettings settings;
  settings.ffmpeg = ffmpeg;
  settings.output = output;
  settings.existing = existing;
  settings.width = size.width;
  settings.height = size.height;
  settings.frames_per_second = o.fps;
  settings.crf = o.crf;
  settings.speed = o.speed;
  SongVideo video(settings, &song);
  const std::uint64_t rendered =
      render_frames(chain, stack.background, {size.width, size.height, o.fps}, total,
                    feed_from(frames), video.sink());
  std::error_code error;
  const std::filesystem::path where = std::filesystem::absolute(output, error);
  std::cout << "demo: wrote " << (error ? output : where.string()) << " (" << rendered
            << " frames of " << size.width << "x" << size.height << " at " << o.fps
            << " frames per second with " << chain.description() << tick_count_note()
            << "); play it with any video player\n";
  return 0;
}

int run_demo(const DemoOptions& o) {
  if (!o.size.empty()) parse_frame_size("--size", o.size);  // refused before anything starts
  const Stack stack = resolve_stack(o.chain, o.background, o.preset, true);
  bool window = o.window;
  if (!o.window && !o.video) {
    // A window where one can be shown; a video file everywhere else.
    std::string reason;
    window = !o.output_option->count() && display_available(reason);
  } else if (o.window) {
    std::string reason;
    if (!display_available(reason)) throw bad_input("--window", "cannot show a window: " + reason);
  }
  if (!window && o.screen_option->count()) {
    throw bad_input("--display", "only for the window (the demo is writing a video)");
  }
  return window ? show_window(o, stack) : write_video(o, stack);
}

}  // namespace

Command add_demo_command(CLI::App& parent) {
  auto o = std::make_shared<DemoOptions>();
  CLI::App* app = parent.add_subcommand(
      "demo",
      "Both effects on the built-in demo track, no files needed: in a window where there is a "
      "display (keys as in play), otherwise rendered to demo.mp4");
  o->output_option = app->add_option("-o,--output", o->output,
                                     "Video to write (default: demo.mp4, or demo-2.mp4 ... when "
                                     "that exists); implies --video")
                         ->type_name("OUT.mp4");
  app->add_option("--size", o->size,
                  std::string("Frame size WIDTHxHEIGHT (default ") + kDemoWindowSize +
                      " in a window, " + kDemoVideoSize + " in a video)")
      ->type_name("WxH");
  auto* window = app->add_flag("--window", o->window, "Show the window, or fail");
  auto* video =
      app->add_flag("--video", o->video, "Write the video even where a window could show");
  window->excludes(video);
  window->excludes(o->output_option);
  add_fps_option(
      *app, o->fps,
      "Frames per second (default " + std::to_string(audio::kDefaultFramesPerSecond) + ")");
  add_background_options(*app, o->background);
  add_preset_option(*app, o->preset);
  app->add_option("--frames", o->frames, "Stop after this many frames")->type_name("N");
  app->add_flag("--fullscreen", o->fullscreen, "Window: start full screen (F toggles)");
  o->screen_option =
      app->add_option("--display", o->screen,
                      "Window: open it (and full screen) on this screen, from 0 (apehost devices "
                      "lists them)")
          ->type_name("N");
  app->add_option("--audio-offset", o->audio_offset_ms,
                  "Window: show the picture this many milliseconds later, for outputs whose "
                  "sound comes late")
      ->type_name("MS")
      ->check(CLI::Range(-10000.0, 10000.0));
  app->add_option("--ticks", o->chain.ticks,
                  "Tick count the effects seed their random generators with (default: the real "
                  "clock)")
      ->type_name("N");
  o->chain.ticks_option = app->get_option("--ticks");
  app->add_option("--crf", o->crf, "Video quality, 0 (lossless) to 51 (worst); default 18")
      ->type_name("N")
      ->check(CLI::Range(0, kMaxCrf));
  add_speed_option(*app, o->speed);
  app->add_option("--ffmpeg", o->ffmpeg, "The ffmpeg program (default: ffmpeg on PATH)")
      ->type_name("PATH");
  add_overwrite_flag(*app, o->overwrite);
  return {app, [o] { return run_demo(*o); }};
}

}  // namespace apehost
