#pragma once
// host/plugin: uses base and the C boundary (apefw/ape_abi.h) only; used by media, live and cli.
//
// A stack of effects drawn into one frame, the way a preset's list is: the frame is readied by the
// background mode, then every effect draws over what the one before it left, in order, with the
// same sound data and beat flag. Each effect keeps its own settings.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "plugin/background.hpp"
#include "plugin/plugin_loader.hpp"
#include "plugin/settings_blob.hpp"

namespace apehost {

// The frame the effects draw into, and the second frame the boundary lends (which they ignore).
class FrameBuffer {
 public:
  int width() const noexcept { return width_; }
  int height() const noexcept { return height_; }
  std::uint32_t* pixels() noexcept { return pixels_.data(); }
  const std::uint32_t* pixels() const noexcept { return pixels_.data(); }
  std::uint32_t* scratch() noexcept { return scratch_.data(); }
  std::size_t pixel_count() const noexcept { return pixels_.size(); }

  // A new size: every pixel becomes fill (what a cleared frame would hold), so a kept or faded
  // background starts over rather than showing a picture of another shape.
  void resize(int width, int height, std::uint32_t fill);

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint32_t> pixels_;
  std::vector<std::uint32_t> scratch_;
};

class EffectChain {
 public:
  // Creates one effect of module at the end of the chain and, when blob is given, hands it over
  // with its length the way the host hands a stored blob, before the first frame.
  void add(const PluginModule& module, const std::vector<std::uint8_t>* blob);

  std::size_t size() const noexcept { return effects_.size(); }
  bool empty() const noexcept { return effects_.empty(); }

  // The long descriptions, joined by " + " in drawing order.
  std::string description() const;

  // One frame: the background, then every effect in order.
  void render(const std::uint8_t* sound, bool beat, const Background& background,
              FrameBuffer& frame);
  // The same in a frame of its own: the background starts from previous, the frame before (of the
  // same size), which is left as it is.
  void render(const std::uint8_t* sound, bool beat, const Background& background,
              const FrameBuffer& previous, FrameBuffer& frame);

  // Settings edits, as a host's editor makes them: each effect's blob is saved, changed and loaded
  // back, so the effect's own clamping applies.
  void set_colours(std::size_t index, const std::vector<std::uint32_t>& colours);
  void set_on_beat(bool on);
  // Whether the first effect changes colour on beats (false for an empty chain).
  bool on_beat();
  SettingsBlob settings(std::size_t index) { return effects_.at(index).effect.save_settings(); }

 private:
  void draw(const std::uint8_t* sound, bool beat, FrameBuffer& frame);

  struct Entry {
    std::string description;
    EffectInstance effect;
  };
  std::vector<Entry> effects_;
};

// A fresh colour list for the colour cycle: 3 to 6 bright, saturated colours with hues spread
// around the wheel, so consecutive ones are easy to tell apart.
std::vector<std::uint32_t> random_colour_list(std::mt19937& generator);

}  // namespace apehost
