#include "plugin/effect_chain.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace apehost {

void FrameBuffer::resize(int width, int height, std::uint32_t fill) {
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  width_ = width;
  height_ = height;
  pixels_.assign(count, fill);
  scratch_.assign(count, 0);
}

void EffectChain::add(const PluginModule& module, const std::vector<std::uint8_t>* blob) {
  EffectInstance effect = module.create_effect();
  if (blob) effect.load_settings(blob->data(), static_cast<int>(blob->size()));
  effects_.push_back({module.long_description(), std::move(effect)});
}

std::string EffectChain::description() const {
  std::string text;
  for (const Entry& entry : effects_) text += (text.empty() ? "" : " + ") + entry.description;
  return text;
}

void EffectChain::render(const std::uint8_t* sound, bool beat, const Background& background,
                         FrameBuffer& frame) {
  prepare_background(frame.pixels(), frame.pixel_count(), background);
  draw(sound, beat, frame);
}

void EffectChain::render(const std::uint8_t* sound, bool beat, const Background& background,
                         const FrameBuffer& previous, FrameBuffer& frame) {
  if (&previous == &frame) return render(sound, beat, background, frame);
  if (previous.width() != frame.width() || previous.height() != frame.height()) {
    throw std::invalid_argument("EffectChain::render: the frame before has another size");
  }
  prepare_background(previous.pixels(), frame.pixels(), frame.pixel_count(), background);
  draw(sound, beat, frame);
}

void EffectChain::draw(const std::uint8_t* sound, bool beat, FrameBuffer& frame) {
  for (Entry& entry : effects_) {
    entry.effect.render_frame(sound, beat, frame.pixels(), frame.scratch(), frame.width(),
                              frame.height());
  }
}

void EffectChain::set_colours(std::size_t index, const std::vector<std::uint32_t>& colours) {
  EffectInstance& effect = effects_.at(index).effect;
  SettingsBlob blob = effect.save_settings();
  const std::size_t count = std::min<std::size_t>(colours.size(), kBlobColours);
  for (std::size_t i = 0; i < count; ++i) set_blob_colour(blob, static_cast<int>(i), colours[i]);
  set_blob_colour_count(blob, static_cast<std::int32_t>(count));
  effect.load_settings(blob.data(), static_cast<int>(blob.size()));
}

void EffectChain::set_on_beat(bool on) {
  for (Entry& entry : effects_) {
    SettingsBlob blob = entry.effect.save_settings();
    set_blob_on_beat(blob, on ? 1 : 0);
    entry.effect.load_settings(blob.data(), static_cast<int>(blob.size()));
  }
}

bool EffectChain::on_beat() {
  return !effects_.empty() && blob_on_beat(effects_.front().effect.save_settings()) != 0;
}

namespace {

// Hue 0..360, saturation and value 0..1, to 0x00RRGGBB.
std::uint32_t hsv_colour(double hue, double saturation, double value) {
  const double sector = hue / 60.0;
  const int i = static_cast<int>(sector) % 6;
  const double f = sector - static_cast<int>(sector);
  const double p = value * (1.0 - saturation);
  const double q = value * (1.0 - saturation * f);
  const double t = value * (1.0 - saturation * (1.0 - f));
  double r = value, g = t, b = p;
  switch (i) {
    case 1:
      r = q;
      g = value;
      b = p;
      break;
    case 2:
      r = p;
      g = value;
      b = t;
      break;
    case 3:
      r = p;
      g = q;
      b = value;
      break;
    case 4:
      r = t;
      g = p;
      b = value;
      break;
    case 5:
      r = value;
      g = p;
      b = q;
      break;
    default:
      break;
  }
  const auto byte = [](double c) { return static_cast<std::uint32_t>(c * 255.0 + 0.5); };
  return byte(r) << 16 | byte(g) << 8 | byte(b);
}

}  // namespace

std::vector<std::uint32_t> random_colour_list(std::mt19937& generator) {
  std::uniform_int_distribution<int> count_of(3, 6);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const int count = count_of(generator);
  // Evenly spaced hues from a random start, each nudged a little, in a random direction round the
  // wheel.
  const double start = 360.0 * unit(generator);
  const double step = (unit(generator) < 0.5 ? -360.0 : 360.0) / count;
  std::vector<std::uint32_t> colours;
  for (int i = 0; i < count; ++i) {
    double hue = start + step * i + (unit(generator) - 0.5) * 0.3 * std::abs(step);
    while (hue < 0.0) hue += 360.0;
    while (hue >= 360.0) hue -= 360.0;
    colours.push_back(hsv_colour(hue, 0.65 + 0.35 * unit(generator), 0.8 + 0.2 * unit(generator)));
  }
  return colours;
}

}  // namespace apehost
