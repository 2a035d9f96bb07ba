// apehost analyse AUDIO -o TRACE: a song's sound data per frame, recorded once, so that renders of
// it (render --trace) need no decoding and see exactly the same sound every time.

#include <iostream>
#include <memory>

#include "apehost_audio/sound_analysis.hpp"
#include "cli/command_options.hpp"
#include "cli/commands.hpp"
#include "cli/output_policy.hpp"
#include "media/song_file.hpp"
#include "media/trace.hpp"

namespace apehost {
namespace {

struct AnalyseOptions {
  std::string audio;
  std::string output;
  int fps = audio::kDefaultFramesPerSecond;
  bool overwrite = false;
};

int run_analyse(const AnalyseOptions& o) {
  CommandFiles files(o.overwrite);
  files.input("the song", o.audio);
  files.output("-o", o.output);
  const audio::AudioBuffer song = load_audio(o.audio);
  const std::vector<audio::SoundFrame> frames = audio::analyse(song, o.fps);
  TraceWriter writer(o.output, static_cast<std::uint32_t>(o.fps), files.existing());
  std::uint64_t beats = 0;
  TraceFrame record;
  for (const audio::SoundFrame& frame : frames) {
    record.beat = frame.beat;
    record.sound = frame.sound;
    beats += frame.beat ? 1 : 0;
    writer.write(record);
  }
  writer.close();
  const double seconds = static_cast<double>(song.frame_count()) / song.sample_rate;
  std::cout << "wrote " << o.output << ": " << frames.size() << " frames at " << o.fps
            << " frames per second, " << beats << " beats, from " << seconds << " s of " << o.audio
            << " (" << song.sample_rate << " Hz, " << song.channels << " channel"
            << (song.channels == 1 ? "" : "s") << ")\n";
  return 0;
}

}  // namespace

Command add_analyse_command(CLI::App& parent) {
  auto o = std::make_shared<AnalyseOptions>();
  CLI::App* app = parent.add_subcommand(
      "analyse",
      "Analyse a song into a sound trace: per frame the 576-bin spectrum, the waveform and the "
      "beat flag the effects see, for render --trace");
  app->add_option("AUDIO", o->audio, "Song to analyse (WAV, FLAC, Ogg, MP3, ...)")->required();
  app->add_option("-o,--output", o->output, "Trace file to write")->required()->type_name("TRACE");
  add_fps_option(
      *app, o->fps,
      "Frames per second (default " + std::to_string(audio::kDefaultFramesPerSecond) + ")");
  add_overwrite_flag(*app, o->overwrite);
  return {app, [o] { return run_analyse(*o); }};
}

}  // namespace apehost
