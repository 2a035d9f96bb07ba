// apehost's sound analysis (analysis.wasm: host/audio compiled to WebAssembly) and the frames the
// page shows from it. Frames follow apehost's timing: at F frames per second frame k covers the
// sample frames from start(k) = floor(k x rate / F) to start(k + 1), and its sound data (576
// spectrum bytes per channel, 576 waveform bytes, the beat flag) is taken from the sound that ends
// where the frame ends.

import { instantiate } from './wasm_module.mjs';
import { SOUND_BYTES } from './plugin_host.mjs';

export const FRAMES_PER_SECOND = 60;

export function frameStart(k, rate, fps = FRAMES_PER_SECOND) {
  return Math.floor((k * rate) / fps);
}

// The frame whose samples include position.
export function frameContaining(position, rate, fps = FRAMES_PER_SECOND) {
  let k = Math.floor((position * fps) / rate);
  while (frameStart(k + 1, rate, fps) <= position) ++k;
  while (k > 0 && frameStart(k, rate, fps) > position) --k;
  return k;
}

export class AnalysisModule {
  static async load(source) {
    return new AnalysisModule(await instantiate(source));
  }

  constructor(wasm) {
    this.wasm = wasm;
  }

  // The built-in demo track: { sampleRate, channels: [Float32Array left, right] }.
  demoTrack() {
    const { wasm } = this;
    const lengthPtr = wasm.malloc(8);
    const samples = wasm.exports.web_demo_track(lengthPtr);
    const frames = new DataView(wasm.buffer).getFloat64(lengthPtr, true);
    wasm.free(lengthPtr);
    if (!samples) throw new Error('out of memory for the demo track');
    const interleaved = wasm.f32(samples, 2 * frames);
    const channels = [new Float32Array(frames), new Float32Array(frames)];
    for (let i = 0; i < frames; ++i) {
      channels[0][i] = interleaved[2 * i];
      channels[1][i] = interleaved[2 * i + 1];
    }
    wasm.free(samples);
    return { sampleRate: wasm.exports.web_demo_sample_rate(), channels };
  }

  // apehost's streaming analyser (SoundAnalyser) for sound of rate and channelCount.
  analyser(rate, channelCount, historySeconds = 8) {
    return new Analyser(this.wasm, rate, channelCount, historySeconds);
  }
}

export class Analyser {
  constructor(wasm, rate, channelCount, historySeconds) {
    this.wasm = wasm;
    this.rate = rate;
    this.channelCount = channelCount;
    this.session = wasm.exports.web_analyser_new(rate, channelCount, historySeconds);
    if (!this.session) throw new Error(`cannot analyse sound of ${rate} Hz, ${channelCount} channels`);
    this.sound = wasm.malloc(SOUND_BYTES);
  }

  // Feeds channels (one Float32Array per channel, channelCount of them) from start to end.
  feed(channels, start, end) {
    const frames = end - start;
    if (frames <= 0) return;
    const { wasm, channelCount } = this;
    const input = wasm.exports.web_analyser_input(this.session, frames);
    if (!input) throw new Error('out of memory in the analysis');
    const out = wasm.f32(input, frames * channelCount);
    for (let c = 0; c < channelCount; ++c) {
      const source = channels[c];
      for (let i = 0; i < frames; ++i) out[i * channelCount + c] = source[start + i];
    }
    wasm.exports.web_analyser_feed(this.session, frames);
  }

  // The song has ended: its last beats are decided now. Nothing may be fed afterwards.
  finish() {
    this.wasm.exports.web_analyser_finish(this.session);
  }

  // How many sample frames ahead of a frame a song must be fed for its beats to be decided.
  get lookahead() {
    return this.wasm.exports.web_analyser_lookahead(this.session);
  }

  get samplesFed() {
    return this.wasm.exports.web_analyser_samples_fed(this.session);
  }

  // The frame that ends at endPosition: { beat, sound } (a copy).
  frame(endPosition) {
    const beat = this.wasm.exports.web_analyser_frame(this.session, endPosition, this.sound) !== 0;
    return { beat, sound: this.wasm.u8(this.sound, SOUND_BYTES).slice() };
  }

  delete() {
    if (!this.session) return;
    this.wasm.free(this.sound);
    this.wasm.exports.web_analyser_delete(this.session);
    this.session = 0;
  }
}

// The first one or two channels of a sound, as apehost shows them.
export function shownChannels(channels) {
  return channels.slice(0, Math.min(channels.length, 2));
}

// A whole song's frames in order, each analysed once the beat tracker's look-ahead past it has been
// fed (the whole rest of the song near its end), so they are apehost analyse's frames.
export class SongFrames {
  constructor(analysis, channels, rate, fps = FRAMES_PER_SECOND) {
    this.channels = shownChannels(channels);
    this.rate = rate;
    this.fps = fps;
    this.length = this.channels[0].length;
    this.frameCount = Math.ceil((this.length * fps) / rate);
    this.analyser = analysis.analyser(rate, this.channels.length);
    this.next = 0;  // the next frame to analyse
    this.finished = false;
  }

  // Analyses the frames up to and including last (within the song); returns them in order.
  produce(last) {
    const frames = [];
    const lookahead = this.analyser.lookahead;
    for (; this.next <= last && this.next < this.frameCount; ++this.next) {
      const end = frameStart(this.next + 1, this.rate, this.fps);
      const wanted = Math.min(this.length, end + lookahead);
      this.analyser.feed(this.channels, this.analyser.samplesFed, wanted);
      if (wanted === this.length && !this.finished) {
        this.analyser.finish();
        this.finished = true;
      }
      frames.push(this.analyser.frame(end));
    }
    return frames;
  }

  delete() {
    this.analyser.delete();
  }
}

// Sound that arrives as it plays (a microphone): each frame is analysed as soon as its last sample
// has arrived.
export class LiveFrames {
  constructor(analysis, rate, channelCount, fps = FRAMES_PER_SECOND) {
    this.rate = rate;
    this.fps = fps;
    this.analyser = analysis.analyser(rate, channelCount);
    this.next = 0;
  }

  // Feeds a block (one Float32Array per channel); returns the frames it completes, as [k, frame].
  feed(channels) {
    this.analyser.feed(channels, 0, channels[0].length);
    const fed = this.analyser.samplesFed;
    const frames = [];
    for (;;) {
      const end = frameStart(this.next + 1, this.rate, this.fps);
      if (end > fed) break;
      frames.push([this.next, this.analyser.frame(end)]);
      ++this.next;
    }
    return frames;
  }

  delete() {
    this.analyser.delete();
  }
}
