// The settings panel on Windows: a modeless child dialog built from template 101 of the module's
// resources. It keeps no copy of the settings: the controls are filled from the effect when the
// dialog opens and every edit is written straight into the live effect, whose render thread may be
// reading the same words at that moment (each write is one whole 32-bit word). While no effect is
// targeted (the last one closed with its panel still open) every handler does nothing.

#include "link_label_win32.hpp"  // first: brings in windows.h

#include <commdlg.h>

#include <cstdint>

#include "apefw/effect_settings.hpp"
#include "apefw/settings_panel.hpp"
#include "apefw/shared_field.hpp"
#include "panel_dialog.hpp"
#include "panel_resource.h"

namespace apefw {
namespace {

static_assert(sizeof(CHOOSECOLORA) == 36, "the chooser record of 32-bit Windows");

constexpr int kCountTextCapacity = 256;
// The count as the box first shows it: any 32-bit number in decimal fits.
constexpr int kCountDigitsCapacity = 16;
// Once the magnitude passes this, more digits cannot change the clamped count; stopping here keeps
// a number of any length from overflowing.
constexpr std::int64_t kCountSaturation = 1'000'000'000'000;

// Between the module's 0x00RRGGBB and the platform's 0x00BBGGRR (brushes, the colour chooser). The
// same operation serves both directions: reverse the four bytes, then shift the top byte out, which
// swaps red and blue and always leaves the top byte 0.
constexpr std::uint32_t convert_colour_order(std::uint32_t colour) noexcept {
  const std::uint32_t reversed =
      (colour << 24) | ((colour & 0xFF00u) << 8) | ((colour >> 8) & 0xFF00u) | (colour >> 24);
  return reversed >> 8;
}
static_assert(convert_colour_order(0x00FF0000u) == 0x000000FFu);
static_assert(convert_colour_order(0xAA123456u) == 0x00563412u);

// The count box's text as a decimal integer: leading white space, one optional sign, then digits up
// to the first non-digit; no digits gives 0. The result is clamped to 1..16.
std::int32_t parse_colour_count(const char* text) noexcept {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  std::int64_t magnitude = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (magnitude < kCountSaturation) magnitude = magnitude * 10 + (*p - '0');
  }
  return clamp_colour_count(negative ? -magnitude : magnitude);
}

// The count as the panel uses it: the effect keeps it in 1..16, but it is clamped again here
// because it indexes the colour list.
std::int32_t current_count(const EffectSettings& settings) noexcept {
  return clamp_colour_count(read_shared(settings.colour_count));
}

void init_dialog(HWND dialog) {
  // The link button becomes the link label; its own procedure stays reachable through USERDATA.
  if (HWND link = GetDlgItem(dialog, APE_PANEL_LINK)) {
    const LONG_PTR button_proc = GetWindowLongPtrA(link, GWLP_WNDPROC);
    SetWindowLongPtrA(link, GWLP_USERDATA, button_proc);
    SetWindowLongPtrA(link, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&link_label_proc));
  }

  const PanelTarget panel_effect = panel_target();
  if (!panel_effect.settings) return;
  char text[kCountDigitsCapacity];
  wsprintfA(text, "%d", static_cast<int>(read_shared(panel_effect.settings->colour_count)));
  // The box answers with EN_CHANGE, which stores the same count back.
  SetDlgItemTextA(dialog, APE_PANEL_COUNT, text);
  if (read_shared(panel_effect.settings->on_beat_change) != 0) {
    CheckDlgButton(dialog, APE_PANEL_ON_BEAT, BST_CHECKED);
  }
}

// The colour strip: colour_count equal cells over the full width, entry 0 at the left. Every draw
// request repaints every cell; focus and pressed state are never shown.
void draw_strip(const DRAWITEMSTRUCT& item) {
  const PanelTarget panel_effect = panel_target();
  if (!panel_effect.settings) return;
  const EffectSettings& settings = *panel_effect.settings;
  const RECT& area = item.rcItem;
  const std::int64_t width = area.right - area.left;
  // The count is read again on every pass: the host may load new settings meanwhile.
  for (std::int32_t i = 0; i < current_count(settings); ++i) {
    const std::int32_t count = current_count(settings);
    LOGBRUSH fill{BS_SOLID, convert_colour_order(read_shared(settings.colours[i])), 0};
    HBRUSH brush = CreateBrushIndirect(&fill);
    HGDIOBJ previous = SelectObject(item.hDC, brush);
    // The cell's outline is the device context's current pen.
    Rectangle(item.hDC, area.left + static_cast<int>(i * width / count), area.top,
              area.left + static_cast<int>((i + 1) * width / count), area.bottom);
    SelectObject(item.hDC, previous);
    DeleteObject(brush);
  }
}

