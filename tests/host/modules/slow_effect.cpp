// A module that takes its time: every frame it fills the picture with noise of its own and then
// sleeps, so a render of a few hundred frames lasts seconds and can be interrupted half-way.

#include <chrono>
#include <thread>

#include "apefw/module.hpp"

namespace {

constexpr auto kFrameTime = std::chrono::milliseconds(10);
constexpr std::uint32_t kFrameStride = 7919;      // a prime: frames differ
constexpr std::uint32_t kScramble = 2654435761u;  // Knuth's multiplicative hash

class SlowEffect final : public apefw::EffectBase {
 public:
  bool construction_complete() const noexcept { return true; }

  int render_frame(const std::uint8_t*, int, std::uint32_t* frame, std::uint32_t*, int width,
                   int height) override {
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    // Noise, which no PNG compresses: its files are as large as the picture.
    for (std::size_t i = 0; i < count; ++i) {
      frame[i] = (static_cast<std::uint32_t>(i) + frames_ * kFrameStride) * kScramble & 0xFFFFFFu;
    }
    ++frames_;
    std::this_thread::sleep_for(kFrameTime);
    return 0;
  }

  const char* describe() override { return "Render / Slow"; }
  void load_settings(const std::uint8_t*, int) override {}
  int save_settings(std::uint8_t*) override { return 0; }

 private:
  std::uint32_t frames_ = 0;
};

}  // namespace

const apefw::ModuleIdentity apefw::kModuleIdentity = {"Slow", "Render / Slow",
                                                      &apefw::make_complete_effect<SlowEffect>};
