// play --capture against a real sound server: a PulseAudio daemon of the test's own with a null
// sink, a click track over a 1 kHz tone played into it with paplay, and apehost capturing the
// sink's monitor (what the machine plays) under a virtual X server, writing what the effects were
// given with --save-trace. The tone must land in its spectrum bin and the beats follow the clicks.
// Then the sink is taken away while apehost captures from it.

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <map>

#include "apehost_audio/audio_buffer.hpp"
#include "host_test_support.hpp"
#include "live_test_support.hpp"
#include "media/trace.hpp"
#include "required_tool.hpp"

namespace {

constexpr int kRate = 44100;
constexpr double kToneHz = 1000.0;
constexpr double kClickPeriod = 0.5;  // 120 beats per minute
constexpr int kFps = 60;

// seconds of stereo: the tone at a quarter of full scale all through, and a 10 ms burst of
// decaying noise on every beat from a quarter period in.
apehost::audio::AudioBuffer click_track(double seconds) {
  apehost::audio::AudioBuffer song;
  song.sample_rate = kRate;
  song.channels = 2;
  const auto frames = static_cast<std::size_t>(seconds * kRate);
  const auto period = static_cast<std::size_t>(kClickPeriod * kRate);
  std::uint32_t noise = 12345;
  for (std::size_t i = 0; i < frames; ++i) {
    double v = 0.25 * std::sin(2.0 * M_PI * kToneHz * static_cast<double>(i) / kRate);
    const std::size_t into = (i + period * 3 / 4) % period;
    if (i >= period / 4 && into < kRate / 100) {
      noise = noise * 1664525u + 1013904223u;
      const double white = static_cast<double>(noise >> 8) / (1u << 23) - 1.0;
      v += 0.7 * white * std::exp(-static_cast<double>(into) / (0.002 * kRate));
    }
    song.samples.push_back(static_cast<float>(v));
    song.samples.push_back(static_cast<float>(v));
  }
  return song;
}

class CliCapture : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"pulseaudio", "pactl", "paplay", "Xvfb"}) REQUIRE_TOOL(tool);
    pulse_ = std::make_unique<hosttest::PulseServer>();
    ASSERT_TRUE(pulse_->ready()) << "the sound server did not start:\n" << pulse_->log();
    x_ = std::make_unique<hosttest::XServer>(hosttest::XServer::virtual_screen("320x240"));
  }
  // SDL on the test's sound server and X server.
  hosttest::RunSetup setup() const {
    hosttest::RunSetup setup = x_->setup();
    for (auto& entry : setup.environment) {
      if (entry.first == "SDL_AUDIODRIVER") entry.second = "pulseaudio";
    }
    for (const auto& entry : pulse_->environment()) setup.environment.push_back(entry);
    return setup;
  }
  hosttest::ScratchDir dir_;
  std::unique_ptr<hosttest::PulseServer> pulse_;
  std::unique_ptr<hosttest::XServer> x_;
};

TEST_F(CliCapture, TheToneAndTheClicksPlayedReachTheEffects) {
  std::string error;
  ASSERT_TRUE(apehost::audio::write_wav(dir_ / "clicks.wav", click_track(6.0), error)) << error;
  const auto devices = hosttest::run_apehost({"devices"}, setup());
  ASSERT_EQ(devices.status, 0) << devices.err;
  EXPECT_NE(devices.out.find("audio driver: pulseaudio"), std::string::npos) << devices.out;
  EXPECT_NE(devices.out.find("Monitor of Null Output"), std::string::npos) << devices.out;

  hosttest::RunningProgram play =
      hosttest::start_apehost({"play", PROBEFX_MODULE, "--capture", "Monitor of Null Output",
                               "--size", "48x32", "--save-trace", dir_ / "heard.trace"},
                              setup());
  ASSERT_TRUE(hosttest::wait_for_output(play, "keys:", 20)) << play.out_so_far();
  const auto played = pulse_->client(
      {"paplay", std::string("--device=") + hosttest::PulseServer::kSink, dir_ / "clicks.wav"});
  EXPECT_EQ(played.status, 0) << played.err;
  // Q closes the window the ordinary way, and the trace with it. (Ctrl-C would leave no trace:
  // an interrupted output is never put in place.)
  const std::string window = hosttest::wait_for_window(*x_, "apehost", 10);
  ASSERT_FALSE(window.empty());
  hosttest::send_key(*x_, window, "q");
  ASSERT_TRUE(play.wait(20));
  const hosttest::RunResult run = play.result();
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("on capture from 'Monitor of Null Output'"), std::string::npos) << run.out;

  apehost::TraceReader trace(dir_ / "heard.trace");
  EXPECT_EQ(trace.frames_per_second(), static_cast<std::uint32_t>(kFps));
  EXPECT_GT(trace.frame_count(), 5u * kFps) << "the 6 s of the track and more";
  // The loudest bin of each frame that hears something: the tone's, 1000 Hz x 1152 / 44100 = 26.1.
  const int tone_bin =
      static_cast<int>(std::lround(kToneHz * 2 * static_cast<double>(APE_SOUND_BINS) / kRate));
  std::map<int, int> loudest;
  std::vector<std::uint64_t> beats;
  apehost::TraceFrame frame;
  for (std::uint64_t f = 0; trace.read(frame); ++f) {
    if (frame.beat) beats.push_back(f);
    int best = 1;
    for (int bin = 2; bin < APE_SOUND_BINS; ++bin) {
      if (frame.sound[bin] > frame.sound[best]) best = bin;
    }
    if (frame.sound[best] > 100) ++loudest[best];
  }
  int heard = 0;
  for (const auto& [bin, count] : loudest) heard += count;
  EXPECT_GT(heard, 4 * kFps) << "frames that heard the track";
  EXPECT_GT(loudest[tone_bin], heard * 9 / 10) << "the tone in bin " << tone_bin;
  EXPECT_EQ(tone_bin, 26);
  // Beats: one per click once the tracker has its tempo, half a second (30 frames) apart.
  ASSERT_GE(beats.size(), 8u) << "12 clicks played";
  int on_tempo = 0;
  for (std::size_t i = 1; i < beats.size(); ++i) {
    const auto gap = static_cast<int>(beats[i] - beats[i - 1]);
    on_tempo += std::abs(gap - static_cast<int>(kClickPeriod * kFps)) <= 2;
  }
  EXPECT_GE(on_tempo, static_cast<int>(beats.size()) - 2) << "beats follow the clicks";
}

TEST_F(CliCapture, ASinkTakenAwayDuringCaptureEndsPlayWithOneLine) {
  hosttest::RunningProgram play = hosttest::start_apehost(
      {"play", PROBEFX_MODULE, "--capture", "Monitor", "--size", "48x32"}, setup());
  ASSERT_TRUE(hosttest::wait_for_output(play, "keys:", 20)) << play.out_so_far();
  ASSERT_TRUE(pulse_->unload_sink());
  // It ends by itself, quickly: no hang, no crash.
  ASSERT_TRUE(play.wait(15)) << "still running after the device went away";
  const hosttest::RunResult run = play.result();
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.err, "apehost: Monitor of Null Output: the capture device went away\n");
}

}  // namespace
