// The probe: a test module built like the real effects (same framework, same export), whose frames
// report what the host did, so the host tests can check every argument of every call from the
// pictures alone.
//
// Row 0, the report strip (frames at least kReportWidth wide, 2 high), pixel by pixel:
//   0: the tick count the constructor was seeded with, low 24 bits
//   1: its top 8 bits
//   2: frames rendered before this one
//   3: load_settings calls << 16 | the last length (low 16 bits)
//   4: the beat argument exactly as passed
//   5: sound[0] << 16 | sound[576] << 8 | sound[1152]
//   6: sound[1728] << 16 | sound[2303] << 8 | beat frames seen (low 8 bits)
//   7: colours[0] of the settings
//   8: the first random draw after seeding
//   9: colour_count << 8 | on_beat_change (low 8 bits)
//  10: width << 12 | height (low 12 bits each)
//  11: what pixel 11 held on entry
// Row 1: one marker pixel per frame at column 1 + frame (mod width) in colours[colour_count - 1],
// so a host that keeps the previous frame shows them all and a host that clears shows one.

#include <cstring>

#include "apefw/effect_settings.hpp"
#include "apefw/module.hpp"
#include "apefw/platform.hpp"
#include "apefw/random.hpp"

namespace {

constexpr int kReportWidth = 12;

class ProbeEffect final : public apefw::EffectBase {
 public:
  ProbeEffect() {
    seed_ = apefw::millisecond_ticks();
    apefw::seed_random(seed_);
    first_draw_ = static_cast<std::uint32_t>(apefw::random15());
    apefw::reset_settings(settings_);
  }
  bool construction_complete() const noexcept { return true; }

  int render_frame(const std::uint8_t* sound, int beat, std::uint32_t* frame, std::uint32_t*,
                   int width, int height) override {
    if (beat) ++beats_;
    if (width >= kReportWidth && height >= 2) {
      const std::uint32_t entry = frame[11];
      frame[0] = seed_ & 0xFFFFFFu;
      frame[1] = seed_ >> 24;
      frame[2] = frames_;
      frame[3] = loads_ << 16 | (last_length_ & 0xFFFFu);
      frame[4] = static_cast<std::uint32_t>(beat);
      frame[5] = std::uint32_t{sound[0]} << 16 | std::uint32_t{sound[576]} << 8 | sound[1152];
      frame[6] =
          std::uint32_t{sound[1728]} << 16 | std::uint32_t{sound[2303]} << 8 | (beats_ & 0xFFu);
      frame[7] = settings_.colours[0];
      frame[8] = first_draw_;
      frame[9] = static_cast<std::uint32_t>(settings_.colour_count) << 8 |
                 static_cast<std::uint32_t>(settings_.on_beat_change & 0xFF);
      frame[10] = (static_cast<std::uint32_t>(width) & 0xFFFu) << 12 |
                  (static_cast<std::uint32_t>(height) & 0xFFFu);
      frame[11] = entry;
      const int column = 1 + static_cast<int>(frames_ % static_cast<std::uint32_t>(width - 1));
      frame[width + column] = settings_.colours[settings_.colour_count - 1];
    }
    ++frames_;
    return 0;
  }

  const char* describe() override { return "Render / Probe"; }

  void load_settings(const std::uint8_t* data, int length) override {
    ++loads_;
    last_length_ = static_cast<std::uint32_t>(length);
    apefw::load_settings_blob(settings_, data, length);
  }

  int save_settings(std::uint8_t* buffer) override {
    return apefw::save_settings_blob(settings_, buffer);
  }

 private:
  apefw::EffectSettings settings_{};
  std::uint32_t seed_ = 0;
  std::uint32_t first_draw_ = 0;
  std::uint32_t frames_ = 0;
  std::uint32_t beats_ = 0;
  std::uint32_t loads_ = 0;
  std::uint32_t last_length_ = 0;
};

}  // namespace

const apefw::ModuleIdentity apefw::kModuleIdentity = {"Probe", "Render / Probe",
                                                      &apefw::make_complete_effect<ProbeEffect>};
