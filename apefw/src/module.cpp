#include "apefw/module.hpp"

#include <cstring>

namespace apefw {

int module_entry_point(const ModuleIdentity& module, char** short_name, ApeCreateEffectFn* create,
                       ApeCreateEffectFn creator) noexcept {
  if (short_name) *short_name = const_cast<char*>(module.short_name);
  if (create) *create = creator;
  return 1;
}

ApeEffect* create_effect(const ModuleIdentity& module, char* description) noexcept {
  if (description) {
    // No length comes with the buffer: the host lends one that holds the text.
    std::strcpy(description, module.long_description);
    return nullptr;
  }
  return wrap_for_host(module.make_effect());
}

}  // namespace apefw
