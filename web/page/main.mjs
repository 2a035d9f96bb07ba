// The page: both effects drawn over the demo track, a song or the microphone, with each effect's
// settings as in the host's panel (a strip of 16 colour cells, the count, the on-beat box), the
// blob and the preset exported and imported, and the background cleared, kept or faded.

import { EffectStack } from './js/effect_stack.mjs';
import { PluginModule } from './js/plugin_host.mjs';
import { formatPreset, parsePreset } from './js/preset.mjs';
import { BLOB_COLOURS, blobColour, blobColourCount, blobHex, blobOnBeat, makeBlob, parseBlobFile,
         setBlobColour, setBlobColourCount, setBlobOnBeat } from './js/settings_blob.mjs';
import { decodeSong, LiveSource, SongSource } from './js/sound_sources.mjs';

const PLUGINS = ['blobfx', 'coilfx'];
// The demo's colours, as apehost demo has them: the blob warm, the coil cool over it.
const DEMO_SETTINGS = {
  blobfx: makeBlob([0xff5a1f, 0xffb000, 0xe0306a, 0xff8040], { onBeat: true }),
  coilfx: makeBlob([0x20c0ff, 0x60ffc0, 0x8060ff, 0x40a0ff], { onBeat: true }),
};
const MESSAGE_SECONDS = 15;

const $ = (id) => document.getElementById(id);
const canvas = $('frame');
const painter = canvas.getContext('2d');

// What the page is doing, for its status line (and for anyone driving it).
const app = { framesDrawn: 0, beatsSeen: 0, level: 0, source: null, stack: null, worker: null,
              context: null, errors: [] };
window.apeWeb = app;

// The host's millisecond clock, the seed of every new effect.
const ticks = () => Math.floor(performance.timeOrigin + performance.now()) % 2 ** 32;

let messageTimer = 0;
function showMessage(text, kind = 'error') {
  const box = $('message');
  box.textContent = text;
  box.className = kind;
  box.hidden = false;
  if (kind === 'error') app.errors.push(text);
  clearTimeout(messageTimer);
  messageTimer = setTimeout(() => {
    box.hidden = true;
  }, MESSAGE_SECONDS * 1000);
}

function download(bytes, name, type) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([bytes], { type }));
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 10000);
}

async function fetchBytes(url) {
  const response = await fetch(url);
  if (!response.ok) throw new Error(`${url}: ${response.status} ${response.statusText}`);
  return response.arrayBuffer();
}

// ---- The stack and its settings panels ----

function colourCss(colour) {
  return `#${(colour & 0xffffff).toString(16).padStart(6, '0')}`;
}

function setStack(entries) {
  app.stack.set(entries, ticks());
  const names = entries.map((e) => e.plugin).join(' ');
  const select = $('stack');
  let custom = [...select.options].find((o) => o.dataset.custom);
  if ([...select.options].some((o) => o.value === names && !o.dataset.custom)) {
    custom?.remove();
  } else {
    if (!custom) {
      custom = new Option('', '');
      custom.dataset.custom = '1';
      select.add(custom);
    }
    custom.value = names;
    custom.text = `From the preset: ${names}`;
  }
  select.value = names;
  buildPanels();
}

function buildPanels() {
  const panels = $('panels');
  panels.replaceChildren();
  app.stack.entries.forEach((entry, index) => {
    const panel = $('panel-template').content.firstElementChild.cloneNode(true);
    panel.dataset.plugin = entry.plugin;
    panel.dataset.index = index;
    panel.querySelector('legend').textContent = entry.effect.describe();
    const strip = panel.querySelector('.strip');
    for (let i = 0; i < BLOB_COLOURS; ++i) {
      const cell = document.createElement('button');
      cell.title = `Colour ${i + 1}`;
      cell.addEventListener('click', () => chooseColour(entry, i));
      strip.append(cell);
    }
    panel.querySelector('.count').addEventListener('change', (event) => {
      edit(entry, (blob) => setBlobColourCount(blob, Number(event.target.value) | 0));
    });
    panel.querySelector('.on-beat').addEventListener('change', (event) => {
      edit(entry, (blob) => setBlobOnBeat(blob, event.target.checked ? 1 : 0));
    });
    panel.querySelector('.export-blob').addEventListener('click', () => {
      download(entry.effect.saveSettings(), `${entry.plugin}.blob`, 'application/octet-stream');
    });
    panel.querySelector('.import-blob').addEventListener('change', async (event) => {
      const file = event.target.files[0];
      event.target.value = '';
      if (!file) return;
      try {
        const blob = parseBlobFile(new Uint8Array(await file.arrayBuffer()));
        entry.effect.loadSettings(blob);
        refreshPanel(entry);
        showMessage(`${file.name}: settings loaded`, 'info');
      } catch (error) {
        showMessage(`${file.name}: ${error.message}; the settings are unchanged`);
      }
    });
    entry.panel = panel;
    panels.append(panel);
    refreshPanel(entry);
  });
}

