/* render_trace.h - sound traces and raw frames, the same on both platforms, so the Linux build's
 * frames can be compared pixel for pixel with the Windows modules' frames.
 *
 * Trace: "APETRACE", uint32 LE version 1, uint32 LE frames per second, then one 2305-byte record
 * per frame: the beat byte, then 2304 sound bytes (spectrum ch0, ch1, waveform ch0, ch1; 576 each).
 * Raw frames: width x height little-endian 32-bit pixels per frame, frames one after another. */
#ifndef APE_TEST_RENDER_TRACE_H
#define APE_TEST_RENDER_TRACE_H

#include <stdint.h>

#include "host_module.h"

/* Writes a synthetic trace of `frames` frames (integer arithmetic only: the same bytes everywhere).
 */
int write_synthetic_trace(const char* path, int frames);

/* Settings the render starts from. */
typedef enum { RENDER_DEFAULT_SETTINGS, RENDER_CYCLING_SETTINGS } RenderSettings;

/* The 72-byte blob of RENDER_CYCLING_SETTINGS: four asymmetric colours, count 4, on-beat change on.
 */
void cycling_settings_blob(unsigned char blob[HOST_SETTINGS_BYTES]);

/* Renders every frame of the trace with one new effect (constructed with the given tick count) into
 * a host frame pre-filled with a fixed background pattern, and appends each frame to `out_path`.
 * Returns the number of frames, or -1 on an error (printed). */
int render_trace(const char* module_path, const char* trace_path, const char* out_path, int width,
                 int height, uint32_t ticks, RenderSettings settings, int misalign);

/* Compares two raw frame files; prints how many pixels differ, in how many frames, and where the
 * first differences are. Returns the number of differing pixels, or -1 when the files don't match
 * in size. */
long compare_frame_files(const char* a, const char* b, int width, int height);

#endif /* APE_TEST_RENDER_TRACE_H */
