// The runs of the web build's exactness test, and how the WebAssembly side renders them, in Node
// and in Chromium alike (no Node or browser APIs here). The native side is reference_frames.c; for
// every run both print one checksum per frame, and the lines must be equal.

const SOUND_BINS = 576;
const SOUND_BYTES = 4 * SOUND_BINS;
export const TRACE_FRAMES = 240;
export const TICKS = 0x2468ace;

// A varied sound trace: silence with one lone beat, a song-like stretch (a decaying bass on a beat
// every 30 frames, a middle band following a triangle wave, quiet noise above), everything at full
// level with a beat every third frame, a beat on every frame over a loud middle band, and
// channel-unbalanced noise with random beats. Integer arithmetic only: the same bytes everywhere.
export function traceFrame(f) {
  const sound = new Uint8Array(SOUND_BYTES);
  let beat = false;
  // The waveform holds bytes the effects never read; they must not matter either way.
  for (let i = 2 * SOUND_BINS; i < SOUND_BYTES; ++i) sound[i] = (0x5a ^ i ^ (3 * f)) & 0xff;
  let noise = Math.imul(0x9e3779b9, f + 1) >>> 0;
  const next = () => {
    noise = (Math.imul(noise, 1664525) + 1013904223) >>> 0;
    return noise >>> 24;
  };
  const left = (i, v) => { sound[i] = v; };
  const right = (i, v) => { sound[SOUND_BINS + i] = v; };
  if (f < 20 || (f >= 150 && f < 190)) {
    beat = f === 170;
  } else if (f < 100) {
    const since = (f - 20) % 30;
    beat = since === 0;
    const bass = Math.max(20, 250 - 20 * since);
    const phase = (f * 7) % 200;
    const middle = phase < 100 ? 30 + phase : 230 - phase;
    for (let i = 0; i < SOUND_BINS; ++i) {
      let level = 0;
      if (i < 8) level = bass - 10 * i;
      else if (i < 60) level = middle - (i - 8);
      else if (i < 240) level = next() % 60;
      level = Math.max(0, level);
      left(i, level);
      right(i, Math.floor((level * 3) / 4));
    }
  } else if (f < 130) {
    beat = f % 3 === 0;
    for (let i = 0; i < SOUND_BINS; ++i) { left(i, 255); right(i, 255); }
  } else if (f < 150) {
    beat = true;
    for (let i = 16; i < 64; ++i) { left(i, 200); right(i, 200); }
  } else {
    beat = (next() & 7) === 0;
    for (let i = 0; i < SOUND_BINS; ++i) { left(i, next()); right(i, next() >>> 2); }
  }
  return { beat, sound };
}

// Blob helpers: words in file order.
function blob(words, length = 72) {
  const bytes = new Uint8Array(Math.max(length, 72));
  const view = new DataView(bytes.buffer);
  words.forEach((w, i) => view.setUint32(4 * i, w >>> 0, true));
  return bytes.subarray(0, length);
}
const colours = (list, count, onBeat) => {
  const words = new Array(18).fill(0);
  list.forEach((c, i) => { words[i] = c; });
  words[16] = count;
  words[17] = onBeat;
  return words;
};
const FIVE = [0xff2010, 0x10e0a0, 0x3050ff, 0xffffff, 0x000000];
const SIXTEEN = Array.from({ length: 16 }, (_, i) => (i * 0x0f1e2d + 0x402010) & 0xffffff);

// Every case of the settings (through load_settings, as a host hands them over), sizes from 1x1 to
// 1920x1080, and sizes changing between frames of one effect.
export const RUNS = [
  { name: '320x240 defaults', sizes: ['320x240'], first: 0, last: TRACE_FRAMES, settings: null },
  { name: '641x479 five colours, on-beat jumps', sizes: ['641x479'], first: 0, last: TRACE_FRAMES,
    settings: blob(colours(FIVE, 5, 1)) },
  { name: '1x1', sizes: ['1x1'], first: 0, last: TRACE_FRAMES, settings: null },
  { name: '2x2 count 0 (taken as 1)', sizes: ['2x2'], first: 0, last: 120,
    settings: blob(colours(FIVE, 0, 1)) },
  { name: '3x7 count 17 (taken as 16)', sizes: ['3x7'], first: 0, last: 120,
    settings: blob(colours(SIXTEEN, 17, 1)) },
  { name: '1x64 on-beat flag 5', sizes: ['1x64'], first: 0, last: 120,
    settings: blob(colours(FIVE, 3, 5)) },
  { name: '97x1 40-byte blob (colours 0-9 only)', sizes: ['97x1'], first: 0, last: 120,
    settings: blob(SIXTEEN, 40) },
  { name: '200x150 73-byte blob (ignored)', sizes: ['200x150'], first: 0, last: 60,
    settings: blob(colours(FIVE, 5, 1), 73) },
  { name: '160x90 colours with a top byte', sizes: ['160x90'], first: 0, last: 120,
    settings: blob(colours([0xff123456, 0x80ffffff, 0x01000000], 3, 1)) },
  { name: '1920x1080', sizes: ['1920x1080'], first: 90, last: 110, settings: null },
  { name: '1281x719 sixteen colours', sizes: ['1281x719'], first: 20, last: 50,
    settings: blob(colours(SIXTEEN, 16, 1)) },
  { name: 'sizes changing every frame', sizes: ['160x120', '160x120', '99x201', '5x3', '640x360', '1x1'],
    first: 0, last: TRACE_FRAMES, settings: blob(colours(FIVE, 5, 1)) },
];

export const hex = (bytes) => [...bytes].map((b) => b.toString(16).padStart(2, '0')).join('');

export function checksum(pixels) {
  let h1 = 0x811c9dc5;
  let h2 = 0x9e3779b9;
  for (let i = 0; i < pixels.length; ++i) {
    const w = pixels[i];
    h1 = Math.imul(h1 ^ w, 0x01000193);
    h2 = Math.imul((h2 + w) | 0, 0x85ebca6b);
    h2 ^= h2 >>> 13;
  }
  return (h1 >>> 0).toString(16).padStart(8, '0') + (h2 >>> 0).toString(16).padStart(8, '0');
}

function paint(pixels, width, height, f) {
  for (let y = 0; y < height; ++y) {
    for (let x = 0; x < width; ++x) {
      pixels[y * width + x] = Math.imul(x * 7 + y * 13 + f * 29, 2654435761) >>> 8;
    }
  }
}

// Renders a run with a PluginModule (web/js/plugin_host.mjs); returns one checksum per frame.
export function renderRun(plugin, run) {
  const effect = plugin.createEffect(TICKS);
  if (run.settings) effect.loadSettings(run.settings);
  const sums = [];
  for (let f = run.first; f < run.last; ++f) {
    const [width, height] = run.sizes[f % run.sizes.length].split('x').map(Number);
    const pixels = new Uint32Array(width * height);
    paint(pixels, width, height, f);
    const { beat, sound } = traceFrame(f);
    effect.render(sound, beat, pixels, width, height);
    sums.push(checksum(pixels));
  }
  effect.destroy();
  return sums;
}
