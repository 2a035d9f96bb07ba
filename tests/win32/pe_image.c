#include "pe_image.h"

#include <string.h>

static const IMAGE_DATA_DIRECTORY* directory(HMODULE module, int which) {
  const BYTE* base = (const BYTE*)module;
  const IMAGE_DOS_HEADER* dos = (const IMAGE_DOS_HEADER*)base;
  const IMAGE_NT_HEADERS* nt = (const IMAGE_NT_HEADERS*)(base + dos->e_lfanew);
  return &nt->OptionalHeader.DataDirectory[which];
}

int pe_patch_import(HMODULE module, const char* dll, const char* function, void* replacement,
                    void** original) {
  BYTE* base = (BYTE*)module;
  const IMAGE_DATA_DIRECTORY* imports = directory(module, IMAGE_DIRECTORY_ENTRY_IMPORT);
  if (!imports->VirtualAddress) return 0;
  int patched = 0;
  for (IMAGE_IMPORT_DESCRIPTOR* d = (IMAGE_IMPORT_DESCRIPTOR*)(base + imports->VirtualAddress);
       d->Name; ++d) {
    if (_stricmp((const char*)(base + d->Name), dll) != 0) continue;
    IMAGE_THUNK_DATA* names =
        (IMAGE_THUNK_DATA*)(base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
    IMAGE_THUNK_DATA* slots = (IMAGE_THUNK_DATA*)(base + d->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const IMAGE_IMPORT_BY_NAME* by_name =
          (const IMAGE_IMPORT_BY_NAME*)(base + names->u1.AddressOfData);
      if (strcmp((const char*)by_name->Name, function) != 0) continue;
      DWORD protection = 0;
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection);
      if (original) *original = (void*)slots->u1.Function;
      slots->u1.Function = (ULONG_PTR)replacement;
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
      ++patched;
    }
  }
  return patched;
}

int pe_export_names(HMODULE module, void (*visit)(const char* name, void* context), void* context,
                    int* functions) {
  const BYTE* base = (const BYTE*)module;
  const IMAGE_DATA_DIRECTORY* exports = directory(module, IMAGE_DIRECTORY_ENTRY_EXPORT);
  *functions = 0;
  if (!exports->VirtualAddress) return 0;
  const IMAGE_EXPORT_DIRECTORY* e = (const IMAGE_EXPORT_DIRECTORY*)(base + exports->VirtualAddress);
  const DWORD* names = (const DWORD*)(base + e->AddressOfNames);
  for (DWORD i = 0; i < e->NumberOfNames; ++i) visit((const char*)(base + names[i]), context);
  *functions = (int)e->NumberOfFunctions;
  return (int)e->NumberOfNames;
}

int pe_import_dlls(HMODULE module, void (*visit)(const char* dll, void* context), void* context) {
  const BYTE* base = (const BYTE*)module;
  const IMAGE_DATA_DIRECTORY* imports = directory(module, IMAGE_DIRECTORY_ENTRY_IMPORT);
  if (!imports->VirtualAddress) return 0;
  int count = 0;
  for (const IMAGE_IMPORT_DESCRIPTOR* d =
           (const IMAGE_IMPORT_DESCRIPTOR*)(base + imports->VirtualAddress);
       d->Name; ++d, ++count) {
    visit((const char*)(base + d->Name), context);
  }
  return count;
}
