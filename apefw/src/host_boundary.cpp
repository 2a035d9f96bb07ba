// The object the host holds: the C table of ape_abi.h in front of a pointer to the C++ effect. Each
// slot is a noexcept trampoline, so nothing thrown inside can cross into the host, and slot 0
// follows MSVC's scalar deleting destructor (flags bit 0: free the memory too).

#include <new>

#include "apefw/module.hpp"

namespace apefw {
namespace {

struct HostObject {
  ApeEffect header;  // first: the host reads the table pointer at offset 0
  EffectBase* effect;
};

static_assert(offsetof(HostObject, header) == 0);

HostObject* host_object(ApeEffect* self) noexcept { return reinterpret_cast<HostObject*>(self); }

void* APE_THISCALL destroy(ApeEffect* self, unsigned int flags) noexcept {
  HostObject* object = host_object(self);
  delete object->effect;
  object->effect = nullptr;
  if (flags & APE_DESTROY_AND_FREE) delete object;
  return self;
}

int APE_THISCALL render_frame(ApeEffect* self, const unsigned char* sound, int beat,
                              int* framebuffer, int* output_framebuffer, int width,
                              int height) noexcept {
  EffectBase* effect = host_object(self)->effect;
  if (!effect) return 0;
  return effect->render_frame(sound, beat, reinterpret_cast<std::uint32_t*>(framebuffer),
                              reinterpret_cast<std::uint32_t*>(output_framebuffer), width, height);
}

void* APE_THISCALL create_settings_panel(ApeEffect* self, void* instance, void* parent) noexcept {
  EffectBase* effect = host_object(self)->effect;
  return effect ? effect->create_settings_panel(instance, parent) : nullptr;
}

const char* APE_THISCALL describe(ApeEffect* self) noexcept {
  EffectBase* effect = host_object(self)->effect;
  return effect ? effect->describe() : "";
}

void APE_THISCALL load_settings(ApeEffect* self, const unsigned char* data, int length) noexcept {
  if (EffectBase* effect = host_object(self)->effect) effect->load_settings(data, length);
}

int APE_THISCALL save_settings(ApeEffect* self, unsigned char* buffer) noexcept {
  EffectBase* effect = host_object(self)->effect;
  return effect ? effect->save_settings(buffer) : 0;
}

constexpr ApeEffectVtable kHostTable = {
    &destroy, &render_frame, &create_settings_panel, &describe, &load_settings, &save_settings,
};

}  // namespace

ApeEffect* wrap_for_host(std::unique_ptr<EffectBase> effect) noexcept {
  if (!effect) return nullptr;
  auto* object = new (std::nothrow) HostObject{{&kHostTable}, nullptr};
  if (!object) return nullptr;  // the effect is freed on the way out
  object->effect = effect.release();
  return &object->header;
}

EffectBase* unwrap(ApeEffect* object) noexcept {
  return object ? host_object(object)->effect : nullptr;
}

}  // namespace apefw
