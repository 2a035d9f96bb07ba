/* Dialog template 101 as the module carries it, read back from the loaded module's resources and
 * compared field by field with what the panel code and the host expect. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "check.h"
#include "host_module.h"
#include "panel_resource.h"
#include "suites.h"

typedef struct Reader {
  const BYTE* start;
  const BYTE* p;
} Reader;

static WORD read_word(Reader* r) {
  WORD v;
  memcpy(&v, r->p, 2);
  r->p += 2;
  return v;
}

static DWORD read_dword(Reader* r) {
  DWORD v;
  memcpy(&v, r->p, 4);
  r->p += 4;
  return v;
}

static void align_dword(Reader* r) {
  while ((r->p - r->start) % 4) ++r->p;
}

/* A name-or-ordinal field: 0 (none), 0xFFFF + ordinal, or a zero-terminated UTF-16 string. */
typedef struct NameOrOrdinal {
  int ordinal; /* -1 when a string, 0 when empty */
  char text[128];
} NameOrOrdinal;

static NameOrOrdinal read_name(Reader* r) {
  NameOrOrdinal n = {-1, ""};
  WORD first = read_word(r);
  if (first == 0xFFFF) {
    n.ordinal = read_word(r);
    return n;
  }
  size_t length = 0;
  for (WORD c = first; c != 0; c = read_word(r)) {
    if (length + 1 < sizeof n.text) n.text[length++] = c < 128 ? (char)c : '?';
  }
  n.text[length] = 0;
  if (length == 0) n.ordinal = 0;
  return n;
}

typedef struct ExpectedItem {
  DWORD id;
  WORD class_ordinal; /* 0x80 button, 0x81 edit, 0x82 static */
  DWORD style;
  DWORD ex_style;
  const char* text;
  short x, y, cx, cy;
} ExpectedItem;

int run_template_suite(const char* module_path, const char* about_title, const char* credit) {
  HMODULE module = LoadLibraryExA(host_native_path(module_path), NULL, LOAD_LIBRARY_AS_DATAFILE);
  CHECK(module != NULL);
  if (!module) return check_summary("template");
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(101), (LPCSTR)RT_DIALOG);
  CHECK(found != NULL);
  if (!found) return check_summary("template");
  Reader r;
  r.start = r.p = (const BYTE*)LockResource(LoadResource(module, found));
  const BYTE* end = r.start + SizeofResource(module, found);

  /* DLGTEMPLATEEX header. */
  CHECK_EQ_U(read_word(&r), 1);      /* dlgVer */
  CHECK_EQ_U(read_word(&r), 0xFFFF); /* signature: extended template */
  CHECK_EQ_U(read_dword(&r), 0);     /* help id */
  CHECK_EQ_U(read_dword(&r), 0);     /* extended style */
  CHECK_EQ_U(read_dword(&r), WS_CHILD | DS_SETFONT);
  const WORD count = read_word(&r);
  CHECK_EQ_U(count, 9);
  CHECK_EQ_U(read_word(&r), 0);
  CHECK_EQ_U(read_word(&r), 0);
  CHECK_EQ_U(read_word(&r), 231);
  CHECK_EQ_U(read_word(&r), 216);
  NameOrOrdinal menu = read_name(&r), klass = read_name(&r), title = read_name(&r);
  CHECK_EQ_U(menu.ordinal, 0);
  CHECK_EQ_U(klass.ordinal, 0);
  CHECK_EQ_U(title.ordinal, 0);
  CHECK_EQ_U(read_word(&r), 8); /* point size */
  CHECK_EQ_U(read_word(&r), 0); /* weight */
  CHECK_EQ_U(*r.p++, 0);        /* italic */
  CHECK_EQ_U(*r.p++, 1);        /* charset */
  NameOrOrdinal face = read_name(&r);
  CHECK_EQ_S(face.text, "MS Sans Serif");

  const DWORD child = WS_CHILD | WS_VISIBLE;
  const DWORD none = (DWORD)-1;
  const ExpectedItem items[9] = {
      {none, 0x80, child | BS_GROUPBOX, 0, about_title, 5, 174, 220, 38},
      {none, 0x82, child | SS_LEFT | WS_GROUP, 0, credit, 33, 186, 164, 10},
      {none, 0x82, child | SS_LEFT | WS_GROUP, 0, "For more information, visit", 42, 196, 81, 10},
      {1008, 0x80, child | BS_PUSHBUTTON | WS_TABSTOP, 0, APE_WEB_ADDRESS, 124, 196, 67, 10},
      {none, 0x80, child | BS_GROUPBOX, 0, "Color", 5, 5, 220, 50},
      {1020, 0x80, child | BS_OWNERDRAW | WS_TABSTOP, WS_EX_STATICEDGE, "", 11, 17, 207, 16},
      {none, 0x82, child | SS_LEFT | WS_GROUP, 0, "Cycle through               colours (1-16)", 13,
       39, 117, 10},
      {1025, 0x81, child | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 0, "", 60, 37, 25, 13},
      {1026, 0x80, child | BS_AUTOCHECKBOX | WS_TABSTOP, 0, "OnBeat Change", 150, 38, 66, 10},
  };
  for (int i = 0; i < 9 && i < count; ++i) {
    const ExpectedItem* e = &items[i];
    printf("control %d (%s)\n", i, e->text);
    align_dword(&r);
    CHECK_EQ_U(read_dword(&r), 0); /* help id */
    CHECK_EQ_U(read_dword(&r), e->ex_style);
    CHECK_EQ_U(read_dword(&r), e->style);
    CHECK_EQ_U((short)read_word(&r), e->x);
    CHECK_EQ_U((short)read_word(&r), e->y);
    CHECK_EQ_U((short)read_word(&r), e->cx);
    CHECK_EQ_U((short)read_word(&r), e->cy);
    CHECK_EQ_U(read_dword(&r), e->id);
    NameOrOrdinal item_class = read_name(&r);
    CHECK_EQ_U(item_class.ordinal, e->class_ordinal);
    NameOrOrdinal text = read_name(&r);
    CHECK_EQ_S(text.text, e->text);
    CHECK_EQ_U(read_word(&r), 0); /* no creation data */
  }
  CHECK(r.p <= end);

  /* The credit line calls the effect an APE; the label shows at most 31 characters. */
  CHECK(strstr(credit, "APE") != NULL);
  CHECK(strlen(APE_WEB_ADDRESS) <= 31);
  FreeLibrary(module);
  return check_summary("template");
}
