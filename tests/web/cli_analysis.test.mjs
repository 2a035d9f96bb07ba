// The Node renderer against apehost render, byte for byte, and its bad input; the page's analysis
// (apehost's own, compiled to WebAssembly) against apehost analyse on the same WAV file.

import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import { readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { test } from 'node:test';

import { AnalysisModule, SongFrames } from '../../build/web/js/sound_analysis.mjs';
import { parseTrace } from '../../build/web/js/trace.mjs';
import { APEHOST, requireBuilds, scratchDir, WEB } from './support.mjs';
import { readWav, testSong, writeWav } from './wav.mjs';

const RENDER = join(WEB, 'render.mjs');

test('render.mjs writes the frames apehost render writes', (t) => {
  requireBuilds();
  const dir = scratchDir(t);
  const trace = join(dir, 'synth.trace');
  execFileSync(APEHOST, ['trace-synth', '-o', trace, '--frames', '45']);
  const blob = join(dir, 'warm.blob');
  execFileSync(APEHOST, ['settings', 'blobfx', '--colours', 'ff6000,ffc020,c02080', '--on-beat',
                         '-o', blob]);
  const cases = [
    ['coilfx', '--size', '320x240', '--ticks', '1000'],
    ['blobfx', '--size', '257x193', '--ticks', '77', '--settings', blob, '--background', '0x102030'],
    ['blobfx', 'coilfx', '--size', '64x48', '--ticks', '4294967295', '--settings', blob],
  ];
  cases.forEach((args, i) => {
    const native = join(dir, `native${i}.raw`);
    const web = join(dir, `web${i}.raw`);
    execFileSync(APEHOST, ['render', ...args, '--trace', trace, '--raw', native]);
    execFileSync('node', [RENDER, ...args, '--trace', trace, '--raw', web]);
    const a = readFileSync(native);
    assert.ok(a.length > 0);
    assert.ok(a.equals(readFileSync(web)), `render ${args.join(' ')}: the raw frames differ`);
  });
  // To standard output as well, and --frames.
  const piped = spawnSync('node', [RENDER, 'coilfx', '--trace', trace, '--size', '8x6', '--ticks',
                                   '5', '--frames', '3', '--raw', '-'], { maxBuffer: 1 << 20 });
  assert.equal(piped.status, 0);
  assert.equal(piped.stdout.length, 3 * 8 * 6 * 4);
});

test('render.mjs refuses bad input with one line and status 2', (t) => {
  requireBuilds();
  const dir = scratchDir(t);
  const notTrace = join(dir, 'not.trace');
  writeFileSync(notTrace, 'APETRACX0123456789');
  const cases = [
    [['coilfx', '--trace', notTrace, '--size', '8x8', '--raw', '-'], /not\.trace: not a sound trace/],
    [['coilfx', '--trace', join(dir, 'none'), '--size', '8x8', '--raw', '-'], /none: cannot open/],
    [['coilfx', '--trace', notTrace, '--size', '0x8', '--raw', '-'], /--size: '0x8' is not a frame size/],
    [['coilfx', '--trace', notTrace, '--size', '8x8', '--ticks', '-1', '--raw', '-'], /--ticks: /],
    [['coilfx', '--trace', notTrace, '--background', 'red', '--raw', '-'], /--background: 'red'/],
    [['--trace', notTrace, '--raw', '-'], /no plug-in/],
    [['coilfx', '--trace', notTrace], /no output/],
    [['coilfx', '--frobnicate'], /--frobnicate: no such option/],
    [['nosuch', '--trace', notTrace, '--raw', '-'], /nosuch\.wasm: cannot open/],
  ];
  for (const [args, message] of cases) {
    const run = spawnSync('node', [RENDER, ...args], { encoding: 'utf8' });
    assert.equal(run.status, 2, `${args.join(' ')}: ${run.stderr}`);
    const lines = run.stderr.trim().split('\n');
    assert.equal(lines.length, 1, run.stderr);
    assert.match(lines[0], /^render\.mjs: /);
    assert.match(lines[0], message);
  }
});

test('the page\'s analysis gives apehost analyse\'s frames', async (t) => {
  requireBuilds();
  const dir = scratchDir(t);
  const song = testSong({ seconds: 12, sampleRate: 44100, bpm: 126 });
  const wav = join(dir, 'song.wav');
  writeWav(wav, song.channels, song.sampleRate);
  const traceFile = join(dir, 'song.trace');
  execFileSync(APEHOST, ['analyse', wav, '-o', traceFile]);
  const native = parseTrace(new Uint8Array(readFileSync(traceFile)));

  // As the page's worker does it: the decoded song, frame by frame, analysed half a second ahead.
  const decoded = readWav(wav);
  const analysis = await AnalysisModule.load(readFileSync(join(WEB, 'analysis.wasm')));
  const frames = new SongFrames(analysis, decoded.channels, decoded.sampleRate).produce(Infinity);
  assert.equal(frames.length, native.frameCount);

  let largest = 0;
  let differing = 0;
  const beats = { native: [], web: [] };
  frames.forEach((frame, k) => {
    const reference = native.frame(k);
    for (let i = 0; i < 1152; ++i) {
      const d = Math.abs(frame.sound[i] - reference.sound[i]);
      largest = Math.max(largest, d);
      if (d) ++differing;
    }
    // The waveform bytes come straight from the samples: identical.
    assert.deepEqual(frame.sound.subarray(1152), reference.sound.subarray(1152), `frame ${k}`);
    if (frame.beat) beats.web.push(k);
    if (reference.beat) beats.native.push(k);
  });
  const moved = beats.web.map((k, i) => k - beats.native[i]).filter((d) => d !== 0);
  t.diagnostic(`spectrum: ${differing} of ${frames.length * 1152} bins differ, by at most ` +
               `${largest}; ${beats.web.length} beats (apehost ${beats.native.length}), ` +
               `${moved.length} of them a frame off (${moved.join(' ')})`);
  // The FFT differs (KissFFT here, FFTW there) only in float rounding: a byte now and then.
  assert.ok(largest <= 1, `a spectrum byte differs by ${largest}`);
  assert.ok(differing <= frames.length * 1152 * 1e-3, `${differing} spectrum bytes differ`);
  assert.ok(beats.native.length >= 20, `apehost found ${beats.native.length} beats`);
  // Every beat in its frame or one next to it (a beat close to a frame boundary can cross it when
  // the transform's rounding shifts the tracker's onset values), none lost or added.
  assert.equal(beats.web.length, beats.native.length);
  beats.web.forEach((k, i) => assert.ok(Math.abs(k - beats.native[i]) <= 1,
                                        `beat ${i}: frame ${k}, apehost ${beats.native[i]}`));
  assert.ok(moved.length <= beats.native.length / 10, `${moved.length} beats a frame off`);
});
