/* The module's PE tables as the loader sees them: one export, system DLLs only among its imports
 * (the C and C++ runtimes, libgcc and the thread layer are linked in). */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "check.h"
#include "host_module.h"
#include "pe_image.h"
#include "suites.h"

static void check_export(const char* name, void* context) {
  (void)context;
  printf("export %s\n", name);
  CHECK_EQ_S(name, "_AVS_APE_RetrFunc");
}

static void check_import(const char* dll, void* context) {
  (void)context;
  /* DLLs every 32-bit Windows has in its system folder. */
  static const char* const system_dlls[] = {"kernel32.dll", "user32.dll",  "gdi32.dll",
                                            "comdlg32.dll", "shell32.dll", "msvcrt.dll"};
  int known = 0;
  for (size_t i = 0; i < sizeof system_dlls / sizeof system_dlls[0]; ++i) {
    known |= _stricmp(dll, system_dlls[i]) == 0;
  }
  printf("import %s\n", dll);
  CHECK(known);
}

int run_exports_suite(const char* module_path) {
  HostModule module;
  if (!host_load_module(&module, module_path, 0)) return 1;
  HMODULE handle = (HMODULE)module.handle;
  int functions = 0;
  CHECK_EQ_U(pe_export_names(handle, check_export, NULL, &functions), 1);
  CHECK_EQ_U(functions, 1);
  CHECK(pe_import_dlls(handle, check_import, NULL) > 0);
  /* The panel's system calls come through the import table (the tests patch them there). */
  CHECK(GetProcAddress(handle, "create_effect") == NULL);
  host_unload_module(&module);
  return check_summary("exports");
}
