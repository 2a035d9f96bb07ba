#pragma once
// The link label: the settings panel's push button 1008 turned into a hyperlink by subclassing. The
// panel stores the button's own window procedure in its GWLP_USERDATA slot and installs
// link_label_proc in its place; the label paints its text in blue (underlined while the pointer is
// over it), shows the hand cursor, and opens web_address when the left button is pressed.

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

namespace apefw {

LRESULT CALLBACK link_label_proc(HWND label, UINT message, WPARAM wparam, LPARAM lparam) noexcept;

}  // namespace apefw
