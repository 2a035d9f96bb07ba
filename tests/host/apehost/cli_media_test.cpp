// apehost analyse and render with songs: the trace analyse writes is what render --audio sees,
// and a rendered video has the frames, size and sound it should.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "apehost_audio/audio_buffer.hpp"
#include "apehost_audio/sound_analysis.hpp"
#include "host_test_support.hpp"
#include "media/trace.hpp"
#include "media/video_encoder.hpp"
#include "media_test_support.hpp"
#include "required_tool.hpp"

namespace {

using hosttest::read_bytes;
using hosttest::run_apehost;

constexpr double kSongSeconds = 2.2;

class CliMedia : public ::testing::Test {
 protected:
  void SetUp() override { hosttest::write_song(song_, kSongSeconds); }
  hosttest::ScratchDir dir_;
  std::string song_ = dir_ / "song.wav";
};

TEST_F(CliMedia, AnalyseWritesTheSongsFramesAsATraceThatRenderReadsBack) {
  const std::string trace = dir_ / "song.trace";
  const auto run = run_apehost({"analyse", song_, "-o", trace, "--fps", "30"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("wrote " + trace + ": 66 frames at 30 frames per second"),
            std::string::npos)
      << run.out;

  // Record for record what the analysis gives for the decoded file.
  std::string error;
  const std::optional<apehost::audio::AudioBuffer> decoded =
      apehost::audio::decode_audio_file(song_, error);
  ASSERT_TRUE(decoded) << error;
  const std::vector<apehost::audio::SoundFrame> expected = apehost::audio::analyse(*decoded, 30);
  apehost::TraceReader reader(trace);
  EXPECT_EQ(reader.frames_per_second(), 30u);
  ASSERT_EQ(reader.frame_count(), expected.size());
  apehost::TraceFrame record;
  int beats = 0;
  for (const apehost::audio::SoundFrame& frame : expected) {
    ASSERT_TRUE(reader.read(record));
    EXPECT_EQ(record.beat, frame.beat);
    EXPECT_TRUE(record.sound == frame.sound);
    beats += record.beat;
  }
  EXPECT_GE(beats, 2) << "the kicks every half second are beats";

  // Rendering the trace and rendering the song draw the same frames.
  // The probe last: its frames are looked at below.
  for (const char* module : {
#ifdef COILFX_MODULE
           COILFX_MODULE,
#endif
           PROBEFX_MODULE}) {
    SCOPED_TRACE(module);
    const auto from_trace = run_apehost({"render", module, "--trace", trace, "--size", "32x24",
                                         "--ticks", "7", "--raw", dir_ / "trace.raw", "-y"});
    ASSERT_EQ(from_trace.status, 0) << from_trace.err;
    const auto from_song = run_apehost({"render", module, "--audio", song_, "--fps", "30", "--size",
                                        "32x24", "--ticks", "7", "--raw", dir_ / "song.raw", "-y"});
    ASSERT_EQ(from_song.status, 0) << from_song.err;
    EXPECT_NE(from_song.out.find("rendered 66 frames of 32x24 at 30 frames per second"),
              std::string::npos)
        << from_song.out;
    const auto bytes = read_bytes(dir_ / "trace.raw");
    EXPECT_EQ(bytes.size(), 66u * 32 * 24 * 4);
    EXPECT_TRUE(bytes == read_bytes(dir_ / "song.raw"));
  }
  // The probe's report: the sound bytes of a frame in the middle.
  const auto words = hosttest::raw_words(read_bytes(dir_ / "trace.raw"));
  const apehost::audio::SoundFrame& middle = expected[40];
  EXPECT_EQ(words[40 * 32 * 24 + 5], std::uint32_t{middle.sound[0]} << 16 |
                                         std::uint32_t{middle.sound[576]} << 8 |
                                         middle.sound[1152]);
}

TEST_F(CliMedia, AVideoOfTheSongHasEveryFrameTheSizeAndTheSound) {
  REQUIRE_TOOL("ffprobe");
  const std::string video = dir_ / "song.mp4";
  std::vector<std::string> args = {"render"};
#ifdef COILFX_MODULE
  args.push_back(COILFX_MODULE);
#endif
#ifdef BLOBFX_MODULE
  args.push_back(BLOBFX_MODULE);
#endif
  args.push_back(PROBEFX_MODULE);
  for (const char* a : {"--audio", song_.c_str(), "--size", "160x120", "--fps", "30", "--ticks",
                        "3", "--background", "0x203040", "-o", video.c_str()})
    args.push_back(a);
  const auto run = run_apehost(args);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("rendered 66 frames of 160x120 at 30 frames per second"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find(" + Render / Probe"), std::string::npos) << run.out;

  const auto streams = hosttest::probe_streams(video);
  ASSERT_EQ(streams.size(), 2u);
  const auto& picture = streams[0];
  EXPECT_EQ(picture.at("codec_type"), "video");
  EXPECT_EQ(picture.at("codec_name"), "h264");
  EXPECT_EQ(picture.at("width"), "160");
  EXPECT_EQ(picture.at("height"), "120");
  EXPECT_EQ(picture.at("pix_fmt"), "yuv420p");
  EXPECT_EQ(picture.at("nb_frames"), "66");
  const auto& sound = streams[1];
  EXPECT_EQ(sound.at("codec_type"), "audio");
  EXPECT_EQ(sound.at("codec_name"), "aac");
  EXPECT_NEAR(std::stod(sound.at("duration")), kSongSeconds, 0.05);

  // The stack drew something in the very first frame.
  const hosttest::DecodedPng first = hosttest::video_frame(video, 0, dir_ / "f0.png");
  ASSERT_EQ(first.width, 160);
  std::size_t drawn = 0;
  for (std::uint32_t p : first.pixels) drawn += (p >> 16 & 0xFF) > 0x40 || (p & 0xFF) > 0x60;
  EXPECT_GT(drawn, 200u);
}

TEST_F(CliMedia, ATraceRendersToAVideoWithoutSoundAndSongsToPngs) {
  REQUIRE_TOOL("ffprobe");
  const std::string trace = dir_ / "synth.trace";
  ASSERT_EQ(run_apehost({"trace-synth", "-o", trace, "--frames", "12"}).status, 0);
  const auto run =
      run_apehost({"render", PROBEFX_MODULE, "--trace", trace, "--size", "32x16", "--crf", "12",
                   "--background", "0x204060", "-o", dir_ / "trace.mp4"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto streams = hosttest::probe_streams(dir_ / "trace.mp4");
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(streams[0].at("nb_frames"), "12");
  // The background where the probe draws nothing (below its two rows), with red and blue in their
  // places, within what 4:2:0 H.264 keeps.
  const hosttest::DecodedPng last = hosttest::video_frame(dir_ / "trace.mp4", 11, dir_ / "l.png");
  const std::uint32_t p = last.pixels[12 * 32 + 24];
  EXPECT_NEAR(static_cast<int>(p >> 16 & 0xFF), 0x20, 8);
  EXPECT_NEAR(static_cast<int>(p >> 8 & 0xFF), 0x40, 8);
  EXPECT_NEAR(static_cast<int>(p & 0xFF), 0x60, 8);

  const auto png = run_apehost({"render", PROBEFX_MODULE, "--audio", song_, "--fps", "10",
                                "--frames", "3", "--size", "16x4", "--png", dir_ / "p/%d.png"});
  ASSERT_EQ(png.status, 0) << png.err;
  EXPECT_EQ(hosttest::decode_png(dir_ / "p/2.png").width, 16);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "p/3.png"));
}

// A stand-in for ffmpeg that writes its arguments one a line to a file and takes every frame.
std::string argument_recorder(const hosttest::ScratchDir& dir, const std::string& record) {
  const std::string script = dir / "recording-ffmpeg";
  hosttest::write_script(
      script, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + record + "\"\ncat > /dev/null\n");
  return script;
}

// The value after "-preset" on the recorded command line.
std::string recorded_preset(const std::string& record) {
  const auto bytes = read_bytes(record);
  std::vector<std::string> args(1);
  for (std::uint8_t b : bytes) {
    if (b == '\n') {
      args.emplace_back();
    } else {
      args.back() += static_cast<char>(b);
    }
  }
  const auto it = std::find(args.begin(), args.end(), "-preset");
  return it == args.end() || it + 1 == args.end() ? "(no -preset)" : *(it + 1);
}

TEST_F(CliMedia, TheEncoderSpeedReachesFfmpegAsX264sPreset) {
  const std::string record = dir_ / "args.txt";
  const std::string ffmpeg = argument_recorder(dir_, record);
  const std::vector<std::string> render = {
      "render", PROBEFX_MODULE, "--audio", song_, "--size", "16x8",          "--frames",
      "3",      "--ffmpeg",     ffmpeg,    "-y",  "-o",     dir_ / "out.mp4"};
  auto run = run_apehost(render);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(recorded_preset(record), apehost::kDefaultEncoderSpeed);
  for (const char* speed : {"veryslow", "ultrafast", "faster"}) {
    std::vector<std::string> args = render;
    args.insert(args.end(), {"--speed", speed});
    run = run_apehost(args);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(recorded_preset(record), speed);
  }
  run = run_apehost({"demo", "--video", "--frames", "2", "--size", "16x8", "--speed", "slow",
                     "--ffmpeg", ffmpeg, "-o", dir_ / "demo.mp4"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(recorded_preset(record), "slow");
}

}  // namespace
