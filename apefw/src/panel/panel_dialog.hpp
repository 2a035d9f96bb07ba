#pragma once
// The platform half of the settings panel: builds dialog template 101 as a child of parent.

namespace apefw {

void* create_panel_dialog(void* instance, void* parent) noexcept;

}  // namespace apefw
