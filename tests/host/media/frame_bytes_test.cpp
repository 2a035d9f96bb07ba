// The frames' bytes on their way out: the raw stream and the video encoder get exactly the bytes
// the byte-by-byte serialisation gave, on every path (the words as they lie, the packed copy), and
// the encoder's sending thread has sent a frame whole before the caller gets it back.

#include "media/frame_bytes.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "host_test_support.hpp"
#include "media/frame_sink.hpp"
#include "media/video_encoder.hpp"

namespace {

// The serialisation the outputs always had: each word's bytes from the lowest up, by shifts.
std::vector<std::uint8_t> serialised(const std::vector<std::uint32_t>& pixels) {
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t p : pixels) {
    for (int b = 0; b < 4; ++b) bytes.push_back(static_cast<std::uint8_t>(p >> (8 * b)));
  }
  return bytes;
}

// A width x height frame in which every byte of every word differs from its neighbours' (and the
// top bytes are not 0), so a swapped channel, word, row or frame changes the bytes.
std::vector<std::uint32_t> asymmetric_frame(int width, int height, std::uint32_t salt) {
  std::vector<std::uint32_t> pixels;
  for (int i = 0; i < width * height; ++i) {
    const auto n = static_cast<std::uint32_t>(i) * 0x01030507u + salt * 0x0B0D1113u;
    pixels.push_back(n ^ 0x80402010u);
  }
  return pixels;
}

TEST(Bgr0Bytes, AreTheBytesOfTheSerialisationByShifts) {
  const std::vector<std::uint32_t> frame = asymmetric_frame(5, 3, 1);
  const std::vector<std::uint8_t> expected = serialised(frame);
  apehost::Bgr0Bytes bgr0;
  const auto bytes = bgr0.of(frame.data(), frame.size());
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), expected);
  if constexpr (apehost::kPixelWordsAreBgr0) {
    // No copy at all: the frame's own memory.
    EXPECT_EQ(bytes.data(), reinterpret_cast<const unsigned char*>(frame.data()));
  }
  // The packing path, which a big-endian machine takes, gives the same bytes.
  std::vector<std::uint8_t> packed(frame.size() * 4, 0xEE);
  apehost::pack_bgr0(frame.data(), frame.size(), packed.data());
  EXPECT_EQ(packed, expected);
  // The blue, green, red, 0 order of an ordinary pixel.
  const std::uint32_t pixel = 0x00102030;
  const auto one = bgr0.of(&pixel, 1);
  EXPECT_EQ(std::vector<std::uint8_t>(one.begin(), one.end()),
            (std::vector<std::uint8_t>{0x30, 0x20, 0x10, 0x00}));
}

TEST(RawFrameSink, WritesExactlyTheSerialisedFramesOneAfterAnother) {
  hosttest::ScratchDir dir;
  std::vector<std::uint8_t> expected;
  {
    apehost::RawFrameSink sink(dir / "out.raw", apehost::Existing::refuse);
    for (std::uint32_t f = 0; f < 3; ++f) {
      const std::vector<std::uint32_t> frame = asymmetric_frame(7, 3, f);
      sink.write(f, frame.data(), 7, 3);
      const std::vector<std::uint8_t> bytes = serialised(frame);
      expected.insert(expected.end(), bytes.begin(), bytes.end());
    }
    sink.finish();
  }
  EXPECT_EQ(hosttest::read_bytes(dir / "out.raw"), expected);
}

TEST(VideoFrameSink, SendsEachFrameWholeBeforeItsMemoryIsHandedBack) {
  hosttest::ScratchDir dir;
  // An encoder that starts reading late: the first frame is still being sent when the second is
  // written.
  hosttest::write_script(dir / "fake-ffmpeg",
                         "#!/bin/sh\nsleep 0.2\ncat > \"" + dir / "frames.raw" + "\"\n");
  apehost::VideoSettings s;
  s.ffmpeg = dir / "fake-ffmpeg";
  s.output = dir / "out.mp4";
  // Frames of half a megabyte, more than the socket holds.
  s.width = 512;
  s.height = 256;
  s.frames_per_second = 30;
  constexpr std::uint32_t kFrames = 12;
  std::vector<std::vector<std::uint32_t>> originals;
  std::vector<std::uint8_t> expected;
  for (std::uint32_t f = 0; f < kFrames; ++f) {
    originals.push_back(asymmetric_frame(s.width, s.height, f));
    const std::vector<std::uint8_t> bytes = serialised(originals.back());
    expected.insert(expected.end(), bytes.begin(), bytes.end());
  }
  {
    // Two frames in turn, as the render loop draws them: the one written before the last is
    // overwritten as soon as write() returns.
    std::vector<std::uint32_t> frames[2];
    apehost::VideoFrameSink sink(s);
    for (std::uint32_t f = 0; f < kFrames; ++f) {
      std::vector<std::uint32_t>& frame = frames[f % 2];
      frame = originals[f];
      sink.write(f, frame.data(), s.width, s.height);
      std::vector<std::uint32_t>& before = frames[(f + 1) % 2];
      std::fill(before.begin(), before.end(), 0xDEADBEEFu);
    }
    sink.finish();
    // finish() returned: the last frame is out too.
    std::fill(frames[(kFrames - 1) % 2].begin(), frames[(kFrames - 1) % 2].end(), 0u);
  }
  const std::vector<std::uint8_t> sent = hosttest::read_bytes(dir / "frames.raw");
  ASSERT_EQ(sent.size(), expected.size());
  EXPECT_TRUE(sent == expected) << "the frames reached the encoder changed";
}

}  // namespace
