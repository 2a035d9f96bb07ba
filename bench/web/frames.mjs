// What bench/web times, the same on both sides: a song-like stretch of the exactness trace (a
// decaying bass on a beat every 30 frames, a moving middle band, noise above), looped.

import { traceFrame } from '../../tests/web/exactness_runs.mjs';

export const WIDTH = 960;
export const HEIGHT = 540;
export const FRAMES = 300;
export const TICKS = 31337;

export const benchFrame = (f) => traceFrame(20 + (f % 80));

// The median time of one render call of plugin (a PluginModule) over FRAMES frames, in ms, with
// the frame copied into and out of the module as the page does it.
export function timeFrames(plugin) {
  const effect = plugin.createEffect(TICKS);
  const pixels = new Uint32Array(WIDTH * HEIGHT);
  const times = [];
  for (let f = 0; f < FRAMES; ++f) {
    pixels.fill(0);
    const { beat, sound } = benchFrame(f);
    const start = performance.now();
    effect.render(sound, beat, pixels, WIDTH, HEIGHT);
    times.push(performance.now() - start);
  }
  effect.destroy();
  times.sort((a, b) => a - b);
  return times[Math.floor(times.length / 2)];
}
