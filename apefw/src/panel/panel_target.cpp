// Which effect the settings panel edits. Only the host's window thread opens panels, but effects
// may be destroyed on another thread, so the pointers are atomics.

#include <atomic>

#include "apefw/settings_panel.hpp"
#include "panel_dialog.hpp"

namespace apefw {
namespace {

std::atomic<EffectBase*> g_panel_effect{nullptr};
std::atomic<EffectSettings*> g_panel_settings{nullptr};

}  // namespace

void* open_settings_panel(EffectBase& effect, EffectSettings& settings, void* instance,
                          void* parent) noexcept {
  g_panel_settings.store(&settings, std::memory_order_relaxed);
  g_panel_effect.store(&effect, std::memory_order_release);
  return create_panel_dialog(instance, parent);
}

void forget_settings_panel(const EffectBase& effect) noexcept {
  EffectBase* expected = const_cast<EffectBase*>(&effect);
  if (g_panel_effect.compare_exchange_strong(expected, nullptr, std::memory_order_acq_rel)) {
    g_panel_settings.store(nullptr, std::memory_order_relaxed);
  }
}

PanelTarget panel_target() noexcept {
  EffectBase* effect = g_panel_effect.load(std::memory_order_acquire);
  if (!effect) return {nullptr, nullptr};
  return {effect, g_panel_settings.load(std::memory_order_relaxed)};
}

}  // namespace apefw
