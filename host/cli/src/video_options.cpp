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

void check_video_frame_size(const FrameSize& size) {
  about_option("--size", [&] { check_video_size(size.width, size.height); });
}

}  // namespace apehost
