#pragma once
// What a deliverable tells the shared entry point about itself, and the shared creator. Each
// deliverable defines kModuleIdentity once; module_entry.cpp, compiled into every plug-in module,
// exports the entry point built on it.

#include <memory>
#include <new>

#include "apefw/ape_abi.h"
#include "apefw/effect_base.hpp"

namespace apefw {

struct ModuleIdentity {
  const char* short_name;        // shown in the host's list, e.g. "Coilform 3D"
  const char* long_description;  // e.g. "Render / Coilform 3D"; also what describe() returns
  // A complete new effect, or null when it (or any of its buffers) could not be had.
  std::unique_ptr<EffectBase> (*make_effect)() noexcept;
};

extern const ModuleIdentity kModuleIdentity;

// Builds Effect; hands it out only when its constructor got every buffer it needs, so no object is
// ever handed out half-built. Effect provides `bool construction_complete() const noexcept`.
template <class Effect>
std::unique_ptr<EffectBase> make_complete_effect() noexcept {
  std::unique_ptr<Effect> effect(new (std::nothrow) Effect);
  if (!effect || !effect->construction_complete()) return nullptr;
  return effect;
}

// The generic entry point and creator, parameterised by a module's identity.
int module_entry_point(const ModuleIdentity& module, char** short_name, ApeCreateEffectFn* create,
                       ApeCreateEffectFn creator) noexcept;
ApeEffect* create_effect(const ModuleIdentity& module, char* description) noexcept;

// Wraps an effect in the object the host holds: the six-slot table of ape_abi.h in front,
// forwarding to the effect's virtual operations. Takes ownership; null in, or no memory, gives
// null.
ApeEffect* wrap_for_host(std::unique_ptr<EffectBase> effect) noexcept;

// The effect behind a host object made by wrap_for_host (tests and in-process hosts).
EffectBase* unwrap(ApeEffect* object) noexcept;

}  // namespace apefw
