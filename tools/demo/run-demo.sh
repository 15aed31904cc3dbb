#!/usr/bin/env bash
# The demo race, from a fresh Debian 12 machine (as root): builds both halves,
# starts the stand-in race server in a network namespace of its own, and runs the
# stand-in simulator with the real Volantis.dll under Wine and Xvfb. The pilot
# opens the Log and Validate windows, validates (time sync, realism settings, the
# aircraft's reference check, the report), the server answers with a five-gate,
# two-lap course, the simulator flies it, the module judges every gate and lap and
# submits the results, and the Results window is opened.
#
# Everything it produces lands in build/demo/: the simulator's output, the window
# texts, pictures of the windows (*.png), the race server's results
# (results.jsonl) and its results page (results-page.html, 4-results-page.png),
# the module's race record re-judged (race-record/, race-rejudged.txt), the race
# explained and mapped from that record, and the demo pilot compared with a
# second pilot's record (comparison/, 6-comparison.png).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
jobs=${VOLANTIS_JOBS:-2}

echo "== installing what the demo needs"
bash tools/ci/install-deps.sh
# Only the demo needs a browser: it shows the server's results page as a pilot sees it.
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends chromium >/dev/null

# The 32-bit module is the product, and the demo runs it on every machine:
# directly under 32-bit Wine where the machine executes 32-bit programs, and
# inside a small emulated machine (tools/vm/run-in-vm.sh) where it does not.
# VOLANTIS_WINE_ARCH=win64 runs the same sources built for 64-bit Windows under
# 64-bit Wine instead (faster where the emulated machine would be needed).
wine_arch=${VOLANTIS_WINE_ARCH:-win32}
in_vm=0
case "$wine_arch" in
  win32)
    if tools/wine/run-wine.sh --probe-32 >/dev/null; then
      echo "== this machine executes 32-bit programs: the demo runs the 32-bit module (the product) under 32-bit Wine"
    else
      in_vm=1
      echo "== this machine does not execute 32-bit programs: the demo runs the 32-bit module (the product)"
      echo "   under 32-bit Wine inside an emulated machine (tools/vm/run-in-vm.sh; its first run builds the"
      echo "   machine's image from Debian's packages, several minutes; VOLANTIS_WINE_ARCH=win64 runs the"
      echo "   64-bit build under 64-bit Wine instead)"
    fi ;;
  win64) echo "== the demo runs the 64-bit build of the module under 64-bit Wine (VOLANTIS_WINE_ARCH=win64)" ;;
  *) echo "VOLANTIS_WINE_ARCH must be win32 or win64, not '$wine_arch'" >&2; exit 2 ;;
esac

echo "== building the native half (race server, demo course) and the Windows half (module, stand-in simulator)"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs" --target volantis-race-server make_demo_course volantis-replay
cmake --preset "$wine_arch" >/dev/null
cmake --build --preset "$wine_arch" -j "$jobs" --target volantis_dll fs9sim fs9sim_global

# screenshot WIDTH,HEIGHT PNG FILE: a picture of a local page or image as
# headless Chromium draws it, with a profile of its own and nothing fetched from
# elsewhere; nothing when Chromium is missing or fails.
screenshot() {
  command -v chromium >/dev/null || return 0
  local profile
  profile="$(mktemp -d)"
  timeout 90 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync --user-data-dir="$profile" \
    --window-size="$1" --screenshot="$2" "file://$3" >/dev/null 2>&1 || true
  rm -rf "$profile"
}

out="$root/build/demo"
rm -rf "$out"
mkdir -p "$out"
build/native/tools/demo/make_demo_course "$out/demo.course" "$out/demo.csv"

# The simulator's folder: fs9.exe, global.dll, Modules\Volantis.dll and the
# stand-in installation of the five race aircraft.
mkdir -p "$out/sim"
cp -r "build/$wine_arch/sim/." "$out/sim/"
cp -r tests/fixtures/sim/Aircraft "$out/sim/"
cp "$out/demo.csv" "$out/sim/"
cp tools/demo/demo-race.fs9 "$out/sim/"

race=(tools/netns/with-race-server.sh build/native/tools/race-server/volantis-race-server
      --course "$out/demo.course" --aircraft 0 -- bash tools/demo/demo-race.sh "$out")
