#include "cli/video_options.hpp"

#include "base/host_error.hpp"
#include "cli/option_errors.hpp"
#include "media/video_encoder.hpp"

namespace apehost {

std::string find_ffmpeg(const std::string& given) {
  if (!given.empty()) {
    const std::string found = find_program(given);
    if (found.empty()) throw bad_input("--ffmpeg", given + ": no such program");
    return found;
  }
  const std::string found = find_program("ffmpeg");
  if (found.empty()) {
    throw bad_input("ffmpeg",
                    "not found on PATH; video needs the ffmpeg program: install it with "
                    "'sudo apt-get install ffmpeg', or name it with --ffmpeg PATH");
  }
  return found;
}

CLI::Option* add_speed_option(CLI::App& app, std::string& speed) {
  std::string names;
  for (std::string_view name : kEncoderSpeeds)
    names += (names.empty() ? "" : ", ") + std::string(name);
  const CLI::Validator encoder_speed(
      [names](const std::string& name) {
        return is_encoder_speed(name) ? std::string()
                                      : "'" + name + "' is not an encoder speed (" + names + ")";
      },
      "");
  return app
      .add_option("--speed", speed,
                  "Encoder speed, fastest first: " + names + " (x264's presets; default " +
                      std::string(kDefaultEncoderSpeed) +
                      "). A slower one makes a smaller file of the same quality")
      ->type_name("NAME")
      ->check(encoder_speed);
}

void check_video_frame_size(const FrameSize& size) {
  about_option("--size", [&] { check_video_size(size.width, size.height); });
}

}  // namespace apehost
