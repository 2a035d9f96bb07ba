/* The module as the host meets it: entry point, creator, the six slots, the settings blob. */
#include <stdio.h>
#include <string.h>

#include "check.h"
#include "host_module.h"
#include "render_trace.h"
#include "suites.h"

static uint32_t word_at(const unsigned char* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static void set_word(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = (unsigned char)(v >> (8 * i));
}

/* A blob no default resembles: every colour word distinct and asymmetric in its bytes. */
static void distinctive_blob(unsigned char blob[HOST_SETTINGS_BYTES], int32_t count,
                             int32_t on_beat) {
  for (int i = 0; i < 16; ++i) set_word(blob + 4 * i, 0x00102030u + (uint32_t)i * 0x00030507u);
  set_word(blob + 64, (uint32_t)count);
  set_word(blob + 68, (uint32_t)on_beat);
}

static int32_t saved_count(HostEffect effect) {
  unsigned char out[HOST_SETTINGS_BYTES];
  host_save_settings(effect, out, 0);
  return (int32_t)word_at(out + 64);
}

static void check_names(HostModule* module, const char* short_name, const char* long_name) {
  CHECK_EQ_U(module->entry_result, 1);
  CHECK_EQ_S(module->short_name, short_name);

  /* Describe mode: the text with its zero, nothing past it, no object. */
  char buffer[128];
  memset(buffer, 0xCC, sizeof buffer);
  CHECK(host_create(module, buffer, 0) == NULL);
  CHECK_EQ_S(buffer, long_name);
  CHECK_EQ_U((unsigned char)buffer[strlen(long_name) + 1], 0xCC);

  HostEffect effect = host_create(module, NULL, 0);
  CHECK(effect != NULL);
  if (!effect) return;
  CHECK_EQ_S(host_describe(effect, 0), long_name);
  CHECK(host_destroy(effect, 1u, 0) == effect); /* scalar deleting destructor returns self */
}

static void check_default_blob(HostModule* module) {
  HostEffect effect = host_create(module, NULL, 0);
  unsigned char out[HOST_SETTINGS_BYTES + 8];
  memset(out, 0xAB, sizeof out);
  CHECK_EQ_U(host_save_settings(effect, out, 0), 72);
  static const unsigned char first[4] = {0xFF, 0x7F, 0x00, 0x00};
  CHECK(memcmp(out, first, 4) == 0);
  int zero = 1;
  for (int i = 4; i < 64; ++i) zero &= out[i] == 0;
  CHECK(zero);
  CHECK_EQ_U(word_at(out + 64), 1);
  CHECK_EQ_U(word_at(out + 68), 0);
  CHECK_EQ_U(out[72], 0xAB); /* exactly 72 bytes written */
  host_destroy(effect, 1u, 0);
}

static void check_round_trips(HostModule* module) {
  HostEffect effect = host_create(module, NULL, 0);
  unsigned char blob[HOST_SETTINGS_BYTES], out[HOST_SETTINGS_BYTES];

  distinctive_blob(blob, 11, 5);
  host_load_settings(effect, blob, HOST_SETTINGS_BYTES, 0);
  CHECK_EQ_U(host_save_settings(effect, out, 0), 72);
  CHECK(memcmp(out, blob, HOST_SETTINGS_BYTES) == 0); /* on_beat_change 5 comes back as 5 */

  static const int32_t counts[][2] = {{0, 1}, {-5, 1}, {1, 1}, {16, 16}, {17, 16}, {1000, 16}};
  for (size_t i = 0; i < sizeof counts / sizeof counts[0]; ++i) {
    distinctive_blob(blob, counts[i][0], 0);
    host_load_settings(effect, blob, HOST_SETTINGS_BYTES, 0);
    CHECK_EQ_U(saved_count(effect), (uint32_t)counts[i][1]);
  }

  /* Too long, empty, negative: nothing changes (the count was 16 from the last load). */
  distinctive_blob(blob, 11, 5);
  host_load_settings(effect, blob, HOST_SETTINGS_BYTES, 0);
  unsigned char other[HOST_SETTINGS_BYTES + 1];
  memset(other, 0x5A, sizeof other);
  host_load_settings(effect, other, 73, 0);
  host_load_settings(effect, other, 0, 0);
  host_load_settings(effect, other, -1, 0);
  host_save_settings(effect, out, 0);
  CHECK(memcmp(out, blob, HOST_SETTINGS_BYTES) == 0);

  /* 40 bytes: colours 0..9 only. */
  host_load_settings(effect, other, 40, 0);
  host_save_settings(effect, out, 0);
  CHECK(memcmp(out, other, 40) == 0);
  CHECK(memcmp(out + 40, blob + 40, HOST_SETTINGS_BYTES - 40) == 0);

  /* 65 bytes: only the low byte of colour_count; the 0x5A there clamps to 16. */
  distinctive_blob(blob, 3, 0);
  host_load_settings(effect, blob, HOST_SETTINGS_BYTES, 0);
  host_load_settings(effect, other, 65, 0);
  CHECK_EQ_U(saved_count(effect), 16);
  host_destroy(effect, 1u, 0);
}

/* Two objects are independent: settings loaded into one don't show in the other. */
static void check_two_objects(HostModule* module) {
  HostEffect a = host_create(module, NULL, 0);
  HostEffect b = host_create(module, NULL, 0);
  CHECK(a != b);
  unsigned char blob[HOST_SETTINGS_BYTES];
  distinctive_blob(blob, 9, 1);
  host_load_settings(a, blob, HOST_SETTINGS_BYTES, 0);
  CHECK_EQ_U(saved_count(a), 9);
  CHECK_EQ_U(saved_count(b), 1);
  host_destroy(a, 1u, 0);
  host_destroy(b, 1u, 0);
}

int run_abi_suite(const char* module_path, const char* short_name, const char* long_name) {
  HostModule module;
  if (!host_load_module(&module, module_path, 0)) return 1;
  check_names(&module, short_name, long_name);
  check_default_blob(&module);
  check_round_trips(&module);
  check_two_objects(&module);
  host_unload_module(&module);
  return check_summary("abi");
}

/* Everything again from stacks that are only 4-byte aligned, the way an MSVC-built host calls: the
 * module must realign wherever it needs more, and draw the same frames. */
int run_stack_suite(const char* module_path, const char* trace_path, const char* work_dir) {
  char aligned[1024], shifted[1024];
  snprintf(aligned, sizeof aligned, "%s/stack-aligned.raw", work_dir);
  const int width = 160, height = 120;
  int frames = render_trace(module_path, trace_path, aligned, width, height, 4242u,
                            RENDER_CYCLING_SETTINGS, 0);
  CHECK(frames > 0);
  for (int misalign = 4; misalign < 16; misalign += 4) {
    snprintf(shifted, sizeof shifted, "%s/stack-%d.raw", work_dir, misalign);
    printf("stack %d bytes past a 16-byte boundary:\n", misalign);
    CHECK_EQ_U(render_trace(module_path, trace_path, shifted, width, height, 4242u,
                            RENDER_CYCLING_SETTINGS, misalign),
               (uint32_t)frames);
    CHECK_EQ_U(compare_frame_files(aligned, shifted, width, height), 0);

    HostModule module;
    CHECK(host_load_module(&module, module_path, misalign));
    CHECK_EQ_U(module.entry_result, 1);
    char buffer[128];
    CHECK(host_create(&module, buffer, misalign) == NULL);
    HostEffect effect = host_create(&module, NULL, misalign);
    unsigned char blob[HOST_SETTINGS_BYTES], out[HOST_SETTINGS_BYTES];
    distinctive_blob(blob, 7, 1);
    host_load_settings(effect, blob, HOST_SETTINGS_BYTES, misalign);
    CHECK_EQ_U(host_save_settings(effect, out, misalign), 72);
    CHECK(memcmp(out, blob, sizeof blob) == 0);
    CHECK_EQ_S(host_describe(effect, misalign), buffer);
    CHECK(host_destroy(effect, 1u, misalign) == effect);
    host_unload_module(&module);
  }
  return check_summary("stack");
}
