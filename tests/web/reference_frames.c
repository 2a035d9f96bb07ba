/* reference_frames MODULE TRACE TICKS SETTINGS SIZES FIRST LAST [--time]
 *
 * The native side of the web build's exactness test: renders frames FIRST..LAST-1 of a sound trace
 * with a Linux plug-in module, called through its entry point and the six slots of its effect
 * object as every host calls it, and prints one checksum per frame. The WebAssembly side
 * (exactness_runs.mjs) renders the same run and must print the same lines.
 *
 * TICKS: the tick count the effect is created with. SETTINGS: the blob handed to load_settings
 * before the first frame, as hex digits of any length ('-' for none). SIZES: WxH[,WxH...], frame f
 * uses the (f mod count)-th. Each frame starts from a pattern that differs in every pixel and
 * frame, so a pixel written in the wrong place or left unwritten changes the checksum.
 *
 * --time (for bench/web): prints instead the median time of one render_frame call, in ms. */
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "apefw/ape_abi.h"

enum { TRACE_HEADER = 16, RECORD = 1 + APE_SOUND_BYTES, MAX_SIZES = 64, MAX_BLOB = 4096 };

static uint32_t g_ticks;

/* The modules resolve this against the process that loads them. */
__attribute__((visibility("default"))) uint32_t ape_host_tick_count(void) { return g_ticks; }

static int fail(const char* what) {
  fprintf(stderr, "reference_frames: %s\n", what);
  return 2;
}

/* Two 32-bit lanes over the frame's words, printed as 16 hex digits. */
static void checksum(const uint32_t* pixels, size_t count, uint32_t* a, uint32_t* b) {
  uint32_t h1 = 0x811C9DC5u, h2 = 0x9E3779B9u;
  for (size_t i = 0; i < count; ++i) {
    h1 = (h1 ^ pixels[i]) * 0x01000193u;
    h2 = (h2 + pixels[i]) * 0x85EBCA6Bu;
    h2 ^= h2 >> 13;
  }
  *a = h1;
  *b = h2;
}

static int compare_doubles(const void* a, const void* b) {
  const double x = *(const double*)a, y = *(const double*)b;
  return (x > y) - (x < y);
}

static void paint(uint32_t* pixels, int width, int height, int frame) {
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      pixels[(size_t)y * (size_t)width + (size_t)x] =
          ((uint32_t)x * 7u + (uint32_t)y * 13u + (uint32_t)frame * 29u) * 2654435761u >> 8;
    }
  }
}

int main(int argc, char** argv) {
  if (argc != 8 && !(argc == 9 && strcmp(argv[8], "--time") == 0)) {
    return fail("usage: MODULE TRACE TICKS SETTINGS SIZES FIRST LAST [--time]");
  }
  const int timing = argc == 9;
  g_ticks = (uint32_t)strtoul(argv[3], NULL, 10);
  const int first = atoi(argv[6]), last = atoi(argv[7]);

  static unsigned char blob[MAX_BLOB];
  int blob_length = -1;
  if (strcmp(argv[4], "-") != 0) {
    const size_t digits = strlen(argv[4]);
    if (digits % 2 || digits / 2 > MAX_BLOB) return fail("bad SETTINGS");
    blob_length = (int)(digits / 2);
    for (int i = 0; i < blob_length; ++i) {
      unsigned byte;
      if (sscanf(argv[4] + 2 * i, "%2x", &byte) != 1) return fail("bad SETTINGS");
      blob[i] = (unsigned char)byte;
    }
  }

  int widths[MAX_SIZES], heights[MAX_SIZES], sizes = 0;
  for (const char* p = argv[5]; *p && sizes < MAX_SIZES; ++sizes) {
    char* end;
    widths[sizes] = (int)strtol(p, &end, 10);
    if (*end != 'x') return fail("bad SIZES");
    heights[sizes] = (int)strtol(end + 1, &end, 10);
    p = *end == ',' ? end + 1 : end;
  }
  if (sizes == 0) return fail("bad SIZES");

  FILE* trace = fopen(argv[2], "rb");
  if (!trace) return fail("cannot read TRACE");
  void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (!module) return fail(dlerror());
  ApeEntryPointFn entry = (ApeEntryPointFn)dlsym(module, APE_ENTRY_POINT_NAME);
  char* short_name = NULL;
  ApeCreateEffectFn create = NULL;
  if (!entry || entry(NULL, &short_name, &create) != 1) return fail("no entry point");
  ApeEffect* effect = create(NULL);
  if (!effect) return fail("the creator returned null");
  if (blob_length >= 0) effect->vtable->load_settings(effect, blob, blob_length);

  unsigned char record[RECORD];
  double* times = calloc((size_t)(last > 0 ? last : 1), sizeof *times);
  int timed = 0;
  uint32_t* pixels = NULL;
  size_t capacity = 0;
  for (int f = 0; f < last; ++f) {
    if (fseek(trace, TRACE_HEADER + (long)f * RECORD, SEEK_SET) != 0 ||
        fread(record, 1, RECORD, trace) != RECORD) {
      return fail("the trace is shorter than LAST frames");
    }
    if (f < first) continue;
    const int w = widths[f % sizes], h = heights[f % sizes];
    const size_t count = (size_t)w * (size_t)h;
    if (count > capacity) {
      free(pixels);
      pixels = malloc(count * sizeof *pixels);
      capacity = count;
      if (!pixels) return fail("out of memory");
    }
    paint(pixels, w, h, f);
    struct timespec start, end;
    clock_gettime(CLOCK_MONOTONIC, &start);
    effect->vtable->render_frame(effect, record + 1, record[0], (int*)pixels, NULL, w, h);
    clock_gettime(CLOCK_MONOTONIC, &end);
    if (timing) {
      times[timed++] =
          (double)(end.tv_sec - start.tv_sec) * 1e3 + (double)(end.tv_nsec - start.tv_nsec) / 1e6;
      continue;
    }
    uint32_t a, b;
    checksum(pixels, count, &a, &b);
    printf("%08x%08x\n", (unsigned)a, (unsigned)b);
  }
  if (timing && timed > 0) {
    qsort(times, (size_t)timed, sizeof *times, compare_doubles);
    printf("%.4f\n", times[timed / 2]);
  }
  free(times);
  effect->vtable->destroy(effect, APE_DESTROY_AND_FREE);
  free(pixels);
  fclose(trace);
  return 0;
}
