#!/usr/bin/env node
// Renders effects over a sound trace with the WebAssembly modules, frame by frame, the way the host
// drives them, into raw frames: the same options and output as apehost render with a trace, so the
// WebAssembly build can be compared with any other build byte for byte.
//
//   node build/web/render.mjs coilfx|blobfx [PLUGIN...] --trace T --size WxH --ticks N
//        [--settings BLOB]... [--background 0xRRGGBB] [--frames K] --raw OUT|-
//
// Bad input: one line "render.mjs: SUBJECT: REASON" and exit status 2.

import { closeSync, openSync, readFileSync, writeSync } from 'node:fs';
import { basename, dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

import { EffectStack } from './js/effect_stack.mjs';
import { PluginModule } from './js/plugin_host.mjs';
import { parseTrace } from './js/trace.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const MAX_FRAME_SIDE = 16384;
const MAX_SETTINGS_FILE = 1 << 20;

class BadInput extends Error {
  constructor(subject, reason) {
    super(`${subject}: ${reason}`);
  }
}

function parseArguments(argv) {
  const o = { plugins: [], settings: [], size: '1280x720', background: '0x000000' };
  const valueOptions = { '--trace': 'trace', '--size': 'size', '--ticks': 'ticks',
                         '--background': 'background', '--frames': 'frames', '--raw': 'raw' };
  for (let i = 0; i < argv.length; ++i) {
    const arg = argv[i];
    if (arg === '--settings' || arg in valueOptions) {
      if (i + 1 >= argv.length) throw new BadInput(arg, 'needs a value');
      const value = argv[++i];
      if (arg === '--settings') o.settings.push(value);
      else o[valueOptions[arg]] = value;
    } else if (arg.startsWith('-') && arg !== '-') {
      throw new BadInput(arg, 'no such option');
    } else {
      o.plugins.push(arg);
    }
  }
  if (o.plugins.length === 0) throw new BadInput('render', 'no plug-in: give coilfx or blobfx');
  if (o.trace === undefined) throw new BadInput('render', 'no sound: give --trace TRACE');
  if (o.raw === undefined) throw new BadInput('render', 'no output: give --raw OUT');
  if (o.settings.length > o.plugins.length) {
    throw new BadInput('--settings', `${o.settings.length} blobs for ${o.plugins.length} plug-ins`);
  }
  return o;
}

function parseSize(text) {
  const m = /^(\d{1,5})x(\d{1,5})$/.exec(text);
  const [w, h] = m ? [Number(m[1]), Number(m[2])] : [0, 0];
  if (w < 1 || h < 1 || w > MAX_FRAME_SIDE || h > MAX_FRAME_SIDE) {
    throw new BadInput('--size', `'${text}' is not a frame size WIDTHxHEIGHT with both sides ` +
                                 `1..${MAX_FRAME_SIDE}`);
  }
  return { width: w, height: h };
}

function parseColour(text) {
  const m = /^(?:0x|0X|#)?([0-9a-fA-F]{6})$/.exec(text);
  if (!m) throw new BadInput('--background', `'${text}' is not a colour RRGGBB (six hex digits)`);
  return parseInt(m[1], 16);
}

function parseCount(option, text, max) {
  if (!/^\d+$/.test(text) || Number(text) > max) {
    throw new BadInput(option, `'${text}' is not a whole number 0..${max}`);
  }
  return Number(text);
}

function readInput(path, limit = Infinity) {
  let bytes;
  try {
    bytes = readFileSync(path);
  } catch (error) {
    throw new BadInput(path, `cannot open (${error.code === 'ENOENT' ? 'no such file' : error.code})`);
  }
  if (bytes.length > limit) throw new BadInput(path, `more than ${limit} bytes`);
  return new Uint8Array(bytes.buffer, bytes.byteOffset, bytes.length);
}

// A plug-in argument: a name beside this script (coilfx) or a path to a module (x/coilfx.wasm).
function modulePath(plugin) {
  return plugin.includes('/') || plugin.endsWith('.wasm') ? plugin : join(here, `${plugin}.wasm`);
}

async function main(argv) {
  const o = parseArguments(argv);
  const { width, height } = parseSize(o.size);
  const colour = parseColour(o.background);
  const ticks = o.ticks === undefined ? Date.now() % 2 ** 32 : parseCount('--ticks', o.ticks, 2 ** 32 - 1);
  const limit = o.frames === undefined ? Infinity : parseCount('--frames', o.frames, 2 ** 53 - 1);
  const blobs = o.settings.map((path) => {
    const blob = readInput(path, MAX_SETTINGS_FILE);
    if (blob.length > 72) {
      process.stderr.write(`render.mjs: note: ${path} has ${blob.length} bytes; effects ignore a ` +
                           'settings blob longer than 72\n');
    }
    return blob;
  });
  const plugins = new Map();
  for (const plugin of o.plugins) {
    if (plugins.has(plugin)) continue;
    const path = modulePath(plugin);
    plugins.set(plugin, await PluginModule.load(readInput(path), basename(path, '.wasm')));
  }
  let trace;
  try {
    trace = parseTrace(readInput(o.trace));
  } catch (error) {
    throw error instanceof BadInput ? error : new BadInput(o.trace, error.message);
  }
  const stack = new EffectStack(plugins);
  stack.background = { mode: 'clear', colour };
  stack.resize(width, height);
  stack.set(o.plugins.map((plugin, i) => ({ plugin, settings: blobs[i] })), ticks);

  const out = o.raw === '-' ? 1 : openSync(o.raw, 'w');
  const total = Math.min(limit, trace.frameCount);
  for (let i = 0; i < total; ++i) {
    const { beat, sound } = trace.frame(i);
    const pixels = stack.render(sound, beat);
    // Little-endian 32-bit pixels, as apehost writes them.
    const bytes = new Uint8Array(pixels.buffer, pixels.byteOffset, pixels.byteLength);
    for (let at = 0; at < bytes.length;) at += writeSync(out, bytes, at, bytes.length - at);
  }
  if (out !== 1) closeSync(out);
  const names = stack.entries.map((e) => plugins.get(e.plugin).description).join(', ');
  stack.clear();
  (o.raw === '-' ? process.stderr : process.stdout).write(
      `rendered ${total} frame${total === 1 ? '' : 's'} of ${width}x${height} at ` +
      `${trace.framesPerSecond} frames per second with ${names} (tick count ${ticks}) to ` +
      `${o.raw === '-' ? 'standard output' : o.raw}\n`);
}

main(process.argv.slice(2)).catch((error) => {
  process.stderr.write(`render.mjs: ${error.message}\n`);
  process.exit(error instanceof BadInput ? 2 : 1);
});
