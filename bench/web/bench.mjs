// Frame times of both effects at 960x540: the Linux modules of the release build against the
// WebAssembly modules in the page's browser (headless Chromium) and in Node, measured in one run on
// the same frames. Prints a table of medians and the ratio web / native. Not a test: no target
// fails it. Run through scripts/web-bench, which builds what it needs.

import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

import { PluginModule } from '../../build/web/js/plugin_host.mjs';
import { encodeTrace } from '../../build/web/js/trace.mjs';
import { openPage, RELEASE, requireBuilds, ROOT, startBrowser, startServer, waitInPage,
         WEB } from '../../tests/web/support.mjs';
import { benchFrame, FRAMES, HEIGHT, TICKS, timeFrames, WIDTH } from './frames.mjs';

requireBuilds();
const cleanups = [];
const t = { after: (fn) => cleanups.push(fn) };
const dir = mkdtempSync(join(tmpdir(), 'ape-bench-'));
t.after(() => rmSync(dir, { recursive: true, force: true }));
const trace = join(dir, 'bench.trace');
writeFileSync(trace, encodeTrace(Array.from({ length: FRAMES }, (_, f) => benchFrame(f)), 60));

const plugins = ['coilfx', 'blobfx'];
const native = {};
const node = {};
for (const plugin of plugins) {
  native[plugin] = Number(execFileSync(join(RELEASE, 'tests', 'web', 'web_reference_frames'), [
    join(RELEASE, plugin, `${plugin}.so`), trace, String(TICKS), '-', `${WIDTH}x${HEIGHT}`, '0',
    String(FRAMES), '--time'], { encoding: 'utf8' }));
  node[plugin] = timeFrames(await PluginModule.load(readFileSync(join(WEB, `${plugin}.wasm`)), plugin));
}
const address = await startServer(t, ROOT);
const browser = await startBrowser(t);
const page = await openPage(browser, `${address}bench/web/bench.html`);
const chromium = await waitInPage(page, () => window.bench, undefined, 300);
for (const fn of cleanups.reverse()) await fn();

const row = (cells) => `| ${cells.join(' | ')} |`;
console.log(`Median time of one frame at ${WIDTH}x${HEIGHT}, ${FRAMES} frames each, ms`);
console.log(row(['effect', 'native (release)', 'page (Chromium)', 'ratio', 'Node', 'ratio']));
console.log(row(['---', '---:', '---:', '---:', '---:', '---:']));
for (const plugin of plugins) {
  console.log(row([plugin, native[plugin].toFixed(3), chromium[plugin].toFixed(3),
                   (chromium[plugin] / native[plugin]).toFixed(2), node[plugin].toFixed(3),
                   (node[plugin] / native[plugin]).toFixed(2)]));
}
