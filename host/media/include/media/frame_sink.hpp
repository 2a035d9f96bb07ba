#pragma once
// host/media: uses plugin, base and audio; used by cli.
//
// Where rendered frames go. A render writes every frame to one sink; the raw stream and the
// numbered PNG files are the two kinds so far. Files are written as base/output_file.hpp says: a
// sink that is not finished (a failure, an interruption) leaves no file changed.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/file_io.hpp"
#include "base/output_file.hpp"
#include "media/frame_bytes.hpp"

namespace apehost {

class FrameSink {
 public:
  virtual ~FrameSink() = default;
  // Frame number index (0 first) of width x height pixels 0x00RRGGBB, rows top first. A sink may
  // go on reading the pixels until its next write() or finish() returns, so the caller leaves
  // them unchanged until then.
  virtual void write(std::uint64_t index, const std::uint32_t* pixels, int width, int height) = 0;
  // Flushes and reports any failed write.
  virtual void finish() {}
  // Stops reading the frame last written, when the render ends on an error before finish(); the
  // sink is then only destroyed.
  virtual void abandon() noexcept {}
};

// All frames back to back in one file (or standard output for "-", streamed as they come): each
// pixel one little-endian 32-bit word 0x00RRGGBB, row 0 first. Byte by byte that is blue, green,
// red, 0: the rawvideo pixel format ffmpeg calls bgr0.
class RawFrameSink final : public FrameSink {
 public:
  RawFrameSink(const std::string& path, Existing existing);
  void write(std::uint64_t index, const std::uint32_t* pixels, int width, int height) override;
  void finish() override;

 private:
  std::string path_;
  std::optional<OutputFile> output_;
  std::FILE* file_ = nullptr;
  Bgr0Bytes bgr0_;
};

// A printf-style file name pattern with exactly one integer conversion, "frames/%05d.png": %d, %i
// or %u with an optional 0 or - flag and a width of one or two digits; "%%" is a literal percent.
// Anything else is refused when the pattern is made, not halfway through a render.
class FramePattern {
 public:
  explicit FramePattern(const std::string& pattern);  // throws a bad-input error naming the pattern
  std::string format(std::uint64_t number) const;

 private:
  std::string prefix_;
  std::string suffix_;
  bool zero_pad_ = false;
  bool left_align_ = false;
  int width_ = 0;
};

// One PNG file per frame, named by the pattern with the frame's number; a missing directory in the
// name is created. The run's frames are all or nothing: each is written to a temporary beside its
// name, and finish() puts them all in place together, so a run that fails or is interrupted leaves
// every frame file as it was and removes the directories it created.
class PngFrameSink final : public FrameSink {
 public:
  PngFrameSink(const std::string& pattern, Existing existing);
  ~PngFrameSink() override;
  PngFrameSink(const PngFrameSink&) = delete;
  PngFrameSink& operator=(const PngFrameSink&) = delete;
  void write(std::uint64_t index, const std::uint32_t* pixels, int width, int height) override;
  void finish() override;

 private:
  FramePattern pattern_;
  Existing existing_;
  std::vector<OutputFile> frames_;         // written, not yet in place
  std::vector<std::string> created_dirs_;  // outermost first
  bool finished_ = false;
};

}  // namespace apehost
