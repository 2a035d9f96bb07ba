// The 72-byte settings blob both effects keep (little-endian words): 16 colours 0x00RRGGBB at bytes
// 0..63, the colour count at 64 (the effect clamps it to 1..16), the on-beat flag at 68 (nonzero =
// on). The page edits these fields and always hands the result to the effect through load_settings,
// so the effect stays the authority on what a blob means, as in the host.

import { SETTINGS_BYTES } from './plugin_host.mjs';

export const BLOB_COLOURS = 16;
const COUNT_OFFSET = 64;
const ON_BEAT_OFFSET = 68;

const view = (blob) => new DataView(blob.buffer, blob.byteOffset, blob.byteLength);

export function blobColour(blob, index) {
  return view(blob).getUint32(4 * index, true);
}
export function setBlobColour(blob, index, colour) {
  view(blob).setUint32(4 * index, colour >>> 0, true);
}
export function blobColourCount(blob) {
  return view(blob).getInt32(COUNT_OFFSET, true);
}
export function setBlobColourCount(blob, count) {
  view(blob).setInt32(COUNT_OFFSET, count, true);
}
export function blobOnBeat(blob) {
  return view(blob).getInt32(ON_BEAT_OFFSET, true);
}
export function setBlobOnBeat(blob, onBeat) {
  view(blob).setInt32(ON_BEAT_OFFSET, onBeat, true);
}

// A blob with the given colours (0xRRGGBB numbers), count and on-beat flag.
export function makeBlob(colours, { count = colours.length, onBeat = false } = {}) {
  const blob = new Uint8Array(SETTINGS_BYTES);
  colours.slice(0, BLOB_COLOURS).forEach((c, i) => setBlobColour(blob, i, c));
  setBlobColourCount(blob, count);
  setBlobOnBeat(blob, onBeat ? 1 : 0);
  return blob;
}

// The blob as text: lower-case groups of 8 hex digits (one word each, in file order), 8 groups a
// line, as apehost prints it and presets store it.
export function blobHex(blob) {
  const groups = [];
  for (let i = 0; i < blob.length; i += 4) {
    groups.push([...blob.subarray(i, i + 4)].map((b) => b.toString(16).padStart(2, '0')).join(''));
  }
  const lines = [];
  for (let i = 0; i < groups.length; i += 8) lines.push(groups.slice(i, i + 8).join(' '));
  return lines.join('\n');
}

// The blob in hex text: exactly 144 hex digits of either case; spaces, tabs and newlines anywhere
// are ignored. Throws an Error saying what is wrong otherwise.
export function parseBlobHex(text) {
  const digits = text.replace(/[ \t\r\n]/g, '');
  const stray = digits.match(/[^0-9a-fA-F]/);
  if (stray) throw new Error(`settings: '${stray[0]}' is not a hex digit`);
  if (digits.length !== 2 * SETTINGS_BYTES) {
    throw new Error(`settings: ${digits.length} hex digits where a blob has ${2 * SETTINGS_BYTES}`);
  }
  const blob = new Uint8Array(SETTINGS_BYTES);
  for (let i = 0; i < SETTINGS_BYTES; ++i) blob[i] = parseInt(digits.substr(2 * i, 2), 16);
  return blob;
}

// A blob file as the page imports it: the 72 bytes themselves (what apehost settings -o writes),
// or their hex text. Throws an Error naming what is wrong otherwise.
export function parseBlobFile(bytes) {
  if (bytes.length === SETTINGS_BYTES) return new Uint8Array(bytes);
  const text = new TextDecoder('utf-8', { fatal: false }).decode(bytes);
  if (/^[0-9a-fA-F \t\r\n]+$/.test(text) && text.replace(/\s/g, '').length > 0) {
    return parseBlobHex(text);
  }
  throw new Error(`not a settings blob (${bytes.length} bytes; a blob has ${SETTINGS_BYTES})`);
}
