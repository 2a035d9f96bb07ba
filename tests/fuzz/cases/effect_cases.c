#include "effect_cases.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* The fuzzer's bytes, read front to back; reading past the end gives -1 (or 0 inside a word). */
typedef struct Input {
  const uint8_t* p;
  size_t n;
} Input;

static int take(Input* in) {
  if (in->n == 0) return -1;
  --in->n;
  return *in->p++;
}

static int take_byte(Input* in) {
  int b = take(in);
  return b < 0 ? 0 : b;
}

static uint32_t take_word(Input* in) {
  uint32_t w = 0;
  for (int i = 0; i < 4; ++i) w |= (uint32_t)take_byte(in) << (8 * i);
  return w;
}

static uint32_t word_at(const unsigned char* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static void set_word(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = (unsigned char)(v >> (8 * i));
}

static int fail(char* why, size_t why_size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  vsnprintf(why, why_size, format, args);
  va_end(args);
  return 1;
}

/* What load_settings must leave: the first `length` bytes replaced when 0 <= length <= 72 (taken as
 * unsigned, so a negative length is a very large one), then the count clamped to 1..16. */
static void apply_load(unsigned char model[FUZZ_SETTINGS_BYTES], const unsigned char* data,
                       int length) {
  if ((uint32_t)length <= FUZZ_SETTINGS_BYTES) memcpy(model, data, (size_t)length);
  int32_t count = (int32_t)word_at(model + 64);
  if (count < 1) count = 1;
  if (count > 16) count = 16;
  set_word(model + 64, (uint32_t)count);
}

enum { kSaveGuard = 8, kFrameGuard = 16 };
static const uint32_t kGuardWord = 0xDEADBEEFu;

/* save_settings writes exactly 72 bytes, returns 72, and (when model is given) they are the model.
 */
static int check_save(const FuzzHost* host, void* effect, const unsigned char* model,
                      const char* after, char* why, size_t why_size) {
  unsigned char out[FUZZ_SETTINGS_BYTES + kSaveGuard];
  memset(out, 0xA5, sizeof out);
  const int written = host->save(host->context, effect, out);
  if (written != FUZZ_SETTINGS_BYTES) {
    return fail(why, why_size, "save_settings after %s returned %d, not 72", after, written);
  }
  for (int i = FUZZ_SETTINGS_BYTES; i < FUZZ_SETTINGS_BYTES + kSaveGuard; ++i) {
    if (out[i] != 0xA5)
      return fail(why, why_size, "save_settings after %s wrote byte %d", after, i);
  }
  const int32_t count = (int32_t)word_at(out + 64);
  if (count < 1 || count > 16) {
    return fail(why, why_size, "colour count %ld after %s", (long)count, after);
  }
  if (model) {
    for (int i = 0; i < FUZZ_SETTINGS_BYTES; ++i) {
      if (out[i] != model[i]) {
        return fail(why, why_size, "saved byte %d is 0x%02X after %s, should be 0x%02X", i, out[i],
                    after, model[i]);
      }
    }
  }
  return 0;
}

/* One frame into a buffer of exactly width x height pixels with guard words on both sides (the
 * pixels themselves for an empty or negative size: none), and an output frame that must stay as it
 * is. */
static int render_checked(const FuzzHost* host, void* effect, const unsigned char* sound, int beat,
                          int width, int height, uint32_t host_colour, char* why, size_t why_size) {
  const size_t area = width > 0 && height > 0 ? (size_t)width * (size_t)height : 0;
  uint32_t* buffer = (uint32_t*)malloc((area + 2 * kFrameGuard) * sizeof(uint32_t));
  if (!buffer) return fail(why, why_size, "no memory for a %dx%d frame", width, height);
  for (size_t i = 0; i < kFrameGuard; ++i) buffer[i] = buffer[kFrameGuard + area + i] = kGuardWord;
  for (size_t i = 0; i < area; ++i) buffer[kFrameGuard + i] = host_colour;
  uint32_t output[kFrameGuard];
  for (int i = 0; i < kFrameGuard; ++i) output[i] = kGuardWord;

  const int result =
      host->render(host->context, effect, sound, beat, (int32_t*)(buffer + kFrameGuard),
                   (int32_t*)output, width, height);
  int bad = 0;
  if (result != 0) {
    bad = fail(why, why_size, "render_frame %dx%d returned %d", width, height, result);
  }
  for (size_t i = 0; i < kFrameGuard && !bad; ++i) {
    if (buffer[i] != kGuardWord) {
      bad = fail(why, why_size, "%dx%d frame: wrote %u words before the frame", width, height,
                 (unsigned)(kFrameGuard - i));
    } else if (buffer[kFrameGuard + area + i] != kGuardWord) {
      bad = fail(why, why_size, "%dx%d frame: wrote word %u past the frame", width, height,
                 (unsigned)i);
    } else if (output[i] != kGuardWord) {
      bad = fail(why, why_size, "%dx%d frame: wrote the output frame", width, height);
    }
  }
  free(buffer);
  return bad;
}

int run_settings_case(const FuzzHost* host, const uint8_t* data, size_t size, char* why,
                      size_t why_size) {
  Input in = {data, size};
  void* effect = host->create(host->context, take_byte(&in) & 1);
  if (!effect) return fail(why, why_size, "create_effect returned null");

  /* The defaults: colour 0 = 0x7FFF, count 1, everything else 0. */
  unsigned char model[FUZZ_SETTINGS_BYTES] = {0xFF, 0x7F};
  model[64] = 1;
  int bad = check_save(host, effect, model, "construction", why, why_size);

  /* Lengths worth reaching with few bytes: around the record's end and the count, and extremes. */
  static const int32_t kLengths[16] = {72, 73, 71, 0,  -1, INT32_MIN, INT32_MAX, 64,
                                       65, 66, 67, 68, 69, 4,         1,         1 << 24};
  unsigned char sound[FUZZ_SOUND_BYTES];
  memset(sound, 0, sizeof sound);
  /* Frames cost far more than loads (a whole surface each, for Blobform): two between the loads,
   * then the last one. */
  int frames_left = 2;
  for (int op_count = 0; op_count < 64 && !bad; ++op_count) {
    const int op = take(&in);
    if (op < 0) break;
    switch (op & 3) {
      case 0:
      case 1: {
        int32_t length;
        if (op & 8) {
          length = kLengths[op >> 4];
        } else if (op & 4) {
          length = (int32_t)take_word(&in);
        } else {
          length = (int32_t)(signed char)take_byte(&in);
        }
        /* A blob of exactly `length` bytes; for a length the load must ignore, one of 0..96 bytes
         * (the next byte says), so that any byte it did read lies outside the blob. */
        const size_t n = (uint32_t)length <= FUZZ_SETTINGS_BYTES ? (size_t)length
                                                                 : (size_t)(take_byte(&in) % 97);
        unsigned char* blob = (unsigned char*)malloc(n ? n : 1);
        if (!blob) return fail(why, why_size, "no memory for a blob");
        for (size_t i = 0; i < n; ++i) blob[i] = (unsigned char)take_byte(&in);
        host->load(host->context, effect, blob, length);
        apply_load(model, blob, length);
        free(blob);
        char after[48];
        snprintf(after, sizeof after, "a load of length %ld", (long)length);
        bad = check_save(host, effect, model, after, why, why_size);
        break;
      }
      case 2:
        bad = check_save(host, effect, model, "a second save", why, why_size);
        break;
      default: {
        const int rows = take_byte(&in);
        if (frames_left == 0) break;
        --frames_left;
        for (int i = 0; i < FUZZ_SOUND_BYTES; i += 97) sound[i] = (unsigned char)(op + i);
        const int width = 1 + ((op >> 2) & 15) * 3;
        const int height = 1 + rows % 24;
        bad =
            render_checked(host, effect, sound, op & 64, width, height, 0x00203040u, why, why_size);
        if (!bad) bad = check_save(host, effect, model, "a frame", why, why_size);
        break;
      }
    }
  }
  if (!bad) bad = render_checked(host, effect, sound, 1, 16, 12, 0x00405060u, why, why_size);
  if (!bad) bad = check_save(host, effect, model, "the last frame", why, why_size);
  host->destroy(host->context, effect);
  return bad;
}

/* A frame size from one class byte and the bytes after it. */
static void frame_size(int size_class, Input* in, int* width, int* height) {
  switch (size_class) {
    case 0:
      *width = 0;
      *height = 0;
      break;
    case 1:
      *width = 1;
      *height = 1;
      break;
    case 2:
      *width = 2;
      *height = 2;
      break;
    case 3:
      *width = 1 + (take_byte(in) & 1);
      *height = 3 - *width;
      break;
    case 4: /* odd */
      *width = 1 + 2 * (take_byte(in) % 48);
      *height = 1 + 2 * (take_byte(in) % 48);
      break;
    case 5: /* any small size */
      *width = 1 + take_byte(in) % 160;
      *height = 1 + take_byte(in) % 160;
      break;
    case 6: /* very wide */
      *width = 8192 + take_byte(in) * 224;
      *height = 1 + take_byte(in) % 3;
      break;
    case 7: /* very tall */
      *width = 1 + take_byte(in) % 3;
      *height = 8192 + take_byte(in) * 224;
      break;
    case 8: /* small, negative or zero on either side */
      *width = (signed char)take_byte(in);
      *height = (signed char)take_byte(in);
      break;
    case 9: /* any width, no rows (or negative ones) */
      *width = (int)take_word(in);
      *height = -(take_byte(in) % 4);
      break;
    case 10:
      *width = 320;
      *height = 240;
      break;
    case 11:
      *width = 640;
      *height = 1 + take_byte(in) % 8;
      break;
    default:
      break; /* the size of the frame before */
  }
}

int run_frames_case(const FuzzHost* host, const uint8_t* data, size_t size, char* why,
                    size_t why_size) {
  Input in = {data, size};
  const int first = take_byte(&in);
  void* effect = host->create(host->context, first & 1);
  if (!effect) return fail(why, why_size, "create_effect returned null");
  int bad = 0;
  if (first & 2) {
    unsigned char blob[FUZZ_SETTINGS_BYTES];
    for (int i = 0; i < FUZZ_SETTINGS_BYTES; ++i) blob[i] = (unsigned char)take_byte(&in);
    host->load(host->context, effect, blob, FUZZ_SETTINGS_BYTES);
    bad = check_save(host, effect, NULL, "the settings blob", why, why_size);
  }

  /* The sound the host lends: exactly its size, so that a read past it is seen. */
  unsigned char* sound = (unsigned char*)calloc(FUZZ_SOUND_BYTES, 1);
  if (!sound) return fail(why, why_size, "no memory for the sound");
  int width = 0, height = 0;
  for (int f = 0; f < FUZZ_MAX_FRAMES && !bad; ++f) {
    const int c = take(&in);
    if (c < 0) break;
    int beat = (c >> 4) & 1;
    if (beat && (c & 0x20)) beat = (int)take_word(&in) | 1; /* any nonzero value is a beat */
    frame_size(c & 15, &in, &width, &height);
    switch ((c >> 6) & 3) {
      case 0:
        break;  /* the sound of the frame before */
      case 1: { /* bytes from the input, up to the whole block */
        size_t n = (size_t)take_byte(&in) * 9;
        if (n > in.n) n = in.n;
        for (size_t i = 0; i < n; ++i) sound[i] = (unsigned char)take_byte(&in);
        break;
      }
      case 2:
        memset(sound, take_byte(&in), FUZZ_SOUND_BYTES);
        break;
      default: { /* noise from a seed */
        uint32_t x = take_word(&in);
        for (int i = 0; i < FUZZ_SOUND_BYTES; ++i) {
          x = x * 1103515245u + 12345u;
          sound[i] = (unsigned char)(x >> 24);
        }
        break;
      }
    }
    bad = render_checked(host, effect, sound, beat, width, height, 0x00112233u + (uint32_t)f, why,
                         why_size);
    if (!bad) bad = check_save(host, effect, NULL, "a frame", why, why_size);
  }
  free(sound);
  host->destroy(host->context, effect);
  return bad;
}
