#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (corpus/settings, corpus/frames, corpus/apehost).

Each seed is a small program in the case language of cases/effect_cases.h, chosen so that the
fuzzer starts from every kind of call: loads at the interesting lengths, counts in and out of range,
every frame-size class, beats, and every way of making sound; and for apehost, good and broken
traces and every command with good and bad arguments. Run it again after changing one of the
languages; the seeds are committed.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def word(v):
    return struct.pack('<I', v & 0xFFFFFFFF)


def blob(count, on_beat, colours=None):
    colours = colours or [0x00FF0000, 0x0000FF00, 0x000000FF, 0x00FFFFFF, 0x00102030]
    colours = (colours + [0] * 16)[:16]
    return b''.join(word(c) for c in colours) + word(count) + word(on_beat)


# Settings case: byte 0 picks the effect; ops: load (0/1; +8 with a length from the table, whose
# index is op >> 4; +4 with a 32-bit length; else a signed byte length), save (2), frame (3).
LENGTH_INDEX = {72: 0, 73: 1, 71: 2, 0: 3, -1: 4, -2**31: 5, 2**31 - 1: 6, 64: 7, 65: 8, 66: 9,
                67: 10, 68: 11, 69: 12, 4: 13, 1: 14, 1 << 24: 15}


def blob_bytes(length, data):
    """A blob of a length the load uses is `length` bytes; any other is preceded by its size."""
    if 0 <= length <= 72:
        assert len(data) == length
        return data
    return bytes([len(data)]) + data


def load_table(length, data):
    return bytes([0x08 | LENGTH_INDEX[length] << 4]) + blob_bytes(length, data)


def load_word(length, data):
    return bytes([0x04]) + word(length) + blob_bytes(length, data)


def load_byte(length, data):
    return bytes([0x00, length & 0xFF]) + blob_bytes(length, data)


def frame(size_bits, rows, beat=False):
    return bytes([0x03 | (size_bits & 15) << 2 | (0x40 if beat else 0), rows])


def settings_seeds():
    seeds = {}
    for which, name in ((0, 'coil'), (1, 'blob')):
        w = bytes([which])
        seeds[f'{name}-defaults'] = w
        seeds[f'{name}-full-load'] = (w + load_table(72, blob(5, 1)) + frame(7, 11, True) + b'\x02')
        seeds[f'{name}-counts-out-of-range'] = (
            w + load_table(72, blob(0, 0)) + load_table(72, blob(-5, 1)) +
            load_table(72, blob(99, 5)) + load_table(72, blob(2**31 - 1, 0)) + frame(3, 5))
        seeds[f'{name}-partial-count'] = (
            w + load_table(72, blob(9, 1)) + load_table(65, b'\xff' * 65) +
            load_table(66, b'\x80' * 66) + load_table(67, b'\x00' * 67) + frame(15, 23, True))
        seeds[f'{name}-ignored-lengths'] = (
            w + load_table(73, b'\x11' * 73) + load_table(-1, b'\x22' * 40) +
            load_table(-2**31, b'') + load_table(2**31 - 1, b'\x33' * 8) +
            load_table(1 << 24, b'\x44' * 96) + b'\x02')
        seeds[f'{name}-short-loads'] = (
            w + load_word(40, bytes(range(40))) + load_table(4, b'\x01\x02\x03\x04') +
            load_table(1, b'\xff') + load_table(0, b'') + load_byte(-10, b'\x55' * 10) +
            load_byte(5, bytes(range(5))) + load_word(-72, b'') + frame(1, 0) +
            load_table(68, bytes(range(68))) +
            load_table(69, bytes(range(69))) + load_table(71, bytes(range(71))))
    return seeds


# Frames case: byte 0 picks the effect (bit 0) and whether a 72-byte blob follows (bit 1). Then per
# frame one byte: size class (bits 0-3), beat (bit 4), a 32-bit beat value (bit 5, with bit 4),
# sound (bits 6-7: keep, bytes from the input, one value everywhere, noise from a seed), each
# followed by the bytes its parts take.
KEEP, BYTES, FILL, NOISE = 0, 1, 2, 3


def f(size_class, beat=False, sound=KEEP, size_bytes=b'', sound_bytes=b'', beat_word=None):
    c = size_class | (0x10 if beat else 0) | (0x20 if beat_word is not None else 0) | sound << 6
    out = bytes([c])
    if beat_word is not None:
        out += word(beat_word)
    return out + size_bytes + sound_bytes


def frames_seeds():
    seeds = {}
    for which, name in ((0, 'coil'), (1, 'blob')):
        w = bytes([which])
        ws = bytes([which | 2]) + blob(3, 1)
        seeds[f'{name}-tiny'] = w + f(0) + f(1, True) + f(2) + f(3, size_bytes=b'\x00') + \
            f(3, True, size_bytes=b'\x01') + f(1)
        seeds[f'{name}-odd'] = ws + f(4, True, NOISE, b'\x05\x10', word(7)) + \
            f(4, sound=FILL, size_bytes=b'\x2f\x00', sound_bytes=b'\xff') + \
            f(5, True, KEEP, b'\x9f\x9f')
        seeds[f'{name}-wide-and-tall'] = w + f(6, True, NOISE, b'\xff\x02', word(1)) + \
            f(7, False, KEEP, b'\x02\xff') + f(6, False, FILL, b'\x00\x00', b'\x80') + \
            f(7, True, KEEP, b'\x00\x00')
        seeds[f'{name}-negative'] = w + f(8, True, KEEP, b'\xff\x10') + \
            f(8, False, KEEP, b'\x10\x80') + f(9, True, KEEP, word(70000) + b'\x00') + \
            f(9, False, KEEP, word(2**31 - 1) + b'\x03') + f(10, True, NOISE, sound_bytes=word(3))
        seeds[f'{name}-sizes-change'] = ws + f(10, True, NOISE, sound_bytes=word(9)) + \
            f(12) + f(11, False, KEEP, b'\x07') + f(13, True) + f(5, False, KEEP, b'\x00\x00') + \
            f(10) + f(0, True) + f(10)
        seeds[f'{name}-sound-bytes'] = w + f(10, True, BYTES, sound_bytes=b'\xff' + bytes(
            (i * 37) & 0xFF for i in range(255 * 9))) + f(12, False, FILL, sound_bytes=b'\x00') + \
            f(12, True, FILL, sound_bytes=b'\xff', beat_word=-7) + f(12, True, beat_word=0x80000000)
    return seeds


