// Frame outputs: the file name pattern, the raw stream's byte order and the PNG files' pixels.

#include <gtest/gtest.h>

#include "base/host_error.hpp"
#include "host_test_support.hpp"
#include "media/frame_sink.hpp"
#include "media/png_writer.hpp"

namespace {

using apehost::FramePattern;
using apehost::HostError;

// An asymmetric 3 x 2 image: every channel of every pixel differs, so a swap of red and blue, of
// rows or of columns changes the result.
const std::uint32_t kImage[6] = {0x00102030, 0x00405060, 0x00708090,
                                 0x00A0B0C0, 0x00D0E0F0, 0x00FF0001};

TEST(FramePattern, FormatsTheOneIntegerConversion) {
  EXPECT_EQ(FramePattern("frames/%05d.png").format(42), "frames/00042.png");
  EXPECT_EQ(FramePattern("f%d.png").format(1234567), "f1234567.png");
  EXPECT_EQ(FramePattern("f%3i.png").format(7), "f  7.png");
  EXPECT_EQ(FramePattern("f%-3u.png").format(7), "f7  .png");
  EXPECT_EQ(FramePattern("f%02d.png").format(123), "f123.png");  // a width is a minimum
  EXPECT_EQ(FramePattern("100%%/%04d%%.png").format(9), "100%/0009%.png");
}

TEST(FramePattern, RefusesAnythingButExactlyOneIntegerConversion) {
  for (const char* bad : {"frames.png", "%d_%d.png", "%s.png", "%05x.png", "%ld.png", "%.png",
                          "frame%", "%123d.png", "%%d.png", "%+d.png"}) {
    try {
      FramePattern pattern(bad);
      ADD_FAILURE() << bad << " was accepted";
    } catch (const HostError& e) {
      EXPECT_EQ(e.exit_status(), apehost::kExitBadInput);
      EXPECT_EQ(std::string(e.what()).rfind(std::string(bad) + ": bad frame file pattern", 0), 0u)
          << e.what();
    }
  }
}

TEST(RawFrameSink, WritesLittleEndianWordsRowZeroFirst) {
  hosttest::ScratchDir dir;
  const std::string path = dir / "out.raw";
  apehost::RawFrameSink sink(path, apehost::Existing::refuse);
  sink.write(0, kImage, 3, 2);
  const std::uint32_t second[6] = {1, 2, 3, 4, 5, 0x00ABCDEF};
  sink.write(1, second, 3, 2);
  sink.finish();
  const auto bytes = hosttest::read_bytes(path);
  ASSERT_EQ(bytes.size(), 2u * 6u * 4u);
  // Pixel 0 of frame 0: blue, green, red, 0, the bgr0 byte order.
  EXPECT_EQ(bytes[0], 0x30);
  EXPECT_EQ(bytes[1], 0x20);
  EXPECT_EQ(bytes[2], 0x10);
  EXPECT_EQ(bytes[3], 0x00);
  const auto words = hosttest::raw_words(bytes);
  EXPECT_EQ(words[3], 0x00A0B0C0u);  // row 1 starts at word 3
  EXPECT_EQ(words[6 + 5], 0x00ABCDEFu);
}

TEST(PngWriter, DecodesToTheSamePixels) {
  hosttest::ScratchDir dir;
  const std::string path = dir / "f.png";
  apehost::write_png(path, kImage, 3, 2);
  const hosttest::DecodedPng png = hosttest::decode_png(path);
  ASSERT_EQ(png.width, 3);
  ASSERT_EQ(png.height, 2);
  EXPECT_EQ(png.pixels, std::vector<std::uint32_t>(kImage, kImage + 6));
}

TEST(PngWriter, DropsTheTopByteAndWritesTheSameBytesTwice) {
  hosttest::ScratchDir dir;
  std::uint32_t image[6];
  std::copy(kImage, kImage + 6, image);
  image[4] |= 0x7F000000u;  // not a colour: the PNG has no alpha
  apehost::write_png(dir / "a.png", image, 3, 2);
  apehost::write_png(dir / "b.png", image, 3, 2);
  EXPECT_EQ(hosttest::decode_png(dir / "a.png").pixels[4], 0x00D0E0F0u);
  EXPECT_EQ(hosttest::read_bytes(dir / "a.png"), hosttest::read_bytes(dir / "b.png"));
}

TEST(PngFrameSink, NumbersFilesByFrameAndCreatesTheirDirectory) {
  hosttest::ScratchDir dir;
  apehost::PngFrameSink sink(dir / "deep/er/f%03d.png", apehost::Existing::refuse);
  sink.write(0, kImage, 3, 2);
  sink.write(12, kImage, 1, 6);  // a 1 x 6 image of the same words
  sink.finish();
  EXPECT_EQ(hosttest::decode_png(dir / "deep/er/f000.png").width, 3);
  const hosttest::DecodedPng tall = hosttest::decode_png(dir / "deep/er/f012.png");
  EXPECT_EQ(tall.height, 6);
  EXPECT_EQ(tall.pixels[5], 0x00FF0001u);
}

}  // namespace
