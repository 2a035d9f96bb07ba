/* The Linux half of host_module.h: the reference build that the Windows modules' frames are
 * compared with. Same calls, ordinary C convention with self first. */
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

#include "host_module.h"

typedef int (*EntryFn)(void*, char**, void**);
typedef void* (*CreateFn)(char*);
typedef void* (*DestroyFn)(void*, unsigned);
typedef int (*RenderFn)(void*, const unsigned char*, int, int32_t*, int32_t*, int, int);
typedef void* (*PanelFn)(void*, void*, void*);
typedef const char* (*DescribeFn)(void*);
typedef void (*LoadFn)(void*, const unsigned char*, int);
typedef int (*SaveFn)(void*, unsigned char*);

static uint32_t g_fixed_ticks;
static int g_ticks_fixed;

/* The modules resolve this against the process that loads them (the Linux stand-in for kernel32's
 * GetTickCount); the executable exports it. Before host_fix_ticks it reports 0. */
__attribute__((visibility("default"))) uint32_t ape_host_tick_count(void) {
  return g_ticks_fixed ? g_fixed_ticks : 0u;
}

static void* slot(HostEffect effect, int index) { return (*(void* const* const*)effect)[index]; }

const char* host_native_path(const char* path) { return path; }

int host_load_module(HostModule* module, const char* path, int misalign) {
  (void)misalign;
  memset(module, 0, sizeof *module);
  module->handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!module->handle) {
    printf("cannot load %s: %s\n", path, dlerror());
    return 0;
  }
  module->entry = dlsym(module->handle, "_AVS_APE_RetrFunc");
  if (!module->entry) {
    printf("%s has no _AVS_APE_RetrFunc\n", path);
    return 0;
  }
  module->entry_result =
      ((EntryFn)module->entry)(module->handle, &module->short_name, &module->create);
  return 1;
}

void host_unload_module(HostModule* module) {
  if (module->handle) dlclose(module->handle);
  memset(module, 0, sizeof *module);
}

int host_fix_ticks(HostModule* module, uint32_t ticks) {
  (void)module;
  g_fixed_ticks = ticks;
  g_ticks_fixed = 1;
  return 1;
}

HostEffect host_create(HostModule* module, char* description, int misalign) {
  (void)misalign;
  return ((CreateFn)module->create)(description);
}

void* host_destroy(HostEffect effect, unsigned flags, int misalign) {
  (void)misalign;
  return ((DestroyFn)slot(effect, HOST_SLOT_DESTROY))(effect, flags);
}

int host_render(HostEffect effect, const unsigned char* sound, int beat, int32_t* frame,
                int32_t* output, int width, int height, int misalign) {
  (void)misalign;
  return ((RenderFn)slot(effect, HOST_SLOT_RENDER))(effect, sound, beat, frame, output, width,
                                                    height);
}

void* host_create_panel(HostEffect effect, void* instance, void* parent, int misalign) {
  (void)misalign;
  return ((PanelFn)slot(effect, HOST_SLOT_PANEL))(effect, instance, parent);
}

const char* host_describe(HostEffect effect, int misalign) {
  (void)misalign;
  return ((DescribeFn)slot(effect, HOST_SLOT_DESCRIBE))(effect);
}

void host_load_settings(HostEffect effect, const unsigned char* data, int length, int misalign) {
  (void)misalign;
  ((LoadFn)slot(effect, HOST_SLOT_LOAD))(effect, data, length);
}

int host_save_settings(HostEffect effect, unsigned char* buffer, int misalign) {
  (void)misalign;
  return ((SaveFn)slot(effect, HOST_SLOT_SAVE))(effect, buffer);
}
