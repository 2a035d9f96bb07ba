// Builds without a windowing system have no settings panel: the host gets no window.

#include "panel_dialog.hpp"

namespace apefw {

void* create_panel_dialog(void* instance, void* parent) noexcept {
  (void)instance;
  (void)parent;
  return nullptr;
}

}  // namespace apefw
