#pragma once
// The settings panel's link to the live effect. One module-wide target: the effect whose panel was
// opened last. The panel edits that effect's settings directly (no copy, no OK/Cancel); an effect
// being destroyed clears the target when it is the one, so a panel left open never touches freed
// memory, and the panel code does nothing while there is no target.

#include "apefw/effect_base.hpp"
#include "apefw/effect_settings.hpp"

namespace apefw {

struct PanelTarget {
  EffectBase* effect;
  EffectSettings* settings;
};

// Points the panel at effect and builds the panel dialog under parent (Windows; elsewhere there is
// no panel and the result is null).
void* open_settings_panel(EffectBase& effect, EffectSettings& settings, void* instance,
                          void* parent) noexcept;

// Called by every effect's destructor.
void forget_settings_panel(const EffectBase& effect) noexcept;

// The current target; {nullptr, nullptr} when none.
PanelTarget panel_target() noexcept;

}  // namespace apefw
