// Sound traces as apehost writes them: "APETRACE", little-endian 32-bit version (1) and frame
// rate, then one 2305-byte record per frame (the beat byte, then the 2304 sound bytes).

import { SOUND_BYTES } from './plugin_host.mjs';

export const TRACE_MAGIC = 'APETRACE';
export const TRACE_HEADER_BYTES = 16;
export const TRACE_RECORD_BYTES = 1 + SOUND_BYTES;

// { framesPerSecond, frameCount, frame(i) -> { beat, sound } } over the bytes of a trace file.
// Throws an Error with the reason when the bytes are not a whole version 1 trace.
export function parseTrace(bytes) {
  if (bytes.length < TRACE_HEADER_BYTES) {
    throw new Error(`not a sound trace (${bytes.length} bytes, shorter than its header)`);
  }
  if (new TextDecoder().decode(bytes.subarray(0, 8)) !== TRACE_MAGIC) {
    throw new Error('not a sound trace (the file does not start with APETRACE)');
  }
  const header = new DataView(bytes.buffer, bytes.byteOffset, TRACE_HEADER_BYTES);
  const version = header.getUint32(8, true);
  if (version !== 1) throw new Error(`sound trace version ${version}, this reads version 1`);
  const framesPerSecond = header.getUint32(12, true);
  if (framesPerSecond === 0) throw new Error('sound trace with a frame rate of 0 frames per second');
  const body = bytes.length - TRACE_HEADER_BYTES;
  if (body % TRACE_RECORD_BYTES !== 0) {
    throw new Error(`truncated sound trace (${body} bytes of records, not a whole number of ` +
                    `${TRACE_RECORD_BYTES}-byte records)`);
  }
  const frameCount = body / TRACE_RECORD_BYTES;
  return {
    framesPerSecond,
    frameCount,
    frame(i) {
      const at = bytes.byteOffset + TRACE_HEADER_BYTES + i * TRACE_RECORD_BYTES;
      return { beat: bytes[at - bytes.byteOffset] !== 0,
               sound: new Uint8Array(bytes.buffer, at + 1, SOUND_BYTES) };
    },
  };
}

// The bytes of a trace of frames ({ beat, sound }) at framesPerSecond.
export function encodeTrace(frames, framesPerSecond) {
  const bytes = new Uint8Array(TRACE_HEADER_BYTES + frames.length * TRACE_RECORD_BYTES);
  bytes.set(new TextEncoder().encode(TRACE_MAGIC));
  const header = new DataView(bytes.buffer);
  header.setUint32(8, 1, true);
  header.setUint32(12, framesPerSecond, true);
  frames.forEach((f, i) => {
    const at = TRACE_HEADER_BYTES + i * TRACE_RECORD_BYTES;
    bytes[at] = f.beat ? 1 : 0;
    bytes.set(f.sound.subarray(0, SOUND_BYTES), at + 1);
  });
  return bytes;
}
