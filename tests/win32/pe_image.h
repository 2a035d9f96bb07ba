/* pe_image.h - reading a loaded module's own PE headers: its export names, the DLLs it imports
 * from, and patching one entry of its import address table (how the tests fix the tick count and
 * watch the calls the panel makes to the shell and the colour chooser). */
#ifndef APE_TEST_PE_IMAGE_H
#define APE_TEST_PE_IMAGE_H

#include <windows.h>

/* Replaces the module's import `function` from `dll` (case-insensitive) with `replacement`; stores
 * the old address in *original when not null. Returns how many slots were patched. */
int pe_patch_import(HMODULE module, const char* dll, const char* function, void* replacement,
                    void** original);

/* Calls visit for each name in the export table; returns the count of names and stores the total
 * count of exported functions (named or not) in *functions. */
int pe_export_names(HMODULE module, void (*visit)(const char* name, void* context), void* context,
                    int* functions);

/* Calls visit for each DLL in the import directory; returns their count. */
int pe_import_dlls(HMODULE module, void (*visit)(const char* dll, void* context), void* context);

#endif /* APE_TEST_PE_IMAGE_H */
