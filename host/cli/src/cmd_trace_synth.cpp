// apehost trace-synth: a deterministic synthetic sound trace, for tests and examples without audio.

#include <iostream>
#include <memory>

#include "cli/commands.hpp"
#include "cli/output_policy.hpp"
#include "media/trace.hpp"
#include "media/trace_synth.hpp"

namespace apehost {
namespace {

struct SynthOptions {
  std::string output;
  std::uint64_t frames = 0;
  std::uint32_t fps = 30;
  std::uint32_t seed = 1;
  bool overwrite = false;
};

int run_trace_synth(const SynthOptions& o) {
  CommandFiles files(o.overwrite);
  files.output("-o", o.output);
  TraceWriter writer(o.output, o.fps, files.existing());
  TraceSynthesizer synth(o.seed);
  std::uint64_t beats = 0;
  for (std::uint64_t i = 0; i < o.frames; ++i) {
    const TraceFrame frame = synth.next();
    beats += frame.beat ? 1 : 0;
    writer.write(frame);
  }
  writer.close();
  std::cout << "wrote " << o.output << ": " << o.frames << " frames at " << o.fps
            << " frames per second, " << beats << " beats (seed " << o.seed << ")\n";
  return 0;
}

}  // namespace

Command add_trace_synth_command(CLI::App& parent) {
  auto o = std::make_shared<SynthOptions>();
  CLI::App* app = parent.add_subcommand(
      "trace-synth",
      "Write a synthetic sound trace: pulsing spectrum bands and a beat every 27 to 33 frames");
  app->add_option("-o,--output", o->output, "Trace file to write")->required()->type_name("TRACE");
  app->add_option("--frames", o->frames, "Number of frames")
      ->required()
      ->type_name("N")
      ->check(CLI::Range(1, 1000000));
  app->add_option("--fps", o->fps, "Frames per second recorded in the trace (default 30)")
      ->type_name("F")
      ->check(CLI::Range(1, 1000));
  app->add_option("--seed", o->seed, "Seed of the beat spacing and the noise (default 1)")
      ->type_name("S");
  add_overwrite_flag(*app, o->overwrite);
  return {app, [o] { return run_trace_synth(*o); }};
}

}  // namespace apehost
