#pragma once
// The abstract effect interface: the six operations the host reaches an effect through, in this
// slot order. The host sees them through the plain C table of ape_abi.h; host_boundary.cpp forwards
// each slot to the virtual operation here. Effect classes derive from EffectBase directly, override
// all six and declare their own virtual operations behind them.

#include <cstdint>

namespace apefw {

class EffectBase {
 public:
  EffectBase() = default;
  EffectBase(const EffectBase&) = delete;
  EffectBase& operator=(const EffectBase&) = delete;

  // Slot 0. Destroying through the base frees the effect and all it owns.
  virtual ~EffectBase() = default;

  // Slot 1. sound: 2 x 576 spectrum bytes then 2 x 576 waveform bytes; beat: nonzero on a beat
  // frame; framebuffer: width x height pixels 0x00RRGGBB drawn into in place. Returns 0.
  virtual int render_frame(const std::uint8_t* sound, int beat, std::uint32_t* framebuffer,
                           std::uint32_t* output_framebuffer, int width, int height) = 0;

  // Slot 2. Builds the settings panel under `parent`; returns its window handle, or null.
  virtual void* create_settings_panel(void* instance, void* parent) {
    (void)instance;
    (void)parent;
    return nullptr;
  }

  // Slot 3. The long description, static storage.
  virtual const char* describe() = 0;

  // Slot 4. See load_settings_blob.
  virtual void load_settings(const std::uint8_t* data, int length) {
    (void)data;
    (void)length;
  }

  // Slot 5. See save_settings_blob. Returns the number of bytes written.
  virtual int save_settings(std::uint8_t* buffer) {
    (void)buffer;
    return 0;
  }
};

}  // namespace apefw
