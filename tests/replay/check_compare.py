#!/usr/bin/env python3
"""volantis-replay's exports and its comparison of several records.

--exports: the --csv and --json of the high latitude record (a skipped gate and
two flags) compared whole with the expected files.
--compare: three records of one course (the record; the same flight timed by a
slower counter, so every time grows by the frequencies' ratio; the record cut
short before its second lap), compared into a folder: the ranking, the CSV
tables, the page's tables, the SVGs; then records of two courses refused.
"""
import argparse
import csv
import html.parser
import io
import json
import os
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET

SVG = "{http://www.w3.org/2000/svg}"


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def make_record(folder, record, course, track, player, replace=None, rows=None, results=True):
    os.makedirs(folder)
    for name in ("race.txt", "log.txt") + (("results.txt",) if results else ()):
        shutil.copy(os.path.join(record, name), folder)
    shutil.copy(course, os.path.join(folder, "course.txt"))
    with open(track, encoding="utf-8") as f:
        lines = f.readlines()
    with open(os.path.join(folder, "track.csv"), "w", encoding="utf-8") as f:
        f.writelines(lines if rows is None else lines[:rows])
    race = os.path.join(folder, "race.txt")
    with open(race, encoding="utf-8") as f:
        text = f.read().replace("player=Ann Lee", "player=" + player)
    for old, new in (replace or {}).items():
        assert old in text, old
        text = text.replace(old, new)
    with open(race, "w", encoding="utf-8") as f:
        f.write(text)


def run(tool, *args):
    return subprocess.run([tool, *args], capture_output=True, text=True)


def check_exports(a):
    work = a.work
    record = os.path.join(work, "record")
    make_record(record, a.record, a.course, a.track, "Ann Lee")
    out_csv, out_json = os.path.join(work, "laps.csv"), os.path.join(work, "race.json")
    r = run(a.tool, record, "--csv", out_csv, "--json", out_json)
    if r.returncode != 0:
        fail(f"exit code {r.returncode}: {r.stderr}")
    for got, expected in ((out_csv, a.expected_csv), (out_json, a.expected_json)):
        with open(got, encoding="utf-8") as f, open(expected, encoding="utf-8") as g:
            if f.read() != g.read():
                fail(f"{got} differs from {expected}")
    with open(out_json, encoding="utf-8") as f:
        data = json.load(f)
    with open(out_csv, encoding="utf-8", newline="") as f:
        rows = list(csv.DictReader(f))
    # The splits of a lap without a skip add up to its time, to the millisecond.
    for row in rows:
        splits = [row[f"split_{k}"] for k in range(1, 11)]
        if row["skips"] == "0" and round(sum(float(s) for s in splits) * 1000) != round(float(row["lap_time"]) * 1000):
            fail(f"lap {row['lap']}: splits {splits} do not add up to {row['lap_time']}")
    if [row["lap_time"] for row in rows] != [f"{lap['time']:.3f}" for lap in data["laps"]]:
        fail("the CSV and the JSON disagree on the lap times")
    # A bad output path is refused before anything is written.
    r = run(a.tool, record, "--csv", os.path.join(work, "no-such-folder", "x.csv"))
    if r.returncode != 2 or "--csv: cannot write" not in r.stderr or r.stdout:
        fail(f"an unwritable --csv: exit {r.returncode}, {r.stderr!r}")


class Tables(html.parser.HTMLParser):
    """Every table's rows of cell texts by the table's class; the tags seen."""

    def __init__(self):
        super().__init__()
        self.tables, self.tags, self.attrs = {}, [], []
        self.table = None
        self.row = None
        self.cell = None

    def handle_starttag(self, tag, attrs):
        self.tags.append(tag)
        self.attrs.append((tag, dict(attrs)))
        if tag == "table":
            self.table = dict(attrs).get("class", "")
            self.tables[self.table] = []
        elif tag == "tr" and self.table is not None:
            self.row = []
        elif tag in ("td", "th") and self.row is not None:
            self.cell = ""

    def handle_endtag(self, tag):
        if tag in ("td", "th") and self.cell is not None:
            self.row.append(self.cell.strip())
            self.cell = None
        elif tag == "tr" and self.row is not None:
            self.tables[self.table].append(self.row)
            self.row = None
        elif tag == "table":
            self.table = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data


