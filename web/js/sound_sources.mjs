// The page's sound: a song (a file or the demo track) played through Web Audio while the worker
// analyses it ahead of the picture, or the microphone captured by an audio worklet whose blocks go
// straight to the worker. Each source hands the drawing loop the frame due now: the sound data of
// the newest frame, and a beat flag that no beat between two drawn frames is lost from.

import { SOUND_BYTES } from './plugin_host.mjs';
import { FRAMES_PER_SECOND, frameContaining } from './sound_analysis.mjs';

let nextId = 1;

// Frames received from the worker, by frame number.
class FrameStore {
  constructor() {
    this.frames = new Map();
    this.newest = -1;
  }
  add({ first, beats, sound }) {
    for (let i = 0; i < beats.length; ++i) {
      this.frames.set(first + i, { beat: beats[i] !== 0,
                                   sound: sound.subarray(i * SOUND_BYTES, (i + 1) * SOUND_BYTES) });
      this.newest = Math.max(this.newest, first + i);
    }
  }
  // Frame k, its beat set when any frame after `since` up to k had one; forgets frames up to k.
  take(k, since) {
    const frame = this.frames.get(k);
    if (!frame) return null;
    let beat = false;
    for (let j = since + 1; j <= k; ++j) {
      beat ||= this.frames.get(j)?.beat ?? false;
      if (j < k) this.frames.delete(j);
    }
    return { beat, sound: frame.sound };
  }
}

class Source {
  constructor(worker, name) {
    this.worker = worker;
    this.name = name;
    this.id = nextId++;
    this.store = new FrameStore();
    this.shown = -1;  // the last frame handed out
    this.listener = ({ data }) => {
      if (data.type === 'frames' && data.id === this.id) this.store.add(data);
    };
    worker.addEventListener('message', this.listener);
  }
  stop() {
    this.worker.removeEventListener('message', this.listener);
    this.worker.postMessage({ type: 'stop', id: this.id });
  }
}

// A decoded song ({ sampleRate, channels }) played from the start on context.
export class SongSource extends Source {
  constructor(context, worker, song, name) {
    super(worker, name);
    this.context = context;
    this.rate = song.sampleRate;
    this.length = song.channels[0].length;
    const buffer = new AudioBuffer({ length: this.length, numberOfChannels: song.channels.length,
                                     sampleRate: song.sampleRate });
    song.channels.forEach((c, i) => buffer.copyToChannel(c, i));
    this.node = new AudioBufferSourceNode(context, { buffer });
    this.node.connect(context.destination);
    this.ended = false;
    this.node.onended = () => {
      this.ended = true;
    };
    // The worker gets its own copies: the song keeps playing from the AudioBuffer.
    const copies = song.channels.map((c) => c.slice());
    worker.postMessage({ type: 'song', id: this.id, sampleRate: song.sampleRate, channels: copies },
                       copies.map((c) => c.buffer));
    worker.postMessage({ type: 'clock', id: this.id, frame: 0 });
    this.startedAt = null;
  }

  start() {
    this.startedAt = this.context.currentTime + 0.05;
    this.node.start(this.startedAt);
  }

  // The sample position being heard: the context's clock where its output is, less the start.
  position() {
    if (this.startedAt === null) return 0;
    const stamp = this.context.getOutputTimestamp?.();
    let time = this.context.currentTime;
    if (stamp && stamp.contextTime > 0) {
      time = stamp.contextTime + (performance.now() - stamp.performanceTime) / 1000;
    }
    return Math.max(0, Math.min(this.length - 1, Math.floor((time - this.startedAt) * this.rate)));
  }

  get finished() {
    return this.ended;
  }

  // The frame to draw now, or null when the frame due has been drawn (or is not analysed yet).
  frameNow() {
    const k = frameContaining(this.position(), this.rate, FRAMES_PER_SECOND);
    if (k > this.store.newest - FRAMES_PER_SECOND / 2) {
      this.worker.postMessage({ type: 'clock', id: this.id, frame: k });
    }
    if (k <= this.shown) return null;
    const frame = this.store.take(k, this.shown);
    if (frame) this.shown = k;
    return frame;
  }

