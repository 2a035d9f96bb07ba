#include "media/trace.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "base/host_error.hpp"

namespace apehost {
namespace {

std::uint32_t get_u32le(const unsigned char* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

void put_u32le(unsigned char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace

TraceReader::TraceReader(const std::string& path) : path_(path) {
  file_.reset(std::fopen(path.c_str(), "rb"));
  if (!file_) throw bad_input(path, "cannot open (" + errno_text(errno) + ")");
  struct stat info {};
  if (fstat(fileno(file_.get()), &info) != 0) throw bad_input(path, errno_text(errno));
  if (!S_ISREG(info.st_mode)) throw bad_input(path, "not a regular file");
  const auto size = static_cast<std::uint64_t>(info.st_size);

  unsigned char header[kTraceHeaderBytes];
  if (size < kTraceHeaderBytes ||
      std::fread(header, 1, kTraceHeaderBytes, file_.get()) != kTraceHeaderBytes) {
    throw bad_input(path, "not a sound trace (" + std::to_string(size) +
                              " bytes, shorter than the 16-byte header)");
  }
  if (std::memcmp(header, kTraceMagic, sizeof kTraceMagic) != 0) {
    throw bad_input(path, "not a sound trace (the file does not start with APETRACE)");
  }
  const std::uint32_t version = get_u32le(header + 8);
  if (version != kTraceVersion) {
    throw bad_input(path, "sound trace version " + std::to_string(version) +
                              "; this apehost reads version " + std::to_string(kTraceVersion));
  }
  fps_ = get_u32le(header + 12);
  if (fps_ == 0) throw bad_input(path, "sound trace with a frame rate of 0 frames per second");

  const std::uint64_t body = size - kTraceHeaderBytes;
  if (body % kTraceRecordBytes != 0) {
    throw bad_input(path, "truncated sound trace (" + std::to_string(body) +
                              " bytes after the header are not whole " +
                              std::to_string(kTraceRecordBytes) + "-byte frame records)");
  }
  frame_count_ = body / kTraceRecordBytes;
}

bool TraceReader::read(TraceFrame& frame) {
  if (frames_read_ == frame_count_) return false;
  unsigned char beat = 0;
  if (std::fread(&beat, 1, 1, file_.get()) != 1 ||
      std::fread(frame.sound.data(), 1, frame.sound.size(), file_.get()) != frame.sound.size()) {
    // The length was checked on opening, so only a file changed under us gets here.
    throw bad_input(path_, "read failed at frame record " + std::to_string(frames_read_));
  }
  frame.beat = beat != 0;
  ++frames_read_;
  return true;
}

namespace {

OutputFile checked_output(const std::string& path, std::uint32_t frames_per_second,
                          Existing existing) {
  if (frames_per_second == 0) throw bad_input(path, "a trace needs a frame rate above 0");
  return OutputFile(path, existing);
}

}  // namespace

TraceWriter::TraceWriter(const std::string& path, std::uint32_t frames_per_second,
                         Existing existing)
    : file_(checked_output(path, frames_per_second, existing)) {
  unsigned char header[kTraceHeaderBytes];
  std::memcpy(header, kTraceMagic, sizeof kTraceMagic);
  put_u32le(header + 8, kTraceVersion);
  put_u32le(header + 12, frames_per_second);
  file_.write(header, sizeof header);
}

void TraceWriter::write(const TraceFrame& frame) {
  stop_if_interrupted();
  const unsigned char beat = frame.beat ? 1 : 0;
  file_.write(&beat, 1);
  file_.write(frame.sound.data(), frame.sound.size());
  ++frames_written_;
}

void TraceWriter::close() { file_.commit(); }

}  // namespace apehost
