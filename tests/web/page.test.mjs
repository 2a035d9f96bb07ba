// The page in headless Chromium, as a visitor uses it: it loads without an error and plays the demo
// track at once (autoplay allowed) with a picture that changes; a WAV file given to the file input
// and the microphone (Chromium's fake capture device fed from a WAV) drive it; the settings
// controls change the blob the effect exports; a malformed blob or preset is refused with a message
// while the running effects keep their settings.

import assert from 'node:assert/strict';
import { readFileSync, readdirSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { test } from 'node:test';

import { openPage, requireBuilds, scratchDir, startBrowser, startServer, waitInPage,
         WEB } from './support.mjs';
import { testSong, writeWav } from './wav.mjs';

const AUTOPLAY = '--autoplay-policy=no-user-gesture-required';

// A hash of the canvas's pixels.
const canvasHash = (page) => page.evaluate(() => {
  const canvas = document.getElementById('frame');
  const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
  let h = 0;
  for (let i = 0; i < data.length; i += 4) h = (Math.imul(h, 31) + data[i] + data[i + 1] * 7 + data[i + 2] * 13) | 0;
  return h;
});

const drawn = (page) => page.evaluate(() => window.apeWeb.framesDrawn);

async function framesAdvance(page, count = 20) {
  const start = await drawn(page);
  await waitInPage(page, (n) => window.apeWeb.framesDrawn >= n, start + count);
}

async function downloadsTo(page, dir) {
  const session = await page.createCDPSession();
  await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: dir });
}

async function waitForFile(dir, name) {
  for (let i = 0; i < 100; ++i) {
    if (readdirSync(dir).includes(name)) return readFileSync(join(dir, name));
    await new Promise((r) => setTimeout(r, 100));
  }
  throw new Error(`${name} was not downloaded`);
}

const panelBlob = (page, index) =>
  page.$eval(`#panels .panel[data-index="${index}"]`, (p) => p.dataset.blob);

