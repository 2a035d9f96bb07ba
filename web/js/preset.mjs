// The apehost preset file (TOML): the stack of plug-ins in drawing order, each one's settings blob,
// and the background. Read strictly, as apehost reads it: a typo is an error, never ignored.
//
//   version = 1
//   [background]            mode = "clear" | "keep" | "fade"; colour = "0xRRGGBB" (clear only);
//                           amount = 1..255 (fade only, required there)
//   [[effect]]              plugin = "blobfx" (a name or a path); settings = "<144 hex digits>"

import { parse, TomlError } from '../vendor/smol-toml/index.js';
import { blobHex, parseBlobHex } from './settings_blob.mjs';

export const PRESET_VERSION = 1;
export const MAX_FADE = 255;

export class PresetError extends Error {}

// The plug-in a preset's `plugin` names: its file name without folder or extension.
export function pluginName(text) {
  return text.replace(/^.*[\\/]/, '').replace(/\.(so|ape|dll|wasm)$/i, '');
}

function checkKeys(table, allowed, where) {
  for (const key of Object.keys(table)) {
    if (!allowed.includes(key)) throw new PresetError(`unknown key '${key}'${where}`);
  }
}

function colourNumber(text) {
  const m = typeof text === 'string' && /^(?:0x|0X|#)?([0-9a-fA-F]{6})$/.exec(text);
  if (!m) throw new PresetError(`background colour '${text}' is not a colour 0xRRGGBB`);
  return parseInt(m[1], 16);
}

// Reads preset text. plugins: the names this page has. Returns { background: { mode, colour,
// amount }, effects: [{ plugin, settings }] } (settings null for the plug-in's defaults). Throws a
// PresetError "FILE:LINE: REASON" (LINE where the parser gives one).
export function parsePreset(text, file, plugins) {
  try {
    return readPreset(text, plugins);
  } catch (error) {
    if (error instanceof TomlError) {
      const reason = String(error.message).split('\n')[0].replace(/^Invalid TOML document: /, '');
      throw new PresetError(`${file}:${error.line}: ${reason}`);
    }
    if (error instanceof PresetError) throw new PresetError(`${file}: ${error.message}`);
    throw error;
  }
}

function readPreset(text, plugins) {
  const doc = parse(text);
  checkKeys(doc, ['version', 'background', 'effect'], '');
  const version = doc.version ?? PRESET_VERSION;
  if (version !== PRESET_VERSION) {
    throw new PresetError(`version ${version}: this reads version ${PRESET_VERSION}`);
  }

  const background = { mode: 'clear', colour: 0, amount: 0 };
  if (doc.background !== undefined) {
    const b = doc.background;
    if (typeof b !== 'object' || Array.isArray(b)) throw new PresetError("'background' is not a table");
    checkKeys(b, ['mode', 'colour', 'amount'], ' in [background]');
    background.mode = b.mode ?? 'clear';
    if (!['clear', 'keep', 'fade'].includes(background.mode)) {
      throw new PresetError(`background mode '${background.mode}' is not "clear", "keep" or "fade"`);
    }
    if (b.colour !== undefined) {
      if (background.mode !== 'clear') throw new PresetError('background colour is only for mode "clear"');
      background.colour = colourNumber(b.colour);
    }
    if (b.amount !== undefined && background.mode !== 'fade') {
      throw new PresetError('background amount is only for mode "fade"');
    }
    if (background.mode === 'fade') {
      if (b.amount === undefined) throw new PresetError('background mode "fade" needs an amount');
      if (!Number.isInteger(b.amount) || b.amount < 1 || b.amount > MAX_FADE) {
        throw new PresetError(`background amount ${b.amount} is not a whole number 1..${MAX_FADE}`);
      }
      background.amount = b.amount;
    }
  }

  if (!Array.isArray(doc.effect) || doc.effect.length === 0) {
    throw new PresetError('no [[effect]]: a preset names at least one plug-in');
  }
  const effects = doc.effect.map((e, i) => {
    const where = ` in [[effect]] ${i + 1}`;
    if (typeof e !== 'object' || Array.isArray(e)) throw new PresetError(`'effect' ${i + 1} is not a table`);
    checkKeys(e, ['plugin', 'settings'], where);
    if (typeof e.plugin !== 'string') throw new PresetError(`no plugin${where}`);
    const plugin = pluginName(e.plugin);
    if (!plugins.includes(plugin)) {
      throw new PresetError(`plug-in '${e.plugin}'${where} is not in this page (${plugins.join(', ')})`);
    }
    let settings = null;
    if (e.settings !== undefined) {
      if (typeof e.settings !== 'string') throw new PresetError(`settings${where} is not a string`);
      try {
        settings = parseBlobHex(e.settings);
      } catch (error) {
        throw new PresetError(`${error.message}${where}`);
      }
    }
    return { plugin, settings };
  });
  return { background, effects };
}

// The preset text of a stack: effects [{ plugin, settings }], background { mode, colour, amount }.
export function formatPreset({ background, effects }) {
  const lines = ['# apehost preset', `version = ${PRESET_VERSION}`, '', '[background]',
                 `mode = "${background.mode}"`];
  if (background.mode === 'clear') {
    lines.push(`colour = "0x${(background.colour >>> 0).toString(16).padStart(6, '0')}"`);
  }
  if (background.mode === 'fade') lines.push(`amount = ${background.amount}`);
  for (const { plugin, settings } of effects) {
    lines.push('', '[[effect]]', `plugin = "${plugin}"`);
    if (settings) lines.push(`settings = """\n${blobHex(settings)}"""`);
  }
  return `${lines.join('\n')}\n`;
}
