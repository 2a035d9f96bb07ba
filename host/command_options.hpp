#pragma once
// Options several commands share: the stack of plug-ins with their settings blobs and the tick
// count they are seeded with, and the background mode.

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>
#include <vector>

#include "apehost_audio/audio_buffer.hpp"
#include "background.hpp"
#include "effect_chain.hpp"

namespace apehost {

struct ChainOptions {
  std::vector<std::string> plugins;
  std::vector<std::string> settings;
  std::uint32_t ticks = 0;
  CLI::Option* plugins_option = nullptr;
  CLI::Option* settings_option = nullptr;
  CLI::Option* ticks_option = nullptr;
};

// PLUGIN ... (at least one when required), --settings BLOB ... and --ticks N.
void add_chain_options(CLI::App& app, ChainOptions& options, bool plugins_required);

// The plug-ins loaded and the settings blobs read, so that a bad one is refused before any effect
// exists (and before a long decode).
struct ChainPlan {
  std::vector<PluginModule> modules;
  std::vector<std::vector<std::uint8_t>> blobs;  // the i-th goes to the i-th module
  bool fixed_ticks = false;
  std::uint32_t ticks = 0;
};
ChainPlan plan_chain(const ChainOptions& options);

// Fixes the tick count (or lends the real clock) and creates the effects in order, each loading
// its own blob; plug-ins after the last blob keep their defaults.
EffectChain create_chain(const ChainPlan& plan);

// " (tick count N)" when an effect asked for one, for the status lines.
std::string tick_count_note();

struct BackgroundOptions {
  std::string colour = "0x000000";
  bool keep = false;
  int fade = 0;
  CLI::Option* fade_option = nullptr;
};

// --background 0xRRGGBB | --keep | --fade N, each excluding the others.
void add_background_options(CLI::App& app, BackgroundOptions& options);
Background resolve_background(const BackgroundOptions& options);

// --fps N, 1..kMaxFramesPerSecond.
inline constexpr int kMaxFramesPerSecond = 1000;
CLI::Option* add_fps_option(CLI::App& app, int& fps, const std::string& what);

// A whole sound file, decoded; refuses (bad input, naming the file) one that cannot be read or
// holds no sound.
audio::AudioBuffer load_audio(const std::string& path);

}  // namespace apehost
