#!/usr/bin/env python3
"""Whole-song video benchmarks of apehost, timed as a user runs it (wall clock of the whole command:
decoding, analysis, drawing and ffmpeg's encoding together).

  video_bench.py realtime --apehost PATH [--song FILE]
      `apehost render blobfx coilfx --audio SONG -o out.mp4 --size WxH --fps 60` at 1280x720 and
      1920x1080, as a multiple of real time (the video's length over the time the command took),
      against the targets. Without a song, `apehost demo --video` on the built-in track.

  video_bench.py speeds --apehost PATH [--song FILE] [--size WxH] [--speeds a,b,...]
      For each encoder speed (--speed) at the default quality, on the demo and on the song: the
      multiple of real time, the file's size and its luma SSIM against the exact frames (ffmpeg's
      ssim filter against a lossless encode of the same frames, --crf 0, which holds exactly the
      4:2:0 pixels the encoder is given); then the fastest speed that keeps SSIM >= 0.99 on all.

The song: a real recording with drums from a Debian package with a free licence (scripts/deps/
bench.txt installs it): "Armygeddon" by Muldjord (CC BY-SA 3.0), the backing track of
fretsonfire-songs-muldjord.
"""

import argparse
import os
import platform
import re
import subprocess
import sys
import tempfile
import time

from format_table import print_table

SONG = "/usr/share/games/fretsonfire/data/songs/muldjord/armygeddon/song.ogg"
SONG_NAME = "Armygeddon (Muldjord, fretsonfire-songs-muldjord)"
FPS = 60
TICKS = "5"  # the same frames in every run
SPEEDS = ["ultrafast", "superfast", "veryfast", "faster", "fast", "medium", "slow", "slower",
          "veryslow"]
REALTIME_TARGETS = [("1280x720", 2.0), ("1920x1080", 1.0)]
SSIM_FLOOR = 0.99


def machine_line():
    model, mhz = platform.processor() or "unknown processor", "?"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                key, _, value = line.partition(":")
                if key.strip() == "model name":
                    model = value.strip()
                elif key.strip() == "cpu MHz" and mhz == "?":
                    mhz = "%.0f" % float(value)
    except OSError:
        pass
    load = " ".join("%.2f" % x for x in os.getloadavg())
    return "Machine: %s, %d cores at %s MHz, load average %s; %s." % (
        model, os.cpu_count() or 0, mhz, load, time.strftime("%Y-%m-%dT%H:%M:%S%z"))


def video_command(apehost, song, output, size, extra):
    if song:
        return [apehost, "render", "blobfx", "coilfx", "--audio", song, "-o", output, "--size",
                size, "--fps", str(FPS)] + extra
    return [apehost, "demo", "--video", "-o", output, "--size", size, "--fps", str(FPS)] + extra


def timed(command):
    """Runs command (failing loudly), returns the seconds it took."""
    start = time.monotonic()
    done = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    seconds = time.monotonic() - start
    if done.returncode != 0:
        sys.exit("video_bench: %s failed (%d): %s" % (" ".join(command), done.returncode,
                                                     done.stderr.strip()))
    return seconds


def video_seconds(path):
    out = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-count_packets",
                          "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0", path],
                         check=True, capture_output=True, text=True).stdout
    return int(out.strip()) / FPS


def luma_ssim(video, reference):
    err = subprocess.run(["ffmpeg", "-hide_banner", "-nostats", "-i", video, "-i", reference,
                          "-lavfi", "[0:v][1:v]ssim", "-f", "null", "-"],
                         check=True, capture_output=True, text=True).stderr
    found = re.search(r"SSIM Y:([0-9.]+)", err)
    if not found:
        sys.exit("video_bench: no SSIM from ffmpeg: " + err.strip()[-300:])
    return float(found.group(1))


def realtime(args, song, work):
    print(machine_line())
    print("Sound: %s; one run each, wall clock of the whole command." % (
        "%s, %s" % (SONG_NAME if song == SONG else song, os.path.basename(song)) if song
        else "the demo track (apehost demo --video; no song installed)"))
    print()
    rows = []
    for size, target in REALTIME_TARGETS:
        output = os.path.join(work, "out-%s.mp4" % size)
        seconds = timed(video_command(args.apehost, song, output, size, []))
        length = video_seconds(output)
        multiple = length / seconds
        rows.append(("blobfx + coilfx to H.264 + AAC", size + "@%d" % FPS, "%.1f s" % length,
                     "%.1f s" % seconds, "%.2fx" % multiple, ">= %.1fx" % target,
                     "met" if multiple >= target else "not met"))
    print_table(("render", "size", "video", "took", "real time", "target", ""), rows)


def speeds(args, song, work):
    print(machine_line())
    print("Quality CRF 18 (the default), %s at %d frames a second; SSIM of the luma against the "
          "exact frames." % (args.size, FPS))
    print()
    sources = [("demo track", None)] + ([("song: " + os.path.basename(os.path.dirname(song)), song)]
                                        if song else [])
    chosen = list(args.speeds)
    rows = []
    for name, source in sources:
        reference = os.path.join(work, "reference.mp4")
        timed(video_command(args.apehost, source, reference, args.size,
                            ["--ticks", TICKS, "--crf", "0", "--speed", "ultrafast"]))
        for speed in args.speeds:
            output = os.path.join(work, "%s.mp4" % speed)
            seconds = timed(video_command(args.apehost, source, output, args.size,
                                          ["--ticks", TICKS, "--speed", speed]))
            length = video_seconds(output)
            ssim = luma_ssim(output, reference)
            if ssim < SSIM_FLOOR and speed in chosen:
                chosen.remove(speed)
            rows.append((name, speed, "%.1f s" % seconds, "%.2fx" % (length / seconds),
                         "%.1f MB" % (os.path.getsize(output) / 1e6),
                         "%.1f Mbit/s" % (os.path.getsize(output) * 8 / 1e6 / length),
                         "%.6f" % ssim))
            os.remove(output)
        os.remove(reference)
    print_table(("sound", "speed", "took", "real time", "file", "rate", "SSIM Y"), rows)
    print()
    print("Fastest speed with SSIM Y >= %.2f on every sound: %s" % (
        SSIM_FLOOR, chosen[0] if chosen else "none"))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("mode", choices=["realtime", "speeds"])
    parser.add_argument("--apehost", required=True)
    parser.add_argument("--song", default=SONG, help="song file (default: %(default)s)")
    parser.add_argument("--size", default="1280x720")
    parser.add_argument("--speeds", default=",".join(SPEEDS),
                        type=lambda text: [s for s in text.split(",") if s])
    args = parser.parse_args()
    song = args.song if args.song and os.path.isfile(args.song) else None
    with tempfile.TemporaryDirectory(prefix="ape-video-bench-") as work:
        (realtime if args.mode == "realtime" else speeds)(args, song, work)


if __name__ == "__main__":
    main()
