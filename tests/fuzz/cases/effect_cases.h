/* effect_cases.h - the fuzz cases of the effects, written against the host boundary alone, so that
 * the same cases run in-process under libFuzzer (tests/fuzz) and through the Windows modules under
 * Wine (the C test host in tests/win32).
 *
 * A case is a byte string that a fuzzer may choose freely; it is read as a little program of host
 * calls on one effect (the first byte chooses which of two). Every check that fails ends the case
 * with one line naming it. Buffers lent to the effect are exactly as large as the call allows, with
 * guard words around every frame, so that a sanitizer (or the guards) sees any access outside them.
 *
 * Settings case: loads of any bytes at any length (negative ones included), saves, and small
 * frames; after every call the 72 saved bytes are compared with what the record must hold (the
 * bytes loaded over the bytes before, the count clamped to 1..16).
 *
 * Frames case: up to kFuzzMaxFrames frames with arbitrary sound bytes, beat flags and frame sizes
 * (empty, 1, 2, odd, very wide, very tall, negative, changing between frames), optionally after a
 * settings blob; every frame returns 0 and leaves the guards, the output frame and the settings'
 * ranges intact. */
#ifndef APE_FUZZ_EFFECT_CASES_H
#define APE_FUZZ_EFFECT_CASES_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum { FUZZ_MAX_FRAMES = 12, FUZZ_SOUND_BYTES = 2304, FUZZ_SETTINGS_BYTES = 72 };

/* The host calls a case makes. `which` (0 or 1) picks one of the two effects. */
typedef struct FuzzHost {
  void* context;
  void* (*create)(void* context, int which);
  void (*destroy)(void* context, void* effect);
  int (*render)(void* context, void* effect, const unsigned char* sound, int beat, int32_t* frame,
                int32_t* output, int width, int height);
  void (*load)(void* context, void* effect, const unsigned char* data, int length);
  int (*save)(void* context, void* effect, unsigned char* buffer);
} FuzzHost;

/* Each returns 0 when every check held; otherwise 1, with the reason in why[why_size]. A case whose
 * effect cannot be created returns 1 too. */
int run_settings_case(const FuzzHost* host, const uint8_t* data, size_t size, char* why,
                      size_t why_size);
int run_frames_case(const FuzzHost* host, const uint8_t* data, size_t size, char* why,
                    size_t why_size);

#ifdef __cplusplus
}
#endif

#endif /* APE_FUZZ_EFFECT_CASES_H */
