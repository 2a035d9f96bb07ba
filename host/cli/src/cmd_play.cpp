// apehost play: the effects live in a window, on a song played as they draw, on sound captured
// from a device, or on the built-in demo track.

#include <iostream>
#include <memory>
#include <optional>

#include "apehost_audio/demo_track.hpp"
#include "base/host_error.hpp"
#include "cli/cli_values.hpp"
#include "cli/command_options.hpp"
#include "cli/commands.hpp"
#include "cli/option_errors.hpp"
#include "live/capture_sound.hpp"
#include "live/live_window.hpp"
#include "live/sdl_start.hpp"
#include "live/song_playback.hpp"
#include "media/song_file.hpp"
#include "plugin/demo_chain.hpp"

namespace apehost {
namespace {

constexpr const char* kDefaultWindowSize = "960x540";
constexpr double kMaxAudioOffsetMs = 10000.0;

struct PlayOptions {
  ChainOptions chain;
  BackgroundOptions background;
  std::string audio;
  std::string capture;
  std::string size = kDefaultWindowSize;
  int fps = audio::kDefaultFramesPerSecond;
  bool fullscreen = false;
  double audio_offset_ms = 0.0;
  std::uint64_t frames = 0;
  CLI::Option* audio_option = nullptr;
  CLI::Option* capture_option = nullptr;
};

int run_play(const PlayOptions& o) {
  const FrameSize size = parse_frame_size("--size", o.size);
  const Background background = resolve_background(o.background);
  const bool demo_effects = o.chain.plugins.empty();
  const ChainPlan plan = demo_effects ? plan_demo_chain(o.chain) : plan_chain(o.chain);
  std::string reason;
  if (!start_sdl_video(reason)) {
    throw bad_input("play", "cannot show a window (" + reason +
                                "); apehost render -o OUT.mp4 writes a video instead");
  }

  // The sound, opened before the effects exist so a refused device or file creates none.
  std::optional<audio::AudioBuffer> song;
  std::unique_ptr<LiveSound> sound;
  if (o.capture_option->count()) {
    // The device, its number or the part of its name, as typed after --capture.
    sound = about_option(
        "--capture", [&] { return std::make_unique<CaptureSound>(o.capture, o.audio_offset_ms); });
  } else {
    song = o.audio_option->count() ? load_audio(o.audio) : audio::synthesize_demo_track();
    auto playback = std::make_unique<SongPlayback>(
        *song, o.audio_option->count() ? o.audio : "the demo track", o.audio_offset_ms);
    if (!playback->audible()) {
      std::cerr << "apehost: note: no audio output (" << playback->silent_reason()
                << "); showing the sound silently\n";
    }
    sound = std::move(playback);
  }

  EffectChain chain = demo_effects ? create_demo_chain(plan) : create_chain(plan);
  LiveOptions live;
  live.width = size.width;
  live.height = size.height;
  live.frames_per_second = o.fps;
  live.fullscreen = o.fullscreen;
  live.frame_limit = o.frames;
  live.title = "apehost: " + chain.description();
  const LiveResult result = run_live_window(chain, background, *sound, live);
  std::cout << "played " << result.frames << " frame" << (result.frames == 1 ? "" : "s") << " of "
            << result.width << "x" << result.height << " at " << o.fps << " frames per second with "
            << chain.description() << tick_count_note() << " on " << sound->describe() << "\n";
  return 0;
}

}  // namespace

Command add_play_command(CLI::App& parent) {
  auto o = std::make_shared<PlayOptions>();
  CLI::App* app = parent.add_subcommand(
      "play",
      "Show effects live in a window on a song as it plays, on sound captured from a device, or "
      "on the built-in demo track. Keys: F full screen, Space pause, C new random colours, B "
      "on-beat colour change on/off, Esc or Q quit");
  add_chain_options(*app, o->chain, false);
  o->chain.plugins_option->description(
      std::string(kPluginHelp) +
      ". Several are drawn in order into the same frame, each over the one before, like a "
      "preset's list (default: the demo's blobfx and coilfx)");
  o->audio_option = app->add_option("--audio", o->audio,
                                    "Song to play (WAV, FLAC, Ogg, MP3, ...); default: the "
                                    "built-in demo track")
                        ->type_name("FILE");
  o->capture_option =
      app->add_option("--capture", o->capture,
                      "Show sound from a capture device instead (apehost devices lists them, "
                      "monitors of the outputs included): its name, number or a unique part of "
                      "its name; without one, the default input")
          ->type_name("[DEVICE]")
          ->expected(0, 1);
  o->capture_option->excludes(o->audio_option);
  app->add_option("--size", o->size,
                  std::string("Window size WIDTHxHEIGHT (default ") + kDefaultWindowSize +
                      "); the frames follow the window when it is resized")
      ->type_name("WxH");
  add_fps_option(
      *app, o->fps,
      "Frames per second (default " + std::to_string(audio::kDefaultFramesPerSecond) + ")");
  add_background_options(*app, o->background);
  app->add_flag("--fullscreen", o->fullscreen, "Start full screen (F toggles)");
  app->add_option("--audio-offset", o->audio_offset_ms,
                  "Show the picture this many milliseconds later, for outputs whose sound comes "
                  "late (e.g. Bluetooth)")
      ->type_name("MS")
      ->check(CLI::Range(-kMaxAudioOffsetMs, kMaxAudioOffsetMs));
  app->add_option("--frames", o->frames, "Quit after this many frames")->type_name("N");
  return {app, [o] { return run_play(*o); }};
}

}  // namespace apehost
