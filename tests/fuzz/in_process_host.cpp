#include "in_process_host.hpp"

#include "apefw/module.hpp"
#include "blobfx/blob_effect.hpp"
#include "coilfx/coil_effect.hpp"

namespace fuzzing {
namespace {

ApeEffect* as_object(void* effect) { return static_cast<ApeEffect*>(effect); }

void* create(void*, int which) {
  if (which == 0) return apefw::wrap_for_host(apefw::make_complete_effect<coilfx::CoilEffect>());
  return apefw::wrap_for_host(apefw::make_complete_effect<blobfx::BlobEffect>());
}

void destroy(void*, void* effect) {
  as_object(effect)->vtable->destroy(as_object(effect), APE_DESTROY_AND_FREE);
}

int render(void*, void* effect, const unsigned char* sound, int beat, int32_t* frame,
           int32_t* output, int width, int height) {
  return as_object(effect)->vtable->render_frame(as_object(effect), sound, beat, frame, output,
                                                 width, height);
}

void load(void*, void* effect, const unsigned char* data, int length) {
  as_object(effect)->vtable->load_settings(as_object(effect), data, length);
}

int save(void*, void* effect, unsigned char* buffer) {
  return as_object(effect)->vtable->save_settings(as_object(effect), buffer);
}

const FuzzHost kHost = {nullptr, &create, &destroy, &render, &load, &save};

}  // namespace

const FuzzHost& in_process_host() noexcept { return kHost; }

}  // namespace fuzzing
