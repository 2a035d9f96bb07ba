// The link label's window procedure. Runs only on the panel's window thread.

#include "link_label_win32.hpp"

#include <shellapi.h>

#include "panel_resource.h"

namespace apefw {
namespace {

// The address the label opens; the dialog template gives the label the same text.
constexpr char web_address[] = APE_WEB_ADDRESS;
static_assert(sizeof(web_address) <= 32, "the label shows at most 31 characters");

constexpr UINT_PTR kHoverTimer = 1;
constexpr UINT kHoverIntervalMs = 50;  // how soon the underline goes once the pointer has left
constexpr int kTextCapacity = 32;      // paint buffer: at most 31 characters are shown
constexpr COLORREF kLinkBlue = RGB(0, 0, 255);

// The pointer is over a label, so the underline is drawn. Module-wide, shared by every label of the
// module (one per open panel).
int link_hover = 0;

void show_cursor(LPCSTR which) { SetCursor(LoadCursorA(nullptr, which)); }

void paint_label(HWND label) {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(label, &paint);

  char text[kTextCapacity] = {};
  GetWindowTextA(label, text, kTextCapacity);
  RECT client{};
  GetClientRect(label, &client);

  HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
  FillRect(dc, &client, face);
  DeleteObject(face);

  HGDIOBJ previous_font = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  SetTextColor(dc, kLinkBlue);
  SetBkMode(dc, TRANSPARENT);
  DrawTextA(dc, text, -1, &client, 0);  // left- and top-aligned

  if (link_hover == 1) {
    SIZE extent{};
    GetTextExtentPoint32A(dc, text, lstrlenA(text), &extent);
    HPEN pen = CreatePen(PS_SOLID, 1, kLinkBlue);
    HGDIOBJ previous_pen = SelectObject(dc, pen);
    // LineTo stops short of its end point: this covers pixels 1..cx of the text's bottom row.
    MoveToEx(dc, 1, extent.cy - 1, nullptr);
    LineTo(dc, extent.cx + 1, extent.cy - 1);
    SelectObject(dc, previous_pen);
    DeleteObject(pen);
  }

  SelectObject(dc, previous_font);
  EndPaint(label, &paint);
}

// Timer tick while hovering: once the pointer is outside the label, drop the underline.
void test_hover(HWND label) {
  POINT cursor{};
  GetCursorPos(&cursor);
  ScreenToClient(label, &cursor);
  RECT client{};
  GetClientRect(label, &client);
  if (cursor.x >= 0 && cursor.x < client.right && cursor.y >= 0 && cursor.y < client.bottom) return;
  KillTimer(label, kHoverTimer);
  link_hover = 0;
  InvalidateRect(label, nullptr, FALSE);
  UpdateWindow(label);
  show_cursor(IDC_ARROW);
}

}  // namespace

LRESULT CALLBACK link_label_proc(HWND label, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
  const auto previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(label, GWLP_USERDATA));
  switch (message) {
    case WM_PAINT:
      paint_label(label);
      return 1;
    case WM_MOUSEMOVE:
      link_hover = 1;
      show_cursor(IDC_HAND);
      SetTimer(label, kHoverTimer, kHoverIntervalMs, nullptr);
      InvalidateRect(label, nullptr, TRUE);
      UpdateWindow(label);
      return 1;
    case WM_TIMER:
      test_hover(label);
      return 1;
    case WM_LBUTTONDOWN:
      // The page opens on the press; the result is not looked at (nothing is ever reported).
      show_cursor(IDC_HAND);
      ShellExecuteA(nullptr, "open", web_address, nullptr, "", SW_SHOW);
      return 1;
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      // Swallowed, so a click never reaches the button's own procedure.
      show_cursor(IDC_HAND);
      return 1;
    default:
      // Double clicks and everything else go to the button class. Without a stored procedure (the
      // subclassing always stores one) the default procedure stands in.
      if (!previous) return DefWindowProcA(label, message, wparam, lparam);
      return CallWindowProcA(previous, label, message, wparam, lparam);
  }
}

}  // namespace apefw
