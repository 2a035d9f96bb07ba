// A stack of effects drawn in order into one frame, each over the one before, like a preset's
// list in the host; and what each frame starts from: cleared to a colour, the previous picture
// kept, or kept and faded (each channel darkened by a fixed amount, so moving objects leave trails).

export const BACKGROUND_MODES = ['clear', 'keep', 'fade'];
export const MAX_FADE = 255;

export class EffectStack {
  // plugins: name -> PluginModule.
  constructor(plugins) {
    this.plugins = plugins;
    this.entries = [];  // { plugin: name, effect }
    this.background = { mode: 'clear', colour: 0, amount: 8 };
    this.width = 0;
    this.height = 0;
    this.pixels = new Uint32Array(0);
  }

  // Replaces the stack: entries is [{ plugin, settings? }]; each new effect gets ticks for its seed
  // and then its settings blob through load_settings, as a host loading a preset does.
  set(entries, ticks) {
    const created = [];
    try {
      for (const { plugin, settings } of entries) {
        const module = this.plugins.get(plugin);
        if (!module) throw new Error(`no plug-in '${plugin}'`);
        const effect = module.createEffect(ticks);
        created.push({ plugin, effect });
        if (settings) effect.loadSettings(settings);
      }
    } catch (error) {
      for (const entry of created) entry.effect.destroy();
      throw error;
    }
    this.clear();
    this.entries = created;
  }

  clear() {
    for (const entry of this.entries) entry.effect.destroy();
    this.entries = [];
  }

  resize(width, height) {
    if (width === this.width && height === this.height) return;
    const pixels = new Uint32Array(width * height);
    pixels.fill(this.background.mode === 'clear' ? this.background.colour : 0);
    this.width = width;
    this.height = height;
    this.pixels = pixels;
  }

  // Draws one frame at the current size; returns the pixels (0x00RRGGBB words).
  render(sound, beat) {
    prepareBackground(this.pixels, this.background);
    for (const entry of this.entries) {
      entry.effect.render(sound, beat, this.pixels, this.width, this.height);
    }
    return this.pixels;
  }
}

// Readies the pixels for the next frame: filled with the colour, left alone, or faded.
export function prepareBackground(pixels, { mode, colour = 0, amount = 0 }) {
  if (mode === 'clear') {
    pixels.fill(colour >>> 0);
  } else if (mode === 'fade') {
    // Per channel: c > a ? c - a : 0, through a table of the 256 results.
    const a = Math.max(0, Math.min(MAX_FADE, amount | 0));
    const table = new Uint32Array(256);
    for (let c = 0; c < 256; ++c) table[c] = c > a ? c - a : 0;
    for (let i = 0; i < pixels.length; ++i) {
      const p = pixels[i];
      pixels[i] = (table[p >>> 16 & 0xff] << 16) | (table[p >>> 8 & 0xff] << 8) | table[p & 0xff];
    }
  }
}
