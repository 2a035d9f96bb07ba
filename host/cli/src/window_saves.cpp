#include "cli/window_saves.hpp"

#include <filesystem>

#include "base/host_error.hpp"
#include "base/output_file.hpp"
#include "media/png_writer.hpp"
#include "plugin/preset.hpp"

namespace apehost {
namespace {

std::string shown_path(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.string();
}

}  // namespace

NumberedName numbered_save_name(const std::string& prefix, const std::string& suffix) {
  return [prefix, suffix](std::uint64_t n) {
    std::string digits = std::to_string(n);
    if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
    return prefix + digits + suffix;
  };
}

void add_window_saves(LiveOptions& live, const std::vector<std::string>& plugins,
                      const Background& background) {
  std::vector<std::string> named;
  for (const std::string& plugin : plugins) named.push_back(preset_plugin(plugin));
  live.save_preset = [named, background](EffectChain& chain) {
    Preset preset;
    preset.background = background;
    for (std::size_t i = 0; i < chain.size() && i < named.size(); ++i) {
      preset.effects.push_back({named[i], chain.settings(i)});
    }
    const std::string text = format_preset(preset);
    return shown_path(
        write_numbered_file(numbered_save_name(kPresetFilePrefix, ".toml"),
                            [&](OutputFile& file) { file.write(text.data(), text.size()); }));
  };
  live.save_picture = [](const FrameBuffer& frame) {
    return shown_path(
        write_numbered_file(numbered_save_name(kPictureFilePrefix, ".png"), [&](OutputFile& file) {
          write_png(file.file(), file.target(), frame.pixels(), frame.width(), frame.height());
        }));
  };
}

}  // namespace apehost
