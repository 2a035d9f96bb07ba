#include "media/frame_sink.hpp"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "base/host_error.hpp"
#include "media/png_writer.hpp"

namespace apehost {

RawFrameSink::RawFrameSink(const std::string& path, Existing existing) : path_(path) {
  if (path == "-") {
    file_ = stdout;
    path_ = "standard output";
    return;
  }
  output_.emplace(path, existing);
  file_ = output_->file();
}

void RawFrameSink::write(std::uint64_t, const std::uint32_t* pixels, int width, int height) {
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  const std::span<const unsigned char> bytes = bgr0_.of(pixels, count);
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    throw failure(path_, "write failed (" + errno_text(errno) + ")");
  }
}

void RawFrameSink::finish() {
  if (output_) {
    output_->commit();
  } else if (std::fflush(file_) != 0) {
    throw failure(path_, "write failed (" + errno_text(errno) + ")");
  }
  file_ = nullptr;
}

FramePattern::FramePattern(const std::string& pattern) {
  const auto refuse = [&](const std::string& why) {
    return bad_input(pattern,
                     "bad frame file pattern: " + why +
                         " (it needs exactly one integer conversion, e.g. frames/%05d.png)");
  };
  int conversions = 0;
  std::string* out = &prefix_;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') {
      *out += pattern[i];
      continue;
    }
    if (++i == pattern.size()) throw refuse("it ends in a lone %");
    if (pattern[i] == '%') {
      *out += '%';
      continue;
    }
    if (pattern[i] == '0' || pattern[i] == '-') {
      zero_pad_ = pattern[i] == '0';
      left_align_ = pattern[i] == '-';
      ++i;
    }
    int digits = 0;
    for (; i < pattern.size() && pattern[i] >= '0' && pattern[i] <= '9'; ++i, ++digits) {
      width_ = width_ * 10 + (pattern[i] - '0');
    }
    if (digits > 2) throw refuse("a field width of more than two digits");
    if (i == pattern.size() || (pattern[i] != 'd' && pattern[i] != 'i' && pattern[i] != 'u')) {
      throw refuse("a conversion other than %d, %i or %u");
    }
    if (++conversions > 1) throw refuse("more than one conversion");
    out = &suffix_;
  }
  if (conversions == 0) throw refuse("no conversion");
}

std::string FramePattern::format(std::uint64_t number) const {
  std::string digits = std::to_string(number);
  if (digits.size() < static_cast<std::size_t>(width_)) {
    const std::size_t pad = static_cast<std::size_t>(width_) - digits.size();
    if (left_align_) {
      digits.append(pad, ' ');
    } else {
      digits.insert(0, pad, zero_pad_ ? '0' : ' ');
    }
  }
  return prefix_ + digits + suffix_;
}

PngFrameSink::PngFrameSink(const std::string& pattern, Existing existing)
    : pattern_(pattern), existing_(existing) {}

PngFrameSink::~PngFrameSink() {
  if (finished_) return;
  frames_.clear();  // the temporaries go
  std::error_code ignored;
  for (auto dir = created_dirs_.rbegin(); dir != created_dirs_.rend(); ++dir) {
    std::filesystem::remove(*dir, ignored);  // only while empty: never what someone put there
  }
}

void PngFrameSink::write(std::uint64_t index, const std::uint32_t* pixels, int width, int height) {
  const std::string path = pattern_.format(index);
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  if (!parent.empty()) {
    // The directories the name needs, outermost first, noting the ones made here.
    std::filesystem::path dir;
    for (const std::filesystem::path& part : parent) {
      dir /= part;
      std::error_code error;
      if (std::filesystem::create_directory(dir, error)) {
        created_dirs_.push_back(dir.string());
      } else if (error) {
        throw bad_input(dir.string(), "cannot create directory (" + error.message() + ")");
      }
    }
  }
  OutputFile frame(path, existing_);
  write_png(frame.file(), path, pixels, width, height);
  frame.close(OutputFile::Sync::later);  // synced with the others by finish()
  frames_.push_back(std::move(frame));
}

void PngFrameSink::finish() {
  OutputFile::commit_all(frames_);
  frames_.clear();
  finished_ = true;
}

}  // namespace apehost
