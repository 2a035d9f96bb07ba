// The settings shared between threads without a lock, the way a host uses an effect: its render
// thread draws frames continuously, its window thread runs the settings panel (writing colours, the
// count and the on-beat flag, and painting the colour strip, which reads the count), and the host
// loads and saves presets on a third thread. Built with ThreadSanitizer (scripts/reliability) this
// shows that no access races; in every build it shows that no value is ever seen torn or out of
// range: every colour word written is a grey (the same byte in all three channels, top byte 0), so
// a word put together from two writes shows as a colour that is not grey, and every blend of greys
// is grey again.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "apefw/colour_cycler.hpp"
#include "apefw/shared_field.hpp"
#include "blobfx/blob_effect.hpp"
#include "coilfx/coil_effect.hpp"
#include "fixed_tick.hpp"
#include "host_feed.hpp"

namespace {

using reliability::TestRandom;

constexpr int kWidth = 32, kHeight = 24;
// Frames rendered while the other two threads write. ThreadSanitizer slows every access about
// tenfold; fewer frames there still meet hundreds of thousands of edits, loads and saves.
#if defined(__SANITIZE_THREAD__)
constexpr long kCoilFrames = 1500;
#else
constexpr long kCoilFrames = 4000;
#endif
constexpr long kBlobFrames = kCoilFrames / 4;

std::uint32_t grey(std::uint32_t level) { return (level & 0xFFu) * 0x010101u; }
bool is_grey(std::uint32_t c) { return c == grey(c); }

struct Findings {
  std::atomic<long> frames{0};
  std::atomic<long> panel_writes{0};
  std::atomic<long> loads{0};
  std::atomic<long> saves{0};
  std::atomic<long> counts_out_of_range{0};
  std::atomic<long> indices_outside_list{0};
  std::atomic<long> colours_not_grey{0};
  std::atomic<long> on_beat_unknown{0};
  std::atomic<long> bad_saves{0};
};

// The checks of one frame, on the render thread right after it, while the other threads go on
// writing: the count and the two list entries the blend uses lie inside the list, the blend is a
// grey, and so is every lit vertex of the frame (each lit from the blend the frame itself made).
template <class Effect>
void check_frame(const Effect& effect, Findings& findings) {
  const std::int32_t count = apefw::read_shared(effect.settings.colour_count);
  if (count < 1 || count > apefw::kMaxColours) findings.counts_out_of_range.fetch_add(1);
  double position = effect.colour_position;
  const double low = std::floor(position);
  const double high = std::ceil(position);
  if (!(low >= 0.0 && high < apefw::kMaxColours + 1)) findings.indices_outside_list.fetch_add(1);
  if (count > 1 && !(static_cast<long>(high) % count < apefw::kMaxColours)) {
    findings.indices_outside_list.fetch_add(1);
  }
  const std::uint32_t colour = apefw::ColourCycler(effect.settings, position).blend_colour();
  if (!is_grey(colour)) findings.colours_not_grey.fetch_add(1);
  for (std::int32_t v = 0; v < effect.vertex_count; ++v) {
    if (!is_grey(effect.vertices[v].colour)) {
      findings.colours_not_grey.fetch_add(1);
      break;
    }
  }
}

template <class Effect>
void race(long frames, Findings& f) {
  testsupport::set_fixed_tick(11);
  Effect effect;
  std::atomic<bool> done{false};
  apefw::EffectSettings& settings = effect.settings;
  // Greys from the start (the default first colour is not one).
  const std::vector<std::uint8_t> start =
      reliability::settings_blob(std::vector<std::uint32_t>(16, grey(0x80)), 3, 1);
  effect.load_settings(start.data(), APE_SETTINGS_BYTES);

  std::thread render([&] {
    reliability::SoundFeed feed(3);
    std::vector<std::uint32_t> frame(kWidth * kHeight);
    for (long i = 0; i < frames; ++i) {
      const std::uint8_t* sound = feed.next_frame();
      effect.render_frame(sound, feed.beat(), frame.data(), nullptr, kWidth, kHeight);
      check_frame(effect, f);
      if (!(effect.colour_position >= 0.0 && effect.colour_position < apefw::kMaxColours)) {
        f.indices_outside_list.fetch_add(1);
      }
      f.frames.fetch_add(1);
    }
    done.store(true);
  });

  // The panel: one field at a time, each word written whole, the count already clamped (the count
  // box clamps what is typed); between edits it paints the strip, re-reading the count per cell.
  std::thread panel([&] {
    TestRandom random(4);
    while (!done.load()) {
      switch (random.below(3)) {
        case 0:
          apefw::write_shared(settings.colours[random.below(16)], grey(random.next()));
          break;
        case 1:
          apefw::write_shared(settings.colour_count,
                              static_cast<std::int32_t>(random.below(16) + 1));
          break;
        default:
          apefw::write_shared(settings.on_beat_change, static_cast<std::int32_t>(random.below(2)));
          break;
      }
      f.panel_writes.fetch_add(1);
      for (std::int32_t i = 0; i < apefw::read_shared(settings.colour_count); ++i) {
        const std::int32_t count = apefw::read_shared(settings.colour_count);
        if (count < 1 || count > apefw::kMaxColours) f.counts_out_of_range.fetch_add(1);
        if (i < apefw::kMaxColours && !is_grey(apefw::read_shared(settings.colours[i]))) {
          f.colours_not_grey.fetch_add(1);
        }
      }
    }
  });

  // Presets: blobs of greys with counts far out of range (clamped by the load) and every kind of
  // length: whole, ending before the count or inside the colours, empty, overlong, negative.
  std::thread presets([&] {
    TestRandom random(5);
    const int lengths[] = {72, 72, 72, 68, 64, 40, 4, 0, 73, 1000, -1, -72};
    const std::int32_t on_beat[] = {0, 1, 7};
    std::uint8_t saved[APE_SETTINGS_BYTES];
    while (!done.load()) {
      std::vector<std::uint32_t> colours(16);
      for (std::uint32_t& c : colours) c = grey(random.next());
      const auto count = static_cast<std::int32_t>(random.below(60)) - 20;
      const std::vector<std::uint8_t> blob =
          reliability::settings_blob(colours, count, on_beat[random.below(3)]);
      effect.load_settings(blob.data(), lengths[random.below(std::size(lengths))]);
      f.loads.fetch_add(1);
      if (effect.save_settings(saved) != APE_SETTINGS_BYTES) f.bad_saves.fetch_add(1);
      f.saves.fetch_add(1);
      auto word = [&](int i) {
        return static_cast<std::uint32_t>(saved[4 * i]) |
               static_cast<std::uint32_t>(saved[4 * i + 1]) << 8 |
               static_cast<std::uint32_t>(saved[4 * i + 2]) << 16 |
               static_cast<std::uint32_t>(saved[4 * i + 3]) << 24;
      };
      for (int i = 0; i < 16; ++i) {
        if (!is_grey(word(i))) f.colours_not_grey.fetch_add(1);
      }
      const auto saved_count = static_cast<std::int32_t>(word(16));
      if (saved_count < 1 || saved_count > 16) f.counts_out_of_range.fetch_add(1);
      const std::uint32_t saved_on_beat = word(17);
      if (saved_on_beat != 0 && saved_on_beat != 1 && saved_on_beat != 7)
        f.on_beat_unknown.fetch_add(1);
    }
  });

  render.join();
  panel.join();
  presets.join();
}

void expect_nothing_found(const char* name, const Findings& f, long frames) {
  std::printf("%s: %ld frames against %ld panel edits and paints, %ld loads and %ld saves\n", name,
              f.frames.load(), f.panel_writes.load(), f.loads.load(), f.saves.load());
  EXPECT_EQ(f.frames.load(), frames);
  EXPECT_GT(f.panel_writes.load(), 0);
  EXPECT_GT(f.loads.load(), 0);
  EXPECT_EQ(f.counts_out_of_range.load(), 0);
  EXPECT_EQ(f.indices_outside_list.load(), 0);
  EXPECT_EQ(f.colours_not_grey.load(), 0);
  EXPECT_EQ(f.on_beat_unknown.load(), 0);
  EXPECT_EQ(f.bad_saves.load(), 0);
}

TEST(SettingsRace, CoilformRendersWhileThePanelAndThePresetsChangeItsSettings) {
  Findings f;
  race<coilfx::CoilEffect>(kCoilFrames, f);
  expect_nothing_found("coilfx", f, kCoilFrames);
}

TEST(SettingsRace, BlobformRendersWhileThePanelAndThePresetsChangeItsSettings) {
  Findings f;
  race<blobfx::BlobEffect>(kBlobFrames, f);
  expect_nothing_found("blobfx", f, kBlobFrames);
}

}  // namespace