  stop() {
    super.stop();
    try {
      this.node.stop();
    } catch {
      // never started
    }
    this.node.disconnect();
  }
}

// Sound from a capture device (stream from getUserMedia), shown as it arrives.
export class LiveSource extends Source {
  constructor(context, worker, stream, name) {
    super(worker, name);
    this.stream = stream;
    const channelCount = Math.min(2, stream.getAudioTracks()[0]?.getSettings().channelCount ?? 2);
    this.input = new MediaStreamAudioSourceNode(context, { mediaStream: stream });
    this.capture = new AudioWorkletNode(context, 'ape-capture', {
      numberOfOutputs: 0, channelCount, channelCountMode: 'explicit',
      processorOptions: { channelCount } });
    const channel = new MessageChannel();
    this.capture.port.postMessage({ port: channel.port1 }, [channel.port1]);
    worker.postMessage({ type: 'live', id: this.id, sampleRate: context.sampleRate, channelCount,
                         port: channel.port2 }, [channel.port2]);
    this.input.connect(this.capture);
  }

  start() {}

  get finished() {
    return false;
  }

  frameNow() {
    const k = this.store.newest;
    if (k <= this.shown) return null;
    const frame = this.store.take(k, this.shown);
    if (frame) this.shown = k;
    return frame;
  }

  stop() {
    super.stop();
    this.input.disconnect();
    this.capture.disconnect();
    for (const track of this.stream.getTracks()) track.stop();
  }
}

// The sample rate a sound file was recorded at, from its header (WAV, FLAC, Ogg Vorbis or Opus,
// MP3), or null. The page decodes at that rate, as apehost does, rather than at the output's.
export function fileSampleRate(bytes) {
  const text = (at, n) => String.fromCharCode(...bytes.subarray(at, at + n));
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  if (bytes.length >= 28 && text(0, 4) === 'RIFF' && text(8, 4) === 'WAVE') {
    for (let at = 12; at + 16 <= bytes.length;) {
      const size = view.getUint32(at + 4, true);
      if (text(at, 4) === 'fmt ') return view.getUint32(at + 12, true);
      at += 8 + size + (size & 1);
    }
  }
  if (bytes.length >= 26 && text(0, 4) === 'fLaC') {
    return (bytes[18] << 12) | (bytes[19] << 4) | (bytes[20] >> 4);
  }
  if (bytes.length >= 64 && text(0, 4) === 'OggS') {
    const packet = 27 + bytes[26];  // after the page header and its segment table
    if (text(packet, 7) === '\x01vorbis') return view.getUint32(packet + 12, true);
    if (text(packet, 8) === 'OpusHead') return 48000;
  }
  // MP3: skip an ID3v2 tag, then read the first frame header.
  let at = 0;
  if (bytes.length >= 10 && text(0, 3) === 'ID3') {
    at = 10 + ((bytes[6] & 0x7f) << 21 | (bytes[7] & 0x7f) << 14 | (bytes[8] & 0x7f) << 7 |
               (bytes[9] & 0x7f));
  }
  if (at + 4 <= bytes.length && bytes[at] === 0xff && (bytes[at + 1] & 0xe0) === 0xe0) {
    const version = (bytes[at + 1] >> 3) & 3;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
    const index = (bytes[at + 2] >> 2) & 3;
    const base = [44100, 48000, 32000][index];
    if (base) return version === 3 ? base : version === 2 ? base / 2 : version === 0 ? base / 4 : null;
  }
  return null;
}

// Decodes a sound file's bytes at its own sample rate: { sampleRate, channels }.
export async function decodeSong(bytes, fallbackRate) {
  const rate = fileSampleRate(new Uint8Array(bytes)) ?? fallbackRate;
  const context = new OfflineAudioContext({ numberOfChannels: 2, length: 1, sampleRate: rate });
  const buffer = await context.decodeAudioData(bytes.slice(0));
  const channels = [];
  for (let c = 0; c < buffer.numberOfChannels; ++c) channels.push(buffer.getChannelData(c).slice());
  return { sampleRate: buffer.sampleRate, channels };
}
