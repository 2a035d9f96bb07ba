/* host_module.h - how the C test host loads an effect module and calls it, the way the real host
 * does: find the entry point by name, call it, then reach every object only through the six slots
 * of the table its first word points at.
 *
 * On 32-bit Windows every call goes through call_on_stack (host_module_win32.c): hand-written
 * assembly that lays the arguments out itself on a stack of the requested alignment, puts self in
 * ECX, calls, and measures how many argument bytes the callee popped. So these calls do not depend
 * on the module's own header, nor on this compiler agreeing with it: a slot that is not thiscall
 * with callee-pops is reported as a failed check. On Linux the slots are ordinary C calls with self
 * first.
 *
 * `misalign` is the stack pointer's offset from a 16-byte boundary just before the call (0, 4, 8 or
 * 12): an MSVC-built caller only promises 4. Linux ignores it. */
#ifndef APE_TEST_HOST_MODULE_H
#define APE_TEST_HOST_MODULE_H

#include <stdint.h>

enum {
  HOST_SLOT_DESTROY,
  HOST_SLOT_RENDER,
  HOST_SLOT_PANEL,
  HOST_SLOT_DESCRIBE,
  HOST_SLOT_LOAD,
  HOST_SLOT_SAVE,
  HOST_SLOT_COUNT
};

enum { HOST_SOUND_BYTES = 2304, HOST_SETTINGS_BYTES = 72 };

typedef struct HostModule {
  void* handle;     /* HMODULE or dlopen handle */
  void* entry;      /* _AVS_APE_RetrFunc */
  char* short_name; /* what the entry point stored */
  void* create;     /* create_effect, as the entry point stored it */
  int entry_result;
} HostModule;

typedef void*
    HostEffect; /* the object create_effect returned: its first word points at the table */

/* Loads the module and calls its entry point. Returns 0 when the module or the export is missing.
 */
int host_load_module(HostModule* module, const char* path, int misalign);
void host_unload_module(HostModule* module);

/* Fixes the tick count that effect constructors seed their random generator with. Windows: patches
 * the module's import of GetTickCount; Linux: the host exports ape_host_tick_count. Call after
 * loading. Returns 0 when it could not. */
int host_fix_ticks(HostModule* module, uint32_t ticks);

HostEffect host_create(HostModule* module, char* description, int misalign);
void* host_destroy(HostEffect effect, unsigned flags, int misalign);
int host_render(HostEffect effect, const unsigned char* sound, int beat, int32_t* frame,
                int32_t* output, int width, int height, int misalign);
void* host_create_panel(HostEffect effect, void* instance, void* parent, int misalign);
const char* host_describe(HostEffect effect, int misalign);
void host_load_settings(HostEffect effect, const unsigned char* data, int length, int misalign);
int host_save_settings(HostEffect effect, unsigned char* buffer, int misalign);

/* Windows: turns "/unix/path" into "Z:/unix/path" so Wine finds it; elsewhere returns path. The
 * result lives in a static buffer. */
const char* host_native_path(const char* path);

#endif /* APE_TEST_HOST_MODULE_H */
