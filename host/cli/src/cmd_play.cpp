// apehost play: the effects live in a window, on songs played as they draw (one, a folder, a
// playlist), on sound captured from a device, or on the built-in demo track.

#include <chrono>
#include <iostream>
#include <memory>
#include <optional>

#include "apehost_audio/demo_track.hpp"
#include "base/host_error.hpp"
#include "cli/cli_values.hpp"
#include "cli/command_options.hpp"
#include "cli/commands.hpp"
#include "cli/option_errors.hpp"
#include "cli/output_policy.hpp"
#include "cli/window_saves.hpp"
#include "live/capture_sound.hpp"
#include "live/live_window.hpp"
#include "live/playlist_sound.hpp"
#include "live/screens.hpp"
#include "live/sdl_start.hpp"
#include "live/song_playback.hpp"
#include "live/song_source.hpp"
#include "media/playlist_file.hpp"
#include "media/trace.hpp"

namespace apehost {
namespace {

constexpr const char* kDefaultWindowSize = "960x540";
constexpr double kMaxAudioOffsetMs = 10000.0;

struct PlayOptions {
  ChainOptions chain;
  BackgroundOptions background;
  PresetOptions preset;
  std::vector<std::string> audio;
  bool shuffle = false;
  bool repeat = false;
  std::string capture;
  std::string size = kDefaultWindowSize;
  int fps = audio::kDefaultFramesPerSecond;
  bool fullscreen = false;
  int screen = 0;
  double audio_offset_ms = 0.0;
  std::uint64_t frames = 0;
  std::string save_trace;
  CLI::Option* audio_option = nullptr;
  CLI::Option* capture_option = nullptr;
  CLI::Option* screen_option = nullptr;
  bool overwrite = false;
  CLI::Option* save_trace_option = nullptr;
};

void note_silent(const SongPlayback& playback) {
  if (!playback.audible()) {
    std::cerr << "apehost: note: no audio output (" << playback.silent_reason()
              << "); showing the sound silently\n";
  }
}

// The one place play turns a song file into sound for the window: opened (its first piece decoded,
// so a file of nothing is refused here), then decoded as it plays.
std::unique_ptr<SongPlayback> open_song(const std::string& path, double offset_ms) {
  return std::make_unique<SongPlayback>(open_song_file(path), path, offset_ms);
}

// The songs named with --audio (files, folders, playlists) as a list the window plays through.
std::unique_ptr<LiveSound> open_playlist(const PlayOptions& o) {
  std::vector<std::string> songs =
      about_option("--audio", [&] { return expand_playlist(o.audio); });
  const auto seed =
      static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  PlaylistOrder order(songs.size(), o.shuffle, o.repeat, seed);
  auto noted = std::make_shared<bool>(false);
  SongOpener open = [offset = o.audio_offset_ms, noted](const std::string& path) {
    std::unique_ptr<SongPlayback> playback = open_song(path, offset);
    if (!*noted) note_silent(*playback);
    *noted = true;
    return playback;
  };
  return about_option("--audio", [&] {
    return std::make_unique<PlaylistSound>(std::move(songs), std::move(order), std::move(open));
  });
}

int run_play(const PlayOptions& o) {
  const FrameSize size = parse_frame_size("--size", o.size);
  if ((o.shuffle || o.repeat) && !o.audio_option->count()) {
    throw bad_input(o.shuffle ? "--shuffle" : "--repeat", "only for songs played with --audio");
  }
  // The trace play writes may be none of the files it reads, nor a file that exists without -y.
  CommandFiles files(o.overwrite);
  add_stack_inputs(files, o.chain, o.preset, true);
  for (const std::string& song : o.audio) files.input("--audio", song);
  if (o.save_trace_option->count()) files.output("--save-trace", o.save_trace);
  const Stack stack = resolve_stack(o.chain, o.background, o.preset, true);
  std::string reason;
  if (!start_sdl_video(reason)) {
    throw bad_input("play", "cannot show a window (" + reason +
                                "); apehost render -o OUT.mp4 writes a video instead");
  }
  if (o.screen_option->count()) about_option("--display", [&] { check_screen(o.screen); });

  // The sound, opened before the effects exist so a refused device or file creates none.
  std::optional<audio::AudioBuffer> demo_track;
  std::unique_ptr<LiveSound> sound;
  if (o.capture_option->count()) {
    // The device, its number or the part of its name, as typed after --capture.
    sound = about_option(
        "--capture", [&] { return std::make_unique<CaptureSound>(o.capture, o.audio_offset_ms); });
  } else if (o.audio_option->count()) {
    sound = open_playlist(o);
  } else {
    demo_track = audio::synthesize_demo_track();
    auto playback =
        std::make_unique<SongPlayback>(*demo_track, "the demo track", o.audio_offset_ms);
    note_silent(*playback);
    sound = std::move(playback);
  }

  EffectChain chain = create_stack(stack);
  LiveOptions live;
  live.width = size.width;
  live.height = size.height;
  live.frames_per_second = o.fps;
  live.fullscreen = o.fullscreen;
  live.screen = o.screen;
  live.frame_limit = o.frames;
  live.title = "apehost: " + chain.description();
  add_window_saves(live, stack.plan.plugins, stack.background);

  // The sound data each frame was drawn with, as a trace; made last, so a refused run leaves none.
  std::optional<TraceWriter> trace;
  if (o.save_trace_option->count()) {
    trace.emplace(o.save_trace, static_cast<std::uint32_t>(o.fps), files.existing());
    live.on_frame = [&trace](const audio::SoundFrame& frame) {
      TraceFrame record;
      record.beat = frame.beat;
      record.sound = frame.sound;
      trace->write(record);
    };
  }
  const LiveResult result = run_live_window(chain, stack.background, *sound, live);
  if (trace) trace->close();
  std::cout << "played " << result.frames << " frame" << (result.frames == 1 ? "" : "s") << " of "
            << result.width << "x" << result.height << " at " << o.fps << " frames per second with "
            << chain.description() << tick_count_note() << " on " << sound->describe() << "\n";
  if (trace) {
    std::cout << "wrote " << o.save_trace << ": the sound data of " << trace->frames_written()
              << " frames at " << o.fps << " frames per second\n";
  }
  return 0;
}

}  // namespace

Command add_play_command(CLI::App& parent) {
  auto o = std::make_shared<PlayOptions>();
  CLI::App* app = parent.add_subcommand(
      "play",
      "Show effects live in a window on songs as they play, on sound captured from a device, or "
      "on the built-in demo track. Keys: F full screen, Space pause, N/P next/previous song, "
      "Left/Right seek 10 s, C new random colours, B on-beat colour change on/off, S save a "
      "preset, F2 save a picture, Esc or Q quit");
  add_chain_options(*app, o->chain, false);
  o->chain.plugins_option->description(
      std::string(kPluginHelp) +
      ". Several are drawn in order into the same frame, each over the one before, like a "
      "preset's list (default: the demo's blobfx and coilfx)");
  add_preset_option(*app, o->preset);
  o->audio_option =
      app->add_option("--audio", o->audio,
                      "Songs to play (WAV, FLAC, Ogg, MP3, ...), one after another: files, "
                      "folders (their audio files in name order) or .m3u/.m3u8 playlists, as "
                      "many as follow before the next option; default: the built-in demo track")
          ->type_name("FILE");
  app->add_flag("--shuffle", o->shuffle, "Play the songs in a random order");
  app->add_flag("--repeat", o->repeat, "Start the list again after its last song");
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
  o->screen_option = app->add_option("--display", o->screen,
                                     "Open the window (and full screen) on this screen, from 0 "
                                     "(apehost devices lists them)")
                         ->type_name("N");
  app->add_option("--audio-offset", o->audio_offset_ms,
                  "Show the picture this many milliseconds later, for outputs whose sound comes "
                  "late (e.g. Bluetooth)")
      ->type_name("MS")
      ->check(CLI::Range(-kMaxAudioOffsetMs, kMaxAudioOffsetMs));
  app->add_option("--frames", o->frames, "Quit after this many frames")->type_name("N");
  o->save_trace_option =
      app->add_option("--save-trace", o->save_trace,
                      "Write the sound data the effects were given, frame by frame, as a trace "
                      "(render --trace replays it)")
          ->type_name("FILE");
  add_overwrite_flag(*app, o->overwrite);
  return {app, [o] { return run_play(*o); }};
}

}  // namespace apehost