// Shows what the effect holds (after its own clamping).
function refreshPanel(entry) {
  const blob = entry.effect.saveSettings();
  const count = blobColourCount(blob);
  const cells = entry.panel.querySelectorAll('.strip button');
  cells.forEach((cell, i) => {
    cell.style.background = colourCss(blobColour(blob, i));
    cell.classList.toggle('unused', i >= count);
  });
  entry.panel.querySelector('.count').value = count;
  entry.panel.querySelector('.on-beat').checked = blobOnBeat(blob) !== 0;
  entry.panel.dataset.blob = blobHex(blob).replace(/\s+/g, ' ');
}

// Changes the effect's settings the way the host's panel does: the whole blob through
// load_settings, so the effect decides what it keeps.
function edit(entry, change) {
  const blob = entry.effect.saveSettings();
  change(blob);
  entry.effect.loadSettings(blob);
  refreshPanel(entry);
}

let choosing = null;
function chooseColour(entry, index) {
  choosing = { entry, index };
  const chooser = $('colour-chooser');
  chooser.value = colourCss(blobColour(entry.effect.saveSettings(), index));
  try {
    chooser.showPicker();
  } catch {
    chooser.click();
  }
}
$('colour-chooser').addEventListener('change', (event) => {
  if (!choosing) return;
  const { entry, index } = choosing;
  const colour = parseInt(event.target.value.slice(1), 16);
  edit(entry, (blob) => setBlobColour(blob, index, colour));
});

$('stack').addEventListener('change', (event) => {
  // Each plug-in kept in the new stack keeps its settings; a new one starts from the demo's.
  const kept = new Map(app.stack.entries.map((e) => [e.plugin, e.effect.saveSettings()]));
  setStack(event.target.value.split(' ').map((plugin) => ({
    plugin, settings: kept.get(plugin) ?? DEMO_SETTINGS[plugin] })));
});

// ---- Background ----

function showBackground() {
  const { mode, colour, amount } = app.stack.background;
  $('background').value = mode;
  $('background-colour').value = colourCss(colour);
  $('background-colour').hidden = mode !== 'clear';
  $('fade').hidden = mode !== 'fade';
  $('fade').value = amount || 8;
}
function readBackground() {
  const mode = $('background').value;
  const amount = Math.max(1, Math.min(255, Number($('fade').value) | 0));
  app.stack.background = { mode, colour: parseInt($('background-colour').value.slice(1), 16),
                           amount: mode === 'fade' ? amount : 0 };
  showBackground();
}
for (const id of ['background', 'background-colour', 'fade']) $(id).addEventListener('change', readBackground);

// ---- Presets ----

$('export-preset').addEventListener('click', () => {
  const text = formatPreset({
    background: app.stack.background,
    effects: app.stack.entries.map((e) => ({ plugin: e.plugin, settings: e.effect.saveSettings() })),
  });
  download(text, 'preset.toml', 'application/toml');
});
$('import-preset').addEventListener('change', async (event) => {
  const file = event.target.files[0];
  event.target.value = '';
  if (!file) return;
  let preset;
  try {
    preset = parsePreset(await file.text(), file.name, PLUGINS);
  } catch (error) {
    showMessage(`${error.message}; the effects keep their settings`);
    return;
  }
  setStack(preset.effects);
  app.stack.background = preset.background;
  showBackground();
  showMessage(`${file.name}: preset loaded`, 'info');
});

$('fullscreen').addEventListener('click', () => {
  $('stage').requestFullscreen?.().catch((error) => showMessage(`Full screen: ${error.message}`));
});

// ---- Sound ----

function play(source) {
  app.source?.stop();
  app.source = source;
  source.start();
}

async function audioRunning() {
  const { context } = app;
  if (context.state === 'running') return true;
  // Browsers that allow autoplay resume at once; the others leave the promise waiting for a click.
  await Promise.race([context.resume().catch(() => {}), new Promise((r) => setTimeout(r, 500))]);
  return context.state === 'running';
}