if [ "$in_vm" = 1 ]; then
  echo "== racing inside the emulated machine (the stand-in race server runs in a network namespace of its own there)"
  bash tools/vm/run-in-vm.sh --build-image
  bash tools/vm/run-in-vm.sh --timeout 1800 -- "${race[@]}"
else
  echo "== racing (the stand-in race server runs in its own network namespace)"
  "${race[@]}"
fi
# The results page as the pilot's browser shows it (Wine here has no browser engine).
if [ -s "$out/results-page.html" ]; then
  screenshot 1024,400 "$out/4-results-page.png" "$out/results-page.html"
fi

echo
echo "== the race record the module left, re-judged (volantis-replay RECORD_FOLDER)"
# Records are named by their start time, so the newest sorts last.
shopt -s nullglob
records=("$out"/wine-prefix/drive_c/users/*/AppData/Roaming/Volantis/races/*/)
shopt -u nullglob
if [ ${#records[@]} -eq 0 ]; then
  echo "   no race record under the Wine prefix's drive_c/users/*/AppData/Roaming/Volantis/races/: step skipped"
else
  newest=$(for r in "${records[@]}"; do printf '%s\t%s\n' "$(basename "$r")" "$r"; done | sort | tail -n 1 | cut -f 2-)
  rm -rf "$out/race-record"
  cp -r "$newest" "$out/race-record"
  echo "   $(basename "$newest") copied to build/demo/race-record/"
  set +e
  build/native/tools/replay/volantis-replay "$out/race-record" >"$out/race-rejudged.txt"
  rc=$?
  set -e
  grep '^RECORD' "$out/race-rejudged.txt" | sed 's/^/   /' || true
  case $rc in
    0) ;;
    1) echo "   the replay differs from what the record says happened (see build/demo/race-rejudged.txt)" ;;
    *) echo "   volantis-replay could not read the record (exit code $rc)" ;;
  esac
fi

echo
echo "== the race explained and mapped by the module's own judge (volantis-replay --explain --map)"
# From the module's own record of the race (every cycle it judged), or from the
# flown track when there is no record.
if [ -d "$out/race-record" ]; then
  explained_from="build/demo/race-record/"
  explain_input=("$out/race-record")
else
  explained_from="the flown track (no race record)"
  # The server's course file has one entry a line; the replay tool takes the race
  # start info as the module receives it.
  grep -v '^#' "$out/demo.course" | grep -v '^$' | paste -sd';' >"$out/race-start-info.txt"
  explain_input=("$out/race-start-info.txt" "$out/demo.csv")
fi
echo "   from $explained_from"
set +e
build/native/tools/replay/volantis-replay --explain --map "$out/race-map.svg" "${explain_input[@]}" \
  >"$out/race-explained.txt"
set -e
grep '^EXPLAIN' "$out/race-explained.txt" | sed 's/^/   /' || true
screenshot 640,960 "$out/5-race-map.png" "$out/race-map.svg"

echo
echo "== the demo pilot compared with a second pilot (volantis-replay --compare)"
# tools/demo/second-pilot/ is a race record of another pilot on the same course
# (another line, one gate missed), flown by the stand-in simulator with the
# module and kept in the sources (tools/demo/make-second-pilot.sh remakes it).
if [ -d "$out/race-record" ]; then
  mkdir -p "$out/comparison"
  set +e
  build/native/tools/replay/volantis-replay --compare "$out/comparison" "$out/race-record" \
    tools/demo/second-pilot >"$out/comparison.txt" 2>&1
  rc=$?
  set -e
  if [ $rc -eq 0 ]; then
    grep '^COMPARE' "$out/comparison.txt" | sed 's/^/   /' || true
    screenshot 1280,1600 "$out/6-comparison.png" "$out/comparison/index.html"
    echo "   the comparison: build/demo/comparison/index.html (with ranking.csv, laps.csv, map.svg, gaps.svg)"
    if [ -s "$out/6-comparison.png" ]; then echo "   its picture: build/demo/6-comparison.png"; fi
  else
    echo "   volantis-replay could not compare the two records (exit code $rc):"
    sed 's/^/   /' "$out/comparison.txt"
  fi
else
  echo "   no race record of the demo pilot: step skipped"
fi

echo
echo "== what came out (build/demo/)"
ls -1 "$out" | sed 's/^/   /'
