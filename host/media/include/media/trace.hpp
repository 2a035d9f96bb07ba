#pragma once
// host/media: uses plugin, base and audio; used by cli.
//
// Sound traces: the per-frame input of a render, recorded once (from audio, or synthesised) so that
// every run of an effect over it sees exactly the same sound.
//
// File layout, all integers little-endian:
//   header, 16 bytes:  "APETRACE" (8 bytes), uint32 version (1), uint32 frames per second
//   then per frame, kTraceRecordBytes = 2305 bytes:
//     1 byte    beat: 0 = no beat, anything else = beat
//     2304 bytes the host's sound data: 576 spectrum bytes of channel 0, 576 of channel 1,
//                576 waveform bytes of channel 0, 576 of channel 1
// Nothing follows the last record; a file whose length is not the header plus whole records is
// refused, so a truncated recording is noticed instead of rendering a garbled last frame.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "apefw/ape_abi.h"
#include "base/file_io.hpp"
#include "base/output_file.hpp"

namespace apehost {

inline constexpr char kTraceMagic[8] = {'A', 'P', 'E', 'T', 'R', 'A', 'C', 'E'};
inline constexpr std::uint32_t kTraceVersion = 1;
inline constexpr std::size_t kTraceHeaderBytes = 16;
inline constexpr std::size_t kTraceRecordBytes = 1 + APE_SOUND_BYTES;

// Where each of the four 576-byte blocks starts inside the sound data.
constexpr std::size_t spectrum_offset(int channel) { return std::size_t(channel) * APE_SOUND_BINS; }
constexpr std::size_t waveform_offset(int channel) {
  return std::size_t(2 + channel) * APE_SOUND_BINS;
}

struct TraceFrame {
  bool beat = false;
  std::array<std::uint8_t, APE_SOUND_BYTES> sound{};
};

// Reads a trace front to back. The constructor checks the header and the length, so a bad file is
// refused before anything is rendered.
class TraceReader {
 public:
  explicit TraceReader(const std::string& path);

  std::uint32_t frames_per_second() const noexcept { return fps_; }
  std::uint64_t frame_count() const noexcept { return frame_count_; }

  // The next record into frame; false after the last one.
  bool read(TraceFrame& frame);

 private:
  std::string path_;
  UniqueFile file_;
  std::uint32_t fps_ = 0;
  std::uint64_t frame_count_ = 0;
  std::uint64_t frames_read_ = 0;
};

// Writes a trace as an OutputFile: the header at once, then one record per write(); close() reports
// a failed write and puts the file in place. A writer destroyed without close() leaves nothing.
class TraceWriter {
 public:
  TraceWriter(const std::string& path, std::uint32_t frames_per_second,
              Existing existing = Existing::refuse);

  void write(const TraceFrame& frame);
  void close();

  std::uint64_t frames_written() const noexcept { return frames_written_; }

 private:
  OutputFile file_;
  std::uint64_t frames_written_ = 0;
};

}  // namespace apehost
