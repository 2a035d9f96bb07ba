/* The Windows half of host_module.h: LoadLibrary, the assembly caller, and import patching. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "check.h"
#include "host_module.h"
#include "pe_image.h"

/* uint32_t call_on_stack(fn, self, args, count, misalign, popped)
 * Copies count 32-bit arguments onto a fresh stack area whose pointer, at the call instruction,
 * sits misalign bytes past a 16-byte boundary; loads self into ECX; calls fn; stores in *popped how
 * many argument bytes fn removed (count*4 for thiscall, 0 for cdecl); returns EAX. EDI keeps the
 * argument area's address across the call (callee-saved in both conventions). */
uint32_t call_on_stack(const void* fn, void* self, const uint32_t* args, int count, int misalign,
                       int32_t* popped);
__asm__(
    ".text\n"
    ".globl _call_on_stack\n"
    "_call_on_stack:\n"
    "  pushl %ebp\n"
    "  movl %esp, %ebp\n"
    "  pushl %ebx\n"
    "  pushl %esi\n"
    "  pushl %edi\n"
    "  movl 20(%ebp), %ecx\n" /* count */
    "  leal 0(,%ecx,4), %eax\n"
    "  movl %esp, %edi\n"
    "  subl %eax, %edi\n"
    "  subl $64, %edi\n"
    "  andl $-16, %edi\n"
    "  addl 24(%ebp), %edi\n" /* misalign */
    "  movl %edi, %esp\n"
    "  movl 16(%ebp), %esi\n" /* args */
    "  xorl %edx, %edx\n"
    "1:\n"
    "  cmpl %ecx, %edx\n"
    "  jge 2f\n"
    "  movl (%esi,%edx,4), %eax\n"
    "  movl %eax, (%esp,%edx,4)\n"
    "  incl %edx\n"
    "  jmp 1b\n"
    "2:\n"
    "  movl 12(%ebp), %ecx\n" /* self */
    "  call *8(%ebp)\n"
    "  movl %esp, %edx\n"
    "  subl %edi, %edx\n"
    "  movl 28(%ebp), %ecx\n"
    "  movl %edx, (%ecx)\n"
    "  leal -12(%ebp), %esp\n"
    "  popl %edi\n"
    "  popl %esi\n"
    "  popl %ebx\n"
    "  popl %ebp\n"
    "  ret\n");

/* A thiscall slot: the callee must pop all of its stack arguments. */
static uint32_t call_slot(HostEffect effect, int slot, const uint32_t* args, int count,
                          int misalign) {
  void* const* table = *(void* const* const*)effect;
  int32_t popped = -1;
  uint32_t result = call_on_stack(table[slot], effect, args, count, misalign, &popped);
  if (popped != count * 4) {
    printf("slot %d popped %d argument bytes, want %d (thiscall, callee pops)\n", slot, (int)popped,
           count * 4);
  }
  CHECK(popped == count * 4);
  return result;
}

/* A cdecl function: the caller pops. */
static uint32_t call_cdecl(const void* fn, const uint32_t* args, int count, int misalign) {
  int32_t popped = -1;
  uint32_t result = call_on_stack(fn, NULL, args, count, misalign, &popped);
  CHECK(popped == 0);
  return result;
}

const char* host_native_path(const char* path) {
  static char buffer[MAX_PATH * 2];
  if (path[0] == '/') {
    snprintf(buffer, sizeof buffer, "Z:%s", path);
    return buffer;
  }
  return path;
}

int host_load_module(HostModule* module, const char* path, int misalign) {
  memset(module, 0, sizeof *module);
  HMODULE handle = LoadLibraryA(host_native_path(path));
  if (!handle) {
    printf("cannot load %s (error %lu)\n", path, GetLastError());
    return 0;
  }
  module->handle = handle;
  module->entry = (void*)GetProcAddress(handle, "_AVS_APE_RetrFunc");
  if (!module->entry) {
    printf("%s has no _AVS_APE_RetrFunc\n", path);
    return 0;
  }
  uint32_t args[3] = {(uint32_t)(uintptr_t)handle, (uint32_t)(uintptr_t)&module->short_name,
                      (uint32_t)(uintptr_t)&module->create};
  module->entry_result = (int)call_cdecl(module->entry, args, 3, misalign);
  return 1;
}

void host_unload_module(HostModule* module) {
  if (module->handle) FreeLibrary((HMODULE)module->handle);
  memset(module, 0, sizeof *module);
}

static DWORD g_fixed_ticks;
static DWORD WINAPI fixed_tick_count(void) { return g_fixed_ticks; }

int host_fix_ticks(HostModule* module, uint32_t ticks) {
  g_fixed_ticks = ticks;
  return pe_patch_import((HMODULE)module->handle, "kernel32.dll", "GetTickCount",
                         (void*)&fixed_tick_count, NULL) > 0;
}

HostEffect host_create(HostModule* module, char* description, int misalign) {
  uint32_t args[1] = {(uint32_t)(uintptr_t)description};
  return (HostEffect)(uintptr_t)call_cdecl(module->create, args, 1, misalign);
}

void* host_destroy(HostEffect effect, unsigned flags, int misalign) {
  uint32_t args[1] = {flags};
  return (void*)(uintptr_t)call_slot(effect, HOST_SLOT_DESTROY, args, 1, misalign);
}

int host_render(HostEffect effect, const unsigned char* sound, int beat, int32_t* frame,
                int32_t* output, int width, int height, int misalign) {
  uint32_t args[6] = {(uint32_t)(uintptr_t)sound,  (uint32_t)beat,  (uint32_t)(uintptr_t)frame,
                      (uint32_t)(uintptr_t)output, (uint32_t)width, (uint32_t)height};
  return (int)call_slot(effect, HOST_SLOT_RENDER, args, 6, misalign);
}

void* host_create_panel(HostEffect effect, void* instance, void* parent, int misalign) {
  uint32_t args[2] = {(uint32_t)(uintptr_t)instance, (uint32_t)(uintptr_t)parent};
  return (void*)(uintptr_t)call_slot(effect, HOST_SLOT_PANEL, args, 2, misalign);
}

const char* host_describe(HostEffect effect, int misalign) {
  return (const char*)(uintptr_t)call_slot(effect, HOST_SLOT_DESCRIBE, NULL, 0, misalign);
}

void host_load_settings(HostEffect effect, const unsigned char* data, int length, int misalign) {
  uint32_t args[2] = {(uint32_t)(uintptr_t)data, (uint32_t)length};
  call_slot(effect, HOST_SLOT_LOAD, args, 2, misalign);
}

int host_save_settings(HostEffect effect, unsigned char* buffer, int misalign) {
  uint32_t args[1] = {(uint32_t)(uintptr_t)buffer};
  return (int)call_slot(effect, HOST_SLOT_SAVE, args, 1, misalign);
}
