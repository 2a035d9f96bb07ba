#!/usr/bin/env python3
"""Turns the benchmark executable's JSON output (with repetitions) into the table scripts/bench
prints: stage, frame size, median processor time, and the ratio to its peer or floor measured in
the same run, next to the target where there is one. Standard library only."""

import json
import platform
import sys

SIZES = ["320x240", "640x480", "1280x720", "1920x1080", "3840x2160"]

# Per-frame targets (seconds) of whole frames at two sizes, and targets on ratios.
FRAME_TARGETS = {
    ("coil", "640x480"): 0.4e-3,
    ("coil", "1920x1080"): 0.6e-3,
    ("blob", "640x480"): 0.55e-3,
    ("blob", "1920x1080"): 1.2e-3,
}

# The drawing stage against its peers on the same triangles (bench/drawing_bench.cpp).
DRAWING_SIZES = ["640x480", "1920x1080"]
DRAWING_TARGET_VS_PLAIN = 0.8


def medians(results):
    """run name -> median entry (cpu_time in seconds and the counters)."""
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
    out = {}
    for b in results["benchmarks"]:
        if b.get("run_type") != "aggregate" or b.get("aggregate_name") != "median":
            continue
        entry = dict(b)
        entry["cpu_seconds"] = b["cpu_time"] * scale[b.get("time_unit", "ns")]
        out[b["run_name"]] = entry
    return out


def fmt_time(seconds):
    if seconds is None:
        return "-"
    if seconds >= 1e-3:
        return "%.3f ms" % (seconds * 1e3)
    return "%.1f us" % (seconds * 1e6)


def fmt_ratio(value, peer):
    if value is None or not peer:
        return "-"
    return "%.2f" % (value / peer)


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown processor"


def build_rows(m):
    def cpu(name):
        e = m.get(name)
        return e["cpu_seconds"] if e else None

    def counter(name, key):
        e = m.get(name)
        return e.get(key) if e else None

    rows = []  # (stage, size, median, against, ratio, target)
    for effect, label in (("coil", "coilfx"), ("blob", "blobfx")):
        for size in SIZES:
            t = cpu("frame/%s/%s" % (effect, size))
            target = FRAME_TARGETS.get((effect, size))
            rows.append((label + " render_frame", size, fmt_time(t),
                         "target" if target else "", fmt_ratio(t, target) if target else "",
                         ("<= " + fmt_time(target)) if target else ""))
        geometry = "trails and arms" if effect == "coil" else "ball animation and surface sweep"
        rows.append(("%s geometry (%s)" % (label, geometry), "any",
                     fmt_time(counter("stages/%s/640x480" % effect, "geometry")), "", "", ""))
        rows.append((label + " shading", "any",
                     fmt_time(counter("stages/%s/640x480" % effect, "shading")), "", "", ""))
        for size in SIZES:
            t = counter("stages/%s/%s" % (effect, size), "drawing")
            rows.append((label + " drawing", size, fmt_time(t), "store loop",
                         fmt_ratio(t, cpu("store_loop/" + size)), ""))
    for effect, label in (("coil", "coilfx"), ("blob", "blobfx")):
        for size in DRAWING_SIZES:
            base = "drawing/%s/%s/" % (effect, size)
            ours = counter(base + "ours", "drawing")
            plain = counter(base + "plain", "drawing")
            llvmpipe = counter(base + "llvmpipe", "drawing")
            stage = label + " drawing, 60 song frames"
            rows.append((stage, size, fmt_time(ours), "plain scanline rasterizer",
                         fmt_ratio(ours, plain), "<= %.1f" % DRAWING_TARGET_VS_PLAIN))
            rows.append((stage, size, fmt_time(ours), "llvmpipe (OSMesa), one thread",
                         fmt_ratio(ours, llvmpipe), ""))
            rows.append(("peer: plain scanline rasterizer", size, fmt_time(plain), "", "", ""))
            rows.append(("peer: llvmpipe (OSMesa), one thread", size, fmt_time(llvmpipe), "",
                         "", ""))
    for size in SIZES:
        t = cpu("depth_clear/" + size)
        rows.append(("depth clear", size, fmt_time(t), "memset of its bytes",
                     fmt_ratio(t, cpu("memset_depth/" + size)), "<= 1.2"))
    peer = cpu("surface/flying_edges")
    rows.append(("iso-surface sweep, field given", "23^3", fmt_time(cpu("surface/sweep_given_field")),
                 "vtkFlyingEdges3D", fmt_ratio(cpu("surface/sweep_given_field"), peer), "<= 1.0"))
    rows.append(("build_surface (field included)", "23^3", fmt_time(cpu("surface/build_surface")),
                 "vtkFlyingEdges3D", fmt_ratio(cpu("surface/build_surface"), peer), "<= 1.5"))
    rows.append(("vtkFlyingEdges3D, one thread", "23^3", fmt_time(peer), "", "", ""))
    for size in SIZES:
        rows.append(("floor: memset of the frame", size, fmt_time(cpu("memset_frame/" + size)),
                     "", "", ""))
        rows.append(("floor: store loop over the frame", size, fmt_time(cpu("store_loop/" + size)),
                     "", "", ""))
    return rows


def print_table(header, rows):
    """A Markdown table, each column as wide as its widest cell."""
    widths = [max(len(str(r[i])) for r in rows + [header]) for i in range(len(header))]
    line = lambda r: "| " + " | ".join(str(c).ljust(w) for c, w in zip(r, widths)) + " |"
    print(line(header))
    print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
    for r in rows:
        print(line(r))


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: format_table.py RESULTS.json")
    with open(sys.argv[1]) as f:
        results = json.load(f)
    m = medians(results)
    ctx = results.get("context", {})
    reps = next((b.get("repetitions") for b in results["benchmarks"] if "repetitions" in b), "?")
    print("Machine: %s, %s cores at %s MHz, load average %s; %s; median of %s repetitions,"
          " processor time of one thread." % (
              cpu_model(), ctx.get("num_cpus", "?"), ctx.get("mhz_per_cpu", "?"),
              " ".join("%.2f" % x for x in ctx.get("load_avg", [])) or "?",
              ctx.get("date", "?"), reps))
    if "surface/flying_edges" not in m:
        print("(VTK not installed: the iso-surface rows have no peer.)")
    if not any(name.endswith("/llvmpipe") for name in m):
        print("(OSMesa not installed: the drawing rows have no llvmpipe peer.)")
    print()
    header = ("stage", "size", "median", "against", "ratio", "target")
    print_table(header, build_rows(m))


if __name__ == "__main__":
    main()
