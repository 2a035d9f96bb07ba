/* The settings panel and its link label, driven with messages inside the real module under Wine:
 * the dialog comes from the module's own template through the module's create_settings_panel slot;
 * the colour chooser is the system's, driven from a timer while it runs; the module's imports of
 * ShellExecuteA and ChooseColorA are patched to watch (and, for the shell, stop) those calls. */
#include <windows.h>

#include <colordlg.h>
#include <commdlg.h>
#include <shellapi.h>

#include <stdio.h>
#include <string.h>

#include "check.h"
#include "host_module.h"
#include "panel_resource.h"
#include "pe_image.h"
#include "suites.h"

enum { ID_LINK = 1008, ID_STRIP = 1020, ID_COUNT = 1025, ID_ON_BEAT = 1026 };

static HostModule g_module;
static HWND g_parent;

/* ---- settings through the slots ---- */

static uint32_t word_at(const unsigned char* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static void set_word(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = (unsigned char)(v >> (8 * i));
}

/* Colour i of the test blob: red, green and blue all differ, so a red/blue swap shows. */
static uint32_t test_colour(int i) { return 0x00C01020u + (uint32_t)i * 0x00040810u; }

static HostEffect new_effect(int32_t count, int32_t on_beat) {
  HostEffect effect = host_create(&g_module, NULL, 0);
  unsigned char blob[HOST_SETTINGS_BYTES];
  for (int i = 0; i < 16; ++i) set_word(blob + 4 * i, test_colour(i));
  set_word(blob + 64, (uint32_t)count);
  set_word(blob + 68, (uint32_t)on_beat);
  host_load_settings(effect, blob, HOST_SETTINGS_BYTES, 0);
  return effect;
}

static void saved(HostEffect effect, unsigned char out[HOST_SETTINGS_BYTES]) {
  host_save_settings(effect, out, 0);
}

static uint32_t saved_word(HostEffect effect, int index) {
  unsigned char out[HOST_SETTINGS_BYTES];
  saved(effect, out);
  return word_at(out + 4 * index);
}

#define SAVED_COLOUR(effect, i) saved_word((effect), (i))
#define SAVED_COUNT(effect) saved_word((effect), 16)
#define SAVED_ON_BEAT(effect) saved_word((effect), 17)

static COLORREF platform_order(uint32_t colour) {
  return RGB((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
}

/* ---- windows and pixels ---- */

static void pump(DWORD milliseconds) {
  DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(5);
  } while (GetTickCount() - start < milliseconds);
}

static HWND open_panel(HostEffect effect) {
  /* From a 4-byte-aligned stack, like the host; the dialog procedure then runs on user32's calls.
   */
  HWND panel = (HWND)host_create_panel(effect, g_module.handle, g_parent, 4);
  CHECK(panel != NULL);
  if (panel) {
    ShowWindow(panel, SW_SHOW);
    UpdateWindow(panel);
    pump(30);
  }
  return panel;
}

typedef struct Capture {
  int width, height;
  uint32_t* pixels; /* 0x00RRGGBB, rows top first */
  HBITMAP bitmap;
  HDC dc;
} Capture;

static void capture_begin(Capture* c, int width, int height) {
  BITMAPINFO info;
  memset(&info, 0, sizeof info);
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  c->width = width;
  c->height = height;
  c->dc = CreateCompatibleDC(NULL);
  void* bits = NULL;
  c->bitmap = CreateDIBSection(c->dc, &info, DIB_RGB_COLORS, &bits, NULL, 0);
  c->pixels = (uint32_t*)bits;
  SelectObject(c->dc, c->bitmap);
}

static void capture_end(Capture* c) {
  DeleteDC(c->dc);
  DeleteObject(c->bitmap);
}

/* What the window shows on screen, from its own device context. */
static void capture_window(HWND window, Capture* c) {
  RECT client;
  GetClientRect(window, &client);
  capture_begin(c, client.right, client.bottom);
  HDC dc = GetDC(window);
  BitBlt(c->dc, 0, 0, c->width, c->height, dc, 0, 0, SRCCOPY);
  ReleaseDC(window, dc);
}

static uint32_t pixel(const Capture* c, int x, int y) {
  return c->pixels[y * c->width + x] & 0x00FFFFFFu;
}

static int is_blue(uint32_t p) { return p == 0x0000FFu; }

static int blueish(uint32_t p) {
  int r = (int)(p >> 16) & 0xFF, g = (int)(p >> 8) & 0xFF, b = (int)p & 0xFF;
  return b - r > 80 && b - g > 80;
}

/* ---- the count box and the on-beat box ---- */

static void test_initial_state(void) {
  HostEffect effect = new_effect(3, 0);
  HWND panel = open_panel(effect);
  char text[64];
  GetDlgItemTextA(panel, ID_COUNT, text, sizeof text);
  CHECK_EQ_S(text, "3");
  CHECK_EQ_U(IsDlgButtonChecked(panel, ID_ON_BEAT), BST_UNCHECKED);
  CHECK_EQ_U(SAVED_COUNT(effect), 3);
  DestroyWindow(panel);
  host_destroy(effect, 1u, 0);
}

static void test_count_box(void) {
  static const struct {
    const char* text;
    uint32_t count;
  } cases[] = {
      {"0", 1},
      {"-3", 1},
      {"abc", 1},
      {"", 1},
      {"20", 16},
      {"999", 16},
      {" 7", 7},
      {"7x", 7},
      {"+5", 5},
      {"\t 12", 12},
      {"16", 16},
      {"1", 1},
      {"-", 1},
      {"- 4", 1},
      {"99999999999999999999", 16},
      {"4294967299", 16},
      {"-4294967295", 1},
      {"000000000000000000000000000009", 9},
  };
  HostEffect effect = new_effect(3, 0);
  HWND panel = open_panel(effect);
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    /* A different count first, so each case must write its own. */
    SetDlgItemTextA(panel, ID_COUNT, cases[i].count == 10 ? "11" : "10");
    SetDlgItemTextA(panel, ID_COUNT, cases[i].text);
    printf("count box \"%s\"\n", cases[i].text);
    CHECK_EQ_U(SAVED_COUNT(effect), cases[i].count);
    char shown[64];
    GetDlgItemTextA(panel, ID_COUNT, shown, sizeof shown);
    CHECK_EQ_S(shown, cases[i].text); /* the box keeps what was typed */
  }
  /* The count alone changes: colours and on-beat stay. */
  for (int i = 0; i < 16; ++i) CHECK_EQ_U(SAVED_COLOUR(effect, i), test_colour(i));
  CHECK_EQ_U(SAVED_ON_BEAT(effect), 0);
  DestroyWindow(panel);
  host_destroy(effect, 1u, 0);
}

static void test_on_beat_box(void) {
  HostEffect effect = new_effect(2, 5);
  HWND panel = open_panel(effect);
  CHECK_EQ_U(IsDlgButtonChecked(panel, ID_ON_BEAT), BST_CHECKED);
  CHECK_EQ_U(SAVED_ON_BEAT(effect), 5); /* opening the panel doesn't rewrite it */
  SendDlgItemMessageA(panel, ID_ON_BEAT, BM_CLICK, 0, 0);
  CHECK_EQ_U(SAVED_ON_BEAT(effect), 0);
  SendDlgItemMessageA(panel, ID_ON_BEAT, BM_CLICK, 0, 0);
  CHECK_EQ_U(SAVED_ON_BEAT(effect), 1);
  CHECK_EQ_U(SAVED_COUNT(effect), 2);
  DestroyWindow(panel);
  host_destroy(effect, 1u, 0);
}

/* ---- the colour strip ---- */

/* Asks the panel to draw the strip into an off-screen bitmap of the given size. */
static void draw_strip_into(HWND panel, Capture* c, int width, int height) {
  capture_begin(c, width, height);
  for (int i = 0; i < width * height; ++i) c->pixels[i] = 0x00777777u;
  DRAWITEMSTRUCT item;
  memset(&item, 0, sizeof item);
  item.CtlType = ODT_BUTTON;
  item.CtlID = ID_STRIP;
  item.itemAction = ODA_DRAWENTIRE;
  item.hwndItem = GetDlgItem(panel, ID_STRIP);
  item.hDC = c->dc;
  SetRect(&item.rcItem, 0, 0, width, height);
  SendMessageA(panel, WM_DRAWITEM, ID_STRIP, (LPARAM)&item);
  GdiFlush();
}

/* Cell i of n over width w spans [i*w/n, (i+1)*w/n): filled with colour i, outlined by the pen. */
static void check_cells(const Capture* c, int count) {
  for (int i = 0; i < count; ++i) {
    const int left = i * c->width / count, right = (i + 1) * c->width / count;
    const int mid = c->height / 2;
    printf("cell %d: %d..%d\n", i, left, right);
    CHECK_EQ_U(pixel(c, left + 1, mid), test_colour(i));
    CHECK_EQ_U(pixel(c, right - 2, mid), test_colour(i));
    CHECK_EQ_U(pixel(c, (left + right) / 2, 1), test_colour(i));
    CHECK_EQ_U(pixel(c, left, mid), 0); /* outline: the default black pen */
    CHECK_EQ_U(pixel(c, right - 1, mid), 0);
    CHECK_EQ_U(pixel(c, (left + right) / 2, 0), 0);
    CHECK_EQ_U(pixel(c, (left + right) / 2, c->height - 1), 0);
  }
}

static void test_strip_drawing(void) {
  HostEffect effect = new_effect(3, 0);
  HWND panel = open_panel(effect);
  Capture c;
  /* 301 does not divide by 3: the cells are 0-100, 100-200 and 200-301. */
  draw_strip_into(panel, &c, 301, 16);
  check_cells(&c, 3);
  int stray = 0;
  for (int i = 0; i < c.width * c.height; ++i) stray += (c.pixels[i] & 0xFFFFFF) == test_colour(3);
  CHECK_EQ_U(stray, 0); /* entry 3 lies beyond the count: not shown */
  capture_end(&c);

  SetDlgItemTextA(panel, ID_COUNT, "2");
  draw_strip_into(panel, &c, 300, 16);
  check_cells(&c, 2);
  capture_end(&c);
  for (int i = 2; i < 16; ++i) CHECK_EQ_U(SAVED_COLOUR(effect, i), test_colour(i));

  SetDlgItemTextA(panel, ID_COUNT, "16");
  draw_strip_into(panel, &c, 207, 10);
  check_cells(&c, 16);
  capture_end(&c);

  /* And on screen, painted by the system through WM_DRAWITEM. */
  SetDlgItemTextA(panel, ID_COUNT, "3");
  HWND strip = GetDlgItem(panel, ID_STRIP);
  InvalidateRect(strip, NULL, TRUE);
  UpdateWindow(strip);
  pump(30);
  capture_window(strip, &c);
  printf("strip on screen: %dx%d\n", c.width, c.height);
  for (int i = 0; i < 3; ++i) {
    CHECK_EQ_U(pixel(&c, (2 * i + 1) * c.width / 6, c.height / 2), test_colour(i));
  }
  capture_end(&c);
  DestroyWindow(panel);
  host_destroy(effect, 1u, 0);
}

/* ---- the colour chooser ---- */

static BOOL(WINAPI* g_real_choose_colour)(LPCHOOSECOLORA);
static int g_chooser_calls;
static CHOOSECOLORA g_chooser_seen;
static COLORREF g_custom_seen[16];

/* Watches what the panel hands the chooser, then lets the real chooser run. */
static BOOL WINAPI watch_choose_colour(LPCHOOSECOLORA chooser) {
  ++g_chooser_calls;
  g_chooser_seen = *chooser;
  memcpy(g_custom_seen, chooser->lpCustColors, sizeof g_custom_seen);
  return g_real_choose_colour(chooser);
}

typedef struct ChooserPlan {
  int press_ok;
  int add_custom; /* press "Add to Custom Colors" first */
  int red, green, blue;
  int done;
  int shown_red, shown_green, shown_blue; /* what the chooser showed when it opened */
} ChooserPlan;

static ChooserPlan g_plan;

static BOOL CALLBACK find_chooser_window(HWND window, LPARAM found) {
  char name[32];
  GetClassNameA(window, name, sizeof name);
  if (strcmp(name, "#32770") == 0 && IsWindowVisible(window) && GetDlgItem(window, COLOR_RED)) {
    *(HWND*)found = window;
    return FALSE;
  }
  return TRUE;
}

/* A thread timer: it fires inside the chooser's own message loop. */
static void CALLBACK drive_chooser(HWND unused, UINT message, UINT_PTR id, DWORD time) {
  (void)unused;
  (void)message;
  (void)time;
  HWND chooser = NULL;
  EnumThreadWindows(GetCurrentThreadId(), find_chooser_window, (LPARAM)&chooser);
  if (!chooser || g_plan.done) return;
  g_plan.done = 1;
  KillTimer(NULL, id);
  g_plan.shown_red = (int)GetDlgItemInt(chooser, COLOR_RED, NULL, FALSE);
  g_plan.shown_green = (int)GetDlgItemInt(chooser, COLOR_GREEN, NULL, FALSE);
  g_plan.shown_blue = (int)GetDlgItemInt(chooser, COLOR_BLUE, NULL, FALSE);
  SetDlgItemInt(chooser, COLOR_RED, (UINT)g_plan.red, FALSE);
  SetDlgItemInt(chooser, COLOR_GREEN, (UINT)g_plan.green, FALSE);
  SetDlgItemInt(chooser, COLOR_BLUE, (UINT)g_plan.blue, FALSE);
  if (g_plan.add_custom) {
    SendMessageA(chooser, WM_COMMAND, MAKEWPARAM(COLOR_ADD, BN_CLICKED),
                 (LPARAM)GetDlgItem(chooser, COLOR_ADD));
  }
  const int button = g_plan.press_ok ? IDOK : IDCANCEL;
  SendMessageA(chooser, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               (LPARAM)GetDlgItem(chooser, button));
}

/* Puts the pointer at x (strip client coordinates, middle row) and clicks the strip. */
static void click_strip_at(HWND panel, int x, int press_ok, int add_custom, int r, int g, int b) {
  HWND strip = GetDlgItem(panel, ID_STRIP);
  RECT client;
  GetClientRect(strip, &client);
  POINT at = {x, client.bottom / 2};
  ClientToScreen(strip, &at);
  SetCursorPos(at.x, at.y);
  memset(&g_plan, 0, sizeof g_plan);
  g_plan.press_ok = press_ok;
  g_plan.add_custom = add_custom;
  g_plan.red = r;
  g_plan.green = g;
  g_plan.blue = b;
  UINT_PTR timer = SetTimer(NULL, 0, 30, drive_chooser);
  SendMessageA(panel, WM_COMMAND, MAKEWPARAM(ID_STRIP, BN_CLICKED), (LPARAM)strip);
  if (!g_plan.done) KillTimer(NULL, timer);
}

static int strip_width(HWND panel) {
  RECT client;
  GetClientRect(GetDlgItem(panel, ID_STRIP), &client);
  return client.right;
}

static void test_strip_click(void) {
  HostEffect effect = new_effect(3, 0);
  HWND panel = open_panel(effect);
  const int width = strip_width(panel);
  unsigned char before[HOST_SETTINGS_BYTES], after[HOST_SETTINGS_BYTES];
  saved(effect, before);

  /* The middle of the strip is cell 1; choose pure red. */
  g_chooser_calls = 0;
  click_strip_at(panel, width / 2, 1, 1, 255, 0, 0);
  CHECK_EQ_U(g_chooser_calls, 1);
  CHECK(g_plan.done);
  CHECK_EQ_U(g_chooser_seen.lStructSize, 36);
  CHECK(g_chooser_seen.hwndOwner == panel);
  CHECK_EQ_U(g_chooser_seen.Flags, CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR);
  CHECK_EQ_U(g_chooser_seen.Flags, 259);
  CHECK_EQ_U(g_chooser_seen.rgbResult, platform_order(test_colour(1)));
  for (int i = 0; i < 16; ++i) CHECK_EQ_U(g_custom_seen[i], platform_order(test_colour(i)));
  /* The chooser itself opened on entry 1. */
  CHECK_EQ_U(g_plan.shown_red, (test_colour(1) >> 16) & 0xFF);
  CHECK_EQ_U(g_plan.shown_green, (test_colour(1) >> 8) & 0xFF);
  CHECK_EQ_U(g_plan.shown_blue, test_colour(1) & 0xFF);
  /* Stored as 0x00RRGGBB; nothing else changed, custom colours included. */
  saved(effect, after);
  CHECK_EQ_U(word_at(after + 4), 0x00FF0000u);
  CHECK(memcmp(after, before, 4) == 0);
  CHECK(memcmp(after + 8, before + 8, HOST_SETTINGS_BYTES - 8) == 0);

  /* Blue-ish green in cell 2, so red and blue can't be mixed up. */
  click_strip_at(panel, width - 2, 1, 0, 0x12, 0x34, 0x56);
  CHECK_EQ_U(SAVED_COLOUR(effect, 2), 0x00123456u);

  /* Cancelled, after changing the colour and the custom colours: nothing changes. */
  saved(effect, before);
  click_strip_at(panel, 1, 0, 1, 1, 2, 3);
  CHECK(g_plan.done);
  CHECK_EQ_U(g_chooser_seen.rgbResult, platform_order(test_colour(0)));
  saved(effect, after);
  CHECK(memcmp(after, before, HOST_SETTINGS_BYTES) == 0);
  DestroyWindow(panel);
  host_destroy(effect, 1u, 0);
}

/* The pointer need not be over the strip: the cell index stays within the cells shown. */
static void test_strip_click_outside(void) {
  HostEffect effect = new_effect(3, 0);
  HWND panel = open_panel(effect);
  const int width = strip_width(panel);
  const int positions[] = {width + 40, 4 * width, -30, -4 * width};
  const int entries[] = {2, 2, 0, 0};
  for (int i = 0; i < 4; ++i) {
    printf("click with the pointer at x = %d\n", positions[i]);
    click_strip_at(panel, positions[i], 0, 0, 0, 0, 0);
    CHECK(g_plan.done);
    CHECK_EQ_U(g_chooser_seen.rgbResult, platform_order(test_colour(entries[i])));
  }
  /* From the keyboard: the space bar on the focused strip, with the pointer far to the right. */
  HWND strip = GetDlgItem(panel, ID_STRIP);
  POINT away = {4 * width, 0};
  ClientToScreen(strip, &away);
  SetCursorPos(away.x, away.y);
  SetFocus(strip);
  memset(&g_plan, 0, sizeof g_plan);
  g_chooser_calls = 0;
  UINT_PTR timer = SetTimer(NULL, 0, 30, drive_chooser);
  SendMessageA(strip, WM_KEYDOWN, VK_SPACE, 0x00390001);
  SendMessageA(strip, WM_KEYUP, VK_SPACE, 0xC0390001);
  if (!g_plan.done) KillTimer(NULL, timer);
  CHECK_EQ_U(g_chooser_calls, 1);
  CHECK_EQ_U(g_chooser_seen.rgbResult, platform_order(test_colour(2)));
  DestroyWindow(panel);
  host_destroy(effect, 1u, 0);
}

/* ---- the link label ---- */

static int g_shell_calls;
static HWND g_shell_owner;
static char g_shell_verb[16], g_shell_file[64], g_shell_directory[16];
static int g_shell_parameters_null, g_shell_show;

/* Stands in for the shell: records the call, opens nothing. */
static HINSTANCE WINAPI watch_shell_execute(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                            LPCSTR directory, INT show) {
  ++g_shell_calls;
  g_shell_owner = owner;
  lstrcpynA(g_shell_verb, verb ? verb : "(null)", sizeof g_shell_verb);
  lstrcpynA(g_shell_file, file ? file : "(null)", sizeof g_shell_file);
  lstrcpynA(g_shell_directory, directory ? directory : "(null)", sizeof g_shell_directory);
  g_shell_parameters_null = parameters == NULL;
  g_shell_show = show;
  return (HINSTANCE)(INT_PTR)42;
}

static SIZE label_text_extent(const char* text, int length) {
  HDC dc = GetDC(NULL);
  HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  SIZE extent = {0, 0};
  GetTextExtentPoint32A(dc, text, length, &extent);
  SelectObject(dc, old);
  ReleaseDC(NULL, dc);
  return extent;
}

/* How many pixels 1..last of the underline row are pure blue. */
static int underline_pixels(HWND label, int row, int last) {
  Capture c;
  capture_window(label, &c);
  int blue = 0;
  if (row >= 0 && row < c.height) {
    for (int x = 1; x <= last && x < c.width; ++x) blue += is_blue(pixel(&c, x, row));
  }
  capture_end(&c);
  return blue;
}

static void hover(HWND label) {
  RECT client;
  GetClientRect(label, &client);
  POINT inside = {client.right / 2, client.bottom / 2};
  ClientToScreen(label, &inside);
  SetCursorPos(inside.x, inside.y);
  SendMessageA(label, WM_MOUSEMOVE, 0, MAKELPARAM(client.right / 2, client.bottom / 2));
}

static void test_link_label(void) {
  HostEffect effect = new_effect(3, 0);
  HWND panel = open_panel(effect);
  HWND label = GetDlgItem(panel, ID_LINK);
  CHECK(GetWindowLongPtrA(label, GWLP_USERDATA) != 0); /* the button's own procedure, kept */
  char text[64];
  GetWindowTextA(label, text, sizeof text);
  CHECK_EQ_S(text, APE_WEB_ADDRESS);
  CHECK(strlen(APE_WEB_ADDRESS) <= 31);

  RECT client;
  GetClientRect(label, &client);
  const SIZE extent = label_text_extent(text, (int)strlen(text));
  const int row = extent.cy - 1;
  const int last = extent.cx < client.right - 1 ? extent.cx : client.right - 1;
  printf("label %ldx%ld, text %ldx%ld\n", client.right, client.bottom, extent.cx, extent.cy);
  CHECK(row < client.bottom);
  if (extent.cx > client.right) {
    printf("note: the address is wider than the label; the label shows its left part\n");
  }

  /* Plain: blue text on the face colour, no underline. */
  InvalidateRect(label, NULL, TRUE);
  UpdateWindow(label);
  Capture c;
  capture_window(label, &c);
  int text_pixels = 0;
  for (int i = 0; i < c.width * c.height; ++i) text_pixels += blueish(c.pixels[i] & 0xFFFFFF);
  CHECK(text_pixels > 20);
  CHECK_EQ_U(pixel(&c, c.width - 1, c.height - 1), GetSysColor(COLOR_BTNFACE) & 0xFFFFFF);
  capture_end(&c);
  CHECK(underline_pixels(label, row, last) < last);

  /* Hover: underlined at once, hand cursor; the timer keeps it while the pointer stays. */
  hover(label);
  CHECK_EQ_U(underline_pixels(label, row, last), last);
  CHECK(GetCursor() == LoadCursorA(NULL, (LPCSTR)IDC_HAND));
  pump(200);
  CHECK_EQ_U(underline_pixels(label, row, last), last);

  /* Leaving: the next tick drops the underline and restores the arrow. */
  SetCursorPos(0, 0);
  DWORD start = GetTickCount();
  while (underline_pixels(label, row, last) == last && GetTickCount() - start < 3000) pump(20);
  CHECK(underline_pixels(label, row, last) < last);
  CHECK(GetCursor() == LoadCursorA(NULL, (LPCSTR)IDC_ARROW));

  /* Presses: the left button opens the address once per press; nothing else opens it. */
  g_shell_calls = 0;
  SetCursor(LoadCursorA(NULL, (LPCSTR)IDC_ARROW));
  SendMessageA(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  CHECK_EQ_U(g_shell_calls, 1);
  CHECK(g_shell_owner == NULL);
  CHECK_EQ_S(g_shell_verb, "open");
  CHECK_EQ_S(g_shell_file, APE_WEB_ADDRESS);
  CHECK(g_shell_parameters_null);
  CHECK_EQ_S(g_shell_directory, "");
  CHECK_EQ_U(g_shell_show, SW_SHOW);
  CHECK(GetCursor() == LoadCursorA(NULL, (LPCSTR)IDC_HAND));
  SendMessageA(label, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  static const UINT others[] = {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_MBUTTONDOWN, WM_MBUTTONUP};
  for (int i = 0; i < 4; ++i) {
    SetCursor(LoadCursorA(NULL, (LPCSTR)IDC_ARROW));
    SendMessageA(label, others[i], 0, MAKELPARAM(3, 3));
    CHECK(GetCursor() == LoadCursorA(NULL, (LPCSTR)IDC_HAND));
  }
  CHECK_EQ_U(g_shell_calls, 1);
  SendMessageA(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  SendMessageA(label, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  CHECK_EQ_U(g_shell_calls, 2);
  /* A double click goes to the button class, which opens nothing. */
  SendMessageA(label, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(3, 3));
  ReleaseCapture();
  CHECK_EQ_U(g_shell_calls, 2);

  /* A text longer than 31 characters shows its first 31 (on a label wide enough for all of it). */
  static const char long_text[] = "https://example.org/a-much-longer-address";
  SetWindowPos(label, NULL, 0, 0, 600, client.bottom, SWP_NOMOVE | SWP_NOZORDER);
  SetWindowTextA(label, long_text);
  const SIZE cut = label_text_extent(long_text, 31), whole = label_text_extent(long_text, 41);
  hover(label);
  CHECK_EQ_U(underline_pixels(label, cut.cy - 1, cut.cx), cut.cx);
  CHECK_EQ_U(underline_pixels(label, cut.cy - 1, (int)whole.cx), cut.cx);
  SetCursorPos(0, 0);
  pump(150);

  DestroyWindow(panel);
  host_destroy(effect, 1u, 0);
}

/* ---- which effect the panel edits ---- */

static void test_panel_target(void) {
  /* Opening a second effect's panel points every open panel at the second effect. */
  HostEffect first = new_effect(3, 0), second = new_effect(4, 0);
  HWND first_panel = open_panel(first);
  HWND second_panel = open_panel(second);
  SetDlgItemTextA(first_panel, ID_COUNT, "6");
  CHECK_EQ_U(SAVED_COUNT(second), 6);
  CHECK_EQ_U(SAVED_COUNT(first), 3);
  DestroyWindow(second_panel);

  /* The targeted effect closes with its panel still open: the panel then does nothing. */
  host_destroy(second, 1u, 0);
  HostEffect bystander = new_effect(5, 0);
  g_chooser_calls = 0;
  g_shell_calls = 0;
  SetDlgItemTextA(first_panel, ID_COUNT, "9");
  SendDlgItemMessageA(first_panel, ID_ON_BEAT, BM_CLICK, 0, 0);
  HWND strip = GetDlgItem(first_panel, ID_STRIP);
  InvalidateRect(strip, NULL, TRUE);
  UpdateWindow(strip);
  Capture c;
  draw_strip_into(first_panel, &c, 100, 10);
  CHECK_EQ_U(pixel(&c, 50, 5), 0x00777777u); /* nothing drawn */
  capture_end(&c);
  SendMessageA(first_panel, WM_COMMAND, MAKEWPARAM(ID_STRIP, BN_CLICKED), (LPARAM)strip);
  CHECK_EQ_U(g_chooser_calls, 0);
  CHECK_EQ_U(SAVED_COUNT(first), 3);
  CHECK_EQ_U(SAVED_COUNT(bystander), 5);
  CHECK_EQ_U(SAVED_ON_BEAT(first), 0);
  CHECK_EQ_U(SAVED_ON_BEAT(bystander), 0);
  /* The link label needs no effect and keeps working. */
  SendDlgItemMessageA(first_panel, ID_LINK, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  CHECK_EQ_U(g_shell_calls, 1);
  DestroyWindow(first_panel);
  host_destroy(first, 1u, 0);
  host_destroy(bystander, 1u, 0);
}

/* ---- set-up ---- */

static int start(const char* module_path) {
  if (!host_load_module(&g_module, module_path, 0)) return 0;
  HMODULE handle = (HMODULE)g_module.handle;
  CHECK(pe_patch_import(handle, "shell32.dll", "ShellExecuteA", (void*)&watch_shell_execute,
                        NULL) == 1);
  CHECK(pe_patch_import(handle, "comdlg32.dll", "ChooseColorA", (void*)&watch_choose_colour,
                        (void**)&g_real_choose_colour) == 1);

  WNDCLASSA window_class;
  memset(&window_class, 0, sizeof window_class);
  window_class.lpfnWndProc = DefWindowProcA;
  window_class.hInstance = GetModuleHandleA(NULL);
  window_class.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
  window_class.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
  window_class.lpszClassName = "ApeTestHostEditor";
  RegisterClassA(&window_class);
  /* The host's editor pane is about the panel's size: 231 x 216 dialog units. */
  g_parent = CreateWindowExA(0, "ApeTestHostEditor", "Effect settings",
                             WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 20, 20, 360, 360, NULL, NULL,
                             window_class.hInstance, NULL);
  CHECK(g_parent != NULL);
  return g_parent != NULL;
}

int run_panel_suite(const char* module_path) {
  if (start(module_path)) {
    test_initial_state();
    test_count_box();
    test_on_beat_box();
    test_strip_drawing();
    test_strip_click();
    test_strip_click_outside();
    test_link_label();
    test_panel_target();
    DestroyWindow(g_parent);
  }
  host_unload_module(&g_module);
  return check_summary("panel");
}

/* ---- a picture of the panel ---- */

static int write_bmp(const char* path, const Capture* c) {
  FILE* file = fopen(host_native_path(path), "wb");
  if (!file) return 0;
  BITMAPFILEHEADER header;
  BITMAPINFOHEADER info;
  memset(&header, 0, sizeof header);
  memset(&info, 0, sizeof info);
  const DWORD bytes = (DWORD)(c->width * c->height * 4);
  header.bfType = 0x4D42;
  header.bfOffBits = sizeof header + sizeof info;
  header.bfSize = header.bfOffBits + bytes;
  info.biSize = sizeof info;
  info.biWidth = c->width;
  info.biHeight = -c->height;
  info.biPlanes = 1;
  info.biBitCount = 32;
  info.biCompression = BI_RGB;
  fwrite(&header, sizeof header, 1, file);
  fwrite(&info, sizeof info, 1, file);
  fwrite(c->pixels, 1, bytes, file);
  return fclose(file) == 0;
}

int run_screenshot(const char* module_path, const char* bmp_path) {
  if (!start(module_path)) return 1;
  HostEffect effect = host_create(&g_module, NULL, 0);
  static const uint32_t colours[5] = {0x007FFFu, 0xE04A2Cu, 0xF2C230u, 0x3CB371u, 0x7A3FC0u};
  unsigned char blob[HOST_SETTINGS_BYTES];
  memset(blob, 0, sizeof blob);
  for (int i = 0; i < 5; ++i) set_word(blob + 4 * i, colours[i]);
  set_word(blob + 64, 5);
  set_word(blob + 68, 1);
  host_load_settings(effect, blob, HOST_SETTINGS_BYTES, 0);
  HWND panel = open_panel(effect);
  RECT size;
  GetWindowRect(panel, &size);
  /* The parent hugs the panel with a small margin, like the host's editor pane. */
  const int margin = 6;
  SetWindowPos(g_parent, NULL, 0, 0, size.right - size.left + 2 * margin,
               size.bottom - size.top + 2 * margin, SWP_NOMOVE | SWP_NOZORDER);
  SetWindowPos(panel, NULL, margin, margin, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  RedrawWindow(g_parent, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  pump(300);

  RECT area;
  GetClientRect(g_parent, &area);
  POINT origin = {0, 0};
  ClientToScreen(g_parent, &origin);
  Capture c;
  capture_begin(&c, area.right, area.bottom);
  HDC screen = GetDC(NULL);
  BitBlt(c.dc, 0, 0, c.width, c.height, screen, origin.x, origin.y, SRCCOPY);
  ReleaseDC(NULL, screen);
  GdiFlush();
  const int ok = write_bmp(bmp_path, &c);
  printf("%s: %dx%d\n", bmp_path, c.width, c.height);
  capture_end(&c);
  DestroyWindow(panel);
  host_destroy(effect, 1u, 0);
  DestroyWindow(g_parent);
  host_unload_module(&g_module);
  return ok ? 0 : 1;
}
