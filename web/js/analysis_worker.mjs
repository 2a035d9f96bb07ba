// The page's analysis worker: apehost's analysis runs here, off the page's thread, so neither
// drawing nor the user interface waits for it, and the audio thread never does.
//
// Messages in: { type: 'demo' } -> { type: 'demo', sampleRate, channels }
//   { type: 'song', id, sampleRate, channels } starts analysing a song; { type: 'clock', id, frame }
//     says which frame is showing -> { type: 'frames', id, first, beats, sound } covering a second
//     ahead of it;
//   { type: 'live', id, sampleRate, channelCount, port }: blocks of captured sound arrive on port
//     (from the capture worklet) -> { type: 'frames', ... } as each frame completes;
//   { type: 'stop', id }.

import { SOUND_BYTES } from './plugin_host.mjs';
import { AnalysisModule, FRAMES_PER_SECOND, LiveFrames, SongFrames } from './sound_analysis.mjs';

const AHEAD_FRAMES = FRAMES_PER_SECOND;

const analysis = fetch(new URL('../analysis.wasm', import.meta.url))
    .then((response) => {
      if (!response.ok) throw new Error(`analysis.wasm: ${response.status} ${response.statusText}`);
      return response.arrayBuffer();
    })
    .then((bytes) => AnalysisModule.load(bytes));
let session = null;  // { id, song?: SongFrames, live?: LiveFrames, port? }

function post(id, first, frames) {
  if (frames.length === 0) return;
  const beats = new Uint8Array(frames.length);
  const sound = new Uint8Array(frames.length * SOUND_BYTES);
  frames.forEach((f, i) => {
    beats[i] = f.beat ? 1 : 0;
    sound.set(f.sound, i * SOUND_BYTES);
  });
  postMessage({ type: 'frames', id, first, beats, sound }, [beats.buffer, sound.buffer]);
}

function stop() {
  if (!session) return;
  if (session.port) session.port.close();
  (session.song ?? session.live)?.delete();
  session = null;
}

async function handle(message) {
  const module = await analysis;
  switch (message.type) {
    case 'demo': {
      const demo = module.demoTrack();
      postMessage({ type: 'demo', ...demo }, demo.channels.map((c) => c.buffer));
      break;
    }
    case 'song':
      stop();
      session = { id: message.id,
                  song: new SongFrames(module, message.channels, message.sampleRate) };
      break;
    case 'clock': {
      if (!session?.song || session.id !== message.id) break;
      const first = session.song.next;
      post(message.id, first, session.song.produce(message.frame + AHEAD_FRAMES));
      break;
    }
    case 'live': {
      stop();
      const live = new LiveFrames(module, message.sampleRate, message.channelCount);
      session = { id: message.id, live, port: message.port };
      const id = message.id;
      message.port.onmessage = ({ data }) => {
        if (session?.live !== live) return;
        const frames = live.feed(data.channels);
        if (frames.length) post(id, frames[0][0], frames.map(([, f]) => f));
      };
      break;
    }
    case 'stop':
      if (session?.id === message.id) stop();
      break;
  }
}

let queue = Promise.resolve();
onmessage = ({ data }) => {
  queue = queue.then(() => handle(data)).catch((error) => {
    postMessage({ type: 'error', message: String(error?.message ?? error) });
  });
};
