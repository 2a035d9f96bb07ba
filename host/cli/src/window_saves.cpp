#include "cli/window_saves.hpp"

#include <filesystem>

#include "base/file_io.hpp"
#include "base/host_error.hpp"
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
    NumberedFile file = create_numbered_file(kPresetFilePrefix, ".toml");
    try {
      finish_numbered_file(file, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    } catch (const HostError&) {
      std::error_code ignored;
      std::filesystem::remove(file.path, ignored);
      throw;
    }
    return shown_path(file.path);
  };
  live.save_picture = [](const FrameBuffer& frame) {
    NumberedFile file = create_numbered_file(kPictureFilePrefix, ".png");
    try {
      write_png(std::move(file.file), file.path, frame.pixels(), frame.width(), frame.height());
    } catch (const HostError&) {
      std::error_code ignored;
      std::filesystem::remove(file.path, ignored);  // ours, made a moment ago: no half picture
      throw;
    }
    return shown_path(file.path);
  };
}

}  // namespace apehost
