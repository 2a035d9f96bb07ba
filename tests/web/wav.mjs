// 16-bit PCM WAV files for the web tests: a song-like test signal written here, and read back the
// way libsndfile scales 16-bit samples (x / 32768).

import { readFileSync, writeFileSync } from 'node:fs';

// channels: Float32Array per channel, -1..1.
export function writeWav(path, channels, sampleRate) {
  const frames = channels[0].length;
  const n = channels.length;
  const bytes = Buffer.alloc(44 + frames * n * 2);
  bytes.write('RIFF', 0);
  bytes.writeUInt32LE(36 + frames * n * 2, 4);
  bytes.write('WAVEfmt ', 8);
  bytes.writeUInt32LE(16, 16);
  bytes.writeUInt16LE(1, 20);
  bytes.writeUInt16LE(n, 22);
  bytes.writeUInt32LE(sampleRate, 24);
  bytes.writeUInt32LE(sampleRate * n * 2, 28);
  bytes.writeUInt16LE(n * 2, 32);
  bytes.writeUInt16LE(16, 34);
  bytes.write('data', 36);
  bytes.writeUInt32LE(frames * n * 2, 40);
  for (let i = 0; i < frames; ++i) {
    for (let c = 0; c < n; ++c) {
      const v = Math.max(-32768, Math.min(32767, Math.round(channels[c][i] * 32767)));
      bytes.writeInt16LE(v, 44 + (i * n + c) * 2);
    }
  }
  writeFileSync(path, bytes);
}

export function readWav(path) {
  const bytes = readFileSync(path);
  let at = 12;
  let format = null;
  while (at + 8 <= bytes.length) {
    const id = bytes.toString('latin1', at, at + 4);
    const size = bytes.readUInt32LE(at + 4);
    if (id === 'fmt ') {
      format = { channels: bytes.readUInt16LE(at + 10), sampleRate: bytes.readUInt32LE(at + 12),
                 bits: bytes.readUInt16LE(at + 22) };
    } else if (id === 'data') {
      if (!format || format.bits !== 16) throw new Error(`${path}: not 16-bit PCM`);
      const frames = Math.floor(size / (2 * format.channels));
      const channels = Array.from({ length: format.channels }, () => new Float32Array(frames));
      for (let i = 0; i < frames; ++i) {
        for (let c = 0; c < format.channels; ++c) {
          channels[c][i] = bytes.readInt16LE(at + 8 + (i * format.channels + c) * 2) / 32768;
        }
      }
      return { sampleRate: format.sampleRate, channels };
    }
    at += 8 + size + (size & 1);
  }
  throw new Error(`${path}: no data chunk`);
}

// A song-like signal: a kick (a falling low sine) on every beat at bpm, a hat between beats, a
// chord that changes every two seconds, and a second channel weighted differently, so the
// spectrum, the waveform and the beats all have something to show. Deterministic.
export function testSong({ seconds = 8, sampleRate = 44100, bpm = 120 } = {}) {
  const frames = Math.round(seconds * sampleRate);
  const left = new Float32Array(frames);
  const right = new Float32Array(frames);
  const beat = (60 / bpm) * sampleRate;
  let noise = 1;
  for (let i = 0; i < frames; ++i) {
    const t = i / sampleRate;
    const sinceBeat = i % beat;
    const kickT = sinceBeat / sampleRate;
    const kick = sinceBeat < 0.25 * sampleRate ?
        Math.sin(2 * Math.PI * (50 + 100 * Math.exp(-kickT * 30)) * kickT) * Math.exp(-kickT * 12) : 0;
    noise = (noise * 1103515245 + 12345) >>> 0;
    const white = (noise / 2 ** 32) * 2 - 1;
    const sinceHat = (i + beat / 2) % beat;
    const hat = sinceHat < 0.03 * sampleRate ? white * Math.exp(-sinceHat / sampleRate * 150) : 0;
    const root = [220, 174.6, 261.6, 196][Math.floor(t / 2) % 4];
    const chord = (Math.sin(2 * Math.PI * root * t) + Math.sin(2 * Math.PI * root * 1.26 * t) +
                   Math.sin(2 * Math.PI * root * 1.5 * t)) / 3;
    left[i] = 0.6 * kick + 0.15 * hat + 0.2 * chord;
    right[i] = 0.5 * kick + 0.25 * hat + 0.15 * chord;
  }
  return { sampleRate, channels: [left, right] };
}
