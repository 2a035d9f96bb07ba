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
  // Decoded and analysed as the frames are written: a song of any length in the same memory. A
  // song that fails part way leaves no trace behind (the writer is not closed).
  SongFrames song(o.audio, o.fps);
  TraceWriter writer(o.output, static_cast<std::uint32_t>(o.fps), files.existing());
  std::uint64_t beats = 0;
  audio::SoundFrame frame;
  TraceFrame record;
  while (song.next(frame)) {
    record.beat = frame.beat;
    record.sound = frame.sound;
    beats += frame.beat ? 1 : 0;
    writer.write(record);
  }
  writer.close();
  std::cout << "wrote " << o.output << ": " << writer.frames_written() << " frames at " << o.fps
            << " frames per second, " << beats << " beats, from " << song.seconds_decoded()
            << " s of " << o.audio << " (" << song.sample_rate() << " Hz, " << song.channels()
            << " channel" << (song.channels() == 1 ? "" : "s") << ")\n";
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
