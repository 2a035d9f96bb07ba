#include "render_trace.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { TRACE_HEADER_BYTES = 16, TRACE_RECORD_BYTES = 1 + HOST_SOUND_BYTES, SOUND_BINS = 576 };

static void put_u32(unsigned char* p, uint32_t v) {
  p[0] = (unsigned char)v;
  p[1] = (unsigned char)(v >> 8);
  p[2] = (unsigned char)(v >> 16);
  p[3] = (unsigned char)(v >> 24);
}

static uint32_t get_u32(const unsigned char* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

int write_synthetic_trace(const char* path, int frames) {
  FILE* file = fopen(host_native_path(path), "wb");
  if (!file) {
    printf("cannot write %s\n", path);
    return 0;
  }
  unsigned char header[TRACE_HEADER_BYTES];
  memcpy(header, "APETRACE", 8);
  put_u32(header + 8, 1);
  put_u32(header + 12, 30);
  fwrite(header, 1, sizeof header, file);

  uint32_t noise = 12345u;
  unsigned char record[TRACE_RECORD_BYTES];
  for (int f = 0; f < frames; ++f) {
    /* Beats on an uneven pattern, so beat-driven state differs from frame-count-driven state. */
    record[0] = (unsigned char)(f % 9 == 0 || f % 13 == 5);
    unsigned char* sound = record + 1;
    for (int ch = 0; ch < 2; ++ch) {
      /* Spectrum: a loud band that wanders across the bins, over low noise; louder on beats. */
      const int peak = (f * 37 + ch * 150) % SOUND_BINS;
      for (int i = 0; i < SOUND_BINS; ++i) {
        noise = noise * 1103515245u + 12345u;
        int distance = abs(i - peak);
        int value = (int)((noise >> 16) & 0x1F) + (distance < 64 ? (64 - distance) * 3 : 0);
        if (record[0]) value += 40;
        sound[ch * SOUND_BINS + i] = (unsigned char)(value > 255 ? 255 : value);
      }
      /* Waveform: a triangle wave whose period follows the frame number. */
      const int period = 24 + (f * 5 + ch * 11) % 80;
      for (int i = 0; i < SOUND_BINS; ++i) {
        int phase = (i + f * 3) % period;
        int tri = phase < period / 2 ? phase * 510 / period : 510 - phase * 510 / period;
        sound[2 * SOUND_BINS + ch * SOUND_BINS + i] = (unsigned char)(tri > 255 ? 255 : tri);
      }
    }
    fwrite(record, 1, sizeof record, file);
  }
  return fclose(file) == 0;
}

void cycling_settings_blob(unsigned char blob[HOST_SETTINGS_BYTES]) {
  static const uint32_t colours[4] = {0x00E0301Au, 0x0020C040u, 0x00305AF0u, 0x00F0F0A0u};
  memset(blob, 0, HOST_SETTINGS_BYTES);
  for (int i = 0; i < 4; ++i) put_u32(blob + 4 * i, colours[i]);
  put_u32(blob + 64, 4);
  put_u32(blob + 68, 1);
}

/* The host's image under the effect: a fixed pattern that changes with the frame number. */
static void fill_background(int32_t* frame, int width, int height, int index) {
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint32_t r = (uint32_t)(x * 3 + index) & 0x7F, g = (uint32_t)(y * 2) & 0x7F;
      uint32_t b = (uint32_t)(x ^ y) & 0x3F;
      frame[y * width + x] = (int32_t)(r << 16 | g << 8 | b);
    }
  }
}

