#!/usr/bin/env python3
"""Runs volantis-replay --map on a recorded flight and checks the SVG it writes:
it parses; it has one gate element per gate, one track path per lap, a mark for
every crossing, skipped gate and flag; every drawn point lies on the canvas; and
it is to scale: every gate is as wide as the course says against the scale bar,
and the gates of the regular pylon course stand at one distance from its middle
(which fails if longitudes wrap at the antimeridian or east-west distances are
not shrunk at high latitude)."""
import argparse
import math
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

SVG = "{http://www.w3.org/2000/svg}"


def classes(element):
    return set((element.get("class") or "").split())


def numbers(text):
    return [float(v) for v in re.findall(r"-?\d+(?:\.\d+)?(?:e-?\d+)?|nan|inf", text or "")]


def path_points(d):
    """The points of a path of absolute M, L, H and V commands."""
    points = []
    x = y = 0.0
    for command, values in re.findall(r"([MLHV])([^MLHV]*)", d or ""):
        v = numbers(values)
        if command in "ML":
            for i in range(0, len(v), 2):
                x, y = v[i], v[i + 1]
                points.append((x, y))
        elif command == "H":
            for x in v:
                points.append((x, y))
        else:
            for y in v:
                points.append((x, y))
    return points


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def main():
    parser = argparse.ArgumentParser()
    for name in ("tool", "course", "track", "out", "options", "skips", "flags"):
        parser.add_argument("--" + name, default="")
    for name in ("gates", "laps", "crossings"):
        parser.add_argument("--" + name, type=int, required=True)
    parser.add_argument("--gate-width-nm", type=float, required=True)
    args = parser.parse_args()

    command = [args.tool, args.course, args.track, "--map", args.out]
    command += [o for o in args.options.split("|") if o]
    run = subprocess.run(command, capture_output=True, text=True)
    if run.returncode != 0:
        fail("exit code %d: %s" % (run.returncode, run.stderr))

    try:
        root = ET.parse(args.out).getroot()
    except ET.ParseError as error:
        fail("the map does not parse: %s" % error)
    if root.tag != SVG + "svg":
        fail("the root is %s, not svg" % root.tag)
    width, height = float(root.get("width")), float(root.get("height"))
    every = list(root.iter())

    def having(name):
        return [e for e in every if name in classes(e)]

    # Every coordinate is a finite number on the canvas.
    for e in every:
        for key in ("x", "y", "x1", "y1", "x2", "y2", "cx", "cy"):
            if e.get(key) is not None and not e.get(key).endswith("%"):
                v = float(e.get(key))
                if not math.isfinite(v) or v < -1 or v > max(width, height) + 1:
                    fail("%s %s=%s is off the canvas" % (e.tag, key, e.get(key)))
        for key in ("d", "points"):
            for v in numbers(e.get(key)):
                if not math.isfinite(v) or v < -1 or v > max(width, height) + 1:
                    fail("%s %s holds %s, off the canvas" % (e.tag, key, v))

    gates = having("gate")
    if len(gates) != args.gates:
        fail("%d gate elements, expected %d" % (len(gates), args.gates))
    if sorted(int(g.get("data-gate")) for g in gates) != list(range(1, args.gates + 1)):
        fail("gate numbers %s" % [g.get("data-gate") for g in gates])

    tracks = [e for e in having("track") if e.tag == SVG + "path"]
    if sorted(int(t.get("data-lap")) for t in tracks) != list(range(1, args.laps + 1)):
        fail("track paths for laps %s, expected one for each of %d laps" % ([t.get("data-lap") for t in tracks], args.laps))

    crossings = having("crossing")
    if len(crossings) != args.crossings:
        fail("%d crossing marks, expected %d" % (len(crossings), args.crossings))
    skips = sorted(int(e.get("data-gate")) for e in having("skip"))
    expected_skips = sorted(int(s) for s in args.skips.split(",") if s)
    if skips != expected_skips:
        fail("skip marks for gates %s, expected %s" % (skips, expected_skips))
    flags = sorted(e.get("data-flag") for e in having("flag"))
    if flags != sorted(f for f in args.flags.split(",") if f):
        fail("flag marks %s, expected %s" % (flags, args.flags))
    if not having("north-arrow"):
        fail("no north arrow")

    bars = having("scale-bar")
    if len(bars) != 1:
        fail("%d scale bars" % len(bars))
    px_per_nm = float(bars[0].get("data-px")) / float(bars[0].get("data-nm"))
    bar_path = [e for e in bars[0].iter() if e.tag == SVG + "path"][0]
    xs = [p[0] for p in path_points(bar_path.get("d"))]
    if abs((max(xs) - min(xs)) - float(bars[0].get("data-px"))) > 0.05:
        fail("the scale bar is drawn %s px long, labelled %s px" % (max(xs) - min(xs), bars[0].get("data-px")))

    # To scale, and the same in every direction.
    centres = []
    for g in gates:
        line = [e for e in g.iter() if "gate-line" in classes(e)][0]
        x1, y1, x2, y2 = (float(line.get(k)) for k in ("x1", "y1", "x2", "y2"))
        nm = math.hypot(x2 - x1, y2 - y1) / px_per_nm
        if abs(nm - args.gate_width_nm) > 0.01 * args.gate_width_nm + 0.002:
            fail("gate %s is drawn %.4f nm wide, the course says %.4f" % (g.get("data-gate"), nm, args.gate_width_nm))
        centres.append(((x1 + x2) / 2, (y1 + y2) / 2))
    mx = sum(c[0] for c in centres) / len(centres)
    my = sum(c[1] for c in centres) / len(centres)
    radii = [math.hypot(c[0] - mx, c[1] - my) for c in centres]
    if max(radii) - min(radii) > 0.01 * max(radii):
        fail("the gates of a regular course stand %.1f to %.1f px from its middle" % (min(radii), max(radii)))

    # Each skip mark is drawn by the gate it explains.
    by_number = {int(g.get("data-gate")): c for g, c in zip(gates, centres)}
    for e in having("skip"):
        path = [p for p in e.iter() if p.tag == SVG + "path"][0]
        (x1, y1), (x2, y2) = path_points(path.get("d"))[:2]
        x, y = (x1 + x2) / 2, (y1 + y2) / 2
        cx, cy = by_number[int(e.get("data-gate"))]
        if math.hypot(x - cx, y - cy) / px_per_nm > 0.3:
            fail("the mark of skipped gate %s is %.3f nm from it" % (e.get("data-gate"), math.hypot(x - cx, y - cy) / px_per_nm))
    print("ok: %d gates, %d laps, %d crossings, skips %s, flags %s, %.1f px per nm" %
          (len(gates), len(tracks), len(crossings), skips, flags, px_per_nm))


if __name__ == "__main__":
    main()
