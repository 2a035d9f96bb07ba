#include <algorithm>
#include <limits>
#include <memory>
#include <string>

#include "apehost_audio/audio_buffer.hpp"
#include "apehost_audio/audio_reader.hpp"

namespace apehost::audio {

namespace {

// Samples per read: a staging buffer of one megabyte whatever the channel count.
constexpr std::int64_t kChunkSamples = 262144;

}  // namespace

std::optional<AudioBuffer> decode_audio_file(const std::string& path, std::string& error) {
  const std::unique_ptr<AudioReader> reader = AudioReader::open(path, error);
  if (!reader) return std::nullopt;

  AudioBuffer buffer;
  buffer.sample_rate = reader->sample_rate();
  buffer.channels = reader->channels();
  // The header's frame count is a hint only (some MP3 and Ogg streams do not know it exactly): read
  // until the decoder runs dry.
  const std::int64_t hint = reader->length_hint();
  if (hint > 0 && hint < std::numeric_limits<std::int64_t>::max() / buffer.channels) {
    buffer.samples.reserve(static_cast<std::size_t>(hint * buffer.channels));
  }
  const std::int64_t chunk = std::max<std::int64_t>(1, kChunkSamples / buffer.channels);
  std::vector<float> samples(static_cast<std::size_t>(chunk * buffer.channels));
  for (;;) {
    const std::int64_t got = reader->read(samples.data(), chunk);
    if (got < 0) {
      error = reader->error();
      return std::nullopt;
    }
    if (got == 0) break;
    buffer.samples.insert(buffer.samples.end(), samples.begin(),
                          samples.begin() + got * buffer.channels);
  }
  if (buffer.samples.empty()) {
    error = path + ": contains no sound samples";
    return std::nullopt;
  }
  return buffer;
}

bool write_wav(const std::string& path, const AudioBuffer& buffer, std::string& error) {
  if (buffer.sample_rate <= 0 || buffer.channels <= 0) {
    error = path + ": cannot write a sound without a sample rate or channels";
    return false;
  }
  const std::unique_ptr<WavWriter> writer =
      WavWriter::create(path, buffer.sample_rate, buffer.channels, error);
  if (!writer) return false;
  const auto frames = static_cast<std::int64_t>(buffer.frame_count());
  return writer->write(buffer.samples.data(), frames, error) && writer->close(error);
}

}  // namespace apehost::audio
