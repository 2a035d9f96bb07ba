#!/usr/bin/env python3
"""Writes the seed corpus of the audio fuzz target (corpus/audio).

Each seed is one byte naming the file's ending (its index in kEndings of audio_fuzz.cpp) and then
a tiny sound file: a quarter of a second of clicks over a tone in each container libsndfile reads
here (WAV as 8-bit, 16-bit, 24-bit and float samples, FLAC, Ogg Vorbis, Ogg Opus, MP3, AIFF, AU,
CAF, Wave64), encoded by ffmpeg; and headers with a rate or channel count out of range, a file cut
short, float samples that are not numbers, and an empty file, written here byte by byte. Run it
again after changing the endings; the seeds are committed.
"""
import math
import os
import struct
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, 'corpus', 'audio')

ENDINGS = ['.wav', '.flac', '.ogg', '.opus', '.mp3', '.aiff', '.au', '.caf', '.w64', '.raw', '']

# name: (ending, ffmpeg output options); the source is a 440 Hz tone with a click every 0.1 s.
ENCODED = {
    'wav-16bit-mono': ('.wav', ['-ar', '8000', '-ac', '1', '-c:a', 'pcm_s16le']),
    'wav-8bit': ('.wav', ['-ar', '8000', '-ac', '1', '-c:a', 'pcm_u8']),
    'wav-24bit-stereo': ('.wav', ['-ar', '11025', '-ac', '2', '-c:a', 'pcm_s24le']),
    'wav-float-stereo': ('.wav', ['-ar', '8000', '-ac', '2', '-c:a', 'pcm_f32le']),
    'flac': ('.flac', ['-ar', '8000', '-ac', '1', '-c:a', 'flac']),
    'ogg-vorbis': ('.ogg', ['-ar', '8000', '-ac', '1', '-c:a', 'libvorbis', '-q:a', '0']),
    'ogg-opus': ('.opus', ['-ar', '48000', '-ac', '1', '-c:a', 'libopus', '-b:a', '16k']),
    'mp3': ('.mp3', ['-ar', '8000', '-ac', '1', '-c:a', 'libmp3lame', '-b:a', '8k']),
    'aiff': ('.aiff', ['-ar', '8000', '-ac', '1', '-c:a', 'pcm_s16be']),
    'au': ('.au', ['-ar', '8000', '-ac', '1', '-c:a', 'pcm_s16be']),
    'caf': ('.caf', ['-ar', '8000', '-ac', '1', '-c:a', 'pcm_s16le']),
    'w64': ('.w64', ['-ar', '8000', '-ac', '1', '-c:a', 'pcm_s16le']),
}


def seed(ending, data):
    return bytes([ENDINGS.index(ending)]) + data


def encoded(options, ending):
    with tempfile.TemporaryDirectory() as tmp:
        target = os.path.join(tmp, 'seed' + ending)
        source = 'sine=frequency=440:duration=0.25:sample_rate=48000'
        clicks = 'aevalsrc=if(lt(mod(t\\,0.1)\\,0.002)\\,0.8\\,0):d=0.25:s=48000'
        subprocess.run(['ffmpeg', '-v', 'error', '-y', '-f', 'lavfi', '-i', source, '-f', 'lavfi',
                        '-i', clicks, '-filter_complex', 'amix=inputs=2', '-map_metadata', '-1',
                        '-fflags', '+bitexact', '-flags:a', '+bitexact'] + options + [target],
                       check=True)
        with open(target, 'rb') as f:
            return f.read()


def wav(rate, channels, frames, fmt=1, bits=16, data=None):
    block = channels * bits // 8
    if data is None:
        data = bytes(frames * max(block, 1))
    body = (b'WAVE' + b'fmt ' + struct.pack('<IHHIIHH', 16, fmt, channels & 0xFFFF,
                                             rate & 0xFFFFFFFF, (rate * block) & 0xFFFFFFFF,
                                             block & 0xFFFF, bits) +
            b'data' + struct.pack('<I', len(data)) + data)
    return b'RIFF' + struct.pack('<I', len(body)) + body


def crafted():
    tone = b''.join(struct.pack('<h', int(12000 * math.sin(2 * math.pi * 440 * n / 8000)))
                    for n in range(400))
    floats = struct.pack('<' + 'f' * 8, float('nan'), float('inf'), -float('inf'), 1e30, -1e30,
                         0.5, float('nan'), 0.0) * 20
    cut = wav(8000, 1, 0, data=tone)
    return {
        'wav-rate-zero': seed('.wav', wav(0, 2, 50)),
        'wav-rate-int-max': seed('.wav', wav(2147483647, 1, 50)),
        'wav-rate-below-range': seed('.wav', wav(999, 1, 50)),
        'wav-channels-zero': seed('.wav', wav(44100, 0, 50)),
        'wav-channels-300': seed('.wav', wav(44100, 300, 2)),
        'wav-cut-short': seed('.wav', cut[:len(cut) - 300]),
        'wav-float-not-numbers': seed('.wav', wav(8000, 1, 0, fmt=3, bits=32, data=floats)),
        'au-rate-zero': seed('.au', b'.snd' + struct.pack('>IIIII', 24, 200, 3, 0, 1) + bytes(200)),
        'raw-bytes': seed('.raw', tone[:200]),
        'empty': seed('', b''),
    }


def main():
    os.makedirs(OUT, exist_ok=True)
    seeds = crafted()
    for name, (ending, options) in ENCODED.items():
        seeds[name] = seed(ending, encoded(options, ending))
    for name, data in sorted(seeds.items()):
        with open(os.path.join(OUT, name), 'wb') as f:
            f.write(data)
        print(f'{name}: {len(data)} bytes')


if __name__ == '__main__':
    main()
