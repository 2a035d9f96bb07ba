// The host side of the plug-in boundary (apefw/include/apefw/ape_abi.h), in JavaScript: loads an
// effect's WebAssembly module, calls its one entry point for the short name and the creator, and
// drives each effect object through the six slots of its table, exactly as the host drives the
// Windows DLL and apehost the Linux module. The module's memory holds what the host lends for a
// call (sound, frame, settings); the tick count that seeds a new effect is the host's to give.

import { instantiate } from './wasm_module.mjs';

export const SOUND_BINS = 576;
export const SOUND_BYTES = 4 * SOUND_BINS;  // spectrum ch0, ch1, then waveform ch0, ch1
export const SETTINGS_BYTES = 72;
export const DESCRIPTION_CAPACITY = 128;
const DESTROY_AND_FREE = 1;

// The slots of an effect's table, in order.
const SLOT = { destroy: 0, renderFrame: 1, createSettingsPanel: 2, describe: 3, loadSettings: 4,
               saveSettings: 5 };

export class PluginModule {
  // source: the bytes of NAME.wasm or its compiled WebAssembly.Module.
  static async load(source, name) {
    let plugin = null;
    const wasm = await instantiate(source, { tickCount: () => plugin.nextTicks });
    plugin = new PluginModule(wasm, name);
    return plugin;
  }

  constructor(wasm, name) {
    this.wasm = wasm;
    this.name = name;
    this.nextTicks = 0;
    this.frame = { ptr: 0, pixels: 0 };  // the frame lent to render_frame, shared by the effects
    this.sound = wasm.malloc(SOUND_BYTES);
    const out = wasm.malloc(8);
    const result = wasm.exports._AVS_APE_RetrFunc(0, out, out + 4);
    this.shortName = wasm.string(wasm.word(out));
    this.create = wasm.function(wasm.word(out + 4));
    wasm.free(out);
    if (result !== 1) throw new Error(`${name}: the entry point returned ${result}`);
    const buffer = wasm.malloc(DESCRIPTION_CAPACITY);
    const none = this.create(buffer);
    this.description = wasm.string(buffer, DESCRIPTION_CAPACITY);
    wasm.free(buffer);
    if (none !== 0) throw new Error(`${name}: the creator made an object when asked to describe`);
  }

  // A new effect object, its random generator seeded with ticks (unsigned 32-bit milliseconds).
  createEffect(ticks) {
    this.nextTicks = ticks >>> 0;
    const self = this.create(0);
    if (!self) throw new Error(`${this.name}: the creator returned null (out of memory)`);
    return new Effect(this, self);
  }

  // The frame buffer in the module's memory, at least pixels large.
  frameBuffer(pixels) {
    if (pixels > this.frame.pixels) {
      if (this.frame.ptr) this.wasm.free(this.frame.ptr);
      this.frame.ptr = 0;
      this.frame.ptr = this.wasm.malloc(pixels * 4);
      this.frame.pixels = pixels;
    }
    return this.frame.ptr;
  }
}

export class Effect {
  constructor(plugin, self) {
    this.plugin = plugin;
    this.self = self;
    const wasm = plugin.wasm;
    const table = wasm.word(self);
    this.slots = Object.fromEntries(
        Object.entries(SLOT).map(([name, i]) => [name, wasm.function(wasm.word(table + 4 * i))]));
  }

  // Draws one frame over pixels (a Uint32Array of width x height 0x00RRGGBB words, rows top
  // first), in place. sound: SOUND_BYTES bytes; beat: true on a beat frame.
  render(sound, beat, pixels, width, height) {
    const plugin = this.plugin;
    const count = width * height;
    const frame = plugin.frameBuffer(count);
    plugin.wasm.u8(plugin.sound, SOUND_BYTES).set(sound.subarray(0, SOUND_BYTES));
    plugin.wasm.u32(frame, count).set(pixels.subarray(0, count));
    const result = this.slots.renderFrame(this.self, plugin.sound, beat ? 1 : 0, frame, 0, width,
                                          height);
    pixels.set(plugin.wasm.u32(frame, count));
    return result;
  }

  // Hands the effect a settings blob, as the host does when it loads a preset: the effect decides
  // what to keep (a blob longer than SETTINGS_BYTES is ignored whole).
  loadSettings(bytes) {
    const wasm = this.plugin.wasm;
    const ptr = wasm.malloc(Math.max(bytes.length, 1));
    wasm.u8(ptr, bytes.length).set(bytes);
    this.slots.loadSettings(this.self, ptr, bytes.length);
    wasm.free(ptr);
  }

  // The effect's settings blob.
  saveSettings() {
    const wasm = this.plugin.wasm;
    const ptr = wasm.malloc(SETTINGS_BYTES);
    const written = this.slots.saveSettings(this.self, ptr);
    const blob = wasm.u8(ptr, Math.min(Math.max(written, 0), SETTINGS_BYTES)).slice();
    wasm.free(ptr);
    return blob;
  }

  describe() {
    return this.plugin.wasm.string(this.slots.describe(this.self));
  }

  destroy() {
    if (!this.self) return;
    this.slots.destroy(this.self, DESTROY_AND_FREE);
    this.self = 0;
  }
}