void count_edited(HWND dialog) {
  const PanelTarget panel_effect = panel_target();
  if (!panel_effect.settings) return;
  char text[kCountTextCapacity] = {};
  GetDlgItemTextA(dialog, APE_PANEL_COUNT, text, kCountTextCapacity);
  // The box keeps what was typed; only the stored count is clamped.
  write_shared(panel_effect.settings->colour_count, parse_colour_count(text));
  InvalidateRect(GetDlgItem(dialog, APE_PANEL_STRIP), nullptr, TRUE);
}

// A click on the strip opens the colour chooser on the cell under the pointer.
void strip_clicked(HWND dialog) {
  const PanelTarget panel_effect = panel_target();
  if (!panel_effect.settings) return;
  HWND strip = GetDlgItem(dialog, APE_PANEL_STRIP);
  POINT cursor{};
  GetCursorPos(&cursor);
  ScreenToClient(strip, &cursor);
  RECT client{};
  GetClientRect(strip, &client);

  // From the keyboard (the strip has a tab stop), or with the pointer already gone, the position
  // can lie anywhere: the index is clamped into the cells shown.
  const std::int32_t count = current_count(*panel_effect.settings);
  std::int64_t index =
      client.right > 0 ? std::int64_t{count} * cursor.x / client.right : std::int64_t{0};
  if (index < 0) index = 0;
  if (index > count - 1) index = count - 1;
  const auto entry = static_cast<int>(index);

  // The chooser's custom colours: every entry of the list, dropped again afterwards.
  COLORREF custom[kMaxColours];
  for (int i = 0; i < kMaxColours; ++i) {
    custom[i] = convert_colour_order(read_shared(panel_effect.settings->colours[i]));
  }
  CHOOSECOLORA chooser{};
  chooser.lStructSize = sizeof(chooser);
  chooser.hwndOwner = dialog;
  chooser.rgbResult = convert_colour_order(read_shared(panel_effect.settings->colours[entry]));
  chooser.lpCustColors = custom;
  chooser.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR;
  if (ChooseColorA(&chooser)) {
    // The chooser ran its own message loop, long enough for the host to close the effect: write to
    // the effect targeted now, if there still is one.
    const PanelTarget now = panel_target();
    if (now.settings) {
      write_shared(now.settings->colours[entry], convert_colour_order(chooser.rgbResult));
    }
  }
  InvalidateRect(strip, nullptr, FALSE);
}

void on_beat_clicked(HWND dialog) {
  const PanelTarget panel_effect = panel_target();
  if (!panel_effect.settings) return;
  const std::int32_t checked = IsDlgButtonChecked(dialog, APE_PANEL_ON_BEAT) == BST_CHECKED ? 1 : 0;
  write_shared(panel_effect.settings->on_beat_change, checked);
}

INT_PTR CALLBACK settings_panel_proc(HWND dialog, UINT message, WPARAM wparam,
                                     LPARAM lparam) noexcept {
  switch (message) {
    case WM_INITDIALOG:
      init_dialog(dialog);
      return TRUE;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      if (item && item->CtlID == APE_PANEL_STRIP) draw_strip(*item);
      return FALSE;
    }
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      const int code = HIWORD(wparam);
      if (code == EN_CHANGE && id == APE_PANEL_COUNT) {
        count_edited(dialog);
      } else if (code == BN_CLICKED && id == APE_PANEL_STRIP) {
        strip_clicked(dialog);
      } else if (code == BN_CLICKED && id == APE_PANEL_ON_BEAT) {
        on_beat_clicked(dialog);
      }
      return TRUE;
    }
    case WM_DESTROY:
      // Nothing to release: the panel owns nothing, and the effect outlives it.
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void* create_panel_dialog(void* instance, void* parent) noexcept {
  // Modeless: the host positions and shows the child. A null result goes back to the host as is.
  return CreateDialogParamA(static_cast<HINSTANCE>(instance), MAKEINTRESOURCEA(APE_PANEL_DIALOG),
                            static_cast<HWND>(parent), &settings_panel_proc, 0);
}

}  // namespace apefw
