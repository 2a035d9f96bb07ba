// The module's one export. Compiled into each plug-in module (not into the static library), so that
// the export lives in the module itself; everything it does is in module.hpp.

#include "apefw/module.hpp"

#if defined(_WIN32)
#define APE_EXPORT __declspec(dllexport)
#else
#define APE_EXPORT __attribute__((visibility("default")))
#endif

namespace {

ApeEffect* APE_CDECL create_effect(char* description) {
  return apefw::create_effect(apefw::kModuleIdentity, description);
}

}  // namespace

extern "C" APE_EXPORT int APE_CDECL _AVS_APE_RetrFunc(void* instance, char** short_name,
                                                      ApeCreateEffectFn* create) {
  (void)instance;  // create_settings_panel receives it again
  return apefw::module_entry_point(apefw::kModuleIdentity, short_name, create, &create_effect);
}
