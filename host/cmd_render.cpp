// apehost render: one effect over a sound trace, frame by frame, the way the host drives it, into
// a raw video stream or numbered PNG files.

#include <algorithm>
#include <iostream>
#include <memory>
#include <vector>

#include "cli_values.hpp"
#include "commands.hpp"
#include "file_io.hpp"
#include "frame_sink.hpp"
#include "host_error.hpp"
#include "host_ticks.hpp"
#include "plugin_loader.hpp"
#include "trace.hpp"

namespace apehost {
namespace {

// A settings blob longer than this is not a settings blob at all; the effect would ignore anything
// over 72 bytes anyway.
constexpr std::size_t kMaxSettingsFile = 64 * 1024;

struct RenderOptions {
  std::string plugin;
  std::string trace;
  std::string size;
  std::uint32_t ticks = 0;
  std::string settings;
  std::string background = "0x000000";
  bool keep = false;
  std::uint64_t frames = 0;
  std::string raw;
  std::string png;
  CLI::Option* ticks_option = nullptr;
  CLI::Option* settings_option = nullptr;
  CLI::Option* frames_option = nullptr;
  CLI::Option* raw_option = nullptr;
  CLI::Option* png_option = nullptr;
};

int run_render(const RenderOptions& o) {
  // Every argument and input file is checked before the first frame, and before an output exists.
  const FrameSize size = parse_frame_size("--size", o.size);
  const std::uint32_t background = parse_colour("--background", o.background);
  if (!o.raw_option->count() && !o.png_option->count()) {
    throw bad_input("render", "no output: give --raw OUT or --png PATTERN");
  }
  if (o.png_option->count()) {
    [[maybe_unused]] const FramePattern checked(o.png);  // a bad pattern is refused here
  }

  const PluginModule module = PluginModule::load(resolve_plugin_path(o.plugin));
  std::vector<std::uint8_t> blob;
  if (o.settings_option->count()) {
    blob = read_file_bytes(o.settings, kMaxSettingsFile);
    if (blob.size() > APE_SETTINGS_BYTES) {
      std::cerr << "apehost: note: " << o.settings << " has " << blob.size()
                << " bytes; effects ignore a settings blob longer than " << APE_SETTINGS_BYTES
                << "\n";
    }
  }
  TraceReader trace(o.trace);
  const std::uint64_t frame_total =
      o.frames_option->count() ? std::min(o.frames, trace.frame_count()) : trace.frame_count();

  // The effect's constructor seeds its random generator from the tick count it asks us for.
  if (o.ticks_option->count()) {
    fix_tick_count(o.ticks);
  } else {
    use_real_tick_count();
  }
  EffectInstance effect = module.create_effect();
  if (o.settings_option->count()) {
    // The host hands the stored blob over as it is, length and all.
    effect.load_settings(blob.data(), static_cast<int>(blob.size()));
  }

  // Created last, so a refused run leaves no output behind.
  std::unique_ptr<FrameSink> sink;
  if (o.raw_option->count()) {
    sink = std::make_unique<RawFrameSink>(o.raw);
  } else {
    sink = std::make_unique<PngFrameSink>(o.png);
  }

  const std::size_t pixels =
      static_cast<std::size_t>(size.width) * static_cast<std::size_t>(size.height);
  std::vector<std::uint32_t> frame(pixels, background);
  std::vector<std::uint32_t> scratch(pixels, 0);
  TraceFrame record;
  for (std::uint64_t index = 0; index < frame_total && trace.read(record); ++index) {
    // The host clears to its background before each effect chain, or keeps the last image.
    if (!o.keep) std::fill(frame.begin(), frame.end(), background);
    effect.render_frame(record.sound.data(), record.beat, frame.data(), scratch.data(), size.width,
                        size.height);
    sink->write(index, frame.data(), size.width, size.height);
  }
  sink->finish();

  // Status goes where the frames don't.
  std::ostream& status = o.raw == "-" ? std::cerr : std::cout;
  std::uint32_t seed = 0;
  const bool seeded = last_lent_tick_count(seed);
  status << "rendered " << frame_total << " frame" << (frame_total == 1 ? "" : "s") << " of "
         << size.width << "x" << size.height << " at " << trace.frames_per_second()
         << " frames per second with " << module.long_description();
  if (seeded) status << " (tick count " << seed << ")";
  status << " to " << (o.raw_option->count() ? (o.raw == "-" ? "standard output" : o.raw) : o.png)
         << "\n";
  return 0;
}

}  // namespace

Command add_render_command(CLI::App& parent) {
  auto o = std::make_shared<RenderOptions>();
  CLI::App* app = parent.add_subcommand(
      "render", "Render an effect over a sound trace into raw video or PNG files");
  app->add_option("PLUGIN", o->plugin, kPluginHelp)->required();
  app->add_option("--trace", o->trace, "Sound trace (apehost trace-synth writes one)")
      ->required()
      ->type_name("TRACE");
  app->add_option("--size", o->size, "Frame size WIDTHxHEIGHT, e.g. 320x240")
      ->required()
      ->type_name("WxH");
  o->ticks_option =
      app->add_option(
             "--ticks", o->ticks,
             "Tick count the effect seeds its random generator with (default: the real clock)")
          ->type_name("N");
  o->settings_option =
      app->add_option("--settings", o->settings, "Settings blob loaded once before the first frame")
          ->type_name("BLOB");
  auto* background = app->add_option("--background", o->background,
                                     "Colour each frame starts from, 0xRRGGBB (default 0x000000)")
                         ->type_name("0xRRGGBB");
  app->add_flag("--keep", o->keep, "Start each frame from the previous one instead")
      ->excludes(background);
  o->frames_option =
      app->add_option("--frames", o->frames, "Render at most this many frames of the trace")
          ->type_name("K");
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
  return {app, [o] { return run_render(*o); }};
}

}  // namespace apehost
