#pragma once
// host/cli: uses live, media, plugin, audio and base; the only layer that knows the command line.
//
// Options several commands share: the stack of plug-ins with their settings blobs and the tick
// count they are seeded with, the background mode and the frame rate.

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/output_policy.hpp"
#include "plugin/background.hpp"
#include "plugin/chain_plan.hpp"
#include "plugin/effect_chain.hpp"

namespace apehost {

struct ChainOptions {
  std::vector<std::string> plugins;
  std::vector<std::string> settings;
  std::uint32_t ticks = 0;
  CLI::Option* plugins_option = nullptr;
  CLI::Option* settings_option = nullptr;
  CLI::Option* ticks_option = nullptr;
};

// "apehost: note: <note>" on standard error: something the user should know that does not stop
// the command (a plug-in file skipped, a settings file longer than a blob).
void print_note(const std::string& note);

// PLUGIN ... (at least one when required), --settings BLOB ... and --ticks N.
void add_chain_options(CLI::App& app, ChainOptions& options, bool plugins_required);

// The PLUGIN arguments loaded and the --settings blobs read (plan_chain), so that a bad one is
// refused before any effect exists (and before a long decode); notes go to standard error.
ChainPlan plan_chain(const ChainOptions& options);
// The same with the demo's plug-ins in place of the PLUGIN arguments.
ChainPlan plan_demo_chain(const ChainOptions& options);

// " (tick count N)" when an effect asked for one, for the status lines.
std::string tick_count_note();

struct BackgroundOptions {
  std::string colour = "0x000000";
  bool keep = false;
  int fade = 0;
  CLI::Option* colour_option = nullptr;
  CLI::Option* keep_option = nullptr;
  CLI::Option* fade_option = nullptr;
};

// --background 0xRRGGBB | --keep | --fade N, each excluding the others.
void add_background_options(CLI::App& app, BackgroundOptions& options);
Background resolve_background(const BackgroundOptions& options);

struct PresetOptions {
  std::string path;
  CLI::Option* option = nullptr;
};

// --preset FILE: the stack, its settings and the background from a preset file.
void add_preset_option(CLI::App& app, PresetOptions& options);

// What a command draws: the plug-ins with their blobs, and the background.
struct Stack {
  ChainPlan plan;
  Background background;
  bool demo = false;  // the demo's plug-ins, which get the demo's colours where no blob is given
};

// The stack of a preset when --preset was given (refused together with PLUGIN arguments,
// --settings or a background option: the preset holds all of those); otherwise the PLUGIN
// arguments (the demo's plug-ins when there are none and demo_by_default), their --settings and
// the background options. --ticks goes with either.
Stack resolve_stack(const ChainOptions& chain, const BackgroundOptions& background,
                    const PresetOptions& preset, bool demo_by_default);

// The stack's effects, created in order (the demo's plug-ins in the demo's colours where no blob
// is given).
EffectChain create_stack(const Stack& stack);

// The files the stack is made from, as inputs of a command: the preset and the plug-ins it names
// (each file a name may be loaded from), or the PLUGIN arguments (the demo's when there are none
// and demo_by_default) and the --settings blobs.
void add_stack_inputs(CommandFiles& files, const ChainOptions& chain, const PresetOptions& preset,
                      bool demo_by_default);

// --fps N, 1..kMaxFramesPerSecond.
inline constexpr int kMaxFramesPerSecond = 1000;
CLI::Option* add_fps_option(CLI::App& app, int& fps, const std::string& what);

}  // namespace apehost
