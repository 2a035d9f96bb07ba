// The WebAssembly modules draw exactly the pixels the Linux modules draw: every run of
// exactness_runs.mjs (beats, silence, loud bands, sizes from 1x1 to 1920x1080, sizes changing
// between frames, every case of the settings), frame by frame, in Node and in Chromium.

import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { test } from 'node:test';

import { PluginModule } from '../../build/web/js/plugin_host.mjs';
import { encodeTrace } from '../../build/web/js/trace.mjs';
import { hex, renderRun, RUNS, TICKS, TRACE_FRAMES, traceFrame } from './exactness_runs.mjs';
import { openPage, RELEASE, requireBuilds, ROOT, scratchDir, startBrowser, startServer,
         waitInPage, WEB } from './support.mjs';

const PLUGINS = ['coilfx', 'blobfx'];
const REFERENCE = join(RELEASE, 'tests', 'web', 'web_reference_frames');

function nativeSums(dir) {
  const trace = join(dir, 'varied.trace');
  writeFileSync(trace, encodeTrace(Array.from({ length: TRACE_FRAMES }, (_, f) => traceFrame(f)), 60));
  const sums = {};
  for (const plugin of PLUGINS) {
    sums[plugin] = {};
    for (const run of RUNS) {
      const output = execFileSync(REFERENCE, [
        join(RELEASE, plugin, `${plugin}.so`), trace, String(TICKS),
        run.settings ? hex(run.settings) : '-', run.sizes.join(','), String(run.first),
        String(run.last)], { encoding: 'utf8', maxBuffer: 1 << 24 });
      sums[plugin][run.name] = output.trim().split('\n');
    }
  }
  return sums;
}

function compare(native, web, where) {
  for (const plugin of PLUGINS) {
    for (const run of RUNS) {
      const a = native[plugin][run.name];
      const b = web[plugin][run.name];
      assert.equal(b.length, run.last - run.first, `${where} ${plugin} ${run.name}: frame count`);
      const first = a.findIndex((sum, i) => sum !== b[i]);
      assert.equal(first, -1, `${where}: ${plugin} '${run.name}' differs from the Linux module ` +
                              `from frame ${run.first + first} on`);
    }
  }
}

test('the WebAssembly modules draw the Linux modules\' frames', async (t) => {
  requireBuilds();
  const native = nativeSums(scratchDir(t));
  // The runs must tell effects and settings apart, or matching them would prove little.
  assert.notDeepEqual(native.coilfx['320x240 defaults'], native.blobfx['320x240 defaults']);
  assert.notDeepEqual(native.coilfx['641x479 five colours, on-beat jumps'].slice(0, 60),
                      native.coilfx['200x150 73-byte blob (ignored)']);

  await t.test('in Node', async () => {
    const web = {};
    for (const plugin of PLUGINS) {
      const module = await PluginModule.load(readFileSync(join(WEB, `${plugin}.wasm`)), plugin);
      web[plugin] = Object.fromEntries(RUNS.map((run) => [run.name, renderRun(module, run)]));
    }
    compare(native, web, 'Node');
  });

  await t.test('in Chromium', async (tc) => {
    const address = await startServer(tc, ROOT);
    const browser = await startBrowser(tc);
    const page = await openPage(browser, `${address}tests/web/exactness.html`);
    const web = await waitInPage(page, () => window.exactness, undefined, 240);
    assert.equal(web.error, undefined, web.error);
    assert.deepEqual(page.problems, []);
    compare(native, web, 'Chromium');
  });
});