test('the page in Chromium', async (t) => {
  requireBuilds();
  const dir = scratchDir(t);
  const address = await startServer(t, WEB);

  await t.test('plays the demo at once, and the picture changes between frames', async (tc) => {
    const browser = await startBrowser(tc, [AUTOPLAY]);
    const page = await openPage(browser, address);
    await waitInPage(page, () => window.apeWeb?.source?.name === 'the demo track');
    await framesAdvance(page, 30);
    const first = await canvasHash(page);
    await framesAdvance(page, 10);
    assert.notEqual(await canvasHash(page), first);
    // The demo's sound reaches the effects: spectrum bytes and beats.
    await waitInPage(page, () => window.apeWeb.level > 0 && window.apeWeb.beatsSeen > 0);
    const size = await page.evaluate(() => [window.apeWeb.stack.width, window.apeWeb.stack.height]);
    assert.ok(size[0] > 100 && size[1] > 100, `frame size ${size}`);
    assert.deepEqual(page.problems, []);
    assert.equal(await page.$eval('#start', (b) => b.hidden), true);
  });

  await t.test('without autoplay, a start button starts the demo', async (tc) => {
    const browser = await startBrowser(tc, ['--autoplay-policy=document-user-activation-required']);
    const page = await openPage(browser, address);
    // Puppeteer's evaluations count as a user's gesture, which would allow the sound: look without.
    const session = await page.createCDPSession();
    const look = async (expression) => (await session.send('Runtime.evaluate', {
      expression, returnByValue: true, userGesture: false })).result.value;
    for (let i = 0; i < 200 && !(await look("!document.getElementById('start').hidden")); ++i) {
      await new Promise((r) => setTimeout(r, 100));
    }
    assert.equal(await look("!document.getElementById('start').hidden"), true);
    assert.equal(await look('window.apeWeb.context.state'), 'suspended');
    assert.equal(await look('window.apeWeb.framesDrawn'), 0);
    await page.click('#start');
    await waitInPage(page, () => window.apeWeb.framesDrawn > 10);
    assert.deepEqual(page.problems, []);
  });

  await t.test('a WAV file given to the file input drives it', async (tc) => {
    const song = testSong({ seconds: 6, sampleRate: 48000 });
    const wav = join(dir, 'song.wav');
    writeWav(wav, song.channels, song.sampleRate);
    const browser = await startBrowser(tc, [AUTOPLAY]);
    const page = await openPage(browser, address);
    await waitInPage(page, () => window.apeWeb?.source?.name === 'the demo track');
    const input = await page.$('#song');
    await input.uploadFile(wav);
    await waitInPage(page, () => window.apeWeb.source?.name === 'song.wav');
    const beatsBefore = await page.evaluate(() => window.apeWeb.beatsSeen);
    await framesAdvance(page, 40);
    // The song's kick (a beat every half second) shows as beats and as low bins.
    await waitInPage(page, (n) => window.apeWeb.beatsSeen > n, beatsBefore);
    assert.equal(await page.evaluate(() => window.apeWeb.source.rate), 48000);
    assert.deepEqual(page.problems, []);
  });

  await t.test('the microphone path works (fake capture from a WAV)', async (tc) => {
    const song = testSong({ seconds: 4, sampleRate: 44100 });
    const wav = join(dir, 'capture.wav');
    writeWav(wav, song.channels, song.sampleRate);
    const browser = await startBrowser(tc, [AUTOPLAY, '--use-fake-ui-for-media-stream',
      '--use-fake-device-for-media-stream', `--use-file-for-fake-audio-capture=${wav}`]);
    const page = await openPage(browser, address);
    await waitInPage(page, () => window.apeWeb?.source?.name === 'the demo track');
    await page.click('#microphone');
    await waitInPage(page, () => window.apeWeb.source?.name === 'the microphone');
    const start = await page.evaluate(() => ({ frames: window.apeWeb.framesDrawn,
                                                beats: window.apeWeb.beatsSeen }));
    await framesAdvance(page, 60);
    // Captured sound, not silence, reaches the effects, and the tracker finds the kick. A wait that
    // runs out says what the page had: a stalled capture and a silent one look alike otherwise.
    const state = () => page.evaluate(() => JSON.stringify({
      source: window.apeWeb.source?.name, level: window.apeWeb.level,
      frames: window.apeWeb.framesDrawn, beats: window.apeWeb.beatsSeen }));
    try {
      await waitInPage(page, () => window.apeWeb.level > 5, undefined, 40);
      await waitInPage(page, (n) => window.apeWeb.beatsSeen > n, start.beats, 40);
    } catch (error) {
      throw new Error(`${error.message}; the page: ${await state()}; at the start: ` +
                      JSON.stringify(start));
    }
    assert.deepEqual(page.problems, []);
  });

  await t.test('settings controls, blob and preset import and export', async (tc) => {
    const browser = await startBrowser(tc, [AUTOPLAY]);
    const page = await openPage(browser, address);
    await waitInPage(page, () => window.apeWeb?.source?.name === 'the demo track');
    await downloadsTo(page, dir);
    const coil = '#panels .panel[data-index="1"]';

    // Count 2, on-beat off, colour 3 (index 2) to 0x123456: the exported blob holds exactly these.
    await page.$eval(`${coil} .count`, (e) => {
      e.value = '2';
      e.dispatchEvent(new Event('change'));
    });
    await page.click(`${coil} .on-beat`);
    await page.click(`${coil} .strip button:nth-child(3)`);
    await page.$eval('#colour-chooser', (e) => {
      e.value = '#123456';
      e.dispatchEvent(new Event('change'));
    });
    await page.click(`${coil} .export-blob`);
    const blob = await waitForFile(dir, 'coilfx.blob');
    const expected = Buffer.alloc(72);
    [0x20c0ff, 0x60ffc0, 0x123456, 0x40a0ff].forEach((c, i) => expected.writeUInt32LE(c, 4 * i));
    expected.writeInt32LE(2, 64);
    expected.writeInt32LE(0, 68);
    assert.deepEqual(blob, expected);

    // The count is the effect's to clamp: 40 comes back as 16.
    await page.$eval(`${coil} .count`, (e) => {
      e.value = '40';
      e.dispatchEvent(new Event('change'));
    });
    assert.equal(await page.$eval(`${coil} .count`, (e) => e.value), '16');

    // A blob of the wrong length is refused with a message; the effect keeps its settings.
    const kept = await panelBlob(page, 1);
    const bad = join(dir, 'bad.blob');
    writeFileSync(bad, Buffer.alloc(50, 7));
    await (await page.$(`${coil} .import-blob`)).uploadFile(bad);
    await waitInPage(page, () => !document.getElementById('message').hidden);
    assert.match(await page.$eval('#message', (e) => e.textContent), /bad\.blob: not a settings blob \(50 bytes/);
    assert.equal(await panelBlob(page, 1), kept);

    // A good blob file (the one exported above) is taken.
    await (await page.$(`${coil} .import-blob`)).uploadFile(join(dir, 'coilfx.blob'));
    await waitInPage(page, () => /settings loaded/.test(document.getElementById('message').textContent));
    assert.equal(await page.evaluate(() =>
      window.apeWeb.stack.entries[1].effect.saveSettings().join(',')), [...blob].join(','));

    // Background fade 12, then export the preset: the stack, each blob and the background.
    await page.select('#background', 'fade');
    await page.$eval('#fade', (e) => {
      e.value = '12';
      e.dispatchEvent(new Event('change'));
    });
    await page.click('#export-preset');
    const preset = (await waitForFile(dir, 'preset.toml')).toString();
    assert.match(preset, /^version = 1$/m);
    assert.match(preset, /\[background\]\nmode = "fade"\namount = 12\n/);
    assert.match(preset, /plugin = "blobfx"[\s\S]*plugin = "coilfx"\nsettings = """\nffc02000 c0ff6000 56341200 /);

    // A malformed preset is refused with FILE:LINE: REASON; stack and settings stay.
    const before = await page.evaluate(() =>
      window.apeWeb.stack.entries.map((e) => [e.plugin, e.effect.saveSettings().join(',')]));
    const broken = join(dir, 'broken.toml');
    writeFileSync(broken, 'version = 1\n[[effect]]\nplugin = "coilfx"\nsettings = "12 34\n');
    await (await page.$('#import-preset')).uploadFile(broken);
    await waitInPage(page, () => /broken\.toml:\d+: /.test(document.getElementById('message').textContent));
    const typo = join(dir, 'typo.toml');
    writeFileSync(typo, 'version = 1\n[[effect]]\nplugin = "coilfx"\ncolours = "ff"\n');
    await (await page.$('#import-preset')).uploadFile(typo);
    await waitInPage(page, () => /typo\.toml: unknown key 'colours'/.test(document.getElementById('message').textContent));
    assert.deepEqual(await page.evaluate(() =>
      window.apeWeb.stack.entries.map((e) => [e.plugin, e.effect.saveSettings().join(',')])), before);

    // The exported preset comes back in whole: a coil alone, then the preset again.
    await page.select('#stack', 'coilfx');
    assert.equal(await page.evaluate(() => window.apeWeb.stack.entries.length), 1);
    await (await page.$('#import-preset')).uploadFile(join(dir, 'preset.toml'));
    await waitInPage(page, () => /preset loaded/.test(document.getElementById('message').textContent));
    assert.deepEqual(await page.evaluate(() =>
      window.apeWeb.stack.entries.map((e) => [e.plugin, e.effect.saveSettings().join(',')])), before);
    assert.deepEqual(await page.evaluate(() => window.apeWeb.stack.background),
                     { mode: 'fade', colour: 0, amount: 12 });
    await framesAdvance(page, 5);
    assert.deepEqual(page.problems, []);
  });
});