int render_trace(const char* module_path, const char* trace_path, const char* out_path, int width,
                 int height, uint32_t ticks, RenderSettings settings, int misalign) {
  FILE* trace = fopen(host_native_path(trace_path), "rb");
  if (!trace) {
    printf("cannot read %s\n", trace_path);
    return -1;
  }
  unsigned char header[TRACE_HEADER_BYTES];
  if (fread(header, 1, sizeof header, trace) != sizeof header ||
      memcmp(header, "APETRACE", 8) != 0 || get_u32(header + 8) != 1) {
    printf("%s is not a version 1 trace\n", trace_path);
    fclose(trace);
    return -1;
  }
  FILE* out = fopen(host_native_path(out_path), "wb");
  if (!out) {
    printf("cannot write %s\n", out_path);
    fclose(trace);
    return -1;
  }

  HostModule module;
  int frames = -1;
  if (host_load_module(&module, module_path, misalign) && host_fix_ticks(&module, ticks)) {
    HostEffect effect = host_create(&module, NULL, misalign);
    if (!effect) {
      printf("create_effect returned null\n");
    } else {
      if (settings == RENDER_CYCLING_SETTINGS) {
        unsigned char blob[HOST_SETTINGS_BYTES];
        cycling_settings_blob(blob);
        host_load_settings(effect, blob, HOST_SETTINGS_BYTES, misalign);
      }
      int32_t* frame = malloc((size_t)width * (size_t)height * sizeof *frame);
      int32_t* spare = malloc((size_t)width * (size_t)height * sizeof *spare);
      unsigned char record[TRACE_RECORD_BYTES];
      frames = 0;
      while (fread(record, 1, sizeof record, trace) == sizeof record) {
        fill_background(frame, width, height, frames);
        host_render(effect, record + 1, record[0], frame, spare, width, height, misalign);
        for (long i = 0; i < (long)width * height; ++i) {
          unsigned char px[4];
          put_u32(px, (uint32_t)frame[i]);
          fwrite(px, 1, 4, out);
        }
        ++frames;
      }
      free(frame);
      free(spare);
      host_destroy(effect, 1u, misalign);
    }
  }
  host_unload_module(&module);
  fclose(trace);
  if (fclose(out) != 0) frames = -1;
  return frames;
}

long compare_frame_files(const char* a, const char* b, int width, int height) {
  FILE* fa = fopen(host_native_path(a), "rb");
  FILE* fb = fopen(host_native_path(b), "rb");
  if (!fa || !fb) {
    printf("cannot read %s or %s\n", a, b);
    if (fa) fclose(fa);
    if (fb) fclose(fb);
    return -1;
  }
  const long pixels = (long)width * height;
  long differing = 0, frames_differing = 0, shown = 0;
  int frame = 0, max_channel = 0;
  uint32_t* pa = malloc((size_t)pixels * 4);
  uint32_t* pb = malloc((size_t)pixels * 4);
  for (;; ++frame) {
    size_t na = fread(pa, 4, (size_t)pixels, fa), nb = fread(pb, 4, (size_t)pixels, fb);
    if (na != nb) {
      printf("the files hold different numbers of frames (at frame %d)\n", frame);
      differing = -1;
      break;
    }
    if (na == 0) break;
    long in_frame = 0;
    for (long i = 0; i < (long)na; ++i) {
      if (pa[i] == pb[i]) continue;
      ++in_frame;
      for (int shift = 0; shift < 24; shift += 8) {
        int d = abs((int)((pa[i] >> shift) & 0xFF) - (int)((pb[i] >> shift) & 0xFF));
        if (d > max_channel) max_channel = d;
      }
      if (shown < 10) {
        printf("  frame %d pixel (%ld, %ld): 0x%06X vs 0x%06X\n", frame, i % width, i / width,
               (unsigned)pa[i], (unsigned)pb[i]);
        ++shown;
      }
    }
    if (in_frame) {
      ++frames_differing;
      printf("  frame %d: %ld pixels differ\n", frame, in_frame);
    }
    differing += in_frame;
  }
  if (differing >= 0) {
    printf(
        "%d frames of %dx%d compared: %ld pixels differ in %ld frames (largest channel "
        "difference %d)\n",
        frame, width, height, differing, frames_differing, max_channel);
  }
  free(pa);
  free(pb);
  fclose(fa);
  fclose(fb);
  return differing;
}
