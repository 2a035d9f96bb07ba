/* The effect fuzz corpora through the modules: every input of a corpus directory
 * (tests/fuzz/corpus/ settings or frames) run as its fuzz case (tests/fuzz/cases/effect_cases.h)
 * against the coilfx and blobfx modules as loaded here. On Windows every call goes through
 * call_on_stack, its stack misaligned by 0, 4, 8 and 12 bytes in turn, so the cases also cover the
 * realignment on entry. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#endif

#include "check.h"
#include "effect_cases.h"
#include "host_module.h"
#include "suites.h"

typedef struct ReplayHost {
  HostModule modules[2]; /* effect 0 and effect 1 of the cases: coilfx, blobfx */
  int calls;
} ReplayHost;

static int next_misalign(ReplayHost* host) { return 4 * (host->calls++ % 4); }

static void* replay_create(void* context, int which) {
  ReplayHost* host = (ReplayHost*)context;
  return host_create(&host->modules[which & 1], NULL, next_misalign(host));
}

static void replay_destroy(void* context, void* effect) {
  host_destroy(effect, 1u, next_misalign((ReplayHost*)context));
}

static int replay_render(void* context, void* effect, const unsigned char* sound, int beat,
                         int32_t* frame, int32_t* output, int width, int height) {
  return host_render(effect, sound, beat, frame, output, width, height,
                     next_misalign((ReplayHost*)context));
}

static void replay_load(void* context, void* effect, const unsigned char* data, int length) {
  host_load_settings(effect, data, length, next_misalign((ReplayHost*)context));
}

static int replay_save(void* context, void* effect, unsigned char* buffer) {
  return host_save_settings(effect, buffer, next_misalign((ReplayHost*)context));
}

static int compare_names(const void* a, const void* b) {
  return strcmp(*(char* const*)a, *(char* const*)b);
}

/* The names of the files in dir, sorted; *count of them. Null when the directory cannot be read. */
static char** list_files(const char* dir, int* count) {
  char** names = NULL;
  int n = 0, capacity = 0;
#ifdef _WIN32
  char pattern[MAX_PATH * 2];
  snprintf(pattern, sizeof pattern, "%s/*", host_native_path(dir));
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return NULL;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const char* name = found.cFileName;
#else
  DIR* d = opendir(dir);
  if (!d) return NULL;
  struct dirent* entry;
  while ((entry = readdir(d)) != NULL) {
    if (entry->d_name[0] == '.') continue;
    const char* name = entry->d_name;
#endif
    if (n == capacity) {
      capacity = capacity ? 2 * capacity : 32;
      char** grown = (char**)realloc(names, (size_t)capacity * sizeof *names);
      if (!grown) break;
      names = grown;
    }
    names[n] = (char*)malloc(strlen(name) + 1);
    if (names[n]) strcpy(names[n++], name);
#ifdef _WIN32
  } while (FindNextFileA(search, &found));
  FindClose(search);
#else
  }
  closedir(d);
#endif
  if (n) qsort(names, (size_t)n, sizeof *names, compare_names);
  *count = n;
  return names ? names : (char**)calloc(1, sizeof *names);
}

static unsigned char* read_whole(const char* path, size_t* size) {
  FILE* file = fopen(host_native_path(path), "rb");
  if (!file) return NULL;
  size_t capacity = 4096, n = 0;
  unsigned char* bytes = (unsigned char*)malloc(capacity);
  while (bytes) {
    n += fread(bytes + n, 1, capacity - n, file);
    if (n < capacity) break;
    unsigned char* grown = (unsigned char*)realloc(bytes, capacity * 2);
    if (!grown) {
      free(bytes);
      bytes = NULL;
      break;
    }
    bytes = grown;
    capacity *= 2;
  }
  fclose(file);
  *size = n;
  return bytes;
}

int run_fuzz_replay(const char* kind, const char* coil_path, const char* blob_path,
                    const char* corpus_dir) {
  int settings = strcmp(kind, "settings") == 0;
  if (!settings && strcmp(kind, "frames") != 0) {
    printf("fuzz-replay: unknown case kind %s (settings or frames)\n", kind);
    return 2;
  }
  ReplayHost host;
  memset(&host, 0, sizeof host);
  if (!host_load_module(&host.modules[0], coil_path, 0) ||
      !host_load_module(&host.modules[1], blob_path, 0)) {
    return 1;
  }
  /* The same seed every run, as in the fuzz targets. */
  CHECK(host_fix_ticks(&host.modules[0], 12345u));
  CHECK(host_fix_ticks(&host.modules[1], 12345u));
  const FuzzHost calls = {&host,         replay_create, replay_destroy,
                          replay_render, replay_load,   replay_save};

  int count = 0;
  char** names = list_files(corpus_dir, &count);
  CHECK(names != NULL && count > 0);
  for (int i = 0; names && i < count; ++i) {
    char path[4096];
    snprintf(path, sizeof path, "%s/%s", corpus_dir, names[i]);
    size_t size = 0;
    unsigned char* bytes = read_whole(path, &size);
    CHECK(bytes != NULL);
    if (bytes) {
      char why[256];
      int failed = settings ? run_settings_case(&calls, bytes, size, why, sizeof why)
                            : run_frames_case(&calls, bytes, size, why, sizeof why);
      check_report(!failed, __FILE__, __LINE__, names[i]);
      if (failed) printf("    %s\n", why);
      free(bytes);
    }
    free(names[i]);
  }
  free(names);
  printf("fuzz-replay %s: %d inputs, %d calls\n", kind, count, host.calls);
  host_unload_module(&host.modules[1]);
  host_unload_module(&host.modules[0]);
  return check_summary(settings ? "fuzz-replay settings" : "fuzz-replay frames");
}