def check_compare(a):
    work = a.work
    ratio = 3579545 / 3400000
    make_record(os.path.join(work, "ann"), a.record, a.course, a.track, "Ann Lee")
    make_record(os.path.join(work, "bo"), a.record, a.course, a.track, "Bo Ek",
                replace={"frequency=3579545": "frequency=3400000"}, results=False)
    # Cut after lap 1 (completed at line 3156), before the second lap's flag.
    make_record(os.path.join(work, "cy"), a.record, a.course, a.track, "Cy Ode", rows=3300, results=False)
    make_record(os.path.join(work, "other"), a.record, a.other_course, a.other_track, "Di Fox", results=False)
    out = os.path.join(work, "out")
    os.makedirs(out)
    # Given out of order: the ranking is by race time, the unfinished race last.
    r = run(a.tool, "--compare", out, os.path.join(work, "cy"), os.path.join(work, "bo"), os.path.join(work, "ann"))
    if r.returncode != 0:
        fail(f"exit code {r.returncode}: {r.stderr}")

    ann_time, ann_best = 193.959570, 105.957897
    expected_ranking = [
        ["rank", "pilot", "race_time", "laps", "best_lap", "flags"],
        ["1", "Ann Lee", f"{ann_time:.3f}", "2", f"{ann_best:.3f}", "moved_too_fast;cheated_crash_detect"],
        ["2", "Bo Ek", f"{ann_time * ratio:.3f}", "2", f"{ann_best * ratio:.3f}", "moved_too_fast;cheated_crash_detect"],
        ["3", "Cy Ode", "", "1", f"{ann_best:.3f}", "moved_too_fast"],
    ]
    with open(os.path.join(out, "ranking.csv"), encoding="utf-8", newline="") as f:
        ranking = list(csv.reader(f))
    if ranking != expected_ranking:
        fail(f"ranking.csv {ranking}, expected {expected_ranking}")
    with open(os.path.join(out, "laps.csv"), encoding="utf-8", newline="") as f:
        laps = list(csv.reader(f))
    if laps[0][:5] != ["pilot", "race_start_utc", "lap", "lap_time", "skips"] or laps[0][-1] != "flags":
        fail(f"laps.csv header {laps[0]}")
    if [(row[0], row[2]) for row in laps[1:]] != [("Ann Lee", "1"), ("Ann Lee", "2"), ("Bo Ek", "1"), ("Bo Ek", "2"),
                                                  ("Cy Ode", "1")]:
        fail(f"laps.csv rows {laps[1:]}")
    if laps[2][10:12] != ["", ""] or laps[4][10:12] != ["", ""]:
        fail("the splits around the skipped gate 7 are not empty")

    # The page: self-contained, its tables hold the rankings and the laps.
    with open(os.path.join(out, "index.html"), encoding="utf-8") as f:
        page = f.read()
    parser = Tables()
    parser.feed(page)
    if "script" in parser.tags or "link" in parser.tags or "img" in parser.tags:
        fail("the page loads something: " + str(sorted(set(parser.tags))))
    for tag, attrs in parser.attrs:
        for key in ("src", "href"):
            if key in attrs and (":" in attrs[key] or attrs[key].startswith("//")):
                fail(f"<{tag} {key}={attrs[key]}> points outside the folder")
    rows = parser.tables.get("ranking")
    if rows is None:
        fail("no ranking table")
    body = [[cell for cell in row] for row in rows[1:]]
    expected_cells = [["1", "Ann Lee", f"{ann_time:.3f}", "2", f"{ann_best:.3f}", "moved_too_fast;cheated_crash_detect"],
                      ["2", "Bo Ek", f"{ann_time * ratio:.3f}", "2", f"{ann_best * ratio:.3f}",
                       "moved_too_fast;cheated_crash_detect"],
                      ["3", "Cy Ode", "not finished", "1", f"{ann_best:.3f}", "moved_too_fast"]]
    if body != expected_cells:
        fail(f"ranking table {body}, expected {expected_cells}")
    lap_rows = parser.tables.get("laps")
    if lap_rows is None or [row[:3] for row in lap_rows[1:]] != [[row[0], row[2], row[3]] for row in laps[1:]]:
        fail(f"laps table {lap_rows}")
    if parser.tags.count("svg") != 2:
        fail(f"{parser.tags.count('svg')} SVGs in the page, expected the map and the chart")

    # The SVGs: well-formed, one track and one line per pilot, the skips marked.
    pilots = ["Ann Lee", "Bo Ek", "Cy Ode"]
    root = ET.parse(os.path.join(out, "map.svg")).getroot()
    tracks = [g.get("data-pilot") for g in root.iter(SVG + "g") if g.get("class") == "pilot-track"]
    if tracks != pilots:
        fail(f"map tracks {tracks}")
    for g in root.iter(SVG + "g"):
        if g.get("class") == "pilot-track" and len(g.findall(SVG + "path")) != 1:
            fail(f"{g.get('data-pilot')} has no track")
    colours = {g.get("data-pilot"): g.find(SVG + "path").get("stroke")
               for g in root.iter(SVG + "g") if g.get("class") == "pilot-track"}
    if len(set(colours.values())) != 3:
        fail(f"the pilots share colours: {colours}")
    legend = [g.get("data-pilot") for g in root.iter(SVG + "g") if g.get("class") == "legend-pilot"]
    if legend != pilots:
        fail(f"map legend {legend}")
    skips = sorted((g.get("data-pilot"), g.get("data-gate")) for g in root.iter(SVG + "g")
                   if g.get("class") == "mark skip")
    if skips != [("Ann Lee", "7"), ("Bo Ek", "7")]:
        fail(f"skips on the map {skips}")
    if len([g for g in root.iter(SVG + "g") if g.get("class") == "gate"]) != 10:
        fail("the map does not hold the 10 gates")
    chart = ET.parse(os.path.join(out, "gaps.svg")).getroot()
    lines = [g for g in chart.iter(SVG + "g") if g.get("class") == "pilot-gap"]
    if [g.get("data-pilot") for g in lines] != pilots:
        fail(f"chart lines {[g.get('data-pilot') for g in lines]}")
    # The leader is 0 s behind itself at all 19 gates it passed; Bo Ek falls behind
    # by the ratio, 9.9 s at the finish; Cy Ode has no point after lap 1.
    points = {g.get("data-pilot"): [c.find(SVG + "title").text for c in g.iter(SVG + "circle")] for g in lines}
    if len(points["Ann Lee"]) != 19 or any(not t.endswith(": 0.000 s behind") for t in points["Ann Lee"]):
        fail(f"the leader's points {points['Ann Lee']}")
    if not points["Bo Ek"][-1].endswith(f"lap 2, gate 1: {ann_time * (ratio - 1):.3f} s behind"):
        fail(f"Bo Ek's last point {points['Bo Ek'][-1]}")
    if len(points["Cy Ode"]) != 10:
        fail(f"Cy Ode's points {points['Cy Ode']}")

    # One pilot's two races are told apart by their start times.
    make_record(os.path.join(work, "ann2"), a.record, a.course, a.track, "Ann Lee",
                replace={"started=2026-12-10 16:40:05 UTC": "started=2026-12-11 10:00:00 UTC"}, results=False)
    twice = os.path.join(work, "twice")
    os.makedirs(twice)
    r = run(a.tool, "--compare", twice, os.path.join(work, "ann"), os.path.join(work, "ann2"))
    with open(os.path.join(twice, "ranking.csv"), encoding="utf-8", newline="") as f:
        names = [row[1] for row in list(csv.reader(f))[1:]]
    if r.returncode != 0 or names != ["Ann Lee (2026-12-10T16:40:05Z)", "Ann Lee (2026-12-11T10:00:00Z)"]:
        fail(f"one pilot's two races: exit {r.returncode}, {names}")

    # Records of two courses are refused, naming both.
    refused = os.path.join(work, "refused")
    os.makedirs(refused)
    r = run(a.tool, "--compare", refused, os.path.join(work, "ann"), os.path.join(work, "other"))
    if r.returncode != 2 or r.stdout:
        fail(f"two courses: exit {r.returncode}, stdout {r.stdout!r}")
    if "different courses" not in r.stderr or "gate 1 at 78.9202351,11.8658492" not in r.stderr or \
            "gate 1 at -16.7797649,179.9881321" not in r.stderr:
        fail(f"two courses: {r.stderr!r}")
    if os.listdir(refused):
        fail(f"a refused comparison wrote {os.listdir(refused)}")


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--tool", required=True)
    p.add_argument("--work", required=True)
    p.add_argument("--record", required=True)
    p.add_argument("--course", required=True)
    p.add_argument("--track", required=True)
    p.add_argument("--other-course")
    p.add_argument("--other-track")
    p.add_argument("--expected-csv")
    p.add_argument("--expected-json")
    p.add_argument("--mode", choices=["exports", "compare"], required=True)
    a = p.parse_args()
    shutil.rmtree(a.work, ignore_errors=True)
    os.makedirs(a.work)
    check_exports(a) if a.mode == "exports" else check_compare(a)
    print("ok")


if __name__ == "__main__":
    main()
