#include "media/png_writer.hpp"

#include <png.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "base/file_io.hpp"
#include "base/host_error.hpp"

namespace apehost {

void write_png(const std::string& path, const std::uint32_t* pixels, int width, int height) {
  UniqueFile file(std::fopen(path.c_str(), "wb"));
  if (!file) throw bad_input(path, "cannot create (" + errno_text(errno) + ")");
  write_png(std::move(file), path, pixels, width, height);
}

void write_png(UniqueFile file, const std::string& path, const std::uint32_t* pixels, int width,
               int height) {
  // Unpack by shifts, not by the bytes' order in memory, so the red and blue channels cannot swap
  // on any machine.
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  std::vector<png_byte> rgb(count * 3);
  for (std::size_t i = 0; i < count; ++i) {
    rgb[3 * i + 0] = static_cast<png_byte>(pixels[i] >> 16);
    rgb[3 * i + 1] = static_cast<png_byte>(pixels[i] >> 8);
    rgb[3 * i + 2] = static_cast<png_byte>(pixels[i]);
  }

  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  const bool written =
      png_image_write_to_stdio(&image, file.get(), 0, rgb.data(), 3 * width, nullptr) != 0;
  const std::string message = image.message;
  png_image_free(&image);
  if (!written) throw failure(path, "PNG write failed (" + message + ")");
  if (std::fclose(file.release()) != 0) {
    throw failure(path, "write failed (" + errno_text(errno) + ")");
  }
}

}  // namespace apehost
