// The render loop draws each frame into the other of two buffers, starting from the frame before:
// every background mode must give exactly the frames one buffer drawn over and over gives.

#include "media/frame_render.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "base/host_error.hpp"
#include "fixed_tick.hpp"
#include "host_test_support.hpp"
#include "media/trace_synth.hpp"
#include "media/video_encoder.hpp"
#include "plugin/plugin_loader.hpp"

namespace {

using apehost::Background;
using apehost::EffectChain;
using apehost::FrameBuffer;
using apehost::PluginModule;

constexpr int kW = 48;
constexpr int kH = 36;
constexpr std::uint64_t kFrames = 9;

// Keeps a copy of every frame it is given.
class RecordingSink final : public apehost::FrameSink {
 public:
  void write(std::uint64_t index, const std::uint32_t* pixels, int width, int height) override {
    EXPECT_EQ(index, frames.size());
    frames.emplace_back(pixels, pixels + static_cast<std::size_t>(width) * height);
  }
  void finish() override { finished = true; }
  std::vector<std::vector<std::uint32_t>> frames;
  bool finished = false;
};

std::vector<PluginModule> modules() {
  std::vector<PluginModule> loaded;
#ifdef COILFX_MODULE
  loaded.push_back(PluginModule::load(COILFX_MODULE));
#endif
  loaded.push_back(PluginModule::load(PROBEFX_MODULE));  // reports what each frame started from
  return loaded;
}

EffectChain chain_of(const std::vector<PluginModule>& loaded) {
  testsupport::set_fixed_tick(77);
  EffectChain chain;
  for (const PluginModule& module : loaded) chain.add(module, nullptr);
  return chain;
}

std::vector<apehost::TraceFrame> sound() {
  apehost::TraceSynthesizer synth(5);
  std::vector<apehost::TraceFrame> frames;
  for (std::uint64_t f = 0; f < kFrames; ++f) frames.push_back(synth.next());
  return frames;
}

TEST(RenderFrames, EveryBackgroundGivesTheFramesOfOneBufferDrawnOverAndOver) {
  const std::vector<PluginModule> loaded = modules();
  const std::vector<apehost::TraceFrame> records = sound();
  Background clear;
  clear.colour = 0x00203040;
  Background keep;
  keep.mode = Background::Mode::keep;
  keep.colour = 0x00102030;  // what the frames start as
  Background fade;
  fade.mode = Background::Mode::fade;
  fade.fade = 9;
  fade.colour = 0x00FFFFFF;
  for (const Background& background : {clear, keep, fade}) {
    SCOPED_TRACE(static_cast<int>(background.mode));
    std::vector<std::vector<std::uint32_t>> expected;
    {
      EffectChain chain = chain_of(loaded);
      FrameBuffer frame;
      frame.resize(kW, kH, background.colour);
      for (const apehost::TraceFrame& record : records) {
        chain.render(record.sound.data(), record.beat, background, frame);
        expected.emplace_back(frame.pixels(), frame.pixels() + frame.pixel_count());
      }
    }
    EffectChain chain = chain_of(loaded);
    RecordingSink sink;
    std::size_t next = 0;
    const apehost::FrameFeed feed = [&](apehost::TraceFrame& record) {
      if (next == records.size()) return false;
      record = records[next++];
      return true;
    };
    EXPECT_EQ(apehost::render_frames(chain, background, {kW, kH, 60}, kFrames + 5, feed, sink),
              kFrames);
    EXPECT_TRUE(sink.finished);
    ASSERT_EQ(sink.frames.size(), expected.size());
    for (std::size_t f = 0; f < expected.size(); ++f) {
      EXPECT_TRUE(sink.frames[f] == expected[f]) << "frame " << f;
    }
    // The probe's row of markers: one a frame, all of them where the frame before is kept.
    const std::vector<std::uint32_t>& last = sink.frames.back();
    int markers = 0;
    for (int x = 1; x <= static_cast<int>(kFrames); ++x)
      markers += last[kW + x] != last[kW - 1 + kW];
    EXPECT_EQ(markers, background.mode == Background::Mode::clear ? 1 : static_cast<int>(kFrames));
  }
}

TEST(RenderFrames, AFailingFeedStopsTheEncodersSendingBeforeTheFramesAreGone) {
  // An encoder slow to start reading: frames of half a megabyte are still being sent when the feed
  // fails. The sanitizer build sees any read of the render loop's frames after they are freed.
  hosttest::ScratchDir dir;
  hosttest::write_script(dir / "slow-ffmpeg", "#!/bin/sh\nsleep 0.3\ncat > /dev/null\n");
  apehost::VideoSettings settings;
  settings.ffmpeg = dir / "slow-ffmpeg";
  settings.output = dir / "out.mp4";
  settings.width = 512;
  settings.height = 256;
  settings.frames_per_second = 30;
  const std::vector<PluginModule> loaded = modules();
  EffectChain chain = chain_of(loaded);
  const std::vector<apehost::TraceFrame> records = sound();
  std::size_t next = 0;
  const apehost::FrameFeed feed = [&](apehost::TraceFrame& record) {
    if (next == 3) throw apehost::failure("trace", "read failed");
    record = records[next++];
    return true;
  };
  {
    apehost::VideoFrameSink sink(settings);
    try {
      apehost::render_frames(chain, Background{}, {512, 256, 30}, kFrames, feed, sink);
      ADD_FAILURE() << "the feed's failure was lost";
    } catch (const apehost::HostError& e) {
      EXPECT_EQ(std::string(e.what()), "trace: read failed");
    }
  }
  EXPECT_FALSE(std::filesystem::exists(settings.output)) << "an unfinished video was left";
}

}  // namespace
