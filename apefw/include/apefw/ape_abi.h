/* ape_abi.h - the binary contract between a visualisation host and an effect module.
 *
 * This is the only thing a host and a module share. It is plain C on purpose: the host is built by
 * another compiler (on Windows, MSVC) and must not depend on our C++ ABI.
 *
 * Entry point. The module exports exactly one name, APE_ENTRY_POINT_NAME. The host calls it once
 * after loading the module; it stores the module's static short name and its creator, and
 * returns 1.
 *
 * Creator. Called with a buffer, it copies the long description (with its terminating zero) into
 * the buffer and returns null; the buffer must hold APE_DESCRIPTION_CAPACITY bytes. Called with
 * null, it creates one effect object, hands its ownership to the host, and returns it (null when it
 * cannot).
 *
 * Effect object. It starts with a pointer to a table of six slots, called with the thiscall
 * convention on 32-bit Windows (self in ECX, the callee pops its arguments) and the platform's
 * ordinary convention with self as first argument elsewhere. Every slot is called from one thread
 * at a time; render_frame comes from the host's render thread, create_settings_panel from its
 * window thread, and the panel may edit the settings while a frame renders.
 */
#ifndef APEFW_APE_ABI_H
#define APEFW_APE_ABI_H

#include <stdint.h>

#if defined(_WIN32) && (defined(__i386__) || defined(_M_IX86))
#define APE_THISCALL __thiscall
#define APE_CDECL __cdecl
#else
#define APE_THISCALL
#define APE_CDECL
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define APE_ENTRY_POINT_NAME "_AVS_APE_RetrFunc"

enum {
  APE_SOUND_BINS = 576,                     /* samples per channel and kind */
  APE_SOUND_BYTES = 2 * 2 * APE_SOUND_BINS, /* spectrum ch0, ch1, then waveform ch0, ch1 */
  APE_SETTINGS_BYTES = 72,                  /* the settings blob kept in the host's presets */
  APE_DESCRIPTION_CAPACITY = 128            /* the describe buffer a host must lend */
};

/* Slot 0's flag: destroy the object and free its memory (the only use a host makes of it). */
#define APE_DESTROY_AND_FREE 1u

typedef struct ApeEffect ApeEffect;

typedef struct ApeEffectVtable {
  /* 0: destroys the object; frees it when (flags & APE_DESTROY_AND_FREE). Returns self. */
  void*(APE_THISCALL* destroy)(ApeEffect* self, unsigned int flags);
  /* 1: draws one frame in place. sound: APE_SOUND_BYTES bytes; beat: nonzero on a beat frame;
   * framebuffer: width x height pixels 0x00RRGGBB, rows top first; output_framebuffer: unused.
   * Returns 0. */
  int(APE_THISCALL* render_frame)(ApeEffect* self, const unsigned char* sound, int beat,
                                  int* framebuffer, int* output_framebuffer, int width, int height);
  /* 2: builds the settings panel as a child of parent; returns its window handle (or null). */
  void*(APE_THISCALL* create_settings_panel)(ApeEffect* self, void* instance, void* parent);
  /* 3: the long description; static storage, the caller must not free or change it. */
  const char*(APE_THISCALL* describe)(ApeEffect* self);
  /* 4: replaces the settings from a blob of length bytes (ignored when longer than 72). */
  void(APE_THISCALL* load_settings)(ApeEffect* self, const unsigned char* data, int length);
  /* 5: writes the 72-byte settings blob into buffer; returns the number of bytes written. */
  int(APE_THISCALL* save_settings)(ApeEffect* self, unsigned char* buffer);
} ApeEffectVtable;

struct ApeEffect {
  const ApeEffectVtable* vtable;
};

typedef ApeEffect*(APE_CDECL* ApeCreateEffectFn)(char* description);
typedef int(APE_CDECL* ApeEntryPointFn)(void* instance, char** short_name,
                                        ApeCreateEffectFn* create);

/* Linux builds only: the millisecond tick count that seeds each effect's random generator comes
 * from the hosting process when it defines this function (and exports it to the modules it loads),
 * the way kernel32 supplies it on Windows. Without it the module reads the monotonic clock. */
#define APE_HOST_TICK_COUNT_NAME "ape_host_tick_count"
typedef uint32_t (*ApeHostTickCountFn)(void);

#ifdef __cplusplus
}
#endif

#endif /* APEFW_APE_ABI_H */