let demoTrack = null;
async function playDemo() {
  if (!demoTrack) {
    demoTrack = await new Promise((resolve) => {
      const listener = ({ data }) => {
        if (data.type !== 'demo') return;
        app.worker.removeEventListener('message', listener);
        resolve(data);
      };
      app.worker.addEventListener('message', listener);
      app.worker.postMessage({ type: 'demo' });
    });
  }
  if (!(await audioRunning())) {
    // No autoplay here: one click starts it.
    const start = $('start');
    start.onclick = async () => {
      start.hidden = true;
      await app.context.resume();
      playDemo();
    };
    start.hidden = false;
    return;
  }
  play(new SongSource(app.context, app.worker, demoTrack, 'the demo track'));
}

async function playSong(file) {
  try {
    const bytes = await file.arrayBuffer();
    const song = await decodeSong(bytes, app.context.sampleRate);
    await app.context.resume();
    play(new SongSource(app.context, app.worker, song, file.name));
    $('message').hidden = true;
  } catch (error) {
    showMessage(`${file.name}: cannot play (${error.message || error.name})`);
  }
}

async function playMicrophone() {
  try {
    const stream = await navigator.mediaDevices.getUserMedia({
      audio: { echoCancellation: false, noiseSuppression: false, autoGainControl: false } });
    await app.context.resume();
    play(new LiveSource(app.context, app.worker, stream, 'the microphone'));
    $('message').hidden = true;
  } catch (error) {
    showMessage(`Microphone: ${error.message || error.name}`);
  }
}

$('demo').addEventListener('click', () => playDemo());
$('microphone').addEventListener('click', () => playMicrophone());
$('song').addEventListener('change', (event) => {
  const file = event.target.files[0];
  event.target.value = '';
  if (file) playSong(file);
});
$('stage').addEventListener('dragover', (event) => event.preventDefault());
$('stage').addEventListener('drop', (event) => {
  event.preventDefault();
  const file = event.dataTransfer.files[0];
  if (file) playSong(file);
});

// ---- Drawing ----

let image = null;
function draw(pixels, width, height) {
  if (!image || image.width !== width || image.height !== height) {
    image = new ImageData(width, height);
  }
  // 0x00RRGGBB words to RGBA bytes.
  const out = new Uint32Array(image.data.buffer);
  for (let i = 0; i < pixels.length; ++i) {
    const p = pixels[i];
    out[i] = 0xff000000 | ((p & 0xff) << 16) | (p & 0xff00) | ((p >>> 16) & 0xff);
  }
  painter.putImageData(image, 0, 0);
}

function frameLoop() {
  requestAnimationFrame(frameLoop);
  const source = app.source;
  if (!source) return;
  if (source.finished && source.name === 'the demo track') {
    playDemo();  // the demo goes round, as a kiosk wants
    return;
  }
  const frame = source.frameNow();
  if (!frame) return;
  // The frame follows the canvas's size on the page.
  const width = Math.max(1, canvas.clientWidth);
  const height = Math.max(1, canvas.clientHeight);
  if (canvas.width !== width || canvas.height !== height) {
    canvas.width = width;
    canvas.height = height;
  }
  app.stack.resize(width, height);
  draw(app.stack.render(frame.sound, frame.beat), width, height);
  app.framesDrawn += 1;
  if (frame.beat) app.beatsSeen += 1;
  let level = 0;
  for (let i = 0; i < 1152; ++i) level += frame.sound[i];
  app.level = level / 1152;
}

function statusLoop() {
  const source = app.source;
  $('status').textContent = source ?
      `Playing ${source.name}: ${app.stack.width}x${app.stack.height}, ${app.framesDrawn} frames, ` +
      `${app.beatsSeen} beats` : 'Choose the sound: the demo track, a song or the microphone.';
}

async function boot() {
  const modules = await Promise.all(PLUGINS.map(async (name) =>
    [name, await PluginModule.load(await fetchBytes(`${name}.wasm`), name)]));
  app.stack = new EffectStack(new Map(modules));
  app.worker = new Worker(new URL('js/analysis_worker.mjs', import.meta.url), { type: 'module' });
  app.worker.addEventListener('message', ({ data }) => {
    if (data.type === 'error') showMessage(`Analysis: ${data.message}`);
  });
  app.context = new AudioContext({ latencyHint: 'playback' });
  await app.context.audioWorklet.addModule(new URL('js/capture_worklet.mjs', import.meta.url));
  setStack(PLUGINS.map((plugin) => ({ plugin, settings: DEMO_SETTINGS[plugin] })));
  showBackground();
  requestAnimationFrame(frameLoop);
  setInterval(statusLoop, 250);
  statusLoop();
  await playDemo();
}

boot().catch((error) => {
  showMessage(`The page cannot start: ${error.message}`);
  console.error(error);
});