# apehost target: byte 0 = 0 for a trace file (the rest), else a command line: a 16-bit length, that
# many bytes of a file's contents, then the arguments separated by zero bytes (see apehost_fuzz.cpp
# for the "@" names).
def trace(records, fps=30, version=1, magic=b'APETRACE'):
    out = magic + word(version) + word(fps)
    for i in range(records):
        out += bytes([i % 2]) + bytes((i * 11 + j * 7) & 0xFF for j in range(2304))
    return out


def command(file_bytes, *args):
    return b'\x01' + struct.pack('<H', len(file_bytes)) + file_bytes + b'\x00'.join(
        a.encode() for a in args)


def apehost_seeds():
    settings = blob(4, 1)
    return {
        'trace-valid': b'\x00' + trace(2),
        'trace-empty': b'\x00',
        'trace-no-frames': b'\x00' + trace(0),
        'trace-truncated': b'\x00' + trace(1)[:-100],
        'trace-bad-magic': b'\x00' + trace(1, magic=b'APETRACX'),
        'trace-version-2': b'\x00' + trace(0, version=2),
        'trace-zero-fps': b'\x00' + trace(0, fps=0),
        'cli-info': command(b'', 'info', '@c'),
        'cli-info-not-a-module': command(b'hello', 'info', '@s'),
        'cli-info-directory': command(b'', 'info', '@d'),
        'cli-info-missing': command(b'', 'info', 'nosuchfx'),
        'cli-settings-build': command(b'', 'settings', '@b', '--colours', 'ff0000,#00ff00,0x0000ff',
                                      '--count', '-3', '--on-beat', '-o', '@o'),
        'cli-settings-from': command(settings, 'settings', '@c', '--from', '@s', '--no-on-beat',
                                     '-o', '@o'),
        'cli-settings-short-blob': command(settings[:40], 'settings', '@c', '--from', '@s'),
        'cli-settings-bad-colour': command(b'', 'settings', '@c', '--colours', 'fg0000'),
        'cli-render-raw': command(settings, 'render', '@c', '--trace', '@v', '--size', '32x24',
                                  '--settings', '@s', '--ticks', '5', '--raw', '@o'),
        'cli-render-png': command(trace(1), 'render', '@b', '--trace', '@t', '--size', '17x9',
                                  '--png', '@p', '--keep', '--frames', '1'),
        'cli-render-bad-trace': command(b'APETRACE', 'render', '@c', '--trace', '@t', '--size',
                                        '8x8', '--raw', '-'),
        'cli-render-bad-size': command(b'', 'render', '@c', '--trace', '@v', '--size', '0x-1',
                                       '--raw', '@o'),
        'cli-render-no-output': command(b'', 'render', '@c', '--trace', '@v', '--size', '8x8'),
        'cli-render-bad-pattern': command(b'', 'render', '@c', '--trace', '@v', '--size', '8x8',
                                          '--png', 'frame-%q.png'),
        'cli-trace-synth': command(b'', 'trace-synth', '-o', '@o', '--frames', '3', '--fps',
                                   '25', '--seed', '9'),
        'cli-trace-synth-existing': command(b'', 'trace-synth', '-o', '@e', '--frames', '2'),
        'cli-trace-synth-existing-y': command(b'', 'trace-synth', '-o', '@e', '--frames', '2',
                                              '-y'),
        'cli-trace-synth-through-link': command(b'', 'trace-synth', '-o', '@l', '--frames', '2',
                                                '--overwrite'),
        'cli-render-raw-onto-trace': command(b'', 'render', '@c', '--trace', '@v', '--size', '8x8',
                                             '--raw', '@v', '-y'),
        'cli-render-raw-onto-link': command(b'', 'render', '@c', '--trace', '@v', '--size', '8x8',
                                            '--raw=@l', '-y'),
        'cli-render-raw-onto-hard-link': command(b'', 'render', '@c', '--trace', '@v', '--size',
                                                 '8x8', '--raw', '@h', '-y'),
        'cli-render-png-existing': command(b'', 'render', '@b', '--trace', '@v', '--size', '8x8',
                                           '--png', 'existing-%d.png'),
        'cli-render-png-existing-y': command(b'', 'render', '@b', '--trace', '@v', '--size', '8x8',
                                             '--png', 'existing-%d.png', '-y'),
        'cli-settings-onto-from': command(settings, 'settings', '@c', '--from', '@s', '-o', '@s',
                                          '-y'),
        'cli-settings-onto-blob': command(settings, 'settings', '@c', '--from', '@s', '-yo',
                                          '@t'),
        'cli-unknown': command(b'', 'bogus', '--x'),
        'cli-help': command(b'', '--help'),
        'cli-missing-value': command(b'', 'render', '@c', '--trace'),
    }


def write(directory, seeds):
    path = os.path.join(HERE, 'corpus', directory)
    os.makedirs(path, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(path, name), 'wb') as out:
            out.write(data)


if __name__ == '__main__':
    write('settings', settings_seeds())
    write('frames', frames_seeds())
    write('apehost', apehost_seeds())
